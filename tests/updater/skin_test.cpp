// The updater's skin attachment: ten stacked values for any kind of callee, the values the skin
// library's SkinH_AttachRes receives, and nothing called without the export.
#include "updater/skin.h"
#include "updater/state.h"
#include "updater/updater_resources.h"
#include "updater_fixture.h"

#include <gtest/gtest.h>

namespace {

volatile uint32_t g_got[10];

uint32_t __cdecl CdeclThree(uint32_t a, uint32_t b, uint32_t c)
{
    g_got[0] = a;
    g_got[1] = b;
    g_got[2] = c;
    return a + b + c;
}
uint32_t __stdcall StdcallThree(uint32_t a, uint32_t b, uint32_t c)
{
    g_got[0] = a;
    g_got[1] = b;
    g_got[2] = c;
    return a * b * c;
}
uint32_t __stdcall StdcallTen(uint32_t a, uint32_t b, uint32_t c, uint32_t d, uint32_t e, uint32_t f, uint32_t g, uint32_t h,
                              uint32_t i, uint32_t j)
{
    const uint32_t all[] = {a, b, c, d, e, f, g, h, i, j};
    for (int k = 0; k < 10; ++k)
        g_got[k] = all[k];
    return 10;
}
uint32_t __cdecl CdeclTen(uint32_t a, uint32_t b, uint32_t c, uint32_t d, uint32_t e, uint32_t f, uint32_t g, uint32_t h,
                          uint32_t i, uint32_t j)
{
    return StdcallTen(a, b, c, d, e, f, g, h, i, j) + 1;
}

uint32_t StackPointer()
{
    uint32_t esp;
    __asm__ volatile("movl %%esp, %0" : "=r"(esp));
    return esp;
}

uintptr_t Address(const void* f) { return reinterpret_cast<uintptr_t>(f); }

void Reset()
{
    for (auto& g : g_got)
        g = 0xDEADBEEF;
}

}  // namespace

// Whatever the callee takes and removes, it sees the values in order (missing ones as 0), its result
// comes back and the caller's stack is as before.
TEST(UpdaterSkin, TenStackArgumentsForAnyCallee)
{
    const struct {
        const char* what;
        uintptr_t function;
        int seen;
        uint32_t result;
    } cases[] = {
        {"cdecl, three", Address(reinterpret_cast<void*>(CdeclThree)), 3, 1 + 2 + 3},
        {"stdcall, three", Address(reinterpret_cast<void*>(StdcallThree)), 3, 1 * 2 * 3},
        {"stdcall, ten", Address(reinterpret_cast<void*>(StdcallTen)), 10, 10},
        {"cdecl, ten", Address(reinterpret_cast<void*>(CdeclTen)), 10, 11},
    };
    for (const auto& c : cases) {
        Reset();
        const uint32_t before = StackPointer();
        const uint32_t result = updater::CallExportWithStackArgs(c.function, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10);
        EXPECT_EQ(StackPointer(), before) << c.what;
        EXPECT_EQ(result, c.result) << c.what;
        for (int k = 0; k < c.seen; ++k)
            EXPECT_EQ(g_got[k], static_cast<uint32_t>(k + 1)) << c.what << " value " << k;
    }
    Reset();
    EXPECT_EQ(updater::CallExportWithStackArgs(Address(reinterpret_cast<void*>(StdcallTen)), 7, 8), 10u);
    const uint32_t expected[10] = {7, 8, 0, 0, 0, 0, 0, 0, 0, 0};
    for (int k = 0; k < 10; ++k)
        EXPECT_EQ(g_got[k], expected[k]) << k;
    EXPECT_EQ(updater::CallExportWithStackArgs(0, 1, 2), 0u);
}

TEST(UpdaterSkin, Addresses)
{
    const ByteSet data = {1, 2, 3};
    const Text text = "skin";
    EXPECT_EQ(updater::GetByteSetDataAddress(data), Address(data.data()));
    EXPECT_EQ(updater::GetByteSetDataAddress(ByteSet()), 0u);
    EXPECT_EQ(updater::GetVariableAddress(text), Address(text.c_str()));
    EXPECT_EQ(updater::GetVariableAddress(Text()), 0u);
}

class UpdaterSkinAttach : public ::testing::Test {
protected:
    void SetUp() override
    {
        updater_test::ResetSkinRecord();
        updater::InitUpdaterGlobals();
    }
    void TearDown() override { updater::FreeUpdaterGlobals(); }
    void UseLibrary(const std::vector<uint8_t>& image) { ASSERT_TRUE(updater::SkinModule->Load(image.data(), image.size())); }
};

// SkinH_AttachRes receives exactly (data address, length, null text, seven zeros), cdecl or stdcall;
// attaching twice calls it twice with the same values; empty data passes address 0 and length 0.
TEST_F(UpdaterSkinAttach, ValuesReachTheExport)
{
    for (bool stdcallAttach : {false, true}) {
        updater_test::ResetSkinRecord();
        const std::vector<uint8_t> image = updater_test::RecordingSkinLibrary(stdcallAttach);
        UseLibrary(image);
        const ByteSet data = {9, 8, 7, 6, 5};
        updater::AttachSkinData(data);
        updater::AttachSkinData(data);
        EXPECT_EQ(updater_test::AttachCalls, 2);
        const uint32_t expected[10] = {static_cast<uint32_t>(Address(data.data())), 5, 0, 0, 0, 0, 0, 0, 0, 0};
        for (int k = 0; k < 10; ++k)
            EXPECT_EQ(updater_test::AttachArgs[k], expected[k]) << "stdcall " << stdcallAttach << " value " << k;

        updater::AttachSkinData(ByteSet());
        EXPECT_EQ(updater_test::AttachCalls, 3);
        EXPECT_EQ(updater_test::AttachArgs[0], 0u);
        EXPECT_EQ(updater_test::AttachArgs[1], 0u);
    }
}

// No export, or no library at all: nothing is called.
TEST_F(UpdaterSkinAttach, NothingCalledWithoutTheExport)
{
    const std::vector<uint8_t> image = updater_test::RecordingSkinLibrary(false, false);
    UseLibrary(image);
    updater::AttachSkinData(ByteSet{1, 2});
    EXPECT_EQ(updater_test::AttachCalls, 0);

    updater::SkinModule->Free();
    updater::AttachSkinData(ByteSet{1, 2});
    EXPECT_EQ(updater_test::AttachCalls, 0);
}

// The carried skin library maps from memory and offers SkinH_AttachRes; the exit clean-up unloads it.
TEST_F(UpdaterSkinAttach, CarriedLibraryMaps)
{
    EXPECT_EQ(updater::LoadEmbeddedSkinModule(), 0);
    ASSERT_NE(updater::SkinModule->GetHandle(), 0u);
    EXPECT_NE(updater::SkinModule->GetExport("SkinH_AttachRes"), 0u);
    EXPECT_EQ(updater::CarriedSkinData().size(), UpdaterSkinData_size);
    const uintptr_t base = updater::SkinModule->GetHandle();
    updater::FreeUpdaterGlobals();
    MEMORY_BASIC_INFORMATION info = {};
    VirtualQuery(reinterpret_cast<void*>(base), &info, sizeof(info));
    EXPECT_EQ(info.State, static_cast<DWORD>(MEM_FREE));
    EXPECT_EQ(updater::SkinModule, nullptr);
}
