// Properties of controls (a list view's rows, cells and columns are in controls_list_view.cpp). Each
// operation runs on the control's window thread (WithControl) and does nothing for a dead control, so
// the defaults below are what a closed window's controls read as.
#include "runtime/forms_internal.h"
#include "runtime/seams.h"

#include <algorithm>

#include <oleauto.h>

using namespace forms_detail;

namespace {

using K = ControlKind;

// Texts are read in their wide form (the controls are Unicode windows) and converted here.
Text ComboItem(HWND h, int index)
{
    LRESULT n = SendMessageW(h, CB_GETLBTEXTLEN, index, 0);
    if (n == CB_ERR || n <= 0)
        return Text();
    std::wstring w(static_cast<std::size_t>(n) + 1, L'\0');
    LRESULT got = SendMessageW(h, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(w.data()));
    return Narrow(w.data(), got > 0 ? static_cast<std::size_t>(got) : 0);
}

Text ListBoxItem(HWND h, int index)
{
    LRESULT n = SendMessageW(h, LB_GETTEXTLEN, index, 0);
    if (n == LB_ERR || n <= 0)
        return Text();
    std::wstring w(static_cast<std::size_t>(n) + 1, L'\0');
    LRESULT got = SendMessageW(h, LB_GETTEXT, index, reinterpret_cast<LPARAM>(w.data()));
    return Narrow(w.data(), got > 0 ? static_cast<std::size_t>(got) : 0);
}

Text TabItem(HWND h, int index)
{
    char buf[512] = {};
    TCITEMA item = {};
    item.mask = TCIF_TEXT;
    item.pszText = buf;
    item.cchTextMax = sizeof(buf);
    if (!SendMessageA(h, TCM_GETITEMA, index, reinterpret_cast<LPARAM>(&item)))
        return Text();
    return Text(item.pszText ? item.pszText : "");
}

// A transparent label draws no background: what stood under its old text is drawn again by the parent.
void RedrawUnder(HWND h)
{
    HWND parent = GetParent(h);
    RECT rc;
    GetWindowRect(h, &rc);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rc), 2);
    RedrawWindow(parent, &rc, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

bool IsListLike(K k) { return k == K::ComboBox || k == K::ListBox; }

Text StatusPart(HWND h, int part)
{
    int parts = static_cast<int>(SendMessageA(h, SB_GETPARTS, 0, 0));
    if (part < 0 || part >= parts)
        return Text();
    int n = LOWORD(SendMessageW(h, SB_GETTEXTLENGTHW, part, 0));
    if (n <= 0)
        return Text();
    std::wstring w(static_cast<std::size_t>(n) + 1, L'\0');
    SendMessageW(h, SB_GETTEXTW, part, reinterpret_cast<LPARAM>(w.data()));
    return Narrow(w.data(), wcsnlen(w.data(), static_cast<std::size_t>(n)));
}

}  // namespace

void forms_detail::ShowPage(ControlState& tab, int index)
{
    for (std::size_t i = 0; i < tab.pages.size(); ++i)
        ShowWindow(tab.pages[i], static_cast<int>(i) == index ? SW_SHOWNA : SW_HIDE);
}

void forms_detail::HoldWhileHidden(ControlState& c, bool hidden)
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

bool Control::IsAlive() const { return state_ && state_->alive.load(); }
Text Control::Name() const { return state_ ? state_->spec.name : Text(); }
ControlKind Control::Kind() const { return state_ ? state_->spec.kind : ControlKind::Label; }

HWND Control::Handle() const
{
    HWND h = nullptr;
    WithControl(state_, [&](ControlState& c) { h = c.hwnd; });
    return h;
}

HMENU Control::MenuHandle() const
{
    HMENU m = nullptr;
    WithControl(state_, [&](ControlState& c) { m = c.menu; });
    return m;
}

Text Control::GetText() const
{
    Text t;
    WithControl(state_, [&](ControlState& c) {
        switch (c.spec.kind) {
        case K::ComboBox:
            t = ComboItem(c.hwnd, static_cast<int>(SendMessageA(c.hwnd, CB_GETCURSEL, 0, 0)));
            break;
        case K::ListBox:
            t = ListBoxItem(c.hwnd, static_cast<int>(SendMessageA(c.hwnd, LB_GETCURSEL, 0, 0)));
            break;
        case K::StatusBar:
            t = StatusPart(c.hwnd, 0);
            break;
        case K::Browser:
            t = c.address;
            break;
        case K::FileDialog:
            t = c.spec.caption;
            break;
        case K::TabControl:
            t = TabItem(c.hwnd, static_cast<int>(SendMessageA(c.hwnd, TCM_GETCURSEL, 0, 0)));
            break;
        case K::ListView:
            t = CellText(c, FirstSelected(c.hwnd), 0);
            break;
        case K::Timer:
        case K::PopupMenu:
        case K::Database:
            t = c.spec.caption;
            break;
        default:
            if (c.hwnd)
                t = WindowText(c.hwnd);
            break;
        }
    });
    return t;
}

void Control::SetText(std::string_view text) const
{
    Text copy(text);
    QueueForControl(state_, [=](ControlState& c) {
        switch (c.spec.kind) {
        case K::ComboBox:
            SendMessageA(c.hwnd, CB_SETCURSEL,
                         SendMessageA(c.hwnd, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                      reinterpret_cast<LPARAM>(copy.c_str())),
                         0);
            break;
        case K::ListBox:
            SendMessageA(c.hwnd, LB_SETCURSEL,
                         SendMessageA(c.hwnd, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                      reinterpret_cast<LPARAM>(copy.c_str())),
                         0);
            break;
        case K::StatusBar:
            SendMessageA(c.hwnd, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(copy.c_str()));
            break;
        case K::Browser:
            c.address = copy;
            if (c.browser)
                BrowserNavigate(c.browser, copy);
            break;
        case K::TabControl:
        case K::ListView:
            break;
        case K::FileDialog:
        case K::Timer:
        case K::PopupMenu:
        case K::Database:
            c.spec.caption = copy;
            break;
        case K::TransparentLabel:
            SetWindowTextGbk(c.hwnd, copy);
            if (GetWindowLongA(c.hwnd, GWL_STYLE) & WS_VISIBLE)
                RedrawUnder(c.hwnd);
            break;
        default:
            if (c.hwnd) {
                SetWindowTextGbk(c.hwnd, copy);
                if (c.picture)
                    InvalidateRect(c.hwnd, nullptr, TRUE);
            }
            break;
        }
    });
}

bool Control::Visible() const
{
    bool v = false;
    WithControl(state_, [&](ControlState& c) {
        // (a control whose repainting is held back has WS_VISIBLE cleared meanwhile)
        if (c.hwnd && !RedrawHeld(c.hwnd, &v))
            v = (GetWindowLongA(c.hwnd, GWL_STYLE) & WS_VISIBLE) != 0;
    });
    return v;
}

void Control::SetVisible(bool on) const
{
    QueueForControl(state_, [=](ControlState& c) {
        if (!c.hwnd)
            return;
        if (on) {
            HoldWhileHidden(c, false);
            SetHeldVisibility(c.hwnd, true);
            ShowWindow(c.hwnd, SW_SHOWNA);
        } else {
            SetHeldVisibility(c.hwnd, false);
            ShowWindow(c.hwnd, SW_HIDE);
            HoldWhileHidden(c, true);
        }
    });
}

bool Control::Enabled() const
{
    bool v = false;
    WithControl(state_, [&](ControlState& c) { v = c.hwnd ? IsWindowEnabled(c.hwnd) != FALSE : true; });
    return v;
}

void Control::SetEnabled(bool on) const
{
    QueueForControl(state_, [=](ControlState& c) {
        if (c.hwnd)
            EnableWindow(c.hwnd, on);
    });
}

Bounds Control::GetBounds() const
{
    Bounds b;
    WithControl(state_, [&](ControlState& c) {
        if (!c.hwnd)
            return;
        RECT rc;
        GetWindowRect(c.hwnd, &rc);
        MapWindowPoints(nullptr, GetParent(c.hwnd), reinterpret_cast<POINT*>(&rc), 2);
        b = {rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top};
    });
    return b;
}

void Control::Move(int left, int top) const
{
    QueueForControl(state_, [=](ControlState& c) {
        if (c.hwnd)
            SetWindowPos(c.hwnd, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    });
}

void Control::SetBounds(Bounds b) const
{
    QueueForControl(state_, [=](ControlState& c) {
        if (!c.hwnd)
            return;
        int extra = c.spec.kind == K::ComboBox ? 200 : 0;
        SetWindowPos(c.hwnd, nullptr, b.left, b.top, b.width, b.height + extra, SWP_NOZORDER | SWP_NOACTIVATE);
    });
}

int Control::ItemCount() const
{
    int n = 0;
    WithControl(state_, [&](ControlState& c) {
        switch (c.spec.kind) {
        case K::ComboBox: n = static_cast<int>(SendMessageA(c.hwnd, CB_GETCOUNT, 0, 0)); break;
        case K::ListBox: n = static_cast<int>(SendMessageA(c.hwnd, LB_GETCOUNT, 0, 0)); break;
        case K::TabControl: n = static_cast<int>(SendMessageA(c.hwnd, TCM_GETITEMCOUNT, 0, 0)); break;
        case K::PopupMenu: n = static_cast<int>(c.spec.items.size()); break;
        case K::ListView: n = ListRows(c.hwnd); break;
        default: break;
        }
        n = std::max(n, 0);
    });
    return n;
}

Text Control::Item(int index) const
{
    Text t;
    WithControl(state_, [&](ControlState& c) {
        if (index < 0)
            return;
        switch (c.spec.kind) {
        case K::ComboBox: t = ComboItem(c.hwnd, index); break;
        case K::ListBox: t = ListBoxItem(c.hwnd, index); break;
        case K::TabControl: t = TabItem(c.hwnd, index); break;
        case K::PopupMenu:
            if (index < static_cast<int>(c.spec.items.size()))
                t = c.spec.items[static_cast<std::size_t>(index)];
            break;
        case K::ListView: t = CellText(c, index, 0); break;
        default: break;
        }
    });
    return t;
}

TextArray Control::Items() const
{
    TextArray out;
    WithControl(state_, [&](ControlState& c) {
        int n = 0;
        switch (c.spec.kind) {
        case K::ComboBox: n = static_cast<int>(SendMessageA(c.hwnd, CB_GETCOUNT, 0, 0)); break;
        case K::ListBox: n = static_cast<int>(SendMessageA(c.hwnd, LB_GETCOUNT, 0, 0)); break;
        case K::TabControl: n = static_cast<int>(SendMessageA(c.hwnd, TCM_GETITEMCOUNT, 0, 0)); break;
        case K::PopupMenu: out = c.spec.items; return;
        case K::ListView: n = ListRows(c.hwnd); break;
        default: return;
        }
        for (int i = 0; i < n; ++i) {
            switch (c.spec.kind) {
            case K::ComboBox: out.push_back(ComboItem(c.hwnd, i)); break;
            case K::ListBox: out.push_back(ListBoxItem(c.hwnd, i)); break;
            case K::TabControl: out.push_back(TabItem(c.hwnd, i)); break;
            default: out.push_back(CellText(c, i, 0)); break;
            }
        }
    });
    return out;
}

int Control::AddItem(std::string_view text) const
{
    int index = -1;
    Text copy(text);
    WithControl(state_, [&](ControlState& c) {
        LRESULT r = -1;
        switch (c.spec.kind) {
        case K::ComboBox: r = SendMessageA(c.hwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(copy.c_str())); break;
        case K::ListBox: r = SendMessageA(c.hwnd, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(copy.c_str())); break;
        case K::ListView: r = InsertListRow(c.hwnd, -1, copy); break;
        default: break;
        }
        index = r < 0 ? -1 : static_cast<int>(r);
    });
    return index;
}

void Control::InsertItem(int index, std::string_view text) const
{
    Text copy(text);
    QueueForControl(state_, [=](ControlState& c) {
        switch (c.spec.kind) {
        case K::ComboBox:
            SendMessageA(c.hwnd, CB_INSERTSTRING, index, reinterpret_cast<LPARAM>(copy.c_str()));
            break;
        case K::ListBox:
            SendMessageA(c.hwnd, LB_INSERTSTRING, index, reinterpret_cast<LPARAM>(copy.c_str()));
            break;
        case K::ListView: InsertListRow(c.hwnd, index, copy); break;
        default: break;
        }
    });
}

void Control::RemoveItem(int index) const
{
    QueueForControl(state_, [=](ControlState& c) {
        if (index < 0)
            return;
        switch (c.spec.kind) {
        case K::ComboBox: SendMessageA(c.hwnd, CB_DELETESTRING, index, 0); break;
        case K::ListBox: SendMessageA(c.hwnd, LB_DELETESTRING, index, 0); break;
        case K::ListView: SendMessageA(c.hwnd, LVM_DELETEITEM, index, 0); break;
        default: break;
        }
    });
}

void Control::ClearItems() const
{
    QueueForControl(state_, [=](ControlState& c) {
        switch (c.spec.kind) {
        case K::ComboBox: SendMessageA(c.hwnd, CB_RESETCONTENT, 0, 0); break;
        case K::ListBox: SendMessageA(c.hwnd, LB_RESETCONTENT, 0, 0); break;
        case K::ListView: SendMessageA(c.hwnd, LVM_DELETEALLITEMS, 0, 0); break;
        default: break;
        }
    });
}

void Control::SetItems(const TextArray& items) const
{
    QueueForControl(state_, [=](ControlState& c) {
        if (!IsListLike(c.spec.kind))
            return;
        bool combo = c.spec.kind == K::ComboBox;
        RedrawHold hold(c.hwnd);
        SendMessageA(c.hwnd, combo ? CB_RESETCONTENT : LB_RESETCONTENT, 0, 0);
        for (auto& item : items)
            SendMessageA(c.hwnd, combo ? CB_ADDSTRING : LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
    });
}

int Control::Selection() const
{
    int sel = -1;
    WithControl(state_, [&](ControlState& c) {
        LRESULT r = -1;
        switch (c.spec.kind) {
        case K::ComboBox: r = SendMessageA(c.hwnd, CB_GETCURSEL, 0, 0); break;
        case K::ListBox: r = SendMessageA(c.hwnd, LB_GETCURSEL, 0, 0); break;
        case K::TabControl: r = SendMessageA(c.hwnd, TCM_GETCURSEL, 0, 0); break;
        case K::ListView: r = FirstSelected(c.hwnd); break;
        default: break;
        }
        sel = r < 0 ? -1 : static_cast<int>(r);
    });
    return sel;
}

void Control::SetSelection(int index) const
{
    QueueForControl(state_, [=](ControlState& c) {
        switch (c.spec.kind) {
        case K::ComboBox: SendMessageA(c.hwnd, CB_SETCURSEL, index < 0 ? -1 : index, 0); break;
        case K::ListBox: SendMessageA(c.hwnd, LB_SETCURSEL, index < 0 ? -1 : index, 0); break;
        case K::TabControl:
            if (index >= 0 && index < static_cast<int>(c.pages.size())) {
                SendMessageA(c.hwnd, TCM_SETCURSEL, index, 0);
                ShowPage(c, index);
            }
            break;
        case K::ListView: SelectRow(c.hwnd, index); break;
        default: break;
        }
    });
}

bool Control::Checked() const
{
    bool on = false;
    WithControl(state_, [&](ControlState& c) {
        if (c.spec.kind == K::CheckBox)
            on = SendMessageA(c.hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED;
    });
    return on;
}

void Control::SetChecked(bool on) const
{
    QueueForControl(state_, [=](ControlState& c) {
        if (c.spec.kind == K::CheckBox)
            SendMessageA(c.hwnd, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
    });
}

bool Control::IsDefault() const
{
    bool on = false;
    WithControl(state_, [&](ControlState& c) { on = c.spec.isDefault; });
    return on;
}

void Control::SetDefault(bool on) const
{
    QueueForControl(state_, [=](ControlState& c) {
        if (c.spec.kind != K::Button && c.spec.kind != K::SuperButton)
            return;
        auto restyle = [](ControlState& b, bool isDefault) {
            b.spec.isDefault = isDefault;
            LONG style = GetWindowLongA(b.hwnd, GWL_STYLE);
            style = (style & ~0x0FL) | (isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
            SendMessageA(b.hwnd, BM_SETSTYLE, style & 0xFFFF, TRUE);
        };
        // A window has one default push button.
        if (on && c.formRaw)
            for (auto& other : c.formRaw->controls)
                if (other.get() != &c && other->spec.isDefault && other->hwnd)
                    restyle(*other, false);
        restyle(c, on);
    });
}

int Control::Position() const
{
    int pos = 0;
    WithControl(state_, [&](ControlState& c) {
        if (c.spec.kind == K::Slider) pos = static_cast<int>(SendMessageA(c.hwnd, TBM_GETPOS, 0, 0));
        if (c.spec.kind == K::ProgressBar) pos = static_cast<int>(SendMessageA(c.hwnd, PBM_GETPOS, 0, 0));
    });
    return pos;
}

void Control::SetPosition(int pos) const
{
    QueueForControl(state_, [=](ControlState& c) {
        if (c.spec.kind == K::Slider) {
            SendMessageA(c.hwnd, TBM_SETPOS, TRUE, pos);
            c.lastPosition = static_cast<int>(SendMessageA(c.hwnd, TBM_GETPOS, 0, 0));
        }
        if (c.spec.kind == K::ProgressBar)
            SendMessageA(c.hwnd, PBM_SETPOS, pos, 0);
    });
}

int Control::Minimum() const
{
    int v = 0;
    WithControl(state_, [&](ControlState& c) {
        if (c.spec.kind == K::Slider) v = static_cast<int>(SendMessageA(c.hwnd, TBM_GETRANGEMIN, 0, 0));
        if (c.spec.kind == K::ProgressBar) v = static_cast<int>(SendMessageA(c.hwnd, PBM_GETRANGE, TRUE, 0));
    });
    return v;
}

int Control::Maximum() const
{
    int v = 0;
    WithControl(state_, [&](ControlState& c) {
        if (c.spec.kind == K::Slider) v = static_cast<int>(SendMessageA(c.hwnd, TBM_GETRANGEMAX, 0, 0));
        if (c.spec.kind == K::ProgressBar) v = static_cast<int>(SendMessageA(c.hwnd, PBM_GETRANGE, FALSE, 0));
    });
    return v;
}

void Control::SetRange(int low, int high) const
{
    QueueForControl(state_, [=](ControlState& c) {
        if (c.spec.kind == K::Slider) {
            SendMessageA(c.hwnd, TBM_SETRANGEMIN, FALSE, low);
            SendMessageA(c.hwnd, TBM_SETRANGEMAX, TRUE, high);
            c.lastPosition = static_cast<int>(SendMessageA(c.hwnd, TBM_GETPOS, 0, 0));
        }
        if (c.spec.kind == K::ProgressBar)
            SendMessageA(c.hwnd, PBM_SETRANGE32, low, high);
    });
}

int Control::Interval() const
{
    int ms = 0;
    WithControl(state_, [&](ControlState& c) { ms = c.interval; });
    return ms;
}

void Control::SetInterval(int ms) const
{
    QueueForControl(state_, [=](ControlState& c) {
        if (c.spec.kind != K::Timer || !c.formRaw)
            return;
        HWND owner = c.formRaw->hwnd;
        if (ms <= 0) {
            KillTimer(owner, c.timerId);
            c.interval = 0;
        } else {
            SetTimer(owner, c.timerId, static_cast<UINT>(ms), nullptr);
            c.interval = ms;
        }
    });
}

Text Control::PartText(int part) const
{
    Text t;
    WithControl(state_, [&](ControlState& c) {
        if (c.spec.kind == K::StatusBar)
            t = StatusPart(c.hwnd, part);
    });
    return t;
}

void Control::SetPartText(int part, std::string_view text) const
{
    Text copy(text);
    QueueForControl(state_, [=](ControlState& c) {
        if (c.spec.kind != K::StatusBar)
            return;
        int parts = static_cast<int>(SendMessageA(c.hwnd, SB_GETPARTS, 0, 0));
        if (part >= 0 && part < parts && part < 256)
            SendMessageA(c.hwnd, SB_SETTEXTA, part, reinterpret_cast<LPARAM>(copy.c_str()));
    });
}

DateTime Control::Date() const
{
    DateTime value = 0;
    WithControl(state_, [&](ControlState& c) {
        if (c.spec.kind != K::DatePicker)
            return;
        SYSTEMTIME st = {};
        if (SendMessageA(c.hwnd, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&st)) == GDT_VALID) {
            double v = 0;
            if (SystemTimeToVariantTime(&st, &v))
                value = v;
        }
    });
    return value;
}

void Control::SetDate(DateTime value) const
{
    QueueForControl(state_, [=](ControlState& c) {
        if (c.spec.kind != K::DatePicker)
            return;
        SYSTEMTIME st = {};
        if (VariantTimeToSystemTime(value, &st))
            SendMessageA(c.hwnd, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&st));
    });
}

bool Control::SetPicture(const ByteSet& bytes) const
{
    if (!IsAlive())
        return false;
    // Decoding runs on the calling thread (a worker keeps the window responsive); the bitmap is then
    // handed to the window thread.
    SIZE size{0, 0};
    HBITMAP bmp = bytes.empty() ? nullptr : DecodePicture(bytes, size);
    bool taken = false;
    WithControl(state_, [&](ControlState& c) {
        if (c.spec.kind != K::PictureBox && c.spec.kind != K::Label)
            return;
        if (c.picture)
            DeleteObject(c.picture);
        c.picture = bmp;
        c.pictureSize = bmp ? size : SIZE{0, 0};
        taken = true;
        if (c.hwnd)
            InvalidateRect(c.hwnd, nullptr, TRUE);
    });
    if (!taken && bmp)
        DeleteObject(bmp);
    return taken && bmp != nullptr;
}

bool Control::HasPicture() const
{
    bool has = false;
    WithControl(state_, [&](ControlState& c) { has = c.picture != nullptr; });
    return has;
}

SIZE Control::PictureSize() const
{
    SIZE s{0, 0};
    WithControl(state_, [&](ControlState& c) { s = c.pictureSize; });
    return s;
}

Text Control::Address() const
{
    Text t;
    WithControl(state_, [&](ControlState& c) {
        if (c.spec.kind == K::Browser)
            t = c.address;
    });
    return t;
}

void Control::Navigate(std::string_view address) const
{
    Text copy(address);
    QueueForControl(state_, [=](ControlState& c) {
        if (c.spec.kind != K::Browser)
            return;
        c.address = copy;
        if (c.browser)
            BrowserNavigate(c.browser, copy);
    });
}

void Control::SetSilent(bool on) const
{
    QueueForControl(state_, [=](ControlState& c) {
        if (c.spec.kind != K::Browser)
            return;
        c.spec.silent = on;
        if (c.browser)
            BrowserSetSilent(c.browser, on);
    });
}

bool Control::BrowserReady() const
{
    bool ready = false;
    WithControl(state_, [&](ControlState& c) { ready = c.browser != nullptr; });
    return ready;
}

bool Control::AskSaveFile(Text& fileName) const
{
    SaveFileRequest request;
    HWND owner = nullptr;
    bool ok = WithControl(state_, [&](ControlState& c) {
        request.title = c.spec.caption;
        request.filter = c.spec.filter;
        request.defaultExtension = c.spec.defaultExtension;
        if (c.formRaw)
            owner = c.formRaw->hwnd;
    });
    if (!ok || state_->spec.kind != K::FileDialog)
        return false;
    request.fileName = fileName;
    request.owner = owner;
    Text chosen;
    // The dialog is modal to its window, so it runs on the window thread.
    bool picked = false;
    WithControl(state_, [&](ControlState&) { picked = AskForSaveFile(request, chosen); });
    if (picked)
        fileName = chosen;
    return picked;
}

void Control::Popup() const
{
    WithControl(state_, [&](ControlState& c) {
        if (!c.menu || !c.formRaw || !c.formRaw->hwnd)
            return;
        HWND owner = c.formRaw->hwnd;
        POINT p;
        GetCursorPos(&p);
        SetForegroundWindow(owner);
        TrackPopupMenu(c.menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, p.x, p.y, 0, owner, nullptr);
        PostMessageA(owner, WM_NULL, 0, 0);
    });
}

void Control::SetData(std::shared_ptr<void> data) const
{
    WithControl(state_, [&](ControlState& c) { c.data = std::move(data); });
}

std::shared_ptr<void> Control::Data() const
{
    std::shared_ptr<void> d;
    WithControl(state_, [&](ControlState& c) { d = c.data; });
    return d;
}
