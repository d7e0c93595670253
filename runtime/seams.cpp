// The real platform calls behind the seams, and the switch to a test's implementation.
#include "runtime/seams.h"
#include "runtime/pending_messages.h"

#include <atomic>
#include <cstdlib>
#include <mutex>

#include <commdlg.h>
#include <mmsystem.h>
#include <shellapi.h>

namespace {

class RealMessageBox final : public MessageBoxSeam {
public:
    int Show(const Text& text, const Text& title, unsigned style) override
    {
        return MessageBoxA(nullptr, text.c_str(), title.c_str(), style | MB_TASKMODAL);
    }
};

// "desc|*.a|desc|*.b" -> "desc\0*.a\0desc\0*.b\0\0"; a bare pattern serves as its own description.
std::string FilterList(const Text& filter)
{
    TextArray parts;
    std::size_t start = 0;
    for (;;) {
        std::size_t bar = filter.find('|', start);
        parts.push_back(filter.substr(start, bar == Text::npos ? Text::npos : bar - start));
        if (bar == Text::npos)
            break;
        start = bar + 1;
    }
    if (parts.size() == 1)
        parts.push_back(parts[0]);
    if (parts.size() % 2)
        parts.pop_back();
    std::string out;
    for (auto& p : parts) {
        out += p;
        out.push_back('\0');
    }
    out.push_back('\0');
    return out;
}

class RealFileDialog final : public FileDialogSeam {
public:
    bool AskSaveFile(const SaveFileRequest& request, Text& chosen) override
    {
        std::vector<char> file(2048, '\0');
        lstrcpynA(file.data(), request.fileName.c_str(), static_cast<int>(file.size()));
        std::string filter = FilterList(request.filter);
        OPENFILENAMEA ofn = {};
        ofn.lStructSize = sizeof(ofn);
        ofn.hwndOwner = request.owner;
        ofn.lpstrFilter = request.filter.empty() ? nullptr : filter.c_str();
        ofn.nFilterIndex = 1;
        ofn.lpstrFile = file.data();
        ofn.nMaxFile = static_cast<DWORD>(file.size());
        ofn.lpstrTitle = request.title.empty() ? nullptr : request.title.c_str();
        ofn.lpstrDefExt = request.defaultExtension.empty() ? nullptr : request.defaultExtension.c_str();
        ofn.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
        if (!GetSaveFileNameA(&ofn))
            return false;
        chosen = file.data();
        return true;
    }
};

class RealShellOpen final : public ShellOpenSeam {
public:
    bool Open(const Text& address) override
    {
        auto r = reinterpret_cast<INT_PTR>(
            ShellExecuteA(nullptr, "open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
        return r > 32;
    }
};

class RealSound final : public SoundSeam {
public:
    bool Play(const Text& file) override
    {
        std::lock_guard<std::mutex> guard(lock_);
        mciSendStringA("close quovanta_sound", nullptr, 0, nullptr);
        Text open = "open \"" + file + "\" type mpegvideo alias quovanta_sound";
        if (mciSendStringA(open.c_str(), nullptr, 0, nullptr) != 0)
            return false;
        if (mciSendStringA("play quovanta_sound", nullptr, 0, nullptr) != 0) {
            mciSendStringA("close quovanta_sound", nullptr, 0, nullptr);
            return false;
        }
        return true;
    }
    void StopAll() override
    {
        std::lock_guard<std::mutex> guard(lock_);
        mciSendStringA("stop quovanta_sound", nullptr, 0, nullptr);
        mciSendStringA("close quovanta_sound", nullptr, 0, nullptr);
        PlaySoundA(nullptr, nullptr, 0);
    }

private:
    std::mutex lock_;
};

class RealWait final : public WaitSeam {
public:
    void Wait(int milliseconds) override
    {
        DWORD start = GetTickCount();
        for (;;) {
            DWORD spent = GetTickCount() - start;
            if (milliseconds <= 0 || spent >= static_cast<DWORD>(milliseconds))
                break;
            DWORD left = static_cast<DWORD>(milliseconds) - spent;
            if (MsgWaitForMultipleObjects(0, nullptr, FALSE, left, QS_ALLINPUT) == WAIT_OBJECT_0)
                ProcessPendingMessages();
        }
        ProcessPendingMessages();
    }
};

class RealProgramStart final : public ProgramStartSeam {
public:
    bool Start(const Text& commandLine, int inputIdleWaitMs) override
    {
        std::vector<char> line(commandLine.begin(), commandLine.end());
        line.push_back('\0');
        STARTUPINFOA si = {};
        si.cb = sizeof(si);
        si.dwFlags = STARTF_USESHOWWINDOW;
        si.wShowWindow = SW_SHOWNORMAL;
        PROCESS_INFORMATION pi = {};
        if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
            return false;
        if (inputIdleWaitMs > 0)
            WaitForInputIdle(pi.hProcess, static_cast<DWORD>(inputIdleWaitMs));
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        return true;
    }
};

class RealProgramEnd final : public ProgramEndSeam {
public:
    void End(int exitCode) override { std::exit(exitCode); }
};

RealMessageBox g_realMessageBox;
RealFileDialog g_realFileDialog;
RealShellOpen g_realShellOpen;
RealSound g_realSound;
RealWait g_realWait;
RealProgramStart g_realProgramStart;
RealProgramEnd g_realProgramEnd;

std::atomic<MessageBoxSeam*> g_messageBox{&g_realMessageBox};
std::atomic<FileDialogSeam*> g_fileDialog{&g_realFileDialog};
std::atomic<ShellOpenSeam*> g_shellOpen{&g_realShellOpen};
std::atomic<SoundSeam*> g_sound{&g_realSound};
std::atomic<WaitSeam*> g_wait{&g_realWait};
std::atomic<ProgramStartSeam*> g_programStart{&g_realProgramStart};
std::atomic<ProgramEndSeam*> g_programEnd{&g_realProgramEnd};
std::atomic<WorkerFailureSeam*> g_workerFailure{nullptr};

template <class Seam>
Seam* Swap(std::atomic<Seam*>& slot, Seam* seam, Seam* real)
{
    Seam* previous = slot.exchange(seam ? seam : real);
    return previous == real ? nullptr : previous;
}

}  // namespace

int ShowMessageBox(std::string_view text, std::string_view title, unsigned style)
{
    Text t = title.empty() ? Text(kDefaultMessageTitle) : Text(title);
    return g_messageBox.load()->Show(Text(text), t, style);
}
MessageBoxSeam* SetMessageBoxSeam(MessageBoxSeam* seam) { return Swap(g_messageBox, seam, static_cast<MessageBoxSeam*>(&g_realMessageBox)); }

bool AskForSaveFile(const SaveFileRequest& request, Text& chosen)
{
    return g_fileDialog.load()->AskSaveFile(request, chosen);
}
FileDialogSeam* SetFileDialogSeam(FileDialogSeam* seam) { return Swap(g_fileDialog, seam, static_cast<FileDialogSeam*>(&g_realFileDialog)); }

bool OpenInShell(std::string_view address) { return g_shellOpen.load()->Open(Text(address)); }
ShellOpenSeam* SetShellOpenSeam(ShellOpenSeam* seam) { return Swap(g_shellOpen, seam, static_cast<ShellOpenSeam*>(&g_realShellOpen)); }

bool PlaySoundFile(std::string_view file) { return g_sound.load()->Play(Text(file)); }
void StopAllSounds() { g_sound.load()->StopAll(); }
SoundSeam* SetSoundSeam(SoundSeam* seam) { return Swap(g_sound, seam, static_cast<SoundSeam*>(&g_realSound)); }

void WaitMilliseconds(int milliseconds) { g_wait.load()->Wait(milliseconds); }
WaitSeam* SetWaitSeam(WaitSeam* seam) { return Swap(g_wait, seam, static_cast<WaitSeam*>(&g_realWait)); }

bool StartProgramFile(std::string_view path, int inputIdleWaitMs)
{
    return g_programStart.load()->Start("\"" + Text(path) + "\"", inputIdleWaitMs);
}
ProgramStartSeam* SetProgramStartSeam(ProgramStartSeam* seam)
{
    return Swap(g_programStart, seam, static_cast<ProgramStartSeam*>(&g_realProgramStart));
}

void EndProgram(int exitCode) { g_programEnd.load()->End(exitCode); }
ProgramEndSeam* SetProgramEndSeam(ProgramEndSeam* seam)
{
    return Swap(g_programEnd, seam, static_cast<ProgramEndSeam*>(&g_realProgramEnd));
}

void BeforeWorkerRequest(std::string_view address)
{
    if (WorkerFailureSeam* seam = g_workerFailure.load()) seam->BeforeRequest(Text(address));
}
WorkerFailureSeam* SetWorkerFailureSeam(WorkerFailureSeam* seam) { return g_workerFailure.exchange(seam); }
