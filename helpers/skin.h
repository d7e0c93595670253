#pragma once
// Skin attachment: the skin library is carried as a DLL image and mapped from memory once for the life
// of the process; attaching hands it the skin data and then shifts the skin's colours by a hue and a
// second value. When the library cannot be mapped or lacks an export, the windows keep their ordinary
// look and nothing is reported.
#include "helpers/memory_module.h"
#include "runtime/text.h"

#include <cstdint>
#include <initializer_list>

// The mapped skin library; none until the first attach or adjust, then never freed.
extern MemoryModule* SkinModule;

// Attaches the skin (the whole skin data, every call) and then adjusts it with the hue kept within
// -180..180 and the second value within -100..100. Main window thread only.
void AttachSkinFromMemory(const ByteSet& skinData, int hue, int secondValue);

// Shifts the attached skin's colours; the values are passed on unchanged.
void AdjustSkinHsv(int hue, int secondValue);

// The skin data the program carries.
const ByteSet& CarriedSkinData();

// Address of the first data byte, 0 for an empty byte set.
const unsigned char* GetByteSetDataAddress(const ByteSet& bytes);

// Address of the text's characters, null for an empty text.
const char* GetVariableAddress(const Text& text);

// Calls `function` with `values` as its 32-bit stack arguments (the first lowest) and returns its
// 32-bit result. The caller's stack pointer is restored from the frame afterwards, so this works
// whether the function removes its arguments itself (stdcall) or leaves them to the caller (cdecl),
// and whatever number of arguments it really takes. At most 64 values.
uint32_t CallExportWithStackArgs(const void* function, std::initializer_list<uint32_t> values);
uint32_t CallExportWithStackArgs(const void* function, const uint32_t* values, unsigned count);

// Tests: maps `image` instead of the carried library from now on (null: the carried one again). The
// current mapping, if any, is freed first, so the next attach maps again.
void SetSkinLibraryImageForTesting(const void* image);
