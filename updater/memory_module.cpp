// The updater's in-memory module loader (see memory_module.h).
#include "updater/memory_module.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace updater {

namespace {

// No library the updater could carry comes near this; a larger claim is a broken or hostile image.
constexpr std::uint64_t kMaxImageSize = 256u * 1024u * 1024u;
// Signature, file header and the 224-byte optional header of a 32-bit image.
constexpr std::uint64_t kNtHeadersSize = 248;
constexpr std::uint64_t kSectionHeaderSize = 40;

using DllEntry = BOOL(WINAPI*)(HINSTANCE, DWORD, LPVOID);

// A run of bytes that may be read (and, for a mapped image, written) from `data` on.
struct Span {
    const unsigned char* data = nullptr;
    std::uint64_t size = 0;

    bool Has(std::uint64_t offset, std::uint64_t length) const { return offset <= size && length <= size - offset; }

    template <class T> bool Read(std::uint64_t offset, T& out) const
    {
        if (!Has(offset, sizeof(T)))
            return false;
        std::memcpy(&out, data + offset, sizeof(T));
        return true;
    }

    // The zero-terminated text at `offset`, when its terminator lies inside the span.
    const char* String(std::uint64_t offset, std::size_t* length = nullptr) const
    {
        if (offset >= size)
            return nullptr;
        const void* end = std::memchr(data + offset, 0, static_cast<std::size_t>(size - offset));
        if (!end)
            return nullptr;
        if (length)
            *length = static_cast<std::size_t>(static_cast<const unsigned char*>(end) - (data + offset));
        return reinterpret_cast<const char*>(data + offset);
    }
};

struct Headers {
    IMAGE_DOS_HEADER dos;
    IMAGE_NT_HEADERS32 nt;
    std::uint64_t ntOffset;
};

// The DOS and NT headers, when both are there with their signatures.
bool ReadHeaders(const Span& image, Headers& h)
{
    if (!image.Read(0, h.dos) || h.dos.e_magic != IMAGE_DOS_SIGNATURE || h.dos.e_lfanew < 0)
        return false;
    h.ntOffset = static_cast<std::uint64_t>(h.dos.e_lfanew);
    if (!image.Has(h.ntOffset, kNtHeadersSize))
        return false;
    std::memcpy(&h.nt, image.data + h.ntOffset, sizeof(h.nt));
    return h.nt.Signature == IMAGE_NT_SIGNATURE;
}

// The span of the block that VirtualAlloc gave for the image at `base` (0 bytes when there is none).
Span MappedImage(std::uintptr_t base)
{
    Span span;
    span.data = reinterpret_cast<const unsigned char*>(base);
    if (!base)
        return span;
    std::uintptr_t at = base;
    for (;;) {
        MEMORY_BASIC_INFORMATION info = {};
        if (!VirtualQuery(reinterpret_cast<const void*>(at), &info, sizeof(info)) ||
            reinterpret_cast<std::uintptr_t>(info.AllocationBase) != base || info.State != MEM_COMMIT)
            break;
        at = reinterpret_cast<std::uintptr_t>(info.BaseAddress) + info.RegionSize;
        span.size = at - base;
    }
    return span;
}

std::uintptr_t ReserveImageMemory(std::uintptr_t preferredBase, std::uint64_t size)
{
    void* at = VirtualAlloc(reinterpret_cast<void*>(preferredBase), static_cast<SIZE_T>(size), MEM_COMMIT | MEM_RESERVE,
                            PAGE_EXECUTE_READWRITE);
    if (!at)
        at = VirtualAlloc(nullptr, static_cast<SIZE_T>(size), MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE);
    return reinterpret_cast<std::uintptr_t>(at);
}

bool ReleaseImageMemory(std::uintptr_t base)
{
    return VirtualFree(reinterpret_cast<void*>(base), 0, MEM_RELEASE) != FALSE;
}

// Adds the distance between where the image landed and where it wanted to be to every 32-bit address
// the relocation blocks name. False for a block that is shorter than its own header or that, or whose
// targets, lie outside the image.
bool ApplyBaseRelocations(std::uintptr_t base, const Span& image, const Headers& h)
{
    const std::uint32_t delta = static_cast<std::uint32_t>(base) - h.nt.OptionalHeader.ImageBase;
    std::uint64_t offset = h.nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_BASERELOC].VirtualAddress;
    unsigned char* const bytes = reinterpret_cast<unsigned char*>(base);
    for (;;) {
        IMAGE_BASE_RELOCATION block;
        if (!image.Read(offset, block))
            return false;
        if (block.VirtualAddress == 0)
            return true;
        if (block.SizeOfBlock < sizeof(IMAGE_BASE_RELOCATION) || !image.Has(offset, block.SizeOfBlock))
            return false;
        const std::uint32_t entries = (block.SizeOfBlock - sizeof(IMAGE_BASE_RELOCATION)) / 2;
        for (std::uint32_t j = 0; j < entries; ++j) {
            std::uint16_t entry = 0;
            image.Read(offset + sizeof(IMAGE_BASE_RELOCATION) + 2u * j, entry);
            if ((entry & 0xF000) != (IMAGE_REL_BASED_HIGHLOW << 12))
                continue;
            const std::uint64_t target = static_cast<std::uint64_t>(block.VirtualAddress) + (entry & 0xFFF);
            std::uint32_t value;
            if (!image.Read(target, value))
                return false;
            value += delta;
            std::memcpy(bytes + target, &value, sizeof(value));
        }
        offset += block.SizeOfBlock;
    }
}

// Binds every import through the address table (FirstThunk), which is read as the lookup table too.
bool ResolveImports(std::uintptr_t base, const Span& image, const Headers& h, ImportHook hook, std::intptr_t hookValue)
{
    unsigned char* const bytes = reinterpret_cast<unsigned char*>(base);
    std::uint64_t offset = h.nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    for (;; offset += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        IMAGE_IMPORT_DESCRIPTOR descriptor;
        if (!image.Read(offset, descriptor))
            return false;
        if (descriptor.FirstThunk == 0)
            return true;
        const char* moduleName = image.String(descriptor.Name);
        if (!moduleName)
            return false;
        HMODULE module = LoadLibraryA(moduleName);
        for (std::uint64_t slot = descriptor.FirstThunk;; slot += 4) {
            std::uint32_t entry;
            if (!image.Read(slot, entry))
                return false;
            if (entry == 0)
                break;
            char ordinalText[16];
            const char* functionName;  // what the hook is given
            LPCSTR lookup;             // what GetProcAddress is given
            if (entry & IMAGE_ORDINAL_FLAG32) {
                const unsigned ordinal = entry & 0xFFFF;
                std::snprintf(ordinalText, sizeof(ordinalText), "%u", ordinal);
                functionName = ordinalText;
                lookup = reinterpret_cast<LPCSTR>(static_cast<std::uintptr_t>(ordinal));
            } else {
                functionName = image.String(static_cast<std::uint64_t>(entry) + 2);  // after the hint
                if (!functionName)
                    return false;
                lookup = functionName;
            }
            std::uintptr_t address = hook ? hook(moduleName, functionName, hookValue) : 0;
            if (!address && module)
                address = reinterpret_cast<std::uintptr_t>(GetProcAddress(module, lookup));
            if (!address)
                return false;
            const std::uint32_t value = static_cast<std::uint32_t>(address);
            std::memcpy(bytes + slot, &value, sizeof(value));
        }
    }
}

// "12" is the decimal text of 12; "012", "+12", " 12" and "" are not decimal texts of anything.
bool IsDecimalText(const char* text, long long& value)
{
    const std::size_t length = std::strlen(text);
    if (length == 0 || length > 18)
        return false;
    char* end = nullptr;
    value = std::strtoll(text, &end, 10);
    return *end == 0 && std::to_string(value) == text;
}

}  // namespace

std::uint64_t AlignUp(std::uint64_t value, std::uint64_t alignment)
{
    return (value + alignment - 1) / alignment * alignment;
}

std::uintptr_t MapMemoryModule(const unsigned char* data, std::size_t length, ImportHook hook, std::intptr_t hookValue)
{
    const Span file{data, data ? length : 0};
    if (file.size < sizeof(IMAGE_DOS_HEADER))
        return 0;
    Headers h;
    if (!ReadHeaders(file, h))
        return 0;
    const IMAGE_FILE_HEADER& fileHeader = h.nt.FileHeader;
    const IMAGE_OPTIONAL_HEADER32& optional = h.nt.OptionalHeader;
    if (!(fileHeader.Characteristics & IMAGE_FILE_EXECUTABLE_IMAGE))
        return 0;
    const std::uint64_t sectionTable = h.ntOffset + kNtHeadersSize;
    const std::uint64_t headersSize = sectionTable + kSectionHeaderSize * fileHeader.NumberOfSections;
    if (file.size < headersSize)
        return 0;
    if (optional.SectionAlignment == 0)
        return 0;

    // The image is as large as the headers say or as its furthest section reaches, whichever is more;
    // a section counts the low 16 bits of its VirtualSize.
    std::uint64_t imageSize = optional.SizeOfImage;
    for (unsigned i = 0; i < fileHeader.NumberOfSections; ++i) {
        IMAGE_SECTION_HEADER section;
        file.Read(sectionTable + kSectionHeaderSize * i, section);
        const std::uint64_t size = std::max<std::uint64_t>(section.SizeOfRawData, section.Misc.VirtualSize & 0xFFFF);
        const std::uint64_t end = AlignUp(static_cast<std::uint64_t>(section.VirtualAddress) + size, optional.SectionAlignment);
        if (end > imageSize)
            imageSize = end;
        if (section.SizeOfRawData > 0 && section.VirtualAddress != 0 &&
            !file.Has(section.PointerToRawData, section.SizeOfRawData))
            return 0;  // raw data beyond the bytes given
    }
    if (imageSize == 0 || imageSize > kMaxImageSize || imageSize < headersSize)
        return 0;

    const std::uintptr_t base = ReserveImageMemory(optional.ImageBase, imageSize);
    if (!base)
        return 0;
    unsigned char* const bytes = reinterpret_cast<unsigned char*>(base);
    const Span image{bytes, imageSize};

    // The headers as far as the end of the section table, unchanged (ImageBase keeps the file's value).
    std::memcpy(bytes, data, static_cast<std::size_t>(headersSize));
    for (unsigned i = 0; i < fileHeader.NumberOfSections; ++i) {
        IMAGE_SECTION_HEADER section;
        file.Read(sectionTable + kSectionHeaderSize * i, section);
        if (section.SizeOfRawData > 0 && section.VirtualAddress != 0)
            std::memcpy(bytes + section.VirtualAddress, data + section.PointerToRawData, section.SizeOfRawData);
    }

    if (optional.DataDirectory[IMAGE_DIRECTORY_ENTRY_BASERELOC].Size > 0 && !ApplyBaseRelocations(base, image, h)) {
        ReleaseImageMemory(base);
        return 0;
    }
    if (optional.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress > 0 &&
        !ResolveImports(base, image, h, hook, hookValue)) {
        ReleaseImageMemory(base);
        return 0;
    }
    if (fileHeader.Characteristics & IMAGE_FILE_DLL) {
        const std::uint32_t entryRva = optional.AddressOfEntryPoint;
        if (entryRva >= imageSize) {
            ReleaseImageMemory(base);
            return 0;
        }
        // A DLL without an entry point (resources only) has nothing to call.
        if (entryRva != 0) {
            auto entry = reinterpret_cast<DllEntry>(base + entryRva);
            if (!entry(nullptr, DLL_PROCESS_ATTACH, nullptr)) {
                entry(nullptr, DLL_PROCESS_DETACH, nullptr);
                ReleaseImageMemory(base);
                return 0;
            }
        }
    }
    return base;
}

bool FreeMemoryModule(std::uintptr_t base)
{
    const Span image = MappedImage(base);
    Headers h;
    if (!ReadHeaders(image, h))
        return false;
    const std::uint32_t entryRva = h.nt.OptionalHeader.AddressOfEntryPoint;
    if ((h.nt.FileHeader.Characteristics & IMAGE_FILE_DLL) && entryRva != 0 && entryRva < image.size)
        reinterpret_cast<DllEntry>(base + entryRva)(nullptr, DLL_PROCESS_DETACH, nullptr);
    return ReleaseImageMemory(base);
}

std::uintptr_t FindModuleExportByName(std::uintptr_t base, const char* name)
{
    const Span image = MappedImage(base);
    Headers h;
    if (!name || !ReadHeaders(image, h))
        return 0;
    const IMAGE_DATA_DIRECTORY& directory = h.nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (directory.Size == 0)
        return 0;
    IMAGE_EXPORT_DIRECTORY exports;
    if (!image.Read(directory.VirtualAddress, exports))
        return 0;
    auto functionAt = [&](std::uint64_t index) -> std::uintptr_t {
        std::uint32_t rva = 0;
        if (index >= exports.NumberOfFunctions || !image.Read(exports.AddressOfFunctions + 4 * index, rva) || rva == 0)
            return 0;
        return base + rva;
    };

    long long number;
    if (IsDecimalText(name, number)) {
        const long long index = number - static_cast<long long>(exports.Base);
        return index < 0 ? 0 : functionAt(static_cast<std::uint64_t>(index));
    }

    // The names are visited as their characters lie, each after the previous one's terminator: only
    // the first entry of AddressOfNames is read.
    std::uint32_t firstName;
    if (exports.NumberOfNames == 0 || !image.Read(exports.AddressOfNames, firstName))
        return 0;
    std::uint64_t names = firstName;
    std::uint64_t ordinals = exports.AddressOfNameOrdinals;
    for (std::uint32_t i = 0; i < exports.NumberOfNames; ++i) {
        std::size_t length = 0;
        const char* current = image.String(names, &length);
        std::uint16_t index;
        if (!current || !image.Read(ordinals, index))
            return 0;
        if (std::strcmp(current, name) == 0) {
            if (std::uintptr_t address = functionAt(index))
                return address;
        }
        names += length + 1;
        ordinals += 2;
    }
    return 0;
}

std::uintptr_t GetImageEntryPoint(std::uintptr_t base)
{
    Headers h;
    if (!ReadHeaders(MappedImage(base), h))
        return 0;
    return base + h.nt.OptionalHeader.AddressOfEntryPoint;
}

MemoryModule::~MemoryModule() { Free(); }

MemoryModule* MemoryModule::Clone() const
{
    auto* copy = new MemoryModule;
    copy->imageBase_ = imageBase_;
    copy->owner_ = false;
    return copy;
}

bool MemoryModule::Load(const ByteSet& image, ImportHook hook, std::intptr_t hookValue)
{
    return Load(image.data(), image.size(), hook, hookValue);
}

bool MemoryModule::Load(const unsigned char* image, std::size_t length, ImportHook hook, std::intptr_t hookValue)
{
    if (imageBase_)
        Free();
    imageBase_ = MapMemoryModule(image, length, hook, hookValue);
    owner_ = imageBase_ != 0;
    return imageBase_ != 0;
}

bool MemoryModule::Free()
{
    if (!imageBase_)
        return true;
    if (!owner_ || FreeMemoryModule(imageBase_)) {
        imageBase_ = 0;
        owner_ = false;
    }
    return imageBase_ == 0;
}

std::uintptr_t MemoryModule::GetExport(const char* name) const
{
    return imageBase_ ? FindModuleExportByName(imageBase_, name) : 0;
}

std::uintptr_t MemoryModule::GetEntryPoint() const { return imageBase_ ? GetImageEntryPoint(imageBase_) : 0; }

std::uintptr_t MemoryModule::GetHandle() const { return imageBase_; }

}  // namespace updater
