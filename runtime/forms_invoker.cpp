// The invoker windows: calls that other threads make on a window thread, and the writes they queue for
// it (see the threading notes in forms_internal.h). The repainting of a list view that a worker writes
// is held back here too, because the invoker's timer resumes it.
#include "runtime/forms_internal.h"

#include <deque>

using namespace forms_detail;

namespace {

const wchar_t kInvokerClass[] = L"QuovantaInvoker";

UINT g_invokeMessage = 0;   // wParam 0, lParam InvokeCall*: run one call now (after the queue)
UINT g_drainMessage = 0;    // run the queued writes
constexpr UINT_PTR kResumeTimer = 1;  // invoker timer: resume the repainting held back for workers
constexpr UINT kResumeAfterMs = 100;

// The writes that workers queued for one window thread, in the order they were made.
struct ThreadQueue {
    HWND invoker = nullptr;
    std::mutex lock;
    std::deque<std::function<void()>> items;
    bool notified = false;  // a drain message is on its way
};
std::mutex g_queuesLock;
std::map<DWORD, std::shared_ptr<ThreadQueue>> g_queues;  // window thread -> its queue and invoker

// Past this many queued writes a worker waits for the window thread to catch up.
constexpr std::size_t kMaxQueued = 20000;

struct InvokeCall {
    const std::atomic<bool>* alive;
    const std::function<void()>* fn;
};

std::shared_ptr<ThreadQueue> QueueOf(DWORD thread)
{
    std::lock_guard<std::mutex> lock(g_queuesLock);
    auto it = g_queues.find(thread);
    return it == g_queues.end() ? nullptr : it->second;
}

thread_local std::shared_ptr<ThreadQueue> t_queue;  // the queue of this thread, when it is a window thread
thread_local int t_forWorker = 0;  // > 0 while the window thread runs a call that a worker made
thread_local std::vector<std::shared_ptr<ControlState>> t_held;  // list views whose repainting is held
thread_local bool t_resumePosted = false;

// Runs the queued writes, oldest first, until the queue is empty (window thread only).
void Drain(ThreadQueue& q)
{
    for (;;) {
        std::function<void()> item;
        {
            std::lock_guard<std::mutex> guard(q.lock);
            if (q.items.empty()) {
                q.notified = false;
                return;
            }
            item = std::move(q.items.front());
            q.items.pop_front();
        }
        ++t_forWorker;
        item();
        --t_forWorker;
    }
}

void DrainMine()
{
    if (t_queue)
        Drain(*t_queue);
}

LRESULT OnInvoke(LPARAM lp)
{
    DrainMine();
    auto* call = reinterpret_cast<InvokeCall*>(lp);
    if (!call || !call->alive->load())
        return 0;
    ++t_forWorker;
    (*call->fn)();
    --t_forWorker;
    return 1;
}

void OnResumeTimer(HWND invoker)
{
    KillTimer(invoker, kResumeTimer);
    t_resumePosted = false;
    std::vector<std::shared_ptr<ControlState>> held;
    held.swap(t_held);
    for (auto& c : held)
        ResumeRedraw(*c);
}

LRESULT CALLBACK InvokerProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (g_invokeMessage != 0 && msg == g_invokeMessage)
        return OnInvoke(lp);
    if (g_drainMessage != 0 && msg == g_drainMessage) {
        DrainMine();
        return 0;
    }
    if (msg == WM_TIMER && wp == kResumeTimer) {
        OnResumeTimer(hwnd);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

void RegisterInvokerClass()
{
    static std::once_flag once;
    std::call_once(once, [] {
        g_invokeMessage = RegisterWindowMessageA("QuovantaInvoke");
        g_drainMessage = RegisterWindowMessageA("QuovantaDrain");
        WNDCLASSW wc = {};
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.lpfnWndProc = InvokerProc;
        wc.lpszClassName = kInvokerClass;
        RegisterClassW(&wc);
    });
}

}  // namespace

namespace forms_detail {

void EnsureInvoker()
{
    RegisterInvokerClass();
    if (t_queue && IsWindow(t_queue->invoker))
        return;
    auto q = std::make_shared<ThreadQueue>();
    q->invoker = CreateWindowExW(0, kInvokerClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    t_queue = q;
    std::lock_guard<std::mutex> lock(g_queuesLock);
    g_queues[GetCurrentThreadId()] = q;
}

bool InvokeOn(DWORD thread, const std::atomic<bool>& stillAlive, const std::function<void()>& fn)
{
    if (!stillAlive.load())
        return false;
    if (thread == GetCurrentThreadId()) {
        DrainMine();  // what workers queued before comes first
        if (!stillAlive.load())
            return false;
        fn();
        return true;
    }
    std::shared_ptr<ThreadQueue> q = QueueOf(thread);
    if (!q)
        return false;
    InvokeCall call{&stillAlive, &fn};
    return SendMessageA(q->invoker, g_invokeMessage, 0, reinterpret_cast<LPARAM>(&call)) == 1;
}

bool WithControl(const std::shared_ptr<ControlState>& c, const std::function<void(ControlState&)>& fn)
{
    if (!c || !c->alive.load())
        return false;
    ControlState* raw = c.get();
    return InvokeOn(c->thread, c->alive, [&] { fn(*raw); });
}

bool HasInvoker(DWORD thread) { return QueueOf(thread) != nullptr; }

void QueueForControl(const std::shared_ptr<ControlState>& c, std::function<void(ControlState&)> fn)
{
    if (!c || !c->alive.load())
        return;
    if (c->thread == GetCurrentThreadId()) {
        DrainMine();
        if (c->alive.load())
            fn(*c);
        return;
    }
    std::shared_ptr<ThreadQueue> q = QueueOf(c->thread);
    if (!q)
        return;
    std::size_t queued = 0;
    {
        std::lock_guard<std::mutex> guard(q->lock);
        q->items.push_back([c, fn = std::move(fn)] {
            if (c->alive.load())
                fn(*c);
        });
        queued = q->items.size();
        // A sent (not posted) wake-up: it keeps its place among the messages sent to the window thread
        // afterwards, so a raw SendMessage after these writes finds them done. It is sent under the
        // lock (SendNotifyMessage does not wait), so that a thread that finds it already on its way
        // can rely on it arriving before anything that thread sends next.
        if (!q->notified) {
            q->notified = true;
            SendNotifyMessageA(q->invoker, g_drainMessage, 0, 0);
        }
    }
    if (queued > kMaxQueued)
        SendMessageA(q->invoker, g_drainMessage, 0, 0);
}

void HoldRedrawForWorker(ControlState& c)
{
    if (t_forWorker == 0 || c.spec.kind != ControlKind::ListView || !c.hwnd || !c.alive.load())
        return;
    DWORD now = GetTickCount();
    if (c.redrawHeld && now - c.heldSince < 2 * kResumeAfterMs)
        return;
    if (c.redrawHeld) {
        ResumeRedraw(c);  // long enough: show what is there, then hold again
    } else if (RedrawHeld(c.hwnd)) {
        return;  // a batch holds it already
    }
    AcquireRedrawHold(c.hwnd);
    c.redrawHeld = true;
    c.heldSince = now;
    if (c.formRaw)
        for (auto& mine : c.formRaw->controls)
            if (mine.get() == &c) {
                t_held.push_back(mine);
                break;
            }
    if (!t_resumePosted && t_queue) {
        t_resumePosted = true;
        SetTimer(t_queue->invoker, kResumeTimer, kResumeAfterMs, nullptr);
    }
}

void ResumeRedraw(ControlState& c)
{
    if (!c.redrawHeld)
        return;
    c.redrawHeld = false;
    if (c.hwnd)
        ReleaseRedrawHold(c.hwnd);
}

}  // namespace forms_detail
