#pragma once
// Windows built from layout tables, controls addressed by name, events bound by (control, event).
//
// A window is declared as a `WindowLayout`: its title, place and size, and one `ControlSpec` per
// control (kind, name, caption, place and size, parent, visibility, enabled state, items, columns,
// ranges). `LoadForm` creates the window and every control on the real Win32 controls of the calling
// thread, raises the window's Created event and shows it. The calling thread becomes the window
// thread: it must run `RunMessageLoop` (or pump messages) for the window to live.
//
// A loaded window is a `Form`; each of its controls is reached by name as a `Control`:
//
//     Form form = LoadForm(MainWindowLayout(), MainWindowEvents());
//     Control list = form.Control("成交信息");
//     list.InsertRow(0, "1");
//
// Handles are cheap to copy and can be used from any thread. Every read and write runs on the window
// thread. From another thread (a worker), a read or a call that returns a value is carried there by
// SendMessage and waits for it; a write without a result (SetText, SetCell, ...) is queued for the
// window thread and returns at once. Each thread's calls keep their order: a read sees every write the
// same thread made before it, and a raw SendMessage the worker makes to a control window afterwards
// arrives after its queued writes (the queue's wake-up travels as a sent message too). Once the
// window has been destroyed its controls are dead: reads give the empty value (empty text, 0, -1,
// false) and writes do nothing; a dead control never touches a window handle again, so a worker that
// outlives its window cannot write into a window that reused the handle. A name that the window does
// not have gives a control that is dead from the start.
//
// Positions are in pixels. A window's place is that of its outer frame and its size that of its client
// area, the area its controls are laid out in: the frame and caption come on top of it, as the window's
// styles (and a skin) make them. A control's place is relative to the client area of its parent: the
// window, a tab page (the page area of the tab control) or a group box. A tab control whose page area
// is too small for the controls declared on its pages grows until they fit, and the window's client area
// with it. A status bar always lies along the bottom of its parent, as status bars do. Labels wrap their
// lines.
//
// Every control window carries its name in the window property "ControlName": a global atom of the
// GBK name (GlobalAddAtomA), so that a tool in another process can find the control. Top-level windows
// carry their titles. Windowless controls (timer, pop-up menu, file dialog, database control) have no
// window and no property.
//
// Events: one handler per (control name, event); the window's own events use the empty name. A handler
// runs on the window thread with the event's arguments. Menu items are named by their captions and
// raise Click.
#include "runtime/datetime.h"
#include "runtime/pending_messages.h"
#include "runtime/text.h"

#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include <windows.h>
#include <commctrl.h>

enum class ControlKind {
    TabControl,        // 选择夹 / 高级选择夹: pages with captions (the items); other controls sit on its pages
    Button,
    SuperButton,       // a push button whose caption may hold line breaks ("\r\n")
    Label,             // may carry a background picture under its caption
    TransparentLabel,  // only its text is drawn; the background under it shows through
    EditBox,
    ComboBox,          // drop-down list: choosing from the items only
    ListBox,
    ListView,          // report mode with columns
    DatePicker,
    ProgressBar,
    Slider,
    StatusBar,         // parts with texts
    Timer,             // windowless; interval in ms, 0 stops it
    GroupBox,          // other controls may sit inside it
    CheckBox,
    PictureBox,        // a picture from bytes: JPEG, GIF, BMP
    PopupMenu,         // windowless; its items (named by their captions) raise Click
    FileDialog,        // windowless; the save-file dialog with title, filter and default extension
    Browser,           // the embedded WebBrowser control
    Database,          // windowless; a slot that holds the database engine of the export
};

enum class Event {
    Created,           // the window: all controls exist, before it is shown
    Destroyed,         // the window: it is going away; its controls can still be read
    Click,             // buttons, check boxes, labels, picture boxes, list views, menu items
    LeftButtonDown,    // any control window: x, y, keys
    RightButton,       // right button released (list views: right click): x, y, keys
    DoubleClick,       // list views and list boxes
    SelectionChanged,  // combo box, list box, tab control (index = new selection or page)
    DateChanged,       // date picker
    PositionChanged,   // slider (index = new position)
    Tick,              // timer
    ColumnClick,       // list view (column = 0-based column index)
    FocusGained,       // edit box gets the input focus
    TextChanged,       // edit box text changed by the user or the program
};

class Form;

struct EventArgs {
    Form* form = nullptr;  // the window that raised the event
    Text control;          // the control's name; empty for the window
    Event event = Event::Click;
    int x = 0, y = 0;      // mouse events: cursor position in the control's client coordinates
    int keys = 0;          // mouse events: the MK_ flags of the buttons and keys held
    int column = -1;       // ColumnClick
    int index = -1;        // SelectionChanged / PositionChanged: the new selection, page or position
};

using EventHandler = std::function<void(const EventArgs&)>;

struct Bounds {
    int left = 0, top = 0, width = 0, height = 0;
    bool operator==(const Bounds&) const = default;
};

struct ColumnSpec {
    Text title;
    int width = 50;  // 0: the column holds data but is not seen (and cannot be dragged open)
};

// One control of a layout. Build it with the kind's function below and the chained setters:
//     ui::Button("成交量", "获取成交信息", {10, 10, 100, 25}).In("选择夹1", 0).Disable()
struct ControlSpec {
    ControlKind kind = ControlKind::Label;
    Text name;
    Text caption;               // caption or text; a browser's first address; a file dialog's title
    Bounds bounds;
    Text parent;                // empty: the window; else a tab control or group box of the same layout
    int page = 0;               // the page when the parent is a tab control
    bool visible = true;
    bool enabled = true;
    TextArray items;            // combo / list box items, tab page captions, menu item captions
    std::vector<ColumnSpec> columns;  // list view
    int rows = 0;               // list view: empty rows created with it
    IntArray parts;             // status bar: part widths, -1 for "the rest"
    int minimum = 0, maximum = 100, position = 0;  // progress bar, slider
    int interval = 0;           // timer, ms; 0 = stopped
    int selection = -1;         // combo / list box selection, tab control page
    bool checked = false;       // check box
    bool isDefault = false;     // button: the default push button
    bool stretch = false;       // picture box / label picture: stretch to the control instead of natural size
    bool silent = false;        // browser: no script-error dialogs
    Text filter;                // file dialog: "description|*.ext|..." or a bare pattern such as "*.xls"
    Text defaultExtension;      // file dialog: "xls"
    Text fontName;              // a font of its own ("宋体"); empty: the window's font
    ByteSet picture;            // picture box / label: the picture's file bytes

    ControlSpec& In(std::string_view parentName, int pageIndex = 0);
    ControlSpec& Hide();
    ControlSpec& Disable();
    ControlSpec& Items(TextArray list);
    ControlSpec& Select(int index);
    ControlSpec& Range(int low, int high, int pos);
    ControlSpec& Check(bool on = true);
    ControlSpec& Default(bool on = true);
    ControlSpec& Font(std::string_view face);
    ControlSpec& Picture(ByteSet bytes, bool stretchIt = false);
};

// The layout builders, one per kind (in a namespace of their own: their names are common words).
namespace ui {
ControlSpec Tab(std::string_view name, Bounds b, TextArray pages);
ControlSpec Button(std::string_view name, std::string_view caption, Bounds b);
ControlSpec SuperButton(std::string_view name, std::string_view caption, Bounds b);
ControlSpec Label(std::string_view name, std::string_view caption, Bounds b);
ControlSpec TransparentLabel(std::string_view name, std::string_view caption, Bounds b);
ControlSpec EditBox(std::string_view name, std::string_view text, Bounds b);
ControlSpec ComboBox(std::string_view name, Bounds b, TextArray items = {});
ControlSpec ListBox(std::string_view name, Bounds b, TextArray items = {});
ControlSpec ListView(std::string_view name, Bounds b, std::vector<ColumnSpec> columns, int rows = 0);
ControlSpec DatePicker(std::string_view name, Bounds b);
ControlSpec ProgressBar(std::string_view name, Bounds b, int low = 0, int high = 100, int pos = 0);
ControlSpec Slider(std::string_view name, Bounds b, int low = 0, int high = 100, int pos = 0);
ControlSpec StatusBar(std::string_view name, Bounds b, IntArray partWidths);
ControlSpec Timer(std::string_view name, int intervalMs = 0);
ControlSpec GroupBox(std::string_view name, std::string_view caption, Bounds b);
ControlSpec CheckBox(std::string_view name, std::string_view caption, Bounds b, bool checked = false);
ControlSpec PictureBox(std::string_view name, Bounds b);
ControlSpec PopupMenu(std::string_view name, TextArray itemCaptions);
ControlSpec FileDialog(std::string_view name, std::string_view title, std::string_view filter,
                       std::string_view defaultExtension);
ControlSpec Browser(std::string_view name, Bounds b);
ControlSpec Database(std::string_view name);
}  // namespace ui

struct WindowLayout {
    Text title;
    Bounds bounds;
    bool visible = true;        // false: the window is created and stays hidden
    std::vector<ControlSpec> controls;
    WindowLayout& Add(ControlSpec spec);
};

struct EventBinding {
    Text control;               // empty: the window itself
    Event event;
    EventHandler handler;
};
using EventTable = std::vector<EventBinding>;

struct ControlState;
struct FormState;

// A control of a loaded window. A default-constructed Control is dead.
class Control {
public:
    Control() = default;
    explicit Control(std::shared_ptr<ControlState> state) : state_(std::move(state)) {}

    bool IsAlive() const;       // false once its window is destroyed (or for an unknown name)
    Text Name() const;
    ControlKind Kind() const;
    // The real control window (nullptr for windowless or dead controls). Use it on the window thread;
    // a handle kept after the window is gone may name another window.
    HWND Handle() const;
    HMENU MenuHandle() const;   // pop-up menus

    // Caption or text: window text of buttons, labels, edit boxes, group boxes, check boxes; the
    // current item of combo and list boxes; part 0 of a status bar; the address of a browser (writing
    // navigates); the title of a file dialog.
    Text GetText() const;
    void SetText(std::string_view text) const;

    bool Visible() const;
    void SetVisible(bool on) const;
    bool Enabled() const;
    void SetEnabled(bool on) const;
    Bounds GetBounds() const;   // relative to the parent's client area
    void Move(int left, int top) const;
    void SetBounds(Bounds b) const;

    // Items of combo boxes, list boxes, tab pages and menus.
    int ItemCount() const;
    Text Item(int index) const;              // empty when out of range
    TextArray Items() const;
    int AddItem(std::string_view text) const; // the new index, -1 on failure
    void InsertItem(int index, std::string_view text) const;
    void RemoveItem(int index) const;
    void ClearItems() const;
    void SetItems(const TextArray& items) const;

    // Current selection: combo / list box item, tab page, first selected list-view row; -1 when none.
    // Setting it selects (or with -1 clears); it does not raise SelectionChanged.
    int Selection() const;
    void SetSelection(int index) const;

    bool Checked() const;
    void SetChecked(bool on) const;
    bool IsDefault() const;
    void SetDefault(bool on) const;

    // Slider and progress bar.
    int Position() const;
    void SetPosition(int pos) const;
    int Minimum() const;
    int Maximum() const;
    void SetRange(int low, int high) const;

    // Timer: the interval in ms; 0 stops it.
    int Interval() const;
    void SetInterval(int ms) const;

    // Status bar parts.
    Text PartText(int part) const;
    void SetPartText(int part, std::string_view text) const;

    // Date picker value as an OLE date (0 for a dead control).
    DateTime Date() const;
    void SetDate(DateTime value) const;

    // Picture box (and label background): JPEG, GIF or BMP bytes; empty bytes clear the picture.
    // False when the bytes are not a picture (the picture is then cleared).
    bool SetPicture(const ByteSet& bytes) const;
    bool HasPicture() const;
    SIZE PictureSize() const;   // {0, 0} without a picture

    // Browser: the address last navigated to (also when the browser engine is missing).
    Text Address() const;
    void Navigate(std::string_view address) const;
    void SetSilent(bool on) const;
    bool BrowserReady() const;  // true when the WebBrowser control was created

    // File dialog: asks for a file to save through the file-dialog seam, proposing `fileName`.
    // True with the chosen path, false (and `fileName` unchanged) when cancelled.
    bool AskSaveFile(Text& fileName) const;

    // Pop-up menu: shows it at the mouse cursor (window thread; the chosen item raises Click).
    void Popup() const;

    // List view (report mode). Rows and columns are 0-based; out-of-range reads give the empty text
    // and out-of-range writes do nothing.
    int RowCount() const;
    int ColumnCount() const;
    int InsertRow(int position, std::string_view text) const;  // position -1 or past the end appends
    int AddRow(std::string_view text) const;
    int InsertRowCells(int position, const TextArray& cells) const;  // all cells of a row in one call
    void DeleteRow(int row) const;
    void ClearRows() const;
    Text Cell(int row, int column) const;
    void SetCell(int row, int column, std::string_view text) const;
    TextArray RowCells(int row) const;
    void SetRowImage(int row, int image) const;

    // Batches of rows: each is one step on the window thread with the list's repainting held back
    // and one repaint at its end, however many rows it writes (see runtime/window_thread.h). A row is
    // given as its cells, cell 0 the row's own text; cells past the list's columns are left out,
    // missing ones stay empty.
    // Inserts `rows` as consecutive rows from `position` (-1 or past the end: appended), rows[0] at
    // `position`. Returns how many rows the list took.
    int InsertRows(int position, const std::vector<TextArray>& rows) const;
    // Replaces all rows by `rows`.
    void SetRows(const std::vector<TextArray>& rows) const;
    // Every cell of every row (as many cells as the list has columns), read in one step.
    std::vector<TextArray> AllRows() const;
    // The cells of one column, top to bottom, read in one step.
    TextArray ColumnCells(int column) const;
    void SetImageList(HIMAGELIST list) const;  // small images of column 0; the control owns it
    Text ColumnTitle(int column) const;
    int ColumnWidth(int column) const;

    // A slot for an object that belongs to the control (the database control's engine).
    void SetData(std::shared_ptr<void> data) const;
    std::shared_ptr<void> Data() const;

    const std::shared_ptr<ControlState>& State() const { return state_; }

private:
    std::shared_ptr<ControlState> state_;
};

// A loaded window. A default-constructed Form is closed.
class Form {
public:
    Form() = default;
    explicit Form(std::shared_ptr<FormState> state) : state_(std::move(state)) {}

    bool IsOpen() const;
    HWND Handle() const;        // nullptr once destroyed
    ::Control Control(std::string_view name) const;
    std::vector<Text> ControlNames() const;
    Text Title() const;
    void SetTitle(std::string_view title) const;
    bool Visible() const;
    void Show(bool on = true) const;

    // Binds (or with an empty handler unbinds) the handler of one event of one control.
    void On(std::string_view control, Event event, EventHandler handler) const;
    // Runs the bound handler (if any) on the window thread as if the event had happened.
    void Raise(std::string_view control, Event event, EventArgs args = {}) const;

    // Requests the close; it happens when the window thread next handles its messages.
    void Close() const;
    // Destroys the window now (carried to the window thread).
    void Destroy() const;

    // Shows a pop-up menu of this window at the cursor.
    void Popup(std::string_view menu) const;

    const std::shared_ptr<FormState>& State() const { return state_; }
    bool operator==(const Form& other) const { return state_ == other.state_; }

private:
    std::shared_ptr<FormState> state_;
};

// Creates the window and its controls on the calling thread (which becomes its window thread), binds the
// handlers, raises Created and shows the window unless the layout keeps it hidden. No owner, not modal.
Form LoadForm(const WindowLayout& layout, const EventTable& events = {});

// Runs the message loop of the calling thread until the last window of the program is gone. Returns 0.
int RunMessageLoop();
// (ProcessPendingMessages, runtime/pending_messages.h, handles what waits without a loop.)

// The windows of the program that are still open.
int OpenFormCount();
std::vector<Form> OpenForms();

// The control window's name from its "ControlName" property; empty when it has none.
Text ControlNameOf(HWND hwnd);
// The first descendant of `top` whose "ControlName" is `name`; nullptr when none.
HWND FindControlWindow(HWND top, std::string_view name);

// An image list made from picture bytes (JPEG, GIF, BMP), each picture scaled to width x height;
// pictures that cannot be read become blank images. For Control::SetImageList.
HIMAGELIST MakeImageList(int width, int height, const std::vector<ByteSet>& pictures);
