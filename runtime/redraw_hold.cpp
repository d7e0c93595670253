// The count of holds of each control window's repainting, per window thread (see redraw_hold.h).
#include "runtime/redraw_hold.h"

#include <unordered_map>

namespace {

struct Hold {
    int count = 0;
    bool visible = false;  // the control's own WS_VISIBLE once the hold ends
};

// The holds of this window thread's controls.
thread_local std::unordered_map<HWND, Hold> t_holds;

bool OwnVisible(HWND h) { return (GetWindowLongW(h, GWL_STYLE) & WS_VISIBLE) != 0; }

}  // namespace

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

bool RedrawHeld(HWND window, bool* visible)
{
    auto it = t_holds.find(window);
    if (it == t_holds.end())
        return false;
    if (visible)
        *visible = it->second.visible;
    return true;
}

RedrawHold::RedrawHold(HWND window) : window_(window) { AcquireRedrawHold(window_); }

RedrawHold::~RedrawHold() { ReleaseRedrawHold(window_); }

