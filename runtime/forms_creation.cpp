// A window made from its layout table: the top-level window, then every control in table order (a
// container before the controls placed in it), each in a few steps: its window of the kind's class,
// then what every control window gets (font, place among its siblings, name, window procedure).
#include "runtime/forms_internal.h"

#include <algorithm>

#include <ole2.h>

using namespace forms_detail;

namespace {

constexpr int kFirstControlId = 0x1601;
constexpr UINT kFirstMenuId = 0x2601;

thread_local bool t_oleInitialised = false;

HFONT FontOf(const ControlSpec& s) { return s.fontName.empty() ? DefaultFont() : FontNamed(s.fontName); }

class Builder {
public:
    explicit Builder(FormState& form) : form_(form) {}

    void Create(ControlState& c)
    {
        HWND parent = ParentWindow(c.spec);
        c.id = nextId_++;
        HWND h = MakeWindow(c, parent);
        c.hwnd = h;
        if (h)
            Attach(c, h);
    }

private:
    FormState& form_;
    HINSTANCE inst_ = GetModuleHandleA(nullptr);
    int nextId_ = kFirstControlId;
    UINT nextMenuId_ = kFirstMenuId;
    UINT_PTR nextTimerId_ = 1;

    // The window a control lies in: its container's (for a tab control the page it names), else the
    // top-level window.
    HWND ParentWindow(const ControlSpec& s)
    {
        if (s.parent.empty())
            return form_.hwnd;
        auto it = form_.byName.find(s.parent);
        if (it == form_.byName.end() || !it->second->hwnd)
            return form_.hwnd;
        ControlState& p = *it->second;
        if (p.spec.kind == ControlKind::TabControl && !p.pages.empty()) {
            int page = std::clamp(s.page, 0, static_cast<int>(p.pages.size()) - 1);
            return p.pages[static_cast<std::size_t>(page)];
        }
        return p.hwnd;
    }

    HWND Window(DWORD ex, const wchar_t* cls, const Text& text, DWORD style, const ControlState& c, HWND parent,
                int extraHeight = 0)
    {
        const ControlSpec& s = c.spec;
        style |= WS_CHILD | WS_CLIPSIBLINGS;
        if (s.visible) style |= WS_VISIBLE;
        if (!s.enabled) style |= WS_DISABLED;
        return CreateWindowExW(ex, cls, Widen(text).c_str(), style, s.bounds.left, s.bounds.top, s.bounds.width,
                               s.bounds.height + extraHeight, parent,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), inst_, nullptr);
    }

    // The control's window of its kind's class, set up from its declaration; nullptr for the
    // windowless kinds (and when the window could not be made).
    HWND MakeWindow(ControlState& c, HWND parent)
    {
        const ControlSpec& s = c.spec;
        const DWORD push = s.isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
        switch (s.kind) {
        case ControlKind::TabControl:
            return MakeTab(c, parent);
        case ControlKind::Button:
            return Window(0, L"BUTTON", s.caption, push | WS_TABSTOP, c, parent);
        case ControlKind::SuperButton:
            return Window(0, L"BUTTON", s.caption, push | BS_MULTILINE | BS_CENTER | BS_VCENTER | WS_TABSTOP, c,
                          parent);
        case ControlKind::Label:
            return Window(0, L"STATIC", s.caption, SS_LEFT | SS_NOTIFY | SS_NOPREFIX, c, parent);
        case ControlKind::TransparentLabel:
            return Window(WS_EX_TRANSPARENT, L"STATIC", s.caption, SS_LEFT | SS_NOTIFY | SS_NOPREFIX, c, parent);
        case ControlKind::EditBox:
            return Window(WS_EX_CLIENTEDGE, L"EDIT", s.caption, ES_AUTOHSCROLL | ES_LEFT | WS_TABSTOP, c, parent);
        case ControlKind::ComboBox:
            // The height of a drop-down list is that of its closed box; the list opens below it.
            return WithItems(c,
                             Window(0, L"COMBOBOX", "", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, c, parent, 200),
                             CB_ADDSTRING, CB_SETCURSEL);
        case ControlKind::ListBox:
            return WithItems(c,
                             Window(WS_EX_CLIENTEDGE, L"LISTBOX", "",
                                    LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP, c, parent),
                             LB_ADDSTRING, LB_SETCURSEL);
        case ControlKind::ListView:
            return MakeListView(c, parent);
        case ControlKind::DatePicker:
            return Window(0, DATETIMEPICK_CLASSW, "", DTS_SHORTDATEFORMAT | WS_TABSTOP, c, parent);
        case ControlKind::ProgressBar:
            return MakeProgressBar(c, parent);
        case ControlKind::Slider:
            return MakeSlider(c, parent);
        case ControlKind::StatusBar:
            return MakeStatusBar(c, parent);
        case ControlKind::GroupBox:
            return Window(WS_EX_CONTROLPARENT, L"BUTTON", s.caption, BS_GROUPBOX | WS_CLIPCHILDREN, c, parent);
        case ControlKind::CheckBox:
            return MakeCheckBox(c, parent);
        case ControlKind::PictureBox:
            return Window(0, kPictureClass, "", 0, c, parent);
        case ControlKind::Browser:
            return Window(0, kBrowserHostClass, "", WS_CLIPCHILDREN, c, parent);
        case ControlKind::Timer:
            AddTimer(c);
            return nullptr;
        case ControlKind::PopupMenu:
            AddMenu(c);
            return nullptr;
        case ControlKind::FileDialog:
        case ControlKind::Database:
            return nullptr;
        }
        return nullptr;
    }

    // A tab control gets one page window per tab, filling its page area; the selected one is shown.
    HWND MakeTab(ControlState& c, HWND parent)
    {
        const ControlSpec& s = c.spec;
        HWND h = Window(0, WC_TABCONTROLW, "", WS_CLIPCHILDREN | WS_TABSTOP, c, parent);
        if (!h)
            return nullptr;
        SendMessageA(h, WM_SETFONT, reinterpret_cast<WPARAM>(FontOf(s)), FALSE);  // before its page area is measured
        for (std::size_t i = 0; i < s.items.size(); ++i) {
            TCITEMA item = {};
            item.mask = TCIF_TEXT;
            item.pszText = const_cast<char*>(s.items[i].c_str());
            SendMessageA(h, TCM_INSERTITEMA, i, reinterpret_cast<LPARAM>(&item));
        }
        RECT rc;
        GetClientRect(h, &rc);
        SendMessageA(h, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&rc));
        for (std::size_t i = 0; i < s.items.size(); ++i) {
            HWND page = CreateWindowExW(WS_EX_CONTROLPARENT, kPageClass, L"",
                                        WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, rc.left, rc.top,
                                        rc.right - rc.left, rc.bottom - rc.top, h, nullptr, inst_, &form_);
            c.pages.push_back(page);
        }
        int sel = std::clamp(s.selection, 0, std::max(0, static_cast<int>(s.items.size()) - 1));
        SendMessageA(h, TCM_SETCURSEL, sel, 0);
        ShowPage(c, sel);
        return h;
    }

    // A drop-down list or list box (its window `h`) gets the declared items and selection.
    static HWND WithItems(const ControlState& c, HWND h, UINT addString, UINT setSelection)
    {
        for (auto& item : c.spec.items)
            SendMessageA(h, addString, 0, reinterpret_cast<LPARAM>(item.c_str()));
        SendMessageA(h, setSelection, c.spec.selection, 0);
        return h;
    }

    // Report mode with full-row selection and grid lines, the declared columns and empty rows.
    HWND MakeListView(ControlState& c, HWND parent)
    {
        const ControlSpec& s = c.spec;
        HWND h = Window(WS_EX_CLIENTEDGE, WC_LISTVIEWW, "", LVS_REPORT | LVS_SHOWSELALWAYS | WS_TABSTOP, c, parent);
        if (!h)
            return nullptr;
        SendMessageA(h, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
        for (std::size_t i = 0; i < s.columns.size(); ++i) {
            LVCOLUMNA col = {};
            col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM | LVCF_FMT;
            col.fmt = LVCFMT_LEFT;
            col.cx = s.columns[i].width;
            col.iSubItem = static_cast<int>(i);
            col.pszText = const_cast<char*>(s.columns[i].title.c_str());
            SendMessageA(h, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&col));
        }
        for (int r = 0; r < s.rows; ++r) {
            LVITEMA item = {};
            item.mask = LVIF_TEXT;
            item.iItem = r;
            item.pszText = const_cast<char*>("");
            SendMessageA(h, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
        }
        return h;
    }

    HWND MakeProgressBar(ControlState& c, HWND parent)
    {
        const ControlSpec& s = c.spec;
        HWND h = Window(0, PROGRESS_CLASSW, "", 0, c, parent);
        SendMessageA(h, PBM_SETRANGE32, s.minimum, s.maximum);
        SendMessageA(h, PBM_SETPOS, s.position, 0);
        return h;
    }

    HWND MakeSlider(ControlState& c, HWND parent)
    {
        const ControlSpec& s = c.spec;
        HWND h = Window(0, TRACKBAR_CLASSW, "", TBS_HORZ | TBS_AUTOTICKS | WS_TABSTOP, c, parent);
        SendMessageA(h, TBM_SETRANGEMIN, FALSE, s.minimum);
        SendMessageA(h, TBM_SETRANGEMAX, FALSE, s.maximum);
        SendMessageA(h, TBM_SETTICFREQ, std::max(1, (s.maximum - s.minimum) / 10), 0);
        SendMessageA(h, TBM_SETPOS, TRUE, s.position);
        c.lastPosition = static_cast<int>(SendMessageA(h, TBM_GETPOS, 0, 0));
        return h;
    }

    // The parts' widths become their right edges; a negative width makes the last part take the rest.
    HWND MakeStatusBar(ControlState& c, HWND parent)
    {
        const ControlSpec& s = c.spec;
        HWND h = Window(0, STATUSCLASSNAMEW, "", CCS_BOTTOM, c, parent);
        if (!h)
            return nullptr;
        std::vector<int> edges;
        int x = 0;
        for (int w : s.parts) {
            if (w < 0) {
                edges.push_back(-1);
                break;
            }
            x += w;
            edges.push_back(x);
        }
        if (edges.empty())
            edges.push_back(-1);
        SendMessageA(h, SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
        if (!s.caption.empty())
            SendMessageA(h, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(s.caption.c_str()));
        return h;
    }

    HWND MakeCheckBox(ControlState& c, HWND parent)
    {
        const ControlSpec& s = c.spec;
        HWND h = Window(0, L"BUTTON", s.caption, BS_AUTOCHECKBOX | WS_TABSTOP, c, parent);
        SendMessageA(h, BM_SETCHECK, s.checked ? BST_CHECKED : BST_UNCHECKED, 0);
        return h;
    }

    // A timer ticks through the top-level window's WM_TIMER; an interval of 0 leaves it stopped.
    void AddTimer(ControlState& c)
    {
        c.timerId = nextTimerId_++;
        form_.timers[c.timerId] = &c;
        if (c.spec.interval > 0) {
            c.interval = c.spec.interval;
            SetTimer(form_.hwnd, c.timerId, static_cast<UINT>(c.spec.interval), nullptr);
        }
    }

    // Each item of a pop-up menu gets a command id of its own, which the window maps back to the item.
    void AddMenu(ControlState& c)
    {
        c.menu = CreatePopupMenu();
        for (std::size_t i = 0; i < c.spec.items.size(); ++i) {
            UINT id = nextMenuId_++;
            AppendMenuW(c.menu, MF_STRING, id, Widen(c.spec.items[i]).c_str());
            c.menuIds.push_back(id);
            form_.menuCommands[id] = {&c, static_cast<int>(i)};
        }
    }

    // What every control window gets once made.
    void Attach(ControlState& c, HWND h)
    {
        const ControlSpec& s = c.spec;
        form_.byHwnd[h] = &c;
        if (s.kind != ControlKind::TabControl)
            SendMessageA(h, WM_SETFONT, reinterpret_cast<WPARAM>(FontOf(s)), FALSE);
        // Later controls lie above earlier ones (a panel declared after the tab control shows over it).
        SetWindowPos(h, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        ATOM atom = GlobalAddAtomA(s.name.c_str());
        if (atom)
            SetPropA(h, kNameProperty, reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(atom)));
        SetWindowLongPtrW(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&c));
        c.previousProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ControlProc)));
        if (!s.visible)
            HoldWhileHidden(c, true);
        if (s.kind == ControlKind::Browser)
            AttachBrowser(c, h);
        if (!s.picture.empty() && (s.kind == ControlKind::PictureBox || s.kind == ControlKind::Label)) {
            c.picture = DecodePicture(s.picture, c.pictureSize);
            InvalidateRect(h, nullptr, TRUE);
        }
    }

    // The WebBrowser control in its host window, sent to the address given as the caption.
    static void AttachBrowser(ControlState& c, HWND host)
    {
        c.browser = CreateBrowser(host);
        if (c.browser && c.spec.silent)
            BrowserSetSilent(c.browser, true);
        if (!c.spec.caption.empty()) {
            c.address = c.spec.caption;
            if (c.browser)
                BrowserNavigate(c.browser, c.address);
        }
    }
};

std::shared_ptr<FormState> NewFormState(const WindowLayout& layout, const EventTable& events)
{
    auto f = std::make_shared<FormState>();
    f->layout = layout;
    f->thread = GetCurrentThreadId();
    for (auto& e : events)
        f->handlers[{e.control, e.event}] = e.handler;
    return f;
}

// The WebBrowser control needs OLE on the window thread.
void InitialiseOleFor(const WindowLayout& layout)
{
    bool needsOle = std::any_of(layout.controls.begin(), layout.controls.end(),
                                [](const ControlSpec& s) { return s.kind == ControlKind::Browser; });
    if (needsOle && !t_oleInitialised) {
        HRESULT hr = OleInitialize(nullptr);
        t_oleInitialised = SUCCEEDED(hr);
    }
}

bool CreateFormWindow(FormState& f)
{
    const WindowLayout& layout = f.layout;
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
    const RECT frame = FrameForClientArea(layout.bounds.left, layout.bounds.top, layout.bounds.width,
                                          layout.bounds.height, style, WS_EX_CONTROLPARENT);
    f.hwnd = CreateWindowExW(WS_EX_CONTROLPARENT, kFormClass, Widen(layout.title).c_str(), style, frame.left,
                             frame.top, frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                             GetModuleHandleA(nullptr), &f);
    if (!f.hwnd)
        return false;
    SendMessageA(f.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(DefaultFont()), FALSE);
    return true;
}

// One state per declared control; the first control of a name is the one reached by it.
void AddControlStates(const std::shared_ptr<FormState>& f)
{
    for (auto& spec : f->layout.controls) {
        auto c = std::make_shared<ControlState>();
        c->spec = spec;
        c->form = f;
        c->formRaw = f.get();
        c->thread = f->thread;
        f->controls.push_back(c);
        if (!spec.name.empty() && !f->byName.count(spec.name))
            f->byName[spec.name] = c;
    }
}

// Controls are made in table order, a container before the controls placed in it.
void CreateControls(FormState& f)
{
    Builder builder(f);
    std::vector<bool> made(f.controls.size(), false);
    std::function<void(std::size_t, int)> make = [&](std::size_t i, int depth) {
        if (made[i])
            return;
        made[i] = true;
        ControlState& c = *f.controls[i];
        if (!c.spec.parent.empty() && depth < 32) {
            for (std::size_t j = 0; j < f.controls.size(); ++j)
                if (f.controls[j]->spec.name == c.spec.parent && j != i) {
                    make(j, depth + 1);
                    break;
                }
        }
        c.alive.store(true);
        builder.Create(c);
    };
    for (std::size_t i = 0; i < f.controls.size(); ++i)
        make(i, 0);
}

}  // namespace

Form LoadForm(const WindowLayout& layout, const EventTable& events)
{
    RegisterWindowClasses();
    EnsureInvoker();
    std::shared_ptr<FormState> f = NewFormState(layout, events);
    InitialiseOleFor(layout);
    if (!CreateFormWindow(*f))
        return Form();
    RegisterOpenForm(f);
    AddControlStates(f);
    f->alive.store(true);
    CreateControls(*f);
    FitTabsToPages(*f);
    FitClientArea(*f);

    Fire(*f, nullptr, Event::Created, {});
    if (f->alive.load() && f->hwnd)
        FitClientArea(*f);  // the created handler may have put a skin on the frame
    if (f->alive.load() && layout.visible && f->hwnd) {
        ShowWindow(f->hwnd, SW_SHOWNORMAL);
        UpdateWindow(f->hwnd);
    }
    return Form(f);
}
