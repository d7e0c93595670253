// Exporting a list view into a workbook (see listview_export.h).
#include "helpers/listview_export.h"
#include "runtime/little_endian.h"

#include "helpers/export_helper_window.h"
#include "resources/resources.h"
#include "runtime/database.h"
#include "runtime/window_thread.h"

#include <windows.h>
#include <commctrl.h>
#include <zlib.h>

#include <cstring>
#include <new>

namespace {

// A template that claims more than this is damaged (the real one is a few kilobytes).
constexpr std::uint32_t kMaxTemplateLength = 64u << 20;

// Whether the last character of `s` is a backslash (and not the second byte of a double-byte one).
bool EndsWithBackslash(std::string_view s)
{
    std::size_t last = std::string_view::npos;
    for (std::size_t i = 0; i < s.size(); i += CharLengthAt(s, i))
        last = i;
    return last != std::string_view::npos && s[last] == '\\';
}

Text GbkFromWide(const std::wstring& wide, bool& lossless)
{
    lossless = true;
    if (wide.empty())
        return Text();
    BOOL usedDefault = FALSE;
    const int n = WideCharToMultiByte(936, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                      &usedDefault);
    if (n <= 0) {
        lossless = false;
        return Text();
    }
    Text out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(936, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr, &usedDefault);
    lossless = !usedDefault;
    return out;
}

// Creates or truncates the file, held for this writer alone while it is written.
bool WriteExclusive(const Text& path, const ByteSet& bytes)
{
    const std::wstring wide = WideFromGbk(path);
    if (wide.empty())
        return false;
    HANDLE h = CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD done = 0;
    bool ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr) && done == bytes.size();
    if (!CloseHandle(h))
        ok = false;
    return ok;
}

// Appends the text of cell (row, column) to `out` as an SQL literal. The text is read whole: a buffer
// that comes back (nearly) full is taken as a cut text and read again larger; past 1 MiB the text is
// far beyond what a workbook cell holds and the workbook refuses it anyway.
void AppendCellLiteral(HWND list, int row, int column, std::vector<char>& buffer, Text& out)
{
    int n = 0;
    for (;;) {
        LVITEMA item = {};
        item.iSubItem = column;
        item.pszText = buffer.data();
        item.cchTextMax = static_cast<int>(buffer.size());
        buffer[0] = '\0';
        n = static_cast<int>(SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item)));
        if (n < 0)
            n = 0;
        // A double-byte character that no longer fits is left out whole, so a cut text may end two
        // bytes short of the buffer.
        if (n + 2 < static_cast<int>(buffer.size()) || buffer.size() >= (1u << 20))
            break;
        buffer.resize(buffer.size() * 4);
    }
    if (n > static_cast<int>(buffer.size()) - 1)
        n = static_cast<int>(buffer.size()) - 1;
    out.push_back('\'');
    const char* p = buffer.data();
    const char* end = p + n;
    while (p < end) {
        const void* q = std::memchr(p, '\'', static_cast<std::size_t>(end - p));
        if (!q) {
            out.append(p, end);
            break;
        }
        const char* quote = static_cast<const char*>(q);
        out.append(p, quote + 1);
        out.push_back('\'');
        p = quote + 1;
    }
    out.push_back('\'');
}

// Progress positions are sent only when the drawn bar changes (and the last one), so that a long list
// does not spend its time redrawing the same bar: a smooth bar changes with each pixel of its inside, a
// bar of blocks (the default) with each block, which is two thirds of the inside's height wide and
// followed by a gap of 2 pixels.
class Progress {
public:
    Progress(Control bar, int maximum) : bar_(std::move(bar)), maximum_(maximum)
    {
        hwnd_ = bar_.IsAlive() ? bar_.Handle() : nullptr;
        if (!hwnd_)
            return;
        RECT r{};
        GetClientRect(hwnd_, &r);
        InflateRect(&r, -1, -1);
        pixels_ = r.right - r.left > 0 ? r.right - r.left : 1;
        if (!(GetWindowLongW(hwnd_, GWL_STYLE) & PBS_SMOOTH))
            step_ = MulDiv(r.bottom - r.top, 2, 3) + 2;
        if (step_ < 1)
            step_ = 1;
        bar_.SetRange(0, maximum);
        bar_.SetPosition(0);
        UpdateWindow(hwnd_);
    }

    void Reached(int position)
    {
        if (!hwnd_)
            return;
        const long long drawn =
            maximum_ > 0 ? static_cast<long long>(position) * pixels_ / maximum_ / step_ : 0;
        if (drawn == drawn_ && position != maximum_)
            return;
        drawn_ = drawn;
        bar_.SetPosition(position);
        UpdateWindow(hwnd_);
    }

private:
    Control bar_;
    HWND hwnd_ = nullptr;
    int maximum_ = 0;
    int pixels_ = 1;
    int step_ = 1;
    long long drawn_ = 0;
};

bool ExportOnWindowThread(const ExcelExportRequest& request)
{
    // The helper window and its database control; from here on every return closes the connection
    // and destroys the window.
    Form helper = LoadExportHelperWindow();
    std::shared_ptr<DatabaseConnection> db = DatabaseConnectionOf(helper.Control("外部数据库1"));
    struct CleanUp {
        Form& helper;
        std::shared_ptr<DatabaseConnection>& db;
        ~CleanUp()
        {
            if (db)
                db->Close();
            helper.Destroy();
        }
    } cleanUp{helper, db};
    if (!db)
        return false;
    db->Close();

    // The empty database in the temporary folder.
    const Text folder = TemporaryFolder();
    if (folder.empty())
        return false;
    const Text databasePath = TemporaryDatabasePath(folder);
    ByteSet database;
    if (!ExpandDatabaseTemplate(EmbeddedDatabaseTemplate, EmbeddedDatabaseTemplate_size, database) ||
        !WriteExclusive(databasePath, database))
        return false;

    // The columns and their titles: the name list and the definition list.
    const Control& list = request.listView;
    const HWND listWindow = list.Handle();
    if (!listWindow)
        return false;
    IntArray columns = request.columns;
    if (columns.empty()) {
        const int count = list.ColumnCount();
        for (int k = 0; k < count; ++k)
            columns.push_back(k);
    }
    Text names, definitions;
    for (std::size_t k = 0; k < columns.size(); ++k) {
        const Text title = list.ColumnTitle(columns[k]);
        if (k > 0) {
            names += ",";
            definitions += ",";
        }
        names += title;
        definitions += title + " text";
    }

    // The table; the drop finds none in a fresh database, and its outcome does not matter.
    if (!db->Open(ExportConnectText(databasePath)))
        return false;
    db->Execute("drop table tmp");
    if (!db->Execute("create table tmp (" + definitions + ")"))
        return false;

    // The rows in one transaction, each read here on the window thread and inserted.
    Progress progress(request.progressBar, list.RowCount());
    db->BeginTransaction();
    const int rows = list.RowCount();
    const Text head = "insert into tmp (" + names + ") values (";
    Text statement;
    std::vector<char> buffer(4096);
    for (int r = 0; r < rows; ++r) {
        statement.assign(head);
        for (std::size_t k = 0; k < columns.size(); ++k) {
            if (k > 0)
                statement.push_back(',');
            AppendCellLiteral(listWindow, r, columns[k], buffer, statement);
        }
        statement.push_back(')');
        if (!db->Execute(statement))
            return false;
        progress.Reached(r + 1);
    }

    // The copy into the workbook, then the commit.
    if (!db->Execute(ExportSelectIntoStatement(request.workbookFile, request.sheetName)))
        return false;
    return db->CommitTransaction();
}

}  // namespace

Text TemporaryDatabasePath(std::string_view folder)
{
    Text path(folder);
    if (!EndsWithBackslash(folder))
        path += "\\";
    return path + "db.tmp";
}

Text TemporaryFolder()
{
    wchar_t buffer[MAX_PATH + 2] = {};
    const DWORD n = GetTempPathW(MAX_PATH + 1, buffer);
    if (n == 0 || n > MAX_PATH + 1)
        return Text();
    std::wstring folder(buffer, n);
    bool lossless = true;
    Text text = GbkFromWide(folder, lossless);
    if (!lossless) {
        wchar_t shortName[MAX_PATH + 2] = {};
        const DWORD m = GetShortPathNameW(folder.c_str(), shortName, MAX_PATH + 1);
        if (m > 0 && m <= MAX_PATH + 1)
            text = GbkFromWide(std::wstring(shortName, m), lossless);
    }
    return text;
}

bool ExpandDatabaseTemplate(const unsigned char* block, std::size_t size, ByteSet& database)
{
    database.clear();
    if (!block || size < 8 || Get32(block) != kDatabaseTemplateMagic)
        return false;
    const std::uint32_t length = Get32(block + 4);
    if (length == 0 || length > kMaxTemplateLength)
        return false;
    ByteSet out;
    try {
        out.resize(static_cast<std::size_t>(length) * 2);
    } catch (const std::bad_alloc&) {
        return false;
    }
    uLongf got = static_cast<uLongf>(out.size());
    if (uncompress(out.data(), &got, block + 8, static_cast<uLong>(size - 8)) != Z_OK || got != length)
        return false;
    out.resize(got);
    database = std::move(out);
    return true;
}

Text ExportConnectText(std::string_view databasePath)
{
    const int slash = FindTextReverse(databasePath, "\\");
    const Text folder = slash > 0 ? LeftText(databasePath, slash - 1) : Text(databasePath);
    return "ODBC;DBQ=" + Text(databasePath) + ";DefaultDir=" + folder +
           ";Driver={Microsoft Access Driver (*.mdb)};FIL=MS Access" + ";";
}

Text SqlTextLiteral(std::string_view text)
{
    Text out = "'";
    for (char c : text) {
        out.push_back(c);
        if (c == '\'')
            out.push_back('\'');
    }
    out.push_back('\'');
    return out;
}

Text ExportSelectIntoStatement(std::string_view workbookFile, std::string_view sheetName)
{
    const Text sheet = sheetName.empty() ? Text("[Sheet1]") : Text(sheetName);
    return "SELECT * INTO [Excel 8.0;Database=" + Text(workbookFile) + "]." + sheet + " FROM tmp";
}

bool ExportListViewToExcel(const ExcelExportRequest& request)
{
    bool ok = false;
    const bool ran = RunOnWindowThread(request.listView, [&] {
        // A list too large for memory fails the export like any other failure.
        try {
            ok = ExportOnWindowThread(request);
        } catch (const std::bad_alloc&) {
            ok = false;
        }
    });
    return ran && ok;
}
