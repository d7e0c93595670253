// The download of the new main program against the loopback server: chunks and progress, the label,
// failures that keep the installed program, the reply without a length, and a running copy ended.
#include "updater/download.h"
#include "updater/state.h"
#include "updater_fixture.h"

#include <gtest/gtest.h>
#include <commctrl.h>
#include <wininet.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

using updater_test::FilesIn;
using updater_test::FileText;
using updater_test::UpdaterFixture;

namespace {

struct Progress {
    uint32_t total, done, elapsed, zero;
    bool startEnabled;
    std::vector<Text> files;
};
std::vector<Progress> g_progress;
Text g_dir;

void WINAPI RecordProgress(uint32_t total, uint32_t done, uint32_t elapsed, uint32_t zero)
{
    g_progress.push_back({total, done, elapsed, zero, updater::UpdaterWindow.Control("开始更新").Enabled(), FilesIn(g_dir)});
}

// n bytes that the updater takes for a program of that machine: "MZ", e_lfanew 0x40, the PE signature
// there and the machine after it; the rest a pattern.
std::string ProgramBytes(size_t n, uint16_t machine = IMAGE_FILE_MACHINE_I386)
{
    std::string bytes;
    for (size_t i = 0; i < std::max<size_t>(n, 0x46); ++i)
        bytes.push_back(static_cast<char>((i * 7 + i / 251) & 0xFF));
    const char head[] = {'M', 'Z'};
    bytes.replace(0, 2, head, 2);
    bytes.replace(0x3C, 4, std::string("\x40\0\0\0", 4));
    bytes.replace(0x40, 6, std::string("PE\0\0", 4) + static_cast<char>(machine & 0xFF) + static_cast<char>(machine >> 8));
    return bytes.substr(0, n);
}

const char kOld[] = "the installed program";

// Replaces, for this program's calls, one function it imports from a DLL (its import address table
// slot), and puts it back when destroyed.
class ImportPatch {
public:
    ImportPatch(const char* dll, const char* function, void* replacement)
    {
        auto* base = reinterpret_cast<unsigned char*>(GetModuleHandleA(nullptr));
        auto* nt = reinterpret_cast<IMAGE_NT_HEADERS32*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
        const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); d->FirstThunk; ++d) {
            if (lstrcmpiA(reinterpret_cast<const char*>(base + d->Name), dll) != 0 || !d->OriginalFirstThunk)
                continue;
            auto* names = reinterpret_cast<IMAGE_THUNK_DATA32*>(base + d->OriginalFirstThunk);
            auto* slots = reinterpret_cast<IMAGE_THUNK_DATA32*>(base + d->FirstThunk);
            for (; names->u1.AddressOfData; ++names, ++slots) {
                if (names->u1.Ordinal & IMAGE_ORDINAL_FLAG32)
                    continue;
                auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
                if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0) {
                    slot_ = reinterpret_cast<DWORD*>(&slots->u1.Function);
                    original_ = *slot_;
                    Write(static_cast<DWORD>(reinterpret_cast<uintptr_t>(replacement)));
                    return;
                }
            }
        }
    }
    ~ImportPatch()
    {
        if (slot_)
            Write(original_);
    }
    bool Applied() const { return slot_ != nullptr; }
    DWORD Original() const { return original_; }

private:
    void Write(DWORD value)
    {
        DWORD old;
        VirtualProtect(slot_, 4, PAGE_READWRITE, &old);
        *slot_ = value;
        VirtualProtect(slot_, 4, old, &old);
    }
    DWORD* slot_ = nullptr;
    DWORD original_ = 0;
};

// InternetReadFile that hands out at most g_readLimit bytes on its first call (a short read in the
// middle of the body) and records what every call asked for.
using ReadFileFn = BOOL(WINAPI*)(HINTERNET, LPVOID, DWORD, LPDWORD);
ReadFileFn g_realRead;
DWORD g_readLimit;
struct ReadCall {
    void* buffer;
    DWORD size;
    DWORD got;
};
std::vector<ReadCall> g_reads;

BOOL WINAPI ShortFirstRead(HINTERNET handle, LPVOID buffer, DWORD size, LPDWORD got)
{
    const DWORD asked = g_reads.empty() ? std::min(size, g_readLimit) : size;
    const BOOL ok = g_realRead(handle, buffer, asked, got);
    g_reads.push_back({buffer, size, *got});
    return ok;
}

class Download : public UpdaterFixture {
protected:
    void SetUp() override
    {
        UpdaterFixture::SetUp();
        g_progress.clear();
        g_dir = dir;
        target = dir + "\\Quovanta.exe";
        ASSERT_TRUE(WriteWholeFile(target, kOld, sizeof(kOld) - 1));
        ServeDescription(replica::ReleaseVariant::Standard);
        WriteInstalledVersion("2.034");
        ASSERT_TRUE(Load().IsOpen());
        url = updater::UpdateInfo.downurl;
        ASSERT_EQ(url, server.Url(replica::kReleaseProgramPath));
    }

    void ServeProgram(LoopbackReply reply) { server.SetReply(replica::kReleaseProgramPath, std::move(reply)); }
    void ServeProgram(const std::string& bytes) { ServeProgram(LoopbackReply::Ok(bytes, "application/octet-stream")); }

    int ProgramRequests() const
    {
        int n = 0;
        for (const auto& r : server.Requests())
            n += r.Path() == replica::kReleaseProgramPath;
        return n;
    }

    // The installed program is as it was and nothing else was left in its folder.
    void ExpectOldProgramKept(const char* what = "")
    {
        EXPECT_EQ(FileText(target), kOld) << what;
        EXPECT_EQ(FilesIn(dir), (std::vector<Text>{"Quovanta.exe", "config.ini"})) << what;
        EXPECT_EQ(C("高级选择夹1").Selection(), 0) << what;
        EXPECT_TRUE(C("开始更新").Enabled()) << what;
    }

    Text target;
    Text url;
};

}  // namespace

// A body of under 16,384 bytes comes in one chunk: one callback with done = total, then the read
// that ends it; the new program is in place, the page turned, nothing else left behind. The download
// went into a temporary file of the program folder, with 开始更新 disabled meanwhile.
TEST_F(Download, OneChunkUnder16K)
{
    const std::string program = ProgramBytes(10000);
    ServeProgram(program);
    EXPECT_EQ(updater::DownloadFileWithProgress(url, target, RecordProgress), 0);
    ASSERT_EQ(g_progress.size(), 1u);
    EXPECT_EQ(g_progress[0].total, 10000u);
    EXPECT_EQ(g_progress[0].done, 10000u);
    EXPECT_GE(g_progress[0].elapsed, 1u);
    EXPECT_EQ(g_progress[0].zero, 0u);
    EXPECT_FALSE(g_progress[0].startEnabled);
    ASSERT_EQ(g_progress[0].files.size(), 3u);  // config.ini, Quovanta.exe and the temporary file
    EXPECT_EQ(FileText(target), program);
    EXPECT_EQ(FilesIn(dir), (std::vector<Text>{"Quovanta.exe", "config.ini"}));
    EXPECT_EQ(C("高级选择夹1").Selection(), 1);
    EXPECT_TRUE(boxes.Calls().empty());

    const auto request = server.Requests().back();
    EXPECT_EQ(request.requestLine, "GET /NetWork/qelsoft/5173/Quovanta.exe HTTP/1.1");
    EXPECT_EQ(request.Header("Accept-Language"), "zh-cn");
    EXPECT_EQ(request.Header("Accept-Encoding"), "gzip, deflate");
    EXPECT_EQ(request.Header("Accept"), "*/*");
}

// Through the button: the connectivity page first, then the download with its label and bar.
TEST_F(Download, StartButtonShowsProgress)
{
    const std::string program = ProgramBytes(40000);
    ServeProgram(program);
    form.Raise("开始更新", Event::Click);
    EXPECT_EQ(FileText(target), program);
    EXPECT_EQ(C("高级选择夹1").Selection(), 1);
    EXPECT_EQ(C("进度条1").Position(), 100);
    const Text label = C("已下载").GetText();
    EXPECT_EQ(label.substr(0, label.find("下载速度:")), "文件大小：39  Kb/已下载:39  Kb\r\n\r\n");
    EXPECT_EQ(label.substr(label.find("Kb/S")), "Kb/S    \r\n\r\n已下载100% ");
    EXPECT_TRUE(boxes.Calls().empty());
    const auto requests = server.Requests();
    ASSERT_GE(requests.size(), 2u);
    EXPECT_EQ(requests[requests.size() - 2].Path(), "/connectivity.html");
    EXPECT_EQ(requests.back().Path(), replica::kReleaseProgramPath);
}

// A short read in the middle: every later read still asks for 16,384 bytes into the same buffer, and
// the file is whole.
TEST_F(Download, ShortReadInTheMiddle)
{
    const std::string program = ProgramBytes(40000);
    ServeProgram(program);
    ImportPatch patch("wininet.dll", "InternetReadFile", reinterpret_cast<void*>(ShortFirstRead));
    ASSERT_TRUE(patch.Applied());
    g_realRead = reinterpret_cast<ReadFileFn>(patch.Original());
    g_readLimit = 5000;
    g_reads.clear();
    EXPECT_EQ(updater::DownloadFileWithProgress(url, target, RecordProgress), 0);
    ASSERT_EQ(g_reads.size(), 5u);  // 5,000, 16,384, 16,384, 2,232, then the end
    const DWORD expected[] = {5000, 16384, 16384, 2232, 0};
    for (size_t i = 0; i < g_reads.size(); ++i) {
        EXPECT_EQ(g_reads[i].size, 16384u) << i;
        EXPECT_EQ(g_reads[i].buffer, g_reads[0].buffer) << i;
        EXPECT_EQ(g_reads[i].got, expected[i]) << i;
    }
    ASSERT_EQ(g_progress.size(), 4u);
    EXPECT_EQ(g_progress[0].done, 5000u);
    EXPECT_EQ(g_progress[3].done, 40000u);
    EXPECT_EQ(FileText(target), program);
}

TEST(DownloadLabel, TextAndRounding)
{
    EXPECT_EQ(updater::DownloadProgressText(1536, 1536, 10), "文件大小：2  Kb/已下载:2  Kb\r\n\r\n下载速度:150Kb/S    \r\n\r\n已下载100% ");
    EXPECT_EQ(updater::DownloadProgressText(3072, 1536, 1000), "文件大小：3  Kb/已下载:2  Kb\r\n\r\n下载速度:1Kb/S    \r\n\r\n已下载50% ");
    EXPECT_EQ(updater::DownloadProgressText(300000, 1000, 2000), "文件大小：293  Kb/已下载:1  Kb\r\n\r\n下载速度:0Kb/S    \r\n\r\n已下载0% ");
    EXPECT_EQ(updater::DownloadProgressText(0, 30000, 1000), "文件大小：未知/已下载:29  Kb\r\n\r\n下载速度:29Kb/S    ");
    const struct {
        uint32_t bytes;
        int64_t kb;
    } rounding[] = {{0, 0}, {511, 0}, {512, 1}, {1535, 1}, {1536, 2}, {2560, 3}, {2559, 2}, {0xFFFFFFFF, 4194304}};
    for (const auto& r : rounding)
        EXPECT_EQ(updater::RoundedKilobytes(r.bytes), r.kb) << r.bytes;
}

// A download of 1,536 bytes shows its size as 2 Kb.
TEST_F(Download, SizeOf1536BytesShownAs2Kb)
{
    ServeProgram(ProgramBytes(1536));
    form.Raise("开始更新", Event::Click);
    EXPECT_EQ(C("已下载").GetText().substr(0, std::strlen("文件大小：2  Kb/已下载:2  Kb")), "文件大小：2  Kb/已下载:2  Kb");
    EXPECT_EQ(FileText(target), ProgramBytes(1536));
}

// Replies that are not the whole program: the installed one stays, the temporary file goes, the
// window stays on its first page with 开始更新 ready again.
TEST_F(Download, FailuresKeepTheInstalledProgram)
{
    LoopbackReply dropped = LoopbackReply::Ok(ProgramBytes(50000), "application/octet-stream");
    dropped.closeAfterBytes = 20000;
    LoopbackReply droppedWithoutLength = dropped;
    droppedWithoutLength.framing = LoopbackReply::Framing::UntilClose;
    droppedWithoutLength.closeAfterBytes = 0;  // nothing at all
    LoopbackReply gzip = LoopbackReply::Ok(ProgramBytes(5000), "application/octet-stream");
    gzip.headerLines.push_back("Content-Encoding: gzip");
    // A server's error page that says 200.
    const std::string page = "<html><head><title>503</title></head><body>" + std::string(3000, '.') + "</body></html>";
    LoopbackReply pageWithoutLength = LoopbackReply::Ok(page);
    pageWithoutLength.framing = LoopbackReply::Framing::UntilClose;
    std::string peBeyondTheEnd = ProgramBytes(5000);
    peBeyondTheEnd.replace(0x3C, 4, std::string("\xFD\x13\0\0", 4));  // 5,117: the signature would end past 5,000
    std::string noSignature = ProgramBytes(5000);
    noSignature[0x41] = 'X';
    const struct {
        const char* what;
        LoopbackReply reply;
        const char* box;
    } cases[] = {
        {"404", LoopbackReply::Status(404, "Not Found"), "不能打开该URL!|信息：|0"},
        {"a dropped connection", dropped, "读文件出错!|信息：|0"},
        {"an empty close-delimited reply", droppedWithoutLength, "读文件出错!|信息：|0"},
        {"a gzip body", gzip, "不能打开该URL!|信息：|0"},
        {"an HTML page with 200 and its length", LoopbackReply::Ok(page), "读文件出错!|信息：|0"},
        {"an HTML page with 200 ended by the close", pageWithoutLength, "读文件出错!|信息：|0"},
        {"a 64-bit program", LoopbackReply::Ok(ProgramBytes(5000, IMAGE_FILE_MACHINE_AMD64)), "读文件出错!|信息：|0"},
        {"e_lfanew past the end", LoopbackReply::Ok(peBeyondTheEnd), "读文件出错!|信息：|0"},
        {"no PE signature", LoopbackReply::Ok(noSignature), "读文件出错!|信息：|0"},
        {"only the first bytes of a program", LoopbackReply::Ok(ProgramBytes(40)), "读文件出错!|信息：|0"},
    };
    for (const auto& c : cases) {
        ServeProgram(c.reply);
        const size_t before = boxes.Calls().size();
        form.Raise("开始更新", Event::Click);
        const auto calls = boxes.Calls();
        ASSERT_EQ(calls.size(), before + 1) << c.what;
        EXPECT_EQ(calls.back().text + "|" + calls.back().title + "|" + std::to_string(calls.back().style), c.box) << c.what;
        ExpectOldProgramKept(c.what);
        EXPECT_TRUE(form.IsOpen()) << c.what;
    }
}

// Without Content-Length: the size shows as unknown, no percentage, and the page turns once the
// connection has closed on the whole file.
TEST_F(Download, NoContentLength)
{
    const std::string program = ProgramBytes(30000);
    LoopbackReply reply = LoopbackReply::Ok(program, "application/octet-stream");
    reply.framing = LoopbackReply::Framing::UntilClose;
    ServeProgram(reply);
    form.Raise("开始更新", Event::Click);
    EXPECT_TRUE(boxes.Calls().empty());
    EXPECT_EQ(FileText(target), program);
    EXPECT_EQ(C("高级选择夹1").Selection(), 1);
    EXPECT_EQ(C("进度条1").Position(), 0);
    const Text label = C("已下载").GetText();
    EXPECT_EQ(label.substr(0, label.find("下载速度:")), "文件大小：未知/已下载:29  Kb\r\n\r\n");
    EXPECT_EQ(label.find("%"), Text::npos);
}

// 退出更新 in the middle of a download ends the program; the download stops where it is and the
// installed program stays.
TEST_F(Download, QuitDuringTheDownload)
{
    ServeProgram(ProgramBytes(100000));
    PostMessageA(C("按钮1").Handle(), BM_CLICK, 0, 0);  // handled between the first chunks
    form.Raise("开始更新", Event::Click);
    ASSERT_EQ(ends.Calls().size(), 1u);
    EXPECT_EQ(ends.Calls()[0].exitCode, 0);
    EXPECT_TRUE(boxes.Calls().empty());
    EXPECT_EQ(FileText(target), kOld);
    EXPECT_EQ(FilesIn(dir), (std::vector<Text>{"Quovanta.exe", "config.ini"}));
    EXPECT_EQ(C("高级选择夹1").Selection(), 0);
}

// A server that stalls, before its reply or in the middle of the body, holds only the download: the
// window goes on handling its messages and 退出更新, clicked during the stall, ends the program at once
// (the server never sent on), keeping the installed program.
TEST_F(Download, QuitDuringAStall)
{
    const HWND quit = C("按钮1").Handle();
    const struct {
        const char* what;
        unsigned delayMs;
        uint64_t stallAfter;
    } cases[] = {
        {"before the reply", 60000, LoopbackReply::kNever},
        {"in the middle of the body", 0, 20000},
    };
    for (const auto& c : cases) {
        auto sentUpTo = std::make_shared<std::atomic<uint64_t>>(0);
        LoopbackReply reply = LoopbackReply::Ok("", "application/octet-stream");
        reply.generatedLength = 100000;
        const std::string program = ProgramBytes(100000);
        reply.generate = [sentUpTo, program](uint64_t offset, char* out, size_t count) {
            program.copy(out, count, static_cast<size_t>(offset));
            *sentUpTo = offset + count;
        };
        reply.delayMs = c.delayMs;
        reply.stallAfterBytes = c.stallAfter;
        reply.stallMs = 60000;
        reply.onPause = [quit] { PostMessageA(quit, BM_CLICK, 0, 0); };
        ServeProgram(reply);
        const size_t endsBefore = ends.Calls().size();
        form.Raise("开始更新", Event::Click);
        ASSERT_EQ(ends.Calls().size(), endsBefore + 1) << c.what;
        EXPECT_EQ(ends.Calls().back().exitCode, 0) << c.what;
        EXPECT_EQ(sentUpTo->load(), c.delayMs ? 0u : c.stallAfter) << c.what;
        EXPECT_EQ(Boxes(), std::vector<std::string>{}) << c.what;
        ExpectOldProgramKept(c.what);
    }
}

// A target that cannot be written for another reason than a running program (a read-only file) is
// no program to end: 写文件出错! once, no question, and the file stays as it was.
TEST_F(Download, ReadOnlyTargetSaysWriteFailed)
{
    ASSERT_TRUE(SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_READONLY));
    ServeProgram(ProgramBytes(20000));
    boxes.Answer(IDYES);  // were it asked whether to end the program: Yes once, then No
    boxes.Answer(IDNO);
    form.Raise("开始更新", Event::Click);
    EXPECT_EQ(Boxes(), std::vector<std::string>{"写文件出错!|信息：|0"});
    EXPECT_TRUE(form.IsOpen());
    ExpectOldProgramKept();
    EXPECT_EQ(GetFileAttributesA(target.c_str()) & FILE_ATTRIBUTE_READONLY, static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
}

// Without a network the updater says so and closes, touching nothing.
TEST_F(Download, NoNetwork)
{
    SetEnvironmentVariableA("QUOVANTA_CONNECTIVITY_URL", "http://127.0.0.1:1/");
    ServeProgram(ProgramBytes(1000));
    form.Raise("开始更新", Event::Click);
    EXPECT_EQ(Boxes(), std::vector<std::string>{"网络连接错误|网络错误|16"});
    EXPECT_EQ(ProgramRequests(), 0);
    EXPECT_EQ(FileText(target), kOld);
    EXPECT_TRUE(PumpUntil([&] { return !form.IsOpen(); }));
}

namespace {

// A running stand-in of the main program, started from a copy of the sleeper at `path`.
struct Running {
    PROCESS_INFORMATION pi = {};
    bool Start(const Text& path)
    {
        STARTUPINFOA si = {};
        si.cb = sizeof(si);
        std::string line = "\"" + path + "\"";
        if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
            return false;
        WaitForInputIdle(pi.hProcess, 5000);
        return true;
    }
    bool Alive() const { return pi.hProcess && WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT; }
    DWORD ExitCode() const
    {
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(pi.hProcess, &code);
        return code;
    }
    ~Running()
    {
        if (!pi.hProcess)
            return;
        if (Alive()) {
            TerminateProcess(pi.hProcess, 1);
            WaitForSingleObject(pi.hProcess, 5000);
        }
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
};

Text SleeperPath()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    Text self = path;
    return self.substr(0, self.find_last_of('\\')) + "\\updater_test_sleeper.exe";
}

int WindowsTitled(const char* title)
{
    int n = 0;
    for (HWND w = FindWindowExA(nullptr, nullptr, nullptr, title); w; w = FindWindowExA(nullptr, w, nullptr, title))
        ++n;
    return n;
}

}  // namespace

// The main program runs from the file to be replaced: Yes ends that copy (and not another program of
// the same name elsewhere, whose window comes first), and the whole step runs again and succeeds.
TEST_F(Download, RunningCopyEndedOnYes)
{
    const Text otherDir = updater_test::MakeTempFolder("oth");
    const Text other = otherDir + "\\Quovanta.exe";
    ASSERT_TRUE(CopyFileA(SleeperPath().c_str(), target.c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(SleeperPath().c_str(), other.c_str(), FALSE));
    const std::string old = FileText(target);
    {
        Running running, elsewhere;
        ASSERT_TRUE(running.Start(target));
        ASSERT_TRUE(elsewhere.Start(other));  // started last: its window lies on top
        ASSERT_TRUE(PumpUntil([] { return WindowsTitled("Quovanta.exe") >= 2; }));

        const std::string program = ProgramBytes(20000);
        ServeProgram(program);
        boxes.Answer(IDYES);
        EXPECT_EQ(updater::DownloadFileWithProgress(url, target, RecordProgress), -1);
        EXPECT_EQ(Boxes(), std::vector<std::string>{"程序正在运行,无法进行更新!\r\n\r\n是否强制结束继续进行更新?|程序正在运行|68"});
        EXPECT_FALSE(running.Alive());
        EXPECT_EQ(running.ExitCode(), 0u);
        EXPECT_TRUE(elsewhere.Alive());
        EXPECT_EQ(FileText(target), program);
        EXPECT_EQ(FileText(other), old);
        EXPECT_EQ(C("高级选择夹1").Selection(), 1);
        EXPECT_EQ(FilesIn(dir), (std::vector<Text>{"Quovanta.exe", "config.ini"}));
    }
    updater_test::RemoveFolder(otherDir);
}

// No: the window closes and the running program and its file stay as they were.
TEST_F(Download, RunningCopyKeptOnNo)
{
    ASSERT_TRUE(CopyFileA(SleeperPath().c_str(), target.c_str(), FALSE));
    const std::string old = FileText(target);
    Running running;
    ASSERT_TRUE(running.Start(target));
    ServeProgram(ProgramBytes(20000));
    boxes.Answer(IDNO);
    form.Raise("开始更新", Event::Click);
    EXPECT_EQ(boxes.Calls().size(), 1u);
    EXPECT_TRUE(running.Alive());
    EXPECT_EQ(FileText(target), old);
    EXPECT_EQ(FilesIn(dir), (std::vector<Text>{"Quovanta.exe", "config.ini"}));
    EXPECT_TRUE(PumpUntil([&] { return !form.IsOpen(); }));
}

// A program name with a double-byte character that ends in 0x5C (誠 is D5 5C): the temporary file goes into
// the program folder and the running copy is found by its name, so one Yes ends it and the update
// goes through.
TEST_F(Download, NameWithA5CTrailByte)
{
    const Text name = "新誠.exe";
    ASSERT_EQ(name.substr(2, 2), "\xD5\x5C");
    updater::UpdateInfo.exename = name;
    const Text path = dir + "\\" + name;
    for (const bool running : {false, true}) {
        const char* what = running ? "running" : "not running";
        ASSERT_TRUE(CopyFileA(SleeperPath().c_str(), path.c_str(), FALSE)) << what;
        Running copy;
        if (running) {
            ASSERT_TRUE(copy.Start(path)) << what;
            ASSERT_TRUE(PumpUntil([&] { return WindowsTitled(name.c_str()) >= 1; })) << what;
        }
        const std::string program = ProgramBytes(30000 + running);
        ServeProgram(program);
        updater::UpdateInstalled = false;
        C("高级选择夹1").SetSelection(0);
        C("开始更新").SetEnabled(true);
        const size_t before = boxes.Calls().size();
        if (running) {
            boxes.Answer(IDYES);  // Yes once; were the question asked again, No
            boxes.Answer(IDNO);
        }
        form.Raise("开始更新", Event::Click);
        EXPECT_EQ(boxes.Calls().size(), before + (running ? 1 : 0)) << what;
        if (running) {
            EXPECT_FALSE(copy.Alive()) << what;
            EXPECT_EQ(copy.ExitCode(), 0u) << what;
        }
        EXPECT_TRUE(FileText(path) == program) << what;
        EXPECT_EQ(C("高级选择夹1").Selection(), 1) << what;
        EXPECT_EQ(FilesIn(dir), (std::vector<Text>{"Quovanta.exe", "config.ini", name})) << what;
    }
}

namespace {

// A click on the tab of page `index` of the page control, as the user's mouse gives it.
void ClickTab(HWND tab, int index)
{
    RECT item = {};
    ASSERT_TRUE(SendMessageA(tab, TCM_GETITEMRECT, index, reinterpret_cast<LPARAM>(&item)));
    const LPARAM at = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
    SendMessageA(tab, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(tab, WM_LBUTTONUP, 0, at);
}

}  // namespace

// The page "更新完成" cannot be chosen by hand before the new program is in place (its 完成更新 would
// start the old one); after the update both pages can be chosen.
TEST_F(Download, FinishingPageOnlyAfterTheUpdate)
{
    const HWND tab = C("高级选择夹1").Handle();
    ClickTab(tab, 1);
    EXPECT_EQ(C("高级选择夹1").Selection(), 0);
    EXPECT_FALSE(IsWindowVisible(C("完成").Handle()));
    EXPECT_TRUE(IsWindowVisible(C("开始更新").Handle()));

    ServeProgram(ProgramBytes(20000));
    form.Raise("开始更新", Event::Click);
    ASSERT_EQ(C("高级选择夹1").Selection(), 1);
    ClickTab(tab, 0);
    EXPECT_EQ(C("高级选择夹1").Selection(), 0);
    ClickTab(tab, 1);
    EXPECT_EQ(C("高级选择夹1").Selection(), 1);
    EXPECT_TRUE(IsWindowVisible(C("完成").Handle()));
}
