#pragma once
// Workers: functions started on threads of their own, and the run control of long runs that the user
// can pause, resume and stop.
//
// A worker reads and writes controls through Control (runtime/forms.h), which carries every call to the
// window thread, so it needs no locks of its own for the controls. The window thread must not block
// waiting for a worker without handling messages (use WaitHandlePumping), or the worker's next control
// call waits for it forever.
//
// A worker that runs out of memory (std::bad_alloc) ends alone: the program and its windows go on. The
// marks a run keeps (a count, a flag, a held button) are therefore restored by a RunEnd guard, which
// runs on every way out of the run, not only at its normal end.
#include <exception>
#include <functional>
#include <memory>

#include <windows.h>

// Starts `fn` on a new thread; the thread handle is closed at once. False when no thread could start.
bool StartWorker(std::function<void()> fn);

// Starts `fn` on a new thread and hands over its handle (the caller closes it); nullptr on failure.
HANDLE StartWorkerKept(std::function<void()> fn);

// Waits for `handle` up to `timeoutMs` (INFINITE for no limit) while handling the calling thread's
// window messages. True when the handle was signalled.
bool WaitHandlePumping(HANDLE handle, DWORD timeoutMs);

// Runs `fn` away from the window thread: called on a window thread of the forms runtime, it runs `fn` on
// a worker and handles the thread's window messages until it has finished, so that the windows keep
// painting meanwhile; called on any other thread, it runs `fn` at once.
void RunOffWindowThread(const std::function<void()>& fn);

// Runs `end` when the scope it guards is left, however it is left: a return, or an exception (such as
// the std::bad_alloc that ends a worker) passing through. `end` is told whether an exception is passing
// through, and hands what it changes in windows to their window thread (RunOnWindowThread); an
// exception that `end` itself raises is dropped.
class RunEnd {
public:
    explicit RunEnd(std::function<void(bool failed)> end)
        : end_(std::move(end)), exceptions_(std::uncaught_exceptions())
    {
    }
    ~RunEnd()
    {
        try {
            end_(std::uncaught_exceptions() > exceptions_);
        } catch (...) {
        }
    }
    RunEnd(const RunEnd&) = delete;
    RunEnd& operator=(const RunEnd&) = delete;

private:
    std::function<void(bool)> end_;
    int exceptions_;
};

struct RunState;

// What the worker of a run sees: it calls Checkpoint at its safe points (between requests and rows).
class RunToken {
public:
    explicit RunToken(std::shared_ptr<RunState> state) : state_(std::move(state)) {}
    // Waits while the run is paused; false once a stop has been requested (the worker then returns).
    bool Checkpoint() const;
    bool StopRequested() const;

private:
    std::shared_ptr<RunState> state_;
};

// One run on a worker thread that the window can pause, resume and stop at the worker's safe points,
// never in the middle of a request. Only one run at a time; after it has ended, Start begins a new one.
class RunControl {
public:
    RunControl();
    ~RunControl();  // requests a stop; does not wait (the run ends at its next safe point)
    RunControl(const RunControl&) = delete;
    RunControl& operator=(const RunControl&) = delete;

    // Starts `body` on a new thread. False when a run is still going or no thread could start.
    bool Start(std::function<void(const RunToken&)> body);
    void Pause();    // the run stops at its next checkpoint
    void Resume();
    void Stop();     // also releases a paused run, whose checkpoint then reports the stop
    bool IsRunning() const;
    bool IsPaused() const;
    // Waits for the run to end while handling the calling thread's messages; true when it has ended.
    bool Join(DWORD timeoutMs = INFINITE);

private:
    std::shared_ptr<RunState> state_;
    HANDLE thread_ = nullptr;
};
