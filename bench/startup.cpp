// Start-up to the first paint of MainWindow, in milliseconds:
//  - in-process: from the start of the load (layout, controls, created handler with the skin, the
//    files beside the program) to the end of the window's first WM_PAINT, and to the moment every
//    control has painted; the first load also maps the skin library, the later ones find it mapped;
//  - the real program: from CreateProcess of Quovanta.exe to its main window being visible and idle.
#include "client/main_window.h"
#include "runtime/files.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

LARGE_INTEGER g_start;
double g_firstPaint = -1;
HHOOK g_hook;

double MillisecondsSince(LARGE_INTEGER from)
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart - from.QuadPart) * 1e3 / static_cast<double>(frequency.QuadPart);
}

LRESULT CALLBACK AfterMessage(int code, WPARAM wParam, LPARAM lParam)
{
    auto* message = reinterpret_cast<CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && message->message == WM_PAINT && g_firstPaint < 0 && GetParent(message->hwnd) == nullptr) {
        char title[64] = {};
        GetWindowTextA(message->hwnd, title, sizeof(title));
        if (Text(title) == kMainWindowTitle)
            g_firstPaint = MillisecondsSince(g_start);
    }
    return CallNextHookEx(g_hook, code, wParam, lParam);
}

struct Load {
    double controlsMade, createdHandled, firstPaint, allPainted;
};

double g_createdStart, g_createdEnd;

// MainWindow's own events, with the created handler timed.
EventTable TimedEvents()
{
    EventTable events = MainWindowEvents();
    for (EventBinding& binding : events) {
        if (binding.control.empty() && binding.event == Event::Created) {
            binding.handler = [handler = binding.handler](const EventArgs& args) {
                g_createdStart = MillisecondsSince(g_start);
                handler(args);
                g_createdEnd = MillisecondsSince(g_start);
            };
        }
    }
    return events;
}

Load LoadOnce()
{
    g_firstPaint = -1;
    const EventTable events = TimedEvents();
    QueryPerformanceCounter(&g_start);
    Form form = LoadForm(MainWindowLayout(), events);
    // The controls paint as their messages come.
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    GdiFlush();
    const Load load = {g_createdStart, g_createdEnd - g_createdStart, g_firstPaint, MillisecondsSince(g_start)};
    form.Destroy();
    MainWindow = Form();
    return load;
}

struct WindowOfProcess {
    DWORD process;
    HWND found;
};

BOOL CALLBACK FindMainWindow(HWND hwnd, LPARAM param)
{
    auto* search = reinterpret_cast<WindowOfProcess*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    char title[64] = {};
    GetWindowTextA(hwnd, title, sizeof(title));
    if (owner == search->process && IsWindowVisible(hwnd) && Text(title) == kMainWindowTitle) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

// -1 when the program did not show its window within 30 s.
double ProgramStart(const Text& program)
{
    STARTUPINFOA startup = {sizeof(startup)};
    PROCESS_INFORMATION process = {};
    Text commandLine = "\"" + program + "\"";
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    if (!CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return -1;
    WindowOfProcess search = {process.dwProcessId, nullptr};
    double elapsed = -1;
    while (MillisecondsSince(start) < 30000) {
        EnumWindows(FindMainWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found) {
            WaitForInputIdle(process.hProcess, 10000);
            elapsed = MillisecondsSince(start);
            break;
        }
        Sleep(1);
    }
    if (search.found) {
        PostMessageA(search.found, WM_CLOSE, 0, 0);
        WaitForSingleObject(process.hProcess, 10000);
    }
    if (WaitForSingleObject(process.hProcess, 0) != WAIT_OBJECT_0)
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return elapsed;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

}  // namespace

int main()
{
    g_hook = SetWindowsHookExA(WH_CALLWNDPROCRET, AfterMessage, nullptr, GetCurrentThreadId());

    const Load cold = LoadOnce();
    std::vector<double> made, handled, firstPaints, allPainted;
    for (int i = 0; i < 10; ++i) {
        const Load warm = LoadOnce();
        made.push_back(warm.controlsMade);
        handled.push_back(warm.createdHandled);
        firstPaints.push_back(warm.firstPaint);
        allPainted.push_back(warm.allPainted);
    }
    std::printf("in-process, ms from the start of the load:     controls made | created handler | first paint | all painted\n");
    std::printf("  first load (maps the skin library)           %8.1f      | %8.1f        | %8.1f    | %8.1f\n",
                cold.controlsMade, cold.createdHandled, cold.firstPaint, cold.allPainted);
    std::printf("  later loads (median of 10)                   %8.1f      | %8.1f        | %8.1f    | %8.1f\n",
                Median(made), Median(handled), Median(firstPaints), Median(allPainted));

    const Text program = ProgramDirectory() + "\\..\\client\\Quovanta.exe";
    std::vector<double> starts;
    for (int i = 0; i < 3; ++i)
        starts.push_back(ProgramStart(program));
    std::printf("Quovanta.exe, process start to main window shown and idle (median of 3): %7.1f ms\n", Median(starts));
    UnhookWindowsHookEx(g_hook);
    return 0;
}
