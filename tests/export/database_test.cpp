// The database control's engine: the carried template, names, the statements, transactions, the
// database file, and the SELECT INTO that writes a workbook (whose contents export_readback checks).
#include "export/export_support.h"
#include "helpers/listview_export.h"
#include "resources/resources.h"
#include "runtime/database.h"
#include "runtime/workbook.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>

using namespace export_test;

namespace {

Text Quote(const Text& s) { return SqlTextLiteral(s); }

class DatabaseTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ByteSet empty = EmptyDatabaseImage();
        ASSERT_TRUE(WriteFileText(DatabasePath(), std::string(empty.begin(), empty.end())));
        ASSERT_TRUE(db.Open(ExportConnectText(DatabasePath()))) << db.LastError();
    }

    Text DatabasePath() const { return scratch / "db.tmp"; }

    bool Run(const Text& statement) { return db.Execute(statement); }

    void CreateTable(const TextArray& columns)
    {
        Text defs;
        for (const Text& c : columns) defs += (defs.empty() ? "" : ",") + c + " text";
        ASSERT_TRUE(Run("create table tmp (" + defs + ")")) << db.LastError();
    }

    bool InsertRow(const TextArray& columns, const TextArray& cells)
    {
        Text names, values;
        for (std::size_t k = 0; k < columns.size(); ++k) {
            names += (k ? "," : "") + columns[k];
            values += (k ? "," : "") + Quote(cells[k]);
        }
        return Run("insert into tmp (" + names + ") values (" + values + ")");
    }

    bool SelectInto(const Text& file, const Text& sheet = "[Sheet1]")
    {
        return Run("SELECT * INTO [Excel 8.0;Database=" + file + "]." + sheet + " FROM tmp");
    }

    ScratchFolder scratch{"database"};
    DatabaseConnection db;
};

}  // namespace

TEST(DatabaseTemplate, ExpandsToTheEngineEmptyDatabase)
{
    ASSERT_GE(EmbeddedDatabaseTemplate_size, 8u);
    const unsigned char magic[4] = {0x0D, 0x0F, 0x3E, 0x03};
    EXPECT_EQ(std::memcmp(EmbeddedDatabaseTemplate, magic, 4), 0);
    ByteSet database;
    ASSERT_TRUE(ExpandDatabaseTemplate(EmbeddedDatabaseTemplate, EmbeddedDatabaseTemplate_size, database));
    EXPECT_EQ(database.size(), 4096u);
    EXPECT_EQ(database, EmptyDatabaseImage());
}

TEST(DatabaseTemplate, DamagedBlocksAreRefused)
{
    const ByteSet good(EmbeddedDatabaseTemplate, EmbeddedDatabaseTemplate + EmbeddedDatabaseTemplate_size);
    struct Case {
        const char* what;
        std::function<void(ByteSet&)> damage;
    };
    const Case cases[] = {
        {"another magic", [](ByteSet& b) { b[0] ^= 1; }},
        {"a longer length", [](ByteSet& b) { b[4] += 1; }},
        {"a shorter length", [](ByteSet& b) { b[5] -= 1; }},
        {"zero length", [](ByteSet& b) { std::fill(b.begin() + 4, b.begin() + 8, 0); }},
        {"a huge length", [](ByteSet& b) { std::fill(b.begin() + 4, b.begin() + 8, 0xFF); }},
        {"a cut stream", [](ByteSet& b) { b.resize(b.size() - 6); }},
        {"no stream", [](ByteSet& b) { b.resize(8); }},
        {"no header", [](ByteSet& b) { b.resize(5); }},
        {"a garbled stream", [](ByteSet& b) { b[10] ^= 0x55; b[11] ^= 0x55; }},
    };
    for (const Case& c : cases) {
        ByteSet block = good;
        c.damage(block);
        ByteSet out{1, 2, 3};
        EXPECT_FALSE(ExpandDatabaseTemplate(block.data(), block.size(), out)) << c.what;
        EXPECT_TRUE(out.empty()) << c.what;
    }
}

TEST(DatabaseNames, TheProgramsTitlesAreNamesAndOtherTextsAreNot)
{
    for (const char* name : {"序号", "商品名称", "游戏区服", "游戏/区/服", "游戏名/服/区", "5173成交量", "17173评测页",
                             "是否需激活码", "5173游戏ID", "ID", "1", "总交易量", "tmp", "a_b", "成交时间", "交易地址"})
        EXPECT_TRUE(IsValidDatabaseName(name)) << name;
    const std::string sixtyFour(64, 'x'), sixtyFive(65, 'x');
    EXPECT_TRUE(IsValidDatabaseName(sixtyFour));
    for (const std::string& name :
         std::vector<std::string>{"", "a b", "价格 ", " 价格", "a.b", "[a]", "a'b", "a,b", "a(b)", "a;b", "a-b",
                                  "a\tb", "\xA1\xA1", "价\xA1\xA1格", "\xB5", sixtyFive, std::string("a\0b", 3)})
        EXPECT_FALSE(IsValidDatabaseName(name)) << name;
}

TEST_F(DatabaseTest, OpeningNeedsADatabaseOfThisEngine)
{
    DatabaseConnection other;
    EXPECT_FALSE(db.Open(ExportConnectText(DatabasePath()))) << "already open";
    EXPECT_FALSE(other.Open("ODBC;DefaultDir=C:\\;Driver={Microsoft Access Driver (*.mdb)};"));
    EXPECT_FALSE(other.Open(ExportConnectText(scratch / "missing.tmp")));
    EXPECT_FALSE(other.Open("ODBC;DBQ=" + DatabasePath() + ";Driver={SQL Server};"));

    ASSERT_TRUE(WriteFileText(scratch / "text.tmp", std::string(5000, 'x')));
    EXPECT_FALSE(other.Open(ExportConnectText(scratch / "text.tmp")));
    ByteSet empty = EmptyDatabaseImage();
    ASSERT_TRUE(WriteFileText(scratch / "cut.tmp", std::string(empty.begin(), empty.begin() + 100)));
    EXPECT_FALSE(other.Open(ExportConnectText(scratch / "cut.tmp")));

    // A database with a table, then one byte of the table changed: its checksum gives it away.
    CreateTable({"序号"});
    std::string bytes = ReadFileText(DatabasePath());
    ASSERT_GT(bytes.size(), 4096u);
    ASSERT_TRUE(other.Open(ExportConnectText(DatabasePath())));
    other.Close();
    bytes[4100] ^= 1;
    ASSERT_TRUE(WriteFileText(scratch / "bad.tmp", bytes));
    EXPECT_FALSE(other.Open(ExportConnectText(scratch / "bad.tmp")));

    // The connect text without its "ODBC;" and with a folder holding ";": the path survives.
    ScratchFolder odd("a;b");
    ASSERT_TRUE(WriteFileText(odd / "db.tmp", std::string(empty.begin(), empty.end())));
    EXPECT_TRUE(other.Open("DBQ=" + odd.Path() + "db.tmp;Driver={Microsoft Access Driver (*.mdb)}"))
        << other.LastError();
}

TEST_F(DatabaseTest, CreateRefusesWhatIsNoTableOfTextColumns)
{
    for (const char* statement :
         {"create table tmp ()", "create table tmp (序号 text,序号 text)", "create table tmp (ID text,id text)",
          "create table tmp ( text)", "create table tmp (a int)", "create table tmp (a text,)",
          "create table tmp (a text) more", "create table tmp (a b text)", "create table tmp (a.b text)",
          "create table tmp (a text", "create table (a text)", "create tmp (a text)", "create table t.mp (a text)",
          "update tmp set a='1'", ""}) {
        EXPECT_FALSE(Run(statement)) << statement;
        EXPECT_FALSE(db.LastError().empty()) << statement;
    }
    EXPECT_TRUE(db.TableNames().empty());
    EXPECT_TRUE(Run("CREATE TABLE tmp ( 序号 TEXT , 游戏/区/服 text,5173成交量 Text )")) << db.LastError();
    EXPECT_FALSE(Run("create table TMP (a text)")) << "the table exists";
    EXPECT_FALSE(Run("drop table other"));
    EXPECT_TRUE(Run("drop table tmp"));
    EXPECT_FALSE(Run("drop table tmp"));
}

TEST_F(DatabaseTest, InsertTakesOneQuotedTextPerNamedColumn)
{
    CreateTable({"序号", "价格", "单价"});
    EXPECT_TRUE(Run("insert into tmp (序号,价格,单价) values ('1','1,280','it''s')"));
    EXPECT_TRUE(Run("insert into tmp (单价,序号) values ('','2')")) << "a column left out is empty";
    EXPECT_TRUE(Run("INSERT INTO tmp ( 价格 , 序号 ) VALUES ( ' ' , '''' )"));
    const long long before = db.RowCount("tmp");
    for (const char* statement :
         {"insert into tmp (序号,价格) values ('1')", "insert into tmp (序号) values ('1','2')",
          "insert into tmp (序号) values ('1", "insert into tmp (序号) values (1)",
          "insert into tmp (序号) values ('1') x", "insert into tmp (序号,序号) values ('1','2')",
          "insert into tmp (其他) values ('1')", "insert into other (序号) values ('1')",
          "insert into tmp (序号) values ('1',)", "insert into tmp 序号 values ('1')"})
        EXPECT_FALSE(Run(statement)) << statement;
    EXPECT_EQ(db.RowCount("tmp"), before) << "a failed insert leaves no row behind";
    EXPECT_EQ(before, 3);

    const Text file = WorkbookFolder() + "database-insert.xls";
    ASSERT_TRUE(SelectInto(file)) << db.LastError();
    ExpectWorkbook(file, "Sheet1",
                   {{"序号", "价格", "单价"}, {"1", "1,280", "it's"}, {"2", "", ""}, {"'", " ", ""}});
}

TEST_F(DatabaseTest, ATransactionReachesTheFileOnlyWhenCommitted)
{
    CreateTable({"名称"});
    EXPECT_FALSE(db.CommitTransaction()) << "no transaction";
    ASSERT_TRUE(db.BeginTransaction());
    EXPECT_FALSE(db.BeginTransaction()) << "one at a time";
    ASSERT_TRUE(InsertRow({"名称"}, {"甲"}));
    ASSERT_TRUE(InsertRow({"名称"}, {"乙"}));
    EXPECT_EQ(db.RowCount("tmp"), 2) << "the connection sees its own rows";
    db.Close();  // without a commit

    ASSERT_TRUE(db.Open(ExportConnectText(DatabasePath())));
    EXPECT_EQ(db.RowCount("tmp"), 0);
    ASSERT_TRUE(db.BeginTransaction());
    ASSERT_TRUE(InsertRow({"名称"}, {"丙"}));
    ASSERT_TRUE(db.CommitTransaction());
    db.Close();

    ASSERT_TRUE(db.Open(ExportConnectText(DatabasePath())));
    EXPECT_EQ(db.RowCount("tmp"), 1);
    // A rollback takes back rows, a drop and a create of its own.
    ASSERT_TRUE(db.BeginTransaction());
    ASSERT_TRUE(InsertRow({"名称"}, {"丁"}));
    ASSERT_TRUE(Run("drop table tmp"));
    ASSERT_TRUE(Run("create table 新表 (a text)"));
    db.RollbackTransaction();
    EXPECT_EQ(db.TableNames(), (std::vector<Text>{"tmp"}));
    EXPECT_EQ(db.RowCount("tmp"), 1);
    // Outside a transaction every statement reaches the file at once.
    ASSERT_TRUE(InsertRow({"名称"}, {"戊"}));
    db.Close();
    ASSERT_TRUE(db.Open(ExportConnectText(DatabasePath())));
    EXPECT_EQ(db.RowCount("tmp"), 2);
}

TEST(SheetNames, BracketsOffForbiddenCharactersReplacedAtMostThirtyOne)
{
    struct Case {
        const char* given;
        const wchar_t* sheet;  // nullptr: refused
    };
    const Case cases[] = {
        {"[Sheet1]", L"Sheet1"},
        {"Sheet1", L"Sheet1"},
        {"Brelmor网www.brelmor.com", L"Brelmor\x7F51www.brelmor.com"},
        {"Brelmor网127.0.0.1:18173", L"Brelmor\x7F51" L"127.0.0.1_18173"},
        {"[a:b\\c/d?e*f[g]h]", L"a_b_c_d_e_f_g_h"},
        {"'quoted'", L"_quoted_"},
        {"[0123456789012345678901234567890123456789]", L"0123456789012345678901234567890"},
        {"[]", nullptr},
        {"", nullptr},
    };
    for (const Case& c : cases) {
        std::wstring sheet = L"unchanged";
        EXPECT_EQ(MakeSheetName(c.given, sheet), c.sheet != nullptr) << c.given;
        if (c.sheet) {
            EXPECT_EQ(sheet, c.sheet) << c.given;
        }
    }
    std::wstring sheet;
    ASSERT_TRUE(MakeSheetName("成交量成交量成交量成交量成交量成交量成交量成交量成交量成交量成交量", sheet));
    EXPECT_EQ(sheet.size(), 31u);
}

TEST_F(DatabaseTest, SelectIntoReadsThePathUpToTheLastBracketAndPoint)
{
    CreateTable({"序号", "名称"});
    ASSERT_TRUE(InsertRow({"序号", "名称"}, {"1", "甲"}));
    // A folder and a file name holding "]", ";", "'" and "]." survive.
    const Text folder = WorkbookFolder() + "odd];'.folder";
    ASSERT_TRUE(CreateDirectoryW(WideFromGbk(folder).c_str(), nullptr));
    const Text file = folder + "\\成交量].x;y'z.xls";
    ASSERT_TRUE(SelectInto(file, "[Brelmor网maker.example]")) << db.LastError();
    ExpectWorkbook(file, "Brelmor网maker.example", {{"序号", "名称"}, {"1", "甲"}});
    // Keywords in any case; the default sheet.
    const Text second = WorkbookFolder() + "database-lower.xls";
    ASSERT_TRUE(Run("select * into [excel 8.0;database=" + second + "].[Sheet1] from TMP")) << db.LastError();
    ExpectWorkbook(second, "Sheet1", {{"序号", "名称"}, {"1", "甲"}});

    for (const Text& bad :
         {Text("SELECT * INTO [Excel 8.0;Database=" + second + "] FROM tmp"), Text("SELECT * INTO [Excel 8.0;Database=].[Sheet1] FROM tmp"),
          Text("SELECT * INTO [Excel 8.0;Database=" + file + "].[] FROM tmp"),
          Text("SELECT * INTO [Excel 8.0;Database=" + file + "].[Sheet1] FROM other"),
          Text("SELECT * INTO [Excel 8.0;Database=" + file + "].[Sheet1]"),
          Text("SELECT a INTO [Excel 8.0;Database=" + file + "].[Sheet1] FROM tmp")})
        EXPECT_FALSE(Run(bad)) << bad;
}

TEST_F(DatabaseTest, AnEmptyTableGivesItsTitlesInASmallWorkbook)
{
    CreateTable({"序号", "商品名称", "价格"});
    const Text file = WorkbookFolder() + "database-empty.xls";
    ASSERT_TRUE(SelectInto(file)) << db.LastError();
    ExpectWorkbook(file, "Sheet1", {{"序号", "商品名称", "价格"}});
    // The header, the stream filled up to 4,096 bytes (never the mini stream), the directory, the FAT.
    EXPECT_EQ(ReadFileText(file).size(), 512u + 4096u + 512u + 512u);
}

TEST_F(DatabaseTest, LongTextsRunOverRecordBoundaries)
{
    CreateTable({"名称", "说明"});
    ASSERT_TRUE(db.BeginTransaction());
    Rows rows{{"名称", "说明"}};
    // Texts of every length around the record size, double-byte and single-byte, and the longest ones.
    for (int n : {1, 2, 4095, 4096, 4097, 8000, 8220, 8221, 8222, 8223, 8224, 9000, 20000}) {
        std::string wide, narrow(static_cast<std::size_t>(n), 'a');
        for (int i = 0; i < n; ++i) wide += i % 2 ? "行" : "情";
        rows.push_back({wide, narrow});
    }
    std::string longest;
    for (int i = 0; i < 32767; ++i) longest += "中";
    rows.push_back({longest, std::string(32767, 'z')});
    for (std::size_t r = 1; r < rows.size(); ++r) ASSERT_TRUE(InsertRow({"名称", "说明"}, rows[r]));
    const Text file = WorkbookFolder() + "database-long-texts.xls";
    ASSERT_TRUE(SelectInto(file)) << db.LastError();
    ExpectWorkbook(file, "Sheet1", rows);
    ASSERT_TRUE(db.CommitTransaction());
}

TEST_F(DatabaseTest, ABigWorkbookListsItsAllocationTablesBeyondTheHeader)
{
    // About 11 MB of distinct texts: more than 109 sectors of allocation table.
    const TextArray columns{"甲列", "乙列", "丙列", "丁列"};
    CreateTable(columns);
    ASSERT_TRUE(db.BeginTransaction());
    Rows rows{columns};
    for (int r = 0; r < 60000; ++r) {
        TextArray row;
        for (int k = 0; k < 4; ++k) row.push_back("交易行情数据第" + std::to_string(r) + "行第" + std::to_string(k) + "列");
        ASSERT_TRUE(InsertRow(columns, row));
        rows.push_back(std::move(row));
    }
    const Text file = WorkbookFolder() + "database-big.xls";
    ASSERT_TRUE(SelectInto(file)) << db.LastError();
    ASSERT_TRUE(db.CommitTransaction());
    ExpectWorkbook(file, "Sheet1", rows);
    EXPECT_GT(ReadFileText(file).size(), 109u * 128u * 512u);
}

TEST_F(DatabaseTest, LimitsOfTheFormatFailAndLeaveTheTargetUntouched)
{
    const Text target = scratch / "kept.xls";
    ASSERT_TRUE(WriteFileText(target, "the file that was there"));

    // 65,535 rows below the titles fit; one more does not.
    CreateTable({"序号"});
    ASSERT_TRUE(db.BeginTransaction());
    for (int r = 1; r <= 65535; ++r) ASSERT_TRUE(InsertRow({"序号"}, {std::to_string(r)}));
    const Text full = WorkbookFolder() + "database-65535-rows.xls";
    ASSERT_TRUE(SelectInto(full)) << db.LastError();
    Rows expected{{"序号"}};
    for (int r = 1; r <= 65535; ++r) expected.push_back({std::to_string(r)});
    ExpectWorkbook(full, "Sheet1", expected);
    ASSERT_TRUE(InsertRow({"序号"}, {"65536"}));
    EXPECT_FALSE(SelectInto(target));
    ASSERT_TRUE(db.CommitTransaction());
    ASSERT_TRUE(Run("drop table tmp"));

    // 256 columns fit; 257 do not.
    TextArray names;
    for (int k = 1; k <= 257; ++k) names.push_back("列" + std::to_string(k));
    CreateTable(TextArray(names.begin(), names.end() - 1));
    ASSERT_TRUE(InsertRow(TextArray(names.begin(), names.end() - 1), TextArray(256, "值")));
    const Text wide = WorkbookFolder() + "database-256-columns.xls";
    ASSERT_TRUE(SelectInto(wide)) << db.LastError();
    ExpectWorkbook(wide, "Sheet1", {TextArray(names.begin(), names.end() - 1), TextArray(256, "值")});
    ASSERT_TRUE(Run("drop table tmp"));
    CreateTable(names);
    EXPECT_FALSE(SelectInto(target));
    ASSERT_TRUE(Run("drop table tmp"));

    // A text of 32,768 characters does not fit (found while the workbook is written).
    CreateTable({"说明"});
    std::string tooLong;
    for (int i = 0; i < 32768; ++i) tooLong += "中";
    ASSERT_TRUE(InsertRow({"说明"}, {"短"}));
    ASSERT_TRUE(InsertRow({"说明"}, {tooLong}));
    EXPECT_FALSE(SelectInto(target));

    // A folder that does not exist, and a folder in place of the file.
    EXPECT_FALSE(SelectInto(scratch / "missing\\book.xls"));
    EXPECT_FALSE(SelectInto(scratch.Path().substr(0, scratch.Path().size() - 1)));

    EXPECT_EQ(ReadFileText(target), "the file that was there");
    EXPECT_FALSE(TemporaryWorkbookLeft(scratch.Path()));
}

TEST_F(DatabaseTest, InATransactionTheTargetIsReplacedOnlyByASuccessfulCommit)
{
    const std::string old = "the workbook of yesterday";
    const Text target = WorkbookFolder() + "database-commit.xls";
    ASSERT_TRUE(WriteFileText(target, old));
    CreateTable({"序号"});
    ASSERT_TRUE(db.BeginTransaction());
    ASSERT_TRUE(InsertRow({"序号"}, {"1"}));
    ASSERT_TRUE(SelectInto(target)) << db.LastError();
    EXPECT_EQ(ReadFileText(target), old) << "not before the commit";
    {
        HeldFile held(DatabasePath());
        ASSERT_TRUE(held.IsHeld());
        EXPECT_FALSE(db.CommitTransaction()) << "the database file cannot be written";
    }
    EXPECT_EQ(ReadFileText(target), old);
    {
        HeldFile held(target);
        ASSERT_TRUE(held.IsHeld());
        EXPECT_FALSE(db.CommitTransaction()) << "the target cannot be replaced";
    }
    EXPECT_EQ(ReadFileText(target), old);
    EXPECT_TRUE(db.InTransaction());
    ASSERT_TRUE(db.CommitTransaction()) << db.LastError();
    EXPECT_FALSE(db.InTransaction());
    ExpectWorkbook(target, "Sheet1", {{"序号"}, {"1"}});
    EXPECT_FALSE(TemporaryWorkbookLeft(WorkbookFolder()));
}

TEST_F(DatabaseTest, ADroppedTransactionLeavesTheTargetAndTheDatabaseAsTheyWere)
{
    const Text target = scratch / "kept.xls";
    ASSERT_TRUE(WriteFileText(target, "kept"));
    CreateTable({"序号"});
    ASSERT_TRUE(InsertRow({"序号"}, {"1"}));
    for (bool closed : {false, true}) {
        ASSERT_TRUE(db.BeginTransaction());
        ASSERT_TRUE(InsertRow({"序号"}, {"2"}));
        ASSERT_TRUE(SelectInto(target)) << db.LastError();
        {
            // The database file is written, the workbook cannot be placed.
            HeldFile held(target);
            ASSERT_TRUE(held.IsHeld());
            EXPECT_FALSE(db.CommitTransaction());
        }
        if (closed) {
            db.Close();
            ASSERT_TRUE(db.Open(ExportConnectText(DatabasePath())));
        } else {
            db.RollbackTransaction();
        }
        EXPECT_EQ(ReadFileText(target), "kept") << closed;
        EXPECT_FALSE(TemporaryWorkbookLeft(scratch.Path())) << closed;
        DatabaseConnection other;
        ASSERT_TRUE(other.Open(ExportConnectText(DatabasePath())));
        EXPECT_EQ(other.RowCount("tmp"), 1) << "the file is back to the rows before the transaction";
    }
}

TEST_F(DatabaseTest, TheDatabaseFileIsNoWorkbookFile)
{
    CreateTable({"序号"});
    ASSERT_TRUE(InsertRow({"序号"}, {"1"}));
    const Text link = scratch / "link.tmp";
    ASSERT_TRUE(CreateHardLinkW(WideFromGbk(link).c_str(), WideFromGbk(DatabasePath()).c_str(), nullptr));
    for (const Text& name : {DatabasePath(), scratch / "DB.TMP", scratch / ".\\db.tmp", link}) {
        EXPECT_FALSE(SelectInto(name)) << name;
        ASSERT_TRUE(db.BeginTransaction());
        EXPECT_FALSE(SelectInto(name)) << name;
        ASSERT_TRUE(db.CommitTransaction());
    }
    DatabaseConnection other;
    ASSERT_TRUE(other.Open(ExportConnectText(DatabasePath()))) << "still the database";
    EXPECT_EQ(other.RowCount("tmp"), 1);
}

TEST_F(DatabaseTest, ASuccessfulSelectIntoReplacesTheTarget)
{
    CreateTable({"序号"});
    ASSERT_TRUE(InsertRow({"序号"}, {"1"}));
    const Text file = WorkbookFolder() + "database-replaced.xls";
    ASSERT_TRUE(WriteFileText(file, "an older file"));
    ASSERT_TRUE(SelectInto(file)) << db.LastError();
    ExpectWorkbook(file, "Sheet1", {{"序号"}, {"1"}});
    EXPECT_NE(ReadFileText(file), "an older file");
}

TEST(DatabaseControl, HoldsOneConnectionUntilItsWindowCloses)
{
    WindowLayout layout{"", {0, 0, 85, 95}, false, {}};
    layout.Add(ui::Database("外部数据库1"));
    layout.Add(ui::Label("标签", "", {0, 0, 10, 10}));
    Form form = LoadForm(layout);
    const auto first = DatabaseConnectionOf(form.Control("外部数据库1"));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(DatabaseConnectionOf(form.Control("外部数据库1")), first);
    EXPECT_EQ(DatabaseConnectionOf(form.Control("标签")), nullptr);
    form.Control("外部数据库1").SetData(std::make_shared<int>(7));
    EXPECT_EQ(DatabaseConnectionOf(form.Control("外部数据库1")), nullptr) << "a slot holding something else";
    form.Control("外部数据库1").SetData(nullptr);
    EXPECT_EQ(DatabaseConnectionOf(form.Control("外部数据库1"), false), nullptr);
    form.Destroy();
    EXPECT_EQ(DatabaseConnectionOf(form.Control("外部数据库1")), nullptr);
}
