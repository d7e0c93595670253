// ExportListViewToExcel over a real list view: the steps and statements, the columns, the rows, the
// progress bar, and what a failure leaves behind. The workbooks are read back by export_readback.
#include "export/export_support.h"
#include "helpers/listview_export.h"
#include "runtime/database.h"
#include "runtime/workers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>

using namespace export_test;

namespace {

const std::vector<ColumnSpec> kDealColumns = {{"序号", 40},  {"商品名称", 250}, {"游戏区服", 75}, {"商品类型", 65},
                                              {"价格", 60},  {"单价", 60},      {"成交时间", 150}, {"交易地址", 200}};

class Calls {
public:
    Calls()
    {
        previous_ = SetDatabaseCallWatcher([this](const DatabaseCall& call) {
            std::lock_guard<std::mutex> lock(lock_);
            calls_.push_back(call);
        });
    }
    ~Calls() { SetDatabaseCallWatcher(previous_); }
    std::vector<DatabaseCall> Get() const
    {
        std::lock_guard<std::mutex> lock(lock_);
        return calls_;
    }

private:
    mutable std::mutex lock_;
    std::vector<DatabaseCall> calls_;
    DatabaseCallWatcher previous_;
};

class ListExportTest : public ::testing::Test {
protected:
    void Load(const std::vector<ColumnSpec>& columns, const Rows& rows)
    {
        form = LoadListWindow(columns);
        ASSERT_TRUE(form.IsOpen());
        FillList(List(), rows);
    }
    void TearDown() override { form.Destroy(); }

    Control List() const { return form.Control("列表"); }
    Control Bar() const { return form.Control("进度条"); }

    ExcelExportRequest Request(const Text& file, IntArray columns = {}, const Text& sheet = "") const
    {
        return {List(), std::move(columns), file, sheet, Bar()};
    }

    Form form;
};

Rows WithTitles(const TextArray& titles, const Rows& rows)
{
    Rows all{titles};
    all.insert(all.end(), rows.begin(), rows.end());
    return all;
}

}  // namespace

TEST(ExportSteps, TemporaryPathConnectTextLiteralsAndTheLastStatement)
{
    EXPECT_EQ(TemporaryDatabasePath("C:\\Temp\\"), "C:\\Temp\\db.tmp");
    EXPECT_EQ(TemporaryDatabasePath("C:\\Temp"), "C:\\Temp\\db.tmp");
    // A UNC folder keeps its leading pair of backslashes.
    EXPECT_EQ(TemporaryDatabasePath("\\\\server\\share\\tmp\\"), "\\\\server\\share\\tmp\\db.tmp");
    // 誠 ends with the byte of "\": it is no backslash of its own.
    EXPECT_EQ(TemporaryDatabasePath("C:\\临时\\誠"), "C:\\临时\\誠\\db.tmp");
    const Text folder = TemporaryFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '\\');

    EXPECT_EQ(ExportConnectText("C:\\Temp\\db.tmp"),
              "ODBC;DBQ=C:\\Temp\\db.tmp;DefaultDir=C:\\Temp;Driver={Microsoft Access Driver (*.mdb)};FIL=MS Access;");
    EXPECT_EQ(SqlTextLiteral("it's"), "'it''s'");
    EXPECT_EQ(SqlTextLiteral(""), "''");
    EXPECT_EQ(SqlTextLiteral("''"), "''''''");
    EXPECT_EQ(SqlTextLiteral("誠'"), "'誠'''");
    EXPECT_EQ(ExportSelectIntoStatement("D:\\a b\\成交量.xls", ""),
              "SELECT * INTO [Excel 8.0;Database=D:\\a b\\成交量.xls].[Sheet1] FROM tmp");
    EXPECT_EQ(ExportSelectIntoStatement("D:\\x.xls", "Brelmor网www.brelmor.com"),
              "SELECT * INTO [Excel 8.0;Database=D:\\x.xls].Brelmor网www.brelmor.com FROM tmp");
}

TEST_F(ListExportTest, TheStatementsInTheirOrderAndTheWorkbook)
{
    Load({{"序号", 40}, {"价格", 60}}, {{"1", "1,280"}, {"2", "it's"}});
    const Text file = WorkbookFolder() + "export-statements.xls";
    const int forms = OpenFormCount();
    Calls calls;
    ASSERT_TRUE(ExportListViewToExcel(Request(file)));
    ExpectWorkbook(file, "Sheet1", {{"序号", "价格"}, {"1", "1,280"}, {"2", "it's"}});

    const Text database = TemporaryDatabasePath(TemporaryFolder());
    const std::vector<DatabaseCall> got = calls.Get();
    struct Want {
        DatabaseCall::Kind kind;
        Text text;
        bool ok;
    };
    const std::vector<Want> want = {
        {DatabaseCall::Open, ExportConnectText(database), true},
        {DatabaseCall::Execute, "drop table tmp", false},
        {DatabaseCall::Execute, "create table tmp (序号 text,价格 text)", true},
        {DatabaseCall::Begin, "", true},
        {DatabaseCall::Execute, "insert into tmp (序号,价格) values ('1','1,280')", true},
        {DatabaseCall::Execute, "insert into tmp (序号,价格) values ('2','it''s')", true},
        {DatabaseCall::Execute, "SELECT * INTO [Excel 8.0;Database=" + file + "].[Sheet1] FROM tmp", true},
        {DatabaseCall::Commit, "", true},
        {DatabaseCall::Close, "", true},
    };
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(got[i].kind, want[i].kind) << i;
        EXPECT_EQ(got[i].text, want[i].text) << i;
        EXPECT_EQ(got[i].ok, want[i].ok) << i;
    }
    // The temporary database stays, holding the committed table; the helper window is gone.
    EXPECT_TRUE(FileThere(database));
    DatabaseConnection db;
    ASSERT_TRUE(db.Open(ExportConnectText(database)));
    EXPECT_EQ(db.RowCount("tmp"), 2);
    EXPECT_EQ(OpenFormCount(), forms);
}

TEST_F(ListExportTest, ColumnsInAnotherOrderQuotesEmptyCellsAndTheNamedSheet)
{
    Load({{"序号", 40}, {"商品名称", 200}, {"交易地址", 200}},
         {{"1", "它's \"引号\"", ""}, {"2", "", "http://x/?a='1'"}, {"", "''", "誠"}});
    const Text file = WorkbookFolder() + "export-columns.xls";
    ASSERT_TRUE(ExportListViewToExcel(Request(file, {2, 0, 1}, "Brelmor网www.brelmor.com")));
    ExpectWorkbook(file, "Brelmor网www.brelmor.com",
                   {{"交易地址", "序号", "商品名称"},
                    {"", "1", "它's \"引号\""},
                    {"http://x/?a='1'", "2", ""},
                    {"誠", "", "''"}});
    // A column twice and a subset.
    const Text twice = WorkbookFolder() + "export-subset.xls";
    EXPECT_FALSE(ExportListViewToExcel(Request(twice, {1, 1}))) << "a column named twice";
    ASSERT_TRUE(ExportListViewToExcel(Request(twice, {1})));
    ExpectWorkbook(twice, "Sheet1", {{"商品名称"}, {"它's \"引号\""}, {""}, {"''"}});
}

TEST_F(ListExportTest, AListWithoutRowsStillMakesItsWorkbook)
{
    Load(kDealColumns, {});
    SendMessageA(Bar().Handle(), PBM_SETRANGE32, 0, 500);
    SendMessageA(Bar().Handle(), PBM_SETPOS, 300, 0);
    const Text file = WorkbookFolder() + "export-no-rows.xls";
    Calls calls;
    ASSERT_TRUE(ExportListViewToExcel(Request(file)));
    EXPECT_EQ(Bar().Maximum(), 0);
    EXPECT_EQ(Bar().Position(), 0);
    int inserts = 0;
    for (const DatabaseCall& c : calls.Get()) inserts += c.text.rfind("insert", 0) == 0;
    EXPECT_EQ(inserts, 0);
    TextArray titles;
    for (const ColumnSpec& c : kDealColumns) titles.push_back(c.title);
    ExpectWorkbook(file, "Sheet1", {titles});
}

TEST_F(ListExportTest, TenThousandRowsOfChineseWithTheProgressSentOnlyWhenTheBarMoves)
{
    const Rows rows = ChineseRows(10000, 8);
    Load(kDealColumns, rows);
    ProgressWatch watch(Bar().Handle());
    const Text file = WorkbookFolder() + "export-10000x8.xls";
    ASSERT_TRUE(ExportListViewToExcel(Request(file)));
    EXPECT_EQ(Bar().Maximum(), 10000);
    EXPECT_EQ(watch.LastPosition(), 10000);
    EXPECT_EQ(Bar().Position(), 10000);
    // A bar of blocks 440 x 30 changes with each block of 20 pixels (and a gap of 2): about 20 sends.
    RECT r;
    GetClientRect(Bar().Handle(), &r);
    EXPECT_GE(watch.Sends(), 10);
    EXPECT_LE(watch.Sends(), (r.right - r.left) / 20 + 3) << "one position per block of the bar";
    TextArray titles;
    for (const ColumnSpec& c : kDealColumns) titles.push_back(c.title);
    ExpectWorkbook(file, "Sheet1", WithTitles(titles, rows));
}

TEST_F(ListExportTest, AnExportCalledFromAWorkerRunsOnTheWindowThread)
{
    Load({{"名称", 100}}, {{"甲"}, {"乙"}});
    const Text file = WorkbookFolder() + "export-from-worker.xls";
    bool ok = false;
    std::atomic<DWORD> thread{0};
    const DatabaseCallWatcher previous =
        SetDatabaseCallWatcher([&](const DatabaseCall&) { thread = GetCurrentThreadId(); });
    HANDLE worker = StartWorkerKept([&] { ok = ExportListViewToExcel(Request(file)); });
    ASSERT_NE(worker, nullptr);
    EXPECT_TRUE(WaitHandlePumping(worker, 30000));
    CloseHandle(worker);
    SetDatabaseCallWatcher(previous);
    EXPECT_TRUE(ok);
    EXPECT_EQ(thread, GetCurrentThreadId());
    ExpectWorkbook(file, "Sheet1", {{"名称"}, {"甲"}, {"乙"}});
}

TEST_F(ListExportTest, FailuresReturnFalseAndKeepTheFileThatWasThere)
{
    ScratchFolder scratch("export-failures");
    const Text kept = scratch / "kept.xls";
    const std::string old = "the workbook of yesterday";
    ASSERT_TRUE(WriteFileText(kept, old));

    // A title that is no column name, an empty title, a column the list does not have.
    Load({{"序号", 40}, {"单价(元)", 60}, {"", 60}}, {{"1", "2", "3"}});
    const int forms = OpenFormCount();
    EXPECT_FALSE(ExportListViewToExcel(Request(kept, {0, 1})));
    EXPECT_FALSE(ExportListViewToExcel(Request(kept, {0, 2})));
    EXPECT_FALSE(ExportListViewToExcel(Request(kept, {0, 9})));
    // A sheet name with nothing in it; a workbook in a folder that does not exist.
    EXPECT_FALSE(ExportListViewToExcel(Request(kept, {0}, "[]")));
    EXPECT_FALSE(ExportListViewToExcel(Request(scratch / "no\\such\\folder.xls", {0})));
    EXPECT_EQ(OpenFormCount(), forms) << "the helper window goes after a failure too";
    EXPECT_EQ(ReadFileText(kept), old);

    // The temporary database itself: refused, and still a database afterwards.
    const Text database = TemporaryDatabasePath(TemporaryFolder());
    EXPECT_FALSE(ExportListViewToExcel(Request(database, {0})));
    DatabaseConnection db;
    EXPECT_TRUE(db.Open(ExportConnectText(database)));

    // A temporary folder that cannot be written: the template never gets there.
    char savedTmp[MAX_PATH] = {}, savedTemp[MAX_PATH] = {};
    const bool hadTmp = GetEnvironmentVariableA("TMP", savedTmp, sizeof savedTmp) > 0;
    const bool hadTemp = GetEnvironmentVariableA("TEMP", savedTemp, sizeof savedTemp) > 0;
    SetEnvironmentVariableA("TMP", (scratch / "missing").c_str());
    SetEnvironmentVariableA("TEMP", (scratch / "missing").c_str());
    Calls calls;
    const bool written = ExportListViewToExcel(Request(kept, {0}));
    SetEnvironmentVariableA("TMP", hadTmp ? savedTmp : nullptr);
    SetEnvironmentVariableA("TEMP", hadTemp ? savedTemp : nullptr);
    EXPECT_FALSE(written);
    EXPECT_TRUE(calls.Get().empty()) << "no connection is opened";
    EXPECT_EQ(ReadFileText(kept), old);
}

TEST_F(ListExportTest, ACommitThatFailsKeepsTheFileThatWasThere)
{
    ScratchFolder scratch("export-commit");
    const Text kept = scratch / "kept.xls";
    const std::string old = "the workbook of yesterday";
    ASSERT_TRUE(WriteFileText(kept, old));
    Load({{"序号", 40}, {"名称", 80}}, {{"1", "甲"}, {"2", "乙"}});
    // Once the workbook is written, another program takes hold of the temporary database.
    const Text database = TemporaryDatabasePath(TemporaryFolder());
    std::unique_ptr<HeldFile> held;
    const DatabaseCallWatcher previous = SetDatabaseCallWatcher([&](const DatabaseCall& call) {
        if (call.kind == DatabaseCall::Execute && call.ok && call.text.rfind("SELECT", 0) == 0)
            held = std::make_unique<HeldFile>(database);
    });
    const bool written = ExportListViewToExcel(Request(kept));
    SetDatabaseCallWatcher(previous);
    ASSERT_TRUE(held && held->IsHeld());
    held.reset();
    EXPECT_FALSE(written);
    EXPECT_EQ(ReadFileText(kept), old);
    EXPECT_FALSE(TemporaryWorkbookLeft(scratch.Path()));
}

TEST_F(ListExportTest, SixtyFiveThousandFiveHundredThirtySixRowsFail)
{
    ScratchFolder scratch("export-65536");
    const Text kept = scratch / "kept.xls";
    ASSERT_TRUE(WriteFileText(kept, "kept"));
    Rows rows;
    for (int r = 1; r <= 65536; ++r) rows.push_back({std::to_string(r)});
    Load({{"序号", 40}}, rows);
    EXPECT_FALSE(ExportListViewToExcel(Request(kept)));
    EXPECT_EQ(ReadFileText(kept), "kept");
    // One row fewer fits.
    SendMessageA(List().Handle(), LVM_DELETEITEM, 65535, 0);
    const Text file = WorkbookFolder() + "export-65535-rows.xls";
    ASSERT_TRUE(ExportListViewToExcel(Request(file)));
    rows.pop_back();
    ExpectWorkbook(file, "Sheet1", WithTitles({"序号"}, rows));
}
