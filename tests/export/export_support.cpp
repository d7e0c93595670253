// Tools of the export tests (see export_support.h).
#include "export/export_support.h"


#include "runtime/database.h"
#include "runtime/window_thread.h"

#include <gtest/gtest.h>
#include <commctrl.h>

#include <map>

namespace export_test {

namespace {

std::wstring Wide(const Text& s) { return WideFromGbk(s); }

void RemoveTree(const std::wstring& folder)
{
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring path = folder + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path);
            else {
                SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(h, &found));
        FindClose(h);
    }
    RemoveDirectoryW(folder.c_str());
}

Text TempFolder()
{
    char buffer[MAX_PATH + 1] = {};
    GetTempPathA(MAX_PATH, buffer);
    return buffer;
}

Text MakeWorkbookFolder()
{
    char value[1024] = {};
    const DWORD n = GetEnvironmentVariableA("QUOVANTA_EXPORT_OUT", value, sizeof value);
    Text folder;
    if (n > 0 && n < sizeof value) {
        folder = value;
        if (!folder.empty() && folder[0] == '/') {
            for (char& c : folder)
                if (c == '/') c = '\\';
            folder = "Z:" + folder;
        }
    } else {
        folder = TempFolder() + "quovanta-export-workbooks";
    }
    while (!folder.empty() && folder.back() == '\\')
        folder.pop_back();
    // Whatever an earlier run left is not this run's.
    RemoveTree(Wide(folder));
    CreateDirectoryW(Wide(folder).c_str(), nullptr);
    return folder + "\\";
}

struct Watch {
    WNDPROC previous = nullptr;
    int sends = 0;
    int last = -1;
    HWND watched = nullptr;
    bool alwaysVisible = true;
};
std::map<HWND, Watch>& Watches()
{
    static std::map<HWND, Watch> watches;
    return watches;
}

LRESULT CALLBACK WatchProc(HWND h, UINT msg, WPARAM wp, LPARAM lp)
{
    Watch& w = Watches()[h];
    if (msg == PBM_SETPOS) {
        ++w.sends;
        w.last = static_cast<int>(wp);
        if (w.watched && !IsWindowVisible(w.watched))
            w.alwaysVisible = false;
    }
    return CallWindowProcW(w.previous, h, msg, wp, lp);
}

}  // namespace

Text WorkbookFolder()
{
    static const Text folder = MakeWorkbookFolder();
    return folder;
}

void ExpectWorkbook(const Text& workbook, const Text& sheet, const Rows& rows)
{
    std::string out = sheet;
    for (const TextArray& row : rows) {
        out += '\x1e';
        for (std::size_t k = 0; k < row.size(); ++k) {
            if (k > 0) out += '\x1f';
            out += row[k];
        }
    }
    ASSERT_TRUE(WriteFileText(workbook + ".expect", out)) << workbook;
}

ScratchFolder::ScratchFolder(const char* name)
{
    path_ = TempFolder() + "quovanta-scratch-" + name;
    RemoveTree(Wide(path_));
    CreateDirectoryW(Wide(path_).c_str(), nullptr);
    path_ += "\\";
}

ScratchFolder::~ScratchFolder() { RemoveTree(Wide(path_.substr(0, path_.size() - 1))); }

bool WriteFileText(const Text& path, const std::string& bytes)
{
    HANDLE h = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD done = 0;
    const bool ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr) && done == bytes.size();
    CloseHandle(h);
    return ok;
}

std::string ReadFileText(const Text& path)
{
    HANDLE h = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return std::string();
    std::string out;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(h, buffer, sizeof buffer, &got, nullptr) && got > 0) out.append(buffer, got);
    CloseHandle(h);
    return out;
}

bool FileThere(const Text& path) { return GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

bool TemporaryWorkbookLeft(const Text& folder)
{
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW(Wide(folder + "~xls*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    FindClose(h);
    return true;
}

HeldFile::HeldFile(const Text& path)
    : handle_(CreateFileW(Wide(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr))
{
}

HeldFile::~HeldFile()
{
    if (handle_ != INVALID_HANDLE_VALUE)
        CloseHandle(handle_);
}

Form LoadListWindow(const std::vector<ColumnSpec>& columns, bool visible)
{
    WindowLayout w{"导出测试", {40, 40, 900, 560}, visible, {}};
    w.Add(ui::ListView("列表", {5, 5, 870, 400}, columns));
    w.Add(ui::GroupBox("分组框", "正在导出Excel请稍后......", {400, 420, 450, 65}));
    w.Add(ui::ProgressBar("进度条", {5, 20, 440, 30}).In("分组框"));
    return LoadForm(w);
}

void FillList(const Control& list, const Rows& rows) { list.SetRows(rows); }

Rows ChineseRows(int count, int columns)
{
    static const char* const kWords[] = {"问道", "电信一区", "游戏币", "金币", "梦幻西游", "网通二区", "装备",
                                         "天下贰", "魔兽世界", "元宝", "点卡", "诛仙", "征途", "账号"};
    Rows rows;
    rows.reserve(count);
    for (int r = 0; r < count; ++r) {
        TextArray row;
        for (int k = 0; k < columns; ++k) {
            Text cell = kWords[(r * 7 + k * 3) % 14];
            cell += std::to_string(r + 1) + "行" + std::to_string(k + 1) + "列";
            if ((r + k) % 5 == 0) cell += "'引号'";
            if ((r + k) % 11 == 0) cell += "，１２３元";
            row.push_back(cell);
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

ProgressWatch::ProgressWatch(HWND bar) : bar_(bar)
{
    Watch& w = Watches()[bar];
    w = Watch{};
    w.previous = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WatchProc)));
}

ProgressWatch::~ProgressWatch()
{
    if (IsWindow(bar_))
        SetWindowLongPtrW(bar_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Watches()[bar_].previous));
    Watches().erase(bar_);
}

int ProgressWatch::Sends() const { return Watches()[bar_].sends; }
int ProgressWatch::LastPosition() const { return Watches()[bar_].last; }
void ProgressWatch::WatchVisibility(HWND watched) { Watches()[bar_].watched = watched; }
bool ProgressWatch::AlwaysVisible() const { return Watches()[bar_].alwaysVisible; }

}  // namespace export_test
