#pragma once
// The version check of page 5 and the hand-over to the updater Brelmor自动更新.
//
// About two seconds after start-up (the single tick of 时钟1) and at every click on 按钮_检查更新 the
// program asks the maker's server for the current version. A reply other than its own version, byte for
// byte, is a new release: on OK in the question box the program writes the updater it carries beside
// itself and starts it, and goes on running. An empty reply is no answer (the server could not be
// reached): the check after start-up says nothing, the button's check says that it failed.
#include "runtime/forms.h"
#include "runtime/text.h"

// The updater's file name in the program directory.
inline constexpr char kUpdaterProgramName[] = "Brelmor自动更新.exe";
inline constexpr char kVersionPagePath[] = "/NetWork/qelsoft/5173/ver.asp";

// The boxes of the version check, all captioned kUpdateBoxTitle.
inline constexpr char kUpdateBoxTitle[] = "友情提示";
inline constexpr char kNewReleaseQuestion[] = "系统检测有新的版本程序已发布,是否更新？";  // OK and Cancel, no icon
inline constexpr char kLatestVersionNote[] = "当前版本已是最新版本";                      // information icon
inline constexpr char kUpdateCheckFailed[] = "检查更新失败，请稍后重试。";                // warning icon

enum class UpdateCheckKind {
    Silent,  // after start-up: says nothing unless there is a new release
    Manual,  // 按钮_检查更新: also says when the version is the latest or the check failed
};

// "http://" + the maker's host + kVersionPagePath.
Text VersionPageUrl();

// One check, on a window thread: the version page is fetched on a worker while the windows go on
// painting, then the boxes are shown and, on OK, the updater is written to `programDirectory` +
// "\Brelmor自动更新.exe" and started without arguments (waiting at most 1000 ms for it to take input).
// When `window` is given and has been closed while the page was fetched, nothing more happens. A
// second check asked for while one runs (a click during the fetch) is left out: the running one
// answers.
void RunUpdateCheck(UpdateCheckKind kind, const Text& programDirectory, const Form& window = Form());

// Writes the carried updater to `path`, replacing a file of that name. The bytes go into a temporary
// file of the same folder first, which then takes the name: a write that fails half-way leaves the
// file that was there (an updater still running from it cannot be replaced, and stays). True when
// `path` now holds the carried updater.
bool WriteUpdaterFile(const Text& path);

// The handlers' two checks, with the program directory.
void CheckForUpdateSilently(const Form& window = Form());
void CheckForUpdate(const Form& window = Form());
