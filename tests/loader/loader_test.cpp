// The in-memory module loader on images built here and on the real skin library.
#include "helpers/memory_module.h"
#include "loader/pe_writer.h"
#include "resources/resources.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kText = IMAGE_SCN_CNT_CODE | IMAGE_SCN_MEM_EXECUTE | IMAGE_SCN_MEM_READ;
constexpr uint32_t kRdata = IMAGE_SCN_CNT_INITIALIZED_DATA | IMAGE_SCN_MEM_READ;
constexpr uint32_t kData = IMAGE_SCN_CNT_INITIALIZED_DATA | IMAGE_SCN_MEM_READ | IMAGE_SCN_MEM_WRITE;
constexpr uint32_t kBss = IMAGE_SCN_CNT_UNINITIALIZED_DATA | IMAGE_SCN_MEM_READ | IMAGE_SCN_MEM_WRITE;
constexpr uint32_t kReloc = IMAGE_SCN_CNT_INITIALIZED_DATA | IMAGE_SCN_MEM_READ | IMAGE_SCN_MEM_DISCARDABLE;

MEMORY_BASIC_INFORMATION Query(const void* address)
{
    MEMORY_BASIC_INFORMATION info = {};
    VirtualQuery(address, &info, sizeof(info));
    return info;
}

bool RangeFree(uint32_t base, uint32_t size)
{
    MEMORY_BASIC_INFORMATION info = Query(reinterpret_cast<void*>(static_cast<uintptr_t>(base)));
    return info.State == MEM_FREE &&
           reinterpret_cast<uintptr_t>(info.BaseAddress) + info.RegionSize >= static_cast<uintptr_t>(base) + size;
}

// A preferred base that nothing occupies now.
uint32_t FreeBase(uint32_t size = 0x10000)
{
    for (uint32_t base = 0x58000000; base < 0x70000000; base += 0x00400000) {
        if (RangeFree(base, size))
            return base;
    }
    return 0;
}

// .text, .rdata, .data, .bss (no raw data), .reloc (discardable), at 0x1000 .. 0x5000.
struct TestDll {
    explicit TestDll(uint32_t base) : pe(base)
    {
        text = pe.AddSection(".text", 0x200, kText);
        rdata = pe.AddSection(".rdata", 0x800, kRdata);
        data = pe.AddSection(".data", 0x100, kData);
        bss = pe.AddSection(".bss", 0x1800, kBss, false);
        reloc = pe.AddSection(".reloc", 0x100, kReloc);
    }
    PeImage pe;
    uint32_t text, rdata, data, bss, reloc;
};

struct ModuleDeleter {
    void operator()(MemoryModule* module) const { FreeMemoryModule(module); }
};
using ModulePtr = std::unique_ptr<MemoryModule, ModuleDeleter>;

ModulePtr Map(const std::vector<uint8_t>& file) { return ModulePtr(MapMemoryModule(file.data())); }

template <typename T> T& At(MemoryModule* module, uint32_t rva) { return *reinterpret_cast<T*>(module->imageBase + rva); }

uint32_t Address(const void* pointer) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer)); }

// Ordinal under which a module of the process exports `name`.
uint32_t ExportOrdinal(HMODULE module, const char* name)
{
    auto* base = reinterpret_cast<const unsigned char*>(module);
    auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    auto* exp = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(
        base + nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT].VirtualAddress);
    auto* names = reinterpret_cast<const DWORD*>(base + exp->AddressOfNames);
    auto* ordinals = reinterpret_cast<const WORD*>(base + exp->AddressOfNameOrdinals);
    for (DWORD i = 0; i < exp->NumberOfNames; ++i) {
        if (std::string(reinterpret_cast<const char*>(base + names[i])) == name)
            return exp->Base + ordinals[i];
    }
    return 0;
}

volatile LONG g_entryCalls[4];  // per reason: detach, attach, thread attach, thread detach

void ResetEntryCalls()
{
    for (auto& calls : g_entryCalls)
        calls = 0;
}

}  // namespace

TEST(LoaderApis, TableHoldsKernel32Functions)
{
    LoaderApiTable table;
    ResolveLoaderApis(&table);
    HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
    const char* names[] = {"VirtualProtect", "LoadLibraryA", "VirtualAlloc", "VirtualFree", "IsBadReadPtr", "GetProcessHeap",
                           "FreeLibrary", "GetProcAddress", "HeapFree", "HeapAlloc", "HeapReAlloc"};
    void* const* fields = reinterpret_cast<void* const*>(&table);
    static_assert(sizeof(table) == sizeof(names) / sizeof(names[0]) * sizeof(void*));
    for (size_t i = 0; i < sizeof(names) / sizeof(names[0]); ++i)
        EXPECT_EQ(fields[i], reinterpret_cast<void*>(GetProcAddress(kernel32, names[i]))) << names[i];
}

// The walk must not take the first module whose base name merely has twelve characters for kernel32:
// put a module named advapi32.dll first in the initialisation order for the length of the call.
TEST(LoaderApis, ModuleWithTwelveCharacterNameIsNotTakenForKernel32)
{
    uint32_t base = FreeBase();
    ASSERT_NE(base, 0u);
    TestDll dll(base);
    dll.pe.PutBytes(dll.text, {0x31, 0xC0, 0xC2, 0x08, 0x00});  // xor eax, eax; ret 8
    AddExports(dll.pe, dll.rdata, {dll.text}, {{"GetProcAddress", 0}});
    ModulePtr decoy = Map(dll.pe.Build());
    ASSERT_TRUE(decoy);

    struct Entry {
        LIST_ENTRY links;
        void* dllBase;
        void* entryPoint;
        ULONG sizeOfImage;
        USHORT fullLength, fullMaximum;
        const wchar_t* fullBuffer;
        USHORT baseLength, baseMaximum;
        const wchar_t* baseBuffer;
    } fake = {};
    static const wchar_t name[] = L"advapi32.dll";
    fake.dllBase = decoy->imageBase;
    fake.sizeOfImage = decoy->ntHeaders->OptionalHeader.SizeOfImage;
    fake.fullLength = fake.baseLength = 24;
    fake.fullMaximum = fake.baseMaximum = 26;
    fake.fullBuffer = fake.baseBuffer = name;

    unsigned char* peb;
    __asm__ volatile("movl %%fs:0x30, %0" : "=r"(peb));
    unsigned char* ldr = *reinterpret_cast<unsigned char**>(peb + 0x0C);
    auto* head = reinterpret_cast<LIST_ENTRY*>(ldr + 0x1C);
    fake.links.Flink = head->Flink;
    fake.links.Blink = head;
    head->Flink->Blink = &fake.links;
    head->Flink = &fake.links;
    LoaderApiTable table;
    ResolveLoaderApis(&table);
    fake.links.Flink->Blink = head;
    head->Flink = fake.links.Flink;

    EXPECT_EQ(reinterpret_cast<void*>(table.getProcAddress),
              reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetProcAddress")));
    EXPECT_NE(table.heapAlloc, nullptr);
}

TEST(MapMemoryModule, PreferredBaseFreeIsUsedAndNothingIsRelocated)
{
    uint32_t base = FreeBase();
    ASSERT_NE(base, 0u);
    TestDll dll(base);
    dll.pe.Put32(dll.data, base + 0x3100);
    AddRelocations(dll.pe, dll.reloc, {{dll.data, {static_cast<uint16_t>(0x3000)}}});
    ModulePtr module = Map(dll.pe.Build());
    ASSERT_TRUE(module);
    EXPECT_EQ(Address(module->imageBase), base);
    EXPECT_EQ(At<uint32_t>(module.get(), dll.data), base + 0x3100);
    EXPECT_EQ(module->ntHeaders->OptionalHeader.ImageBase, base);
    EXPECT_EQ(reinterpret_cast<unsigned char*>(module->ntHeaders), module->imageBase + 0x80);
}

TEST(MapMemoryModule, TakenBaseRelocatesHighLowEntriesOnly)
{
    uint32_t base = FreeBase();
    ASSERT_NE(base, 0u);
    TestDll dll(base);
    // data+0 HIGHLOW, +4 ABSOLUTE (type 0), +8 HIGH (type 1), +C DIR64 (type 10), +10 HIGHLOW;
    // a second block patches the start of .bss; a type-0 entry at offset 0 pads the first block.
    dll.pe.Put32(dll.data + 0x0, base + 0x3100);
    dll.pe.Put32(dll.data + 0x4, 0x11111111);
    dll.pe.Put32(dll.data + 0x8, 0x22222222);
    dll.pe.Put32(dll.data + 0xC, 0x33333333);
    dll.pe.Put32(dll.data + 0x10, base + 0x1000);
    AddRelocations(dll.pe, dll.reloc,
                   {{dll.data, {0x3000, 0x0004, 0x1008, 0xA00C, 0x3010, 0x0000}}, {dll.bss, {0x3000}}});
    const std::vector<uint8_t> file = dll.pe.Build();

    const uint32_t size = dll.pe.SizeOfImage();
    void* occupied = VirtualAlloc(reinterpret_cast<void*>(static_cast<uintptr_t>(base)), size, MEM_RESERVE, PAGE_NOACCESS);
    ASSERT_EQ(Address(occupied), base);
    ModulePtr module = Map(file);
    VirtualFree(occupied, 0, MEM_RELEASE);
    ASSERT_TRUE(module);
    const uint32_t actual = Address(module->imageBase);
    ASSERT_NE(actual, base);
    const uint32_t delta = actual - base;
    EXPECT_EQ(At<uint32_t>(module.get(), dll.data + 0x0), actual + 0x3100);
    EXPECT_EQ(At<uint32_t>(module.get(), dll.data + 0x4), 0x11111111u);
    EXPECT_EQ(At<uint32_t>(module.get(), dll.data + 0x8), 0x22222222u);
    EXPECT_EQ(At<uint32_t>(module.get(), dll.data + 0xC), 0x33333333u);
    EXPECT_EQ(At<uint32_t>(module.get(), dll.data + 0x10), actual + 0x1000);
    EXPECT_EQ(At<uint32_t>(module.get(), dll.bss), delta);
    EXPECT_EQ(module->ntHeaders->OptionalHeader.ImageBase, actual);
}

TEST(MapMemoryModule, SectionsGetTheirMemoryAndProtection)
{
    uint32_t base = FreeBase();
    ASSERT_NE(base, 0u);
    TestDll dll(base);
    dll.pe.PutString(dll.data, "data bytes");
    AddRelocations(dll.pe, dll.reloc, {});
    ModulePtr module = Map(dll.pe.Build());
    ASSERT_TRUE(module);

    auto* sections = IMAGE_FIRST_SECTION(module->ntHeaders);
    ASSERT_EQ(module->ntHeaders->FileHeader.NumberOfSections, 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(sections[i].Misc.PhysicalAddress, Address(module->imageBase + sections[i].VirtualAddress)) << i;
    EXPECT_STREQ(&At<char>(module.get(), dll.data), "data bytes");

    // The section without raw data: zero-filled, read-write.
    EXPECT_EQ(sections[3].SizeOfRawData, 0u);
    const unsigned char* bss = module->imageBase + dll.bss;
    EXPECT_EQ(std::count(bss, bss + 0x1800, 0), 0x1800);
    EXPECT_EQ(Query(bss).Protect, static_cast<DWORD>(PAGE_READWRITE));

    EXPECT_EQ(Query(module->imageBase + dll.text).Protect, static_cast<DWORD>(PAGE_EXECUTE_READ));
    EXPECT_EQ(Query(module->imageBase + dll.rdata).Protect, static_cast<DWORD>(PAGE_READONLY));
    EXPECT_EQ(Query(module->imageBase + dll.data).Protect, static_cast<DWORD>(PAGE_READWRITE));
    EXPECT_EQ(Query(module->imageBase + dll.reloc).State, static_cast<DWORD>(MEM_RESERVE));  // discarded
}

TEST(MapMemoryModule, ImportsAreBoundByNameAndByOrdinal)
{
    uint32_t base = FreeBase();
    ASSERT_NE(base, 0u);
    TestDll dll(base);
    HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
    const uint32_t ordinal = ExportOrdinal(kernel32, "GetCurrentProcessId");
    ASSERT_NE(ordinal, 0u);
    // Bits 16..30 of an ordinal entry are junk that must not reach GetProcAddress.
    const std::vector<uint32_t> tables = AddImports(
        dll.pe, dll.rdata,
        {{"KERNEL32.dll", {{"GetTickCount"}, {"", 0x80000000u | 0x7ABC0000u | ordinal}}},
         {"user32.dll", {{"GetDesktopWindow"}}, false}});
    ModulePtr module = Map(dll.pe.Build());
    ASSERT_TRUE(module);
    EXPECT_EQ(At<FARPROC>(module.get(), tables[0]), GetProcAddress(kernel32, "GetTickCount"));
    EXPECT_EQ(At<FARPROC>(module.get(), tables[0] + 4), GetProcAddress(kernel32, "GetCurrentProcessId"));
    EXPECT_EQ(At<uint32_t>(module.get(), tables[0] + 8), 0u);
    EXPECT_EQ(At<FARPROC>(module.get(), tables[1]), GetProcAddress(GetModuleHandleA("user32.dll"), "GetDesktopWindow"));
    ASSERT_EQ(module->importedModuleCount, 2);
    EXPECT_EQ(module->importedModules[0], kernel32);
    EXPECT_EQ(module->importedModules[1], GetModuleHandleA("user32.dll"));
}

TEST(MapMemoryModule, EntryPointZeroIsNeverCalled)
{
    uint32_t base = FreeBase();
    ASSERT_NE(base, 0u);
    TestDll dll(base);
    MemoryModule* module = MapMemoryModule(dll.pe.Build().data());
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(module->isInitialised, 0u);
    EXPECT_EQ(module->importedModuleCount, 0);
    FreeMemoryModule(module);  // would jump into the headers if it called an entry point
    EXPECT_EQ(Query(reinterpret_cast<void*>(static_cast<uintptr_t>(base))).State, static_cast<DWORD>(MEM_FREE));
}

TEST(MapMemoryModule, EntryPointIsCalledOnAttachAndDetach)
{
    uint32_t base = FreeBase();
    ASSERT_NE(base, 0u);
    TestDll dll(base);
    dll.pe.PutBytes(dll.text, x86::CountingEntry(g_entryCalls, 1));
    dll.pe.entryRva = dll.text;
    ResetEntryCalls();
    MemoryModule* module = MapMemoryModule(dll.pe.Build().data());
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(module->isInitialised, 1u);
    EXPECT_EQ(g_entryCalls[DLL_PROCESS_ATTACH], 1);
    EXPECT_EQ(g_entryCalls[DLL_PROCESS_DETACH], 0);
    FreeMemoryModule(module);
    EXPECT_EQ(g_entryCalls[DLL_PROCESS_DETACH], 1);
    EXPECT_EQ(g_entryCalls[DLL_PROCESS_ATTACH], 1);
}

TEST(MapMemoryModule, EntryPointRefusingReleasesEverything)
{
    // A library nothing else in the process has loaded, so its release shows.
    const char* library = nullptr;
    for (const char* candidate : {"version.dll", "msimg32.dll", "sensapi.dll"}) {
        if (!GetModuleHandleA(candidate)) {
            library = candidate;
            break;
        }
    }
    ASSERT_NE(library, nullptr);
    const std::string function = std::string(library) == "version.dll" ? "GetFileVersionInfoSizeA"
                                 : std::string(library) == "msimg32.dll" ? "AlphaBlend" : "IsNetworkAlive";

    uint32_t base = FreeBase();
    ASSERT_NE(base, 0u);
    TestDll dll(base);
    dll.pe.PutBytes(dll.text, x86::CountingEntry(g_entryCalls, 0));
    dll.pe.entryRva = dll.text;
    AddImports(dll.pe, dll.rdata, {{library, {{function}}}, {"kernel32.dll", {{"GetTickCount"}}}});
    ResetEntryCalls();
    EXPECT_EQ(MapMemoryModule(dll.pe.Build().data()), nullptr);
    EXPECT_EQ(g_entryCalls[DLL_PROCESS_ATTACH], 1);
    EXPECT_EQ(g_entryCalls[DLL_PROCESS_DETACH], 0);
    EXPECT_EQ(GetModuleHandleA(library), nullptr) << library;
    EXPECT_EQ(Query(reinterpret_cast<void*>(static_cast<uintptr_t>(base))).State, static_cast<DWORD>(MEM_FREE));
}

TEST(MapMemoryModule, UnresolvableImportReleasesEverything)
{
    uint32_t base = FreeBase();
    ASSERT_NE(base, 0u);
    for (const ImportModule& bad : {ImportModule{"kernel32.dll", {{"NoSuchFunctionAnywhere"}}},
                                    ImportModule{"no_such_library_quovanta.dll", {{"Anything"}}}}) {
        TestDll dll(base);
        dll.pe.PutBytes(dll.text, x86::CountingEntry(g_entryCalls, 1));
        dll.pe.entryRva = dll.text;
        AddImports(dll.pe, dll.rdata, {{"user32.dll", {{"GetDesktopWindow"}}}, bad});
        ResetEntryCalls();
        EXPECT_EQ(MapMemoryModule(dll.pe.Build().data()), nullptr) << bad.dll;
        EXPECT_EQ(g_entryCalls[DLL_PROCESS_ATTACH], 0);
        EXPECT_EQ(Query(reinterpret_cast<void*>(static_cast<uintptr_t>(base))).State, static_cast<DWORD>(MEM_FREE));
    }
}

TEST(FindModuleExportByName, ExactNameFirstOccurrence)
{
    uint32_t base = FreeBase();
    ASSERT_NE(base, 0u);
    TestDll dll(base);
    AddExports(dll.pe, dll.rdata, {dll.text + 0x10, dll.text + 0x20, dll.text + 0x30, dll.text + 0x40, 0},
               {{"Alpha", 0}, {"alpha", 1}, {"Dup", 2}, {"Dup", 3}, {"Beyond", 9}, {"Empty", 4}});
    ModulePtr module = Map(dll.pe.Build());
    ASSERT_TRUE(module);
    const struct {
        const char* name;
        uint32_t rva;  // 0: no address
    } cases[] = {
        {"Alpha", dll.text + 0x10}, {"alpha", dll.text + 0x20}, {"ALPHA", 0}, {"Alph", 0}, {"Alphabet", 0},
        {"Dup", dll.text + 0x30},   {"Beyond", 0},              {"Empty", 0}, {"", 0},     {"Missing", 0},
    };
    for (const auto& c : cases) {
        const FARPROC expected = c.rva ? reinterpret_cast<FARPROC>(module->imageBase + c.rva) : nullptr;
        EXPECT_EQ(GetMemoryModuleExport(module.get(), c.name), expected) << c.name;
    }
}

TEST(FindModuleExportByName, NoExportDirectoryAnswersNothing)
{
    uint32_t base = FreeBase();
    ASSERT_NE(base, 0u);
    TestDll dll(base);
    ModulePtr module = Map(dll.pe.Build());
    ASSERT_TRUE(module);
    for (const char* name : {"Alpha", "SkinH_AttachRes", ""})
        EXPECT_EQ(FindModuleExportByName(module.get(), name), nullptr) << name;
    EXPECT_EQ(FindModuleExportByName(nullptr, "Alpha"), nullptr);
    FreeMemoryModule(nullptr);
}

TEST(MapMemoryModule, MalformedImagesAreRefusedSafely)
{
    uint32_t base = FreeBase();
    ASSERT_NE(base, 0u);
    const uint32_t lfanew = 0x80;
    auto nt = [&](std::vector<uint8_t>& file) { return reinterpret_cast<IMAGE_NT_HEADERS32*>(&file[lfanew]); };
    auto firstSection = [&](std::vector<uint8_t>& file) { return IMAGE_FIRST_SECTION(nt(file)); };
    auto plain = [&] { return TestDll(base).pe.Build(); };

    struct Case {
        const char* what;
        std::vector<uint8_t> file;
        bool reserveBase;
    };
    std::vector<Case> cases;
    cases.push_back({"zeros", std::vector<uint8_t>(0x2000, 0), false});
    {
        std::vector<uint8_t> file = plain();
        nt(file)->Signature = 0x4551;
        cases.push_back({"no PE signature", file, false});
    }
    {
        std::vector<uint8_t> file = plain();
        nt(file)->OptionalHeader.Magic = IMAGE_NT_OPTIONAL_HDR64_MAGIC;
        cases.push_back({"64-bit headers", file, false});
    }
    {
        std::vector<uint8_t> file = plain();
        nt(file)->OptionalHeader.SizeOfHeaders = 0x100000;
        cases.push_back({"headers larger than the image", file, false});
    }
    {
        std::vector<uint8_t> file = plain();
        nt(file)->FileHeader.NumberOfSections = 60;  // table runs past SizeOfHeaders
        cases.push_back({"section table beyond the headers", file, false});
    }
    {
        std::vector<uint8_t> file = plain();
        firstSection(file)[2].VirtualAddress = 0x00F00000;
        cases.push_back({"section outside the image", file, false});
    }
    {
        TestDll dll(base);
        AddImports(dll.pe, dll.rdata, {{"kernel32.dll", {{"GetTickCount"}}}});
        dll.pe.Put32(dll.rdata + offsetof(IMAGE_IMPORT_DESCRIPTOR, Name), 0x7FFF0000);
        cases.push_back({"import name outside the image", dll.pe.Build(), false});
    }
    {
        TestDll dll(base);
        dll.pe.fileCharacteristics |= IMAGE_FILE_RELOCS_STRIPPED;
        cases.push_back({"no relocations and the base taken", dll.pe.Build(), true});
    }
    for (Case& c : cases) {
        void* occupied = nullptr;
        if (c.reserveBase)
            occupied = VirtualAlloc(reinterpret_cast<void*>(static_cast<uintptr_t>(base)), 0x10000, MEM_RESERVE, PAGE_NOACCESS);
        EXPECT_EQ(MapMemoryModule(c.file.data()), nullptr) << c.what;
        if (occupied)
            VirtualFree(occupied, 0, MEM_RELEASE);
        EXPECT_TRUE(RangeFree(base, 0x6000)) << c.what;
    }
    EXPECT_EQ(MapMemoryModule(nullptr), nullptr);
}

// Relocation blocks that would never end or reach outside the image end the walk; the image maps.
TEST(MapMemoryModule, BrokenRelocationBlocksEndTheWalk)
{
    uint32_t base = FreeBase();
    ASSERT_NE(base, 0u);
    const std::vector<std::vector<RelocationBlock>> layouts = {
        {{0x3000, {0x3000}}, {0x3000, {0x3004}}, {0x3000, {}, 4}},  // third block: SizeOfBlock 4
        {{0x3000, {0x3000}}, {0x3000, {0x3004}}, {0x3000, {}, 0}},  // third block: SizeOfBlock 0
        {{0x3000, {0x3000}}, {0x5000, {0x3FFE}}, {0x00800000, {0x3000}}},  // targets outside the image
    };
    for (const auto& blocks : layouts) {
        TestDll dll(base);
        dll.pe.Put32(dll.data, 0x100);
        dll.pe.Put32(dll.data + 4, 0x200);
        AddRelocations(dll.pe, dll.reloc, blocks);
        // The directory claims more than the blocks: the walk must still stop.
        dll.pe.SetDirectory(IMAGE_DIRECTORY_ENTRY_BASERELOC, dll.reloc, 0x100);
        const std::vector<uint8_t> file = dll.pe.Build();
        void* occupied = VirtualAlloc(reinterpret_cast<void*>(static_cast<uintptr_t>(base)), 0x10000, MEM_RESERVE, PAGE_NOACCESS);
        ModulePtr module = Map(file);
        VirtualFree(occupied, 0, MEM_RELEASE);
        ASSERT_TRUE(module);
        const uint32_t delta = Address(module->imageBase) - base;
        EXPECT_EQ(At<uint32_t>(module.get(), dll.data), 0x100 + delta);
    }
}

// The skin library the programs carry: relocations, a section without raw data, three imported
// modules, the two exports; a second mapping cannot have the preferred base and runs relocated.
TEST(SkinLibraryImage, MapsAtItsBaseAndElsewhere)
{
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(EmbeddedSkinLibrary);
    auto* headers = reinterpret_cast<const IMAGE_NT_HEADERS32*>(EmbeddedSkinLibrary + dos->e_lfanew);
    ASSERT_GT(EmbeddedSkinLibrary_size, 4096u);
    EXPECT_NE(headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_BASERELOC].Size, 0u);
    const IMAGE_SECTION_HEADER* sections = IMAGE_FIRST_SECTION(headers);
    EXPECT_TRUE(std::any_of(sections, sections + headers->FileHeader.NumberOfSections,
                            [](const IMAGE_SECTION_HEADER& s) { return s.SizeOfRawData == 0; }));
    const uint32_t preferred = headers->OptionalHeader.ImageBase;
    const bool preferredFree = RangeFree(preferred, headers->OptionalHeader.SizeOfImage);

    ModulePtr first(LoadMemoryModule(EmbeddedSkinLibrary));
    ASSERT_TRUE(first);
    ModulePtr second(LoadMemoryModule(EmbeddedSkinLibrary));
    ASSERT_TRUE(second);
    if (preferredFree) {
        EXPECT_EQ(Address(first->imageBase), preferred);
    }
    EXPECT_NE(first->imageBase, second->imageBase);
    for (MemoryModule* module : {first.get(), second.get()}) {
        EXPECT_EQ(module->isInitialised, 1u);
        EXPECT_EQ(module->importedModuleCount, 3);
        EXPECT_EQ(GetMemoryModuleExport(module, "skinh_attachres"), nullptr);
        ASSERT_NE(GetMemoryModuleExport(module, "SkinH_AttachRes"), nullptr);
        auto adjust = reinterpret_cast<int(__cdecl*)(int, int)>(reinterpret_cast<void*>(GetMemoryModuleExport(module, "SkinH_AdjustHSV")));
        ASSERT_NE(adjust, nullptr);
        EXPECT_EQ(adjust(10, 10), 0);  // no skin attached: nothing to shift (and its globals are reachable)
        auto attach = reinterpret_cast<int(__cdecl*)(const void*, int, const char*)>(
            reinterpret_cast<void*>(GetMemoryModuleExport(module, "SkinH_AttachRes")));
        EXPECT_EQ(attach("nope", 4, nullptr), 0);
    }
}
