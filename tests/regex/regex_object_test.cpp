#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>

#include <thread>
#include <vector>

#include "helpers/regex_object.h"

namespace {

const char kGames[] = "{id:'1',name:'a'},{id:'2',name:'b'}";
const char kGamePattern[] = "id:'(.*?)',name:'(.*?)'";

TEST(RegexEngine, VbscriptRegExpIsRegistered)
{
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    CLSID clsid;
    EXPECT_EQ(CLSIDFromProgID(L"VBScript.RegExp", &clsid), S_OK);
    CoUninitialize();
}

TEST(RegexObject, ReadsRecordsWithCaptureGroups)
{
    RegexObject re;
    ASSERT_TRUE(re.Create(kGamePattern, kGames));
    ASSERT_EQ(re.GetMatchCount(), 2);
    EXPECT_EQ(re.GetSubMatch(2, 2), "b");
    EXPECT_EQ(re.GetSubMatch(1, 1), "1");
    EXPECT_EQ(re.GetSubMatch(1, 2), "a");
    EXPECT_EQ(re.GetSubMatch(2, 1), "2");
    EXPECT_EQ(re.GetSubMatchCount(), 2);
    EXPECT_EQ(re.GetMatch(1), "id:'1',name:'a'");
    EXPECT_EQ(re.GetMatch(2), "id:'2',name:'b'");
    EXPECT_EQ(re.GetPattern(), kGamePattern);
    re.Destroy();
}

TEST(RegexObject, CarriesGbkTextBothWays)
{
    RegexObject re;
    ASSERT_TRUE(re.Create("name:'(.*?)'", "callgame([{id:'11',name:'梦幻西游'},{id:'12',name:'问道'}])"));
    ASSERT_EQ(re.GetMatchCount(), 2);
    EXPECT_EQ(re.GetSubMatch(1, 1), "梦幻西游");
    EXPECT_EQ(re.GetSubMatch(2, 1), "问道");

    ASSERT_TRUE(re.Create("区([一二三])", "电信一区 网通二区"));
    ASSERT_EQ(re.GetMatchCount(), 0);
    ASSERT_TRUE(re.Create("([一二三])区", "电信一区 网通二区"));
    ASSERT_EQ(re.GetMatchCount(), 2);
    EXPECT_EQ(re.GetSubMatch(2, 1), "二");
}

TEST(RegexObject, NoMatchIsSuccessWithCountZero)
{
    RegexObject re;
    EXPECT_TRUE(re.Create(kGamePattern, "callgame([])"));
    EXPECT_EQ(re.GetMatchCount(), 0);
    EXPECT_EQ(re.GetSubMatchCount(), 0);
    EXPECT_EQ(re.GetMatch(1), "");
    EXPECT_EQ(re.GetSubMatch(1, 1), "");

    EXPECT_TRUE(re.Create(kGamePattern, ""));
    EXPECT_EQ(re.GetMatchCount(), 0);
}

TEST(RegexObject, RejectedPatternGivesFalseAndCountZero)
{
    for (const char* bad : {"(", "a(b", "[a", "a)"}) {
        RegexObject re;
        EXPECT_FALSE(re.Create(bad, "a(b)")) << bad;
        EXPECT_EQ(re.GetMatchCount(), 0) << bad;
        EXPECT_EQ(re.GetMatch(1), "") << bad;
        EXPECT_EQ(re.GetSubMatch(1, 1), "") << bad;
    }
}

TEST(RegexObject, QuoteFlagTurnsTheMarkerIntoADoubleQuote)
{
    const char subject[] = "{\"name\":\"点卡\",\"id\":\"7\"}";
    RegexObject re;
    ASSERT_TRUE(re.Create("name#引号:#引号(.*?)#引号", subject, 0, true, true, 1));
    EXPECT_EQ(re.GetPattern(), "name\":\"(.*?)\"");
    ASSERT_EQ(re.GetMatchCount(), 1);
    EXPECT_EQ(re.GetSubMatch(1, 1), "点卡");

    // Without the flag the marker is an ordinary part of the pattern.
    ASSERT_TRUE(re.Create("name#引号:#引号(.*?)#引号", subject));
    EXPECT_EQ(re.GetPattern(), "name#引号:#引号(.*?)#引号");
    EXPECT_EQ(re.GetMatchCount(), 0);
    ASSERT_TRUE(re.Create("id#引号", "id#引号", 0, true, true, 0));
    EXPECT_EQ(re.GetMatchCount(), 1);
}

struct OptionCase {
    const char* pattern;
    const char* subject;
    int caseSensitive;
    bool multiline;
    bool global;
    int expectedCount;
};

class RegexOptionsTest : public testing::TestWithParam<OptionCase> {};

TEST_P(RegexOptionsTest, CountsMatches)
{
    const OptionCase& c = GetParam();
    RegexObject re;
    ASSERT_TRUE(re.Create(c.pattern, c.subject, c.caseSensitive, c.multiline, c.global));
    EXPECT_EQ(re.GetMatchCount(), c.expectedCount)
        << c.pattern << " flags " << c.caseSensitive << c.multiline << c.global;
}

const OptionCase kOptionCases[] = {
    // Letter case: omitted means case-insensitive; only the lowest bit of the argument counts.
    {"ID", "id:'1' Id:'2'", 0, true, true, 2},
    {"ID", "id:'1' Id:'2'", 1, true, true, 0},
    {"ID", "id:'1' ID:'2'", 1, true, true, 1},
    {"ID", "id:'1' Id:'2'", 2, true, true, 2},
    {"ID", "id:'1' Id:'2'", 3, true, true, 0},
    // Multiline: ^ and $ at every line.
    {"^b$", "a\nb\nc", 0, true, true, 1},
    {"^b$", "a\nb\nc", 0, false, true, 0},
    {"^\\w", "a\nb\nc", 0, true, true, 3},
    // Global: every match or only the first.
    {"\\d", "a1b2c3", 0, true, true, 3},
    {"\\d", "a1b2c3", 0, true, false, 1},
    // Lazy quantifiers.
    {"<b>.*?</b>", "<b>1</b><b>2</b>", 0, true, true, 2},
    {"<b>.*</b>", "<b>1</b><b>2</b>", 0, true, true, 1},
};

INSTANTIATE_TEST_SUITE_P(Table, RegexOptionsTest, testing::ValuesIn(kOptionCases));

TEST(RegexObject, DefaultsAreCaseInsensitiveMultilineGlobal)
{
    RegexObject re;
    ASSERT_TRUE(re.Create("^ID:(\\d)", "id:1\nID:2\nx id:3"));
    ASSERT_EQ(re.GetMatchCount(), 2);
    EXPECT_EQ(re.GetSubMatch(2, 1), "2");
}

TEST(RegexObject, PositionsAreByteOffsets)
{
    RegexObject re;
    int pos = 99;
    ASSERT_TRUE(re.Create("b", "abc"));
    EXPECT_EQ(re.GetMatch(1, &pos), "b");
    EXPECT_EQ(pos, 1);

    // UTF-16 index and byte offset differ after double-byte characters, and the text occurs earlier.
    ASSERT_TRUE(re.Create("b", "中文b中b"));
    ASSERT_EQ(re.GetMatchCount(), 2);
    EXPECT_EQ(re.GetMatch(1, &pos), "b");
    EXPECT_EQ(pos, 4);
    EXPECT_EQ(re.GetMatch(2, &pos), "b");
    EXPECT_EQ(pos, 7);

    ASSERT_TRUE(re.Create("数量:(\\d+)", "价格:12元 数量:12"));
    EXPECT_EQ(re.GetSubMatch(1, 1, &pos), "12");
    EXPECT_EQ(pos, 15);
    EXPECT_EQ(re.GetMatch(1, &pos), "数量:12");
    EXPECT_EQ(pos, 10);

    // A match that is empty still has a position; a group that took no part has none.
    ASSERT_TRUE(re.Create("x*(y)?$", "中a", 0, true, false));
    ASSERT_EQ(re.GetMatchCount(), 1);
    EXPECT_EQ(re.GetMatch(1, &pos), "");
    EXPECT_EQ(pos, 3);
    EXPECT_EQ(re.GetSubMatch(1, 1, &pos), "");
    EXPECT_EQ(pos, -2);
}

TEST(RegexObject, GroupThatTookNoPartIsEmpty)
{
    RegexObject re;
    ASSERT_TRUE(re.Create("a(x)?(b)", "ab"));
    ASSERT_EQ(re.GetMatchCount(), 1);
    EXPECT_EQ(re.GetSubMatchCount(), 2);
    EXPECT_EQ(re.GetSubMatch(1, 1), "");
    EXPECT_EQ(re.GetSubMatch(1, 2), "b");
}

TEST(RegexObject, ReadsOutsideTheCollectionAreSafe)
{
    RegexObject fresh;
    int pos = 5;
    EXPECT_EQ(fresh.GetMatchCount(), 0);
    EXPECT_EQ(fresh.GetSubMatchCount(), 0);
    EXPECT_EQ(fresh.GetPattern(), "");
    EXPECT_EQ(fresh.Replace("x"), "");
    EXPECT_EQ(fresh.GetMatch(1, &pos), "");
    EXPECT_EQ(pos, -2);
    EXPECT_EQ(fresh.GetSubMatch(1, 1, &pos), "");
    EXPECT_EQ(pos, -2);
    fresh.Reserved();

    RegexObject re;
    ASSERT_TRUE(re.Create(kGamePattern, kGames));
    for (int i : {0, -1, 3, 1000}) {
        EXPECT_EQ(re.GetMatch(i, &pos), "") << i;
        EXPECT_EQ(pos, -2);
        EXPECT_EQ(re.GetSubMatch(i, 1), "") << i;
    }
    for (int j : {0, -1, 3}) {
        EXPECT_EQ(re.GetSubMatch(1, j, &pos), "") << j;
        EXPECT_EQ(pos, -2);
    }
}

TEST(RegexObject, ReplaceWorksOnTheStoredSubject)
{
    RegexObject re;
    ASSERT_TRUE(re.Create("(\\d+)元", "1元 23元 价"));
    EXPECT_EQ(re.Replace("[$1]"), "[1] [23] 价");
    EXPECT_EQ(re.Replace(), "  价");
    ASSERT_TRUE(re.Create("(\\d+)元", "1元 23元 价", 0, true, false));
    EXPECT_EQ(re.Replace("#"), "# 23元 价");
}

TEST(RegexObject, CreateAgainStartsFromEmptyHolders)
{
    RegexObject re;
    ASSERT_TRUE(re.Create(kGamePattern, kGames));
    ASSERT_FALSE(re.Create("(", kGames));
    EXPECT_EQ(re.GetMatchCount(), 0);  // the collection of the previous run is gone
    ASSERT_TRUE(re.Create("name:'(.*?)'", kGames));
    EXPECT_EQ(re.GetMatchCount(), 2);
    EXPECT_EQ(re.GetSubMatch(1, 1), "a");
}

TEST(RegexObject, CloneSharesTheRunAndOutlivesTheOriginal)
{
    auto original = std::make_unique<RegexObject>();
    ASSERT_TRUE(original->Create(kGamePattern, kGames));
    std::unique_ptr<RegexObject> copy = original->Clone();
    original->Destroy();
    original.reset();

    EXPECT_EQ(copy->GetMatchCount(), 2);
    EXPECT_EQ(copy->GetSubMatch(2, 2), "b");
    EXPECT_EQ(copy->GetPattern(), kGamePattern);
    EXPECT_EQ(copy->Replace("x"), "{x},{x}");  // the subject was copied
    copy->Destroy();
    EXPECT_EQ(copy->GetMatchCount(), 0);
}

TEST(RegexObject, DestroyedObjectIsSafeAndCanRunAgain)
{
    RegexObject re;
    ASSERT_TRUE(re.Create(kGamePattern, kGames));
    re.Destroy();
    EXPECT_EQ(re.GetMatchCount(), 0);
    EXPECT_EQ(re.GetPattern(), "");
    re.Destroy();
    ASSERT_TRUE(re.Create(kGamePattern, kGames));
    EXPECT_EQ(re.GetMatchCount(), 2);
}

// Whether the calling thread is in a single-threaded apartment: joining the multithreaded one is then
// refused. Leaves the thread's COM state as it found it.
bool InSingleThreadedApartment()
{
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (SUCCEEDED(hr))
        CoUninitialize();
    return hr == RPC_E_CHANGED_MODE;
}

TEST(RegexObject, InitialisesComOncePerObjectOnItsThread)
{
    std::thread([] {
        EXPECT_FALSE(InSingleThreadedApartment());
        {
            RegexObject re;
            EXPECT_TRUE(InSingleThreadedApartment());
            ASSERT_TRUE(re.Create(kGamePattern, kGames));
            re.Clear();
            re.Clear();  // uninitialises only once
            EXPECT_FALSE(InSingleThreadedApartment());
            re.Destroy();
        }
        EXPECT_FALSE(InSingleThreadedApartment());

        // On a thread that has COM already, the object's initialisation nests inside it.
        ASSERT_EQ(CoInitialize(nullptr), S_OK);
        {
            RegexObject a;
            std::unique_ptr<RegexObject> b = a.Clone();
            a.Destroy();
            b->Destroy();
        }
        EXPECT_TRUE(InSingleThreadedApartment());
        CoUninitialize();
        EXPECT_FALSE(InSingleThreadedApartment());
    }).join();
}

TEST(RegexObject, WorksOnAMultithreadedApartmentThreadWithoutLeavingIt)
{
    std::thread([] {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        {
            RegexObject re;
            ASSERT_TRUE(re.Create(kGamePattern, kGames));
            EXPECT_EQ(re.GetSubMatch(2, 2), "b");
        }
        // Still in the multithreaded apartment: the object did not uninitialise what it had not joined.
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);
        CoUninitialize();
        CoUninitialize();
    }).join();
}

TEST(RegexObject, OneObjectPerWorkerThread)
{
    std::vector<std::thread> workers;
    std::vector<int> ok(4, 0);
    for (int t = 0; t < 4; ++t) {
        workers.emplace_back([t, &ok] {
            Text reply;
            for (int i = 0; i < 200; ++i)
                reply += "{id:'" + std::to_string(t * 1000 + i) + "',name:'游戏" + std::to_string(i) + "'},";
            RegexObject re;
            re.Create(kGamePattern, reply);
            int good = re.GetMatchCount() == 200;
            for (int i = 1; i <= 200 && good; ++i)
                good = re.GetSubMatch(i, 1) == std::to_string(t * 1000 + i - 1) &&
                       re.GetSubMatch(i, 2) == "游戏" + std::to_string(i - 1);
            re.Destroy();
            ok[t] = good;
        });
    }
    for (auto& w : workers)
        w.join();
    EXPECT_EQ(ok, std::vector<int>(4, 1));
}

}  // namespace
