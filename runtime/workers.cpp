#include "runtime/workers.h"
#include "runtime/forms.h"
#include "runtime/forms_internal.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <new>

namespace {

DWORD WINAPI WorkerEntry(LPVOID param)
{
    std::unique_ptr<std::function<void()>> fn(static_cast<std::function<void()>*>(param));
    // A worker that runs out of memory (a reply of many megabytes cut into pieces) ends; the program
    // and its windows go on.
    try {
        (*fn)();
    } catch (const std::bad_alloc&) {
        return 1;
    }
    return 0;
}

HANDLE Launch(std::function<void()> fn)
{
    auto* heap = new std::function<void()>(std::move(fn));
    HANDLE h = CreateThread(nullptr, 0, WorkerEntry, heap, 0, nullptr);
    if (!h)
        delete heap;
    return h;
}

}  // namespace

bool StartWorker(std::function<void()> fn)
{
    HANDLE h = Launch(std::move(fn));
    if (!h)
        return false;
    CloseHandle(h);
    return true;
}

HANDLE StartWorkerKept(std::function<void()> fn) { return Launch(std::move(fn)); }

void RunOffWindowThread(const std::function<void()>& fn)
{
    if (!forms_detail::HasInvoker(GetCurrentThreadId())) {
        fn();
        return;
    }
    HANDLE worker = StartWorkerKept([&fn] { fn(); });
    if (!worker) {
        fn();
        return;
    }
    WaitHandlePumping(worker, INFINITE);
    CloseHandle(worker);
}

bool WaitHandlePumping(HANDLE handle, DWORD timeoutMs)
{
    if (!handle)
        return true;
    DWORD start = GetTickCount();
    for (;;) {
        DWORD left = INFINITE;
        if (timeoutMs != INFINITE) {
            DWORD spent = GetTickCount() - start;
            if (spent >= timeoutMs)
                return WaitForSingleObject(handle, 0) == WAIT_OBJECT_0;
            left = timeoutMs - spent;
        }
        DWORD r = MsgWaitForMultipleObjects(1, &handle, FALSE, left, QS_ALLINPUT | QS_SENDMESSAGE);
        if (r == WAIT_OBJECT_0)
            return true;
        if (r == WAIT_OBJECT_0 + 1)
            ProcessPendingMessages();
        else if (r == WAIT_FAILED)
            return false;
    }
}

struct RunState {
    std::mutex lock;
    std::condition_variable changed;
    bool paused = false;
    bool stopped = false;
    std::atomic<bool> running{false};
};

bool RunToken::Checkpoint() const
{
    std::unique_lock<std::mutex> guard(state_->lock);
    state_->changed.wait(guard, [&] { return !state_->paused || state_->stopped; });
    return !state_->stopped;
}

bool RunToken::StopRequested() const
{
    std::lock_guard<std::mutex> guard(state_->lock);
    return state_->stopped;
}

RunControl::RunControl() = default;

RunControl::~RunControl()
{
    Stop();
    if (thread_)
        CloseHandle(thread_);
}

bool RunControl::Start(std::function<void(const RunToken&)> body)
{
    if (IsRunning())
        return false;
    if (thread_) {
        CloseHandle(thread_);
        thread_ = nullptr;
    }
    auto state = std::make_shared<RunState>();
    state->running.store(true);
    HANDLE h = Launch([state, body = std::move(body)] {
        // A run that ends early (out of memory) has ended too: a new one can start.
        const RunEnd ended([&state](bool) { state->running.store(false); });
        body(RunToken(state));
    });
    if (!h)
        return false;
    state_ = state;
    thread_ = h;
    return true;
}

void RunControl::Pause()
{
    if (!state_)
        return;
    std::lock_guard<std::mutex> guard(state_->lock);
    state_->paused = true;
}

void RunControl::Resume()
{
    if (!state_)
        return;
    {
        std::lock_guard<std::mutex> guard(state_->lock);
        state_->paused = false;
    }
    state_->changed.notify_all();
}

void RunControl::Stop()
{
    if (!state_)
        return;
    {
        std::lock_guard<std::mutex> guard(state_->lock);
        state_->stopped = true;
    }
    state_->changed.notify_all();
}

bool RunControl::IsRunning() const { return state_ && state_->running.load(); }

bool RunControl::IsPaused() const
{
    if (!state_)
        return false;
    std::lock_guard<std::mutex> guard(state_->lock);
    return state_->paused && !state_->stopped;
}

bool RunControl::Join(DWORD timeoutMs) { return WaitHandlePumping(thread_, timeoutMs); }
