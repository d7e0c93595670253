#include "support/seam_recorders.h"
#include "runtime/forms.h"

#include <atomic>
#include <new>

namespace seams_test {

int NextSequence()
{
    static std::atomic<int> counter{0};
    return ++counter;
}

MessageBoxRecorder::MessageBoxRecorder() : previous_(SetMessageBoxSeam(this)) {}
MessageBoxRecorder::~MessageBoxRecorder() { SetMessageBoxSeam(previous_); }

void MessageBoxRecorder::Answer(int button)
{
    std::lock_guard<std::mutex> guard(lock_);
    answers_.push_back(button);
}

std::vector<MessageBoxCall> MessageBoxRecorder::Calls() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return calls_;
}

int MessageBoxRecorder::Show(const Text& text, const Text& title, unsigned style)
{
    std::lock_guard<std::mutex> guard(lock_);
    calls_.push_back({text, title, style, NextSequence()});
    if (!answers_.empty()) {
        int a = answers_.front();
        answers_.pop_front();
        return a;
    }
    switch (style & MB_TYPEMASK) {
    case MB_YESNO:
    case MB_YESNOCANCEL: return IDYES;
    case MB_ABORTRETRYIGNORE: return IDABORT;
    case MB_RETRYCANCEL: return IDRETRY;
    default: return IDOK;
    }
}

FileDialogRecorder::FileDialogRecorder() : previous_(SetFileDialogSeam(this)) {}
FileDialogRecorder::~FileDialogRecorder() { SetFileDialogSeam(previous_); }

void FileDialogRecorder::Choose(const Text& path)
{
    std::lock_guard<std::mutex> guard(lock_);
    cancel_ = false;
    path_ = path;
}

void FileDialogRecorder::Cancel()
{
    std::lock_guard<std::mutex> guard(lock_);
    cancel_ = true;
}

std::vector<FileDialogCall> FileDialogRecorder::Calls() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return calls_;
}

bool FileDialogRecorder::AskSaveFile(const SaveFileRequest& request, Text& chosen)
{
    std::lock_guard<std::mutex> guard(lock_);
    calls_.push_back({request, NextSequence()});
    if (cancel_)
        return false;
    chosen = path_;
    return true;
}

ShellOpenRecorder::ShellOpenRecorder() : previous_(SetShellOpenSeam(this)) {}
ShellOpenRecorder::~ShellOpenRecorder() { SetShellOpenSeam(previous_); }

std::vector<ShellCall> ShellOpenRecorder::Calls() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return calls_;
}

bool ShellOpenRecorder::Open(const Text& address)
{
    std::lock_guard<std::mutex> guard(lock_);
    calls_.push_back({address, NextSequence()});
    return true;
}

SoundRecorder::SoundRecorder() : previous_(SetSoundSeam(this)) {}
SoundRecorder::~SoundRecorder() { SetSoundSeam(previous_); }

std::vector<SoundCall> SoundRecorder::Calls() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return calls_;
}

bool SoundRecorder::Play(const Text& file)
{
    std::lock_guard<std::mutex> guard(lock_);
    calls_.push_back({true, file, NextSequence()});
    return true;
}

void SoundRecorder::StopAll()
{
    std::lock_guard<std::mutex> guard(lock_);
    calls_.push_back({false, Text(), NextSequence()});
}

WaitRecorder::WaitRecorder() : previous_(SetWaitSeam(this)) {}
WaitRecorder::~WaitRecorder() { SetWaitSeam(previous_); }

std::vector<WaitCall> WaitRecorder::Calls() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return calls_;
}

void WaitRecorder::Wait(int milliseconds)
{
    {
        std::lock_guard<std::mutex> guard(lock_);
        calls_.push_back({milliseconds, NextSequence()});
    }
    ProcessPendingMessages();
}

ProgramStartRecorder::ProgramStartRecorder() : previous_(SetProgramStartSeam(this)) {}
ProgramStartRecorder::~ProgramStartRecorder() { SetProgramStartSeam(previous_); }

void ProgramStartRecorder::Succeed(bool on)
{
    std::lock_guard<std::mutex> guard(lock_);
    succeed_ = on;
}

std::vector<ProgramStartCall> ProgramStartRecorder::Calls() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return calls_;
}

bool ProgramStartRecorder::Start(const Text& commandLine, int inputIdleWaitMs)
{
    std::lock_guard<std::mutex> guard(lock_);
    calls_.push_back({commandLine, inputIdleWaitMs, NextSequence()});
    return succeed_;
}

ProgramEndRecorder::ProgramEndRecorder() : previous_(SetProgramEndSeam(this)) {}
ProgramEndRecorder::~ProgramEndRecorder() { SetProgramEndSeam(previous_); }

std::vector<ProgramEndCall> ProgramEndRecorder::Calls() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return calls_;
}

void ProgramEndRecorder::End(int exitCode)
{
    std::lock_guard<std::mutex> guard(lock_);
    calls_.push_back({exitCode, NextSequence()});
}

RequestFailure::RequestFailure(std::string part, int times)
    : part_(std::move(part)), left_(times), previous_(SetWorkerFailureSeam(this))
{
}
RequestFailure::~RequestFailure() { SetWorkerFailureSeam(previous_); }

int RequestFailure::Failures() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return failures_;
}

void RequestFailure::BeforeRequest(const Text& address)
{
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (address.find(part_) == Text::npos || left_ == 0) return;
        if (left_ > 0) --left_;
        ++failures_;
    }
    throw std::bad_alloc();
}

}  // namespace seams_test
