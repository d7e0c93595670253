// The window procedures: of the top-level window, of a tab page, and the one put in front of every
// control window's own. Each is a switch that names the handler of every message it takes; the
// children's notifications go to HandleContainerMessage (forms_events.cpp) first.
#include "runtime/forms_internal.h"

using namespace forms_detail;

namespace {

// WM_NCCREATE of a window of this runtime: the state passed to CreateWindowEx goes into GWLP_USERDATA.
LRESULT TakeCreateParam(HWND hwnd, WPARAM wp, LPARAM lp)
{
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    return DefWindowProcW(hwnd, WM_NCCREATE, wp, lp);
}

FormState* FormOf(HWND hwnd)
{
    return reinterpret_cast<FormState*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
}

// --- The top-level window ----------------------------------------------------------------------------

void OnFormTimer(FormState& f, WPARAM timer)
{
    auto it = f.timers.find(timer);
    if (it != f.timers.end() && f.alive.load())
        Fire(f, it->second, Event::Tick, {});
}

// A status bar lies along the bottom of its parent: it places itself again when told the parent's size.
void OnFormSize(FormState& f, HWND hwnd)
{
    for (auto& c : f.controls)
        if (c->spec.kind == ControlKind::StatusBar && c->hwnd && GetParent(c->hwnd) == hwnd)
            SendMessageA(c->hwnd, WM_SIZE, 0, 0);
}

// WM_WINDOWPOSCHANGED: a new frame (a skin's, say) keeps the client area the layout's size.
LRESULT OnFormWindowPosChanged(FormState& f, HWND hwnd, WPARAM wp, LPARAM lp)
{
    const LRESULT result = DefWindowProcW(hwnd, WM_WINDOWPOSCHANGED, wp, lp);
    if ((reinterpret_cast<const WINDOWPOS*>(lp)->flags & SWP_FRAMECHANGED) && f.alive.load())
        FitClientArea(f);
    return result;
}

// DM_GETDEFID: the default button that Enter presses, when it is enabled and shown.
LRESULT DefaultButtonId(FormState& f)
{
    for (auto& c : f.controls)
        if (c->hwnd && c->spec.isDefault && IsWindowEnabled(c->hwnd) && IsWindowVisible(c->hwnd))
            return MAKELRESULT(c->id, DC_HASDEFID);
    return 0;
}

// WM_DESTROY, before the child windows go: the window raises Destroyed (its controls can still be
// read), then every control is dead, so calls queued by workers find nothing to do.
void OnFormDestroy(FormState& f)
{
    if (!f.alive.load())
        return;
    Fire(f, nullptr, Event::Destroyed, {});
    f.alive.store(false);
    for (auto& c : f.controls) {
        c->alive.store(false);
        if (c->timerId)
            KillTimer(f.hwnd, c->timerId);
        if (c->menu) {
            DestroyMenu(c->menu);
            c->menu = nullptr;
        }
        if (c->browser) {
            DestroyBrowser(c->browser);
            c->browser = nullptr;
        }
    }
    QuitLoopAfterLastWindow();
}

void OnFormNcDestroy(FormState& f, HWND hwnd)
{
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    f.hwnd = nullptr;
    std::shared_ptr<FormState> last = UnregisterOpenForm(&f);  // the state may end with it, after the lock
}

LRESULT CALLBACK FormProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_NCCREATE)
        return TakeCreateParam(hwnd, wp, lp);
    FormState* f = FormOf(hwnd);
    if (!f)
        return DefWindowProcW(hwnd, msg, wp, lp);
    LRESULT result = 0;
    if (HandleContainerMessage(*f, hwnd, msg, wp, lp, result))
        return result;
    switch (msg) {
    case WM_TIMER:
        OnFormTimer(*f, wp);
        return 0;
    case WM_SIZE:
        OnFormSize(*f, hwnd);
        break;
    case WM_WINDOWPOSCHANGED:
        return OnFormWindowPosChanged(*f, hwnd, wp, lp);
    case DM_GETDEFID:
        return DefaultButtonId(*f);
    case WM_DESTROY:
        OnFormDestroy(*f);
        return 0;
    case WM_NCDESTROY:
        OnFormNcDestroy(*f, hwnd);
        break;
    default:
        break;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

// --- A tab page ----------------------------------------------------------------------------------------

LRESULT CALLBACK PageProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_NCCREATE)
        return TakeCreateParam(hwnd, wp, lp);
    FormState* f = FormOf(hwnd);
    LRESULT result = 0;
    if (f && HandleContainerMessage(*f, hwnd, msg, wp, lp, result))
        return result;
    return DefWindowProcW(hwnd, msg, wp, lp);
}

// --- Control windows -------------------------------------------------------------------------------------

// WM_LBUTTONDOWN, WM_RBUTTONUP: the event with the point and keys; false when a handler destroyed the
// control window.
bool OnMouseButton(FormState& f, ControlState& c, HWND hwnd, Event event, WPARAM wp, LPARAM lp)
{
    EventArgs a;
    a.x = static_cast<short>(LOWORD(lp));
    a.y = static_cast<short>(HIWORD(lp));
    a.keys = static_cast<int>(wp);
    Fire(f, &c, event, a);
    return IsWindow(hwnd) != FALSE;
}

// WM_ERASEBKGND: true when the control erases its own background (or paints all of it).
bool OnEraseBackground(ControlState& c, HWND hwnd, HDC dc)
{
    if (c.spec.kind == ControlKind::PictureBox)
        return true;
    if (c.spec.kind == ControlKind::GroupBox) {
        // A group box paints only its frame and caption; the area inside it (it clips its own
        // controls) gets the face colour here, or it would show whatever was there before.
        RECT rc;
        GetClientRect(hwnd, &rc);
        FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNFACE));
        return true;
    }
    return c.spec.kind == ControlKind::Label && c.picture;
}

// A picture box, or a label with a background picture and its caption over it.
void PaintWithPicture(ControlState& c, HWND hwnd, bool caption)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT rc;
    GetClientRect(hwnd, &rc);
    FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNFACE));
    PaintPicture(dc, rc, c.picture, c.pictureSize, c.spec.stretch);
    Text text = caption ? WindowText(hwnd) : Text();
    if (!text.empty()) {
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(hwnd, WM_GETFONT, 0, 0)));
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
        DrawLabelText(dc, text, rc);
        SelectObject(dc, old);
    }
    EndPaint(hwnd, &ps);
}

// WM_PAINT: true when the control painted itself.
bool OnPaint(ControlState& c, HWND hwnd)
{
    if (c.spec.kind == ControlKind::PictureBox) {
        PaintWithPicture(c, hwnd, false);
        return true;
    }
    if (c.spec.kind == ControlKind::Label && c.picture) {
        PaintWithPicture(c, hwnd, true);
        return true;
    }
    if (c.spec.kind == ControlKind::Label || c.spec.kind == ControlKind::TransparentLabel) {
        PaintLabel(c, hwnd, nullptr);
        return true;
    }
    return false;
}

// WM_PRINTCLIENT: true when the control painted itself into `dc`.
bool OnPrintClient(ControlState& c, HWND hwnd, HDC dc)
{
    if ((c.spec.kind == ControlKind::Label && !c.picture) || c.spec.kind == ControlKind::TransparentLabel) {
        PaintLabel(c, hwnd, dc);
        return true;
    }
    return false;
}

// WM_NCDESTROY: the control is dead and lets go of everything it held of its window.
void OnControlNcDestroy(ControlState& c, HWND hwnd)
{
    c.alive.store(false);
    if (c.hwnd) {
        auto atom = static_cast<ATOM>(reinterpret_cast<UINT_PTR>(RemovePropA(c.hwnd, kNameProperty)));
        if (atom)
            GlobalDeleteAtom(atom);
        if (c.browser) {
            DestroyBrowser(c.browser);
            c.browser = nullptr;
        }
        c.hwnd = nullptr;
    }
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    ForgetRedrawHolds(hwnd);
    if (c.picture) {
        DeleteObject(c.picture);
        c.picture = nullptr;
    }
}

}  // namespace

namespace forms_detail {

// The window procedure put in front of every control window's own. (The common controls' subclassing
// looks its chain up in a window property at every message, and under Wine each such lookup is a round
// trip to the server: a hundred times what a list view needs for a cell. The control's state is in its
// GWLP_USERDATA instead, which the system's controls leave to their users.)
LRESULT CALLBACK ControlProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    auto* c = reinterpret_cast<ControlState*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!c)
        return DefWindowProcW(hwnd, msg, wp, lp);
    const WNDPROC previous = c->previousProc;
    FormState* f = c->formRaw;
    bool live = f && c->alive.load() && f->alive.load();
    if (live) {
        LRESULT result = 0;
        if (HandleContainerMessage(*f, hwnd, msg, wp, lp, result))
            return result;
    }
    switch (msg) {
    case WM_LBUTTONDOWN:
        if (live && !OnMouseButton(*f, *c, hwnd, Event::LeftButtonDown, wp, lp))
            return 0;
        break;
    case WM_RBUTTONUP:
        // A list view reports its right click as a notification (forms_events.cpp).
        if (live && c->spec.kind != ControlKind::ListView && !OnMouseButton(*f, *c, hwnd, Event::RightButton, wp, lp))
            return 0;
        break;
    case WM_ERASEBKGND:
        if (OnEraseBackground(*c, hwnd, reinterpret_cast<HDC>(wp)))
            return 1;
        break;
    case WM_PAINT:
        if (OnPaint(*c, hwnd))
            return 0;
        break;
    case WM_PRINTCLIENT:
        if (OnPrintClient(*c, hwnd, reinterpret_cast<HDC>(wp)))
            return 0;
        break;
    case WM_SIZE:
        if (c->spec.kind == ControlKind::Browser && c->browser)
            BrowserResize(c->browser, LOWORD(lp), HIWORD(lp));
        if (c->spec.kind == ControlKind::TabControl) {
            // The tab control lays out its page area first; the page windows follow it.
            const LRESULT r = CallWindowProcW(previous, hwnd, msg, wp, lp);
            PlaceTabPages(*c);
            return r;
        }
        break;
    case WM_NCDESTROY:
        OnControlNcDestroy(*c, hwnd);
        break;
    default:
        break;
    }
    return CallWindowProcW(previous, hwnd, msg, wp, lp);
}

void RegisterWindowClasses()
{
    static std::once_flag once;
    std::call_once(once, [] {
        INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES | ICC_DATE_CLASSES | ICC_TAB_CLASSES |
                                                     ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES |
                                                     ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
        InitCommonControlsEx(&icc);
        WNDCLASSW wc = {};
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);

        wc.lpfnWndProc = FormProc;
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
        wc.lpszClassName = kFormClass;
        RegisterClassW(&wc);

        wc.hIcon = nullptr;
        wc.lpfnWndProc = PageProc;
        wc.lpszClassName = kPageClass;
        RegisterClassW(&wc);

        wc.lpfnWndProc = DefWindowProcW;
        wc.lpszClassName = kPictureClass;
        RegisterClassW(&wc);

        wc.lpszClassName = kBrowserHostClass;
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        RegisterClassW(&wc);
    });
}

}  // namespace forms_detail
