#include "helpers/message_pump.h"

#include <cstring>

HHOOK BrowserMouseHookHandle = nullptr;

void PumpPendingMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // The queue only hands out the quit message once nothing else is pending. Put it back,
            // so that the thread's own message loop still sees it and ends.
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

void PumpMessagesIfInputPending() {
    if (!GetInputState()) return;
    PumpPendingMessages();
}

HHOOK InstallBrowserMouseHook() {
    BrowserMouseHookHandle = SetWindowsHookExA(WH_MOUSE, BrowserMouseHookProc, nullptr, GetCurrentThreadId());
    return BrowserMouseHookHandle;
}

LRESULT CALLBACK BrowserMouseHookProc(int code, WPARAM message, LPARAM hookData) {
    return BrowserRightClickFilter(code, message, hookData);
}

LRESULT BrowserRightClickFilter(int code, WPARAM message, LPARAM hookData) {
    // A negative code must go to the next hook untouched.
    if (code >= 0) {
        char className[256];
        std::memset(className, ' ', 255);
        className[255] = '\0';
        HWND focus = GetFocus();
        int length = focus ? GetClassNameA(focus, className, sizeof className) : 0;
        if (length > 0 && message == WM_RBUTTONUP && std::strcmp(className, "Internet Explorer_Server") == 0)
            return 1;
    }
    return CallNextHookEx(BrowserMouseHookHandle, code, message, hookData);
}
