// The updater's in-memory loader on images built here: the length and flag checks, the image size,
// relocations, imports, the entry point, exports by name and by ordinal text, and the object.
#include "loader/pe_writer.h"
#include "updater/memory_module.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kText = IMAGE_SCN_CNT_CODE | IMAGE_SCN_MEM_EXECUTE | IMAGE_SCN_MEM_READ;
constexpr uint32_t kData = IMAGE_SCN_CNT_INITIALIZED_DATA | IMAGE_SCN_MEM_READ | IMAGE_SCN_MEM_WRITE;
constexpr uint32_t kReloc = IMAGE_SCN_CNT_INITIALIZED_DATA | IMAGE_SCN_MEM_READ | IMAGE_SCN_MEM_DISCARDABLE;

volatile LONG g_entry[4];  // entry-point calls per reason

void ResetEntry()
{
    for (auto& c : g_entry)
        c = 0;
}

bool RangeFree(uint32_t base, uint32_t size)
{
    MEMORY_BASIC_INFORMATION info = {};
    VirtualQuery(reinterpret_cast<void*>(static_cast<uintptr_t>(base)), &info, sizeof(info));
    return info.State == MEM_FREE && reinterpret_cast<uintptr_t>(info.BaseAddress) + info.RegionSize >= uintptr_t{base} + size;
}

uint32_t FreeBase(uint32_t size = 0x10000)
{
    for (uint32_t base = 0x5A000000; base < 0x70000000; base += 0x00400000)
        if (RangeFree(base, size))
            return base;
    return 0;
}

// .text (entry point counting its calls, returning `entryResult`), .data, .reloc at 0x1000 .. 0x3000.
struct Dll {
    explicit Dll(uint32_t base, uint32_t entryResult = 1) : pe(base)
    {
        text = pe.AddSection(".text", 0x400, kText);
        data = pe.AddSection(".data", 0x200, kData);
        reloc = pe.AddSection(".reloc", 0x100, kReloc);
        pe.PutBytes(text, x86::CountingEntry(g_entry, entryResult));
        pe.entryRva = text;
    }
    PeImage pe;
    uint32_t text, data, reloc;
};

IMAGE_NT_HEADERS32& Nt(std::vector<uint8_t>& file) { return *reinterpret_cast<IMAGE_NT_HEADERS32*>(&file[0x80]); }
IMAGE_SECTION_HEADER& Section(std::vector<uint8_t>& file, int i)
{
    return *reinterpret_cast<IMAGE_SECTION_HEADER*>(&file[0x80 + 248 + 40 * i]);
}

uintptr_t Map(const std::vector<uint8_t>& file, updater::ImportHook hook = nullptr, intptr_t value = 0)
{
    return updater::MapMemoryModule(file.data(), file.size(), hook, value);
}

template <class T> T At(uintptr_t base, uint32_t rva)
{
    T value;
    std::memcpy(&value, reinterpret_cast<const void*>(base + rva), sizeof(T));
    return value;
}

// Size of the committed block the image lies in.
uint32_t MappedSize(uintptr_t base)
{
    MEMORY_BASIC_INFORMATION info = {};
    VirtualQuery(reinterpret_cast<void*>(base), &info, sizeof(info));
    return static_cast<uint32_t>(info.RegionSize);
}

}  // namespace

// The length and flag checks: each image is refused (0) or mapped as the rules say.
TEST(UpdaterLoader, LengthAndFlagChecks)
{
    const uint32_t base = FreeBase();
    ASSERT_NE(base, 0u);
    PeImage bare(base);  // no sections: the headers alone
    bare.fileCharacteristics = IMAGE_FILE_EXECUTABLE_IMAGE | IMAGE_FILE_32BIT_MACHINE;
    const std::vector<uint8_t> full = bare.Build();
    const size_t headersEnd = 0x80 + 248;

    struct Case {
        const char* what;
        std::vector<uint8_t> file;
        bool mapped;
    };
    std::vector<Case> cases;
    cases.push_back({"63 bytes", std::vector<uint8_t>(full.begin(), full.begin() + 63), false});
    cases.push_back({"e_lfanew + 248 exactly", std::vector<uint8_t>(full.begin(), full.begin() + headersEnd), true});
    cases.push_back({"one byte short of the NT headers", std::vector<uint8_t>(full.begin(), full.begin() + headersEnd - 1), false});
    {
        std::vector<uint8_t> f = full;
        Nt(f).FileHeader.Characteristics = IMAGE_FILE_32BIT_MACHINE;
        cases.push_back({"no executable flag", f, false});
    }
    {
        std::vector<uint8_t> f = full;
        reinterpret_cast<IMAGE_DOS_HEADER*>(f.data())->e_lfanew = 0x7FFFFF00;
        cases.push_back({"e_lfanew beyond the bytes", f, false});
    }
    {
        std::vector<uint8_t> f = full;
        reinterpret_cast<IMAGE_DOS_HEADER*>(f.data())->e_magic = 0x5A4E;
        cases.push_back({"no MZ", f, false});
    }
    {
        std::vector<uint8_t> f = full;
        Nt(f).Signature = 0x4551;
        cases.push_back({"no PE signature", f, false});
    }
    {
        std::vector<uint8_t> f = full;
        Nt(f).FileHeader.NumberOfSections = 3;
        f.resize(headersEnd + 40 * 3 - 1);
        cases.push_back({"section table cut short", f, false});
    }
    {
        std::vector<uint8_t> f = full;
        Nt(f).OptionalHeader.SectionAlignment = 0;
        cases.push_back({"section alignment 0", f, false});
    }
    {
        std::vector<uint8_t> f = full;
        Nt(f).OptionalHeader.SizeOfImage = 0;
        cases.push_back({"image size 0", f, false});
    }
    {
        Dll dll(base);
        std::vector<uint8_t> f = dll.pe.Build();
        Section(f, 1).PointerToRawData = static_cast<DWORD>(f.size() - 0x100);
        cases.push_back({"raw data beyond the bytes", f, false});
    }
    for (const Case& c : cases) {
        ResetEntry();
        const uintptr_t mapped = Map(c.file);
        EXPECT_EQ(mapped != 0, c.mapped) << c.what;
        if (mapped) {
            EXPECT_EQ(mapped, base) << c.what;
            EXPECT_TRUE(updater::FreeMemoryModule(mapped)) << c.what;
        }
        EXPECT_TRUE(RangeFree(base, 0x1000)) << c.what;
        EXPECT_EQ(g_entry[0] + g_entry[1], 0) << c.what;
    }
}

// The image size: SizeOfImage, or the furthest aligned section end when that is more, a section
// counting the larger of its raw size and the low 16 bits of its VirtualSize. The headers are copied
// up to the end of the section table only.
TEST(UpdaterLoader, ImageSizeFromSectionsAndHeaderCopy)
{
    const uint32_t base = FreeBase(0x40000);
    ASSERT_NE(base, 0u);
    Dll dll(base);
    dll.pe.Put32(dll.data + 0x1FC, 0xC0FFEE11);  // the last word of .data's raw bytes
    std::vector<uint8_t> file = dll.pe.Build();
    Nt(file).OptionalHeader.SizeOfImage = 0x1000;  // smaller than the sections reach
    // .reloc's VirtualSize 0x20100: only 0x0100 counts, so the image ends at 0x4000, not 0x24000.
    Section(file, 2).Misc.VirtualSize = 0x20100;
    Section(file, 2).SizeOfRawData = 0;
    file[0x80 + 248 + 40 * 3] = 0xAB;  // just after the section table: not copied
    const uintptr_t mapped = Map(file);
    ASSERT_NE(mapped, 0u);
    EXPECT_EQ(MappedSize(mapped), 0x4000u);
    EXPECT_EQ(At<uint32_t>(mapped, dll.data + 0x1FC), 0xC0FFEE11u);
    EXPECT_EQ(At<uint8_t>(mapped, 0x80 + 248 + 40 * 3), 0);
    EXPECT_EQ(At<uint32_t>(mapped, 0x80), IMAGE_NT_SIGNATURE);
    EXPECT_TRUE(updater::FreeMemoryModule(mapped));
}

// Relocations are applied also at the preferred base, block by block: a block of SizeOfBlock 8 has no
// entries and the walk goes on; a block below 8 bytes, or one that runs past the image, refuses the
// image (and gives its memory back).
TEST(UpdaterLoader, RelocationBlocks)
{
    const uint32_t base = FreeBase();
    ASSERT_NE(base, 0u);
    struct Case {
        const char* what;
        std::vector<RelocationBlock> blocks;
        bool mapped;
    };
    const Case cases[] = {
        {"one block", {{0x2000, {0x3000, 0x3004}}}, true},
        {"an empty block of 8 bytes first", {{0x2000, {}, 8}, {0x2000, {0x3000, 0x3004}}}, true},
        {"SizeOfBlock 0", {{0x2000, {0x3000}, 0}, {0x2000, {0x3004}}}, false},
        {"SizeOfBlock 6", {{0x2000, {0x3000}, 6}}, false},
        {"SizeOfBlock past the image", {{0x2000, {0x3000}, 0x100000}}, false},
        {"a target past the image", {{0x7FF0, {0x3FFE}}}, false},
    };
    for (const Case& c : cases) {
        Dll dll(base);
        dll.pe.Put32(dll.data, base + 0x1234);
        dll.pe.Put32(dll.data + 4, 0x0BAD0000);
        AddRelocations(dll.pe, dll.reloc, c.blocks);
        const std::vector<uint8_t> file = dll.pe.Build();
        ResetEntry();
        // The preferred base is taken, so that a delta shows.
        void* taken = VirtualAlloc(reinterpret_cast<void*>(uintptr_t{base}), 0x4000, MEM_RESERVE, PAGE_NOACCESS);
        ASSERT_NE(taken, nullptr);
        const uintptr_t mapped = Map(file);
        VirtualFree(taken, 0, MEM_RELEASE);
        EXPECT_EQ(mapped != 0, c.mapped) << c.what;
        if (!mapped) {
            EXPECT_EQ(g_entry[1], 0) << c.what;
            continue;
        }
        const uint32_t delta = static_cast<uint32_t>(mapped) - base;
        EXPECT_EQ(At<uint32_t>(mapped, dll.data), base + 0x1234 + delta) << c.what;
        EXPECT_EQ(At<uint32_t>(mapped, dll.data + 4), 0x0BAD0000u + delta) << c.what;
        updater::FreeMemoryModule(mapped);
    }

    // At the preferred base the delta is 0 and the walk still runs to its end (a bad block refuses).
    Dll dll(base);
    AddRelocations(dll.pe, dll.reloc, {{0x2000, {0x3000}}, {0x2000, {}, 4}});
    EXPECT_EQ(Map(dll.pe.Build()), 0u);
    EXPECT_TRUE(RangeFree(base, 0x4000));
}

namespace {
std::vector<std::string> g_hookCalls;
uintptr_t g_hookAnswer;

uintptr_t RecordingHook(const char* module, const char* function, intptr_t value)
{
    g_hookCalls.push_back(std::string(module) + "!" + function + "#" + std::to_string(value));
    return g_hookAnswer;
}
}  // namespace

// Imports are bound through FirstThunk (the lookup table is never read): the hook is asked first with
// the function's name or its ordinal as decimal text; without an answer GetProcAddress is; a function
// nobody supplies refuses the image.
TEST(UpdaterLoader, ImportsThroughTheAddressTable)
{
    const uint32_t base = FreeBase();
    ASSERT_NE(base, 0u);
    HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
    const uint32_t ordinal = 0x80000000u | 17;
    auto tableOf = [](uintptr_t mapped) { return At<uint32_t>(mapped, 0x2000 + offsetof(IMAGE_IMPORT_DESCRIPTOR, FirstThunk)); };
    auto build = [&](std::vector<ImportEntry> entries) {
        Dll dll(base);
        AddImports(dll.pe, dll.data, {{"kernel32.dll", std::move(entries), false}});
        return dll.pe.Build();
    };

    // No hook: GetProcAddress.
    std::vector<uint8_t> file = build({{"GetTickCount", 0}});
    uintptr_t mapped = Map(file);
    ASSERT_NE(mapped, 0u);
    EXPECT_EQ(At<uint32_t>(mapped, 0x2000 + offsetof(IMAGE_IMPORT_DESCRIPTOR, OriginalFirstThunk)), 0u);
    EXPECT_EQ(At<uint32_t>(mapped, tableOf(mapped)), reinterpret_cast<uintptr_t>(GetProcAddress(kernel32, "GetTickCount")));
    updater::FreeMemoryModule(mapped);

    // A hook that answers supplies both; it sees the ordinal as "17" and the hook value unchanged.
    g_hookCalls.clear();
    g_hookAnswer = 0x12345678;
    file = build({{"NoSuchFunctionAnywhere", 0}, {"", ordinal}});
    mapped = Map(file, RecordingHook, 42);
    ASSERT_NE(mapped, 0u);
    EXPECT_EQ(g_hookCalls, (std::vector<std::string>{"kernel32.dll!NoSuchFunctionAnywhere#42", "kernel32.dll!17#42"}));
    EXPECT_EQ(At<uint32_t>(mapped, tableOf(mapped)), 0x12345678u);
    EXPECT_EQ(At<uint32_t>(mapped, tableOf(mapped) + 4), 0x12345678u);
    updater::FreeMemoryModule(mapped);

    // A hook that answers 0 leaves it to GetProcAddress, which does not know the name: refused.
    g_hookCalls.clear();
    g_hookAnswer = 0;
    ResetEntry();
    EXPECT_EQ(Map(file, RecordingHook, 1), 0u);
    EXPECT_EQ(g_hookCalls.size(), 1u);
    EXPECT_EQ(g_entry[1], 0);
    EXPECT_TRUE(RangeFree(base, 0x4000));
}

// The entry point: called with (0, attach, 0) for a DLL and (0, detach, 0) when freed; an entry that
// answers 0 is told detach and the image is refused; an entry point of 0 is not called; an image
// without the DLL flag is mapped and freed without any call.
TEST(UpdaterLoader, EntryPointCalls)
{
    const uint32_t base = FreeBase();
    ASSERT_NE(base, 0u);
    {
        Dll dll(base);
        ResetEntry();
        const uintptr_t mapped = Map(dll.pe.Build());
        ASSERT_NE(mapped, 0u);
        EXPECT_EQ(g_entry[1], 1);
        EXPECT_EQ(g_entry[0], 0);
        EXPECT_EQ(updater::GetImageEntryPoint(mapped), mapped + dll.text);
        EXPECT_TRUE(updater::FreeMemoryModule(mapped));
        EXPECT_EQ(g_entry[0], 1);
    }
    {
        Dll dll(base, 0);
        ResetEntry();
        EXPECT_EQ(Map(dll.pe.Build()), 0u);
        EXPECT_EQ(g_entry[1], 1);
        EXPECT_EQ(g_entry[0], 1);
        EXPECT_TRUE(RangeFree(base, 0x4000));
    }
    {
        Dll dll(base);
        dll.pe.entryRva = 0;  // would run the headers as code
        ResetEntry();
        const uintptr_t mapped = Map(dll.pe.Build());
        ASSERT_NE(mapped, 0u);
        EXPECT_TRUE(updater::FreeMemoryModule(mapped));
    }
    {
        Dll dll(base);
        dll.pe.entryRva = 0x7FFF0;  // outside the image
        EXPECT_EQ(Map(dll.pe.Build()), 0u);
    }
    {
        Dll dll(base);
        dll.pe.fileCharacteristics = IMAGE_FILE_EXECUTABLE_IMAGE | IMAGE_FILE_32BIT_MACHINE;
        ResetEntry();
        const uintptr_t mapped = Map(dll.pe.Build());
        ASSERT_NE(mapped, 0u);
        EXPECT_TRUE(updater::FreeMemoryModule(mapped));
        EXPECT_EQ(g_entry[0] + g_entry[1], 0);
        EXPECT_TRUE(RangeFree(base, 0x4000));
    }
}

// Exports by name, or by ordinal when the name is the decimal text of a number: "12" is ordinal 12
// (index 12 - Base), "012" a name.
TEST(UpdaterLoader, ExportsByNameAndOrdinalText)
{
    const uint32_t base = FreeBase();
    ASSERT_NE(base, 0u);
    Dll dll(base);
    std::vector<uint32_t> functions;
    for (uint32_t i = 0; i < 13; ++i)
        functions.push_back(dll.text + 0x100 + 4 * i);
    functions[5] = 0;  // an unused slot
    AddExports(dll.pe, dll.data, functions, {{"012", 0}, {"SkinH_AttachRes", 2}, {"Gap", 5}, {"Twin", 3}, {"Twin", 4}});
    const uintptr_t mapped = Map(dll.pe.Build());
    ASSERT_NE(mapped, 0u);
    const struct {
        const char* name;
        uintptr_t expected;
    } cases[] = {
        {"12", mapped + functions[11]},
        {"13", mapped + functions[12]},
        {"1", mapped + functions[0]},
        {"14", 0},
        {"0", 0},
        {"-1", 0},
        {"6", 0},  // index 5 is empty
        {"012", mapped + functions[0]},
        {"SkinH_AttachRes", mapped + functions[2]},
        {"skinh_attachres", 0},
        {"Twin", mapped + functions[3]},
        {"Gap", 0},
        {"", 0},
        {"Missing", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(updater::FindModuleExportByName(mapped, c.name), c.expected) << c.name;
    updater::FreeMemoryModule(mapped);
}

// The object: Load frees what it held first; GetExport and GetEntryPoint answer 0 without an image;
// a clone shares the image and only the owner lets it go.
TEST(UpdaterLoader, ObjectLoadFreeClone)
{
    const uint32_t base = FreeBase(0x100000);
    ASSERT_NE(base, 0u);
    Dll first(base);
    AddExports(first.pe, first.data, {first.text + 0x100}, {{"SkinH_AttachRes", 0}});
    Dll second(base + 0x80000);
    const std::vector<uint8_t> firstFile = first.pe.Build(), secondFile = second.pe.Build();

    ResetEntry();
    auto* module = new updater::MemoryModule;
    EXPECT_EQ(module->GetHandle(), 0u);
    EXPECT_EQ(module->GetExport("SkinH_AttachRes"), 0u);
    EXPECT_EQ(module->GetEntryPoint(), 0u);
    EXPECT_TRUE(module->Free());

    ASSERT_TRUE(module->Load(ByteSet(firstFile.begin(), firstFile.end())));
    EXPECT_EQ(module->GetHandle(), base);
    EXPECT_EQ(module->GetExport("SkinH_AttachRes"), base + first.text + 0x100);
    EXPECT_EQ(module->GetEntryPoint(), base + first.text);

    updater::MemoryModule* clone = module->Clone();
    EXPECT_EQ(clone->GetHandle(), base);
    EXPECT_EQ(clone->GetExport("SkinH_AttachRes"), base + first.text + 0x100);
    delete clone;  // lets go of nothing
    EXPECT_EQ(g_entry[0], 0);
    EXPECT_FALSE(RangeFree(base, 0x1000));

    ASSERT_TRUE(module->Load(secondFile.data(), secondFile.size()));  // the first image goes first
    EXPECT_EQ(g_entry[0], 1);
    EXPECT_TRUE(RangeFree(base, 0x4000));
    EXPECT_EQ(module->GetHandle(), base + 0x80000);

    EXPECT_FALSE(module->Load(ByteSet(63, 0)));  // the old image goes, the new one is refused
    EXPECT_EQ(g_entry[0], 2);
    EXPECT_EQ(module->GetHandle(), 0u);
    EXPECT_TRUE(RangeFree(base + 0x80000, 0x4000));

    ASSERT_TRUE(module->Load(firstFile.data(), firstFile.size()));
    delete module;  // Destroy frees
    EXPECT_EQ(g_entry[0], 3);
    EXPECT_TRUE(RangeFree(base, 0x4000));
}

TEST(UpdaterLoader, AlignUp)
{
    EXPECT_EQ(updater::AlignUp(0, 0x1000), 0u);
    EXPECT_EQ(updater::AlignUp(1, 0x1000), 0x1000u);
    EXPECT_EQ(updater::AlignUp(0x1000, 0x1000), 0x1000u);
    EXPECT_EQ(updater::AlignUp(0x1001, 0x200), 0x1200u);
    EXPECT_EQ(updater::AlignUp(10, 3), 12u);
}
