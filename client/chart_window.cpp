// The rank-change chart window: the chart of the week last read on page 3 at full size, with its title.
#include "client/main_window.h"
#include "client/newest_picture.h"
#include "client/program_state.h"
#include "client/rankings.h"
#include "helpers/http_client.h"
#include "runtime/workers.h"

namespace {

constexpr char kTitleLabel[] = "标签2";
constexpr char kCaptionLabel[] = "标签1";
constexpr char kPictureBox[] = "图片框_大图";

Form g_chartWindow;         // window thread only
NewestPicture g_chartTurns;  // the downloads into 图片框_大图

// Shows the title and the picture of the moment: the title of page 3 at once, the picture once it has
// been downloaded (on a worker, so that the window opens at once and a closed window is never touched).
void ShowCurrentChart(const Form& window)
{
    window.Control(kTitleLabel).SetText(MainWindow.Control(kChartTitleLabel).GetText());
    const unsigned turn = g_chartTurns.Ask();
    const Text address = ChartPictureAddress.Get();
    Control box = window.Control(kPictureBox);
    StartWorker([turn, address, box] {
        ByteSet bytes;
        if (!address.empty())
            bytes = ChartPictureBytes(FetchUrlBytes(address));
        g_chartTurns.Set(turn, box, bytes);
    });
}

void OnChartWindowCreated(const EventArgs& args) { ShowCurrentChart(*args.form); }

}  // namespace

WindowLayout ChartWindowLayout()
{
    WindowLayout layout;
    layout.title = kChartWindowTitle;
    layout.bounds = {50, 50, 900, 500};
    layout.Add(ui::Label(kTitleLabel, "", {0, 0, 300, 20}));
    layout.Add(ui::Label(kCaptionLabel, "通过图表，我们可以很清楚看到各大热门网游名次变化的曲线!", {295, 0, 600, 20}));
    layout.Add(ui::PictureBox(kPictureBox, {0, 20, 900, 450}));
    return layout;
}

Form ChartWindow() { return g_chartWindow.IsOpen() ? g_chartWindow : Form(); }

void OnShowChartClicked(const EventArgs&)
{
    if (g_chartWindow.IsOpen()) {
        // One chart window: it takes the chart of now and comes to the front.
        ShowCurrentChart(g_chartWindow);
        HWND window = g_chartWindow.Handle();
        if (IsIconic(window))
            ShowWindow(window, SW_RESTORE);
        SetForegroundWindow(window);
        return;
    }
    g_chartWindow = LoadForm(ChartWindowLayout(), {{"", Event::Created, OnChartWindowCreated}});
}
