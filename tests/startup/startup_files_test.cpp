// The files Quovanta writes beside itself: in-process on folders of the test, and by the real program
// started in an empty folder and started again.
#include "client/program_state.h"
#include "client/startup_files.h"
#include "resources/resources.h"
#include "runtime/files.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <string>

namespace {

// A plain INI reader that knows nothing of the system's profile functions: sections in brackets,
// "key=value" lines, blanks around both trimmed, ";" comments. Duplicate keys keep the first value, as
// the profile functions do. Any line it cannot read makes the whole file unreadable.
using IniFile = std::map<std::string, std::map<std::string, std::string>>;

std::string Trim(const std::string& s)
{
    const size_t first = s.find_first_not_of(" \t");
    if (first == std::string::npos)
        return "";
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

bool ParseIni(const std::string& text, IniFile& out)
{
    out.clear();
    std::string section;
    bool inSection = false;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        line = Trim(line);
        if (line.empty() || line[0] == ';')
            continue;
        if (line.front() == '[') {
            if (line.back() != ']')
                return false;
            section = Trim(line.substr(1, line.size() - 2));
            inSection = true;
            out[section];
            continue;
        }
        const size_t equals = line.find('=');
        if (!inSection || equals == std::string::npos)
            return false;
        out[section].emplace(Trim(line.substr(0, equals)), Trim(line.substr(equals + 1)));
    }
    return true;
}

std::string ReadText(const Text& path)
{
    ByteSet bytes;
    ReadWholeFile(path, bytes);
    return std::string(bytes.begin(), bytes.end());
}

void WriteText(const Text& path, const std::string& text) { ASSERT_TRUE(WriteWholeFile(path, text.data(), text.size())); }

Text ProfileValue(const Text& directory, const char* section, const char* key)
{
    char value[256] = {};
    GetPrivateProfileStringA(section, key, "(none)", value, sizeof(value), (directory + "\\config.ini").c_str());
    return value;
}

ByteSet CarriedAlarm() { return ByteSet(EmbeddedAlarmSound, EmbeddedAlarmSound + EmbeddedAlarmSound_size); }

// A fresh empty folder below the temporary folder, removed again with everything in it.
class TempFolder {
public:
    explicit TempFolder(const std::string& name)
    {
        char temp[MAX_PATH];
        GetTempPathA(sizeof(temp), temp);
        path_ = Text(temp) + name + IntegerText(GetCurrentProcessId()) + "_" + IntegerText(GetTickCount());
        CreateDirectoryA(path_.c_str(), nullptr);
    }
    ~TempFolder() { Remove(path_); }
    const Text& Path() const { return path_; }

private:
    static std::string IntegerText(unsigned long value) { return std::to_string(value); }
    static void Remove(const Text& folder)
    {
        WIN32_FIND_DATAA found;
        HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &found);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                const Text name = found.cFileName;
                if (name == "." || name == "..")
                    continue;
                const Text full = folder + "\\" + name;
                if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    Remove(full);
                else {
                    SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
                    DeleteFileA(full.c_str());
                }
            } while (FindNextFileA(find, &found));
            FindClose(find);
        }
        RemoveDirectoryA(folder.c_str());
    }
    Text path_;
};

const char kFreshConfig[] = "[基本配置]\r\n版本号=2.034\r\n";

// A config.ini as the user (or an older version) may have left it.
const char kOlderConfig[] =
    "[窗口]\r\n"
    "左=120\r\n"
    "\r\n"
    "[基本配置]\r\n"
    "用户=张三\r\n"
    "版本号=1.998\r\n"
    "皮肤=蓝\r\n"
    "\r\n"
    "[其它]\r\n"
    "版本号=0.1\r\n";

void ExpectOlderConfigKept(const Text& directory)
{
    IniFile ini;
    ASSERT_TRUE(ParseIni(ReadText(directory + "\\config.ini"), ini)) << ReadText(directory + "\\config.ini");
    const IniFile expected = {
        {"窗口", {{"左", "120"}}},
        {"基本配置", {{"用户", "张三"}, {"版本号", "2.034"}, {"皮肤", "蓝"}}},
        {"其它", {{"版本号", "0.1"}}},
    };
    EXPECT_EQ(ini, expected);
    EXPECT_EQ(ProfileValue(directory, "基本配置", "版本号"), "2.034");
    EXPECT_EQ(ProfileValue(directory, "其它", "版本号"), "0.1");
    EXPECT_EQ(ProfileValue(directory, "基本配置", "用户"), "张三");
}

}  // namespace

TEST(StartupFiles, FirstStartInAnEmptyFolder)
{
    TempFolder folder("quovanta_files_");
    WriteStartupFiles(folder.Path());

    ByteSet alarm;
    ASSERT_TRUE(ReadWholeFile(folder.Path() + "\\alarm.mp3", alarm));
    EXPECT_EQ(alarm, CarriedAlarm());
    // An MP3 with an ID3v2 tag, then an MPEG-1 Layer III frame.
    ASSERT_GT(alarm.size(), 1000u);
    EXPECT_EQ(std::string(alarm.begin(), alarm.begin() + 3), "ID3");

    // The system's profile writer makes an ANSI (GBK) file holding exactly the one section and key.
    EXPECT_EQ(ReadText(folder.Path() + "\\config.ini"), kFreshConfig);
    IniFile ini;
    ASSERT_TRUE(ParseIni(ReadText(folder.Path() + "\\config.ini"), ini));
    EXPECT_EQ(ini, (IniFile{{"基本配置", {{"版本号", "2.034"}}}}));
    EXPECT_EQ(ProfileValue(folder.Path(), "基本配置", "版本号"), "2.034");
}

TEST(StartupFiles, SecondStartKeepsTheAlarmAndOtherSettings)
{
    TempFolder folder("quovanta_files_");
    WriteStartupFiles(folder.Path());
    WriteText(folder.Path() + "\\alarm.mp3", "the user's own alarm");
    WriteText(folder.Path() + "\\config.ini", kOlderConfig);

    WriteStartupFiles(folder.Path());
    EXPECT_EQ(ReadText(folder.Path() + "\\alarm.mp3"), "the user's own alarm");
    ExpectOlderConfigKept(folder.Path());

    // An empty alarm file is still a file: it stays.
    WriteText(folder.Path() + "\\alarm.mp3", "");
    WriteStartupFiles(folder.Path());
    EXPECT_EQ(ReadText(folder.Path() + "\\alarm.mp3"), "");
}

// Where nothing can be written, start-up goes on without the files and without a word.
TEST(StartupFiles, UnwritableFolderIsSilent)
{
    TempFolder folder("quovanta_files_");
    const Text missing = folder.Path() + "\\没有的目录";
    WriteStartupFiles(missing);
    EXPECT_FALSE(FileExists(missing + "\\alarm.mp3"));
    EXPECT_FALSE(FileExists(missing + "\\config.ini"));

    // A config.ini that cannot be written (a folder of that name): the alarm is still written.
    ASSERT_TRUE(CreateDirectoryA((folder.Path() + "\\config.ini").c_str(), nullptr));
    WriteStartupFiles(folder.Path());
    EXPECT_EQ(ReadText(folder.Path() + "\\alarm.mp3").size(), EmbeddedAlarmSound_size);
    EXPECT_TRUE(GetFileAttributesA((folder.Path() + "\\config.ini").c_str()) & FILE_ATTRIBUTE_DIRECTORY);
}

// ------------------------------------------------------------------ the real program
namespace {

struct WindowOfProcess {
    DWORD process;
    HWND found;
};

BOOL CALLBACK FindTopLevel(HWND hwnd, LPARAM param)
{
    auto* search = reinterpret_cast<WindowOfProcess*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    char title[128] = {};
    GetWindowTextA(hwnd, title, sizeof(title));
    if (owner == search->process && IsWindowVisible(hwnd) && Text(title) == "Brelmor Quovanta v2.034") {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

// Starts the program file in `folder`, waits for its main window, closes it and returns the exit code
// (-1 when the window never came or the program did not end).
int RunProgramOnce(const Text& program)
{
    STARTUPINFOA startup = {sizeof(startup)};
    PROCESS_INFORMATION process = {};
    Text commandLine = "\"" + program + "\"";
    // No current directory of its own: the program must find its folder by its file, not by where it
    // was started from.
    if (!CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        ADD_FAILURE() << "cannot start " << program << ": " << GetLastError();
        return -1;
    }
    WindowOfProcess search = {process.dwProcessId, nullptr};
    for (int waited = 0; !search.found && waited < 30000; waited += 50) {
        if (WaitForSingleObject(process.hProcess, 50) == WAIT_OBJECT_0)
            break;
        EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&search));
    }
    int result = -1;
    if (search.found) {
        PostMessageA(search.found, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0) {
            DWORD code = 0;
            GetExitCodeProcess(process.hProcess, &code);
            result = static_cast<int>(code);
        }
    } else {
        ADD_FAILURE() << "no main window";
    }
    if (WaitForSingleObject(process.hProcess, 0) != WAIT_OBJECT_0)
        TerminateProcess(process.hProcess, 99);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return result;
}

}  // namespace

TEST(StartupFiles, RealProgramInAnEmptyFolderAndAgain)
{
    const Text built = ProgramDirectory() + "\\..\\client\\Quovanta.exe";
    ASSERT_TRUE(FileExists(built)) << built;
    // A folder name with a double-byte character whose second byte is a backslash byte (淺 is 9C 5C).
    TempFolder folder("报价淺_");
    const Text program = folder.Path() + "\\Quovanta.exe";
    ASSERT_TRUE(CopyFileA(built.c_str(), program.c_str(), FALSE));

    EXPECT_EQ(RunProgramOnce(program), 0);
    ByteSet alarm;
    ASSERT_TRUE(ReadWholeFile(folder.Path() + "\\alarm.mp3", alarm));
    EXPECT_EQ(alarm, CarriedAlarm());
    EXPECT_EQ(ReadText(folder.Path() + "\\config.ini"), kFreshConfig);

    WriteText(folder.Path() + "\\alarm.mp3", "the user's own alarm");
    WriteText(folder.Path() + "\\config.ini", kOlderConfig);
    EXPECT_EQ(RunProgramOnce(program), 0);
    EXPECT_EQ(ReadText(folder.Path() + "\\alarm.mp3"), "the user's own alarm");
    ExpectOlderConfigKept(folder.Path());
}
