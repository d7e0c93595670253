#pragma once
// The seams between the programs and the parts of the platform that a test cannot drive: message boxes,
// the save-file dialog, the shell's "open" of an address, sound playback, waits, starting another
// program and ending this one; and the point where a test makes a worker run out of memory.
//
// Each seam is a small interface with one process-wide current implementation. By default it is the
// real platform call; a test installs its own (a recorder that answers) with the Set function, which
// returns the previous one, and puts the previous one back when done. Passing nullptr restores the
// real call. The seams are called from window threads and workers alike; an implementation must be
// safe to call from any thread.
#include "runtime/text.h"

#include <string_view>

#include <windows.h>

// --- Message boxes -----------------------------------------------------------------------------------

class MessageBoxSeam {
public:
    virtual ~MessageBoxSeam() = default;
    // `title` is never empty here. Returns the button chosen (IDOK, IDYES, IDNO, ...).
    virtual int Show(const Text& text, const Text& title, unsigned style) = 0;
};

// The title a box shows when the caller gives none.
inline constexpr const char kDefaultMessageTitle[] = "信息：";

// Shows a message box: no owner window, task-modal, `style` the platform's MB_ flags (0 OK, 16 stop
// icon, 48 exclamation, 64 information, 0x44 Yes/No with the information icon). An empty title
// shows "信息：". Returns the button chosen.
int ShowMessageBox(std::string_view text, std::string_view title = {}, unsigned style = 0);
MessageBoxSeam* SetMessageBoxSeam(MessageBoxSeam* seam);

// --- Save-file dialog ----------------------------------------------------------------------------------

struct SaveFileRequest {
    Text title;
    Text filter;            // "description|pattern|description|pattern", or a bare pattern ("*.xls")
    Text defaultExtension;  // added when the user types a name without one
    Text fileName;          // proposed file name
    HWND owner = nullptr;   // the window the dialog belongs to
};

class FileDialogSeam {
public:
    virtual ~FileDialogSeam() = default;
    // True with the chosen path in `chosen`; false when the user cancels.
    virtual bool AskSaveFile(const SaveFileRequest& request, Text& chosen) = 0;
};

bool AskForSaveFile(const SaveFileRequest& request, Text& chosen);
FileDialogSeam* SetFileDialogSeam(FileDialogSeam* seam);

// --- The shell's "open" --------------------------------------------------------------------------------

class ShellOpenSeam {
public:
    virtual ~ShellOpenSeam() = default;
    virtual bool Open(const Text& address) = 0;
};

// Hands the address to the shell's default action (the system browser for a web address). False when
// the shell refuses it.
bool OpenInShell(std::string_view address);
ShellOpenSeam* SetShellOpenSeam(ShellOpenSeam* seam);

// --- Sound ---------------------------------------------------------------------------------------------

class SoundSeam {
public:
    virtual ~SoundSeam() = default;
    // Starts playing the file once and returns at once; false when it cannot be played.
    virtual bool Play(const Text& file) = 0;
    // Stops every sound this program plays.
    virtual void StopAll() = 0;
};

// Plays an MP3 (or other MCI-playable) file once, through MCI; without an audio device nothing is heard
// and the call fails silently.
bool PlaySoundFile(std::string_view file);
void StopAllSounds();
SoundSeam* SetSoundSeam(SoundSeam* seam);

// --- Waits ---------------------------------------------------------------------------------------------

class WaitSeam {
public:
    virtual ~WaitSeam() = default;
    virtual void Wait(int milliseconds) = 0;
};

// Waits `milliseconds` while handling the calling thread's window messages (the windows of a window
// thread stay responsive).
void WaitMilliseconds(int milliseconds);
WaitSeam* SetWaitSeam(WaitSeam* seam);

// --- Starting a program --------------------------------------------------------------------------------

class ProgramStartSeam {
public:
    virtual ~ProgramStartSeam() = default;
    // Starts a new process with `commandLine` (the program's path in double quotes, nothing after it)
    // in the normal window state, waits at most `inputIdleWaitMs` for it to become ready for input and
    // closes the handles of the process and its thread. False when the process cannot be started.
    virtual bool Start(const Text& commandLine, int inputIdleWaitMs) = 0;
};

// Starts the program file at `path` without arguments: the command line is the path in double quotes,
// so that a folder with blanks names the right file. Does not wait for the program to end.
bool StartProgramFile(std::string_view path, int inputIdleWaitMs = 1000);
ProgramStartSeam* SetProgramStartSeam(ProgramStartSeam* seam);

// --- Ending the program --------------------------------------------------------------------------------

class ProgramEndSeam {
public:
    virtual ~ProgramEndSeam() = default;
    // Ends the process with `exitCode`; the exit routines (std::atexit) run. A test's implementation
    // records the request and returns: the caller must do nothing more after the call.
    virtual void End(int exitCode) = 0;
};

void EndProgram(int exitCode);
ProgramEndSeam* SetProgramEndSeam(ProgramEndSeam* seam);

// --- A worker running out of memory --------------------------------------------------------------------

class WorkerFailureSeam {
public:
    virtual ~WorkerFailureSeam() = default;
    // Called before every request for a page or file (helpers/http_client.h) with its address, on the
    // thread that makes it. A test's implementation throws std::bad_alloc there to make that worker run
    // out of memory as a reply of many megabytes would.
    virtual void BeforeRequest(const Text& address) = 0;
};

// Hands the address to the seam; nothing happens without one (the programs never set it).
void BeforeWorkerRequest(std::string_view address);
WorkerFailureSeam* SetWorkerFailureSeam(WorkerFailureSeam* seam);
