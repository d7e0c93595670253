// The release description: its decoding, the exename rules, and what the window's created handler
// makes of a description on the maker's server (notices, the version comparison, the boxes).
#include "replica/maker_pages.h"
#include "replica/replica_routes.h"
#include "updater/hosts.h"
#include "updater/release_description.h"
#include "updater/updater_resources.h"
#include "updater/web.h"
#include "updater_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using updater_test::UpdaterFixture;

namespace {

std::wstring Decoded(const std::string& bytes, bool* ok = nullptr)
{
    std::wstring text;
    const bool decoded = updater::DecodeReleaseDescription(ByteSet(bytes.begin(), bytes.end()), text);
    if (ok)
        *ok = decoded;
    return text;
}

struct Fields {
    std::string ver = "2.035";
    std::string exename = "Quovanta.exe";
    std::string downurl = "http://127.0.0.1/Quovanta.exe";
    std::string updateat = "#hhf发布时间：2015年1月20日";
    std::string at = "#hhf本次更新：更快";
    std::string ok = "更新完成#hhf请重新运行";
    bool withVer = true;
};

std::string Description(const Fields& f)
{
    return "<?xml version=\"1.0\" encoding=\"gb2312\"?>\r\n<upconfig>\r\n" +
           (f.withVer ? "<upconfig ver=\"" + f.ver + "\"/>" : std::string("<upconfig/>")) + "<name exename=\"" + f.exename +
           "\"/><down downurl=\"" + f.downurl + "\"/><upat updateat=\"" + f.updateat + "\"/><at at=\"" + f.at +
           "\"/><ok ok=\"" + f.ok + "\"/>\r\n</upconfig>\r\n";
}

}  // namespace

// Which bytes decode, and as what: a UTF-8 byte-order mark means UTF-8; a declared gb2312, gbk or
// gb18030 means code page 936; anything else UTF-8. Invalid bytes, a NUL and a document type fail.
TEST(ReleaseDescriptionDecoding, EncodingsAndRefusals)
{
    const std::string gbk = "<?xml version=\"1.0\" encoding=\"gb2312\"?><a b=\"中文\"/>";
    const std::string utf8 = "<?xml version=\"1.0\" encoding=\"utf-8\"?><a b=\"\xE4\xB8\xAD\xE6\x96\x87\"/>";
    const struct {
        const char* what;
        std::string bytes;
        bool ok;
        std::wstring text;
    } cases[] = {
        {"declared gb2312, GBK bytes", gbk, true, L"<a b=\"\u4E2D\u6587\"/>"},
        {"declared GBK in capitals", "<?xml version='1.0' encoding = 'GBK'?><a b=\"中文\"/>", true, L"<a b=\"\u4E2D\u6587\"/>"},
        {"declared gb18030", "<?xml version=\"1.0\" encoding=\"gb18030\"?><a/>", true, L"<a/>"},
        {"declared utf-8", utf8, true, L"<a b=\"\u4E2D\u6587\"/>"},
        {"no declaration, UTF-8", "<a b=\"\xE4\xB8\xAD\"/>", true, L"<a b=\"\u4E2D\"/>"},
        {"UTF-8 mark wins over a declared gb2312", "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"gb2312\"?><a b=\"\xE4\xB8\xAD\"/>",
         true, L"<a b=\"\u4E2D\"/>"},
        {"no declaration, GBK bytes", "<a b=\"中文\"/>", false, L""},
        {"declared gb2312, invalid bytes", "<?xml version=\"1.0\" encoding=\"gb2312\"?><a b=\"\x81\x20\"/>", false, L""},
        {"invalid UTF-8", "<a b=\"\xC0\xAF\"/>", false, L""},
        {"a NUL byte", std::string("<a b=\"x\0y\"/>", 11), false, L""},
        {"a document type", "<?xml version=\"1.0\"?><!DOCTYPE a [<!ENTITY e \"x\">]><a>&e;</a>", false, L""},
        {"a document type in GBK", "<?xml version=\"1.0\" encoding=\"gbk\"?><!DOCTYPE a SYSTEM \"file:///c:/x\"><a/>", false, L""},
        {"a declaration without its end", "<?xml version=\"1.0\" <a/>", false, L""},
        {"empty", "", false, L""},
    };
    for (const auto& c : cases) {
        bool ok = false;
        const std::wstring text = Decoded(c.bytes, &ok);
        EXPECT_EQ(ok, c.ok) << c.what;
        EXPECT_TRUE(text == c.text) << c.what;
    }
}

TEST(ReleaseDescriptionDocument, AttributesByExactPath)
{
    updater::ReleaseDocument document;
    EXPECT_EQ(document.Attribute("upconfig/name", "exename"), "");
    const std::string xml = "<?xml version=\"1.0\" encoding=\"gb2312\"?><upconfig><Name exename=\"A.exe\"/>"
                            "<name other=\"1\"/><name exename=\"B.exe\"/><down><x downurl=\"deep\"/></down>"
                            "<at at=\"中文 &amp; &#x4E2D;\"/></upconfig>";
    ASSERT_TRUE(document.Load(ByteSet(xml.begin(), xml.end())));
    EXPECT_EQ(document.Attribute("upconfig/name", "other"), "1");
    EXPECT_EQ(document.Attribute("upconfig/name", "exename"), "");  // the first <name> has none
    EXPECT_EQ(document.Attribute("upconfig/Name", "exename"), "A.exe");
    EXPECT_EQ(document.Attribute("upconfig/down", "downurl"), "");
    EXPECT_EQ(document.Attribute("upconfig/down/x", "downurl"), "deep");
    EXPECT_EQ(document.Attribute("upconfig/at", "at"), "中文 & 中");
    EXPECT_EQ(document.Attribute("upconfig/at", "AT"), "");
    EXPECT_EQ(document.Attribute("release/at", "at"), "");
    EXPECT_EQ(document.Attribute("upconfig", "x"), "");

    const std::string broken = "<upconfig><name></upconfig>";
    EXPECT_FALSE(document.Load(ByteSet(broken.begin(), broken.end())));
    EXPECT_FALSE(document.IsLoaded());
    EXPECT_FALSE(document.Load(ByteSet()));
}

TEST(ReleaseDescriptionRules, LineBreaksAndFileNames)
{
    EXPECT_EQ(updater::WithLineBreaks("a#hhfb#HHFc#Hhfd#hhf"), "a\r\nb\r\nc\r\nd\r\n");
    EXPECT_EQ(updater::WithLineBreaks("#hh#hhff"), "#hh\r\nf");

    const struct {
        const char* name;
        bool safe;
    } names[] = {
        {"Quovanta.exe", true},
        {"新版Quovanta.exe", true},
        {"誠.exe", true},  // its second byte is 0x5C, the code of "\"
        {"a b.exe", true},
        {"", false},
        {"..\\..\\Quovanta.exe", false},
        {"sub\\Quovanta.exe", false},
        {"sub/Quovanta.exe", false},
        {"C:Quovanta.exe", false},
        {"Quovanta.exe:stream", false},
        {"a..exe", false},
        {"..", false},
        {"CON", false},
        {"nul.exe", false},
        {"Com1.txt", false},
        {"LPT9", false},
        {"conout$", false},
        {"a\x01.exe", false},
        {"a\x7F.exe", false},
        {"a?.exe", false},
        {"a*.exe", false},
        {"a<b>.exe", false},
        {"a\"b.exe", false},
        {"a|b.exe", false},
        {"Quovanta.exe ", false},
        {"Quovanta.exe.", false},
        {"Brelmor自动更新.exe", false},
        {"BRELMOR自动更新.EXE", false},
        {"test_updater.exe", false},  // this program's own file
        {"a\x81", false},             // a lead byte without its second byte
        {"a\x81/b.exe", false},
    };
    for (const auto& n : names)
        EXPECT_EQ(updater::IsSafeProgramFileName(n.name), n.safe) << n.name;
    EXPECT_FALSE(updater::IsSafeProgramFileName(std::string(256, 'a')));
}

namespace {

struct Outcome {
    std::vector<std::string> boxes;
    std::vector<int> ends;
    bool closed = false;
    updater::UpdateInfoTexts info;
    Text notice;
    Text closingNotice;
};

class CreatedHandler : public UpdaterFixture {
protected:
    // Loads the window against the description served now; the window is gone again afterwards.
    Outcome Run(const char* installed)
    {
        if (installed)
            WriteInstalledVersion(installed);
        const size_t boxesBefore = boxes.Calls().size(), endsBefore = ends.Calls().size();
        Load();
        Outcome out;
        out.info = updater::UpdateInfo;
        out.notice = C("标签_公告").GetText();
        out.closingNotice = C("透明标签1").GetText();
        const auto calls = boxes.Calls();
        for (size_t i = boxesBefore; i < calls.size(); ++i)
            out.boxes.push_back(calls[i].text + "|" + calls[i].title + "|" + std::to_string(calls[i].style));
        const auto endCalls = ends.Calls();
        for (size_t i = endsBefore; i < endCalls.size(); ++i)
            out.ends.push_back(endCalls[i].exitCode);
        out.closed = PumpUntil([&] { return !form.IsOpen(); }, 300);  // the close was asked for already
        if (form.IsOpen())
            form.Destroy();
        DeleteFileA((dir + "\\config.ini").c_str());
        // A fresh program for the next case.
        updater::FreeUpdaterGlobals();
        updater::InitUpdaterGlobals();
        updater::SkinModule->Load(skinImage.data(), skinImage.size());
        return out;
    }
};

const char kLatest[] = "当前版本已是最新版本|友情提示|64";
const char kFailed[] = "获取远程服务器配置失败，请稍后重试。|通讯错误|16";

}  // namespace

// The skin first, then the banner, then the description: the rest follows from what it says.
TEST_F(CreatedHandler, OrderOfSteps)
{
    ServeDescription(replica::ReleaseVariant::Standard);
    WriteInstalledVersion("2.034");
    Load();
    EXPECT_EQ(updater_test::AttachCalls, 1);
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].requestLine, "GET /NetWork/qelsoft/5173/uplogo.gif HTTP/1.1");
    EXPECT_EQ(requests[1].requestLine, "GET /NetWork/qelsoft/5173/up.xml HTTP/1.1");
    EXPECT_TRUE(boxes.Calls().empty());
    EXPECT_TRUE(ends.Calls().empty());
    EXPECT_EQ(updater::UpdateInfo.ver, "2.035");
    EXPECT_EQ(updater::UpdateInfo.exename, "Quovanta.exe");
    EXPECT_EQ(updater::UpdateInfo.downurl, "http://" + server.HostAndPort() + "/NetWork/qelsoft/5173/Quovanta.exe");
    EXPECT_EQ(updater::UpdateInfo.at, "#hhf本次更新：#hhf1. 成交量查询与统计更快#hhf2. 价格监控更稳定");
    EXPECT_EQ(updater::UpdateInfo.updateat, "#hhf发布时间：2015年1月20日");
    EXPECT_EQ(C("标签_公告").GetText(),
              "版本号：2.035\r\n本次更新：\r\n1. 成交量查询与统计更快\r\n2. 价格监控更稳定\r\n发布时间：2015年1月20日");
    EXPECT_EQ(C("透明标签1").GetText(), "Quovanta 已更新到 2.035 版。\r\n勾选“自动运行”后点击“完成更新”即可启动新版本。");
    EXPECT_EQ(C("高级选择夹1").Selection(), 0);
    PumpFor(50);
    EXPECT_TRUE(form.IsOpen());
}

TEST_F(CreatedHandler, DescriptionRules)
{
    Fields noVer;
    noVer.withVer = false;
    Fields capitals;
    capitals.at = "第一行#HHF第二行";
    Fields breakInVer;
    breakInVer.ver = "2.0#hhf35";
    Fields bothEmpty;
    bothEmpty.ver = "";
    Fields ownName;
    ownName.exename = "Brelmor自动更新.exe";
    Fields device;
    device.exename = "NUL.exe";

    const std::string host = server.HostAndPort();
    const struct {
        const char* what;
        std::string xml;
        const char* installed;  // nullptr: no config.ini
        const char* box;        // nullptr: none
        bool ends;
        bool closes;
        const char* ver;
        const char* exename;
        const char* notice;     // nullptr: not checked
    } cases[] = {
        {"ver missing, no config.ini", Description(noVer), nullptr, kLatest, true, false, "", "Quovanta.exe", nullptr},
        {"a lower version offered", Description(Fields()), "2.040", nullptr, false, false, "2.035", "Quovanta.exe", nullptr},
        {"#HHF in capitals", Description(capitals), "2.034", nullptr, false, false, "2.035", "Quovanta.exe",
         "版本号：2.035第一行\r\n第二行\r\n发布时间：2015年1月20日"},
        {"#hhf in ver: the notice breaks, the comparison does not", Description(breakInVer), "2.0#hhf35", kLatest, true, false,
         "2.0#hhf35", "Quovanta.exe", "版本号：2.0\r\n35\r\n本次更新：更快\r\n发布时间：2015年1月20日"},
        {"#hhf in ver differs from its line break", Description(breakInVer), "2.0\r\n35", nullptr, false, false, "2.0#hhf35",
         "Quovanta.exe", nullptr},
        {"both versions empty", Description(bothEmpty), "", kLatest, true, false, "", "Quovanta.exe", nullptr},
        {"children in another order", replica::ReleaseDescription(replica::ReleaseVariant::OtherOrder, host), "2.034", nullptr,
         false, false, "2.035", "Quovanta.exe", nullptr},
        {"UTF-8", replica::ReleaseDescription(replica::ReleaseVariant::Utf8, host), "2.034", nullptr, false, false, "2.035",
         "Quovanta.exe", "版本号：2.035\r\n本次更新：\r\n1. 成交量查询与统计更快\r\n2. 价格监控更稳定\r\n发布时间：2015年1月20日"},
        {"another root element", replica::ReleaseDescription(replica::ReleaseVariant::OtherRoot, host), nullptr, kLatest, true,
         false, "", "", "版本号："},
        {"a DTD bomb", replica::ReleaseDescription(replica::ReleaseVariant::DtdBomb, host), "2.034", kFailed, false, true, "", "",
         ""},
        {"a traversal exename", replica::ReleaseDescription(replica::ReleaseVariant::Traversal, host), "2.034", kFailed, false,
         true, "2.035", "", nullptr},
        {"the updater's own name", Description(ownName), "2.034", kFailed, false, true, "2.035", "", nullptr},
        {"a device name", Description(device), "2.034", kFailed, false, true, "2.035", "", nullptr},
        {"a traversal exename with equal versions", replica::ReleaseDescription(replica::ReleaseVariant::Traversal, host),
         "2.035", kLatest, true, false, "2.035", "..\\..\\Quovanta.exe", nullptr},
        {"not well-formed", "<upconfig><upconfig ver=\"2.035\"></upconfig>", "2.034", kFailed, false, true, "", "", ""},
        {"invalid GBK", "<?xml version=\"1.0\" encoding=\"gb2312\"?><upconfig><upconfig ver=\"\x81\x7F\"/></upconfig>", "2.034",
         kFailed, false, true, "", "", ""},
    };
    for (const auto& c : cases) {
        ServeDescription(c.xml);
        const Outcome out = Run(c.installed);
        EXPECT_EQ(out.boxes, c.box ? std::vector<std::string>{c.box} : std::vector<std::string>{}) << c.what;
        EXPECT_EQ(out.ends, c.ends ? std::vector<int>{0} : std::vector<int>{}) << c.what;
        EXPECT_EQ(out.closed, c.closes) << c.what;
        EXPECT_EQ(out.info.ver, c.ver) << c.what;
        EXPECT_EQ(out.info.exename, c.exename) << c.what;
        if (c.notice) {
            EXPECT_EQ(out.notice, c.notice) << c.what;
        }
        if (c.box == kFailed && c.notice && !*c.notice) {
            EXPECT_EQ(out.closingNotice, "更新完成提示语") << c.what;  // the labels were not touched
        }
    }
}

// Replies that are not a description: none, an error page, an empty one, one of many megabytes.
TEST_F(CreatedHandler, NoUsableReply)
{
    const char* const kPath = updater_test::kDescriptionPath;
    LoopbackReply huge = LoopbackReply::Ok("", "text/xml");
    huge.generatedLength = 6u * 1024u * 1024u;
    huge.generate = [](std::uint64_t offset, char* out, std::size_t count) {
        static const char kHead[] = "<upconfig><upconfig ver=\"2.035\"/><at at=\"";
        for (std::size_t i = 0; i < count; ++i)
            out[i] = offset + i < sizeof(kHead) - 1 ? kHead[offset + i] : 'x';
    };
    LoopbackReply notFoundWithBody = LoopbackReply::Status(404, "Not Found");
    notFoundWithBody.body = Description(Fields());
    const struct {
        const char* what;
        LoopbackReply reply;
    } cases[] = {
        {"404 with a description in its body", notFoundWithBody},
        {"500", LoopbackReply::Status(500, "Internal Server Error")},
        {"empty", LoopbackReply::Ok("", "text/xml")},
        {"six megabytes", huge},
    };
    for (const auto& c : cases) {
        server.SetReply(kPath, c.reply);
        const Outcome out = Run("2.034");
        EXPECT_EQ(out.boxes, std::vector<std::string>{kFailed}) << c.what;
        EXPECT_TRUE(out.closed) << c.what;
        EXPECT_TRUE(out.ends.empty()) << c.what;
        EXPECT_EQ(out.info.ver, "") << c.what;
    }

    // No server at all.
    server.Stop();
    const Outcome out = Run("2.034");
    EXPECT_EQ(out.boxes, std::vector<std::string>{kFailed});
    EXPECT_TRUE(out.closed);
}

// A server that trickles its reply a byte at a time meets every time-out of its waits, but the GET
// as a whole gives up at its deadline; a reply within it comes whole.
TEST_F(UpdaterFixture, GetGivesUpAtItsDeadline)
{
    LoopbackReply trickle = LoopbackReply::Ok(std::string(2000, 'x'), "text/xml");
    trickle.trickleMs = 50;  // 100 seconds for the whole body
    server.SetReply("/trickle.xml", trickle);
    server.SetReply("/whole.xml", LoopbackReply::Ok(std::string(2000, 'y'), "text/xml"));
    EXPECT_TRUE(updater::HttpGetBytes(server.Url("/trickle.xml"), 1000).empty());
    EXPECT_EQ(updater::HttpGetBytes(server.Url("/whole.xml"), 1000), ByteSet(2000, 'y'));
}

// The banner reaches the picture box only when it is a GIF: a bitmap or a server's page under its
// name leaves the box empty.
TEST_F(UpdaterFixture, BannerOnlyWhenItIsAGif)
{
    ServeDescription(replica::ReleaseVariant::Standard);
    WriteInstalledVersion("2.034");
    const struct {
        const char* what;
        std::string bytes;
        bool shown;
    } cases[] = {
        {"the GIF", replica::UpdateLogoGif(), true},
        {"a bitmap", std::string(reinterpret_cast<const char*>(UpdaterFinishPicture), UpdaterFinishPicture_size), false},
        {"an HTML page", "<html><body>Not Found</body></html>", false},
    };
    for (const auto& c : cases) {
        server.SetReply(updater_test::kLogoPath, LoopbackReply::Ok(c.bytes, "image/gif"));
        Load();
        EXPECT_EQ(C("图片框_logo").HasPicture(), c.shown) << c.what;
        EXPECT_TRUE(form.IsOpen()) << c.what;
        form.Destroy();
    }
}

// The replica's maker pages: the version page, the description in GBK with its downurl on the host
// asked, the banner, and the new program with and without its length.
TEST(ReplicaMakerPages, Routes)
{
    const ReplicaRoutes routes = AllReplicaRoutes();
    auto get = [&](const std::string& target) { return routes.Serve(ParseReplicaRequest("GET", target, "127.0.0.1:18999")); };
    EXPECT_EQ(get("/NetWork/qelsoft/5173/ver.asp").body, "2.035");
    const ReplicaPage description = get("/NetWork/qelsoft/5173/up.xml");
    EXPECT_EQ(description.status, 200);
    EXPECT_NE(description.body.find("encoding=\"gb2312\""), std::string::npos);
    EXPECT_NE(description.body.find("downurl=\"http://127.0.0.1:18999/NetWork/qelsoft/5173/Quovanta.exe\""), std::string::npos);
    EXPECT_NE(description.body.find("发布时间"), std::string::npos);  // GBK bytes
    EXPECT_NE(get("/NetWork/qelsoft/5173/up.xml?variant=nolength").body.find("/nolength/Quovanta.exe\""), std::string::npos);
    const ReplicaPage logo = get("/NetWork/qelsoft/5173/uplogo.gif");
    EXPECT_EQ(logo.contentType, "image/gif");
    EXPECT_EQ(logo.body.substr(0, 6), "GIF89a");
    EXPECT_EQ(get("/connectivity.html").status, 200);

    EXPECT_EQ(get("/NetWork/qelsoft/5173/Quovanta.exe").status, 404);  // no release file given
    const Text folder = updater_test::MakeTempFolder("rep");
    const Text file = folder + "\\release.exe";
    ASSERT_TRUE(WriteWholeFile(file, "MZ new program", 14));
    SetReplicaReleaseFile(file);
    const ReplicaPage program = get("/NetWork/qelsoft/5173/Quovanta.exe");
    const ReplicaPage closeDelimited = get("/NetWork/qelsoft/5173/nolength/Quovanta.exe");
    SetReplicaReleaseFile("");
    updater_test::RemoveFolder(folder);
    EXPECT_EQ(program.body, "MZ new program");
    EXPECT_FALSE(program.closeDelimited);
    EXPECT_EQ(closeDelimited.body, "MZ new program");
    EXPECT_TRUE(closeDelimited.closeDelimited);
}

// The maker's host and the connectivity page from their variables; anything malformed keeps the
// built-in ones.
TEST(UpdaterHosts, FromTheEnvironment)
{
    const struct {
        const char* maker;
        const char* expected;
    } makers[] = {
        {nullptr, "www.brelmor.com"},        {"127.0.0.1:18173", "127.0.0.1:18173"}, {" http://replica:80/ ", "replica:80"},
        {"bad host", "www.brelmor.com"},     {"host:0", "www.brelmor.com"},          {"host:65536", "www.brelmor.com"},
        {"host/path", "www.brelmor.com"},    {"", "www.brelmor.com"},
    };
    for (const auto& m : makers) {
        SetEnvironmentVariableA("QUOVANTA_MAKER_HOST", m.maker);
        EXPECT_EQ(updater::MakerHost(), m.expected) << (m.maker ? m.maker : "(unset)");
    }
    SetEnvironmentVariableA("QUOVANTA_MAKER_HOST", "127.0.0.1:9");
    EXPECT_EQ(updater::MakerUrl("/NetWork/qelsoft/5173/up.xml"), "http://127.0.0.1:9/NetWork/qelsoft/5173/up.xml");
    SetEnvironmentVariableA("QUOVANTA_MAKER_HOST", nullptr);

    const struct {
        const char* url;
        const char* expected;
    } pages[] = {
        {nullptr, "http://www.baidu.com/"},
        {"http://127.0.0.1:18173/connectivity.html", "http://127.0.0.1:18173/connectivity.html"},
        {"https://example.com/", "https://example.com/"},
        {"http://a b/", "http://www.baidu.com/"},
        {"ftp://example.com/", "http://www.baidu.com/"},
        {"http://", "http://www.baidu.com/"},
    };
    for (const auto& p : pages) {
        SetEnvironmentVariableA("QUOVANTA_CONNECTIVITY_URL", p.url);
        EXPECT_EQ(updater::ConnectivityUrl(), p.expected) << (p.url ? p.url : "(unset)");
    }
    SetEnvironmentVariableA("QUOVANTA_CONNECTIVITY_URL", nullptr);
}
