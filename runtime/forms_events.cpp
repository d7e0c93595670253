// Events: the handler bound to a (control, event) and the notifications of child controls that raise
// them. A container's window procedure (window, tab page, group box, list view) hands its children's
// messages to HandleContainerMessage, which names one handler per message.
#include "runtime/forms_internal.h"

using namespace forms_detail;

namespace {

ControlState* Lookup(FormState& form, HWND hwnd)
{
    auto it = form.byHwnd.find(hwnd);
    return it == form.byHwnd.end() ? nullptr : it->second;
}

POINT CursorIn(HWND hwnd)
{
    POINT p;
    GetCursorPos(&p);
    ScreenToClient(hwnd, &p);
    return p;
}

int MouseKeys()
{
    int keys = 0;
    if (GetKeyState(VK_LBUTTON) < 0) keys |= MK_LBUTTON;
    if (GetKeyState(VK_RBUTTON) < 0) keys |= MK_RBUTTON;
    if (GetKeyState(VK_MBUTTON) < 0) keys |= MK_MBUTTON;
    if (GetKeyState(VK_SHIFT) < 0) keys |= MK_SHIFT;
    if (GetKeyState(VK_CONTROL) < 0) keys |= MK_CONTROL;
    return keys;
}

// WM_COMMAND without a child window: a menu item, or the default button pressed through the keyboard.
bool OnMenuOrDefaultButton(FormState& form, UINT id, int code, LRESULT& result)
{
    auto menu = form.menuCommands.find(id);
    if (menu != form.menuCommands.end()) {
        EventArgs a;
        a.index = menu->second.second;
        const ControlState* m = menu->second.first;
        // Menu items are named by their captions; raise Click under that name.
        FireNamed(form, m->spec.items[static_cast<std::size_t>(a.index)], Event::Click, a);
        result = 0;
        return true;
    }
    for (auto& s : form.controls)
        if (s->id == static_cast<int>(id) && s->hwnd && code == BN_CLICKED &&
            (s->spec.kind == ControlKind::Button || s->spec.kind == ControlKind::SuperButton)) {
            if (IsWindowEnabled(s->hwnd))
                Fire(form, s.get(), Event::Click, {});
            result = 0;
            return true;
        }
    return false;
}

// WM_COMMAND from a control window: the notification `code` as the event of its kind.
void OnControlCommand(FormState& form, ControlState& c, HWND child, int code)
{
    switch (c.spec.kind) {
    case ControlKind::Button:
    case ControlKind::SuperButton:
    case ControlKind::CheckBox:
        // A disabled button is never clicked, also not by mouse messages sent to it directly.
        if (code == BN_CLICKED && IsWindowEnabled(child)) Fire(form, &c, Event::Click, {});
        break;
    case ControlKind::Label:
    case ControlKind::TransparentLabel:
        if (code == STN_CLICKED) Fire(form, &c, Event::Click, {});
        if (code == STN_DBLCLK) Fire(form, &c, Event::DoubleClick, {});
        break;
    case ControlKind::ComboBox:
        if (code == CBN_SELCHANGE) {
            EventArgs a;
            a.index = static_cast<int>(SendMessageA(child, CB_GETCURSEL, 0, 0));
            Fire(form, &c, Event::SelectionChanged, a);
        }
        break;
    case ControlKind::ListBox:
        if (code == LBN_SELCHANGE) {
            EventArgs a;
            a.index = static_cast<int>(SendMessageA(child, LB_GETCURSEL, 0, 0));
            Fire(form, &c, Event::SelectionChanged, a);
        } else if (code == LBN_DBLCLK) {
            Fire(form, &c, Event::DoubleClick, {});
        }
        break;
    case ControlKind::EditBox:
        if (code == EN_SETFOCUS) Fire(form, &c, Event::FocusGained, {});
        if (code == EN_CHANGE) Fire(form, &c, Event::TextChanged, {});
        break;
    default:
        break;
    }
}

bool OnCommand(FormState& form, WPARAM wp, LPARAM lp, LRESULT& result)
{
    HWND child = reinterpret_cast<HWND>(lp);
    int code = HIWORD(wp);
    if (!child)
        return OnMenuOrDefaultButton(form, LOWORD(wp), code, result);
    ControlState* c = Lookup(form, child);
    if (!c)
        return false;
    OnControlCommand(form, *c, child, code);
    result = 0;
    return true;
}

// The header of a list view: a column declared with width 0 stays hidden (it can be neither dragged
// wider nor widened by a double click on its divider).
bool OnListHeaderNotify(FormState& form, HWND container, const NMHDR& hdr, LPARAM lp, LRESULT& result)
{
    ControlState* list = Lookup(form, container);
    if (!list || list->spec.kind != ControlKind::ListView ||
        hdr.hwndFrom != reinterpret_cast<HWND>(SendMessageA(container, LVM_GETHEADER, 0, 0)))
        return false;
    if (hdr.code != HDN_BEGINTRACKA && hdr.code != HDN_BEGINTRACKW && hdr.code != HDN_DIVIDERDBLCLICKA &&
        hdr.code != HDN_DIVIDERDBLCLICKW)
        return false;
    int item = reinterpret_cast<NMHEADERA*>(lp)->iItem;
    if (item < 0 || item >= static_cast<int>(list->spec.columns.size()) ||
        list->spec.columns[static_cast<std::size_t>(item)].width != 0)
        return false;
    result = TRUE;
    return true;
}

void OnListViewNotify(FormState& form, ControlState& c, const NMHDR& hdr, LPARAM lp)
{
    if (hdr.code == LVN_COLUMNCLICK) {
        EventArgs a;
        a.column = reinterpret_cast<NMLISTVIEW*>(lp)->iSubItem;
        Fire(form, &c, Event::ColumnClick, a);
    } else if (hdr.code == NM_RCLICK) {
        EventArgs a;
        POINT p = CursorIn(c.hwnd);
        a.x = p.x;
        a.y = p.y;
        a.keys = MouseKeys();
        Fire(form, &c, Event::RightButton, a);
    } else if (hdr.code == NM_CLICK) {
        Fire(form, &c, Event::Click, {});
    } else if (hdr.code == NM_DBLCLK) {
        Fire(form, &c, Event::DoubleClick, {});
    }
}

void OnTabNotify(FormState& form, ControlState& c, const NMHDR& hdr)
{
    if (hdr.code != TCN_SELCHANGE)
        return;
    int page = static_cast<int>(SendMessageA(c.hwnd, TCM_GETCURSEL, 0, 0));
    ShowPage(c, page);
    EventArgs a;
    a.index = page;
    Fire(form, &c, Event::SelectionChanged, a);
}

bool OnNotify(FormState& form, HWND container, LPARAM lp, LRESULT& result)
{
    auto* hdr = reinterpret_cast<NMHDR*>(lp);
    if (!hdr)
        return false;
    ControlState* c = Lookup(form, hdr->hwndFrom);
    if (!c)
        return OnListHeaderNotify(form, container, *hdr, lp, result);
    switch (c->spec.kind) {
    case ControlKind::ListView:
        OnListViewNotify(form, *c, *hdr, lp);
        break;
    case ControlKind::TabControl:
        OnTabNotify(form, *c, *hdr);
        break;
    case ControlKind::DatePicker:
        if (hdr->code == DTN_DATETIMECHANGE)
            Fire(form, c, Event::DateChanged, {});
        break;
    default:
        break;
    }
    result = 0;
    return true;
}

// WM_HSCROLL, WM_VSCROLL: a slider reports a position that differs from the one it last reported.
bool OnScroll(FormState& form, LPARAM lp, LRESULT& result)
{
    ControlState* c = lp ? Lookup(form, reinterpret_cast<HWND>(lp)) : nullptr;
    if (!c || c->spec.kind != ControlKind::Slider)
        return false;
    int pos = static_cast<int>(SendMessageA(c->hwnd, TBM_GETPOS, 0, 0));
    if (pos != c->lastPosition) {
        c->lastPosition = pos;
        EventArgs a;
        a.index = pos;
        Fire(form, c, Event::PositionChanged, a);
    }
    result = 0;
    return true;
}

// WM_CTLCOLORSTATIC, WM_CTLCOLORBTN: a transparent label draws its text only.
bool OnControlColour(FormState& form, WPARAM wp, LPARAM lp, LRESULT& result)
{
    ControlState* c = lp ? Lookup(form, reinterpret_cast<HWND>(lp)) : nullptr;
    if (!c || c->spec.kind != ControlKind::TransparentLabel)
        return false;
    SetBkMode(reinterpret_cast<HDC>(wp), TRANSPARENT);
    SetTextColor(reinterpret_cast<HDC>(wp), GetSysColor(COLOR_BTNTEXT));
    result = reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
    return true;
}

}  // namespace

namespace forms_detail {

void FireNamed(FormState& form, const Text& name, Event event, EventArgs args)
{
    EventHandler handler;
    {
        std::lock_guard<std::mutex> lock(form.handlersLock);
        auto it = form.handlers.find({name, event});
        if (it == form.handlers.end() || !it->second)
            return;
        handler = it->second;
    }
    Form handle(form.shared_from_this());
    args.form = &handle;
    args.control = name;
    args.event = event;
    handler(args);
}

void Fire(FormState& form, ControlState* c, Event event, EventArgs args)
{
    if (!form.alive.load() || (c && !c->alive.load()))
        return;
    FireNamed(form, c ? c->spec.name : Text(), event, std::move(args));
}

bool HandleContainerMessage(FormState& form, HWND container, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result)
{
    if (!form.alive.load())
        return false;
    switch (msg) {
    case WM_COMMAND:
        return OnCommand(form, wp, lp, result);
    case WM_NOTIFY:
        return OnNotify(form, container, lp, result);
    case WM_HSCROLL:
    case WM_VSCROLL:
        return OnScroll(form, lp, result);
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        return OnControlColour(form, wp, lp, result);
    default:
        return false;
    }
}

}  // namespace forms_detail
