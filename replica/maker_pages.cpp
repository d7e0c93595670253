#include "replica/maker_pages.h"

#include <windows.h>

#include <fstream>
#include <iterator>
#include <mutex>

extern "C" {
extern const unsigned char ReplicaUpdateLogo[];
extern const unsigned ReplicaUpdateLogo_size;
}

namespace {

std::mutex g_releaseLock;
std::string g_releaseFile;

bool ReadRelease(std::string& bytes)
{
    std::string path;
    {
        std::lock_guard<std::mutex> lock(g_releaseLock);
        path = g_releaseFile;
    }
    if (path.empty())
        return false;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !bytes.empty();
}

ReplicaPage Program(bool withLength)
{
    ReplicaPage page;
    if (!ReadRelease(page.body))
        return ReplicaPage::NotFound();
    page.contentType = "application/octet-stream";
    page.closeDelimited = !withLength;
    return page;
}

}  // namespace

namespace replica {

std::string ReleaseDescription(ReleaseVariant variant, const std::string& host)
{
    const std::string program = variant == ReleaseVariant::NoLength ? kReleaseProgramWithoutLengthPath : kReleaseProgramPath;
    const std::string downurl = "http://" + (host.empty() ? std::string("127.0.0.1") : host) + program;
    const std::string exename = variant == ReleaseVariant::Traversal ? "..\\..\\Quovanta.exe" : "Quovanta.exe";
    const std::string at = "#hhf本次更新：#hhf1. 成交量查询与统计更快#hhf2. 价格监控更稳定";
    const std::string updateat = "#hhf发布时间：2015年1月20日";
    const std::string ok = "Quovanta 已更新到 2.035 版。#hhf勾选“自动运行”后点击“完成更新”即可启动新版本。";
    const std::string children[] = {
        "  <upconfig ver=\"" + std::string(kReleaseVersion) + "\"/>\r\n",
        "  <name exename=\"" + exename + "\"/>\r\n",
        "  <down downurl=\"" + downurl + "\"/>\r\n",
        "  <upat updateat=\"" + updateat + "\"/>\r\n",
        "  <at at=\"" + at + "\"/>\r\n",
        "  <ok ok=\"" + ok + "\"/>\r\n",
    };
    std::string body;
    for (const std::string& child : children)
        body += child;
    std::string root = "upconfig";
    std::string declaration = "<?xml version=\"1.0\" encoding=\"gb2312\"?>\r\n";
    switch (variant) {
    case ReleaseVariant::Utf8:
        declaration = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n";
        break;
    case ReleaseVariant::DtdBomb: {
        std::string dtd = "<!DOCTYPE upconfig [\r\n  <!ENTITY lol \"lol\">\r\n";
        for (int i = 1; i <= 9; ++i) {
            std::string previous = i == 1 ? "lol" : "lol" + std::to_string(i - 1);
            dtd += "  <!ENTITY lol" + std::to_string(i) + " \"";
            for (int j = 0; j < 10; ++j)
                dtd += "&" + previous + ";";
            dtd += "\">\r\n";
        }
        dtd += "]>\r\n";
        declaration += dtd;
        body = "  <upconfig ver=\"&lol9;\"/>\r\n" + body;
        break;
    }
    case ReleaseVariant::OtherRoot:
        root = "release";
        break;
    case ReleaseVariant::OtherOrder:
        // the first element of each name is the one read, so the extra ones come after it
        body = "  <note text=\"无关的元素\"/>\r\n" + children[5] + children[3] + children[1] + children[4] + children[2] +
               children[0] + "  <upconfig ver=\"9.999\" build=\"7\"/>\r\n  <name exename=\"Other.exe\"/>\r\n";
        break;
    default:
        break;
    }
    std::string document = declaration + "<" + root + ">\r\n" + body + "</" + root + ">\r\n";
    return variant == ReleaseVariant::Utf8 ? ReplicaUtf8(document) : document;
}

ReleaseVariant ReleaseVariantNamed(const std::string& name)
{
    const std::string n = ReplicaLower(name);
    if (n == "utf8") return ReleaseVariant::Utf8;
    if (n == "dtd") return ReleaseVariant::DtdBomb;
    if (n == "traversal") return ReleaseVariant::Traversal;
    if (n == "otherroot") return ReleaseVariant::OtherRoot;
    if (n == "otherorder") return ReleaseVariant::OtherOrder;
    if (n == "nolength") return ReleaseVariant::NoLength;
    return ReleaseVariant::Standard;
}

std::string UpdateLogoGif()
{
    return std::string(reinterpret_cast<const char*>(ReplicaUpdateLogo), ReplicaUpdateLogo_size);
}

}  // namespace replica

void SetReplicaReleaseFile(std::string path)
{
    std::lock_guard<std::mutex> lock(g_releaseLock);
    g_releaseFile = std::move(path);
}

void AddMakerRoutes(ReplicaRoutes& routes)
{
    routes.Add("/NetWork/qelsoft/5173/ver.asp", [](const ReplicaRequest&) -> std::optional<ReplicaPage> {
        ReplicaPage page;
        page.body = replica::kReleaseVersion;
        return page;
    });
    routes.Add("/NetWork/qelsoft/5173/up.xml", [](const ReplicaRequest& request) -> std::optional<ReplicaPage> {
        const replica::ReleaseVariant variant = replica::ReleaseVariantNamed(request.Param("variant"));
        ReplicaPage page;
        page.contentType = variant == replica::ReleaseVariant::Utf8 ? "text/xml; charset=utf-8" : "text/xml";
        page.body = replica::ReleaseDescription(variant, request.host);
        return page;
    });
    routes.Add("/NetWork/qelsoft/5173/uplogo.gif", [](const ReplicaRequest&) -> std::optional<ReplicaPage> {
        ReplicaPage page;
        page.contentType = "image/gif";
        page.body = replica::UpdateLogoGif();
        return page;
    });
    routes.Add(replica::kReleaseProgramPath, [](const ReplicaRequest&) -> std::optional<ReplicaPage> { return Program(true); });
    routes.Add(replica::kReleaseProgramWithoutLengthPath,
               [](const ReplicaRequest&) -> std::optional<ReplicaPage> { return Program(false); });
    routes.Add("/connectivity.html", [](const ReplicaRequest&) -> std::optional<ReplicaPage> {
        ReplicaPage page;
        page.body = "<html><head><title>ok</title></head><body>ok</body></html>";
        return page;
    });
}
