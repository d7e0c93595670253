// The export commands' common road (see export_command.h).
#include "client/export_command.h"

#include "helpers/hosts.h"
#include "runtime/seams.h"

Text SafeFileName(std::string_view name)
{
    Text out;
    out.reserve(name.size());
    for (std::size_t i = 0; i < name.size();) {
        const std::size_t n = CharLengthAt(name, i);
        if (n == 2) {
            out.append(name.substr(i, 2));
        } else {
            const unsigned char c = static_cast<unsigned char>(name[i]);
            const bool bad = c < 0x20 || c == 0x7F || c == '\\' || c == '/' || c == ':' || c == '*' || c == '?' ||
                             c == '"' || c == '<' || c == '>' || c == '|';
            out.push_back(bad ? '-' : name[i]);
        }
        i += n;
    }
    return out;
}

Text ExportSheetName()
{
    const Text host = MakerHost();
    return "Brelmor网" + host.substr(0, host.find(':'));
}

bool RunExportCommand(const Control& fileDialog, const Control& panel, std::string_view defaultName,
                      ExcelExportRequest request)
{
    Text file = SafeFileName(defaultName);
    if (!fileDialog.AskSaveFile(file))
        return false;
    request.workbookFile = file;
    panel.SetVisible(true);
    if (HWND h = panel.Handle())
        RedrawWindow(h, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    if (ExportListViewToExcel(request)) {
        ShowMessageBox("导出成功！");
        panel.SetVisible(false);
        return true;
    }
    panel.SetVisible(false);
    ShowMessageBox("导出失败！", "警告", MB_OK);
    return false;
}
