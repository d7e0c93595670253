// The message pump and the browser right-click filter.
#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "helpers/message_pump.h"

namespace {

const char kBrowserClass[] = "Internet Explorer_Server";

// Mouse-button and WM_APP messages that reached a window of ours.
struct Received {
    HWND hwnd;
    UINT message;
};
std::vector<Received> g_received;

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_APP || (message >= WM_LBUTTONDOWN && message <= WM_MBUTTONDBLCLK))
        g_received.push_back({hwnd, message});
    return DefWindowProcA(hwnd, message, w, l);
}

bool Got(HWND hwnd, UINT message) {
    for (const Received& r : g_received)
        if (r.hwnd == hwnd && r.message == message) return true;
    return false;
}

void RegisterRecordingClass(const char* name) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = RecordingProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = name;
    RegisterClassA(&wc);
}

// A shown top-level window with, side by side, a browser pane (a window of the browser's class),
// a pane of another class, a pane whose class name only begins with the browser's, and an edit box.
// (Window classes ignore letter case, so no class can differ from the browser's in case alone.)
class Panes : public ::testing::Test {
public:
    void SetUp() override {
        RegisterRecordingClass("QuovantaPumpFrame");
        RegisterRecordingClass(kBrowserClass);
        RegisterRecordingClass("QuovantaOtherPane");
        RegisterRecordingClass("Internet Explorer_Server1");
        HINSTANCE instance = GetModuleHandleA(nullptr);
        frame = CreateWindowA("QuovantaPumpFrame", "pump test", WS_POPUP | WS_VISIBLE, 100, 100, 400, 100, nullptr,
                              nullptr, instance, nullptr);
        browser = CreateWindowA(kBrowserClass, "", WS_CHILD | WS_VISIBLE, 0, 0, 100, 100, frame, nullptr, instance,
                                nullptr);
        other = CreateWindowA("QuovantaOtherPane", "", WS_CHILD | WS_VISIBLE, 100, 0, 100, 100, frame, nullptr,
                              instance, nullptr);
        longerName = CreateWindowA("Internet Explorer_Server1", "", WS_CHILD | WS_VISIBLE, 200, 0, 100, 100, frame,
                                   nullptr, instance, nullptr);
        edit = CreateWindowA("EDIT", "", WS_CHILD | WS_VISIBLE | WS_BORDER, 300, 0, 100, 100, frame, nullptr, instance,
                             nullptr);
        ASSERT_TRUE(frame && browser && other && longerName && edit);
        SetForegroundWindow(frame);
        Drain();
        g_received.clear();
    }
    void TearDown() override {
        DestroyWindow(frame);
        Drain();
    }

    // Takes every pending message, letting late arrivals of the window system come in.
    static void Drain() {
        for (int i = 0; i < 5; ++i) {
            PumpPendingMessages();
            Sleep(20);
        }
    }

    HWND frame = nullptr, browser = nullptr, other = nullptr, longerName = nullptr, edit = nullptr;
};

using PumpMessagesIfInputPendingTest = Panes;

TEST_F(PumpMessagesIfInputPendingTest, DispatchesNothingWithoutPendingInput) {
    ASSERT_FALSE(GetInputState());
    PumpMessagesIfInputPending();  // an empty queue
    PostMessageA(frame, WM_APP, 0, 0);
    PumpMessagesIfInputPending();
    EXPECT_TRUE(g_received.empty());

    PumpPendingMessages();
    EXPECT_TRUE(Got(frame, WM_APP));
}

TEST_F(PumpMessagesIfInputPendingTest, DispatchesEverythingPendingWhenInputWaits) {
    SetFocus(other);
    PostMessageA(frame, WM_APP, 0, 0);
    INPUT keys[2] = {};
    keys[0].type = keys[1].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = keys[1].ki.wVk = 'A';
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    ASSERT_EQ(SendInput(2, keys, sizeof(INPUT)), 2u);
    for (int i = 0; i < 50 && !GetInputState(); ++i) Sleep(10);
    ASSERT_TRUE(GetInputState());

    PumpMessagesIfInputPending();

    EXPECT_TRUE(Got(frame, WM_APP));
    EXPECT_FALSE(GetInputState());
}

TEST_F(PumpMessagesIfInputPendingTest, LeavesTheQuitMessageInTheQueue) {
    PostMessageA(frame, WM_APP, 0, 0);
    PostQuitMessage(3);
    PostMessageA(frame, WM_APP, 0, 0);

    PumpPendingMessages();

    EXPECT_EQ(g_received.size(), 2u);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 3u);
}

using BrowserRightClickFilterTest = Panes;

TEST_F(BrowserRightClickFilterTest, SwallowsOnlyTheRightReleaseWhileABrowserPaneHasTheFocus) {
    struct Case {
        HWND Panes::*focus;  // nullptr: no window has the focus
        int code;
        UINT message;
        LRESULT expected;  // 1 swallowed; 0 what the (empty) rest of the hook chain gives
    } cases[] = {
        {&Panes::browser, HC_ACTION, WM_RBUTTONUP, 1},
        {&Panes::browser, HC_NOREMOVE, WM_RBUTTONUP, 1},
        {&Panes::browser, HC_ACTION, WM_RBUTTONDOWN, 0},
        {&Panes::browser, HC_ACTION, WM_LBUTTONUP, 0},
        {&Panes::browser, HC_ACTION, WM_MOUSEMOVE, 0},
        {&Panes::browser, -1, WM_RBUTTONUP, 0},  // negative codes go on untouched
        {&Panes::edit, HC_ACTION, WM_RBUTTONUP, 0},
        {&Panes::other, HC_ACTION, WM_RBUTTONUP, 0},
        {&Panes::longerName, HC_ACTION, WM_RBUTTONUP, 0},
        {nullptr, HC_ACTION, WM_RBUTTONUP, 0},
    };
    for (const Case& c : cases) {
        HWND focus = c.focus ? this->*c.focus : nullptr;
        SetFocus(focus);
        ASSERT_EQ(GetFocus(), focus);
        MOUSEHOOKSTRUCT data = {};
        data.hwnd = browser;
        SCOPED_TRACE(testing::Message() << "code " << c.code << " message " << std::hex << c.message << " focus "
                                        << focus);
        EXPECT_EQ(BrowserRightClickFilter(c.code, c.message, reinterpret_cast<LPARAM>(&data)), c.expected);
        EXPECT_EQ(BrowserMouseHookProc(c.code, c.message, reinterpret_cast<LPARAM>(&data)), c.expected);
    }
}

// The hook installed before the browser filter: it sees what the filter passes on.
std::vector<UINT> g_chained;
HHOOK g_olderHook;
LRESULT CALLBACK OlderHook(int code, WPARAM message, LPARAM data) {
    if (code == HC_ACTION && (message == WM_RBUTTONDOWN || message == WM_RBUTTONUP)) g_chained.push_back(static_cast<UINT>(message));
    return CallNextHookEx(g_olderHook, code, message, data);
}

TEST_F(BrowserRightClickFilterTest, RealRightClicksFollowTheFocusedWindow) {
    g_olderHook = SetWindowsHookExA(WH_MOUSE, OlderHook, nullptr, GetCurrentThreadId());
    ASSERT_NE(g_olderHook, nullptr);
    HHOOK hook = InstallBrowserMouseHook();
    ASSERT_NE(hook, nullptr);
    EXPECT_EQ(BrowserMouseHookHandle, hook);

    struct Case {
        HWND Panes::*focus;
        HWND Panes::*clicked;
        bool releaseArrives;
    } cases[] = {
        {&Panes::browser, &Panes::browser, false},
        {&Panes::browser, &Panes::other, false},  // anywhere in the thread's windows
        {&Panes::other, &Panes::browser, true},   // a browser pane without the focus gets it
        {&Panes::edit, &Panes::other, true},
    };
    for (const Case& c : cases) {
        HWND focus = this->*c.focus, clicked = this->*c.clicked;
        SCOPED_TRACE(testing::Message() << "focus " << focus << " clicked " << clicked);
        SetFocus(focus);
        RECT r;
        GetWindowRect(clicked, &r);
        SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        Drain();
        g_received.clear();
        g_chained.clear();

        INPUT click[2] = {};
        click[0].type = click[1].type = INPUT_MOUSE;
        click[0].mi.dwFlags = MOUSEEVENTF_RIGHTDOWN;
        click[1].mi.dwFlags = MOUSEEVENTF_RIGHTUP;
        ASSERT_EQ(SendInput(2, click, sizeof(INPUT)), 2u);
        for (int i = 0; i < 50 && !Got(clicked, WM_RBUTTONDOWN); ++i) {
            PumpPendingMessages();
            Sleep(10);
        }
        Drain();

        EXPECT_TRUE(Got(clicked, WM_RBUTTONDOWN));
        EXPECT_EQ(Got(clicked, WM_RBUTTONUP), c.releaseArrives);
        std::vector<UINT> chained = {WM_RBUTTONDOWN};
        if (c.releaseArrives) chained.push_back(WM_RBUTTONUP);
        EXPECT_EQ(g_chained, chained);
    }
    UnhookWindowsHookEx(BrowserMouseHookHandle);
    UnhookWindowsHookEx(g_olderHook);
    BrowserMouseHookHandle = nullptr;
}

}  // namespace
