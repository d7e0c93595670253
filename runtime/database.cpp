// The database control's engine (see database.h).
#include "runtime/database.h"
#include "runtime/database_file.h"
#include "runtime/files.h"
#include "runtime/workbook.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <new>
#include <set>

using namespace database_detail;

namespace {

constexpr std::size_t kMaxNameChars = 64;

// --- Texts ---------------------------------------------------------------------------------------------

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    }
    return true;
}

std::string_view Trimmed(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// The last position of `what` in `s` without regard to ASCII case; npos when absent.
std::size_t FindLastIgnoringCase(std::string_view s, std::string_view what)
{
    if (what.size() > s.size())
        return std::string_view::npos;
    for (std::size_t i = s.size() - what.size() + 1; i-- > 0;) {
        if (SameIgnoringCase(s.substr(i, what.size()), what))
            return i;
    }
    return std::string_view::npos;
}

// --- Reading a statement --------------------------------------------------------------------------------

struct Cursor {
    std::string_view s;
    std::size_t i = 0;

    void SkipBlanks()
    {
        while (i < s.size() && IsBlank(s[i]))
            ++i;
    }
    bool AtEnd()
    {
        SkipBlanks();
        return i == s.size();
    }
    // A keyword, ending where the text ends or at a blank, "(", ")" or ",".
    bool Keyword(std::string_view word)
    {
        SkipBlanks();
        if (s.size() - i < word.size() || !SameIgnoringCase(s.substr(i, word.size()), word))
            return false;
        const std::size_t after = i + word.size();
        if (after < s.size() && !IsBlank(s[after]) && s[after] != '(' && s[after] != ')' && s[after] != ',')
            return false;
        i = after;
        return true;
    }
    bool Char(char c)
    {
        SkipBlanks();
        if (i < s.size() && s[i] == c) {
            ++i;
            return true;
        }
        return false;
    }
    // A name: everything up to a blank, "(", ")" or "," (none of them is ever the second byte of a
    // double-byte character), which must then be a valid name.
    bool Name(std::string_view& name)
    {
        SkipBlanks();
        const std::size_t start = i;
        while (i < s.size() && !IsBlank(s[i]) && s[i] != '(' && s[i] != ')' && s[i] != ',')
            ++i;
        name = s.substr(start, i - start);
        return IsValidDatabaseName(name);
    }
};

class TableSheet final : public WorkbookTable {
public:
    explicit TableSheet(const Table& t) : t_(t) {}
    std::size_t ColumnCount() const override { return t_.columns.size(); }
    std::size_t RowCount() const override { return t_.Rows(); }
    std::string_view Title(std::size_t column) const override { return t_.columns[column]; }
    std::string_view Cell(std::size_t row, std::size_t column) const override { return t_.Cell(row, column); }

private:
    const Table& t_;
};

// --- Watching -------------------------------------------------------------------------------------------

std::mutex watcherLock;
DatabaseCallWatcher watcher;
std::atomic<bool> watching{false};

void Report(DatabaseCall::Kind kind, std::string_view text, bool ok)
{
    if (!watching.load(std::memory_order_relaxed))
        return;
    DatabaseCallWatcher w;
    {
        std::lock_guard<std::mutex> lock(watcherLock);
        w = watcher;
    }
    if (w)
        w(DatabaseCall{kind, Text(text), ok});
}

// --- Connections held by database controls ---------------------------------------------------------------

std::mutex registryLock;
std::set<const void*> registry;

}  // namespace

struct DatabaseState {
    bool open = false;
    std::wstring path;
    std::vector<std::shared_ptr<Table>> tables;
    Text error;

    bool inTransaction = false;
    std::vector<std::shared_ptr<Table>> tablesAtBegin;
    std::vector<std::pair<std::shared_ptr<Table>, std::size_t>> rowsAtBegin;
    // The workbooks of the transaction's SELECT INTOs, written beside their targets and moved into
    // place at the commit, in the order of the statements.
    std::vector<WorkbookFile> workbooks;
    // A commit wrote the file but could not place every workbook: the file is ahead of the open
    // transaction until a commit succeeds, and is written again when the transaction is dropped.
    bool fileAhead = false;

    // The column order of the last insert's name list, kept while the same list comes again.
    const Table* insertTable = nullptr;
    std::string insertNames;
    std::vector<int> insertOrder;  // the table column of each listed name
    bool insertInOrder = false;    // the list names every column in the table's order

    std::shared_ptr<Table> Find(std::string_view name) const
    {
        for (const auto& t : tables) {
            if (SameName(t->name, name))
                return t;
        }
        return nullptr;
    }

    bool Fail(const char* why)
    {
        error = why;
        return false;
    }

    // Outside a transaction a change reaches the file at once; `undo` puts the catalog back when it
    // cannot.
    bool Persist(const std::vector<std::shared_ptr<Table>>& undo)
    {
        if (inTransaction)
            return true;
        if (WriteDatabaseFile(path, tables, error))
            return true;
        tables = undo;
        return false;
    }

    bool Drop(Cursor& c);
    bool Create(Cursor& c);
    bool Insert(Cursor& c);
    bool SelectInto(std::string_view statement);
};

bool DatabaseState::Drop(Cursor& c)
{
    std::string_view name;
    if (!c.Keyword("table") || !c.Name(name) || !c.AtEnd())
        return Fail("syntax error in DROP TABLE");
    auto t = Find(name);
    if (!t)
        return Fail("no such table");
    const auto before = tables;
    tables.erase(std::find(tables.begin(), tables.end(), t));
    insertTable = nullptr;
    return Persist(before);
}

bool DatabaseState::Create(Cursor& c)
{
    std::string_view name;
    if (!c.Keyword("table"))
        return Fail("syntax error in CREATE TABLE");
    if (!c.Name(name))
        return Fail("not a table name");
    if (!c.Char('('))
        return Fail("syntax error in CREATE TABLE");
    auto table = std::make_shared<Table>();
    table->name.assign(name);
    for (;;) {
        std::string_view column;
        if (!c.Name(column))
            return Fail("not a column name");
        if (!c.Keyword("text"))
            return Fail("syntax error in a column definition");
        if (table->ColumnIndex(column) >= 0)
            return Fail("a column is defined twice");
        table->columns.emplace_back(column);
        if (c.Char(','))
            continue;
        if (c.Char(')'))
            break;
        return Fail("syntax error in CREATE TABLE");
    }
    if (!c.AtEnd())
        return Fail("syntax error in CREATE TABLE");
    if (Find(name))
        return Fail("the table already exists");
    const auto before = tables;
    tables.push_back(std::move(table));
    return Persist(before);
}

bool DatabaseState::Insert(Cursor& c)
{
    std::string_view name;
    if (!c.Keyword("into") || !c.Name(name) || !c.Char('('))
        return Fail("syntax error in INSERT INTO");
    const std::shared_ptr<Table> t = Find(name);
    if (!t)
        return Fail("no such table");

    // The name list, read again only when it differs from the last one.
    const std::size_t listStart = c.i;
    const std::size_t close = c.s.find(')', listStart);
    if (close == std::string_view::npos)
        return Fail("syntax error in INSERT INTO");
    const std::string_view list = c.s.substr(listStart, close - listStart);
    if (insertTable != t.get() || list != insertNames) {
        insertTable = nullptr;
        insertOrder.clear();
        Cursor names{list, 0};
        for (;;) {
            std::string_view column;
            if (!names.Name(column))
                return Fail("not a column name");
            const int k = t->ColumnIndex(column);
            if (k < 0)
                return Fail("no such column");
            if (std::find(insertOrder.begin(), insertOrder.end(), k) != insertOrder.end())
                return Fail("a column is named twice");
            insertOrder.push_back(k);
            if (names.AtEnd())
                break;
            if (!names.Char(','))
                return Fail("syntax error in INSERT INTO");
        }
        insertInOrder = insertOrder.size() == t->columns.size();
        for (std::size_t k = 0; k < insertOrder.size() && insertInOrder; ++k)
            insertInOrder = insertOrder[k] == static_cast<int>(k);
        insertNames.assign(list);
        insertTable = t.get();
    }
    c.i = close + 1;
    if (!c.Keyword("values") || !c.Char('('))
        return Fail("syntax error in INSERT INTO");

    // The literals: straight into the table when they come in its column order, else gathered first.
    const std::size_t rowStart = t->ends.size();
    const std::size_t bytesStart = t->cells.size();
    std::vector<Text> gathered;
    if (!insertInOrder)
        gathered.assign(t->columns.size(), Text());
    auto undo = [&](const char* why) {
        t->cells.resize(bytesStart);
        t->ends.resize(rowStart);
        return Fail(why);
    };
    try {
        for (std::size_t k = 0; k < insertOrder.size(); ++k) {
            if (!c.Char('\''))
                return undo("a value is not a quoted text");
            std::string* into = insertInOrder ? &t->cells : &gathered[insertOrder[k]];
            for (;;) {
                const char* from = c.s.data() + c.i;
                const void* quote = std::memchr(from, '\'', c.s.size() - c.i);
                if (!quote)
                    return undo("a text is not closed");
                const std::size_t n = static_cast<const char*>(quote) - from;
                if (into->size() + n + 1 > kMaxTableBytes)
                    return undo("the table is too large");
                into->append(from, n);
                c.i += n + 1;
                if (c.i < c.s.size() && c.s[c.i] == '\'') {
                    into->push_back('\'');
                    ++c.i;
                    continue;
                }
                break;
            }
            if (insertInOrder)
                t->ends.push_back(static_cast<std::uint32_t>(t->cells.size()));
            if (!c.Char(k + 1 < insertOrder.size() ? ',' : ')'))
                return undo(k + 1 < insertOrder.size() ? "fewer values than columns" : "more values than columns");
        }
        if (!c.AtEnd())
            return undo("syntax error in INSERT INTO");
        if (!insertInOrder) {
            for (const Text& cell : gathered) {
                if (t->cells.size() + cell.size() > kMaxTableBytes)
                    return undo("the table is too large");
                t->cells.append(cell);
                t->ends.push_back(static_cast<std::uint32_t>(t->cells.size()));
            }
        }
    } catch (const std::bad_alloc&) {
        return undo("out of memory");
    }
    if (inTransaction)
        return true;
    if (WriteDatabaseFile(path, tables, error))
        return true;
    t->cells.resize(bytesStart);
    t->ends.resize(rowStart);
    return false;
}

bool DatabaseState::SelectInto(std::string_view statement)
{
    static constexpr std::string_view kPrefix = "SELECT * INTO [Excel 8.0;Database=";
    static constexpr std::string_view kFrom = " FROM ";
    if (statement.size() < kPrefix.size() || !SameIgnoringCase(statement.substr(0, kPrefix.size()), kPrefix))
        return Fail("syntax error in SELECT INTO");
    const std::string_view rest = statement.substr(kPrefix.size());
    const std::size_t from = FindLastIgnoringCase(rest, kFrom);
    if (from == std::string_view::npos)
        return Fail("syntax error in SELECT INTO");
    const std::string_view source = Trimmed(rest.substr(from + kFrom.size()));
    const std::string_view target = rest.substr(0, from);
    // The workbook path may hold "]", ";" and "'": the sheet follows the last "].".
    const std::size_t split = target.rfind("].");
    if (split == std::string_view::npos || split == 0)
        return Fail("syntax error in SELECT INTO");
    const std::string_view file = target.substr(0, split);
    std::wstring sheet;
    if (!MakeSheetName(target.substr(split + 2), sheet))
        return Fail("not a sheet name");
    if (!IsValidDatabaseName(source))
        return Fail("not a table name");
    const std::shared_ptr<Table> t = Find(source);
    if (!t)
        return Fail("no such table");
    const std::wstring workbookPath = WideFromGbk(file);
    if (workbookPath.empty() || workbookPath.find(L'\0') != std::wstring::npos)
        return Fail("not a workbook file");
    if (IsSameFile(workbookPath, path))
        return Fail("the workbook file is the database file");
    if (!inTransaction)
        return WriteWorkbookFile(workbookPath, sheet, TableSheet(*t), error);
    WorkbookFile workbook;
    if (!workbook.Write(workbookPath, sheet, TableSheet(*t), error))
        return false;
    workbooks.push_back(std::move(workbook));
    return true;
}

// --- Public ---------------------------------------------------------------------------------------------

bool IsValidDatabaseName(std::string_view name)
{
    std::size_t chars = 0;
    for (std::size_t i = 0; i < name.size(); ++chars) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (IsLeadByte(c)) {
            if (i + 1 >= name.size())
                return false;
            const unsigned char trail = static_cast<unsigned char>(name[i + 1]);
            if (trail < 0x40 || trail == 0x7F || trail == 0xFF || (c == 0xA1 && trail == 0xA1))
                return false;
            i += 2;
            continue;
        }
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                        c == '/';
        if (!ok)
            return false;
        ++i;
    }
    return chars >= 1 && chars <= kMaxNameChars;
}

DatabaseCallWatcher SetDatabaseCallWatcher(DatabaseCallWatcher w)
{
    std::lock_guard<std::mutex> lock(watcherLock);
    DatabaseCallWatcher previous = std::move(watcher);
    watcher = std::move(w);
    watching = static_cast<bool>(watcher);
    return previous;
}

DatabaseConnection::DatabaseConnection() : state_(std::make_unique<DatabaseState>()) {}

DatabaseConnection::~DatabaseConnection() { Close(); }

bool DatabaseConnection::Open(std::string_view connectText)
{
    auto report = [&](bool ok) {
        Report(DatabaseCall::Open, connectText, ok);
        return ok;
    };
    DatabaseState& s = *state_;
    if (s.open) {
        s.error = "the connection is already open";
        return report(false);
    }
    std::string_view text = connectText;
    if (text.size() >= 5 && SameIgnoringCase(text.substr(0, 5), "ODBC;"))
        text.remove_prefix(5);
    // key=value pairs separated by ";". A piece that does not begin with a known key belongs to the
    // value before it (a folder name may hold ";").
    static constexpr std::string_view kKeys[] = {"DBQ", "DefaultDir", "Driver", "FIL", "UID", "PWD", "DSN"};
    std::vector<std::pair<std::string_view, std::string>> pairs;
    std::size_t at = 0;
    while (at <= text.size()) {
        std::size_t end = text.find(';', at);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view piece = text.substr(at, end - at);
        const std::size_t eq = piece.find('=');
        bool isKey = false;
        if (eq != std::string_view::npos) {
            for (std::string_view k : kKeys)
                isKey = isKey || SameIgnoringCase(Trimmed(piece.substr(0, eq)), k);
        }
        if (isKey)
            pairs.emplace_back(Trimmed(piece.substr(0, eq)), std::string(piece.substr(eq + 1)));
        else if (!pairs.empty() && !(piece.empty() && end == text.size()))
            pairs.back().second.append(";").append(piece);
        at = end + 1;
    }
    // A ";" that only ended the text belongs to nothing.
    std::string dbq;
    for (auto& [key, value] : pairs) {
        if (SameIgnoringCase(key, "DBQ"))
            dbq = value;
        if (SameIgnoringCase(key, "Driver")) {
            const std::string_view v = Trimmed(value);
            if (!SameIgnoringCase(v, "{Microsoft Access Driver (*.mdb)}") &&
                !SameIgnoringCase(v, "{Microsoft Access Driver (*.mdb, *.accdb)}")) {
                s.error = "no such driver";
                return report(false);
            }
        }
    }
    if (Trimmed(dbq).empty()) {
        s.error = "the connect text names no database file";
        return report(false);
    }
    std::wstring path = WideFromGbk(dbq);
    std::vector<unsigned char> bytes;
    if (!ReadFileBytes(path, bytes)) {
        s.error = "the database file cannot be read";
        return report(false);
    }
    std::vector<std::shared_ptr<Table>> tables;
    if (!ParseDatabaseFile(bytes, tables)) {
        s.error = "not a database file";
        return report(false);
    }
    s.path = std::move(path);
    s.tables = std::move(tables);
    s.open = true;
    s.inTransaction = false;
    s.insertTable = nullptr;
    s.error.clear();
    return report(true);
}

bool DatabaseConnection::IsOpen() const { return state_->open; }

void DatabaseConnection::Close()
{
    DatabaseState& s = *state_;
    if (!s.open)
        return;
    if (s.inTransaction)
        RollbackTransaction();
    s.open = false;
    s.tables.clear();
    s.tables.shrink_to_fit();
    s.insertTable = nullptr;
    s.insertNames.clear();
    s.path.clear();
    Report(DatabaseCall::Close, {}, true);
}

bool DatabaseConnection::Execute(std::string_view statement)
{
    DatabaseState& s = *state_;
    bool ok = false;
    if (!s.open) {
        s.error = "the connection is not open";
    } else {
        try {
            Cursor c{statement, 0};
            if (c.Keyword("insert"))
                ok = s.Insert(c);
            else if (c.Keyword("create"))
                ok = s.Create(c);
            else if (c.Keyword("drop"))
                ok = s.Drop(c);
            else if (c.Keyword("select"))
                ok = s.SelectInto(Trimmed(statement));
            else
                s.error = "not a statement of this database";
        } catch (const std::bad_alloc&) {
            s.error = "out of memory";
            ok = false;
        }
    }
    if (ok)
        s.error.clear();
    Report(DatabaseCall::Execute, statement, ok);
    return ok;
}

bool DatabaseConnection::BeginTransaction()
{
    DatabaseState& s = *state_;
    bool ok = false;
    if (!s.open)
        s.error = "the connection is not open";
    else if (s.inTransaction)
        s.error = "a transaction is already open";
    else {
        s.inTransaction = true;
        s.tablesAtBegin = s.tables;
        s.rowsAtBegin.clear();
        for (const auto& t : s.tables)
            s.rowsAtBegin.emplace_back(t, t->Rows());
        ok = true;
    }
    Report(DatabaseCall::Begin, {}, ok);
    return ok;
}

bool DatabaseConnection::CommitTransaction()
{
    DatabaseState& s = *state_;
    bool ok = false;
    if (!s.open || !s.inTransaction) {
        s.error = "no transaction is open";
    } else if (WriteDatabaseFile(s.path, s.tables, s.error)) {
        // The workbooks replace their targets only now; one that cannot stays with the transaction.
        std::size_t placed = 0;
        while (placed < s.workbooks.size() && s.workbooks[placed].Place(s.error))
            ++placed;
        s.workbooks.erase(s.workbooks.begin(), s.workbooks.begin() + static_cast<std::ptrdiff_t>(placed));
        s.fileAhead = !s.workbooks.empty();
        ok = !s.fileAhead;
    }
    if (ok) {
        s.inTransaction = false;
        s.tablesAtBegin.clear();
        s.rowsAtBegin.clear();
    }
    Report(DatabaseCall::Commit, {}, ok);
    return ok;
}

void DatabaseConnection::RollbackTransaction()
{
    DatabaseState& s = *state_;
    if (!s.inTransaction)
        return;
    s.workbooks.clear();  // deleted, their targets untouched
    for (auto& [table, rows] : s.rowsAtBegin)
        table->Truncate(rows);
    s.tables = std::move(s.tablesAtBegin);
    s.tablesAtBegin.clear();
    s.rowsAtBegin.clear();
    s.inTransaction = false;
    s.insertTable = nullptr;
    if (s.fileAhead) {
        Text ignored;
        WriteDatabaseFile(s.path, s.tables, ignored);
        s.fileAhead = false;
    }
}

bool DatabaseConnection::InTransaction() const { return state_->inTransaction; }

Text DatabaseConnection::LastError() const { return state_->error; }

std::vector<Text> DatabaseConnection::TableNames() const
{
    std::vector<Text> names;
    for (const auto& t : state_->tables)
        names.push_back(t->name);
    return names;
}

long long DatabaseConnection::RowCount(std::string_view table) const
{
    const auto t = state_->Find(table);
    return t ? static_cast<long long>(t->Rows()) : -1;
}

std::shared_ptr<DatabaseConnection> DatabaseConnectionOf(const Control& control, bool create)
{
    if (control.Kind() != ControlKind::Database || !control.IsAlive())
        return nullptr;
    std::shared_ptr<void> held = control.Data();
    if (held) {
        std::lock_guard<std::mutex> lock(registryLock);
        if (registry.count(held.get()) == 0)
            return nullptr;
        return std::static_pointer_cast<DatabaseConnection>(held);
    }
    if (!create)
        return nullptr;
    std::shared_ptr<DatabaseConnection> connection(new DatabaseConnection, [](DatabaseConnection* c) {
        {
            std::lock_guard<std::mutex> lock(registryLock);
            registry.erase(c);
        }
        delete c;
    });
    {
        std::lock_guard<std::mutex> lock(registryLock);
        registry.insert(connection.get());
    }
    control.SetData(connection);
    return connection;
}
