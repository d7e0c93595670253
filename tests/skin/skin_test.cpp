// Skin attachment: the calls it makes (through a recording stand-in library built here) and what the
// real skin library does to the windows of the program.
#include "helpers/skin.h"
#include "skin/recording_skin_library.h"
#include "resources/resources.h"

#include <gtest/gtest.h>
#include <commctrl.h>

#include <climits>
#include <memory>
#include <string>
#include <vector>

namespace {

uint32_t Value(const void* pointer) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer)); }

class SkinCalls : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetRecordedSkinCalls();
        image_ = RecordingSkinLibrary(true);
        SetSkinLibraryImageForTesting(image_.data());
    }
    void TearDown() override { SetSkinLibraryImageForTesting(nullptr); }
    std::vector<uint8_t> image_;
};

}  // namespace

TEST_F(SkinCalls, HueAndSecondValueAreKeptWithinBounds)
{
    const ByteSet data = {1, 2, 3, 4, 5};
    const struct {
        int hue, second, passedHue, passedSecond;
    } cases[] = {
        {181, 0, 180, 0},     {-181, 0, -180, 0},   {0, 101, 0, 100},     {0, -101, 0, -100},
        {180, 100, 180, 100}, {-180, -100, -180, -100}, {-37, 55, -37, 55}, {INT_MAX, INT_MIN, 180, -100},
    };
    for (const auto& c : cases) {
        AttachSkinFromMemory(data, c.hue, c.second);
        EXPECT_EQ(static_cast<int32_t>(RecordedAdjustArgs[0]), c.passedHue) << c.hue;
        EXPECT_EQ(static_cast<int32_t>(RecordedAdjustArgs[1]), c.passedSecond) << c.second;
        EXPECT_EQ(RecordedAttachArgs[0], Value(data.data()));
        EXPECT_EQ(RecordedAttachArgs[1], 5u);
        EXPECT_EQ(RecordedAttachArgs[2], 0u);  // the empty password
    }
    EXPECT_EQ(RecordedAttachCalls, 8);
    EXPECT_EQ(RecordedAdjustCalls, 8);
}

TEST_F(SkinCalls, OneMappingServesEveryCall)
{
    AttachSkinFromMemory(ByteSet{7}, 10, 0);
    MemoryModule* first = SkinModule;
    ASSERT_NE(first, nullptr);
    AttachSkinFromMemory(ByteSet{7}, 20, 0);
    AdjustSkinHsv(30, 5);
    EXPECT_EQ(SkinModule, first);
    EXPECT_EQ(RecordedEntryCalls[DLL_PROCESS_ATTACH], 1);
    EXPECT_EQ(RecordedEntryCalls[DLL_PROCESS_DETACH], 0);
    EXPECT_EQ(RecordedAttachCalls, 2);
    EXPECT_EQ(RecordedAdjustCalls, 3);
    EXPECT_EQ(static_cast<int32_t>(RecordedAdjustArgs[0]), 30);
    EXPECT_EQ(static_cast<int32_t>(RecordedAdjustArgs[1]), 5);
}

TEST_F(SkinCalls, EmptySkinDataIsPassedAsNothing)
{
    AttachSkinFromMemory(ByteSet{}, 0, 0);
    EXPECT_EQ(RecordedAttachArgs[0], 0u);
    EXPECT_EQ(RecordedAttachArgs[1], 0u);
    EXPECT_EQ(RecordedAttachArgs[2], 0u);
    EXPECT_EQ(GetByteSetDataAddress(ByteSet{}), nullptr);
    EXPECT_EQ(GetVariableAddress(Text()), nullptr);
    const Text text = "x";
    EXPECT_EQ(GetVariableAddress(text), text.c_str());
}

// A library that cannot be mapped or lacks an export: nothing is called, nothing fails, and a later
// call maps again.
TEST_F(SkinCalls, MissingLibraryOrExportIsSkipped)
{
    const std::vector<uint8_t> garbage(4096, 0x5A);
    SetSkinLibraryImageForTesting(garbage.data());
    AttachSkinFromMemory(ByteSet{1}, 5, 5);
    AdjustSkinHsv(5, 5);
    EXPECT_EQ(SkinModule, nullptr);
    EXPECT_EQ(RecordedAttachCalls + RecordedAdjustCalls, 0);

    const std::vector<uint8_t> attachOnly = RecordingSkinLibrary(false);
    SetSkinLibraryImageForTesting(attachOnly.data());
    AttachSkinFromMemory(ByteSet{1}, 5, 5);
    EXPECT_NE(SkinModule, nullptr);
    EXPECT_EQ(RecordedAttachCalls, 1);
    EXPECT_EQ(RecordedAdjustCalls, 0);
}

namespace {
volatile uint32_t g_received[10];

uint32_t __cdecl CdeclThree(uint32_t a, uint32_t b, uint32_t c)
{
    g_received[0] = a;
    g_received[1] = b;
    g_received[2] = c;
    return a + b + c;
}
uint32_t __stdcall StdcallTwo(uint32_t a, uint32_t b)
{
    g_received[0] = a;
    g_received[1] = b;
    return a * b;
}
uint32_t __stdcall StdcallTen(uint32_t a, uint32_t b, uint32_t c, uint32_t d, uint32_t e, uint32_t f, uint32_t g,
                              uint32_t h, uint32_t i, uint32_t j)
{
    const uint32_t all[] = {a, b, c, d, e, f, g, h, i, j};
    for (int k = 0; k < 10; ++k)
        g_received[k] = all[k];
    return 99;
}
uint32_t __cdecl NoArguments() { return 7; }

uint32_t StackPointer()
{
    uint32_t esp;
    __asm__ volatile("movl %%esp, %0" : "=r"(esp));
    return esp;
}
}  // namespace

// Ten stacked values reach every kind of callee in order, and the caller's stack pointer is the same
// afterwards whether the callee removed none, some or all of them.
TEST(CallExportWithStackArgs, WorksWhoeverRemovesTheArguments)
{
    const struct {
        const void* function;
        int received;
        uint32_t result;
    } cases[] = {
        {reinterpret_cast<const void*>(&CdeclThree), 3, 1 + 2 + 3},
        {reinterpret_cast<const void*>(&StdcallTwo), 2, 1 * 2},
        {reinterpret_cast<const void*>(&StdcallTen), 10, 99},
        {reinterpret_cast<const void*>(&NoArguments), 0, 7},
    };
    for (const auto& c : cases) {
        for (auto& r : g_received)
            r = 0;
        const uint32_t before = StackPointer();
        const uint32_t result = CallExportWithStackArgs(c.function, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
        const uint32_t after = StackPointer();
        EXPECT_EQ(after, before);
        EXPECT_EQ(result, c.result);
        for (int k = 0; k < c.received; ++k)
            EXPECT_EQ(g_received[k], static_cast<uint32_t>(k + 1));
    }
    EXPECT_EQ(CallExportWithStackArgs(reinterpret_cast<const void*>(&NoArguments), {}), 7u);
    EXPECT_EQ(CallExportWithStackArgs(nullptr, {1}), 0u);
}

// ------------------------------------------------------------------ the real skin library on windows
namespace {

// The colour `name` of skin data in our format.
COLORREF SkinColour(const ByteSet& data, const char* name)
{
    const unsigned count = data[6] | (data[7] << 8);
    for (unsigned i = 0; i < count; ++i) {
        const unsigned char* entry = &data[8 + 16 * i];
        if (std::string(reinterpret_cast<const char*>(entry), strnlen(reinterpret_cast<const char*>(entry), 12)) == name)
            return RGB(entry[12], entry[13], entry[14]);
    }
    ADD_FAILURE() << "no colour " << name;
    return 0;
}

ByteSet SkinData(const std::vector<std::pair<std::string, COLORREF>>& colours)
{
    ByteSet data = {'Q', 'S', 'K', 'N', 1, 0, static_cast<unsigned char>(colours.size()), 0};
    for (const auto& [name, colour] : colours) {
        ByteSet entry(16, 0);
        std::copy(name.begin(), name.end(), entry.begin());
        entry[12] = GetRValue(colour), entry[13] = GetGValue(colour), entry[14] = GetBValue(colour);
        data.insert(data.end(), entry.begin(), entry.end());
    }
    return data;
}

COLORREF BrushColour(HBRUSH brush)
{
    LOGBRUSH log = {};
    GetObjectA(brush, sizeof(log), &log);
    return log.lbColor;
}

// A small memory canvas for the messages that paint.
struct Canvas {
    Canvas()
    {
        HDC screen = GetDC(nullptr);
        dc = CreateCompatibleDC(screen);
        bitmap = CreateCompatibleBitmap(screen, 200, 60);
        ReleaseDC(nullptr, screen);
        old = SelectObject(dc, bitmap);
        RECT all = {0, 0, 200, 60};
        FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    }
    ~Canvas()
    {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ old;
};

struct ControlColours {
    COLORREF brush, text, back;
};

ControlColours AskColours(HWND parent, UINT message, HWND control)
{
    Canvas canvas;
    SetTextColor(canvas.dc, GetSysColor(COLOR_WINDOWTEXT));
    auto brush = reinterpret_cast<HBRUSH>(SendMessageA(parent, message, reinterpret_cast<WPARAM>(canvas.dc),
                                                       reinterpret_cast<LPARAM>(control)));
    return {BrushColour(brush), GetTextColor(canvas.dc), GetBkColor(canvas.dc)};
}

COLORREF ErasedColour(HWND hwnd)
{
    Canvas canvas;
    SendMessageA(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(canvas.dc), 0);
    return GetPixel(canvas.dc, 10, 10);
}

COLORREF ButtonFace(HWND button)
{
    Canvas canvas;
    SendMessageA(button, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.dc), PRF_CLIENT);
    return GetPixel(canvas.dc, 6, 6);
}

HBRUSH g_ownStaticBrush;

LRESULT CALLBACK OwnColoursProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CTLCOLORSTATIC) {
        SetTextColor(reinterpret_cast<HDC>(wParam), RGB(200, 0, 0));
        return reinterpret_cast<LRESULT>(g_ownStaticBrush);
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

class RealSkin : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        INITCOMMONCONTROLSEX init = {sizeof(init), ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&init);
        WNDCLASSA plain = {};
        plain.lpfnWndProc = DefWindowProcA;
        plain.hInstance = GetModuleHandleA(nullptr);
        plain.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        plain.lpszClassName = "QuovantaSkinTestPlain";
        RegisterClassA(&plain);
        WNDCLASSA own = plain;
        own.lpfnWndProc = OwnColoursProc;
        own.lpszClassName = "QuovantaSkinTestOwnColours";
        RegisterClassA(&own);
        g_ownStaticBrush = CreateSolidBrush(RGB(1, 2, 3));
    }

    void SetUp() override
    {
        SetSkinLibraryImageForTesting(nullptr);
        window = CreateWindowExA(0, "QuovantaSkinTestPlain", "skin test", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr,
                                 nullptr, nullptr, nullptr);
        label = Child("Static", "label", 0, 10, 10);
        edit = Child("Edit", "text", WS_BORDER, 10, 40);
        button = Child("Button", "OK", BS_PUSHBUTTON, 10, 70);
        list = Child(WC_LISTVIEWA, "", LVS_REPORT, 10, 110);
        originalProc = GetWindowLongPtrA(window, GWLP_WNDPROC);
        originalListBack = static_cast<COLORREF>(SendMessageA(list, LVM_GETBKCOLOR, 0, 0));
    }

    void TearDown() override
    {
        SetSkinLibraryImageForTesting(nullptr);  // unmaps: the library takes itself off the windows
        DestroyWindow(window);
    }

    HWND Child(const char* className, const char* text, DWORD style, int x, int y)
    {
        return CreateWindowExA(0, className, text, WS_CHILD | WS_VISIBLE | style, x, y, 100, 30, window, nullptr,
                               nullptr, nullptr);
    }

    HWND window = nullptr, label = nullptr, edit = nullptr, button = nullptr, list = nullptr;
    LONG_PTR originalProc = 0;
    COLORREF originalListBack = 0;
};

}  // namespace

TEST_F(RealSkin, CarriedSkinColoursTheWindows)
{
    const ByteSet& skin = CarriedSkinData();
    ASSERT_EQ(skin.size(), EmbeddedSkinData_size);
    AttachSkinFromMemory(skin, 0, 0);
    ASSERT_NE(SkinModule, nullptr);

    EXPECT_EQ(AskColours(window, WM_CTLCOLOREDIT, edit).brush, SkinColour(skin, "edit"));
    EXPECT_EQ(AskColours(window, WM_CTLCOLORSTATIC, label).brush, SkinColour(skin, "window"));
    EXPECT_EQ(static_cast<COLORREF>(SendMessageA(list, LVM_GETBKCOLOR, 0, 0)), SkinColour(skin, "list"));
    EXPECT_EQ(static_cast<COLORREF>(SendMessageA(list, LVM_GETTEXTCOLOR, 0, 0)), SkinColour(skin, "listtext"));

    // Windows made after the attach are skinned as they are created.
    HWND later = CreateWindowExA(0, "QuovantaSkinTestPlain", "later", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                                 nullptr, nullptr, nullptr);
    const std::unique_ptr<HWND__, decltype(&DestroyWindow)> laterGone(later, &DestroyWindow);
    HWND laterEdit = CreateWindowExA(0, "Edit", "", WS_CHILD, 0, 0, 50, 20, later, nullptr, nullptr, nullptr);
    EXPECT_EQ(AskColours(later, WM_CTLCOLOREDIT, laterEdit).brush, SkinColour(skin, "edit"));

    const ControlColours editColours = AskColours(window, WM_CTLCOLOREDIT, edit);
    EXPECT_EQ(editColours.back, SkinColour(skin, "edit"));
    EXPECT_EQ(editColours.text, SkinColour(skin, "edittext"));
    EXPECT_EQ(AskColours(window, WM_CTLCOLORSTATIC, label).text, SkinColour(skin, "text"));
    EXPECT_EQ(ErasedColour(window), SkinColour(skin, "window"));
    EXPECT_EQ(ErasedColour(later), SkinColour(skin, "window"));
    EXPECT_EQ(ButtonFace(button), SkinColour(skin, "button"));
}

// The hue turns every colour round the colour circle, the second value moves it towards grey or full
// colour; a slider move (a new attach with another hue) changes the colours again.
TEST_F(RealSkin, HueAndSaturationShiftTheColours)
{
    const ByteSet skin = SkinData({{"window", RGB(255, 0, 0)}, {"edit", RGB(0, 0, 200)}, {"button", RGB(0, 128, 0)}});
    const struct {
        int hue, second;
        COLORREF window, edit, button;
    } cases[] = {
        {0, 0, RGB(255, 0, 0), RGB(0, 0, 200), RGB(0, 128, 0)},
        {120, 0, RGB(0, 255, 0), RGB(200, 0, 0), RGB(0, 0, 128)},
        {-120, 0, RGB(0, 0, 255), RGB(0, 200, 0), RGB(128, 0, 0)},
        {181, 0, RGB(0, 255, 255), RGB(200, 200, 0), RGB(128, 0, 128)},  // kept at 180
        {0, -100, RGB(255, 255, 255), RGB(200, 200, 200), RGB(128, 128, 128)},
        {0, 100, RGB(255, 0, 0), RGB(0, 0, 200), RGB(0, 128, 0)},  // already richer than the rich colour
    };
    for (const auto& c : cases) {
        AttachSkinFromMemory(skin, c.hue, c.second);
        EXPECT_EQ(AskColours(window, WM_CTLCOLORSTATIC, label).brush, c.window) << c.hue << "/" << c.second;
        EXPECT_EQ(AskColours(window, WM_CTLCOLOREDIT, edit).brush, c.edit) << c.hue << "/" << c.second;
    }
    // A light colour gets richer with a positive second value but stays light.
    const ByteSet pastel = SkinData({{"window", RGB(200, 200, 255)}});
    for (const auto& [second, expected] : {std::pair{50, RGB(170, 170, 255)}, std::pair{100, RGB(140, 140, 255)},
                                           std::pair{-100, RGB(255, 255, 255)}}) {
        AttachSkinFromMemory(pastel, 0, second);
        EXPECT_EQ(AskColours(window, WM_CTLCOLORSTATIC, label).brush, expected) << second;
    }
    // Colours the skin data leaves out are the system's.
    AttachSkinFromMemory(skin, 0, 0);
    EXPECT_EQ(AskColours(window, WM_CTLCOLORLISTBOX, nullptr).brush, GetSysColor(COLOR_WINDOW));

    for (const auto& c : cases) {
        AttachSkinFromMemory(skin, c.hue, c.second);
        EXPECT_EQ(ErasedColour(window), c.window) << c.hue << "/" << c.second;
        EXPECT_EQ(ButtonFace(button), c.button) << c.hue << "/" << c.second;
    }
}

TEST_F(RealSkin, DataThatIsNoSkinKeepsTheOrdinaryLook)
{
    const ByteSet& skin = CarriedSkinData();
    AttachSkinFromMemory(skin, 0, 0);
    ASSERT_EQ(AskColours(window, WM_CTLCOLOREDIT, edit).brush, SkinColour(skin, "edit"));

    ByteSet badMagic = skin;
    badMagic[0] = 'X';
    ByteSet badVersion = skin;
    badVersion[4] = 2;
    ByteSet truncated(skin.begin(), skin.end() - 1);
    ByteSet tooMany = skin;
    tooMany[7] = 0x10;  // 4096 entries
    ByteSet empty;
    for (const ByteSet* bad : {&badMagic, &badVersion, &truncated, &tooMany, &empty}) {
        AttachSkinFromMemory(skin, 0, 0);
        AttachSkinFromMemory(*bad, 40, 0);
        EXPECT_EQ(AskColours(window, WM_CTLCOLOREDIT, edit).brush, GetSysColor(COLOR_WINDOW));
        EXPECT_EQ(ErasedColour(window), GetSysColor(COLOR_BTNFACE));
        EXPECT_EQ(static_cast<COLORREF>(SendMessageA(list, LVM_GETBKCOLOR, 0, 0)), originalListBack);
        EXPECT_EQ(GetWindowLongPtrA(window, GWLP_WNDPROC), originalProc);
    }

    // Every prefix of a skin and scrambled entries: no crash, and a skin again afterwards.
    for (size_t length = 0; length <= skin.size(); ++length)
        AttachSkinFromMemory(ByteSet(skin.begin(), skin.begin() + length), 0, 0);
    ByteSet scrambled = skin;
    for (size_t i = 8; i < scrambled.size(); ++i)
        scrambled[i] = static_cast<unsigned char>(i * 37 + 11);
    AttachSkinFromMemory(scrambled, 0, 0);
    AttachSkinFromMemory(skin, 0, 0);
    EXPECT_EQ(AskColours(window, WM_CTLCOLOREDIT, edit).brush, SkinColour(skin, "edit"));
}

TEST_F(RealSkin, WindowWithItsOwnColoursKeepsThem)
{
    HWND own = CreateWindowExA(0, "QuovantaSkinTestOwnColours", "own", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                               nullptr, nullptr, nullptr);
    HWND ownLabel = CreateWindowExA(0, "Static", "x", WS_CHILD, 0, 0, 50, 20, own, nullptr, nullptr, nullptr);
    AttachSkinFromMemory(CarriedSkinData(), 0, 0);
    const ControlColours colours = AskColours(own, WM_CTLCOLORSTATIC, ownLabel);
    EXPECT_EQ(colours.brush, RGB(1, 2, 3));
    EXPECT_EQ(colours.text, RGB(200, 0, 0));
    DestroyWindow(own);
}

// The updater's way of calling: ten stacked values, the export taking three.
TEST_F(RealSkin, AttachToleratesTenStackedValues)
{
    AdjustSkinHsv(0, 0);  // maps the library
    ASSERT_NE(SkinModule, nullptr);
    const void* attach = reinterpret_cast<const void*>(GetMemoryModuleExport(SkinModule, "SkinH_AttachRes"));
    ASSERT_NE(attach, nullptr);
    const ByteSet& skin = CarriedSkinData();
    EXPECT_EQ(CallExportWithStackArgs(attach, {Value(skin.data()), static_cast<uint32_t>(skin.size()), 0, 0, 0, 0, 0, 0, 0, 0}), 1u);
    EXPECT_EQ(AskColours(window, WM_CTLCOLOREDIT, edit).brush, SkinColour(skin, "edit"));
}

TEST_F(RealSkin, UnmappingGivesTheWindowsBack)
{
    AttachSkinFromMemory(CarriedSkinData(), 30, 0);
    ASSERT_NE(GetWindowLongPtrA(window, GWLP_WNDPROC), originalProc);
    SetSkinLibraryImageForTesting(nullptr);
    EXPECT_EQ(GetWindowLongPtrA(window, GWLP_WNDPROC), originalProc);
    EXPECT_EQ(AskColours(window, WM_CTLCOLOREDIT, edit).brush, GetSysColor(COLOR_WINDOW));
    EXPECT_EQ(ButtonFace(button), GetSysColor(COLOR_BTNFACE));  // drawn by its own procedure again
    EXPECT_EQ(static_cast<COLORREF>(SendMessageA(list, LVM_GETBKCOLOR, 0, 0)), originalListBack);
    // And new windows are left alone.
    HWND later = CreateWindowExA(0, "QuovantaSkinTestPlain", "later", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                                 nullptr, nullptr, nullptr);
    EXPECT_EQ(GetWindowLongPtrA(later, GWLP_WNDPROC), originalProc);
    DestroyWindow(later);
}
