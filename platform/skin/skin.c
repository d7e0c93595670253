/*
 * Quovanta's skin library (SkinH_EL.dll): skins the windows of the program that loads it.
 *
 * Plain C without a C runtime; it uses kernel32, user32 and gdi32 only. The program maps it from memory
 * and calls two exports (cdecl, so any caller may push more values than they take; the caller removes
 * them):
 *
 *   int SkinH_AttachRes(const unsigned char* data, int length, const char* password, ...)
 *       Reads the skin data (format in skin_format.md), skins every window of the calling thread and
 *       every window the thread creates from then on, and repaints. Data that is not a skin of ours
 *       (or no data) takes the skin off again: the windows get their ordinary look back. Every call
 *       starts from the skin's own colours (hue and second value 0). Returns 1 when a skin is on.
 *   int SkinH_AdjustHSV(int hue, int saturation, ...)
 *       Shifts the skin's colours by `hue` degrees (-180..180) and changes their saturation by
 *       `saturation` percent (-100 grey .. 100 rich colour), then repaints every window of the process.
 *
 * How windows are skinned: each window of the thread is subclassed (its old procedure kept in a window
 * property); a thread-local CBT hook subclasses new windows as they are created. The subclass answers
 * WM_CTLCOLOR* with the skin's brushes and colours where the window itself would give the system's
 * defaults (a window that chose its own colours keeps them), fills the background of plain windows,
 * dialogs and tab controls, paints push buttons in the skin's button colours, and sets the colours of
 * list views, tree views, status bars and progress bars through their own messages. Taking the skin off
 * (bad data, or the library being unloaded) restores every window procedure and colour.
 */
#include <windows.h>
#include <commctrl.h>

/* ---------------------------------------------------------------- no C runtime: the two the compiler
 * may call on its own */
void* memset(void* target, int value, size_t count)
{
    unsigned char* p = (unsigned char*)target;
    while (count--)
        *p++ = (unsigned char)value;
    return target;
}

void* memcpy(void* target, const void* source, size_t count)
{
    unsigned char* p = (unsigned char*)target;
    const unsigned char* q = (const unsigned char*)source;
    while (count--)
        *p++ = *q++;
    return target;
}

/* ---------------------------------------------------------------- the palette */
enum {
    COLOUR_WINDOW,      /* background of windows, dialogs, tab pages, labels */
    COLOUR_TEXT,        /* text on that background */
    COLOUR_CONTROL,     /* read-only fields, status bar, progress bar background */
    COLOUR_BUTTON,      /* push button face */
    COLOUR_BUTTONTEXT,
    COLOUR_EDIT,        /* edit field background */
    COLOUR_EDITTEXT,
    COLOUR_LIST,        /* list box, list view, tree view background */
    COLOUR_LISTTEXT,
    COLOUR_BORDER,      /* push button frame */
    COLOUR_HIGHLIGHT,   /* progress bar */
    COLOUR_COUNT
};

static const char* const kColourNames[COLOUR_COUNT] = {
    "window", "text", "control", "button", "buttontext", "edit",
    "edittext", "list", "listtext", "border", "highlight",
};

/* A colour the skin data leaves out is the system's. */
static const int kSystemColours[COLOUR_COUNT] = {
    COLOR_3DFACE, COLOR_BTNTEXT, COLOR_3DFACE, COLOR_BTNFACE, COLOR_BTNTEXT, COLOR_WINDOW,
    COLOR_WINDOWTEXT, COLOR_WINDOW, COLOR_WINDOWTEXT, COLOR_3DDKSHADOW, COLOR_HIGHLIGHT,
};

#define SKIN_MAGIC_0 'Q'
#define SKIN_MAGIC_1 'S'
#define SKIN_MAGIC_2 'K'
#define SKIN_MAGIC_3 'N'
#define SKIN_VERSION 1
#define SKIN_HEADER_SIZE 8
#define SKIN_ENTRY_SIZE 16
#define SKIN_NAME_SIZE 12
#define SKIN_MAX_ENTRIES 256

static BOOL g_skinned;
static COLORREF g_palette[COLOUR_COUNT]; /* as in the skin data */
static COLORREF g_colour[COLOUR_COUNT];  /* shifted by hue and saturation */
static HBRUSH g_brush[COLOUR_COUNT];
static HBRUSH g_pushedBrush;
static COLORREF g_disabledText;
static int g_hue;
static int g_saturation;
static HHOOK g_hook;
static DWORD g_hookThread;

/* ---------------------------------------------------------------- colour arithmetic (integers only) */
static int ClampInt(int value, int low, int high) { return value < low ? low : (value > high ? high : value); }

static int Max3(int a, int b, int c) { return a > b ? (a > c ? a : c) : (b > c ? b : c); }
static int Min3(int a, int b, int c) { return a < b ? (a < c ? a : c) : (b < c ? b : c); }

/* The saturation (of 255) that the largest positive saturation change moves a colour to: about 45 %,
 * so that backgrounds stay light enough for dark text. */
#define RICH_SATURATION 115

/* Hue in tenths of a degree (0..3599), saturation and value 0..255. */
static COLORREF ShiftColour(COLORREF colour, int hue, int saturation)
{
    int r = GetRValue(colour), g = GetGValue(colour), b = GetBValue(colour);
    int v = Max3(r, g, b), delta = v - Min3(r, g, b);
    int s = v ? delta * 255 / v : 0;
    int h = 0;
    if (hue == 0 && saturation == 0)
        return colour;
    if (delta) {
        if (v == r)
            h = 600 * (g - b) / delta;
        else if (v == g)
            h = 1200 + 600 * (b - r) / delta;
        else
            h = 2400 + 600 * (r - g) / delta;
    }
    h = (h + hue * 10) % 3600;
    if (h < 0)
        h += 3600;
    if (saturation > 0) {
        /* towards a rich but still light colour; colours already richer keep theirs */
        if (s < RICH_SATURATION)
            s += (RICH_SATURATION - s) * saturation / 100;
    } else
        s = s * (100 + saturation) / 100;
    s = ClampInt(s, 0, 255);
    {
        int region = h / 600, f = h % 600;
        int p = v * (255 - s) / 255;
        int q = v * (255 * 600 - s * f) / (255 * 600);
        int t = v * (255 * 600 - s * (600 - f)) / (255 * 600);
        switch (region) {
        case 0: return RGB(v, t, p);
        case 1: return RGB(q, v, p);
        case 2: return RGB(p, v, t);
        case 3: return RGB(p, q, v);
        case 4: return RGB(t, p, v);
        default: return RGB(v, p, q);
        }
    }
}

static COLORREF Mix(COLORREF a, COLORREF b, int percentOfB)
{
    int keep = 100 - percentOfB;
    return RGB((GetRValue(a) * keep + GetRValue(b) * percentOfB) / 100,
               (GetGValue(a) * keep + GetGValue(b) * percentOfB) / 100,
               (GetBValue(a) * keep + GetBValue(b) * percentOfB) / 100);
}

static void DeleteBrushes(void)
{
    int i;
    for (i = 0; i < COLOUR_COUNT; ++i) {
        if (g_brush[i])
            DeleteObject(g_brush[i]);
        g_brush[i] = NULL;
    }
    if (g_pushedBrush)
        DeleteObject(g_pushedBrush);
    g_pushedBrush = NULL;
}

static void RebuildBrushes(void)
{
    HBRUSH old[COLOUR_COUNT];
    HBRUSH oldPushed = g_pushedBrush;
    int i;
    for (i = 0; i < COLOUR_COUNT; ++i) {
        old[i] = g_brush[i];
        g_colour[i] = ShiftColour(g_palette[i], g_hue, g_saturation);
        g_brush[i] = CreateSolidBrush(g_colour[i]);
    }
    g_pushedBrush = CreateSolidBrush(Mix(g_colour[COLOUR_BUTTON], RGB(0, 0, 0), 18));
    g_disabledText = Mix(g_colour[COLOUR_BUTTONTEXT], g_colour[COLOUR_BUTTON], 60);
    for (i = 0; i < COLOUR_COUNT; ++i) {
        if (old[i])
            DeleteObject(old[i]);
    }
    if (oldPushed)
        DeleteObject(oldPushed);
}

/* ---------------------------------------------------------------- the skin data */
static BOOL NameIs(const unsigned char* field, const char* name)
{
    int i;
    for (i = 0; i < SKIN_NAME_SIZE; ++i) {
        if (field[i] != (unsigned char)name[i])
            return FALSE;
        if (!name[i])
            return TRUE;
    }
    return name[SKIN_NAME_SIZE] == 0;
}

static BOOL ParseSkin(const unsigned char* data, int length, COLORREF* palette)
{
    unsigned count, i;
    int c;
    if (!data || length < SKIN_HEADER_SIZE || IsBadReadPtr(data, (UINT_PTR)length))
        return FALSE;
    if (data[0] != SKIN_MAGIC_0 || data[1] != SKIN_MAGIC_1 || data[2] != SKIN_MAGIC_2 || data[3] != SKIN_MAGIC_3)
        return FALSE;
    if ((data[4] | (data[5] << 8)) != SKIN_VERSION)
        return FALSE;
    count = data[6] | (data[7] << 8);
    if (count > SKIN_MAX_ENTRIES || SKIN_HEADER_SIZE + count * SKIN_ENTRY_SIZE > (unsigned)length)
        return FALSE;
    for (c = 0; c < COLOUR_COUNT; ++c)
        palette[c] = GetSysColor(kSystemColours[c]);
    for (i = 0; i < count; ++i) {
        const unsigned char* entry = data + SKIN_HEADER_SIZE + i * SKIN_ENTRY_SIZE;
        for (c = 0; c < COLOUR_COUNT; ++c) {
            if (NameIs(entry, kColourNames[c])) {
                palette[c] = RGB(entry[12], entry[13], entry[14]);
                break;
            }
        }
    }
    return TRUE;
}

/* ---------------------------------------------------------------- kinds of windows */
enum {
    KIND_SKIP,      /* left alone */
    KIND_PLAIN,     /* top-level windows, dialogs, containers: background and child colours */
    KIND_CONTROL,   /* a control that draws itself; only the colours of its own children */
    KIND_BUTTON,    /* push button, painted here */
    KIND_TAB,       /* tab control: background */
    KIND_LISTVIEW,
    KIND_TREEVIEW,
    KIND_STATUS,
    KIND_PROGRESS
};
#define KIND_MASK 0xFF
#define KIND_UNICODE 0x100

/* The windows skinned here, each with the procedure it had before ours and its kind (with KIND_UNICODE).
 * SkinProc looks its window up at every message, so the table is kept here in memory: a window property
 * would cost a round trip to the window server per message under Wine. Open addressing with linear
 * probing; a removal shifts the entries after it back, so no tombstones are needed. */
typedef struct {
    HWND hwnd;
    WNDPROC previous;
    int flags;
} Skinned;

static Skinned* g_table;
static unsigned g_capacity; /* a power of two, or 0 */
static unsigned g_count;
static CRITICAL_SECTION g_tableLock;
static volatile LONG g_tableLockReady;

static void LockTable(void)
{
    /* the lock is made once, on first use (DllMain of a mapped image runs before any export is called,
     * but the table must work whichever thread gets here first) */
    if (InterlockedCompareExchange(&g_tableLockReady, 1, 0) == 0) {
        InitializeCriticalSection(&g_tableLock);
        InterlockedExchange(&g_tableLockReady, 2);
    }
    while (g_tableLockReady != 2)
        Sleep(0);
    EnterCriticalSection(&g_tableLock);
}

static void UnlockTable(void) { LeaveCriticalSection(&g_tableLock); }

static unsigned SlotOf(HWND hwnd) { return ((unsigned)(UINT_PTR)hwnd >> 2) * 2654435761u; }

/* The entry of a window or NULL; the table must be locked. */
static Skinned* FindSkinned(HWND hwnd)
{
    unsigned i;
    if (!g_capacity)
        return NULL;
    for (i = SlotOf(hwnd) & (g_capacity - 1); g_table[i].hwnd; i = (i + 1) & (g_capacity - 1))
        if (g_table[i].hwnd == hwnd)
            return &g_table[i];
    return NULL;
}

static BOOL PutSkinned(Skinned* table, unsigned capacity, const Skinned* entry)
{
    unsigned i;
    for (i = SlotOf(entry->hwnd) & (capacity - 1); table[i].hwnd; i = (i + 1) & (capacity - 1))
        if (table[i].hwnd == entry->hwnd)
            return FALSE;
    table[i] = *entry;
    return TRUE;
}

static BOOL AddSkinned(HWND hwnd, WNDPROC previous, int flags)
{
    Skinned entry;
    BOOL added;
    entry.hwnd = hwnd;
    entry.previous = previous;
    entry.flags = flags;
    LockTable();
    if ((g_count + 1) * 2 > g_capacity) {
        unsigned capacity = g_capacity ? g_capacity * 2 : 64, i;
        Skinned* table = (Skinned*)HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, capacity * sizeof(Skinned));
        if (!table) {
            UnlockTable();
            return FALSE;
        }
        for (i = 0; i < g_capacity; ++i)
            if (g_table[i].hwnd)
                PutSkinned(table, capacity, &g_table[i]);
        if (g_table)
            HeapFree(GetProcessHeap(), 0, g_table);
        g_table = table;
        g_capacity = capacity;
    }
    added = PutSkinned(g_table, g_capacity, &entry);
    if (added)
        ++g_count;
    UnlockTable();
    return added;
}

static void RemoveSkinned(HWND hwnd)
{
    Skinned* hole;
    unsigned i, j, home;
    LockTable();
    hole = FindSkinned(hwnd);
    if (hole) {
        i = (unsigned)(hole - g_table);
        g_table[i].hwnd = NULL;
        --g_count;
        /* move back every entry of the run after the hole that may not stay behind it */
        for (j = (i + 1) & (g_capacity - 1); g_table[j].hwnd; j = (j + 1) & (g_capacity - 1)) {
            home = SlotOf(g_table[j].hwnd) & (g_capacity - 1);
            if (((j - home) & (g_capacity - 1)) >= ((j - i) & (g_capacity - 1))) {
                g_table[i] = g_table[j];
                g_table[j].hwnd = NULL;
                i = j;
            }
        }
    }
    UnlockTable();
}

/* Copies out the entry of a window; FALSE when the window is not skinned here. */
static BOOL LookUpSkinned(HWND hwnd, WNDPROC* previous, int* flags)
{
    Skinned* e;
    BOOL found = FALSE;
    LockTable();
    e = FindSkinned(hwnd);
    if (e) {
        *previous = e->previous;
        *flags = e->flags;
        found = TRUE;
    }
    UnlockTable();
    return found;
}

static BOOL IsSkinned(HWND hwnd)
{
    WNDPROC previous;
    int flags;
    return LookUpSkinned(hwnd, &previous, &flags);
}

static int SkinnedKind(HWND hwnd)
{
    WNDPROC previous;
    int flags = 0;
    LookUpSkinned(hwnd, &previous, &flags);
    return flags & KIND_MASK;
}

static const char kPropSaved[] = "QuovantaSkin.Saved";
static const char kPropBack[] = "QuovantaSkin.Back";
static const char kPropFore[] = "QuovantaSkin.Fore";
static const char kPropTextBack[] = "QuovantaSkin.TextBack";

static BOOL ClassIs(const char* className, const char* name) { return lstrcmpiA(className, name) == 0; }

static BOOL ClassStarts(const char* className, const char* prefix)
{
    while (*prefix) {
        char a = *className++, b = *prefix++;
        if (a >= 'A' && a <= 'Z')
            a = (char)(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z')
            b = (char)(b - 'A' + 'a');
        if (a != b)
            return FALSE;
    }
    return TRUE;
}

static int KindOf(HWND hwnd)
{
    static const char* const skipped[] = {
        "tooltips_class32", "#32768", "IME", "MSCTFIME UI", "ComboLBox", "ScrollBar", "SysHeader32",
        "Shell Embedding", "Shell DocObject View", "Internet Explorer_Server", "OleMainThreadWndClass",
        "msctls_updown32",
    };
    static const char* const controls[] = {
        "Static", "Edit", "ListBox", "ComboBox", "ComboBoxEx32", "msctls_trackbar32", "msctls_hotkey32",
        "SysDateTimePick32", "SysMonthCal32", "SysAnimate32", "SysIPAddress32", "SysLink", "ReBarWindow32",
        "ToolbarWindow32", "SysPager", "RichEdit", "RichEdit20A", "RichEdit20W", "RICHEDIT50W",
    };
    char className[64];
    unsigned i;
    LONG style;
    if (!GetClassNameA(hwnd, className, sizeof(className)))
        return KIND_SKIP;
    for (i = 0; i < sizeof(skipped) / sizeof(skipped[0]); ++i) {
        if (ClassIs(className, skipped[i]))
            return KIND_SKIP;
    }
    if (ClassStarts(className, "ATL:") || ClassStarts(className, "AtlAxWin"))
        return KIND_SKIP;
    if (ClassIs(className, "Button")) {
        style = GetWindowLongA(hwnd, GWL_STYLE);
        if ((style & BS_TYPEMASK) <= BS_DEFPUSHBUTTON && !(style & (BS_BITMAP | BS_ICON)))
            return KIND_BUTTON;
        return KIND_CONTROL;
    }
    if (ClassIs(className, WC_TABCONTROLA))
        return KIND_TAB;
    if (ClassIs(className, WC_LISTVIEWA))
        return KIND_LISTVIEW;
    if (ClassIs(className, WC_TREEVIEWA))
        return KIND_TREEVIEW;
    if (ClassIs(className, STATUSCLASSNAMEA))
        return KIND_STATUS;
    if (ClassIs(className, PROGRESS_CLASSA))
        return KIND_PROGRESS;
    for (i = 0; i < sizeof(controls) / sizeof(controls[0]); ++i) {
        if (ClassIs(className, controls[i]))
            return KIND_CONTROL;
    }
    return KIND_PLAIN;
}

/* ---------------------------------------------------------------- colours of the common controls */
static void SaveColour(HWND hwnd, const char* prop, COLORREF colour) { SetPropA(hwnd, prop, (HANDLE)(UINT_PTR)colour); }
static COLORREF SavedColour(HWND hwnd, const char* prop) { return (COLORREF)(UINT_PTR)GetPropA(hwnd, prop); }

static void ApplyControlColours(HWND hwnd, int kind)
{
    switch (kind) {
    case KIND_LISTVIEW:
        if (!GetPropA(hwnd, kPropSaved)) {
            SaveColour(hwnd, kPropBack, (COLORREF)SendMessageA(hwnd, LVM_GETBKCOLOR, 0, 0));
            SaveColour(hwnd, kPropFore, (COLORREF)SendMessageA(hwnd, LVM_GETTEXTCOLOR, 0, 0));
            SaveColour(hwnd, kPropTextBack, (COLORREF)SendMessageA(hwnd, LVM_GETTEXTBKCOLOR, 0, 0));
            SetPropA(hwnd, kPropSaved, (HANDLE)1);
        }
        SendMessageA(hwnd, LVM_SETBKCOLOR, 0, (LPARAM)g_colour[COLOUR_LIST]);
        SendMessageA(hwnd, LVM_SETTEXTBKCOLOR, 0, (LPARAM)g_colour[COLOUR_LIST]);
        SendMessageA(hwnd, LVM_SETTEXTCOLOR, 0, (LPARAM)g_colour[COLOUR_LISTTEXT]);
        break;
    case KIND_TREEVIEW:
        SetPropA(hwnd, kPropSaved, (HANDLE)1);
        SendMessageA(hwnd, TVM_SETBKCOLOR, 0, (LPARAM)g_colour[COLOUR_LIST]);
        SendMessageA(hwnd, TVM_SETTEXTCOLOR, 0, (LPARAM)g_colour[COLOUR_LISTTEXT]);
        break;
    case KIND_STATUS:
        SetPropA(hwnd, kPropSaved, (HANDLE)1);
        SendMessageA(hwnd, SB_SETBKCOLOR, 0, (LPARAM)g_colour[COLOUR_CONTROL]);
        break;
    case KIND_PROGRESS:
        SetPropA(hwnd, kPropSaved, (HANDLE)1);
        SendMessageA(hwnd, PBM_SETBKCOLOR, 0, (LPARAM)g_colour[COLOUR_CONTROL]);
        SendMessageA(hwnd, PBM_SETBARCOLOR, 0, (LPARAM)g_colour[COLOUR_HIGHLIGHT]);
        break;
    default:
        return;
    }
    InvalidateRect(hwnd, NULL, TRUE);
}

static void RestoreControlColours(HWND hwnd, int kind)
{
    if (!GetPropA(hwnd, kPropSaved))
        return;
    switch (kind) {
    case KIND_LISTVIEW:
        SendMessageA(hwnd, LVM_SETBKCOLOR, 0, (LPARAM)SavedColour(hwnd, kPropBack));
        SendMessageA(hwnd, LVM_SETTEXTBKCOLOR, 0, (LPARAM)SavedColour(hwnd, kPropTextBack));
        SendMessageA(hwnd, LVM_SETTEXTCOLOR, 0, (LPARAM)SavedColour(hwnd, kPropFore));
        break;
    case KIND_TREEVIEW:
        SendMessageA(hwnd, TVM_SETBKCOLOR, 0, (LPARAM)-1);
        SendMessageA(hwnd, TVM_SETTEXTCOLOR, 0, (LPARAM)-1);
        break;
    case KIND_STATUS:
        SendMessageA(hwnd, SB_SETBKCOLOR, 0, (LPARAM)CLR_DEFAULT);
        break;
    case KIND_PROGRESS:
        SendMessageA(hwnd, PBM_SETBKCOLOR, 0, (LPARAM)CLR_DEFAULT);
        SendMessageA(hwnd, PBM_SETBARCOLOR, 0, (LPARAM)CLR_DEFAULT);
        break;
    }
    RemovePropA(hwnd, kPropSaved);
    RemovePropA(hwnd, kPropBack);
    RemovePropA(hwnd, kPropFore);
    RemovePropA(hwnd, kPropTextBack);
    InvalidateRect(hwnd, NULL, TRUE);
}

/* ---------------------------------------------------------------- painting */
static void FillClient(HWND hwnd, HDC dc, HBRUSH brush)
{
    RECT rect;
    GetClientRect(hwnd, &rect);
    FillRect(dc, &rect, brush);
}

static void PaintButton(HWND hwnd, HDC dc)
{
    RECT rect, textRect;
    WCHAR text[512];
    LONG style = GetWindowLongA(hwnd, GWL_STYLE);
    LRESULT state = SendMessageA(hwnd, BM_GETSTATE, 0, 0);
    BOOL pushed = (state & BST_PUSHED) != 0;
    BOOL focused = GetFocus() == hwnd;
    BOOL enabled = IsWindowEnabled(hwnd);
    HFONT font = (HFONT)SendMessageA(hwnd, WM_GETFONT, 0, 0);
    HGDIOBJ oldFont;
    UINT format = DT_CENTER | DT_VCENTER | DT_SINGLELINE;

    GetClientRect(hwnd, &rect);
    FillRect(dc, &rect, pushed ? g_pushedBrush : g_brush[COLOUR_BUTTON]);
    FrameRect(dc, &rect, g_brush[COLOUR_BORDER]);
    if ((style & BS_TYPEMASK) == BS_DEFPUSHBUTTON) {
        RECT inner = rect;
        InflateRect(&inner, -1, -1);
        FrameRect(dc, &inner, g_brush[COLOUR_BORDER]);
    }
    /* The caption in its wide form: no conversion through the ANSI code page can lose a character. */
    text[0] = 0;
    GetWindowTextW(hwnd, text, sizeof(text) / sizeof(text[0]));
    oldFont = SelectObject(dc, font ? (HGDIOBJ)font : GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, enabled ? g_colour[COLOUR_BUTTONTEXT] : g_disabledText);
    textRect = rect;
    InflateRect(&textRect, -3, -2);
    if (pushed)
        OffsetRect(&textRect, 1, 1);
    if (style & BS_MULTILINE)
        format = DT_CENTER | DT_WORDBREAK;
    DrawTextW(dc, text, -1, &textRect, format);
    if (focused) {
        RECT focus = rect;
        InflateRect(&focus, -3, -3);
        DrawFocusRect(dc, &focus);
    }
    SelectObject(dc, oldFont);
}

static void PaintButtonNow(HWND hwnd)
{
    HDC dc;
    if (!IsWindow(hwnd) || !IsWindowVisible(hwnd))
        return;
    dc = GetDC(hwnd);
    if (dc) {
        PaintButton(hwnd, dc);
        ReleaseDC(hwnd, dc);
    }
}

/* Messages after which the system's button procedure may have drawn the button in its own colours. */
static BOOL ChangesButtonLook(HWND hwnd, UINT message)
{
    switch (message) {
    case WM_SETFOCUS: case WM_KILLFOCUS: case WM_ENABLE: case WM_SETTEXT: case WM_SETFONT:
    case BM_SETSTATE: case BM_SETCHECK: case BM_SETSTYLE: case BM_CLICK:
    case WM_LBUTTONDOWN: case WM_LBUTTONUP: case WM_LBUTTONDBLCLK: case WM_KEYDOWN: case WM_KEYUP:
    case WM_CAPTURECHANGED: case WM_UPDATEUISTATE: case WM_MOUSELEAVE:
        return TRUE;
    case WM_MOUSEMOVE:
        return GetCapture() == hwnd;
    default:
        return FALSE;
    }
}

/* The window gave the system's own colours: no brush, or one of the system colour brushes. */
static BOOL IsDefaultBrush(LRESULT brush)
{
    int i;
    if (!brush)
        return TRUE;
    for (i = 0; i <= COLOR_MENUBAR; ++i) {
        if ((HBRUSH)brush == GetSysColorBrush(i))
            return TRUE;
    }
    return FALSE;
}

static BOOL IsDefaultTextColour(COLORREF colour)
{
    return colour == GetSysColor(COLOR_WINDOWTEXT) || colour == GetSysColor(COLOR_BTNTEXT);
}

static LRESULT SkinColours(UINT message, HDC dc, HWND control)
{
    int back = COLOUR_WINDOW, fore = COLOUR_TEXT;
    char className[16];
    switch (message) {
    case WM_CTLCOLOREDIT:
        back = COLOUR_EDIT, fore = COLOUR_EDITTEXT;
        break;
    case WM_CTLCOLORLISTBOX:
        back = COLOUR_LIST, fore = COLOUR_LISTTEXT;
        break;
    case WM_CTLCOLORSTATIC:
        /* read-only and disabled edit fields ask as statics */
        if (control && GetClassNameA(control, className, sizeof(className)) && ClassIs(className, "Edit"))
            back = COLOUR_CONTROL;
        break;
    }
    if (IsDefaultTextColour(GetTextColor(dc)))
        SetTextColor(dc, g_colour[fore]);
    SetBkColor(dc, g_colour[back]);
    return (LRESULT)g_brush[back];
}

/* ---------------------------------------------------------------- subclassing */
static LRESULT SkinProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, BOOL unicode);
static LRESULT CALLBACK SkinProcA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return SkinProc(hwnd, message, wParam, lParam, FALSE);
}
static LRESULT CALLBACK SkinProcW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return SkinProc(hwnd, message, wParam, lParam, TRUE);
}

static void Subclass(HWND hwnd)
{
    int kind;
    BOOL unicode;
    LONG_PTR previous;
    if (IsSkinned(hwnd) || GetWindowThreadProcessId(hwnd, NULL) != GetCurrentThreadId())
        return;
    kind = KindOf(hwnd);
    if (kind == KIND_SKIP)
        return;
    unicode = IsWindowUnicode(hwnd);
    previous = unicode ? GetWindowLongPtrW(hwnd, GWLP_WNDPROC) : GetWindowLongPtrA(hwnd, GWLP_WNDPROC);
    if (!previous)
        return;
    if (!AddSkinned(hwnd, (WNDPROC)previous, kind | (unicode ? KIND_UNICODE : 0)))
        return;
    if (unicode)
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, (LONG_PTR)SkinProcW);
    else
        SetWindowLongPtrA(hwnd, GWLP_WNDPROC, (LONG_PTR)SkinProcA);
}

/* Gives the window its own procedure back. When another subclass was put on top of ours it cannot be
 * taken out of the chain; it then stays (and keeps passing everything on) unless the window is going. */
static void Unsubclass(HWND hwnd, BOOL destroying)
{
    WNDPROC previous = NULL;
    int flags = 0;
    BOOL unicode;
    LONG_PTR current;
    if (!LookUpSkinned(hwnd, &previous, &flags) || !previous)
        return;
    unicode = (flags & KIND_UNICODE) != 0;
    if (destroying) {
        /* the control's own procedure has already let go of its data: no more messages to it */
        RemovePropA(hwnd, kPropSaved);
        RemovePropA(hwnd, kPropBack);
        RemovePropA(hwnd, kPropFore);
        RemovePropA(hwnd, kPropTextBack);
    } else {
        RestoreControlColours(hwnd, flags & KIND_MASK);
    }
    current = unicode ? GetWindowLongPtrW(hwnd, GWLP_WNDPROC) : GetWindowLongPtrA(hwnd, GWLP_WNDPROC);
    if (current == (LONG_PTR)(unicode ? SkinProcW : SkinProcA)) {
        if (unicode)
            SetWindowLongPtrW(hwnd, GWLP_WNDPROC, (LONG_PTR)previous);
        else
            SetWindowLongPtrA(hwnd, GWLP_WNDPROC, (LONG_PTR)previous);
    } else if (!destroying) {
        return;
    }
    RemoveSkinned(hwnd);
}

static LRESULT SkinProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, BOOL unicode)
{
    WNDPROC previous = NULL;
    int flags = 0, kind;
    LRESULT result;
    LookUpSkinned(hwnd, &previous, &flags);
    kind = flags & KIND_MASK;
    if (!previous)
        return unicode ? DefWindowProcW(hwnd, message, wParam, lParam) : DefWindowProcA(hwnd, message, wParam, lParam);
#define CALL_PREVIOUS() (unicode ? CallWindowProcW(previous, hwnd, message, wParam, lParam) \
                                 : CallWindowProcA(previous, hwnd, message, wParam, lParam))
    switch (message) {
    case WM_NCDESTROY:
        result = CALL_PREVIOUS();
        Unsubclass(hwnd, TRUE);
        return result;
    case WM_CTLCOLORMSGBOX: case WM_CTLCOLOREDIT: case WM_CTLCOLORLISTBOX: case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG: case WM_CTLCOLORSTATIC:
        result = CALL_PREVIOUS();
        if (g_skinned && IsDefaultBrush(result))
            result = SkinColours(message, (HDC)wParam, (HWND)lParam);
        return result;
    case WM_ERASEBKGND:
        if (g_skinned && (kind == KIND_TAB || kind == KIND_BUTTON ||
                          (kind == KIND_PLAIN && GetClassLongPtrA(hwnd, GCLP_HBRBACKGROUND)))) {
            if (kind != KIND_BUTTON)
                FillClient(hwnd, (HDC)wParam, g_brush[COLOUR_WINDOW]);
            return 1;
        }
        break;
    case WM_PAINT:
        if (g_skinned && kind == KIND_BUTTON) {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(hwnd, &paint);
            if (dc)
                PaintButton(hwnd, dc);
            EndPaint(hwnd, &paint);
            return 0;
        }
        break;
    case WM_PRINTCLIENT:
        if (g_skinned && kind == KIND_BUTTON) {
            PaintButton(hwnd, (HDC)wParam);
            return 0;
        }
        break;
    case WM_CREATE:
        result = CALL_PREVIOUS();
        if (g_skinned && result != -1)
            ApplyControlColours(hwnd, kind);
        return result;
    }
    result = CALL_PREVIOUS();
    if (g_skinned && kind == KIND_BUTTON && ChangesButtonLook(hwnd, message))
        PaintButtonNow(hwnd);
    return result;
#undef CALL_PREVIOUS
}

/* ---------------------------------------------------------------- windows of the process */
typedef void (*WindowAction)(HWND hwnd);

static BOOL CALLBACK ChildVisit(HWND hwnd, LPARAM action)
{
    ((WindowAction)action)(hwnd);
    return TRUE;
}

static BOOL CALLBACK TopLevelVisit(HWND hwnd, LPARAM action)
{
    DWORD process = 0;
    GetWindowThreadProcessId(hwnd, &process);
    if (process == GetCurrentProcessId()) {
        ((WindowAction)action)(hwnd);
        EnumChildWindows(hwnd, ChildVisit, action); /* every descendant */
    }
    return TRUE;
}

static void ForEachWindow(WindowAction action) { EnumWindows(TopLevelVisit, (LPARAM)action); }

static void SkinWindow(HWND hwnd)
{
    Subclass(hwnd);
    if (IsSkinned(hwnd))
        ApplyControlColours(hwnd, SkinnedKind(hwnd));
}

static void RecolourWindow(HWND hwnd)
{
    if (IsSkinned(hwnd))
        ApplyControlColours(hwnd, SkinnedKind(hwnd));
}

static void UnskinWindow(HWND hwnd) { Unsubclass(hwnd, FALSE); }

static BOOL CALLBACK RepaintVisit(HWND hwnd, LPARAM unused)
{
    DWORD process = 0;
    GetWindowThreadProcessId(hwnd, &process);
    if (process == GetCurrentProcessId())
        RedrawWindow(hwnd, NULL, NULL, RDW_ALLCHILDREN | RDW_ERASE | RDW_INVALIDATE | RDW_FRAME);
    return TRUE;
}

static void RepaintAll(void) { EnumWindows(RepaintVisit, 0); }

static LRESULT CALLBACK CreationHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND && g_skinned)
        Subclass((HWND)wParam);
    return CallNextHookEx(g_hook, code, wParam, lParam);
}

static void RemoveHook(void)
{
    if (g_hook)
        UnhookWindowsHookEx(g_hook);
    g_hook = NULL;
    g_hookThread = 0;
}

static void InstallHook(void)
{
    DWORD thread = GetCurrentThreadId();
    if (g_hook && g_hookThread == thread)
        return;
    RemoveHook();
    g_hook = SetWindowsHookExA(WH_CBT, CreationHook, NULL, thread);
    if (g_hook)
        g_hookThread = thread;
}

static void TakeSkinOff(void)
{
    BOOL wasSkinned = g_skinned;
    RemoveHook();
    g_skinned = FALSE;
    ForEachWindow(UnskinWindow);
    if (wasSkinned)
        RepaintAll();
}

/* ---------------------------------------------------------------- exports */
int __cdecl SkinH_AttachRes(const unsigned char* data, int length, const char* password)
{
    COLORREF palette[COLOUR_COUNT];
    int i;
    (void)password; /* skins of ours are not locked */
    if (!ParseSkin(data, length, palette)) {
        TakeSkinOff();
        return 0;
    }
    for (i = 0; i < COLOUR_COUNT; ++i)
        g_palette[i] = palette[i];
    g_hue = 0;
    g_saturation = 0;
    RebuildBrushes();
    g_skinned = TRUE;
    InstallHook();
    ForEachWindow(SkinWindow);
    RepaintAll();
    return 1;
}

int __cdecl SkinH_AdjustHSV(int hue, int saturation)
{
    g_hue = ClampInt(hue, -180, 180);
    g_saturation = ClampInt(saturation, -100, 100);
    if (!g_skinned)
        return 0;
    RebuildBrushes();
    ForEachWindow(RecolourWindow);
    RepaintAll();
    return 1;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)instance;
    (void)reserved;
    if (reason == DLL_PROCESS_DETACH) {
        /* nothing of ours may stay behind in the windows once this memory is gone */
        TakeSkinOff();
        DeleteBrushes();
        if (g_table) {
            HeapFree(GetProcessHeap(), 0, g_table);
            g_table = NULL;
            g_capacity = g_count = 0;
        }
        if (g_tableLockReady == 2)
            DeleteCriticalSection(&g_tableLock);
    }
    return TRUE;
}
