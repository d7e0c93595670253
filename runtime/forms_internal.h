#pragma once
// Inner state of forms and controls, shared by the sources of the forms runtime (not for other code).
//
// Threading: every field below except `alive`, `thread` and the constant spec is read and written only
// on the window thread. Other threads reach the window thread through its invoker window (a
// message-only window that lives as long as the thread): a call that returns something is sent to it
// (InvokeOn, SendMessage); a write without a result is put in the thread's queue and the invoker is
// woken with SendNotifyMessage (QueueForControl). Every call first runs what is queued, so each thread's
// calls keep their order. `alive` is checked again on the window thread before anything runs, and it
// only turns false on the window thread, so nothing ever runs against a destroyed window.
#include "runtime/forms.h"
#include "runtime/redraw_hold.h"

#include <atomic>
#include <map>
#include <string>
#include <mutex>
#include <unordered_map>

struct BrowserSite;

struct ControlState {
    ControlSpec spec;                 // as declared (kind, name, filter, ...)
    std::weak_ptr<FormState> form;
    FormState* formRaw = nullptr;     // valid while alive
    DWORD thread = 0;
    std::atomic<bool> alive{false};
    HWND hwnd = nullptr;              // the control window; nullptr for windowless kinds
    int id = 0;                       // control id (WM_COMMAND)
    WNDPROC previousProc = nullptr;   // the control window's own procedure, behind ControlProc
    std::vector<HWND> pages;          // tab control: one page window per tab
    HMENU menu = nullptr;             // pop-up menu
    std::vector<UINT> menuIds;        // command id of each menu item
    UINT_PTR timerId = 0;
    int interval = 0;
    int lastPosition = 0;             // slider: position last reported
    HBITMAP picture = nullptr;        // picture box / label background
    SIZE pictureSize{0, 0};
    Text address;                     // browser: last address it was told to show
    BrowserSite* browser = nullptr;
    std::shared_ptr<void> data;       // database engine and the like
    HFONT ownFont = nullptr;          // a font of the control's own (spec.fontName)
    bool redrawHeld = false;          // list view: a hold of its repainting for a worker's burst of writes
    bool hiddenHold = false;          // list view or list box: held for as long as it is hidden
    DWORD heldSince = 0;
};

struct FormState : std::enable_shared_from_this<FormState> {
    WindowLayout layout;
    HWND hwnd = nullptr;
    DWORD thread = 0;
    std::atomic<bool> alive{false};
    std::vector<std::shared_ptr<ControlState>> controls;
    std::map<Text, std::shared_ptr<ControlState>, std::less<>> byName;
    std::unordered_map<HWND, ControlState*> byHwnd;
    std::map<std::pair<Text, Event>, EventHandler> handlers;  // guarded by handlersLock
    std::mutex handlersLock;
    std::map<UINT_PTR, ControlState*> timers;
    std::map<UINT, std::pair<ControlState*, int>> menuCommands;  // command id -> (menu, item index)
    bool comInitialised = false;
};

namespace forms_detail {

// Runs `fn` on the window thread of `thread` (directly when that is the calling thread). False when the
// thread has no invoker window; `stillAlive` is checked on the window thread before `fn` runs.
bool InvokeOn(DWORD thread, const std::atomic<bool>& stillAlive, const std::function<void()>& fn);

// Runs `fn` for a live control on its window thread and waits for it; false (nothing run) when the
// control is dead. Writes queued before it by any thread run first.
bool WithControl(const std::shared_ptr<ControlState>& c, const std::function<void(ControlState&)>& fn);

// A write without a result: on the window thread it runs at once; from another thread it is queued for
// the window thread (in order, after the writes queued before it) and the call returns. It is dropped
// when the control is dead by the time its turn comes.
void QueueForControl(const std::shared_ptr<ControlState>& c, std::function<void(ControlState&)> fn);

// Raises an event of a control (or of the window when `c` is null) on the window thread.
void Fire(FormState& form, ControlState* c, Event event, EventArgs args);
// Raises an event under a name that is no control's: a menu item, named by its caption.
void FireNamed(FormState& form, const Text& name, Event event, EventArgs args);

// Child-window messages that a container (window, tab page, group box, list view) passes on:
// WM_COMMAND, WM_NOTIFY, WM_HSCROLL, WM_VSCROLL, WM_CTLCOLOR*. True when handled (result set).
bool HandleContainerMessage(FormState& form, HWND container, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);

// True when `thread` is a window thread of this runtime (it has an invoker window).
bool HasInvoker(DWORD thread);
// Makes the calling thread's invoker window, once, before its first window.
void EnsureInvoker();

// The window classes of this runtime (registered once, with the common controls, by
// RegisterWindowClasses) and the procedure put in front of every control window's own.
inline constexpr wchar_t kFormClass[] = L"QuovantaForm";
inline constexpr wchar_t kPageClass[] = L"QuovantaPage";
inline constexpr wchar_t kPictureClass[] = L"QuovantaPicture";
inline constexpr wchar_t kBrowserHostClass[] = L"QuovantaBrowserHost";
void RegisterWindowClasses();
LRESULT CALLBACK ControlProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

// The window property that carries a control window's name (a global atom).
inline constexpr char kNameProperty[] = "ControlName";

// The registry of open windows. A window is registered once made and leaves it in its WM_NCDESTROY;
// UnregisterOpenForm hands back the registry's reference, for the caller to release.
void RegisterOpenForm(std::shared_ptr<FormState> form);
std::shared_ptr<FormState> UnregisterOpenForm(const FormState* form);
// Called as a window goes: ends the thread's RunMessageLoop once no window of the program is open.
void QuitLoopAfterLastWindow();

// Shows the page `index` of a tab control and hides the others.
void ShowPage(ControlState& tab, int index);

// A list view's rows and cells in report mode (controls_list_view.cpp), window thread. A cell out of
// range reads as the empty text; InsertListRow appends at -1 or past the end and gives the new row's
// index (-1 when the list takes none); SelectRow with a row out of range leaves no row selected.
int ListRows(HWND list);
int ListColumns(HWND list);
Text CellText(const ControlState& c, int row, int column);
int InsertListRow(HWND list, int position, const Text& text);
int FirstSelected(HWND list);
void SelectRow(HWND list, int row);

// (The holds of a control window's repainting are counted in runtime/redraw_hold.h.)

// A hidden list view or list box is not redrawn at all until it is shown: it keeps a hold of its own
// from the moment it is hidden (or created hidden) to the moment it is shown. (Under Wine every
// change to a hidden list view re-lays out its scroll bars: some 2 ms, against some 10 us for a shown
// one.) Window thread.
void HoldWhileHidden(ControlState& c, bool hidden);

// List views written by a worker: repainting (and the scroll-bar updates of every insertion) is held
// back while the worker's calls keep coming and resumes a tenth of a second later, so that the list
// shows the rows as they arrive some ten times a second. Window thread only; nothing happens for calls
// made on the window thread itself.
void HoldRedrawForWorker(ControlState& c);
void ResumeRedraw(ControlState& c);

// Sizes (window_fit.cpp). A window's size in its layout is that of its client area; a tab control's
// pages hold the controls declared on them. FrameForClientArea gives the frame of a window of these
// styles around a client area (for creating it); FitTabsToPages grows each tab control whose page area
// is smaller than its pages' controls need; FitClientArea sizes the frame, measured on the window, so
// that the client area is the layout's size or holds its tab controls where they grew beyond it (run
// once the controls exist and again whenever the frame changes, as a skin may change it);
// PlaceTabPages lays the page windows over the tab control's page area.
RECT FrameForClientArea(int left, int top, int width, int height, DWORD style, DWORD exStyle);
void FitTabsToPages(FormState& f);
void FitClientArea(FormState& f);
void PlaceTabPages(const ControlState& tab);

// Labels (label_text.cpp): their texts wrapped at the label's width, by the advance each character is
// drawn with, and drawn in the colours the parent gives a static control.
void DrawLabelText(HDC dc, const Text& text, const RECT& area);
void PaintLabel(ControlState& c, HWND hwnd, HDC dc);  // dc null: in WM_PAINT

HFONT DefaultFont();
HFONT FontNamed(const Text& face);

// Pictures (picture.cpp): a 32-bit top-down DIB section from JPEG, GIF or BMP bytes; nullptr when the
// bytes are not a picture.
HBITMAP DecodePicture(const ByteSet& bytes, SIZE& size);
void PaintPicture(HDC dc, const RECT& area, HBITMAP bmp, SIZE size, bool stretch);

// Browser (browser.cpp).
BrowserSite* CreateBrowser(HWND host);
void BrowserNavigate(BrowserSite* site, const Text& address);
void BrowserSetSilent(BrowserSite* site, bool on);
void BrowserResize(BrowserSite* site, int width, int height);
void DestroyBrowser(BrowserSite* site);

// Window texts and menu captions. Windows of this runtime are Unicode windows and their texts go
// through the wide calls, converted from and to the ANSI code page (Widen, Narrow: runtime/text.h),
// as the A calls do on Windows. Wine's window manager converts the texts of ANSI windows, and menu
// texts, with a code page of its own that is not always the ANSI one (UTF-8 under a WoW64 Wine), which
// would garble GBK.
using ::Narrow;
using ::Widen;
Text WindowText(HWND hwnd);
void SetWindowTextGbk(HWND hwnd, const Text& text);

}  // namespace forms_detail
