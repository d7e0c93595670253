#pragma once
// The updater's skin attachment: the skin library mapped at start-up (updater/memory_module.h) is
// handed the skin data through its export SkinH_AttachRes. The updater adjusts no colours.
#include "runtime/text.h"

#include <cstdint>

namespace updater {

// One optional 32-bit stack argument: a value and whether it was given. An argument that is not given
// is passed as 0.
struct StackArg {
    std::uint32_t value = 0;
    bool given = false;
    StackArg() = default;
    StackArg(std::uint32_t v) : value(v), given(true) {}
};

// Calls `function` with exactly ten 32-bit stack arguments, the first lowest, and returns its 32-bit
// result. The stack pointer is taken back from the frame afterwards, so the function may remove its
// arguments itself (stdcall) or leave them (cdecl), and may take fewer than ten. The given-flags are
// not passed on. A null function is not called (0).
std::uint32_t CallExportWithStackArgs(std::uintptr_t function, StackArg a1 = {}, StackArg a2 = {}, StackArg a3 = {},
                                      StackArg a4 = {}, StackArg a5 = {}, StackArg a6 = {}, StackArg a7 = {},
                                      StackArg a8 = {}, StackArg a9 = {}, StackArg a10 = {});

// Address of the first data byte; 0 for empty bytes.
std::uintptr_t GetByteSetDataAddress(const ByteSet& bytes);
// Address of the text's characters; 0 for an empty text.
std::uintptr_t GetVariableAddress(const Text& text);

// Calls SkinH_AttachRes of the skin module with (data address, data length, the skin text's address,
// seven zeros). Calls nothing when the module has no such export (it failed to map, or lacks it).
void AttachSkinData(const ByteSet& data);

}  // namespace updater
