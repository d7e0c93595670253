#pragma once
// The updater's in-memory module loader: maps a 32-bit DLL image held in memory (the skin library it
// carries) without writing it to a file.
//
// The whole image lives in one readable, writable and executable block sized from its sections. The
// headers are copied as far as the section table, the sections by their raw data, base relocations
// are applied wherever the image landed (its preferred base included), imports are bound through the
// address table (with an optional hook that may supply a function first), and an image flagged as a
// DLL has its entry point called with a null module handle. Exports are found by name, or by ordinal
// when the name is the plain decimal text of a number ("12" is ordinal 12, "012" a name).
//
// Every length, offset and size the image gives is checked against the bytes and the mapped block
// before it is used, so a truncated or hostile image is refused (no entry call, no memory kept) and
// never read or written outside what it owns.
#include "runtime/text.h"

#include <cstddef>
#include <cstdint>

namespace updater {

// Supplies an import: called with the module's name, the function's name (for an ordinal import, the
// ordinal as decimal text) and the value given to Load; returns the function's address, or 0 to let
// the loader resolve it.
using ImportHook = std::uintptr_t (*)(const char* moduleName, const char* functionName, std::intptr_t hookValue);

// Maps the image; its base, or 0 when it is refused or cannot be placed, an import cannot be bound or
// the entry point answers 0 (everything taken is given back then).
std::uintptr_t MapMemoryModule(const unsigned char* image, std::size_t length, ImportHook hook, std::intptr_t hookValue);
// Calls the entry point of a DLL image with DLL_PROCESS_DETACH and releases its memory. False, and
// nothing released, when the memory at `base` does not hold mapped headers.
bool FreeMemoryModule(std::uintptr_t base);
// The address of an export by name or decimal ordinal text; 0 when there is none.
std::uintptr_t FindModuleExportByName(std::uintptr_t base, const char* name);
// base + AddressOfEntryPoint of a mapped image.
std::uintptr_t GetImageEntryPoint(std::uintptr_t base);

// The smallest multiple of `alignment` (not 0) that is not below `value`.
std::uint64_t AlignUp(std::uint64_t value, std::uint64_t alignment);

// One mapped image. A new object holds none. The object that mapped an image owns it and releases it
// when it is freed or destroyed; a clone shares the image without owning it, so freeing a clone only
// empties the clone (and a clone must not be used after its owner let the image go).
class MemoryModule {
public:
    MemoryModule() = default;
    virtual ~MemoryModule();  // Destroy: frees
    MemoryModule(const MemoryModule&) = delete;
    MemoryModule& operator=(const MemoryModule&) = delete;

    // A new object with the same image, not owning it.
    virtual MemoryModule* Clone() const;
    // Frees a loaded image first (its result ignored), then maps `image`. True when it is mapped.
    virtual bool Load(const ByteSet& image, ImportHook hook = nullptr, std::intptr_t hookValue = 0);
    virtual bool Load(const unsigned char* image, std::size_t length, ImportHook hook = nullptr,
                      std::intptr_t hookValue = 0);
    // Lets the image go; true when none is held afterwards.
    virtual bool Free();
    // An export's address, 0 when there is none or no image is held.
    virtual std::uintptr_t GetExport(const char* name) const;
    // The entry point's address, 0 when no image is held.
    virtual std::uintptr_t GetEntryPoint() const;
    virtual std::uintptr_t GetHandle() const;

private:
    std::uintptr_t imageBase_ = 0;
    bool owner_ = false;
};

}  // namespace updater
