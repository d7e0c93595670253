// The export of NewGameWindow's test list: the proposed name, the columns and sheet of the workbook,
// the panel and the outcome boxes.
#include "client/new_game_window.h"
#include "export/export_support.h"
#include "support/loopback_http_server.h"
#include "support/pump.h"
#include "support/seam_recorders.h"

#include <gtest/gtest.h>

using namespace export_test;

namespace {

class NewGameExportTest : public ::testing::Test {
protected:
    NewGameExportTest() : server([](const LoopbackRequest&) { return LoopbackReply::Ok(std::string()); }) {}

    void SetUp() override
    {
        ASSERT_TRUE(server.Start());
        SetEnvironmentVariableA("QUOVANTA_AJAX_HOST", server.HostAndPort().c_str());
        SetEnvironmentVariableA("QUOVANTA_MAKER_HOST", "maker.example:8080");
        form = LoadForm(NewGameWindowLayout(), NewGameWindowEvents());
        ASSERT_TRUE(form.IsOpen());
        ASSERT_TRUE(PumpUntil([&] { return !NewGameWindowActivity(form).platformLoading; }, 10000));
    }
    void TearDown() override
    {
        form.Destroy();
        SetEnvironmentVariableA("QUOVANTA_AJAX_HOST", nullptr);
        SetEnvironmentVariableA("QUOVANTA_MAKER_HOST", nullptr);
    }

    LoopbackHttpServer server;
    seams_test::MessageBoxRecorder boxes;
    seams_test::FileDialogRecorder dialog;
    Form form;
};

TEST_F(NewGameExportTest, TheListWithoutItsLinksAndIdsGoesIntoTheWorkbook)
{
    Rows rows;
    for (int i = 1; i <= 120; ++i) {
        const std::string n = std::to_string(i);
        rows.push_back({n, "2015-01-" + std::to_string(10 + i % 20), "/game-info-" + n + ".html", "新游'" + n, "公测",
                        "不需要", "http://dev/" + n, "开发商" + n, "http://op/" + n, "运营商" + n,
                        i % 3 ? "1234.5" : "暂无交易", "id" + n, i % 3 ? n : ""});
    }
    FillList(form.Control("新游测试行情"), rows);
    const Text file = WorkbookFolder() + "new-games.xls";
    dialog.Choose(file);
    ProgressWatch watch(form.Control("进度条1").Handle());
    watch.WatchVisibility(form.Control("分组框2").Handle());

    const Text early = DateTimeToText(NowDateTime());
    form.Raise("超级按钮_导出17173", Event::Click);
    const Text late = DateTimeToText(NowDateTime());

    const auto asked = dialog.Calls();
    ASSERT_EQ(asked.size(), 1u);
    const Text& name = asked[0].request.fileName;
    const Text prefix = "17173新游戏测试行情-BrelmorQuovanta";
    EXPECT_TRUE(name == prefix + early || name == prefix + late) << name;
    EXPECT_EQ(NewGameExportFileName(42011.5452430556), prefix + "2015年1月7日13时5分9秒");
    EXPECT_EQ(asked[0].request.title, "导出资料");
    EXPECT_EQ(asked[0].request.defaultExtension, "xls");

    const auto calls = boxes.Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].text, "导出成功！");
    EXPECT_EQ(calls[0].title, "信息：");
    EXPECT_FALSE(form.Control("分组框2").Visible());
    EXPECT_TRUE(watch.AlwaysVisible());
    EXPECT_EQ(watch.LastPosition(), 120);

    Rows expected{{"序号", "测试时间", "游戏名称", "测试名称", "是否需激活码", "开发商", "运营商", "5173成交量", "交易笔数"}};
    for (const TextArray& r : rows) expected.push_back({r[0], r[1], r[3], r[4], r[5], r[7], r[9], r[10], r[12]});
    ExpectWorkbook(file, "Brelmor网maker.example", expected);
}

TEST_F(NewGameExportTest, AFailedExportHidesThePanelAndWarnsACancelDoesNothing)
{
    FillList(form.Control("新游测试行情"), {{"1", "2015-01-15", "/g.html", "新游"}});
    dialog.Cancel();
    form.Raise("超级按钮_导出17173", Event::Click);
    EXPECT_TRUE(boxes.Calls().empty());
    EXPECT_FALSE(form.Control("分组框2").Visible());

    ScratchFolder scratch("new-game-failure");
    dialog.Choose(scratch / "missing\\新游.xls");
    form.Raise("超级按钮_导出17173", Event::Click);
    const auto calls = boxes.Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].text, "导出失败！");
    EXPECT_EQ(calls[0].title, "警告");
    EXPECT_FALSE(form.Control("分组框2").Visible());
}

}  // namespace
