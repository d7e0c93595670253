#include "runtime/window_thread.h"

#include "runtime/forms_internal.h"

#include <exception>
#include <unordered_map>
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

// --- Repainting held back -------------------------------------------------------------------------------

struct Hold {
    int count = 0;
    bool visible = false;  // the control's own WS_VISIBLE once the hold ends
};

// The holds of this window thread's controls.
thread_local std::unordered_map<HWND, Hold> t_holds;

bool OwnVisible(HWND h) { return (GetWindowLongW(h, GWL_STYLE) & WS_VISIBLE) != 0; }

}  // namespace

namespace forms_detail {

void AcquireRedrawHold(HWND h)
{
    if (!h)
        return;
    Hold& hold = t_holds[h];
    if (hold.count++ > 0)
        return;
    hold.visible = OwnVisible(h);
    SendMessageW(h, WM_SETREDRAW, FALSE, 0);
}

void ReleaseRedrawHold(HWND h)
{
    auto it = t_holds.find(h);
    if (it == t_holds.end() || --it->second.count > 0)
        return;
    const bool visible = it->second.visible;
    t_holds.erase(it);
    if (!IsWindow(h))
        return;
    SendMessageW(h, WM_SETREDRAW, TRUE, 0);
    if (!visible) {
        // Turning the redraw on marked the window visible without showing it: it stays hidden.
        LONG style = GetWindowLongW(h, GWL_STYLE);
        if (style & WS_VISIBLE)
            SetWindowLongW(h, GWL_STYLE, style & ~WS_VISIBLE);
    } else {
        InvalidateRect(h, nullptr, TRUE);
    }
}

void SetHeldVisibility(HWND h, bool visible)
{
    auto it = t_holds.find(h);
    if (it != t_holds.end())
        it->second.visible = visible;
}

void ForgetRedrawHolds(HWND h) { t_holds.erase(h); }

void HoldWhileHidden(ControlState& c, bool hidden)
{
    const bool list = c.spec.kind == ControlKind::ListView || c.spec.kind == ControlKind::ListBox;
    if (!c.hwnd || !list || c.hiddenHold == hidden)
        return;
    c.hiddenHold = hidden;
    if (hidden) {
        AcquireRedrawHold(c.hwnd);
        SetHeldVisibility(c.hwnd, false);
    } else {
        SetHeldVisibility(c.hwnd, true);
        ReleaseRedrawHold(c.hwnd);
    }
}

}  // namespace forms_detail

bool RedrawHeld(HWND window, bool* visible)
{
    auto it = t_holds.find(window);
    if (it == t_holds.end())
        return false;
    if (visible)
        *visible = it->second.visible;
    return true;
}

RedrawHold::RedrawHold(HWND window) : window_(window) { forms_detail::AcquireRedrawHold(window_); }

RedrawHold::~RedrawHold() { forms_detail::ReleaseRedrawHold(window_); }

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
                forms_detail::AcquireRedrawHold(s->hwnd);
                held.push_back(s->hwnd);
            }
        }
        struct Release {
            std::vector<HWND>& held;
            ~Release()
            {
                for (auto it = held.rbegin(); it != held.rend(); ++it)
                    forms_detail::ReleaseRedrawHold(*it);
            }
        } release{held};
        fn();
    });
}
