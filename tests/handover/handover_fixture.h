#pragma once
// Tools of the hand-over tests: temporary folders, the built programs beside the test executable,
// whole files, and top-level windows of other processes.
#include "runtime/files.h"
#include "runtime/text.h"

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

namespace handover_test {

// The folder of the running test executable (build/tests).
inline Text TestFolder()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    const Text self = path;
    return self.substr(0, self.find_last_of('\\'));
}

inline Text BuiltQuovanta() { return TestFolder() + "\\..\\client\\Quovanta.exe"; }
inline Text BuiltUpdater() { return TestFolder() + "\\..\\updater\\Brelmor自动更新.exe"; }
// A small program that shows a window titled with its own file name until it is ended (built for the
// updater's tests, next to the test executables).
inline Text Sleeper() { return TestFolder() + "\\updater_test_sleeper.exe"; }

inline std::string FileBytes(const Text& path)
{
    ByteSet bytes;
    ReadWholeFile(path, bytes);
    return std::string(bytes.begin(), bytes.end());
}

// The names of the files in a folder, sorted.
inline std::vector<Text> FilesIn(const Text& dir)
{
    std::vector<Text> names;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((dir + "\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        const Text name = data.cFileName;
        if (name != "." && name != "..")
            names.push_back(name);
    } while (FindNextFileA(find, &data));
    FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}

// A new empty folder under the temporary folder, removed with its files when the object goes.
class TempFolder {
public:
    explicit TempFolder(const Text& prefix)
    {
        char temp[MAX_PATH] = {};
        GetTempPathA(sizeof(temp), temp);
        Text root = temp;
        if (!root.empty() && root.back() == '\\')
            root.pop_back();
        for (int n = 1;; ++n) {
            path_ = root + "\\" + prefix + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(n);
            if (CreateDirectoryA(path_.c_str(), nullptr))
                break;
        }
    }
    ~TempFolder()
    {
        for (const Text& name : FilesIn(path_)) {
            const Text file = path_ + "\\" + name;
            SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(file.c_str());
        }
        RemoveDirectoryA(path_.c_str());
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const Text& Path() const { return path_; }

private:
    Text path_;
};

// The image path of a process, empty when it cannot be read.
inline Text ProcessImage(DWORD processId)
{
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (!process)
        return Text();
    char path[MAX_PATH] = {};
    DWORD size = sizeof(path);
    const BOOL ok = QueryFullProcessImageNameA(process, 0, path, &size);
    CloseHandle(process);
    return ok ? Text(path, size) : Text();
}

// A visible top-level window with this class (nullptr: any) and title whose process passes `accept`.
template <class Accept>
HWND FindTopLevel(const char* windowClass, const Text& title, Accept accept)
{
    for (HWND w = FindWindowExA(nullptr, nullptr, windowClass, title.c_str()); w;
         w = FindWindowExA(nullptr, w, windowClass, title.c_str())) {
        DWORD process = 0;
        GetWindowThreadProcessId(w, &process);
        if (IsWindowVisible(w) && accept(process))
            return w;
    }
    return nullptr;
}

inline DWORD ProcessOf(HWND window)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    return process;
}

// Waits (without windows of its own to serve) until `found` gives something, at most timeoutMs.
template <class Find>
auto WaitFor(Find found, int timeoutMs = 30000) -> decltype(found())
{
    for (int waited = 0;; waited += 50) {
        if (auto result = found())
            return result;
        if (waited >= timeoutMs)
            return decltype(found())();
        Sleep(50);
    }
}

}  // namespace handover_test
