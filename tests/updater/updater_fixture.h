#pragma once
// The updater as its program runs it, in-process: a program directory of its own (a fresh temporary
// folder with the main program and config.ini as a test puts them there), the maker's server and the
// connectivity page on a loopback server, a recording stand-in for the skin library, and recorders
// for message boxes, program starts and the program's end.
#include "loader/pe_writer.h"
#include "replica/maker_pages.h"
#include "runtime/files.h"
#include "support/loopback_http_server.h"
#include "support/pump.h"
#include "support/seam_recorders.h"
#include "updater/state.h"
#include "updater/window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace updater_test {

// What the stand-in skin library's SkinH_AttachRes received (ten values) and its entry point's calls
// per reason.
inline volatile uint32_t AttachArgs[10];
inline volatile LONG AttachCalls;
inline volatile LONG EntryCalls[4];

inline void ResetSkinRecord()
{
    for (auto& a : AttachArgs)
        a = 0xDEADBEEF;
    AttachCalls = 0;
    for (auto& c : EntryCalls)
        c = 0;
}

// A skin library whose SkinH_AttachRes records ten stack values; `stdcallAttach` makes it remove them
// itself. Without `withAttach` it exports only SkinH_AdjustHSV.
inline std::vector<uint8_t> RecordingSkinLibrary(bool stdcallAttach = false, bool withAttach = true)
{
    constexpr uint32_t kText = IMAGE_SCN_CNT_CODE | IMAGE_SCN_MEM_EXECUTE | IMAGE_SCN_MEM_READ;
    constexpr uint32_t kRdata = IMAGE_SCN_CNT_INITIALIZED_DATA | IMAGE_SCN_MEM_READ;
    PeImage pe(0x5D000000);
    const uint32_t text = pe.AddSection(".text", 0x400, kText);
    const uint32_t rdata = pe.AddSection(".rdata", 0x200, kRdata);
    pe.PutBytes(text, x86::CountingEntry(EntryCalls, 1));
    pe.entryRva = text;
    pe.PutBytes(text + 0x40, x86::RecordingFunction(AttachArgs, 10, &AttachCalls, stdcallAttach ? 40 : 0));
    pe.PutBytes(text + 0x200, {0x31, 0xC0, 0xC3});  // xor eax, eax; ret
    if (withAttach)
        AddExports(pe, rdata, {text + 0x200, text + 0x40}, {{"SkinH_AdjustHSV", 0}, {"SkinH_AttachRes", 1}});
    else
        AddExports(pe, rdata, {text + 0x200}, {{"SkinH_AdjustHSV", 0}});
    return pe.Build();
}

inline Text TempRoot()
{
    char path[MAX_PATH] = {};
    GetTempPathA(sizeof(path), path);
    Text root = path;
    if (!root.empty() && root.back() == '\\')
        root.pop_back();
    return root;
}

// A new empty folder under the temporary folder, its name starting with `prefix`.
inline Text MakeTempFolder(const Text& prefix = "upd")
{
    static int counter = 0;
    for (;;) {
        Text dir = TempRoot() + "\\" + prefix + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++counter) + "_" +
                   std::to_string(GetTickCount());
        if (CreateDirectoryA(dir.c_str(), nullptr))
            return dir;
    }
}

// The names of the files in a folder, sorted.
inline std::vector<Text> FilesIn(const Text& dir)
{
    std::vector<Text> names;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((dir + "\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        Text name = data.cFileName;
        if (name != "." && name != "..")
            names.push_back(name);
    } while (FindNextFileA(find, &data));
    FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}

inline void RemoveFolder(const Text& dir)
{
    for (const Text& name : FilesIn(dir)) {
        const Text path = dir + "\\" + name;
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
    }
    RemoveDirectoryA(dir.c_str());
}

inline std::string FileText(const Text& path)
{
    ByteSet bytes;
    ReadWholeFile(path, bytes);
    return std::string(bytes.begin(), bytes.end());
}

inline constexpr char kDescriptionPath[] = "/NetWork/qelsoft/5173/up.xml";
inline constexpr char kLogoPath[] = "/NetWork/qelsoft/5173/uplogo.gif";

class UpdaterFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetSkinRecord();
        ASSERT_TRUE(server.Start());
        SetEnvironmentVariableA("QUOVANTA_MAKER_HOST", server.HostAndPort().c_str());
        SetEnvironmentVariableA("QUOVANTA_CONNECTIVITY_URL", server.Url("/connectivity.html").c_str());
        server.SetReply("/connectivity.html", LoopbackReply::Ok("<html>ok</html>"));
        server.SetReply(kLogoPath, LoopbackReply::Ok(replica::UpdateLogoGif(), "image/gif"));
        dir = MakeTempFolder();
        updater::InitUpdaterGlobals();
        updater::ProgramDir = dir;
        skinImage = RecordingSkinLibrary();
        ASSERT_TRUE(updater::SkinModule->Load(skinImage.data(), skinImage.size()));
    }

    void TearDown() override
    {
        if (form.IsOpen())
            form.Destroy();
        form = Form();
        updater::FreeUpdaterGlobals();
        updater::UpdaterWindow = Form();
        SetEnvironmentVariableA("QUOVANTA_MAKER_HOST", nullptr);
        SetEnvironmentVariableA("QUOVANTA_CONNECTIVITY_URL", nullptr);
        server.Stop();
        RemoveFolder(dir);
    }

    void ServeDescription(const std::string& bytes) { server.SetReply(kDescriptionPath, LoopbackReply::Ok(bytes, "text/xml")); }
    void ServeDescription(replica::ReleaseVariant variant)
    {
        ServeDescription(replica::ReleaseDescription(variant, server.HostAndPort()));
    }
    // config.ini as the main program writes it.
    void WriteInstalledVersion(const Text& version)
    {
        ASSERT_TRUE(WriteIniText(dir + "\\config.ini", "基本配置", "版本号", version));
    }

    // Loads the window; its created handler runs against the server.
    Form& Load()
    {
        form = updater::LoadUpdaterWindow();
        return form;
    }

    Control C(const char* name) const { return form.Control(name); }

    // The boxes shown so far, as "text|title|style".
    std::vector<std::string> Boxes() const
    {
        std::vector<std::string> out;
        for (const auto& call : boxes.Calls())
            out.push_back(call.text + "|" + call.title + "|" + std::to_string(call.style));
        return out;
    }

    LoopbackHttpServer server;
    Text dir;
    std::vector<uint8_t> skinImage;
    Form form;
    seams_test::MessageBoxRecorder boxes;
    seams_test::ProgramStartRecorder starts;
    seams_test::ProgramEndRecorder ends;
};

}  // namespace updater_test
