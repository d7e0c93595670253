#include "runtime/window_thread.h"

#include "runtime/forms_internal.h"

#include <exception>
#include <vector>

namespace {

// --- Steps on a thread that is no window thread of the forms runtime -----------------------------------

// The step is handed over by a call-window-procedure hook on the window's thread, which sees one
// registered message sent to the window. (A thread of the forms runtime has an invoker window for
// this; any other thread of the process that owns a window is reached this way.)
struct HookJob {
    static constexpr WPARAM kMagic = 0x51564C56;  // "QVLV"
    const std::function<void()>* work;
    HHOOK hook = nullptr;
    bool unhooked = false;
    bool done = false;
    std::exception_ptr failure;
};

UINT HookJobMessage()
{
    static const UINT message = RegisterWindowMessageA("Quovanta.WindowThreadJob");
    return message;
}

LRESULT CALLBACK HookJobProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION) {
        const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (call->message == HookJobMessage() && call->message != 0 && call->wParam == HookJob::kMagic) {
            auto* job = reinterpret_cast<HookJob*>(call->lParam);
            if (!job->done) {
                job->done = true;
                // While the hook is in place every message of the thread passes through it, which
                // under Wine costs a server request each: it goes before the work starts.
                job->unhooked = UnhookWindowsHookEx(job->hook) != FALSE;
                try {
                    (*job->work)();
                } catch (...) {
                    job->failure = std::current_exception();
                }
            }
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

bool RunThroughHook(HWND window, DWORD owner, const std::function<void()>& fn)
{
    HHOOK hook = HookJobMessage() ? SetWindowsHookExA(WH_CALLWNDPROC, &HookJobProc, nullptr, owner) : nullptr;
    if (!hook)
        return false;
    HookJob job{&fn, hook};
    SendMessageA(window, HookJobMessage(), HookJob::kMagic, reinterpret_cast<LPARAM>(&job));
    if (!job.unhooked)
        UnhookWindowsHookEx(hook);
    if (job.failure)
        std::rethrow_exception(job.failure);
    return job.done;
}

}  // namespace

bool RunOnWindowThread(HWND window, const std::function<void()>& fn)
{
    DWORD process = 0;
    const DWORD owner = window ? GetWindowThreadProcessId(window, &process) : 0;
    if (!owner || process != GetCurrentProcessId())
        return false;
    bool ran = false;
    auto step = [&] {
        if (!IsWindow(window))
            return;
        ran = true;
        fn();
    };
    static const std::atomic<bool> always{true};
    if (forms_detail::HasInvoker(owner) || owner == GetCurrentThreadId())
        return forms_detail::InvokeOn(owner, always, step) && ran;
    return RunThroughHook(window, owner, step) && ran;
}

bool RunOnWindowThread(const Control& control, const std::function<void()>& fn)
{
    return forms_detail::WithControl(control.State(), [&](ControlState&) { fn(); });
}

bool WriteBatch(std::initializer_list<Control> lists, const std::function<void()>& fn)
{
    if (lists.size() == 0)
        return false;
    return forms_detail::WithControl(lists.begin()->State(), [&](ControlState&) {
        std::vector<HWND> held;
        held.reserve(lists.size());
        for (const Control& c : lists) {
            const auto& s = c.State();
            if (s && s->alive.load() && s->hwnd && s->thread == GetCurrentThreadId()) {
                AcquireRedrawHold(s->hwnd);
                held.push_back(s->hwnd);
            }
        }
        struct Release {
            std::vector<HWND>& held;
            ~Release()
            {
                for (auto it = held.rbegin(); it != held.rend(); ++it)
                    ReleaseRedrawHold(*it);
            }
        } release{held};
        fn();
    });
}
