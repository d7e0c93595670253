// A stand-in for a running main program in the updater's tests: a window titled with its own file
// name, alive until it is ended (or for a minute at most, then with exit code 7).
#include <windows.h>

namespace {

LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_TIMER || msg == WM_DESTROY) {
        PostQuitMessage(7);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    const char* name = path;
    for (const char* p = path; *p; ++p) {
        if (static_cast<unsigned char>(*p) >= 0x81 && static_cast<unsigned char>(*p) <= 0xFE && p[1])
            ++p;  // a double-byte character: its second byte may be 0x5C
        else if (*p == '\\' || *p == '/')
            name = p + 1;
    }
    WNDCLASSA wc = {};
    wc.lpfnWndProc = Proc;
    wc.hInstance = instance;
    wc.lpszClassName = "QuovantaTestSleeper";
    RegisterClassA(&wc);
    HWND hwnd = CreateWindowA("QuovantaTestSleeper", name, WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr, instance, nullptr);
    ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    SetTimer(hwnd, 1, 60000, nullptr);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}
