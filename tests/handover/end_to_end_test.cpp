// The whole update once, with the real programs in a folder of their own: Quovanta started against
// the replica (whose version page names a newer release) asks, writes the updater beside itself and
// starts it; the updater ends the running Quovanta on Yes, downloads the new program, puts it in place
// and starts it. The replica's new program is a small stand-in that shows a window titled with its
// own file name. The test answers the boxes and presses the buttons as a user would.
#include "handover_fixture.h"
#include "replica/maker_pages.h"
#include "runtime/files.h"
#include "runtime/forms.h"
#include "support/replica_loopback.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace handover_test;

namespace {

// The processes this test caused to start, held by their handles (so that an id used again by another
// process is never ended); those still running at the end are ended, before the folder goes.
class Started {
public:
    ~Started()
    {
        for (HANDLE p : processes_) {
            if (WaitForSingleObject(p, 0) == WAIT_TIMEOUT) {
                TerminateProcess(p, 1);
                WaitForSingleObject(p, 5000);
            }
            CloseHandle(p);
        }
    }
    // Takes over a process handle (with PROCESS_TERMINATE and SYNCHRONIZE access) and returns it.
    HANDLE Keep(HANDLE process)
    {
        if (process)
            processes_.push_back(process);
        return process;
    }
    // Opens the process that owns `window` and keeps it.
    HANDLE KeepOwnerOf(HWND window)
    {
        return Keep(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, ProcessOf(window)));
    }

private:
    std::vector<HANDLE> processes_;
};

// The text of a message box (its static text control).
Text BoxText(HWND box)
{
    char text[512] = {};
    GetDlgItemTextA(box, 0xFFFF, text, sizeof(text));
    return text;
}

bool SameFile(const Text& a, const Text& b) { return lstrcmpiA(a.c_str(), b.c_str()) == 0; }

// The process's full path as Windows gives it: the folder as the test names it may be a short form.
Text FullPath(const Text& path)
{
    char full[MAX_PATH] = {};
    GetLongPathNameA(path.c_str(), full, MAX_PATH);
    return full[0] ? Text(full) : path;
}

}  // namespace

TEST(EndToEnd, NewerReleaseIsDownloadedPutInPlaceAndStarted)
{
    ASSERT_TRUE(FileExists(BuiltQuovanta())) << BuiltQuovanta();
    ASSERT_TRUE(FileExists(BuiltUpdater())) << BuiltUpdater();
    ASSERT_TRUE(FileExists(Sleeper())) << Sleeper();
    const std::string release = FileBytes(Sleeper());
    const std::string updaterBytes = FileBytes(BuiltUpdater());

    // A folder with a blank and double-byte characters in its name: the programs are started with
    // their paths quoted.
    TempFolder folder("交接 端到端_");
    const Text dir = FullPath(folder.Path());
    const Text program = dir + "\\Quovanta.exe";
    const Text updater = dir + "\\Brelmor自动更新.exe";
    ASSERT_TRUE(CopyFileA(BuiltQuovanta().c_str(), program.c_str(), FALSE));

    // Every outside host on the replica; its version page says 2.035, its new program is the stand-in.
    ReplicaLoopback replica;
    ASSERT_TRUE(replica.Start());
    SetEnvironmentVariableA("QUOVANTA_CONNECTIVITY_URL", replica.Server().Url("/connectivity.html").c_str());
    struct ReleaseFile {
        ReleaseFile() { SetReplicaReleaseFile(Sleeper()); }
        ~ReleaseFile() { SetReplicaReleaseFile(""); }
    } releaseFile;

    Started started;
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION quovanta = {};
    std::string line = "\"" + program + "\"";
    ASSERT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &quovanta));
    CloseHandle(quovanta.hThread);
    started.Keep(quovanta.hProcess);
    auto isQuovanta = [&](DWORD p) { return p == quovanta.dwProcessId; };

    // About two seconds after start-up: the question, OK and Cancel.
    HWND question = WaitFor([&] { return FindTopLevel("#32770", "友情提示", isQuovanta); });
    ASSERT_NE(question, nullptr) << "no question from Quovanta";
    EXPECT_EQ(BoxText(question), "系统检测有新的版本程序已发布,是否更新？");
    EXPECT_NE(GetDlgItem(question, IDCANCEL), nullptr);
    EXPECT_NE(FindTopLevel(nullptr, "Brelmor Quovanta v2.034", isQuovanta), nullptr);
    PostMessageA(question, WM_COMMAND, IDOK, 0);

    // The updater, written beside the program byte for byte and started from there.
    HWND window = WaitFor([&] {
        return FindTopLevel(nullptr, "Brelmor Quovanta 在线升级程序", [&](DWORD p) { return SameFile(ProcessImage(p), updater); });
    });
    ASSERT_NE(window, nullptr) << "no updater window";
    const DWORD updaterId = ProcessOf(window);
    HANDLE updaterProcess = started.KeepOwnerOf(window);
    ASSERT_NE(updaterProcess, nullptr);
    EXPECT_TRUE(FileBytes(updater) == updaterBytes);
    EXPECT_EQ(WaitForSingleObject(quovanta.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT));  // Quovanta goes on

    // 开始更新: the program's file is in use, so the updater asks; Yes ends the running Quovanta.
    HWND start = WaitFor([&] {
        HWND b = FindControlWindow(window, "开始更新");
        return b && IsWindowVisible(b) && IsWindowEnabled(b) ? b : nullptr;
    });
    ASSERT_NE(start, nullptr);
    PostMessageA(start, BM_CLICK, 0, 0);
    auto isUpdater = [&](DWORD p) { return p == updaterId; };
    HWND inUse = WaitFor([&] { return FindTopLevel("#32770", "程序正在运行", isUpdater); });
    ASSERT_NE(inUse, nullptr) << "the updater did not ask to end the running program";
    PostMessageA(inUse, WM_COMMAND, IDYES, 0);
    ASSERT_EQ(WaitForSingleObject(quovanta.hProcess, 30000), static_cast<DWORD>(WAIT_OBJECT_0));
    DWORD code = 1;
    GetExitCodeProcess(quovanta.hProcess, &code);
    EXPECT_EQ(code, 0u);

    // The new program in place, the page "更新完成"; 完成更新 with 自动运行 starts it and closes.
    HWND finish = WaitFor([&] {
        HWND b = FindControlWindow(window, "完成");
        return b && IsWindowVisible(b) ? b : nullptr;
    });
    ASSERT_NE(finish, nullptr) << "the updater did not finish";
    EXPECT_TRUE(FileBytes(program) == release);
    HWND autoRun = FindControlWindow(window, "选择框1");
    EXPECT_EQ(SendMessageA(autoRun, BM_GETCHECK, 0, 0), BST_CHECKED);
    PostMessageA(finish, BM_CLICK, 0, 0);

    HWND restarted = WaitFor([&] {
        return FindTopLevel(nullptr, "Quovanta.exe", [&](DWORD p) { return SameFile(ProcessImage(p), program); });
    });
    ASSERT_NE(restarted, nullptr) << "the new program was not started";
    started.KeepOwnerOf(restarted);
    EXPECT_EQ(WaitForSingleObject(updaterProcess, 30000), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_EQ(FilesIn(dir), (std::vector<Text>{"Brelmor自动更新.exe", "Quovanta.exe", "alarm.mp3", "config.ini"}));
    EXPECT_EQ(ReadIniText(dir + "\\config.ini", "基本配置", "版本号"), "2.034");

    std::vector<std::string> maker;
    for (const LoopbackRequest& r : replica.Server().Requests())
        if (r.Path().rfind("/NetWork/qelsoft/5173/", 0) == 0 || r.Path() == "/connectivity.html")
            maker.push_back(r.Path());
    // The update step ran twice: it found the program's file in use, then, with Quovanta ended, ran again.
    EXPECT_EQ(maker, (std::vector<std::string>{"/NetWork/qelsoft/5173/ver.asp", "/NetWork/qelsoft/5173/uplogo.gif",
                                               "/NetWork/qelsoft/5173/up.xml", "/connectivity.html",
                                               replica::kReleaseProgramPath, "/connectivity.html",
                                               replica::kReleaseProgramPath}));
}
