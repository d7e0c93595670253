// Skin attachment (see skin.h).
#include "helpers/skin.h"

#include "resources/resources.h"

MemoryModule* SkinModule = nullptr;

namespace {

const void* g_imageForTesting = nullptr;

const void* SkinLibraryImageToMap()
{
    return g_imageForTesting ? g_imageForTesting : static_cast<const void*>(EmbeddedSkinLibrary);
}

void MapSkinLibraryOnce()
{
    if (!SkinModule)
        SkinModule = LoadMemoryModule(SkinLibraryImageToMap());
}

int Clamp(int value, int low, int high) { return value < low ? low : (value > high ? high : value); }

uint32_t Value(const void* pointer) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer)); }

}  // namespace

// Pushes the values from the last to the first, calls, and takes the stack pointer back from the
// frame: the callee may or may not have removed the arguments. Callee-saved registers are kept too.
extern "C" __attribute__((naked, noinline)) uint32_t QuovantaCallWithStackArgs(const void* function, const uint32_t* values,
                                                                               unsigned count)
{
    __asm__("    pushl %ebp\n"
            "    movl %esp, %ebp\n"
            "    pushl %ebx\n"
            "    pushl %esi\n"
            "    pushl %edi\n"
            "    movl 12(%ebp), %esi\n"
            "    movl 16(%ebp), %ecx\n"
            "    testl %ecx, %ecx\n"
            "    jz 2f\n"
            "1:  pushl -4(%esi,%ecx,4)\n"
            "    decl %ecx\n"
            "    jnz 1b\n"
            "2:  call *8(%ebp)\n"
            "    leal -12(%ebp), %esp\n"
            "    popl %edi\n"
            "    popl %esi\n"
            "    popl %ebx\n"
            "    popl %ebp\n"
            "    ret\n");
}

uint32_t CallExportWithStackArgs(const void* function, const uint32_t* values, unsigned count)
{
    if (!function || count > 64)
        return 0;
    return QuovantaCallWithStackArgs(function, values, count);
}

uint32_t CallExportWithStackArgs(const void* function, std::initializer_list<uint32_t> values)
{
    return CallExportWithStackArgs(function, values.begin(), static_cast<unsigned>(values.size()));
}

const unsigned char* GetByteSetDataAddress(const ByteSet& bytes) { return bytes.empty() ? nullptr : bytes.data(); }

const char* GetVariableAddress(const Text& text) { return text.empty() ? nullptr : text.c_str(); }

const ByteSet& CarriedSkinData()
{
    static const ByteSet data(EmbeddedSkinData, EmbeddedSkinData + EmbeddedSkinData_size);
    return data;
}

void AttachSkinFromMemory(const ByteSet& skinData, int hue, int secondValue)
{
    MapSkinLibraryOnce();
    const unsigned char* address = GetByteSetDataAddress(skinData);
    const uint32_t length = static_cast<uint32_t>(skinData.size());
    const Text password;
    if (FARPROC attach = GetMemoryModuleExport(SkinModule, "SkinH_AttachRes"))
        CallExportWithStackArgs(reinterpret_cast<const void*>(attach), {Value(address), length, Value(GetVariableAddress(password))});
    secondValue = Clamp(secondValue, -100, 100);
    hue = Clamp(hue, -180, 180);
    AdjustSkinHsv(hue, secondValue);
}

void AdjustSkinHsv(int hue, int secondValue)
{
    MapSkinLibraryOnce();
    if (FARPROC adjust = GetMemoryModuleExport(SkinModule, "SkinH_AdjustHSV"))
        CallExportWithStackArgs(reinterpret_cast<const void*>(adjust), {static_cast<uint32_t>(hue), static_cast<uint32_t>(secondValue)});
}

void SetSkinLibraryImageForTesting(const void* image)
{
    FreeMemoryModule(SkinModule);
    SkinModule = nullptr;
    g_imageForTesting = image;
}
