#pragma once
// The updater's program entry and its one window, "Brelmor Quovanta 在线升级程序": a page control with
// the pages "更新下载" (the release notice, the download progress, 退出更新 and 开始更新) and "更新完成"
// (the closing notice, 自动运行 and 完成更新).
#include "runtime/forms.h"

namespace updater {

WindowLayout UpdaterWindowLayout();
EventTable UpdaterWindowEvents();

// Loads the window (its created handler runs before it shows) and returns it.
Form LoadUpdaterWindow();

// The program entry: program directory, program-wide state, the exit clean-up, the skin library,
// the window, then the message loop until no window is left. Returns 0.
int RunUpdater();

// 按钮1 ("退出更新"): ends the program at once with exit code 0 (a download under way is abandoned:
// the installed program stays as it was and the temporary file goes).
void OnQuitUpdateClicked(const EventArgs& args);
// 高级选择夹1 turned by the user: the page "更新完成" stays shut until the new program is in place (its
// 完成更新 would start the old one as if it were new); the control turns back to "更新下载".
void OnPageChosen(const EventArgs& args);
// 完成 ("完成更新"): starts the main program when 自动运行 is ticked, then closes the window.
void OnFinishUpdateClicked(const EventArgs& args);

}  // namespace updater
