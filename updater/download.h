#pragma once
// The download of the new main program with progress, started by 开始更新.
//
// The installed program is never touched until the new one is complete: the updater first makes sure
// it could replace the program's file (asking to end the running program only when the file is held
// by another process; any other failure to open it ends the step with 写文件出错!), then downloads
// into a temporary file in the program directory and, only when the whole body has arrived (status
// 200, as many bytes as announced, at least one) and it is a 32-bit Windows program (the MZ header,
// the PE signature where e_lfanew points, the i386 machine), puts it in place of the program in one
// step; a body that is not such a program says 读文件出错!. Every failure, and 退出更新 in the middle,
// leaves the installed program as it was and removes the temporary file. The window turns to its
// page "更新完成" only once the new program is in place.
//
// Every network call of the download runs on a worker of its own, with connect, send and receive
// time-outs on each of its handles; the window thread writes the file and shows the progress as the
// chunks come, and handles its messages while it waits for them, so a stalled server never freezes
// the window and 退出更新 always works.
#include "runtime/forms.h"
#include "runtime/text.h"

#include <cstdint>

#include <windows.h>

namespace updater {

// The progress callback: (total, done, elapsed milliseconds, 0). total is 0 when the reply does not
// say its length.
using DownloadProgressCallback = void(WINAPI*)(std::uint32_t total, std::uint32_t done, std::uint32_t elapsed,
                                               std::uint32_t zero);

// The most the new main program may be; a longer download fails.
inline constexpr std::uint32_t kProgramSizeLimit = 256u * 1024u * 1024u;
// The size of every read.
inline constexpr std::uint32_t kReadSize = 16384;

// Downloads `url` in place of the file at `path`, calling `callback` after every chunk. 0 when the new
// file is in place, -1 otherwise (after its message, or after the question about the running program
// and what followed it).
int DownloadFileWithProgress(const Text& url, const Text& path, DownloadProgressCallback callback);

// Forwards to ShowDownloadProgress.
void WINAPI DownloadProgressProc(std::uint32_t total, std::uint32_t done, std::uint32_t elapsed, std::uint32_t zero);

// Writes the bar and the label 已下载 and handles the window's pending messages.
void ShowDownloadProgress(std::uint32_t total, std::uint32_t done, std::uint32_t elapsed);

// The text of 已下载 for these values.
Text DownloadProgressText(std::uint32_t total, std::uint32_t done, std::uint32_t elapsed);

// Whole kilobytes, halves rounded away from zero (1,536 bytes are 2).
std::int64_t RoundedKilobytes(std::uint32_t bytes);

// Click on 开始更新: the connectivity test, then the download of downurl in place of the main program.
void OnStartUpdateClicked(const EventArgs& args);
void StartUpdate();

// True while a download runs.
bool DownloadRunning();
// Stops a running download where it is: closes and removes the temporary file; the download then
// ends without a word and the installed program stays as it was.
void AbandonDownload();

// Ends one running copy of the program at `targetPath`: the owner of a top-level window titled
// `exename` if its image is that file, else a process whose executable is named `exename` and whose
// image is that file (names and paths compared without regard to letter case). Never this process.
// The process is terminated with exit code 0 and waited for a few seconds. True when one was ended.
bool EndRunningProgram(const Text& exename, const Text& targetPath);

}  // namespace updater
