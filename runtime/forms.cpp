// Windows from layout tables: creation of the window and its controls, the registry of open windows,
// the invoker windows that carry calls from other threads to a window thread, event dispatch and the
// message loop.
#include "runtime/forms_internal.h"
#include "runtime/window_thread.h"

#include <algorithm>
#include <deque>

#include <ole2.h>

using namespace forms_detail;

// ---------------------------------------------------------------------------------------------------
// Layout builders

ControlSpec& ControlSpec::In(std::string_view parentName, int pageIndex)
{
    parent = Text(parentName);
    page = pageIndex;
    return *this;
}
ControlSpec& ControlSpec::Hide() { visible = false; return *this; }
ControlSpec& ControlSpec::Disable() { enabled = false; return *this; }
ControlSpec& ControlSpec::Items(TextArray list) { items = std::move(list); return *this; }
ControlSpec& ControlSpec::Select(int index) { selection = index; return *this; }
ControlSpec& ControlSpec::Range(int low, int high, int pos)
{
    minimum = low;
    maximum = high;
    position = pos;
    return *this;
}
ControlSpec& ControlSpec::Check(bool on) { checked = on; return *this; }
ControlSpec& ControlSpec::Default(bool on) { isDefault = on; return *this; }
ControlSpec& ControlSpec::Font(std::string_view face) { fontName = Text(face); return *this; }
ControlSpec& ControlSpec::Picture(ByteSet bytes, bool stretchIt)
{
    picture = std::move(bytes);
    stretch = stretchIt;
    return *this;
}

WindowLayout& WindowLayout::Add(ControlSpec spec)
{
    controls.push_back(std::move(spec));
    return *this;
}

namespace ui {

static ControlSpec Make(ControlKind kind, std::string_view name, std::string_view caption, Bounds b)
{
    ControlSpec s;
    s.kind = kind;
    s.name = Text(name);
    s.caption = Text(caption);
    s.bounds = b;
    return s;
}

ControlSpec Tab(std::string_view name, Bounds b, TextArray pages)
{
    ControlSpec s = Make(ControlKind::TabControl, name, {}, b);
    s.items = std::move(pages);
    s.selection = 0;
    return s;
}
ControlSpec Button(std::string_view name, std::string_view caption, Bounds b)
{
    return Make(ControlKind::Button, name, caption, b);
}
ControlSpec SuperButton(std::string_view name, std::string_view caption, Bounds b)
{
    return Make(ControlKind::SuperButton, name, caption, b);
}
ControlSpec Label(std::string_view name, std::string_view caption, Bounds b)
{
    return Make(ControlKind::Label, name, caption, b);
}
ControlSpec TransparentLabel(std::string_view name, std::string_view caption, Bounds b)
{
    return Make(ControlKind::TransparentLabel, name, caption, b);
}
ControlSpec EditBox(std::string_view name, std::string_view text, Bounds b)
{
    return Make(ControlKind::EditBox, name, text, b);
}
ControlSpec ComboBox(std::string_view name, Bounds b, TextArray items)
{
    ControlSpec s = Make(ControlKind::ComboBox, name, {}, b);
    s.items = std::move(items);
    return s;
}
ControlSpec ListBox(std::string_view name, Bounds b, TextArray items)
{
    ControlSpec s = Make(ControlKind::ListBox, name, {}, b);
    s.items = std::move(items);
    return s;
}
ControlSpec ListView(std::string_view name, Bounds b, std::vector<ColumnSpec> columns, int rows)
{
    ControlSpec s = Make(ControlKind::ListView, name, {}, b);
    s.columns = std::move(columns);
    s.rows = rows;
    return s;
}
ControlSpec DatePicker(std::string_view name, Bounds b)
{
    return Make(ControlKind::DatePicker, name, {}, b);
}
ControlSpec ProgressBar(std::string_view name, Bounds b, int low, int high, int pos)
{
    return Make(ControlKind::ProgressBar, name, {}, b).Range(low, high, pos);
}
ControlSpec Slider(std::string_view name, Bounds b, int low, int high, int pos)
{
    return Make(ControlKind::Slider, name, {}, b).Range(low, high, pos);
}
ControlSpec StatusBar(std::string_view name, Bounds b, IntArray partWidths)
{
    ControlSpec s = Make(ControlKind::StatusBar, name, {}, b);
    s.parts = std::move(partWidths);
    return s;
}
ControlSpec Timer(std::string_view name, int intervalMs)
{
    ControlSpec s = Make(ControlKind::Timer, name, {}, {});
    s.interval = intervalMs;
    return s;
}
ControlSpec GroupBox(std::string_view name, std::string_view caption, Bounds b)
{
    return Make(ControlKind::GroupBox, name, caption, b);
}
ControlSpec CheckBox(std::string_view name, std::string_view caption, Bounds b, bool checked)
{
    return Make(ControlKind::CheckBox, name, caption, b).Check(checked);
}
ControlSpec PictureBox(std::string_view name, Bounds b)
{
    return Make(ControlKind::PictureBox, name, {}, b);
}
ControlSpec PopupMenu(std::string_view name, TextArray itemCaptions)
{
    ControlSpec s = Make(ControlKind::PopupMenu, name, {}, {});
    s.items = std::move(itemCaptions);
    return s;
}
ControlSpec FileDialog(std::string_view name, std::string_view title, std::string_view filter,
                       std::string_view defaultExtension)
{
    ControlSpec s = Make(ControlKind::FileDialog, name, title, {});
    s.filter = Text(filter);
    s.defaultExtension = Text(defaultExtension);
    return s;
}
ControlSpec Browser(std::string_view name, Bounds b)
{
    return Make(ControlKind::Browser, name, {}, b);
}
ControlSpec Database(std::string_view name)
{
    return Make(ControlKind::Database, name, {}, {});
}

}  // namespace ui

// ---------------------------------------------------------------------------------------------------
// Registry of open windows and invoker windows

namespace {

const wchar_t kFormClass[] = L"QuovantaForm";
const wchar_t kPageClass[] = L"QuovantaPage";
const wchar_t kInvokerClass[] = L"QuovantaInvoker";
const wchar_t kPictureClass[] = L"QuovantaPicture";
const wchar_t kBrowserHostClass[] = L"QuovantaBrowserHost";
const char kNameProperty[] = "ControlName";

constexpr int kFirstControlId = 0x1601;
constexpr UINT kFirstMenuId = 0x2601;

std::mutex g_registryLock;
std::vector<std::shared_ptr<FormState>> g_forms;    // every window not yet fully destroyed
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
std::map<DWORD, std::shared_ptr<ThreadQueue>> g_queues;  // window thread -> its queue and invoker

// Past this many queued writes a worker waits for the window thread to catch up.
constexpr std::size_t kMaxQueued = 20000;

thread_local int t_loopDepth = 0;
thread_local bool t_oleInitialised = false;

struct InvokeCall {
    const std::atomic<bool>* alive;
    const std::function<void()>* fn;
};

std::shared_ptr<ThreadQueue> QueueOf(DWORD thread)
{
    std::lock_guard<std::mutex> lock(g_registryLock);
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

LRESULT CALLBACK InvokerProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (g_invokeMessage != 0 && msg == g_invokeMessage) {
        DrainMine();
        auto* call = reinterpret_cast<InvokeCall*>(lp);
        if (call && call->alive->load()) {
            ++t_forWorker;
            (*call->fn)();
            --t_forWorker;
            return 1;
        }
        return 0;
    }
    if (g_drainMessage != 0 && msg == g_drainMessage) {
        DrainMine();
        return 0;
    }
    if (msg == WM_TIMER && wp == kResumeTimer) {
        KillTimer(hwnd, kResumeTimer);
        t_resumePosted = false;
        std::vector<std::shared_ptr<ControlState>> held;
        held.swap(t_held);
        for (auto& c : held)
            ResumeRedraw(*c);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT CALLBACK FormProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
LRESULT CALLBACK PageProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
LRESULT CALLBACK ControlProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

void RegisterClasses()
{
    static std::once_flag once;
    std::call_once(once, [] {
        INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES | ICC_DATE_CLASSES | ICC_TAB_CLASSES |
                                                     ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES |
                                                     ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
        InitCommonControlsEx(&icc);
        g_invokeMessage = RegisterWindowMessageA("QuovantaInvoke");
        g_drainMessage = RegisterWindowMessageA("QuovantaDrain");
        HINSTANCE inst = GetModuleHandleA(nullptr);
        WNDCLASSW wc = {};
        wc.hInstance = inst;
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

        wc.lpfnWndProc = InvokerProc;
        wc.hbrBackground = nullptr;
        wc.lpszClassName = kInvokerClass;
        RegisterClassW(&wc);
    });
}

void EnsureInvoker()
{
    if (t_queue && IsWindow(t_queue->invoker))
        return;
    auto q = std::make_shared<ThreadQueue>();
    q->invoker = CreateWindowExW(0, kInvokerClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    t_queue = q;
    std::lock_guard<std::mutex> lock(g_registryLock);
    g_queues[GetCurrentThreadId()] = q;
}

FormState* FormOf(HWND hwnd)
{
    return reinterpret_cast<FormState*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
}

ControlState* Lookup(FormState& form, HWND hwnd)
{
    auto it = form.byHwnd.find(hwnd);
    return it == form.byHwnd.end() ? nullptr : it->second;
}

void ShowPage(ControlState& tab, int index)
{
    for (std::size_t i = 0; i < tab.pages.size(); ++i)
        ShowWindow(tab.pages[i], static_cast<int>(i) == index ? SW_SHOWNA : SW_HIDE);
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

}  // namespace

// ---------------------------------------------------------------------------------------------------
// Invocation and events

namespace forms_detail {

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

void Fire(FormState& form, ControlState* c, Event event, EventArgs args)
{
    if (!form.alive.load() || (c && !c->alive.load()))
        return;
    Text name = c ? c->spec.name : Text();
    EventHandler handler;
    {
        std::lock_guard<std::mutex> lock(form.handlersLock);
        auto it = form.handlers.find({name, event});
        if (it == form.handlers.end() || !it->second)
            return;
        handler = it->second;
    }
    std::shared_ptr<FormState> keep = form.shared_from_this();
    Form handle(keep);
    args.form = &handle;
    args.control = name;
    args.event = event;
    handler(args);
}

std::wstring Widen(std::string_view text)
{
    if (text.empty())
        return std::wstring();
    int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(std::max(n, 0)), L'\0');
    if (n > 0)
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

Text Narrow(const wchar_t* text, std::size_t length)
{
    if (!text || length == 0)
        return Text();
    int wlen = static_cast<int>(length);
    int n = WideCharToMultiByte(CP_ACP, 0, text, wlen, nullptr, 0, nullptr, nullptr);
    Text s(static_cast<std::size_t>(std::max(n, 0)), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_ACP, 0, text, wlen, s.data(), n, nullptr, nullptr);
    return s;
}

Text WindowText(HWND hwnd)
{
    int n = GetWindowTextLengthW(hwnd);
    if (n <= 0)
        return Text();
    std::wstring w(static_cast<std::size_t>(n) + 1, L'\0');
    int got = GetWindowTextW(hwnd, w.data(), n + 1);
    return Narrow(w.data(), got > 0 ? static_cast<std::size_t>(got) : 0);
}

void SetWindowTextGbk(HWND hwnd, const Text& text)
{
    SetWindowTextW(hwnd, Widen(text).c_str());
}

HFONT FontNamed(const Text& face)
{
    static std::mutex lock;
    static std::map<Text, HFONT> fonts;
    std::lock_guard<std::mutex> guard(lock);
    auto it = fonts.find(face);
    if (it != fonts.end())
        return it->second;
    LOGFONTA lf = {};
    lf.lfHeight = -12;
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = GB2312_CHARSET;
    lf.lfQuality = DEFAULT_QUALITY;
    lf.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    lstrcpynA(lf.lfFaceName, face.c_str(), LF_FACESIZE);
    HFONT font = CreateFontIndirectA(&lf);
    fonts[face] = font;
    return font;
}

namespace {
// True when a font of this face really exists: a face that the system only substitutes by another
// (Wine maps 宋体 to whatever Chinese font it has) reports the other face's name once selected.
bool FaceInstalled(const char* face, const char* alias)
{
    HFONT font = FontNamed(face);
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    wchar_t got[LF_FACESIZE] = {};
    GetTextFaceW(dc, LF_FACESIZE, got);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return lstrcmpiW(got, Widen(face).c_str()) == 0 || lstrcmpiW(got, Widen(alias).c_str()) == 0;
}
}  // namespace

// The font of every window: SimSun (宋体) where installed, else a Chinese font the system has. Of
// WenQuanYi Zen Hei the variant with hand-made 12-pixel glyphs comes first: the outline one loses
// strokes at this size.
HFONT DefaultFont()
{
    static HFONT font = [] {
        const char* faces[][2] = {{"宋体", "SimSun"},
                                  {"新宋体", "NSimSun"},
                                  {"WenQuanYi Zen Hei Sharp", "文泉驿点阵正黑"},
                                  {"WenQuanYi Zen Hei", "文泉驿正黑"}};
        for (auto& face : faces)
            if (FaceInstalled(face[0], face[1]))
                return FontNamed(face[0]);
        return FontNamed("宋体");
    }();
    return font;
}

bool HandleContainerMessage(FormState& form, HWND container, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result)
{
    if (!form.alive.load())
        return false;
    switch (msg) {
    case WM_COMMAND: {
        HWND child = reinterpret_cast<HWND>(lp);
        int code = HIWORD(wp);
        ControlState* c = child ? Lookup(form, child) : nullptr;
        if (!child) {
            // A menu item, or the default button pressed through the keyboard.
            UINT id = LOWORD(wp);
            auto menu = form.menuCommands.find(id);
            if (menu != form.menuCommands.end()) {
                EventArgs a;
                a.index = menu->second.second;
                ControlState* m = menu->second.first;
                Text item = m->spec.items[static_cast<std::size_t>(a.index)];
                // Menu items are named by their captions; raise Click under that name.
                EventHandler handler;
                {
                    std::lock_guard<std::mutex> lock(form.handlersLock);
                    auto it = form.handlers.find({item, Event::Click});
                    if (it != form.handlers.end())
                        handler = it->second;
                }
                if (handler) {
                    Form handle(form.shared_from_this());
                    a.form = &handle;
                    a.control = item;
                    a.event = Event::Click;
                    handler(a);
                }
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
        if (!c)
            return false;
        switch (c->spec.kind) {
        case ControlKind::Button:
        case ControlKind::SuperButton:
        case ControlKind::CheckBox:
            // A disabled button is never clicked, also not by mouse messages sent to it directly.
            if (code == BN_CLICKED && IsWindowEnabled(child)) Fire(form, c, Event::Click, {});
            break;
        case ControlKind::Label:
        case ControlKind::TransparentLabel:
            if (code == STN_CLICKED) Fire(form, c, Event::Click, {});
            if (code == STN_DBLCLK) Fire(form, c, Event::DoubleClick, {});
            break;
        case ControlKind::ComboBox:
            if (code == CBN_SELCHANGE) {
                EventArgs a;
                a.index = static_cast<int>(SendMessageA(child, CB_GETCURSEL, 0, 0));
                Fire(form, c, Event::SelectionChanged, a);
            }
            break;
        case ControlKind::ListBox:
            if (code == LBN_SELCHANGE) {
                EventArgs a;
                a.index = static_cast<int>(SendMessageA(child, LB_GETCURSEL, 0, 0));
                Fire(form, c, Event::SelectionChanged, a);
            } else if (code == LBN_DBLCLK) {
                Fire(form, c, Event::DoubleClick, {});
            }
            break;
        case ControlKind::EditBox:
            if (code == EN_SETFOCUS) Fire(form, c, Event::FocusGained, {});
            if (code == EN_CHANGE) Fire(form, c, Event::TextChanged, {});
            break;
        default:
            break;
        }
        result = 0;
        return true;
    }
    case WM_NOTIFY: {
        auto* hdr = reinterpret_cast<NMHDR*>(lp);
        if (!hdr)
            return false;
        ControlState* c = Lookup(form, hdr->hwndFrom);
        if (!c) {
            // The header of a list view: a column declared with width 0 stays hidden.
            ControlState* list = Lookup(form, container);
            if (list && list->spec.kind == ControlKind::ListView &&
                hdr->hwndFrom == reinterpret_cast<HWND>(SendMessageA(container, LVM_GETHEADER, 0, 0))) {
                if (hdr->code == HDN_BEGINTRACKA || hdr->code == HDN_BEGINTRACKW ||
                    hdr->code == HDN_DIVIDERDBLCLICKA || hdr->code == HDN_DIVIDERDBLCLICKW) {
                    int item = reinterpret_cast<NMHEADERA*>(lp)->iItem;
                    if (item >= 0 && item < static_cast<int>(list->spec.columns.size()) &&
                        list->spec.columns[static_cast<std::size_t>(item)].width == 0) {
                        result = TRUE;
                        return true;
                    }
                }
            }
            return false;
        }
        switch (c->spec.kind) {
        case ControlKind::ListView:
            if (hdr->code == LVN_COLUMNCLICK) {
                EventArgs a;
                a.column = reinterpret_cast<NMLISTVIEW*>(lp)->iSubItem;
                Fire(form, c, Event::ColumnClick, a);
            } else if (hdr->code == NM_RCLICK) {
                EventArgs a;
                POINT p = CursorIn(c->hwnd);
                a.x = p.x;
                a.y = p.y;
                a.keys = MouseKeys();
                Fire(form, c, Event::RightButton, a);
            } else if (hdr->code == NM_CLICK) {
                Fire(form, c, Event::Click, {});
            } else if (hdr->code == NM_DBLCLK) {
                Fire(form, c, Event::DoubleClick, {});
            }
            break;
        case ControlKind::TabControl:
            if (hdr->code == TCN_SELCHANGE) {
                int page = static_cast<int>(SendMessageA(c->hwnd, TCM_GETCURSEL, 0, 0));
                ShowPage(*c, page);
                EventArgs a;
                a.index = page;
                Fire(form, c, Event::SelectionChanged, a);
            }
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
    case WM_HSCROLL:
    case WM_VSCROLL: {
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
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
        ControlState* c = lp ? Lookup(form, reinterpret_cast<HWND>(lp)) : nullptr;
        if (c && c->spec.kind == ControlKind::TransparentLabel) {
            SetBkMode(reinterpret_cast<HDC>(wp), TRANSPARENT);
            SetTextColor(reinterpret_cast<HDC>(wp), GetSysColor(COLOR_BTNTEXT));
            result = reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
            return true;
        }
        return false;
    }
    default:
        return false;
    }
}

}  // namespace forms_detail

// ---------------------------------------------------------------------------------------------------
// Window procedures

namespace {

void ReleaseControlWindow(ControlState& c)
{
    if (!c.hwnd)
        return;
    auto atom = static_cast<ATOM>(reinterpret_cast<UINT_PTR>(RemovePropA(c.hwnd, kNameProperty)));
    if (atom)
        GlobalDeleteAtom(atom);
    if (c.browser) {
        DestroyBrowser(c.browser);
        c.browser = nullptr;
    }
    c.hwnd = nullptr;
}

void FormGone(FormState& f)
{
    // Runs in WM_DESTROY of the top-level window, before its child windows go: from here on every
    // control is dead, so calls queued by workers find nothing to do.
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
    if (t_loopDepth > 0 && OpenFormCount() == 0)
        PostQuitMessage(0);
}

LRESULT CALLBACK FormProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
    FormState* f = FormOf(hwnd);
    if (!f)
        return DefWindowProcW(hwnd, msg, wp, lp);
    LRESULT result = 0;
    if (HandleContainerMessage(*f, hwnd, msg, wp, lp, result))
        return result;
    switch (msg) {
    case WM_TIMER: {
        auto it = f->timers.find(wp);
        if (it != f->timers.end() && f->alive.load())
            Fire(*f, it->second, Event::Tick, {});
        return 0;
    }
    case WM_SIZE:
        for (auto& c : f->controls)
            if (c->spec.kind == ControlKind::StatusBar && c->hwnd && GetParent(c->hwnd) == hwnd)
                SendMessageA(c->hwnd, WM_SIZE, 0, 0);
        break;
    case WM_WINDOWPOSCHANGED: {
        // A new frame (a skin's, say) keeps the client area the layout's size.
        result = DefWindowProcW(hwnd, msg, wp, lp);
        if ((reinterpret_cast<const WINDOWPOS*>(lp)->flags & SWP_FRAMECHANGED) && f->alive.load())
            FitClientArea(*f);
        return result;
    }
    case DM_GETDEFID:
        for (auto& c : f->controls)
            if (c->hwnd && c->spec.isDefault && IsWindowEnabled(c->hwnd) && IsWindowVisible(c->hwnd))
                return MAKELRESULT(c->id, DC_HASDEFID);
        return 0;
    case WM_DESTROY:
        if (f->alive.load()) {
            Fire(*f, nullptr, Event::Destroyed, {});
            FormGone(*f);
        }
        return 0;
    case WM_NCDESTROY: {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        f->hwnd = nullptr;
        std::shared_ptr<FormState> last;  // released after the lock
        {
            std::lock_guard<std::mutex> lock(g_registryLock);
            auto it = std::find_if(g_forms.begin(), g_forms.end(),
                                   [f](const std::shared_ptr<FormState>& s) { return s.get() == f; });
            if (it != g_forms.end()) {
                last = *it;
                g_forms.erase(it);
            }
        }
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
    default:
        break;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT CALLBACK PageProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
    FormState* f = FormOf(hwnd);
    LRESULT result = 0;
    if (f && HandleContainerMessage(*f, hwnd, msg, wp, lp, result))
        return result;
    return DefWindowProcW(hwnd, msg, wp, lp);
}

void PaintLabelWithPicture(ControlState& c, HWND hwnd)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT rc;
    GetClientRect(hwnd, &rc);
    FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNFACE));
    PaintPicture(dc, rc, c.picture, c.pictureSize, c.spec.stretch);
    Text text = WindowText(hwnd);
    if (!text.empty()) {
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(hwnd, WM_GETFONT, 0, 0)));
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
        DrawLabelText(dc, text, rc);
        SelectObject(dc, old);
    }
    EndPaint(hwnd, &ps);
}

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
        if (live) {
            EventArgs a;
            a.x = static_cast<short>(LOWORD(lp));
            a.y = static_cast<short>(HIWORD(lp));
            a.keys = static_cast<int>(wp);
            Fire(*f, c, Event::LeftButtonDown, a);
            if (!IsWindow(hwnd))
                return 0;
        }
        break;
    case WM_RBUTTONUP:
        if (live && c->spec.kind != ControlKind::ListView) {
            EventArgs a;
            a.x = static_cast<short>(LOWORD(lp));
            a.y = static_cast<short>(HIWORD(lp));
            a.keys = static_cast<int>(wp);
            Fire(*f, c, Event::RightButton, a);
            if (!IsWindow(hwnd))
                return 0;
        }
        break;
    case WM_ERASEBKGND:
        if (c->spec.kind == ControlKind::PictureBox)
            return 1;
        if (c->spec.kind == ControlKind::GroupBox) {
            // A group box paints only its frame and caption; the area inside it (it clips its own
            // controls) gets the face colour here, or it would show whatever was there before.
            RECT rc;
            GetClientRect(hwnd, &rc);
            FillRect(reinterpret_cast<HDC>(wp), &rc, GetSysColorBrush(COLOR_BTNFACE));
            return 1;
        }
        if (c->spec.kind == ControlKind::Label && c->picture)
            return 1;
        break;
    case WM_PAINT:
        if (c->spec.kind == ControlKind::PictureBox) {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            RECT rc;
            GetClientRect(hwnd, &rc);
            FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNFACE));
            PaintPicture(dc, rc, c->picture, c->pictureSize, c->spec.stretch);
            EndPaint(hwnd, &ps);
            return 0;
        }
        if (c->spec.kind == ControlKind::Label && c->picture) {
            PaintLabelWithPicture(*c, hwnd);
            return 0;
        }
        if (c->spec.kind == ControlKind::Label || c->spec.kind == ControlKind::TransparentLabel) {
            PaintLabel(*c, hwnd, nullptr);
            return 0;
        }
        break;
    case WM_PRINTCLIENT:
        if ((c->spec.kind == ControlKind::Label && !c->picture) || c->spec.kind == ControlKind::TransparentLabel) {
            PaintLabel(*c, hwnd, reinterpret_cast<HDC>(wp));
            return 0;
        }
        break;
    case WM_SIZE:
        if (c->spec.kind == ControlKind::Browser && c->browser)
            BrowserResize(c->browser, LOWORD(lp), HIWORD(lp));
        if (c->spec.kind == ControlKind::TabControl) {
            const LRESULT r = CallWindowProcW(previous, hwnd, msg, wp, lp);
            PlaceTabPages(*c);
            return r;
        }
        break;
    case WM_NCDESTROY: {
        c->alive.store(false);
        ReleaseControlWindow(*c);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        ForgetRedrawHolds(hwnd);
        if (c->picture) {
            DeleteObject(c->picture);
            c->picture = nullptr;
        }
        return CallWindowProcW(previous, hwnd, msg, wp, lp);
    }
    default:
        break;
    }
    return CallWindowProcW(previous, hwnd, msg, wp, lp);
}

// ---------------------------------------------------------------------------------------------------
// Creation

struct Builder {
    FormState& form;
    HINSTANCE inst = GetModuleHandleA(nullptr);
    int nextId = kFirstControlId;
    UINT nextMenuId = kFirstMenuId;
    UINT_PTR nextTimerId = 1;

    HWND ParentWindow(const ControlSpec& s)
    {
        if (s.parent.empty())
            return form.hwnd;
        auto it = form.byName.find(s.parent);
        if (it == form.byName.end() || !it->second->hwnd)
            return form.hwnd;
        ControlState& p = *it->second;
        if (p.spec.kind == ControlKind::TabControl && !p.pages.empty()) {
            int page = std::clamp(s.page, 0, static_cast<int>(p.pages.size()) - 1);
            return p.pages[static_cast<std::size_t>(page)];
        }
        return p.hwnd;
    }

    HWND Window(DWORD ex, const wchar_t* cls, const Text& text, DWORD style, const ControlSpec& s, HWND parent,
                int id, int extraHeight = 0)
    {
        style |= WS_CHILD | WS_CLIPSIBLINGS;
        if (s.visible) style |= WS_VISIBLE;
        if (!s.enabled) style |= WS_DISABLED;
        return CreateWindowExW(ex, cls, Widen(text).c_str(), style, s.bounds.left, s.bounds.top, s.bounds.width,
                               s.bounds.height + extraHeight, parent,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), inst, nullptr);
    }

    void Create(ControlState& c)
    {
        const ControlSpec& s = c.spec;
        HWND parent = ParentWindow(s);
        c.id = nextId++;
        HWND h = nullptr;
        switch (s.kind) {
        case ControlKind::TabControl: {
            h = Window(0, WC_TABCONTROLW, "", WS_CLIPCHILDREN | WS_TABSTOP, s, parent, c.id);
            if (!h) break;
            SendMessageA(h, WM_SETFONT, reinterpret_cast<WPARAM>(Font(s)), FALSE);
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
                                            rc.right - rc.left, rc.bottom - rc.top, h, nullptr, inst, &form);
                c.pages.push_back(page);
            }
            int sel = std::clamp(s.selection, 0, std::max(0, static_cast<int>(s.items.size()) - 1));
            SendMessageA(h, TCM_SETCURSEL, sel, 0);
            ShowPage(c, sel);
            break;
        }
        case ControlKind::Button:
            h = Window(0, L"BUTTON", s.caption, (s.isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | WS_TABSTOP, s,
                       parent, c.id);
            break;
        case ControlKind::SuperButton:
            h = Window(0, L"BUTTON", s.caption,
                       (s.isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | BS_MULTILINE | BS_CENTER | BS_VCENTER |
                           WS_TABSTOP,
                       s, parent, c.id);
            break;
        case ControlKind::Label:
            h = Window(0, L"STATIC", s.caption, SS_LEFT | SS_NOTIFY | SS_NOPREFIX, s, parent, c.id);
            break;
        case ControlKind::TransparentLabel:
            h = Window(WS_EX_TRANSPARENT, L"STATIC", s.caption, SS_LEFT | SS_NOTIFY | SS_NOPREFIX, s, parent, c.id);
            break;
        case ControlKind::EditBox:
            h = Window(WS_EX_CLIENTEDGE, L"EDIT", s.caption, ES_AUTOHSCROLL | ES_LEFT | WS_TABSTOP, s, parent,
                       c.id);
            break;
        case ControlKind::ComboBox:
            // The height of a drop-down list is that of its closed box; the list opens below it.
            h = Window(0, L"COMBOBOX", "", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, s, parent, c.id, 200);
            for (auto& item : s.items)
                SendMessageA(h, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
            SendMessageA(h, CB_SETCURSEL, s.selection, 0);
            break;
        case ControlKind::ListBox:
            h = Window(WS_EX_CLIENTEDGE, L"LISTBOX", "", LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP,
                       s, parent, c.id);
            for (auto& item : s.items)
                SendMessageA(h, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
            SendMessageA(h, LB_SETCURSEL, s.selection, 0);
            break;
        case ControlKind::ListView: {
            h = Window(WS_EX_CLIENTEDGE, WC_LISTVIEWW, "", LVS_REPORT | LVS_SHOWSELALWAYS | WS_TABSTOP, s, parent,
                       c.id);
            if (!h) break;
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
            break;
        }
        case ControlKind::DatePicker:
            h = Window(0, DATETIMEPICK_CLASSW, "", DTS_SHORTDATEFORMAT | WS_TABSTOP, s, parent, c.id);
            break;
        case ControlKind::ProgressBar:
            h = Window(0, PROGRESS_CLASSW, "", 0, s, parent, c.id);
            SendMessageA(h, PBM_SETRANGE32, s.minimum, s.maximum);
            SendMessageA(h, PBM_SETPOS, s.position, 0);
            break;
        case ControlKind::Slider:
            h = Window(0, TRACKBAR_CLASSW, "", TBS_HORZ | TBS_AUTOTICKS | WS_TABSTOP, s, parent, c.id);
            SendMessageA(h, TBM_SETRANGEMIN, FALSE, s.minimum);
            SendMessageA(h, TBM_SETRANGEMAX, FALSE, s.maximum);
            SendMessageA(h, TBM_SETTICFREQ, std::max(1, (s.maximum - s.minimum) / 10), 0);
            SendMessageA(h, TBM_SETPOS, TRUE, s.position);
            c.lastPosition = static_cast<int>(SendMessageA(h, TBM_GETPOS, 0, 0));
            break;
        case ControlKind::StatusBar: {
            h = Window(0, STATUSCLASSNAMEW, "", CCS_BOTTOM, s, parent, c.id);
            if (!h) break;
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
            break;
        }
        case ControlKind::GroupBox:
            h = Window(WS_EX_CONTROLPARENT, L"BUTTON", s.caption, BS_GROUPBOX | WS_CLIPCHILDREN, s, parent, c.id);
            break;
        case ControlKind::CheckBox:
            h = Window(0, L"BUTTON", s.caption, BS_AUTOCHECKBOX | WS_TABSTOP, s, parent, c.id);
            SendMessageA(h, BM_SETCHECK, s.checked ? BST_CHECKED : BST_UNCHECKED, 0);
            break;
        case ControlKind::PictureBox:
            h = Window(0, kPictureClass, "", 0, s, parent, c.id);
            break;
        case ControlKind::Browser:
            h = Window(0, kBrowserHostClass, "", WS_CLIPCHILDREN, s, parent, c.id);
            break;
        case ControlKind::Timer:
            c.timerId = nextTimerId++;
            form.timers[c.timerId] = &c;
            if (s.interval > 0) {
                c.interval = s.interval;
                SetTimer(form.hwnd, c.timerId, static_cast<UINT>(s.interval), nullptr);
            }
            break;
        case ControlKind::PopupMenu:
            c.menu = CreatePopupMenu();
            for (std::size_t i = 0; i < s.items.size(); ++i) {
                UINT id = nextMenuId++;
                AppendMenuW(c.menu, MF_STRING, id, Widen(s.items[i]).c_str());
                c.menuIds.push_back(id);
                form.menuCommands[id] = {&c, static_cast<int>(i)};
            }
            break;
        case ControlKind::FileDialog:
        case ControlKind::Database:
            break;
        }
        c.hwnd = h;
        if (!h)
            return;
        form.byHwnd[h] = &c;
        if (s.kind != ControlKind::TabControl)
            SendMessageA(h, WM_SETFONT, reinterpret_cast<WPARAM>(Font(s)), FALSE);
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
        if (s.kind == ControlKind::Browser) {
            c.browser = CreateBrowser(h);
            if (c.browser && s.silent)
                BrowserSetSilent(c.browser, true);
            if (!s.caption.empty()) {
                c.address = s.caption;
                if (c.browser)
                    BrowserNavigate(c.browser, c.address);
            }
        }
        if (!s.picture.empty() && (s.kind == ControlKind::PictureBox || s.kind == ControlKind::Label)) {
            c.picture = DecodePicture(s.picture, c.pictureSize);
            InvalidateRect(h, nullptr, TRUE);
        }
    }

    HFONT Font(const ControlSpec& s) { return s.fontName.empty() ? DefaultFont() : FontNamed(s.fontName); }
};

}  // namespace

Form LoadForm(const WindowLayout& layout, const EventTable& events)
{
    RegisterClasses();
    EnsureInvoker();
    auto f = std::make_shared<FormState>();
    f->layout = layout;
    f->thread = GetCurrentThreadId();
    for (auto& e : events)
        f->handlers[{e.control, e.event}] = e.handler;
    bool needsOle = std::any_of(layout.controls.begin(), layout.controls.end(),
                                [](const ControlSpec& s) { return s.kind == ControlKind::Browser; });
    if (needsOle && !t_oleInitialised) {
        HRESULT hr = OleInitialize(nullptr);
        t_oleInitialised = SUCCEEDED(hr);
    }
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
    const RECT frame = FrameForClientArea(layout.bounds.left, layout.bounds.top, layout.bounds.width,
                                          layout.bounds.height, style, WS_EX_CONTROLPARENT);
    f->hwnd = CreateWindowExW(WS_EX_CONTROLPARENT, kFormClass, Widen(layout.title).c_str(), style, frame.left,
                              frame.top, frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                              GetModuleHandleA(nullptr), f.get());
    if (!f->hwnd)
        return Form();
    SendMessageA(f->hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(DefaultFont()), FALSE);
    {
        std::lock_guard<std::mutex> lock(g_registryLock);
        g_forms.push_back(f);
    }

    // Controls are made in table order, a container before the controls placed in it.
    for (auto& spec : layout.controls) {
        auto c = std::make_shared<ControlState>();
        c->spec = spec;
        c->form = f;
        c->formRaw = f.get();
        c->thread = f->thread;
        f->controls.push_back(c);
        if (!spec.name.empty() && !f->byName.count(spec.name))
            f->byName[spec.name] = c;
    }
    Builder builder{*f};
    std::vector<bool> made(f->controls.size(), false);
    std::function<void(std::size_t, int)> make = [&](std::size_t i, int depth) {
        if (made[i])
            return;
        made[i] = true;
        ControlState& c = *f->controls[i];
        if (!c.spec.parent.empty() && depth < 32) {
            for (std::size_t j = 0; j < f->controls.size(); ++j)
                if (f->controls[j]->spec.name == c.spec.parent && j != i) {
                    make(j, depth + 1);
                    break;
                }
        }
        c.alive.store(true);
        builder.Create(c);
    };
    f->alive.store(true);
    for (std::size_t i = 0; i < f->controls.size(); ++i)
        make(i, 0);
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

int RunMessageLoop()
{
    ++t_loopDepth;
    MSG msg;
    while (OpenFormCount() > 0) {
        BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0)
            break;
        HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
        bool dialogKey = false;
        if (root && (msg.message == WM_KEYDOWN || msg.message == WM_CHAR || msg.message == WM_SYSKEYDOWN)) {
            wchar_t cls[32] = {};
            GetClassNameW(root, cls, 32);
            // Tab, arrow keys and Enter move among the controls as in a dialog.
            if (lstrcmpW(cls, kFormClass) == 0)
                dialogKey = IsDialogMessageW(root, &msg) != FALSE;
        }
        if (!dialogKey) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    // The last window's going posted a quit request to wake this loop; it must not outlive the loop
    // (a later loop or pump of this thread would end at once).
    if (OpenFormCount() == 0)
        PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    --t_loopDepth;
    return 0;
}

void ProcessPendingMessages()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

int OpenFormCount()
{
    std::lock_guard<std::mutex> lock(g_registryLock);
    return static_cast<int>(std::count_if(g_forms.begin(), g_forms.end(),
                                          [](const std::shared_ptr<FormState>& f) { return f->alive.load(); }));
}

std::vector<Form> OpenForms()
{
    std::vector<Form> out;
    std::lock_guard<std::mutex> lock(g_registryLock);
    for (auto& f : g_forms)
        if (f->alive.load())
            out.emplace_back(f);
    return out;
}

Text ControlNameOf(HWND hwnd)
{
    if (!hwnd)
        return Text();
    auto atom = static_cast<ATOM>(reinterpret_cast<UINT_PTR>(GetPropA(hwnd, kNameProperty)));
    if (!atom)
        return Text();
    char buf[256] = {};
    UINT n = GlobalGetAtomNameA(atom, buf, sizeof(buf));
    return Text(buf, n);
}

namespace {
struct FindByName {
    Text name;
    HWND found = nullptr;
};
BOOL CALLBACK FindChild(HWND hwnd, LPARAM lp)
{
    auto* find = reinterpret_cast<FindByName*>(lp);
    if (ControlNameOf(hwnd) == find->name) {
        find->found = hwnd;
        return FALSE;
    }
    return TRUE;
}
}  // namespace

HWND FindControlWindow(HWND top, std::string_view name)
{
    FindByName find{Text(name)};
    EnumChildWindows(top, FindChild, reinterpret_cast<LPARAM>(&find));
    return find.found;
}

// ---------------------------------------------------------------------------------------------------
// Form

bool Form::IsOpen() const { return state_ && state_->alive.load(); }

HWND Form::Handle() const
{
    HWND h = nullptr;
    if (state_)
        InvokeOn(state_->thread, state_->alive, [&] { h = state_->hwnd; });
    return h;
}

::Control Form::Control(std::string_view name) const
{
    if (!state_)
        return ::Control();
    // The name table is complete before the window is handed out and never changes afterwards.
    auto it = state_->byName.find(name);
    if (it == state_->byName.end())
        return ::Control();
    return ::Control(it->second);
}

std::vector<Text> Form::ControlNames() const
{
    std::vector<Text> out;
    if (state_)
        for (auto& c : state_->controls)
            out.push_back(c->spec.name);
    return out;
}

Text Form::Title() const
{
    Text t;
    if (state_)
        InvokeOn(state_->thread, state_->alive, [&] { t = WindowText(state_->hwnd); });
    return t;
}

void Form::SetTitle(std::string_view title) const
{
    if (!state_)
        return;
    Text copy(title);
    InvokeOn(state_->thread, state_->alive, [&] { SetWindowTextGbk(state_->hwnd, copy); });
}

bool Form::Visible() const
{
    bool v = false;
    if (state_)
        InvokeOn(state_->thread, state_->alive, [&] { v = IsWindowVisible(state_->hwnd) != FALSE; });
    return v;
}

void Form::Show(bool on) const
{
    if (state_)
        InvokeOn(state_->thread, state_->alive, [&] { ShowWindow(state_->hwnd, on ? SW_SHOW : SW_HIDE); });
}

void Form::On(std::string_view control, Event event, EventHandler handler) const
{
    if (!state_)
        return;
    std::lock_guard<std::mutex> lock(state_->handlersLock);
    if (handler)
        state_->handlers[{Text(control), event}] = std::move(handler);
    else
        state_->handlers.erase({Text(control), event});
}

void Form::Raise(std::string_view control, Event event, EventArgs args) const
{
    if (!state_)
        return;
    Text name(control);
    InvokeOn(state_->thread, state_->alive, [&] {
        ControlState* c = nullptr;
        if (!name.empty()) {
            auto it = state_->byName.find(name);
            if (it != state_->byName.end())
                c = it->second.get();
        }
        if (c || name.empty()) {
            Fire(*state_, c, event, args);
            return;
        }
        // A menu item, named by its caption.
        EventHandler handler;
        {
            std::lock_guard<std::mutex> lock(state_->handlersLock);
            auto it = state_->handlers.find({name, event});
            if (it != state_->handlers.end())
                handler = it->second;
        }
        if (handler) {
            Form self(state_);
            args.form = &self;
            args.control = name;
            args.event = event;
            handler(args);
        }
    });
}

void Form::Close() const
{
    if (state_)
        InvokeOn(state_->thread, state_->alive, [&] { PostMessageA(state_->hwnd, WM_CLOSE, 0, 0); });
}

void Form::Destroy() const
{
    if (state_)
        InvokeOn(state_->thread, state_->alive, [&] { DestroyWindow(state_->hwnd); });
}

void Form::Popup(std::string_view menu) const { Control(menu).Popup(); }
