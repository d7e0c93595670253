// In-memory module loader (see memory_module.h).
//
// The image handed to MapMemoryModule carries no length, so the source bytes are trusted as far as the
// headers say; everything the loader writes or follows inside the mapped image (sections, relocation
// blocks, import descriptors and names, export tables) is checked against SizeOfImage first, so that a
// malformed image is refused instead of scribbling outside its own memory.
#include "helpers/memory_module.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <type_traits>

namespace {

// 32-bit layouts of the loader data the walk reads (the public headers hide most of these fields).
struct UnicodeString32 {
    USHORT length;  // in bytes, without the terminating zero
    USHORT maximumLength;
    const wchar_t* buffer;
};

struct LoaderDataEntry32 {           // LDR_DATA_TABLE_ENTRY, starting at InInitializationOrderLinks
    LIST_ENTRY initialisationLinks;  // +0x10 in the whole entry
    void* dllBase;                   // +0x18
    void* entryPoint;                // +0x1C
    ULONG sizeOfImage;               // +0x20
    UnicodeString32 fullDllName;     // +0x24
    UnicodeString32 baseDllName;     // +0x2C
};
static_assert(offsetof(LoaderDataEntry32, dllBase) == 0x08);
static_assert(offsetof(LoaderDataEntry32, baseDllName) == 0x1C);

constexpr unsigned kPebLdrOffset = 0x0C;                  // PEB.Ldr
constexpr unsigned kLdrInitialisationOrderOffset = 0x1C;  // PEB_LDR_DATA.InInitializationOrderModuleList
constexpr int kMaxModulesWalked = 4096;                   // a damaged list must not loop forever
constexpr DWORD kPageSize = 0x1000;                       // the x86 page

unsigned char* CurrentPeb()
{
    unsigned char* peb;
    __asm__ volatile("movl %%fs:0x30, %0" : "=r"(peb));
    return peb;
}

wchar_t FoldAscii(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

// True when the UTF-16 name equals the ASCII `want` without regard to ASCII letter case.
bool NameEquals(const UnicodeString32& name, const char* want, std::size_t wantLength)
{
    if (!name.buffer || name.length != wantLength * 2)
        return false;
    for (std::size_t i = 0; i < wantLength; ++i) {
        if (FoldAscii(name.buffer[i]) != FoldAscii(static_cast<unsigned char>(want[i])))
            return false;
    }
    return true;
}

// Base address of the loaded module whose base name is `name`, walking the list in initialisation order.
unsigned char* FindLoadedModule(const char* name)
{
    unsigned char* peb = CurrentPeb();
    if (!peb)
        return nullptr;
    unsigned char* ldr = *reinterpret_cast<unsigned char**>(peb + kPebLdrOffset);
    if (!ldr)
        return nullptr;
    auto* head = reinterpret_cast<LIST_ENTRY*>(ldr + kLdrInitialisationOrderOffset);
    const std::size_t length = std::strlen(name);
    int walked = 0;
    for (LIST_ENTRY* link = head->Flink; link && link != head && walked < kMaxModulesWalked;
         link = link->Flink, ++walked) {
        auto* entry = reinterpret_cast<LoaderDataEntry32*>(link);
        if (NameEquals(entry->baseDllName, name, length))
            return static_cast<unsigned char*>(entry->dllBase);
    }
    return nullptr;
}

const IMAGE_NT_HEADERS32* LoadedHeaders(const unsigned char* base)
{
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE)
        return nullptr;
    auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + dos->e_lfanew);
    return nt->Signature == IMAGE_NT_SIGNATURE ? nt : nullptr;
}

void* ResolveForwarder(const char* forwarder, int depth);

// Export `name` of a module the system loaded (so its headers are trusted). Follows forwarders.
void* LoadedModuleExport(const unsigned char* base, const char* name, std::size_t prefixLength, bool lastFirst,
                         int depth)
{
    const IMAGE_NT_HEADERS32* nt = LoadedHeaders(base);
    if (!nt || nt->OptionalHeader.NumberOfRvaAndSizes <= IMAGE_DIRECTORY_ENTRY_EXPORT)
        return nullptr;
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (!dir.VirtualAddress || !dir.Size)
        return nullptr;
    auto* exp = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
    auto* names = reinterpret_cast<const DWORD*>(base + exp->AddressOfNames);
    auto* ordinals = reinterpret_cast<const WORD*>(base + exp->AddressOfNameOrdinals);
    auto* functions = reinterpret_cast<const DWORD*>(base + exp->AddressOfFunctions);
    for (DWORD n = 0; n < exp->NumberOfNames; ++n) {
        const DWORD i = lastFirst ? exp->NumberOfNames - 1 - n : n;
        const char* candidate = reinterpret_cast<const char*>(base + names[i]);
        const bool match = prefixLength ? std::strncmp(candidate, name, prefixLength) == 0
                                        : std::strcmp(candidate, name) == 0;
        if (!match)
            continue;
        if (ordinals[i] >= exp->NumberOfFunctions)
            return nullptr;
        const DWORD rva = functions[ordinals[i]];
        if (rva >= dir.VirtualAddress && rva < dir.VirtualAddress + dir.Size)
            return ResolveForwarder(reinterpret_cast<const char*>(base + rva), depth + 1);
        return rva ? const_cast<unsigned char*>(base + rva) : nullptr;
    }
    return nullptr;
}

// "MODULE.Function": the export of an already loaded module (GetProcAddress may itself be forwarded).
void* ResolveForwarder(const char* forwarder, int depth)
{
    const char* dot = std::strchr(forwarder, '.');
    if (depth > 4 || !dot || dot == forwarder || dot - forwarder > MAX_PATH - 5 || dot[1] == '#')
        return nullptr;
    char module[MAX_PATH];
    const std::size_t length = static_cast<std::size_t>(dot - forwarder);
    std::memcpy(module, forwarder, length);
    std::memcpy(module + length, ".dll", 5);
    const unsigned char* base = FindLoadedModule(module);
    return base ? LoadedModuleExport(base, dot + 1, 0, false, depth) : nullptr;
}

bool AllApisPresent(const LoaderApiTable& api)
{
    const void* const* fields = reinterpret_cast<const void* const*>(&api);
    for (std::size_t i = 0; i < sizeof(api) / sizeof(void*); ++i) {
        if (!fields[i])
            return false;
    }
    return true;
}

// Data directory `index` of the headers, empty when the optional header does not hold it.
IMAGE_DATA_DIRECTORY DataDirectory(const IMAGE_NT_HEADERS32* nt, unsigned index)
{
    const std::size_t end = offsetof(IMAGE_OPTIONAL_HEADER32, DataDirectory) + (index + 1) * sizeof(IMAGE_DATA_DIRECTORY);
    if (index >= nt->OptionalHeader.NumberOfRvaAndSizes || end > nt->FileHeader.SizeOfOptionalHeader)
        return IMAGE_DATA_DIRECTORY{0, 0};
    return nt->OptionalHeader.DataDirectory[index];
}

IMAGE_SECTION_HEADER* FirstSection(IMAGE_NT_HEADERS32* nt)
{
    return reinterpret_cast<IMAGE_SECTION_HEADER*>(reinterpret_cast<unsigned char*>(&nt->OptionalHeader) +
                                                   nt->FileHeader.SizeOfOptionalHeader);
}

// True when [rva, rva + length) lies inside an image of `size` bytes.
bool RangeInImage(uint64_t rva, uint64_t length, uint64_t size) { return rva <= size && length <= size - rva; }

// True when a zero-terminated string starts at `rva` and ends inside the image.
bool StringInImage(const unsigned char* base, DWORD rva, DWORD size)
{
    return rva < size && std::memchr(base + rva, 0, size - rva) != nullptr;
}

using DllEntry = BOOL(WINAPI*)(HINSTANCE, DWORD, LPVOID);

bool BindImports(MemoryModule* module, const LoaderApiTable& api, HANDLE heap)
{
    IMAGE_NT_HEADERS32* nt = module->ntHeaders;
    unsigned char* base = module->imageBase;
    const DWORD size = nt->OptionalHeader.SizeOfImage;
    const IMAGE_DATA_DIRECTORY dir = DataDirectory(nt, IMAGE_DIRECTORY_ENTRY_IMPORT);
    if (!dir.Size)
        return true;
    const std::size_t descriptorSize = sizeof(IMAGE_IMPORT_DESCRIPTOR);
    DWORD offset = dir.VirtualAddress;
    if (!RangeInImage(offset, descriptorSize, size) || api.isBadReadPtr(base + offset, descriptorSize))
        return true;
    for (;;) {
        auto* descriptor = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + offset);
        if (!descriptor->Name)
            return true;
        if (!StringInImage(base, descriptor->Name, size))
            return false;
        HMODULE handle = api.loadLibraryA(reinterpret_cast<const char*>(base + descriptor->Name));
        if (!handle)
            return false;
        auto* grown = static_cast<HMODULE*>(api.heapReAlloc(heap, HEAP_ZERO_MEMORY, module->importedModules,
                                                             (module->importedModuleCount + 1) * sizeof(HMODULE)));
        if (!grown) {
            // The old array stays owned by the record; this handle is not in it yet.
            api.freeLibrary(handle);
            return false;
        }
        module->importedModules = grown;
        module->importedModules[module->importedModuleCount++] = handle;

        const DWORD lookupRva = descriptor->OriginalFirstThunk ? descriptor->OriginalFirstThunk : descriptor->FirstThunk;
        const DWORD addressRva = descriptor->FirstThunk;
        for (DWORD i = 0;; ++i) {
            const uint64_t slot = static_cast<uint64_t>(i) * 4;
            if (!RangeInImage(lookupRva + slot, 4, size) || !RangeInImage(addressRva + slot, 4, size))
                return false;
            const DWORD entry = *reinterpret_cast<DWORD*>(base + lookupRva + slot);
            if (!entry)
                break;
            FARPROC function;
            if (entry & IMAGE_ORDINAL_FLAG32) {
                function = api.getProcAddress(handle, reinterpret_cast<LPCSTR>(static_cast<uintptr_t>(entry & 0xFFFF)));
            } else {
                if (entry > size - 2 || !StringInImage(base, entry + 2, size))
                    return false;
                function = api.getProcAddress(handle, reinterpret_cast<const char*>(base + entry + 2));
            }
            if (!function)
                return false;
            *reinterpret_cast<FARPROC*>(base + addressRva + slot) = function;
        }

        offset += descriptorSize;
        if (!RangeInImage(offset, descriptorSize, size) || api.isBadReadPtr(base + offset, descriptorSize))
            return true;
    }
}

void ApplyRelocations(MemoryModule* module, DWORD delta)
{
    IMAGE_NT_HEADERS32* nt = module->ntHeaders;
    unsigned char* base = module->imageBase;
    const DWORD size = nt->OptionalHeader.SizeOfImage;
    const IMAGE_DATA_DIRECTORY dir = DataDirectory(nt, IMAGE_DIRECTORY_ENTRY_BASERELOC);
    if (!delta || !dir.Size || dir.VirtualAddress >= size)
        return;
    // The blocks end at a block with page address 0 or at the end of the directory, whichever comes
    // first; a block too short to hold its own header ends the walk too (it would never advance).
    const uint64_t end = std::min<uint64_t>(static_cast<uint64_t>(dir.VirtualAddress) + dir.Size, size);
    uint64_t offset = dir.VirtualAddress;
    while (offset + sizeof(IMAGE_BASE_RELOCATION) <= end) {
        auto* block = reinterpret_cast<IMAGE_BASE_RELOCATION*>(base + offset);
        if (!block->VirtualAddress || block->SizeOfBlock < sizeof(IMAGE_BASE_RELOCATION))
            break;
        const uint64_t blockEnd = std::min<uint64_t>(offset + block->SizeOfBlock, end);
        auto* entries = reinterpret_cast<const WORD*>(block + 1);
        const uint64_t count = (blockEnd - offset - sizeof(IMAGE_BASE_RELOCATION)) / sizeof(WORD);
        for (uint64_t i = 0; i < count; ++i) {
            if ((entries[i] >> 12) != IMAGE_REL_BASED_HIGHLOW)
                continue;
            const uint64_t target = static_cast<uint64_t>(block->VirtualAddress) + (entries[i] & 0xFFF);
            if (RangeInImage(target, 4, size))
                *reinterpret_cast<DWORD*>(base + target) += delta;
        }
        offset += block->SizeOfBlock;
    }
}

}  // namespace

void ResolveLoaderApis(LoaderApiTable* table)
{
    std::memset(table, 0, sizeof(*table));
    // Only the module really named kernel32.dll will do: other modules early in the list can have
    // base names of the same length (advapi32.dll).
    unsigned char* kernel32 = FindLoadedModule("kernel32.dll");
    if (!kernel32)
        return;
    auto getProcAddress = reinterpret_cast<decltype(table->getProcAddress)>(
        LoadedModuleExport(kernel32, "GetProcA", 8, true, 0));
    if (!getProcAddress)
        return;
    auto module = reinterpret_cast<HMODULE>(kernel32);
    auto take = [&](auto& field, const char* name) {
        field = reinterpret_cast<std::remove_reference_t<decltype(field)>>(reinterpret_cast<void*>(getProcAddress(module, name)));
    };
    take(table->virtualProtect, "VirtualProtect");
    take(table->loadLibraryA, "LoadLibraryA");
    take(table->virtualAlloc, "VirtualAlloc");
    take(table->virtualFree, "VirtualFree");
    take(table->isBadReadPtr, "IsBadReadPtr");
    take(table->getProcessHeap, "GetProcessHeap");
    take(table->freeLibrary, "FreeLibrary");
    table->getProcAddress = getProcAddress;
    take(table->heapFree, "HeapFree");
    take(table->heapAlloc, "HeapAlloc");
    take(table->heapReAlloc, "HeapReAlloc");
}

MemoryModule* LoadMemoryModule(const void* image) { return MapMemoryModule(image); }

MemoryModule* MapMemoryModule(const void* image)
{
    LoaderApiTable api;
    ResolveLoaderApis(&api);
    if (!AllApisPresent(api) || !image)
        return nullptr;

    auto* source = static_cast<const unsigned char*>(image);
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(source);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE || dos->e_lfanew < 4 || dos->e_lfanew > 0x10000)
        return nullptr;
    auto* fileHeaders = reinterpret_cast<const IMAGE_NT_HEADERS32*>(source + dos->e_lfanew);
    if (fileHeaders->Signature != IMAGE_NT_SIGNATURE)
        return nullptr;
    // The layout below is the 32-bit one; the headers must also hold their own section table, and the
    // headers must fit in the image.
    const IMAGE_OPTIONAL_HEADER32& optional = fileHeaders->OptionalHeader;
    const uint64_t headersEnd = static_cast<uint64_t>(dos->e_lfanew) + offsetof(IMAGE_NT_HEADERS32, OptionalHeader) +
                                fileHeaders->FileHeader.SizeOfOptionalHeader +
                                static_cast<uint64_t>(fileHeaders->FileHeader.NumberOfSections) * sizeof(IMAGE_SECTION_HEADER);
    if (fileHeaders->FileHeader.SizeOfOptionalHeader < offsetof(IMAGE_OPTIONAL_HEADER32, DataDirectory) ||
        optional.Magic != IMAGE_NT_OPTIONAL_HDR32_MAGIC || !optional.SizeOfImage ||
        headersEnd > optional.SizeOfHeaders || optional.SizeOfHeaders > optional.SizeOfImage)
        return nullptr;
    const DWORD sizeOfImage = optional.SizeOfImage;

    void* reserved = api.virtualAlloc(reinterpret_cast<void*>(static_cast<uintptr_t>(optional.ImageBase)), sizeOfImage,
                                      MEM_RESERVE, PAGE_READWRITE);
    if (!reserved)
        reserved = api.virtualAlloc(nullptr, sizeOfImage, MEM_RESERVE, PAGE_READWRITE);
    if (!reserved)
        return nullptr;
    auto* base = static_cast<unsigned char*>(reserved);
    const DWORD delta = static_cast<DWORD>(reinterpret_cast<uintptr_t>(base)) - optional.ImageBase;
    // An image without relocations cannot run anywhere but at its own base.
    if (delta && (fileHeaders->FileHeader.Characteristics & IMAGE_FILE_RELOCS_STRIPPED)) {
        api.virtualFree(base, 0, MEM_RELEASE);
        return nullptr;
    }

    HANDLE heap = api.getProcessHeap();
    auto* module = static_cast<MemoryModule*>(api.heapAlloc(heap, 0, sizeof(MemoryModule)));
    if (!module) {
        api.virtualFree(base, 0, MEM_RELEASE);
        return nullptr;
    }
    module->ntHeaders = nullptr;
    module->imageBase = base;
    module->importedModules = static_cast<HMODULE*>(api.heapAlloc(heap, HEAP_ZERO_MEMORY, sizeof(HMODULE)));
    module->importedModuleCount = 0;
    module->isInitialised = 0;
    auto fail = [&]() -> MemoryModule* {
        FreeMemoryModule(module);
        return nullptr;
    };
    if (!module->importedModules)
        return fail();

    if (!api.virtualAlloc(base, sizeOfImage, MEM_COMMIT, PAGE_READWRITE))
        return fail();
    unsigned char* headers = static_cast<unsigned char*>(api.virtualAlloc(base, optional.SizeOfHeaders, MEM_COMMIT, PAGE_READWRITE));
    if (!headers)
        return fail();
    std::memcpy(headers, source, optional.SizeOfHeaders);
    IMAGE_NT_HEADERS32* nt = reinterpret_cast<IMAGE_NT_HEADERS32*>(base + dos->e_lfanew);
    module->ntHeaders = nt;
    nt->OptionalHeader.ImageBase = static_cast<DWORD>(reinterpret_cast<uintptr_t>(base));

    IMAGE_SECTION_HEADER* section = FirstSection(nt);
    for (unsigned i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
        const DWORD alignment = nt->OptionalHeader.SectionAlignment;
        if (section->SizeOfRawData == 0) {
            if (alignment > 0) {
                if (section->VirtualAddress >= sizeOfImage)
                    return fail();
                const DWORD length = std::min<DWORD>(alignment, sizeOfImage - section->VirtualAddress);
                void* memory = api.virtualAlloc(base + section->VirtualAddress, length, MEM_COMMIT, PAGE_READWRITE);
                if (!memory)
                    return fail();
                std::memset(memory, 0, length);
                section->Misc.PhysicalAddress = static_cast<DWORD>(reinterpret_cast<uintptr_t>(memory));
            }
            continue;
        }
        if (!RangeInImage(section->VirtualAddress, section->SizeOfRawData, sizeOfImage))
            return fail();
        void* memory = api.virtualAlloc(base + section->VirtualAddress, section->SizeOfRawData, MEM_COMMIT, PAGE_READWRITE);
        if (!memory)
            return fail();
        std::memcpy(memory, source + section->PointerToRawData, section->SizeOfRawData);
        section->Misc.PhysicalAddress = static_cast<DWORD>(reinterpret_cast<uintptr_t>(memory));
    }

    ApplyRelocations(module, delta);

    if (!BindImports(module, api, heap))
        return fail();

    FinalizeModuleSections(module);

    if (!nt->OptionalHeader.AddressOfEntryPoint)
        return module;
    if (nt->OptionalHeader.AddressOfEntryPoint >= sizeOfImage)
        return fail();
    auto entry = reinterpret_cast<DllEntry>(base + nt->OptionalHeader.AddressOfEntryPoint);
    if (!entry(reinterpret_cast<HINSTANCE>(base), DLL_PROCESS_ATTACH, nullptr))
        return fail();
    module->isInitialised = 1;
    return module;
}

void FinalizeModuleSections(MemoryModule* module)
{
    if (!module || !module->ntHeaders)
        return;
    LoaderApiTable api;
    ResolveLoaderApis(&api);
    if (!api.virtualProtect || !api.virtualFree)
        return;
    // [execute][read][write]
    static const DWORD protections[2][2][2] = {
        {{PAGE_NOACCESS, PAGE_WRITECOPY}, {PAGE_READONLY, PAGE_READWRITE}},
        {{PAGE_EXECUTE, PAGE_EXECUTE_WRITECOPY}, {PAGE_EXECUTE_READ, PAGE_EXECUTE_READWRITE}},
    };
    IMAGE_NT_HEADERS32* nt = module->ntHeaders;
    unsigned char* imageEnd = module->imageBase + nt->OptionalHeader.SizeOfImage;
    IMAGE_SECTION_HEADER* section = FirstSection(nt);
    for (unsigned i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
        auto* address = reinterpret_cast<unsigned char*>(static_cast<uintptr_t>(section->Misc.PhysicalAddress));
        if (address < module->imageBase || address >= imageEnd)
            continue;
        const DWORD characteristics = section->Characteristics;
        if (characteristics & IMAGE_SCN_MEM_DISCARDABLE) {
            // Decommitting works on whole pages: only where sections own whole pages, and never with a
            // length of 0 (which would take everything up to the end of the image with it).
            DWORD length = std::min<DWORD>(section->SizeOfRawData, static_cast<DWORD>(imageEnd - address));
            if (length && nt->OptionalHeader.SectionAlignment >= kPageSize)
                api.virtualFree(address, length, MEM_DECOMMIT);
            continue;
        }
        DWORD protection = protections[(characteristics & IMAGE_SCN_MEM_EXECUTE) ? 1 : 0]
                                      [(characteristics & IMAGE_SCN_MEM_READ) ? 1 : 0]
                                      [(characteristics & IMAGE_SCN_MEM_WRITE) ? 1 : 0];
        if (characteristics & IMAGE_SCN_MEM_NOT_CACHED)
            protection |= PAGE_NOCACHE;
        DWORD length = section->SizeOfRawData;
        if (!length) {
            if (characteristics & IMAGE_SCN_CNT_INITIALIZED_DATA)
                length = nt->OptionalHeader.SizeOfInitializedData;
            else if (characteristics & IMAGE_SCN_CNT_UNINITIALIZED_DATA)
                length = nt->OptionalHeader.SizeOfUninitializedData;
        }
        if (length > static_cast<DWORD>(imageEnd - address))
            length = static_cast<DWORD>(imageEnd - address);
        if (length) {
            DWORD old;
            api.virtualProtect(address, length, protection, &old);
        }
    }
}

FARPROC FindModuleExportByName(MemoryModule* module, const char* name)
{
    if (!module || !module->ntHeaders || !name)
        return nullptr;
    const IMAGE_NT_HEADERS32* nt = module->ntHeaders;
    unsigned char* base = module->imageBase;
    const DWORD size = nt->OptionalHeader.SizeOfImage;
    const IMAGE_DATA_DIRECTORY dir = DataDirectory(nt, IMAGE_DIRECTORY_ENTRY_EXPORT);
    if (!dir.Size || !RangeInImage(dir.VirtualAddress, sizeof(IMAGE_EXPORT_DIRECTORY), size))
        return nullptr;
    auto* exp = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
    if (!exp->NumberOfNames || !exp->NumberOfFunctions)
        return nullptr;
    if (!RangeInImage(exp->AddressOfNames, static_cast<uint64_t>(exp->NumberOfNames) * 4, size) ||
        !RangeInImage(exp->AddressOfNameOrdinals, static_cast<uint64_t>(exp->NumberOfNames) * 2, size) ||
        !RangeInImage(exp->AddressOfFunctions, static_cast<uint64_t>(exp->NumberOfFunctions) * 4, size))
        return nullptr;
    auto* names = reinterpret_cast<const DWORD*>(base + exp->AddressOfNames);
    auto* ordinals = reinterpret_cast<const WORD*>(base + exp->AddressOfNameOrdinals);
    auto* functions = reinterpret_cast<const DWORD*>(base + exp->AddressOfFunctions);
    for (DWORD i = 0; i < exp->NumberOfNames; ++i) {
        if (!StringInImage(base, names[i], size) || std::strcmp(reinterpret_cast<const char*>(base + names[i]), name) != 0)
            continue;
        if (ordinals[i] >= exp->NumberOfFunctions)
            return nullptr;
        const DWORD rva = functions[ordinals[i]];
        // An empty slot names no function (base + 0 would be the headers).
        if (!rva || rva >= size)
            return nullptr;
        return reinterpret_cast<FARPROC>(base + rva);
    }
    return nullptr;
}

FARPROC GetMemoryModuleExport(MemoryModule* module, const char* name) { return FindModuleExportByName(module, name); }

void FreeMemoryModule(MemoryModule* module)
{
    if (!module)
        return;
    LoaderApiTable api;
    ResolveLoaderApis(&api);
    if (!AllApisPresent(api))
        return;
    if (module->isInitialised) {
        auto entry = reinterpret_cast<DllEntry>(module->imageBase + module->ntHeaders->OptionalHeader.AddressOfEntryPoint);
        entry(reinterpret_cast<HINSTANCE>(module->imageBase), DLL_PROCESS_DETACH, nullptr);
        module->isInitialised = 0;
    }
    HANDLE heap = api.getProcessHeap();
    if (module->importedModules) {
        for (int32_t i = 0; i < module->importedModuleCount; ++i)
            api.freeLibrary(module->importedModules[i]);
        api.heapFree(heap, 0, module->importedModules);
        module->importedModules = nullptr;
        module->importedModuleCount = 0;
    }
    if (module->imageBase) {
        api.virtualFree(module->imageBase, 0, MEM_RELEASE);
        module->imageBase = nullptr;
    }
    api.heapFree(heap, 0, module);
}
