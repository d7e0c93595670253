#pragma once
// Recorders for the seams of runtime/seams.h. Each one installs itself when constructed and puts the
// previous implementation back when destroyed; it records every call (safe from any thread) and answers
// as the test tells it. Every recorded call carries a sequence number from one counter shared by all
// recorders, so a test can check the order of calls across seams (the sound starts before the box).
#include "runtime/seams.h"

#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace seams_test {

int NextSequence();

struct MessageBoxCall {
    Text text;
    Text title;
    unsigned style = 0;
    int sequence = 0;
};

// Answers each box with the next queued answer; with none queued, with the box's first button
// (IDOK for OK and OK/Cancel, IDYES for Yes/No, IDABORT, IDRETRY).
class MessageBoxRecorder final : public MessageBoxSeam {
public:
    MessageBoxRecorder();
    ~MessageBoxRecorder() override;
    void Answer(int button);
    std::vector<MessageBoxCall> Calls() const;
    int Show(const Text& text, const Text& title, unsigned style) override;

private:
    mutable std::mutex lock_;
    std::deque<int> answers_;
    std::vector<MessageBoxCall> calls_;
    MessageBoxSeam* previous_;
};

struct FileDialogCall {
    SaveFileRequest request;
    int sequence = 0;
};

// Answers with the path given to Choose (the same for every call), or cancels after Cancel.
class FileDialogRecorder final : public FileDialogSeam {
public:
    FileDialogRecorder();
    ~FileDialogRecorder() override;
    void Choose(const Text& path);
    void Cancel();
    std::vector<FileDialogCall> Calls() const;
    bool AskSaveFile(const SaveFileRequest& request, Text& chosen) override;

private:
    mutable std::mutex lock_;
    bool cancel_ = true;
    Text path_;
    std::vector<FileDialogCall> calls_;
    FileDialogSeam* previous_;
};

struct ShellCall {
    Text address;
    int sequence = 0;
};

class ShellOpenRecorder final : public ShellOpenSeam {
public:
    ShellOpenRecorder();
    ~ShellOpenRecorder() override;
    std::vector<ShellCall> Calls() const;
    bool Open(const Text& address) override;

private:
    mutable std::mutex lock_;
    std::vector<ShellCall> calls_;
    ShellOpenSeam* previous_;
};

struct SoundCall {
    bool play = false;  // false: StopAll
    Text file;
    int sequence = 0;
};

class SoundRecorder final : public SoundSeam {
public:
    SoundRecorder();
    ~SoundRecorder() override;
    std::vector<SoundCall> Calls() const;
    bool Play(const Text& file) override;
    void StopAll() override;

private:
    mutable std::mutex lock_;
    std::vector<SoundCall> calls_;
    SoundSeam* previous_;
};

struct WaitCall {
    int milliseconds = 0;
    int sequence = 0;
};

// Records each wait and returns at once (after handling the calling thread's pending messages, as the
// real wait does).
class WaitRecorder final : public WaitSeam {
public:
    WaitRecorder();
    ~WaitRecorder() override;
    std::vector<WaitCall> Calls() const;
    void Wait(int milliseconds) override;

private:
    mutable std::mutex lock_;
    std::vector<WaitCall> calls_;
    WaitSeam* previous_;
};

struct ProgramStartCall {
    Text commandLine;
    int inputIdleWaitMs = 0;
    int sequence = 0;
};

// Records each start and answers with the result given to Succeed (true unless told otherwise);
// nothing is started.
class ProgramStartRecorder final : public ProgramStartSeam {
public:
    ProgramStartRecorder();
    ~ProgramStartRecorder() override;
    void Succeed(bool on);
    std::vector<ProgramStartCall> Calls() const;
    bool Start(const Text& commandLine, int inputIdleWaitMs) override;

private:
    mutable std::mutex lock_;
    bool succeed_ = true;
    std::vector<ProgramStartCall> calls_;
    ProgramStartSeam* previous_;
};

struct ProgramEndCall {
    int exitCode = 0;
    int sequence = 0;
};

// Records each request to end the program and returns; the process goes on.
class ProgramEndRecorder final : public ProgramEndSeam {
public:
    ProgramEndRecorder();
    ~ProgramEndRecorder() override;
    std::vector<ProgramEndCall> Calls() const;
    void End(int exitCode) override;

private:
    mutable std::mutex lock_;
    std::vector<ProgramEndCall> calls_;
    ProgramEndSeam* previous_;
};

// Makes the requests whose address contains `part` fail as if their worker had run out of memory (it
// throws std::bad_alloc before the request is made): the first `times` of them, or every one while
// `times` is negative. Counts the failures it made.
class RequestFailure final : public WorkerFailureSeam {
public:
    explicit RequestFailure(std::string part, int times = -1);
    ~RequestFailure() override;
    int Failures() const;
    void BeforeRequest(const Text& address) override;

private:
    mutable std::mutex lock_;
    std::string part_;
    int left_;
    int failures_ = 0;
    WorkerFailureSeam* previous_;
};

}  // namespace seams_test
