#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "runtime/files.h"

namespace {

// A fresh folder with a Chinese name under the temporary folder, removed with everything in it.
class TempFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        char temp[MAX_PATH + 1] = {};
        DWORD n = GetTempPathA(sizeof temp, temp);
        ASSERT_GT(n, 0u);
        dir_ = Text(temp, n);
        if (!dir_.empty() && dir_.back() == '\\')
            dir_.pop_back();
        dir_ += "\\行情测试_" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(GetTickCount());
        ASSERT_TRUE(CreateDirectoryA(dir_.c_str(), nullptr)) << GetLastError();
    }

    void TearDown() override
    {
        WIN32_FIND_DATAA fd;
        HANDLE h = FindFirstFileA((dir_ + "\\*").c_str(), &fd);
        if (h != INVALID_HANDLE_VALUE) {
            do {
                Text name = fd.cFileName;
                if (name != "." && name != "..")
                    DeleteFileA((dir_ + "\\" + name).c_str());
            } while (FindNextFileA(h, &fd));
            FindClose(h);
        }
        RemoveDirectoryA(dir_.c_str());
    }

    Text Path(const Text& name) const { return dir_ + "\\" + name; }

    Text dir_;
};

TEST_F(TempFolder, WholeFilesRoundTrip)
{
    ByteSet all;
    for (int i = 0; i < 256; ++i)
        all.push_back(static_cast<unsigned char>(i));
    ByteSet big(3 * 1024 * 1024 + 17);
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<unsigned char>(i * 7);
    struct Case {
        Text name;
        ByteSet bytes;
    } cases[] = {
        {"bytes.bin", all},
        {"empty.bin", {}},
        {"big.bin", big},
        {"报价表.txt", ByteSet{'x', 0, 'y'}},
        // 0x5C ('\') as the second byte of a double-byte character in the file name.
        {"\x81\x5C" "a.txt", ByteSet{'1'}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Text path = Path(c.name);
        EXPECT_FALSE(FileExists(path));
        ASSERT_TRUE(WriteWholeFile(path, c.bytes));
        EXPECT_TRUE(FileExists(path));
        ByteSet back{1, 2, 3};
        ASSERT_TRUE(ReadWholeFile(path, back));
        EXPECT_EQ(back, c.bytes);
        EXPECT_TRUE(DeleteFileAt(path));
        EXPECT_FALSE(FileExists(path));
    }
}

TEST_F(TempFolder, OverwriteTruncates)
{
    const Text path = Path("a.bin");
    ASSERT_TRUE(WriteWholeFile(path, "0123456789", 10));
    ASSERT_TRUE(WriteWholeFile(path, "abc", 3));
    ByteSet back;
    ASSERT_TRUE(ReadWholeFile(path, back));
    EXPECT_EQ(Text(back.begin(), back.end()), "abc");
}

TEST_F(TempFolder, FailuresAreReported)
{
    ByteSet out{9};
    EXPECT_FALSE(ReadWholeFile(Path("missing.bin"), out));
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(ReadWholeFile(dir_, out));
    EXPECT_FALSE(ReadWholeFile("", out));
    EXPECT_FALSE(WriteWholeFile(Path("no folder\\x.bin"), "x", 1));
    EXPECT_FALSE(WriteWholeFile(dir_, "x", 1));
    EXPECT_FALSE(WriteWholeFile(Path("bad<name>.bin"), "x", 1));
    EXPECT_FALSE(WriteWholeFile(Path("null.bin"), nullptr, 5));
    EXPECT_FALSE(FileExists(dir_));  // a folder is no file
    EXPECT_FALSE(FileExists(""));
    EXPECT_FALSE(DeleteFileAt(Path("missing.bin")));
    EXPECT_FALSE(DeleteFileAt(""));
}

TEST(ProgramDirectory, IsTheFolderOfTheExe)
{
    char full[MAX_PATH * 2] = {};
    DWORD n = GetModuleFileNameA(nullptr, full, sizeof full);
    ASSERT_GT(n, 0u);
    const Text dir = ProgramDirectory();
    ASSERT_FALSE(dir.empty());
    EXPECT_NE(dir.back(), '\\');
    const Text path(full, n);
    ASSERT_EQ(path.compare(0, dir.size(), dir), 0);
    EXPECT_EQ(path[dir.size()], '\\');
    EXPECT_EQ(path.find('\\', dir.size() + 1), Text::npos);
    EXPECT_TRUE(FileExists(path));
}

// The last separator is found as a character: the trail byte 0x5C of 誠 (D5 5C) is no backslash.
TEST(PathParts, CutAtTheLastRealSeparator)
{
    const struct {
        const char* path;
        const char* directory;
        const char* name;
    } cases[] = {
        {"C:\\程序\\Quovanta.exe", "C:\\程序", "Quovanta.exe"},
        {"C:\\程序\\誠.exe", "C:\\程序", "誠.exe"},
        {"C:\\誠\\表.exe", "C:\\誠", "表.exe"},
        {"C:\\誠", "C:", "誠"},
        {"D:/games/a.exe", "D:/games", "a.exe"},
        {"誠.exe", "", "誠.exe"},
        {"C:\\dir\\", "C:\\dir", ""},
        {"", "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PathDirectory(c.path), c.directory) << c.path;
        EXPECT_EQ(PathFileName(c.path), c.name) << c.path;
    }
}

TEST_F(TempFolder, IniWritesProfileStrings)
{
    const Text ini = Path("config.ini");
    ASSERT_TRUE(WriteIniText(ini, "基本配置", "版本号", "2.034"));

    char buf[64] = {};
    DWORD n = GetPrivateProfileStringA("基本配置", "版本号", "", buf, sizeof buf, ini.c_str());
    EXPECT_EQ(Text(buf, n), "2.034");
    EXPECT_EQ(ReadIniText(ini, "基本配置", "版本号"), "2.034");

    ByteSet raw;
    ASSERT_TRUE(ReadWholeFile(ini, raw));
    const Text text(raw.begin(), raw.end());
    EXPECT_NE(text.find("[基本配置]\r\n"), Text::npos) << text;
    EXPECT_NE(text.find("版本号=2.034"), Text::npos) << text;

    ASSERT_TRUE(WriteIniText(ini, "基本配置", "版本号", "2.035"));
    EXPECT_EQ(ReadIniText(ini, "基本配置", "版本号"), "2.035");
    EXPECT_EQ(ReadIniText(ini, "基本配置", "其他", "默认"), "默认");
    EXPECT_EQ(ReadIniText(ini, "没有", "版本号"), "");
    EXPECT_EQ(ReadIniText(Path("missing.ini"), "基本配置", "版本号", "x"), "x");
}

TEST_F(TempFolder, IniLongValuesAreWhole)
{
    const Text ini = Path("long.ini");
    Text value;
    for (int i = 0; i < 1500; ++i)
        value += "价";
    value += "end";
    ASSERT_TRUE(WriteIniText(ini, "s", "k", value));
    EXPECT_EQ(ReadIniText(ini, "s", "k"), value);
    const Text longFallback(5000, 'f');
    EXPECT_EQ(ReadIniText(ini, "s", "none", longFallback), longFallback);
}

TEST(Environment, ReadsVariables)
{
    ASSERT_TRUE(SetEnvironmentVariableA("QUOVANTA_RUNTIME_TEST", "行情:8080"));
    EXPECT_EQ(ReadEnvironment("QUOVANTA_RUNTIME_TEST"), "行情:8080");
    const Text longValue(5000, 'v');
    ASSERT_TRUE(SetEnvironmentVariableA("QUOVANTA_RUNTIME_TEST", longValue.c_str()));
    EXPECT_EQ(ReadEnvironment("QUOVANTA_RUNTIME_TEST"), longValue);
    ASSERT_TRUE(SetEnvironmentVariableA("QUOVANTA_RUNTIME_TEST", nullptr));
    EXPECT_EQ(ReadEnvironment("QUOVANTA_RUNTIME_TEST"), "");
    EXPECT_EQ(ReadEnvironment(""), "");
}

}  // namespace
