// The volume run of NewGameWindow: for every row that carries a platform id, the platform's latest
// deals of that game over all areas, servers and goods types, totalled into the row.
#include "client/deal_query.h"
#include "client/new_game_state.h"
#include "client/page_bounds.h"
#include "helpers/hosts.h"
#include "helpers/http_client.h"
#include "runtime/numbers.h"
#include "runtime/seams.h"
#include "runtime/window_thread.h"
#include "runtime/workers.h"

namespace {

constexpr char kList[] = "新游测试行情";
constexpr char kPauseButton[] = "超级按钮_暂停继续";
constexpr char kStatusBar[] = "状态条1";

constexpr char kRunProgress[] = "正在获取游戏成交量信息   请稍后......";
constexpr char kRunDone[] = "游戏成交量获取完毕！";
constexpr char kRunning[] = "运行中";
constexpr char kPaused[] = "暂停";
constexpr char kStopped[] = "停止";
constexpr char kFinished[] = "完毕";
constexpr char kPauseCaption[] = "暂停";
constexpr char kResumeCaption[] = "继续";
constexpr char kComputing[] = "数据计算中...";
constexpr char kNoTrade[] = "暂无交易";

constexpr int kWaitAfterPageMs = 1000;
constexpr int kWaitAfterRowMs = 2000;

// The writes of one run: each is one step on the window thread that writes only while the run has
// not been stopped. The stop and the pause are asked for on that thread too, so no write follows a
// stop, and none follows a pause until the run is resumed.
class RunWriter {
public:
    RunWriter(const Form& form, const std::shared_ptr<NewGameState>& state, const RunToken& token)
        : state_(state), token_(token), list_(form.Control(kList))
    {
    }

    template <class Fn>
    bool Step(Fn&& fn) const
    {
        for (;;) {
            enum { kGone, kStopped, kPaused, kWritten } outcome = kGone;
            RunOnWindowThread(list_, [&] {
                if (token_.StopRequested()) {
                    outcome = kStopped;
                } else if (state_->run && state_->run->IsPaused()) {
                    outcome = kPaused;  // only this run can be the window's current one: it is not stopped
                } else {
                    fn();
                    outcome = kWritten;
                }
            });
            if (outcome == kWritten)
                return true;
            if (outcome != kPaused || !token_.Checkpoint())
                return false;
        }
    }

    // A step on the row whose 序号 is `number` (nothing when the list no longer has it).
    template <class Fn>
    bool RowStep(const Text& number, Fn&& fn) const
    {
        return Step([&] {
            const int row = NewGameRowOf(list_, number);
            if (row >= 0)
                fn(row);
        });
    }

    const Control& List() const { return list_; }

private:
    const std::shared_ptr<NewGameState>& state_;
    const RunToken& token_;
    Control list_;
};

}  // namespace

Text NewGameFirstDealAddress(std::string_view gameId)
{
    Text url = "http://" + DealListHost() + "/list/ViewLastestDealList.aspx?ts=consignment&offerid=&gm=";
    url += gameId;
    url += "&raceid=-1&ga=-1&gs=-1&bt=-1&sort=-1&section=-1_-1&pg=1&ps=" + IntegerToText(kDealPageSize);
    return url;
}

void SumNewGamesVolume(const Form& form, const std::shared_ptr<NewGameState>& state, const RunToken& token)
{
    const RunWriter writer(form, state, token);
    const Control& list = writer.List();
    Control work = form.Control("总价_17173");
    Control bar = form.Control(kStatusBar);
    // The end of the run: the buttons come back and the bar says the run is done. A stop has done this
    // already; a run that runs out of memory ends here as well.
    const auto finish = [&] {
        writer.Step([&] {
            state->runActive = false;
            ApplyNewGameButtons(form, *state);
            bar.SetPartText(0, kRunDone);
            bar.SetPartText(1, kFinished);
        });
    };
    const RunEnd end([&](bool failed) {
        if (failed) finish();
    });

    // The rows as they stand at the start, by their 序号.
    TextArray numbers;
    if (!writer.Step([&] {
            bar.SetPartText(0, kRunProgress);
            bar.SetPartText(1, kRunning);
            numbers = list.ColumnCells(kNewGameNumber);
        }))
        return;

    for (const Text& number : numbers) {
        if (!token.Checkpoint())
            return;
        Text id;
        bool found = false;
        if (!writer.RowStep(number, [&](int row) {
                found = true;
                id = list.Cell(row, kNewGamePlatformId);
                list.SetCell(row, kNewGameVolume, kComputing);
            }))
            return;

        if (found && id.empty()) {
            if (!writer.RowStep(number, [&](int row) { list.SetCell(row, kNewGameVolume, kNoTrade); }))
                return;
        } else if (found) {
            // The first reply's page count decides how many pages of the usual address are read;
            // with several pages, page 1 is read again from there.
            Text reply = FetchUrlText(NewGameFirstDealAddress(id));
            if (!token.Checkpoint())
                return;
            PageRun pages(DealPageCount(reply));
            if (!writer.Step([&] { work.ClearRows(); }))
                return;
            Text total;
            for (int n = 1; n <= pages.Pages(); ++n) {
                if (pages.Pages() != 1) {
                    reply = FetchUrlText(DealListPageAddress(id, "-1", "-1", "-1", n));
                    if (!token.Checkpoint())
                        return;
                }
                TextArray records = SplitDealRecords(reply);
                pages.KeepRecords(records);
                std::vector<TextArray> amounts;
                amounts.reserve(records.size());
                for (const Text& record : records) {
                    Text amount = PriceNumberText(ParseDealRecord(record).price);
                    total = AddToTextSum(total, TextToNumber(amount));
                    amounts.push_back({std::move(amount)});
                }
                if (!amounts.empty() && !writer.Step([&] { work.InsertRows(-1, amounts); }))
                    return;
                WaitMilliseconds(kWaitAfterPageMs);
                if (!token.Checkpoint())
                    return;
                if (!pages.Continue(static_cast<int>(records.size())))
                    break;
            }
            // The deal count comes from the reply read last.
            const Text dealCount = DealCountOfPage(reply);
            if (!writer.RowStep(number, [&](int row) {
                    if (total.empty() || total == "0") {
                        list.SetCell(row, kNewGameVolume, kNoTrade);
                    } else {
                        list.SetCell(row, kNewGameVolume, total);
                        list.SetCell(row, kNewGameDealCount, dealCount);
                    }
                }))
                return;
        }
        WaitMilliseconds(kWaitAfterRowMs);
    }

    if (!token.Checkpoint())
        return;
    finish();
}

// --- Handlers -------------------------------------------------------------------------------------------

void OnNewGameVolumeClicked(const EventArgs& args)
{
    const Form form = *args.form;
    std::shared_ptr<NewGameState> state = NewGameStateOf(form);
    if (!state || !NewGameRunAllowed(*state))
        return;
    state->runActive = true;
    ApplyNewGameButtons(form, *state);
    auto run = std::make_unique<RunControl>();
    if (!run->Start([form, state](const RunToken& token) { SumNewGamesVolume(form, state, token); })) {
        state->runActive = false;
        ApplyNewGameButtons(form, *state);
        return;
    }
    // A run stopped before is let go: it ends at its next safe point without writing.
    state->run = std::move(run);
}

void OnNewGamePauseResumeClicked(const EventArgs& args)
{
    const Form& form = *args.form;
    std::shared_ptr<NewGameState> state = NewGameStateOf(form);
    if (!state || !state->runActive || !state->run)
        return;
    Control button = form.Control(kPauseButton);
    Control bar = form.Control(kStatusBar);
    const Text caption = button.GetText();
    if (caption == kPauseCaption) {
        bar.SetPartText(1, kPaused);
        state->run->Pause();
        button.SetText(kResumeCaption);
    } else if (caption == kResumeCaption) {
        bar.SetPartText(1, kRunning);
        state->run->Resume();
        button.SetText(kPauseCaption);
    }
}

void OnNewGameStopClicked(const EventArgs& args)
{
    const Form& form = *args.form;
    std::shared_ptr<NewGameState> state = NewGameStateOf(form);
    if (!state || !state->runActive)
        return;
    // The caption of 暂停继续 stays as it is: a run stopped while paused leaves "继续".
    form.Control(kStatusBar).SetPartText(1, kStopped);
    state->runActive = false;
    ApplyNewGameButtons(form, *state);
    if (state->run)
        state->run->Stop();
}
