// The version check of page 5: the tick of 时钟1 (once, about two seconds after start-up) and the
// button 按钮_检查更新, and the hand-over to the updater that the program carries.
#include "client/update_check.h"

#include "client/main_window.h"
#include "client/program_state.h"
#include "helpers/hosts.h"
#include "helpers/http_client.h"
#include "resources/updater_image.h"
#include "runtime/files.h"
#include "runtime/seams.h"
#include "runtime/workers.h"

#include <windows.h>

namespace {

// True while a check runs; g_manualAsked when the button was pressed meanwhile, so that the running
// check answers as the button's check would (window thread only).
bool g_checkRunning = false;
bool g_manualAsked = false;

class CheckRunning {
public:
    CheckRunning() { g_checkRunning = true; g_manualAsked = false; }
    ~CheckRunning() { g_checkRunning = false; g_manualAsked = false; }
    CheckRunning(const CheckRunning&) = delete;
    CheckRunning& operator=(const CheckRunning&) = delete;
};

void OnUpdateTimer(const EventArgs& args)
{
    // The tick comes once: the timer stops before the check.
    args.form->Control("时钟1").SetInterval(0);
    CheckForUpdateSilently(*args.form);
}

void OnCheckUpdateClicked(const EventArgs& args) { CheckForUpdate(*args.form); }

}  // namespace

Text VersionPageUrl() { return "http://" + MakerHost() + kVersionPagePath; }

bool WriteUpdaterFile(const Text& path)
{
    // GetTempFileName creates the file under a name of its own in the updater's folder (so that the
    // move below stays inside one volume).
    const Text folder = PathDirectory(path);
    char temporary[MAX_PATH] = {};
    if (path.size() >= MAX_PATH || !GetTempFileNameA(folder.empty() ? "." : folder.c_str(), "qup", 0, temporary))
        return false;
    if (!WriteWholeFile(temporary, EmbeddedUpdater, EmbeddedUpdater_size) ||
        !MoveFileExA(temporary, path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileA(temporary);
        return false;
    }
    return true;
}

void RunUpdateCheck(UpdateCheckKind kind, const Text& programDirectory, const Form& window)
{
    if (g_checkRunning) {
        // One check at a time; a press of the button during the silent one makes it speak.
        if (kind == UpdateCheckKind::Manual)
            g_manualAsked = true;
        return;
    }
    CheckRunning running;

    Text reply;
    RunOffWindowThread([&] { reply = FetchUrlText(VersionPageUrl()); });
    if (window.State() && !window.IsOpen())
        return;  // the program was closed meanwhile
    if (g_manualAsked)
        kind = UpdateCheckKind::Manual;

    // No reply at all is no answer: the server could not be reached (or sent nothing).
    if (reply.empty()) {
        if (kind == UpdateCheckKind::Manual)
            ShowMessageBox(kUpdateCheckFailed, kUpdateBoxTitle, MB_OK | MB_ICONWARNING);
        return;
    }
    // The whole reply, byte for byte: "2.034" followed by a line break is another version.
    if (reply == kProgramVersion) {
        if (kind == UpdateCheckKind::Manual)
            ShowMessageBox(kLatestVersionNote, kUpdateBoxTitle, MB_OK | MB_ICONINFORMATION);
        return;
    }
    if (ShowMessageBox(kNewReleaseQuestion, kUpdateBoxTitle, MB_OKCANCEL) != IDOK)
        return;

    // A failed write (an updater started earlier still runs from the file) leaves the file that is
    // there, and that one is started; a failed start is silent too.
    const Text updater = programDirectory + "\\" + kUpdaterProgramName;
    WriteUpdaterFile(updater);
    StartProgramFile(updater, 1000);
}

void CheckForUpdateSilently(const Form& window) { RunUpdateCheck(UpdateCheckKind::Silent, ProgramDirectory(), window); }

void CheckForUpdate(const Form& window) { RunUpdateCheck(UpdateCheckKind::Manual, ProgramDirectory(), window); }

void BindUpdateCheckEvents(EventTable& events)
{
    events.push_back({"时钟1", Event::Tick, OnUpdateTimer});
    events.push_back({"按钮_检查更新", Event::Click, OnCheckUpdateClicked});
}
