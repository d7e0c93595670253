// The download of the new main program (see download.h).
#include "updater/download.h"

#include "runtime/seams.h"
#include "updater/hosts.h"
#include "updater/release_description.h"
#include "updater/state.h"

#include <wininet.h>
#include <tlhelp32.h>

#include <cmath>
#include <string>
#include <vector>

namespace updater {

namespace {

// The request headers of the download, sent with their length and without a closing CR LF.
constexpr char kExtraHeaders[] =
    "Accept: */*\r\nAccept-Language: zh-cn\r\nAccept-Encoding: gzip, deflate\r\n"
    "User-Agent: Mozilla/4.0(compatible; MSIE 6.0; Windows NT 5.0; MyIE2; .NET CLR 1.1.4322)";
static_assert(sizeof(kExtraHeaders) - 1 == 156);
constexpr DWORD kOpenFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE;
static_assert(kOpenFlags == 0x84000100);

constexpr char kInUseQuestion[] = "程序正在运行,无法进行更新!\r\n\r\n是否强制结束继续进行更新?";
constexpr char kReadFailed[] = "读文件出错!";
constexpr char kWriteFailed[] = "写文件出错!";
constexpr char kUrlFailed[] = "不能打开该URL!";
// How long an ended program is given to be gone before its file is tried again.
constexpr DWORD kEndWaitMs = 5000;
// The connectivity page must answer within this.
constexpr DWORD kConnectivityTimeoutMs = 15000;

class InternetHandle {
public:
    explicit InternetHandle(HINTERNET h) : h_(h) {}
    ~InternetHandle()
    {
        if (h_)
            InternetCloseHandle(h_);
    }
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;
    HINTERNET Get() const { return h_; }
    explicit operator bool() const { return h_ != nullptr; }

private:
    HINTERNET h_;
};

// The download under way: its temporary file, which 退出更新 may take away in the middle.
struct ActiveDownload {
    HANDLE file = INVALID_HANDLE_VALUE;
    Text tempPath;
    bool abandoned = false;
};
ActiveDownload* g_active = nullptr;
bool g_running = false;

enum class Outcome { Done, Failed, InUse };

void Say(const char* text) { ShowMessageBox(text, "", 0); }

bool NetworkReachable()
{
    DWORD state = 0;
    if (!InternetGetConnectedState(&state, 0))
        return false;
    InternetHandle root(InternetOpenA("test", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!root)
        return false;
    DWORD timeout = kConnectivityTimeoutMs;
    InternetSetOptionA(root.Get(), INTERNET_OPTION_CONNECT_TIMEOUT, &timeout, sizeof(timeout));
    InternetSetOptionA(root.Get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof(timeout));
    InternetHandle page(InternetOpenUrlA(root.Get(), ConnectivityUrl().c_str(), nullptr, 0, INTERNET_FLAG_RELOAD, 0));
    return static_cast<bool>(page);
}

// Whether the file at `path` could be replaced now: it is missing, or it opens for writing (a running
// program's file does not). Nothing in it is changed.
bool CanReplace(const Text& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return GetLastError() == ERROR_FILE_NOT_FOUND;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return false;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

Text FileNameOf(const Text& path)
{
    const std::size_t slash = path.find_last_of('\\');
    return slash == Text::npos ? path : path.substr(slash + 1);
}

Text DirectoryOf(const Text& path)
{
    const std::size_t slash = path.find_last_of('\\');
    return slash == Text::npos ? Text(".") : path.substr(0, slash);
}

Text HeaderText(HINTERNET request, DWORD query, bool& tooLong)
{
    char value[256] = {};
    DWORD size = sizeof(value) - 1;
    tooLong = false;
    if (HttpQueryInfoA(request, query, value, &size, nullptr))
        return Text(value, size < sizeof(value) ? size : 0);
    tooLong = GetLastError() == ERROR_INSUFFICIENT_BUFFER;
    return Text();
}

// The request and the transfer into a temporary file, then the replacement.
Outcome Transfer(const Text& url, const Text& path, DownloadProgressCallback callback)
{
    DWORD connection = 0;
    InternetGetConnectedState(&connection, 0);
    const Text agent = "Agent" + std::to_string(static_cast<long>(GetTickCount()));
    const DWORD access = (connection & INTERNET_CONNECTION_PROXY) ? INTERNET_OPEN_TYPE_PRECONFIG
                                                                  : INTERNET_OPEN_TYPE_PRECONFIG_WITH_NO_AUTOPROXY;
    InternetHandle root(InternetOpenA(agent.c_str(), access, nullptr, nullptr, 0));
    if (!root) {
        Say("Internet连接错误!");
        return Outcome::Failed;
    }
    std::vector<unsigned char> buffer(kReadSize);
    InternetHandle request(InternetOpenUrlA(root.Get(), url.c_str(), kExtraHeaders, sizeof(kExtraHeaders) - 1, kOpenFlags, 0));
    if (!request) {
        Say(kUrlFailed);
        return Outcome::Failed;
    }
    // Only the file itself will do: not an error page, and not bytes in an encoding nobody decodes.
    DWORD status = 0, size = sizeof(status);
    if (!HttpQueryInfoA(request.Get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr) ||
        status != 200) {
        Say(kUrlFailed);
        return Outcome::Failed;
    }
    bool tooLong = false;
    const Text encoding = ToLowerAscii(TrimText(HeaderText(request.Get(), HTTP_QUERY_CONTENT_ENCODING, tooLong)));
    if (tooLong || (!encoding.empty() && encoding != "identity")) {
        Say(kUrlFailed);
        return Outcome::Failed;
    }

    if (!CanReplace(path))
        return Outcome::InUse;

    DWORD total = 0;
    size = sizeof(total);
    if (!HttpQueryInfoA(request.Get(), HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &total, &size, nullptr))
        total = 0;
    if (total > kProgramSizeLimit) {
        Say(kUrlFailed);
        return Outcome::Failed;
    }

    char tempPath[MAX_PATH + 1] = {};
    if (!GetTempFileNameA(DirectoryOf(path).c_str(), "upd", 0, tempPath)) {
        Say(kWriteFailed);
        return Outcome::Failed;
    }
    ActiveDownload active;
    active.tempPath = tempPath;
    active.file = CreateFileA(tempPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (active.file == INVALID_HANDLE_VALUE) {
        DeleteFileA(tempPath);
        Say(kWriteFailed);
        return Outcome::Failed;
    }
    g_active = &active;

    const DWORD start = GetTickCount();
    std::uint32_t done = 0;
    bool complete = false;
    for (;;) {
        DWORD got = 0;
        if (!InternetReadFile(request.Get(), buffer.data(), kReadSize, &got)) {
            Say(kReadFailed);
            break;
        }
        if (got == 0) {
            // WinINet ends a dropped connection like a finished one: only the count tells them apart.
            complete = done > 0 && (total == 0 || done == total);
            if (!complete)
                Say(kReadFailed);
            break;
        }
        if (got > kProgramSizeLimit - done) {
            Say(kReadFailed);
            break;
        }
        DWORD written = 0;
        if (!WriteFile(active.file, buffer.data(), got, &written, nullptr) || written != got) {
            Say(kWriteFailed);
            break;
        }
        done += got;
        DWORD elapsed = GetTickCount() - start;
        if (elapsed == 0)
            elapsed = 10;
        callback(total, done, elapsed, 0);
        if (active.abandoned || !UpdaterWindow.IsOpen())
            break;
    }
    g_active = nullptr;
    if (active.abandoned)
        return Outcome::Failed;  // the file is gone already
    const bool flushed = complete && UpdaterWindow.IsOpen() && FlushFileBuffers(active.file);
    CloseHandle(active.file);
    if (!flushed) {
        DeleteFileA(active.tempPath.c_str());
        if (complete && UpdaterWindow.IsOpen())
            Say(kWriteFailed);
        return Outcome::Failed;
    }
    if (!MoveFileExA(active.tempPath.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileA(active.tempPath.c_str());
        return Outcome::InUse;  // the program was started again in the meantime
    }
    UpdaterWindow.Control("高级选择夹1").SetSelection(1);
    return Outcome::Done;
}

Outcome RunDownload(const Text& url, const Text& path, DownloadProgressCallback callback)
{
    const Control button = UpdaterWindow.Control("开始更新");
    g_running = true;
    button.SetEnabled(false);
    const Outcome outcome = Transfer(url, path, callback);
    g_running = false;
    if (outcome != Outcome::Done)
        button.SetEnabled(true);
    return outcome;
}

Text ProcessImagePath(DWORD pid)
{
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process)
        return Text();
    char path[MAX_PATH * 2] = {};
    DWORD size = sizeof(path);
    Text out;
    if (QueryFullProcessImageNameA(process, 0, path, &size))
        out.assign(path, size);
    CloseHandle(process);
    return out;
}

// A path as the system spells it in full, lower-cased in its ASCII letters, for comparing.
Text ComparablePath(const Text& path)
{
    char full[MAX_PATH * 2] = {};
    DWORD n = GetFullPathNameA(path.c_str(), sizeof(full), full, nullptr);
    Text out = (n > 0 && n < sizeof(full)) ? Text(full, n) : path;
    char longer[MAX_PATH * 2] = {};
    n = GetLongPathNameA(out.c_str(), longer, sizeof(longer));
    if (n > 0 && n < sizeof(longer))
        out.assign(longer, n);
    return ToLowerAscii(out);
}

struct WindowSearch {
    Text title;   // lower-cased
    Text target;  // comparable
    DWORD pid = 0;
};

bool IsOurTarget(DWORD pid, const Text& target)
{
    if (pid == 0 || pid == GetCurrentProcessId())
        return false;
    const Text image = ProcessImagePath(pid);
    return !image.empty() && ComparablePath(image) == target;
}

BOOL CALLBACK FindTitledWindow(HWND hwnd, LPARAM lp)
{
    auto* search = reinterpret_cast<WindowSearch*>(lp);
    char title[512] = {};
    GetWindowTextA(hwnd, title, sizeof(title));
    if (ToLowerAscii(title) != search->title)
        return TRUE;
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (!IsOurTarget(pid, search->target))
        return TRUE;
    search->pid = pid;
    return FALSE;
}

DWORD FindProcessByName(const Text& exename, const Text& target)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return 0;
    const Text wanted = ToLowerAscii(exename);
    DWORD found = 0;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32First(snapshot, &entry); more && !found; more = Process32Next(snapshot, &entry)) {
        if (ToLowerAscii(FileNameOf(entry.szExeFile)) == wanted && IsOurTarget(entry.th32ProcessID, target))
            found = entry.th32ProcessID;
    }
    CloseHandle(snapshot);
    return found;
}

}  // namespace

std::int64_t RoundedKilobytes(std::uint32_t bytes) { return std::llround(bytes / 1024.0); }

Text DownloadProgressText(std::uint32_t total, std::uint32_t done, std::uint32_t elapsed)
{
    const double seconds = (elapsed ? elapsed : 10) / 1000.0;
    const std::int64_t speed = static_cast<std::int64_t>(done / seconds / 1024.0);
    const Text doneKb = std::to_string(RoundedKilobytes(done));
    if (total == 0)
        return "文件大小：未知/已下载:" + doneKb + "  Kb\r\n\r\n下载速度:" + std::to_string(speed) + "Kb/S    ";
    const std::int64_t percent = static_cast<std::int64_t>(done * 100.0 / total);
    return "文件大小：" + std::to_string(RoundedKilobytes(total)) + "  Kb/已下载:" + doneKb +
           "  Kb\r\n\r\n下载速度:" + std::to_string(speed) + "Kb/S    \r\n\r\n已下载" + std::to_string(percent) + "% ";
}

void ShowDownloadProgress(std::uint32_t total, std::uint32_t done, std::uint32_t elapsed)
{
    if (total > 0)
        UpdaterWindow.Control("进度条1").SetPosition(static_cast<int>(done * 100.0 / total));
    UpdaterWindow.Control("已下载").SetText(DownloadProgressText(total, done, elapsed));
    ProcessPendingMessages();
}

void WINAPI DownloadProgressProc(std::uint32_t total, std::uint32_t done, std::uint32_t elapsed, std::uint32_t)
{
    ShowDownloadProgress(total, done, elapsed);
}

int DownloadFileWithProgress(const Text& url, const Text& path, DownloadProgressCallback callback)
{
    if (g_running)
        return -1;
    const Outcome outcome = RunDownload(url, path, callback);
    if (outcome == Outcome::InUse) {
        if (ShowMessageBox(kInUseQuestion, "程序正在运行", MB_YESNO | MB_ICONINFORMATION) == IDYES) {
            EndRunningProgram(FileNameOf(path), path);
            StartUpdate();
        } else {
            UpdaterWindow.Close();
        }
        return -1;
    }
    return outcome == Outcome::Done ? 0 : -1;
}

void StartUpdate()
{
    if (g_running)
        return;
    if (!NetworkReachable()) {
        ShowMessageBox("网络连接错误", "网络错误", MB_ICONSTOP);
        UpdaterWindow.Close();
        return;
    }
    // The description check refused any other name already; this only keeps a stray call harmless.
    if (!IsSafeProgramFileName(UpdateInfo.exename))
        return;
    DownloadFileWithProgress(UpdateInfo.downurl, MainProgramPath(), DownloadProgressProc);
}

void OnStartUpdateClicked(const EventArgs&) { StartUpdate(); }

bool DownloadRunning() { return g_running; }

void AbandonDownload()
{
    if (!g_active || g_active->abandoned)
        return;
    CloseHandle(g_active->file);
    g_active->file = INVALID_HANDLE_VALUE;
    DeleteFileA(g_active->tempPath.c_str());
    g_active->abandoned = true;
}

bool EndRunningProgram(const Text& exename, const Text& targetPath)
{
    WindowSearch search;
    search.title = ToLowerAscii(exename);
    search.target = ComparablePath(targetPath);
    EnumWindows(FindTitledWindow, reinterpret_cast<LPARAM>(&search));
    DWORD pid = search.pid ? search.pid : FindProcessByName(exename, search.target);
    if (!pid)
        return false;
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
    if (!process)
        return false;
    const bool ended = TerminateProcess(process, 0) != FALSE;
    if (ended)
        WaitForSingleObject(process, kEndWaitMs);
    CloseHandle(process);
    return ended;
}

}  // namespace updater
