// Time to map the carried skin library from memory and attach the carried skin to a window with a few
// controls, then to unmap it again (which takes the skin off). Prints microseconds per round.
#include "helpers/memory_module.h"
#include "helpers/skin.h"
#include "resources/resources.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdio>

namespace {
double Microseconds(LARGE_INTEGER from, LARGE_INTEGER to)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) * 1e6 / static_cast<double>(frequency.QuadPart);
}
}  // namespace

int main()
{
    INITCOMMONCONTROLSEX init = {sizeof(init), ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&init);
    HWND window = CreateWindowExA(0, "#32770", "bench", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr, nullptr, nullptr, nullptr);
    const char* classes[] = {"Static", "Edit", "Button", WC_LISTVIEWA, "ListBox", "Static", "Edit", "Button"};
    for (int i = 0; i < 8; ++i)
        CreateWindowExA(0, classes[i], "x", WS_CHILD | WS_VISIBLE, 10, 10 + 30 * i, 100, 25, window, nullptr, nullptr, nullptr);

    const ByteSet& skin = CarriedSkinData();
    const int rounds = 200;
    double mapOnly = 0, mapAndAttach = 0, reattach = 0;
    for (int i = 0; i < rounds; ++i) {
        LARGE_INTEGER t0, t1, t2, t3;
        QueryPerformanceCounter(&t0);
        MemoryModule* module = LoadMemoryModule(EmbeddedSkinLibrary);
        QueryPerformanceCounter(&t1);
        auto attach = reinterpret_cast<const void*>(GetMemoryModuleExport(module, "SkinH_AttachRes"));
        auto adjust = reinterpret_cast<const void*>(GetMemoryModuleExport(module, "SkinH_AdjustHSV"));
        CallExportWithStackArgs(attach, {static_cast<uint32_t>(reinterpret_cast<uintptr_t>(skin.data())),
                                         static_cast<uint32_t>(skin.size()), 0});
        CallExportWithStackArgs(adjust, {static_cast<uint32_t>(i % 180), 0});
        QueryPerformanceCounter(&t2);
        // A slider move: attach again and adjust.
        CallExportWithStackArgs(attach, {static_cast<uint32_t>(reinterpret_cast<uintptr_t>(skin.data())),
                                         static_cast<uint32_t>(skin.size()), 0});
        CallExportWithStackArgs(adjust, {static_cast<uint32_t>(-(i % 180)), 0});
        QueryPerformanceCounter(&t3);
        FreeMemoryModule(module);
        mapOnly += Microseconds(t0, t1);
        mapAndAttach += Microseconds(t0, t2);
        reattach += Microseconds(t2, t3);
    }
    std::printf("skin library %u bytes, skin data %u bytes, 9 windows, %d rounds\n", EmbeddedSkinLibrary_size,
                EmbeddedSkinData_size, rounds);
    std::printf("map from memory:                 %8.1f us\n", mapOnly / rounds);
    std::printf("map + attach + adjust (start-up): %8.1f us\n", mapAndAttach / rounds);
    std::printf("attach + adjust again (slider):   %8.1f us\n", reattach / rounds);
    DestroyWindow(window);
    return 0;
}
