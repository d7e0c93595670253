// The release description and the version check (see release_description.h).
#include "updater/release_description.h"

#include "runtime/files.h"
#include "runtime/seams.h"
#include "updater/hosts.h"
#include "updater/skin.h"
#include "updater/state.h"
#include "updater/web.h"

#include <windows.h>
#include <msxml2.h>
#include <ole2.h>

#include <cstring>

namespace updater {

namespace {

// IXMLDOMDocument2, for its setProperty (the import library has no IID for it).
constexpr IID kIidXmlDomDocument2 = {0x2933BF95, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

constexpr char kLogoPath[] = "/NetWork/qelsoft/5173/uplogo.gif";
constexpr char kDescriptionPath[] = "/NetWork/qelsoft/5173/up.xml";

// Holds one reference of a COM interface and gives it back.
template <class T> class Ref {
public:
    Ref() = default;
    ~Ref() { Reset(); }
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    T** Out()
    {
        Reset();
        return &p_;
    }
    T* operator->() const { return p_; }
    T* Get() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    void Reset()
    {
        if (p_)
            p_->Release();
        p_ = nullptr;
    }

private:
    T* p_ = nullptr;
};

class Bstr {
public:
    explicit Bstr(const std::wstring& s) : b_(SysAllocStringLen(s.data(), static_cast<UINT>(s.size()))) {}
    Bstr() = default;
    ~Bstr() { SysFreeString(b_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR Get() const { return b_; }
    BSTR* Out()
    {
        SysFreeString(b_);
        b_ = nullptr;
        return &b_;
    }
    std::wstring Value() const { return b_ ? std::wstring(b_, SysStringLen(b_)) : std::wstring(); }

private:
    BSTR b_ = nullptr;
};

std::wstring Wide(std::string_view gbk)
{
    if (gbk.empty())
        return std::wstring();
    int n = MultiByteToWideChar(936, 0, gbk.data(), static_cast<int>(gbk.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0)
        MultiByteToWideChar(936, 0, gbk.data(), static_cast<int>(gbk.size()), out.data(), n);
    return out;
}

Text Gbk(const std::wstring& wide)
{
    if (wide.empty())
        return Text();
    int n = WideCharToMultiByte(936, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    Text out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(936, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr, nullptr);
    return out;
}

bool IsXmlBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The encoding an XML declaration at the very start of the bytes names, lower-cased; empty when there
// is no declaration or it names none.
Text DeclaredEncoding(const ByteSet& bytes)
{
    const std::string_view all(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (all.substr(0, 5) != "<?xml" || all.size() < 6 || !IsXmlBlank(all[5]))
        return Text();
    const std::size_t end = all.find("?>");
    if (end == std::string_view::npos || end > 1024)
        return Text();
    const std::string_view declaration = all.substr(0, end);
    std::size_t at = declaration.find("encoding");
    if (at == std::string_view::npos)
        return Text();
    at += 8;
    while (at < declaration.size() && IsXmlBlank(declaration[at]))
        ++at;
    if (at >= declaration.size() || declaration[at] != '=')
        return Text();
    ++at;
    while (at < declaration.size() && IsXmlBlank(declaration[at]))
        ++at;
    if (at >= declaration.size() || (declaration[at] != '"' && declaration[at] != '\''))
        return Text();
    const char quote = declaration[at++];
    const std::size_t close = declaration.find(quote, at);
    if (close == std::string_view::npos)
        return Text();
    return ToLowerAscii(declaration.substr(at, close - at));
}

// The first child element of `parent` named exactly `name`.
bool FirstChildElement(IXMLDOMNode* parent, const std::wstring& name, Ref<IXMLDOMNode>& found)
{
    Ref<IXMLDOMNode> child;
    if (FAILED(parent->get_firstChild(child.Out())))
        return false;
    while (child) {
        DOMNodeType type = NODE_INVALID;
        Bstr nodeName;
        if (SUCCEEDED(child->get_nodeType(&type)) && type == NODE_ELEMENT &&
            SUCCEEDED(child->get_nodeName(nodeName.Out())) && nodeName.Value() == name) {
            *found.Out() = child.Get();
            child->AddRef();
            return true;
        }
        Ref<IXMLDOMNode> next;
        if (FAILED(child->get_nextSibling(next.Out())))
            return false;
        *child.Out() = next.Get();
        if (next)
            next->AddRef();
    }
    return false;
}

void FailedDescription(const Form& form)
{
    ShowMessageBox("获取远程服务器配置失败，请稍后重试。", "通讯错误", MB_ICONSTOP);
    form.Close();
}

Text OwnFileName()
{
    char path[MAX_PATH * 2] = {};
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof(path));
    return PathFileName(Text(path, n < sizeof(path) ? n : 0));
}

// The banner only reaches the picture decoder when it is a GIF, as its name says.
ByteSet GifOnly(ByteSet bytes)
{
    static const char* const kSignatures[] = {"GIF87a", "GIF89a"};
    for (const char* signature : kSignatures)
        if (bytes.size() >= 6 && std::memcmp(bytes.data(), signature, 6) == 0)
            return bytes;
    return ByteSet();
}

}  // namespace

bool DecodeReleaseDescription(const ByteSet& bytes, std::wstring& text)
{
    text.clear();
    std::size_t start = 0;
    UINT codePage = CP_UTF8;
    if (bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
        start = 3;
    } else {
        const Text encoding = DeclaredEncoding(bytes);
        if (encoding == "gb2312" || encoding == "gbk" || encoding == "gb18030")
            codePage = 936;
    }
    const std::size_t length = bytes.size() - start;
    if (length == 0 || length > 0x7FFFFFFF || std::memchr(bytes.data() + start, 0, length))
        return false;
    const char* from = reinterpret_cast<const char*>(bytes.data() + start);
    const int n = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, from, static_cast<int>(length), nullptr, 0);
    if (n <= 0)
        return false;
    text.assign(static_cast<std::size_t>(n), L'\0');
    if (MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, from, static_cast<int>(length), text.data(), n) != n) {
        text.clear();
        return false;
    }
    // No document type: it is the door to entity expansion and to external files.
    if (text.find(L"<!DOCTYPE") != std::wstring::npos) {
        text.clear();
        return false;
    }
    if (text.compare(0, 5, L"<?xml") == 0 && text.size() > 5 && IsXmlBlank(static_cast<char>(text[5] < 0x80 ? text[5] : 'x'))) {
        const std::size_t end = text.find(L"?>");
        if (end == std::wstring::npos) {
            text.clear();
            return false;
        }
        text.erase(0, end + 2);
    }
    return true;
}

ReleaseDocument::~ReleaseDocument()
{
    Unload();
    if (comStarted_)
        CoUninitialize();
}

bool ReleaseDocument::Load(const ByteSet& bytes)
{
    Unload();
    std::wstring text;
    if (bytes.empty() || !DecodeReleaseDescription(bytes, text))
        return false;
    if (!comStarted_)
        comStarted_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    CLSID clsid;
    if (FAILED(CLSIDFromProgID(L"Msxml2.DOMDocument", &clsid)))
        return false;
    IXMLDOMDocument* document = nullptr;
    if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLDOMDocument,
                                reinterpret_cast<void**>(&document))) ||
        !document)
        return false;
    document->put_async(VARIANT_FALSE);
    document->put_validateOnParse(VARIANT_FALSE);
    document->put_resolveExternals(VARIANT_FALSE);
    Ref<IXMLDOMDocument2> document2;
    if (SUCCEEDED(document->QueryInterface(kIidXmlDomDocument2, reinterpret_cast<void**>(document2.Out())))) {
        VARIANT prohibit;
        VariantInit(&prohibit);
        prohibit.vt = VT_BOOL;
        prohibit.boolVal = VARIANT_TRUE;
        Bstr property(L"ProhibitDTD");
        document2->setProperty(property.Get(), prohibit);
    }
    Bstr source(text);
    VARIANT_BOOL loaded = VARIANT_FALSE;
    if (FAILED(document->loadXML(source.Get(), &loaded)) || loaded != VARIANT_TRUE) {
        document->Release();
        return false;
    }
    document_ = document;
    return true;
}

Text ReleaseDocument::Attribute(std::string_view path, std::string_view name) const
{
    if (!document_)
        return Text();
    const TextArray names = SplitText(path, "/");
    if (names.empty())
        return Text();
    Ref<IXMLDOMElement> root;
    if (FAILED(document_->get_documentElement(root.Out())) || !root)
        return Text();
    Bstr rootName;
    if (FAILED(root->get_nodeName(rootName.Out())))
        return Text();
    const std::wstring actualRoot = rootName.Value();
    const std::wstring wantedRoot = Wide(names[0]);
    if (actualRoot != wantedRoot)
        return Text();
    Ref<IXMLDOMNode> node;
    root->AddRef();
    *node.Out() = root.Get();
    for (std::size_t i = 1; i < names.size(); ++i) {
        Ref<IXMLDOMNode> child;
        if (!FirstChildElement(node.Get(), Wide(names[i]), child))
            return Text();
        *node.Out() = child.Get();
        child->AddRef();
    }
    Ref<IXMLDOMElement> element;
    if (FAILED(node->QueryInterface(IID_IXMLDOMElement, reinterpret_cast<void**>(element.Out()))) || !element)
        return Text();
    Bstr attributeName(Wide(name));
    VARIANT value;
    VariantInit(&value);
    Text out;
    if (SUCCEEDED(element->getAttribute(attributeName.Get(), &value)) && value.vt == VT_BSTR && value.bstrVal)
        out = Gbk(std::wstring(value.bstrVal, SysStringLen(value.bstrVal)));
    VariantClear(&value);
    return out;
}

void ReleaseDocument::Unload()
{
    if (document_) {
        document_->Release();
        document_ = nullptr;
    }
}

Text WithLineBreaks(std::string_view text) { return ReplaceText(text, "#hhf", "\r\n", 1, -1, true); }

bool IsSafeProgramFileName(const Text& name)
{
    if (name.empty() || name.size() > 255 || name.find("..") != Text::npos)
        return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (IsLeadByte(c)) {
            // A whole double-byte character, or the name is not GBK.
            const unsigned char trail = i + 1 < name.size() ? static_cast<unsigned char>(name[i + 1]) : 0;
            if (trail < 0x40 || trail == 0x7F || trail == 0xFF)
                return false;
            ++i;
            continue;
        }
        if (c < 0x20 || c == 0x7F || c >= 0x80 || std::strchr("\\/:<>\"|?*", c))
            return false;
    }
    if (name.back() == ' ' || name.back() == '.')
        return false;
    // A device name stays a device whatever extension follows it.
    Text stem = ToUpperAscii(name.substr(0, name.find('.')));
    while (!stem.empty() && stem.back() == ' ')
        stem.pop_back();
    static const char* const kDevices[] = {"CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2", "COM3", "COM4",
                                           "COM5", "COM6", "COM7", "COM8", "COM9", "COM0", "LPT1", "LPT2",
                                           "LPT3", "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9", "LPT0",
                                           "CONIN$", "CONOUT$", "CLOCK$"};
    for (const char* device : kDevices)
        if (stem == device)
            return false;
    const Text lower = ToLowerAscii(name);
    return lower != ToLowerAscii(kUpdaterFileName) && lower != ToLowerAscii(OwnFileName());
}

void OnUpdaterWindowCreated(const EventArgs& args)
{
    const Form form = *args.form;
    UpdaterWindow = form;

    AttachSkinData(CarriedSkinData());
    form.Control("图片框_logo").SetPicture(GifOnly(HttpGetBytes(MakerUrl(kLogoPath))));

    const ByteSet description = HttpGetBytes(MakerUrl(kDescriptionPath));
    if (!ReleaseDoc || !ReleaseDoc->Load(description)) {
        FailedDescription(form);
        return;
    }
    UpdateInfo.ver = ReleaseDoc->Attribute("upconfig/upconfig", "ver");
    UpdateInfo.exename = ReleaseDoc->Attribute("upconfig/name", "exename");
    UpdateInfo.downurl = ReleaseDoc->Attribute("upconfig/down", "downurl");
    UpdateInfo.updateat = ReleaseDoc->Attribute("upconfig/upat", "updateat");
    UpdateInfo.at = ReleaseDoc->Attribute("upconfig/at", "at");
    UpdateInfo.ok = ReleaseDoc->Attribute("upconfig/ok", "ok");

    form.Control("标签_公告").SetText(WithLineBreaks("版本号：" + UpdateInfo.ver + UpdateInfo.at + UpdateInfo.updateat));
    form.Control("透明标签1").SetText(WithLineBreaks(UpdateInfo.ok));

    const Text installed = ReadIniText(ProgramDir + "\\config.ini", "基本配置", "版本号", "");
    if (UpdateInfo.ver == installed) {
        ShowMessageBox("当前版本已是最新版本", "友情提示", MB_ICONINFORMATION);
        EndProgram(0);
        return;
    }
    // The file name comes from the network and becomes a path: a name that could leave the program
    // directory, name a device or overwrite the updater itself fails the description.
    if (!IsSafeProgramFileName(UpdateInfo.exename)) {
        Text().swap(UpdateInfo.exename);
        Text().swap(UpdateInfo.downurl);
        FailedDescription(form);
    }
}

}  // namespace updater
