// The updater's skin attachment (see skin.h).
#include "updater/skin.h"

#include "updater/state.h"

// UpdaterCallWithTenStackArgs(function, values): keeps a frame of its own, pushes values[9] down to
// values[0] and the function's address, and calls UpdaterJumpToAddress. That drops the address from
// the stack, leaves its own return address on top of the ten values and jumps to the function, which
// so returns straight here. The stack pointer is then restored from the frame, whatever the function
// removed. ebx, esi, edi and ebp are kept for the caller.
extern "C" std::uint32_t UpdaterCallWithTenStackArgs(std::uintptr_t function, const std::uint32_t* values);

__asm__(".text\n"
        ".globl _UpdaterCallWithTenStackArgs\n"
        "_UpdaterCallWithTenStackArgs:\n"
        "    pushl %ebp\n"
        "    movl %esp, %ebp\n"
        "    pushl %ebx\n"
        "    pushl %esi\n"
        "    pushl %edi\n"
        "    movl 12(%ebp), %esi\n"
        "    pushl 36(%esi)\n"
        "    pushl 32(%esi)\n"
        "    pushl 28(%esi)\n"
        "    pushl 24(%esi)\n"
        "    pushl 20(%esi)\n"
        "    pushl 16(%esi)\n"
        "    pushl 12(%esi)\n"
        "    pushl 8(%esi)\n"
        "    pushl 4(%esi)\n"
        "    pushl (%esi)\n"
        "    pushl 8(%ebp)\n"
        "    call _UpdaterJumpToAddress\n"
        "    leal -12(%ebp), %esp\n"
        "    popl %edi\n"
        "    popl %esi\n"
        "    popl %ebx\n"
        "    popl %ebp\n"
        "    ret\n"
        ".globl _UpdaterJumpToAddress\n"
        "_UpdaterJumpToAddress:\n"
        "    popl %edx\n"
        "    xchgl %edx, (%esp)\n"
        "    jmp *%edx\n");

namespace updater {

std::uint32_t CallExportWithStackArgs(std::uintptr_t function, StackArg a1, StackArg a2, StackArg a3, StackArg a4,
                                      StackArg a5, StackArg a6, StackArg a7, StackArg a8, StackArg a9, StackArg a10)
{
    if (!function)
        return 0;
    const std::uint32_t values[10] = {a1.value, a2.value, a3.value, a4.value, a5.value,
                                      a6.value, a7.value, a8.value, a9.value, a10.value};
    return UpdaterCallWithTenStackArgs(function, values);
}

std::uintptr_t GetByteSetDataAddress(const ByteSet& bytes)
{
    return bytes.empty() ? 0 : reinterpret_cast<std::uintptr_t>(bytes.data());
}

std::uintptr_t GetVariableAddress(const Text& text)
{
    return text.empty() ? 0 : reinterpret_cast<std::uintptr_t>(text.c_str());
}

void AttachSkinData(const ByteSet& data)
{
    const std::uintptr_t attach = SkinModule ? SkinModule->GetExport("SkinH_AttachRes") : 0;
    if (!attach)
        return;
    const std::uintptr_t address = GetByteSetDataAddress(data);
    const std::uint32_t length = static_cast<std::uint32_t>(data.size());
    const std::uintptr_t text = GetVariableAddress(SkinText);
    CallExportWithStackArgs(attach, address, length, text, 0, 0, 0, 0, 0, 0, 0);
}

}  // namespace updater
