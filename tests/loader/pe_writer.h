#pragma once
// A small writer of 32-bit PE images for the loader tests: the test lays the image out as it will be
// in memory (by RVA), and Build() turns that into the file form (headers, then each section's raw data).
#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

class PeImage {
public:
    static constexpr uint32_t kSectionAlignment = 0x1000;
    static constexpr uint32_t kFileAlignment = 0x200;
    static constexpr uint32_t kHeadersSize = 0x400;

    struct Section {
        std::string name;
        uint32_t rva;
        uint32_t virtualSize;
        uint32_t characteristics;
        bool rawData;
    };

    explicit PeImage(uint32_t imageBase) : imageBase(imageBase) {}

    uint32_t imageBase;
    uint32_t entryRva = 0;
    uint16_t fileCharacteristics = IMAGE_FILE_DLL | IMAGE_FILE_EXECUTABLE_IMAGE | IMAGE_FILE_32BIT_MACHINE;
    uint16_t optionalMagic = IMAGE_NT_OPTIONAL_HDR32_MAGIC;
    std::vector<Section> sections;
    IMAGE_DATA_DIRECTORY directories[IMAGE_NUMBEROF_DIRECTORY_ENTRIES] = {};

    // Adds a section at the next free aligned RVA and returns that RVA. Without raw data the section
    // has SizeOfRawData 0 (like .bss).
    uint32_t AddSection(const std::string& name, uint32_t virtualSize, uint32_t characteristics, bool rawData = true)
    {
        uint32_t rva = kSectionAlignment;
        if (!sections.empty())
            rva = Align(sections.back().rva + sections.back().virtualSize, kSectionAlignment);
        sections.push_back({name, rva, virtualSize, characteristics, rawData});
        return rva;
    }

    void Put8(uint32_t rva, uint8_t value) { Grow(rva + 1)[rva] = value; }
    void Put16(uint32_t rva, uint16_t value) { std::memcpy(&Grow(rva + 2)[rva], &value, 2); }
    void Put32(uint32_t rva, uint32_t value) { std::memcpy(&Grow(rva + 4)[rva], &value, 4); }
    void PutBytes(uint32_t rva, const std::vector<uint8_t>& bytes)
    {
        if (!bytes.empty())
            std::memcpy(&Grow(rva + bytes.size())[rva], bytes.data(), bytes.size());
    }
    void PutString(uint32_t rva, const std::string& text)
    {
        std::vector<uint8_t> bytes(text.begin(), text.end());
        bytes.push_back(0);
        PutBytes(rva, bytes);
    }
    uint32_t Get32(uint32_t rva) const
    {
        uint32_t value = 0;
        if (rva + 4 <= memory_.size())
            std::memcpy(&value, &memory_[rva], 4);
        return value;
    }

    void SetDirectory(unsigned index, uint32_t rva, uint32_t size) { directories[index] = {rva, size}; }

    uint32_t SizeOfImage() const
    {
        if (sections.empty())
            return kSectionAlignment;
        return Align(sections.back().rva + sections.back().virtualSize, kSectionAlignment);
    }

    std::vector<uint8_t> Build() const
    {
        std::vector<uint8_t> file(kHeadersSize, 0);
        auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(file.data());
        dos->e_magic = IMAGE_DOS_SIGNATURE;
        dos->e_lfanew = 0x80;
        IMAGE_NT_HEADERS32 nt = {};
        nt.Signature = IMAGE_NT_SIGNATURE;
        nt.FileHeader.Machine = IMAGE_FILE_MACHINE_I386;
        nt.FileHeader.NumberOfSections = static_cast<WORD>(sections.size());
        nt.FileHeader.SizeOfOptionalHeader = sizeof(IMAGE_OPTIONAL_HEADER32);
        nt.FileHeader.Characteristics = fileCharacteristics;
        IMAGE_OPTIONAL_HEADER32& o = nt.OptionalHeader;
        o.Magic = optionalMagic;
        o.AddressOfEntryPoint = entryRva;
        o.ImageBase = imageBase;
        o.SectionAlignment = kSectionAlignment;
        o.FileAlignment = kFileAlignment;
        o.MajorOperatingSystemVersion = 4;
        o.MajorSubsystemVersion = 4;
        o.SizeOfImage = SizeOfImage();
        o.SizeOfHeaders = kHeadersSize;
        o.Subsystem = IMAGE_SUBSYSTEM_WINDOWS_GUI;
        o.NumberOfRvaAndSizes = IMAGE_NUMBEROF_DIRECTORY_ENTRIES;
        std::memcpy(o.DataDirectory, directories, sizeof(directories));

        std::vector<IMAGE_SECTION_HEADER> headers;
        for (const Section& s : sections) {
            IMAGE_SECTION_HEADER h = {};
            std::memcpy(h.Name, s.name.data(), std::min<size_t>(s.name.size(), 8));
            h.Misc.VirtualSize = s.virtualSize;
            h.VirtualAddress = s.rva;
            h.Characteristics = s.characteristics;
            if (s.rawData) {
                h.SizeOfRawData = Align(s.virtualSize, kFileAlignment);
                h.PointerToRawData = static_cast<DWORD>(file.size());
                std::vector<uint8_t> raw(h.SizeOfRawData, 0);
                for (uint32_t i = 0; i < h.SizeOfRawData && s.rva + i < memory_.size(); ++i)
                    raw[i] = memory_[s.rva + i];
                file.insert(file.end(), raw.begin(), raw.end());
                if (s.characteristics & IMAGE_SCN_CNT_CODE)
                    o.SizeOfCode += h.SizeOfRawData;
                else if (s.characteristics & IMAGE_SCN_CNT_INITIALIZED_DATA)
                    o.SizeOfInitializedData += h.SizeOfRawData;
            } else if (s.characteristics & IMAGE_SCN_CNT_UNINITIALIZED_DATA) {
                o.SizeOfUninitializedData += s.virtualSize;
            }
            headers.push_back(h);
        }
        std::memcpy(&file[0x80], &nt, sizeof(nt));
        std::memcpy(&file[0x80 + sizeof(nt)], headers.data(), headers.size() * sizeof(IMAGE_SECTION_HEADER));
        return file;
    }

    static uint32_t Align(uint32_t value, uint32_t alignment) { return (value + alignment - 1) / alignment * alignment; }

private:
    std::vector<uint8_t>& Grow(size_t size)
    {
        if (memory_.size() < size)
            memory_.resize(size, 0);
        return memory_;
    }
    std::vector<uint8_t> memory_;
};

// The export directory at `rva`: `functions` are RVAs, `names` pairs of a name and its index into
// `functions`, kept in the given order (so tests can put a name twice). Returns the end RVA.
struct ExportName {
    std::string name;
    uint16_t index;
};
inline uint32_t AddExports(PeImage& image, uint32_t rva, const std::vector<uint32_t>& functions,
                           const std::vector<ExportName>& names)
{
    const uint32_t functionsRva = rva + sizeof(IMAGE_EXPORT_DIRECTORY);
    const uint32_t namesRva = functionsRva + 4 * static_cast<uint32_t>(functions.size());
    const uint32_t ordinalsRva = namesRva + 4 * static_cast<uint32_t>(names.size());
    uint32_t stringRva = ordinalsRva + 2 * static_cast<uint32_t>(names.size()) + 2;
    image.Put32(rva + offsetof(IMAGE_EXPORT_DIRECTORY, Base), 1);
    image.Put32(rva + offsetof(IMAGE_EXPORT_DIRECTORY, NumberOfFunctions), static_cast<uint32_t>(functions.size()));
    image.Put32(rva + offsetof(IMAGE_EXPORT_DIRECTORY, NumberOfNames), static_cast<uint32_t>(names.size()));
    image.Put32(rva + offsetof(IMAGE_EXPORT_DIRECTORY, AddressOfFunctions), functionsRva);
    image.Put32(rva + offsetof(IMAGE_EXPORT_DIRECTORY, AddressOfNames), namesRva);
    image.Put32(rva + offsetof(IMAGE_EXPORT_DIRECTORY, AddressOfNameOrdinals), ordinalsRva);
    for (size_t i = 0; i < functions.size(); ++i)
        image.Put32(functionsRva + 4 * static_cast<uint32_t>(i), functions[i]);
    for (size_t i = 0; i < names.size(); ++i) {
        image.Put32(namesRva + 4 * static_cast<uint32_t>(i), stringRva);
        image.Put16(ordinalsRva + 2 * static_cast<uint32_t>(i), names[i].index);
        image.PutString(stringRva, names[i].name);
        stringRva += static_cast<uint32_t>(names[i].name.size()) + 1;
    }
    image.SetDirectory(IMAGE_DIRECTORY_ENTRY_EXPORT, rva, stringRva - rva);
    return stringRva;
}

// Import descriptors at `rva`, one per module, each with its lookup table (OriginalFirstThunk) and
// address table. An entry is a name (imported by name with a hint of 0) or, when `name` is empty, the
// raw 32-bit lookup value (for imports by ordinal). Returns, per module, the RVA of its address table.
struct ImportEntry {
    std::string name;
    uint32_t lookupValue = 0;
};
struct ImportModule {
    std::string dll;
    std::vector<ImportEntry> entries;
    bool withLookupTable = true;
};
inline std::vector<uint32_t> AddImports(PeImage& image, uint32_t rva, const std::vector<ImportModule>& modules)
{
    uint32_t next = rva + static_cast<uint32_t>(sizeof(IMAGE_IMPORT_DESCRIPTOR) * (modules.size() + 1));
    std::vector<uint32_t> addressTables;
    for (size_t m = 0; m < modules.size(); ++m) {
        const ImportModule& module = modules[m];
        const uint32_t count = static_cast<uint32_t>(module.entries.size()) + 1;
        const uint32_t lookupRva = next;
        const uint32_t addressRva = lookupRva + 4 * count;
        next = addressRva + 4 * count;
        for (size_t i = 0; i < module.entries.size(); ++i) {
            uint32_t value = module.entries[i].lookupValue;
            if (!module.entries[i].name.empty()) {
                value = next;
                image.Put16(next, 0);
                image.PutString(next + 2, module.entries[i].name);
                next = PeImage::Align(next + 2 + static_cast<uint32_t>(module.entries[i].name.size()) + 1, 2);
            }
            image.Put32(lookupRva + 4 * static_cast<uint32_t>(i), value);
            image.Put32(addressRva + 4 * static_cast<uint32_t>(i), value);
        }
        const uint32_t nameRva = next;
        image.PutString(nameRva, module.dll);
        next = PeImage::Align(nameRva + static_cast<uint32_t>(module.dll.size()) + 1, 4);
        const uint32_t d = rva + static_cast<uint32_t>(sizeof(IMAGE_IMPORT_DESCRIPTOR) * m);
        image.Put32(d + offsetof(IMAGE_IMPORT_DESCRIPTOR, OriginalFirstThunk), module.withLookupTable ? lookupRva : 0);
        image.Put32(d + offsetof(IMAGE_IMPORT_DESCRIPTOR, Name), nameRva);
        image.Put32(d + offsetof(IMAGE_IMPORT_DESCRIPTOR, FirstThunk), addressRva);
        addressTables.push_back(addressRva);
    }
    image.Put32(rva + static_cast<uint32_t>(sizeof(IMAGE_IMPORT_DESCRIPTOR) * modules.size()), 0);  // terminator
    image.SetDirectory(IMAGE_DIRECTORY_ENTRY_IMPORT, rva, next - rva);
    return addressTables;
}

// Base-relocation blocks at `rva`, each a page RVA and its raw 16-bit entries (type << 12 | offset),
// written as given (SizeOfBlock is 8 + 2 x entries unless `sizeOfBlock` is 0 or more). The directory
// covers exactly the blocks. Returns the end RVA.
struct RelocationBlock {
    uint32_t page;
    std::vector<uint16_t> entries;
    int64_t sizeOfBlock = -1;
};
inline uint32_t AddRelocations(PeImage& image, uint32_t rva, const std::vector<RelocationBlock>& blocks)
{
    uint32_t next = rva;
    for (const RelocationBlock& block : blocks) {
        const uint32_t size = 8 + 2 * static_cast<uint32_t>(block.entries.size());
        image.Put32(next, block.page);
        image.Put32(next + 4, block.sizeOfBlock >= 0 ? static_cast<uint32_t>(block.sizeOfBlock) : size);
        for (size_t i = 0; i < block.entries.size(); ++i)
            image.Put16(next + 8 + 2 * static_cast<uint32_t>(i), block.entries[i]);
        next += size;
    }
    image.SetDirectory(IMAGE_DIRECTORY_ENTRY_BASERELOC, rva, next - rva);
    return next;
}

// x86 code pieces for test entry points and exports.
namespace x86 {
inline void Append32(std::vector<uint8_t>& code, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        code.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// A DLL entry point (stdcall, three arguments) that counts its calls per reason in counters[reason]
// (an address in the test program) and returns `result`.
inline std::vector<uint8_t> CountingEntry(volatile LONG* counters, uint32_t result)
{
    std::vector<uint8_t> code = {0x8B, 0x44, 0x24, 0x08,  // mov eax, [esp+8]      ; reason
                                 0xFF, 0x04, 0x85};       // inc dword [eax*4 + counters]
    Append32(code, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(counters)));
    code.push_back(0xB8);  // mov eax, result
    Append32(code, result);
    code.insert(code.end(), {0xC2, 0x0C, 0x00});  // ret 12
    return code;
}

// A function that stores its first `count` stack arguments at slots[0..count-1], increments *calls,
// returns 1, and removes `popBytes` of arguments itself (0: cdecl).
inline std::vector<uint8_t> RecordingFunction(volatile uint32_t* slots, int count, volatile LONG* calls, uint16_t popBytes)
{
    std::vector<uint8_t> code;
    for (int i = 0; i < count; ++i) {
        code.insert(code.end(), {0x8B, 0x44, 0x24, static_cast<uint8_t>(4 + 4 * i)});  // mov eax, [esp+4+4i]
        code.push_back(0xA3);                                                         // mov [slot], eax
        Append32(code, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&slots[i])));
    }
    code.insert(code.end(), {0xFF, 0x05});  // inc dword [calls]
    Append32(code, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(calls)));
    code.insert(code.end(), {0xB8, 0x01, 0x00, 0x00, 0x00});  // mov eax, 1
    if (popBytes)
        code.insert(code.end(), {0xC2, static_cast<uint8_t>(popBytes), static_cast<uint8_t>(popBytes >> 8)});
    else
        code.push_back(0xC3);
    return code;
}
}  // namespace x86
