// The updater's program entry and window (see window.h).
#include "updater/window.h"

#include "runtime/files.h"
#include "runtime/seams.h"
#include "updater/download.h"
#include "updater/release_description.h"
#include "updater/state.h"
#include "updater/updater_resources.h"

#include <cstdlib>

namespace updater {

namespace {

constexpr char kTab[] = "高级选择夹1";

ByteSet FinishPicture() { return ByteSet(UpdaterFinishPicture, UpdaterFinishPicture + UpdaterFinishPicture_size); }

}  // namespace

WindowLayout UpdaterWindowLayout()
{
    WindowLayout w;
    w.title = "Brelmor Quovanta 在线升级程序";
    w.bounds = {50, 50, 500, 400};
    w.Add(ui::Tab(kTab, {0, 0, 500, 400}, {"更新下载", "更新完成"}).Select(0).Font("宋体"));
    // Page "更新下载".
    w.Add(ui::PictureBox("图片框_logo", {0, 0, 500, 100}).In(kTab, 0));
    w.Add(ui::Label("标签_公告", "", {10, 110, 475, 120}).In(kTab, 0));
    w.Add(ui::Label("已下载", "...", {10, 230, 250, 65}).In(kTab, 0));
    w.Add(ui::ProgressBar("进度条1", {10, 295, 475, 24}, 0, 100, 0).In(kTab, 0));
    w.Add(ui::Button("按钮1", "退出更新", {325, 335, 65, 25}).In(kTab, 0));
    w.Add(ui::Button("开始更新", "开始更新", {415, 335, 65, 25}).In(kTab, 0));
    // Page "更新完成".
    w.Add(ui::PictureBox("图片框2", {0, 0, 500, 100}).In(kTab, 1).Picture(FinishPicture()));
    w.Add(ui::TransparentLabel("透明标签1", "更新完成提示语", {0, 100, 280, 70}).In(kTab, 1));
    w.Add(ui::CheckBox("选择框1", "自动运行", {280, 315, 70, 20}, true).In(kTab, 1));
    w.Add(ui::Button("完成", "完成更新", {360, 310, 100, 30}).In(kTab, 1));
    return w;
}

EventTable UpdaterWindowEvents()
{
    return {
        {"", Event::Created, OnUpdaterWindowCreated},
        {"按钮1", Event::Click, OnQuitUpdateClicked},
        {"开始更新", Event::Click, OnStartUpdateClicked},
        {"完成", Event::Click, OnFinishUpdateClicked},
        {kTab, Event::SelectionChanged, OnPageChosen},
    };
}

Form LoadUpdaterWindow() { return LoadForm(UpdaterWindowLayout(), UpdaterWindowEvents()); }

int RunUpdater()
{
    ProgramDir = ProgramDirectory();
    InitUpdaterGlobals();
    std::atexit(FreeUpdaterGlobals);
    LoadEmbeddedSkinModule();
    LoadUpdaterWindow();
    RunMessageLoop();
    UpdaterWindow = Form();
    return 0;
}

void OnQuitUpdateClicked(const EventArgs&)
{
    AbandonDownload();
    EndProgram(0);
}

void OnPageChosen(const EventArgs& args)
{
    if (args.index == 1 && !UpdateInstalled)
        args.form->Control(kTab).SetSelection(0);
}

void OnFinishUpdateClicked(const EventArgs& args)
{
    if (args.form->Control("选择框1").Checked() && !StartProgramFile(MainProgramPath(), 1000))
        ShowMessageBox("程序运行失败,请手动运行!", "失败", MB_ICONEXCLAMATION);
    args.form->Close();
}

}  // namespace updater
