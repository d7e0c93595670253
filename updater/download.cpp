// The download of the new main program (see download.h).
#include "updater/download.h"

#include "runtime/files.h"
#include "runtime/seams.h"
#include "runtime/workers.h"
#include "updater/hosts.h"
#include "updater/release_description.h"
#include "updater/state.h"

#include <wininet.h>
#include <tlhelp32.h>

#include <cmath>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
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
// Each wait of the download on the server: the connection, and every send and receive after it.
constexpr DWORD kConnectTimeoutMs = 15000;
constexpr DWORD kTransferTimeoutMs = 30000;
// Chunks the worker may read ahead of the window thread.
constexpr std::size_t kChunksAhead = 8;
// How often the window thread looks at the download while it handles its messages.
constexpr DWORD kLookMs = 100;

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

void SetTimeouts(HINTERNET handle)
{
    const struct {
        DWORD option, ms;
    } timeouts[] = {
        {INTERNET_OPTION_CONNECT_TIMEOUT, kConnectTimeoutMs},    {INTERNET_OPTION_SEND_TIMEOUT, kTransferTimeoutMs},
        {INTERNET_OPTION_RECEIVE_TIMEOUT, kTransferTimeoutMs},   {INTERNET_OPTION_DATA_SEND_TIMEOUT, kTransferTimeoutMs},
        {INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, kTransferTimeoutMs},
    };
    for (const auto& t : timeouts) {
        DWORD ms = t.ms;
        InternetSetOptionA(handle, t.option, &ms, sizeof(ms));
    }
}

// What the download's worker and the window thread share. The worker makes every network call; the
// window thread takes the reply's head and then the chunks as they come.
struct Feed {
    enum class Failure { None, Root, Url, Read };

    std::mutex lock;
    std::condition_variable changed;                        // for the worker: go ahead, room, or cancel
    HANDLE arrived = CreateEventA(nullptr, FALSE, FALSE, nullptr);  // for the window thread: news

    // Written by the worker.
    Failure failure = Failure::None;
    bool headKnown = false;
    bool statusRead = false;
    DWORD status = 0;
    Text encoding;
    bool encodingTooLong = false;
    DWORD total = 0;  // 0: no readable Content-Length
    std::deque<std::vector<unsigned char>> chunks;
    bool ended = false;  // the last read gave 0 bytes
    // Written by the window thread.
    bool readBody = false;
    bool cancelled = false;

    ~Feed()
    {
        if (arrived)
            CloseHandle(arrived);
    }
    // Runs `change` under the lock and tells the window thread.
    template <class Change> void Tell(Change change)
    {
        {
            std::lock_guard<std::mutex> hold(lock);
            change();
        }
        SetEvent(arrived);
    }
    void Cancel()
    {
        {
            std::lock_guard<std::mutex> hold(lock);
            cancelled = true;
        }
        changed.notify_all();
    }
};

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

// The worker: the request, its head, then the body in chunks until the end, a failure or a cancel.
// It owns its share of the feed, so a download the window has given up on ends here on its own, at
// the latest when a time-out ends its wait.
void FetchInto(const std::shared_ptr<Feed>& feed, const Text& url, const Text& agent, DWORD access)
{
    InternetHandle root(InternetOpenA(agent.c_str(), access, nullptr, nullptr, 0));
    if (!root) {
        feed->Tell([&] { feed->failure = Feed::Failure::Root; });
        return;
    }
    SetTimeouts(root.Get());
    std::vector<unsigned char> buffer(kReadSize);
    InternetHandle request(InternetOpenUrlA(root.Get(), url.c_str(), kExtraHeaders, sizeof(kExtraHeaders) - 1, kOpenFlags, 0));
    if (!request) {
        feed->Tell([&] { feed->failure = Feed::Failure::Url; });
        return;
    }
    SetTimeouts(request.Get());
    DWORD status = 0, size = sizeof(status);
    const bool statusRead =
        HttpQueryInfoA(request.Get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr) != FALSE;
    bool tooLong = false;
    const Text encoding = HeaderText(request.Get(), HTTP_QUERY_CONTENT_ENCODING, tooLong);
    DWORD total = 0;
    size = sizeof(total);
    if (!HttpQueryInfoA(request.Get(), HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &total, &size, nullptr))
        total = 0;
    feed->Tell([&] {
        feed->headKnown = true;
        feed->statusRead = statusRead;
        feed->status = status;
        feed->encoding = encoding;
        feed->encodingTooLong = tooLong;
        feed->total = total;
    });
    {
        std::unique_lock<std::mutex> hold(feed->lock);
        feed->changed.wait(hold, [&] { return feed->readBody || feed->cancelled; });
        if (feed->cancelled)
            return;
    }
    for (;;) {
        DWORD got = 0;
        const BOOL read = InternetReadFile(request.Get(), buffer.data(), kReadSize, &got);
        std::unique_lock<std::mutex> hold(feed->lock);
        if (feed->cancelled)
            return;
        if (!read || got == 0) {
            if (!read)
                feed->failure = Feed::Failure::Read;
            feed->ended = true;
            hold.unlock();
            SetEvent(feed->arrived);
            return;
        }
        feed->changed.wait(hold, [&] { return feed->cancelled || feed->chunks.size() < kChunksAhead; });
        if (feed->cancelled)
            return;
        feed->chunks.emplace_back(buffer.begin(), buffer.begin() + got);
        hold.unlock();
        SetEvent(feed->arrived);
    }
}

// The download under way: the worker's feed and the temporary file, which 退出更新 may take away in
// the middle.
struct ActiveDownload {
    std::shared_ptr<Feed> feed;
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

enum class Replaceable { Yes, InUse, No };

// Whether the file at `path` could be replaced now: it is missing, or it opens for writing. Only a
// sharing violation (a running program's file) means it is in use; a read-only file, a folder that
// may not be written and the like are no reason to end anything. Nothing in it is changed.
Replaceable CanReplace(const Text& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return GetLastError() == ERROR_FILE_NOT_FOUND ? Replaceable::Yes : Replaceable::No;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return Replaceable::No;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_SHARING_VIOLATION ? Replaceable::InUse : Replaceable::No;
    CloseHandle(file);
    return Replaceable::Yes;
}

bool ReadAt(HANDLE file, std::uint32_t offset, void* out, DWORD count)
{
    LARGE_INTEGER at;
    at.QuadPart = offset;
    DWORD got = 0;
    return SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && ReadFile(file, out, count, &got, nullptr) && got == count;
}

// Whether the `size` bytes of the file are a 32-bit Windows program: "MZ", the PE signature where
// e_lfanew points, the i386 machine right after it.
bool IsWin32Program(HANDLE file, std::uint32_t size)
{
    unsigned char dos[64];
    if (size < sizeof(dos) || !ReadAt(file, 0, dos, sizeof(dos)) || dos[0] != 'M' || dos[1] != 'Z')
        return false;
    const std::uint32_t peAt = dos[0x3C] | dos[0x3D] << 8 | dos[0x3E] << 16 | static_cast<std::uint32_t>(dos[0x3F]) << 24;
    unsigned char pe[6];
    if (peAt > size - sizeof(pe) || !ReadAt(file, peAt, pe, sizeof(pe)))
        return false;
    return std::memcmp(pe, "PE\0\0", 4) == 0 && (pe[4] | pe[5] << 8) == IMAGE_FILE_MACHINE_I386;
}

// Handles the window's messages until `ready` holds for the feed (looked at under its lock); false
// when the download is abandoned or the window closes first.
template <class Ready> bool Await(const ActiveDownload& active, Ready ready)
{
    Feed& feed = *active.feed;
    for (;;) {
        if (active.abandoned || !UpdaterWindow.IsOpen())
            return false;
        {
            std::lock_guard<std::mutex> hold(feed.lock);
            if (ready())
                return true;
        }
        WaitHandlePumping(feed.arrived, kLookMs);
    }
}

// The head of the reply: only the file itself will do, not an error page and not bytes in an
// encoding nobody decodes. Says why when it will not.
bool AcceptableHead(const Feed& feed)
{
    switch (feed.failure) {
    case Feed::Failure::Root:
        Say("Internet连接错误!");
        return false;
    case Feed::Failure::Url:
        Say(kUrlFailed);
        return false;
    default:
        break;
    }
    const Text encoding = ToLowerAscii(TrimText(feed.encoding));
    if (!feed.statusRead || feed.status != 200 || feed.encodingTooLong || (!encoding.empty() && encoding != "identity") ||
        feed.total > kProgramSizeLimit) {
        Say(kUrlFailed);
        return false;
    }
    return true;
}

// The body into the temporary file, chunk by chunk as the worker hands them over. True when it is
// complete.
bool ReceiveBody(ActiveDownload& active, std::uint32_t total, DownloadProgressCallback callback, std::uint32_t& done)
{
    Feed& feed = *active.feed;
    const DWORD start = GetTickCount();
    done = 0;
    for (;;) {
        std::deque<std::vector<unsigned char>> chunks;
        bool ended = false;
        Feed::Failure failure = Feed::Failure::None;
        if (!Await(active, [&] { return !feed.chunks.empty() || feed.ended; }))
            return false;
        {
            std::lock_guard<std::mutex> hold(feed.lock);
            chunks.swap(feed.chunks);
            ended = feed.ended;
            failure = feed.failure;
        }
        feed.changed.notify_all();
        for (const auto& chunk : chunks) {
            const DWORD got = static_cast<DWORD>(chunk.size());
            if (got > kProgramSizeLimit - done) {
                Say(kReadFailed);
                return false;
            }
            DWORD written = 0;
            if (!WriteFile(active.file, chunk.data(), got, &written, nullptr) || written != got) {
                Say(kWriteFailed);
                return false;
            }
            done += got;
            DWORD elapsed = GetTickCount() - start;
            if (elapsed == 0)
                elapsed = 10;
            callback(total, done, elapsed, 0);
            if (active.abandoned || !UpdaterWindow.IsOpen())
                return false;
        }
        if (!ended)
            continue;
        // WinINet ends a dropped connection like a finished one: only the count tells them apart.
        if (failure != Feed::Failure::None || done == 0 || (total != 0 && done != total)) {
            Say(kReadFailed);
            return false;
        }
        return true;
    }
}

// The request and the transfer into a temporary file, then the replacement.
Outcome Transfer(const Text& url, const Text& path, DownloadProgressCallback callback)
{
    DWORD connection = 0;
    InternetGetConnectedState(&connection, 0);
    const Text agent = "Agent" + std::to_string(static_cast<long>(GetTickCount()));
    const DWORD access = (connection & INTERNET_CONNECTION_PROXY) ? INTERNET_OPEN_TYPE_PRECONFIG
                                                                  : INTERNET_OPEN_TYPE_PRECONFIG_WITH_NO_AUTOPROXY;
    ActiveDownload active;
    active.feed = std::make_shared<Feed>();
    const std::shared_ptr<Feed> feed = active.feed;
    if (!feed->arrived || !StartWorker([feed, url, agent, access] { FetchInto(feed, url, agent, access); })) {
        Say("Internet连接错误!");
        return Outcome::Failed;
    }
    struct Leave {
        ActiveDownload& active;
        ~Leave()
        {
            g_active = nullptr;
            active.feed->Cancel();
            if (active.file != INVALID_HANDLE_VALUE)
                CloseHandle(active.file);
            if (!active.tempPath.empty())
                DeleteFileA(active.tempPath.c_str());
        }
    } leave{active};
    g_active = &active;

    if (!Await(active, [&] { return feed->headKnown || feed->failure != Feed::Failure::None; }))
        return Outcome::Failed;
    if (!AcceptableHead(*feed))
        return Outcome::Failed;
    switch (CanReplace(path)) {
    case Replaceable::InUse:
        return Outcome::InUse;
    case Replaceable::No:
        Say(kWriteFailed);
        return Outcome::Failed;
    case Replaceable::Yes:
        break;
    }

    const Text folder = PathDirectory(path);
    char tempPath[MAX_PATH + 1] = {};
    if (!GetTempFileNameA(folder.empty() ? "." : folder.c_str(), "upd", 0, tempPath)) {
        Say(kWriteFailed);
        return Outcome::Failed;
    }
    active.tempPath = tempPath;
    active.file = CreateFileA(tempPath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (active.file == INVALID_HANDLE_VALUE) {
        Say(kWriteFailed);
        return Outcome::Failed;
    }
    {
        std::lock_guard<std::mutex> hold(feed->lock);
        feed->readBody = true;
    }
    feed->changed.notify_all();

    std::uint32_t done = 0;
    if (!ReceiveBody(active, feed->total, callback, done))
        return Outcome::Failed;
    if (!IsWin32Program(active.file, done)) {
        Say(kReadFailed);
        return Outcome::Failed;
    }
    if (!FlushFileBuffers(active.file)) {
        Say(kWriteFailed);
        return Outcome::Failed;
    }
    CloseHandle(active.file);
    active.file = INVALID_HANDLE_VALUE;
    if (!MoveFileExA(active.tempPath.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        // The program may have been started again in the meantime; anything else is a failure to write.
        if (CanReplace(path) == Replaceable::InUse)
            return Outcome::InUse;
        Say(kWriteFailed);
        return Outcome::Failed;
    }
    active.tempPath.clear();
    UpdateInstalled = true;
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
        if (ToLowerAscii(PathFileName(entry.szExeFile)) == wanted && IsOurTarget(entry.th32ProcessID, target))
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
            EndRunningProgram(PathFileName(path), path);
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
    g_active->feed->Cancel();
    if (g_active->file != INVALID_HANDLE_VALUE)
        CloseHandle(g_active->file);
    g_active->file = INVALID_HANDLE_VALUE;
    if (!g_active->tempPath.empty())
        DeleteFileA(g_active->tempPath.c_str());
    g_active->tempPath.clear();
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
