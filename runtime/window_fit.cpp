// Window and tab-page sizes: the size a layout table gives a window is the size of the area its controls
// are laid out in, its client area. The frame and caption come on top, measured on the window itself
// (its real styles and whatever a skin does to its frame). The pages of a tab control hold the controls
// the table places on them: where the area left inside its headers and border is too small for them, the
// tab control grows, and the window's client area grows with it.
#include "runtime/forms_internal.h"

#include <algorithm>

namespace forms_detail {

namespace {

constexpr DWORD kFitFlags = SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER;

RECT PageArea(HWND tab)
{
    RECT rc;
    GetClientRect(tab, &rc);
    SendMessageW(tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&rc));
    return rc;
}

// The room the controls declared on the pages of `tab` need (as the table places them), the hidden ones
// left out.
SIZE PageContentSize(const FormState& f, const ControlState& tab)
{
    SIZE need{0, 0};
    for (const auto& c : f.controls) {
        const ControlSpec& s = c->spec;
        if (!c->hwnd || !s.visible || s.parent != tab.spec.name)
            continue;
        need.cx = std::max<LONG>(need.cx, s.bounds.left + s.bounds.width);
        need.cy = std::max<LONG>(need.cy, s.bounds.top + s.bounds.height);
    }
    return need;
}

void GrowTabToItsPages(const FormState& f, ControlState& tab)
{
    const SIZE need = PageContentSize(f, tab);
    const RECT area = PageArea(tab.hwnd);
    const int dx = std::max<int>(0, need.cx - (area.right - area.left));
    const int dy = std::max<int>(0, need.cy - (area.bottom - area.top));
    if (dx == 0 && dy == 0)
        return;
    RECT rc;
    GetWindowRect(tab.hwnd, &rc);
    SetWindowPos(tab.hwnd, nullptr, 0, 0, rc.right - rc.left + dx, rc.bottom - rc.top + dy, kFitFlags);
}

}  // namespace

void PlaceTabPages(const ControlState& tab)
{
    if (!tab.hwnd)
        return;
    const RECT rc = PageArea(tab.hwnd);
    for (HWND page : tab.pages)
        SetWindowPos(page, nullptr, rc.left, rc.top, std::max<LONG>(0, rc.right - rc.left),
                     std::max<LONG>(0, rc.bottom - rc.top), SWP_NOZORDER | SWP_NOACTIVATE);
}

RECT FrameForClientArea(int left, int top, int width, int height, DWORD style, DWORD exStyle)
{
    RECT rc{left, top, left + width, top + height};
    AdjustWindowRectEx(&rc, style, FALSE, exStyle);
    return {left, top, left + (rc.right - rc.left), top + (rc.bottom - rc.top)};
}

void FitTabsToPages(FormState& f)
{
    for (auto& c : f.controls)
        if (c->spec.kind == ControlKind::TabControl && c->hwnd)
            GrowTabToItsPages(f, *c);
}

void FitClientArea(FormState& f)
{
    HWND hwnd = f.hwnd;
    if (!hwnd || IsIconic(hwnd) || IsZoomed(hwnd))
        return;
    SIZE need{f.layout.bounds.width, f.layout.bounds.height};
    for (const auto& c : f.controls) {
        if (c->spec.kind != ControlKind::TabControl || !c->hwnd || GetParent(c->hwnd) != hwnd)
            continue;
        RECT rc;
        GetWindowRect(c->hwnd, &rc);
        MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&rc), 2);
        need.cx = std::max(need.cx, rc.right);
        need.cy = std::max(need.cy, rc.bottom);
    }
    // The frame is measured again after every change: its size may depend on the window's (a menu bar
    // that wraps does).
    for (int pass = 0; pass < 3; ++pass) {
        RECT frame, client;
        GetWindowRect(hwnd, &frame);
        GetClientRect(hwnd, &client);
        if (client.right == need.cx && client.bottom == need.cy)
            return;
        const int chromeX = (frame.right - frame.left) - client.right;
        const int chromeY = (frame.bottom - frame.top) - client.bottom;
        SetWindowPos(hwnd, nullptr, 0, 0, need.cx + chromeX, need.cy + chromeY, kFitFlags);
    }
}

}  // namespace forms_detail
