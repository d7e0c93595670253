#include "helpers/regex_object.h"

#include <objbase.h>
#include <oleauto.h>
#include <windows.h>

namespace {

// GBK text <-> UTF-16 through the ANSI code page (936 for the programs).
BSTR TextToBstr(std::string_view text)
{
    const int units = text.empty() ? 0 : MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                                               nullptr, 0);
    BSTR out = SysAllocStringLen(nullptr, static_cast<UINT>(units));
    if (out && units > 0)
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out, units);
    return out;
}

Text WideToText(const wchar_t* s, int units)
{
    if (!s || units <= 0)
        return {};
    const int bytes = WideCharToMultiByte(CP_ACP, 0, s, units, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return {};
    Text out(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, s, units, out.data(), bytes, nullptr, nullptr);
    return out;
}

// A VARIANT that clears itself.
struct Variant : VARIANT {
    Variant() { VariantInit(this); }
    ~Variant() { VariantClear(this); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
};

void SetText(VARIANT& v, std::string_view text)
{
    v.vt = VT_BSTR;
    v.bstrVal = TextToBstr(text);
}

void SetInt(VARIANT& v, int value)
{
    v.vt = VT_I4;
    v.lVal = value;
}

void SetBool(VARIANT& v, bool value)
{
    v.vt = VT_BOOL;
    v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

// Calls a member of an automation object by name. `args` are in the order of the member's parameters.
HRESULT InvokeByName(IDispatch* object, const wchar_t* name, WORD flags, VARIANT* args, unsigned argc,
                     VARIANT* result)
{
    if (!object)
        return E_POINTER;
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[1] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr))
        return hr;
    // Invoke takes the arguments last to first.
    VARIANT reversed[4];
    for (unsigned i = 0; i < argc && i < 4; ++i)
        reversed[i] = args[argc - 1 - i];
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params = {reversed, nullptr, argc, 0};
    if (flags & DISPATCH_PROPERTYPUT) {
        params.rgdispidNamedArgs = &put;
        params.cNamedArgs = 1;
    }
    EXCEPINFO error = {};
    UINT badArg = 0;
    hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &error, &badArg);
    SysFreeString(error.bstrSource);
    SysFreeString(error.bstrDescription);
    SysFreeString(error.bstrHelpFile);
    if (SUCCEEDED(hr) && FAILED(error.scode))
        hr = error.scode;
    return hr;
}

HRESULT Get(IDispatch* object, const wchar_t* name, VARIANT* result, VARIANT* args = nullptr, unsigned argc = 0)
{
    return InvokeByName(object, name, DISPATCH_METHOD | DISPATCH_PROPERTYGET, args, argc, result);
}

HRESULT Put(IDispatch* object, const wchar_t* name, VARIANT& value)
{
    return InvokeByName(object, name, DISPATCH_PROPERTYPUT, &value, 1, nullptr);
}

// The object a member gives, as a new reference in `out`.
bool GetObjectMember(IDispatch* object, const wchar_t* name, ComHolder& out, VARIANT* args = nullptr, unsigned argc = 0)
{
    out.Clear();
    Variant v;
    if (FAILED(Get(object, name, &v, args, argc)) || v.vt != VT_DISPATCH || !v.pdispVal)
        return false;
    out.Attach(v.pdispVal);
    v.vt = VT_EMPTY;  // the reference now belongs to the holder
    return true;
}

Text VariantToText(VARIANT& v)
{
    if (v.vt == VT_EMPTY || v.vt == VT_NULL)
        return {};
    if (v.vt != VT_BSTR && FAILED(VariantChangeType(&v, &v, 0, VT_BSTR)))
        return {};
    return WideToText(v.bstrVal, static_cast<int>(SysStringLen(v.bstrVal)));
}

bool GetInt(IDispatch* object, const wchar_t* name, int& out)
{
    Variant v;
    if (FAILED(Get(object, name, &v)) || FAILED(VariantChangeType(&v, &v, 0, VT_I4)))
        return false;
    out = v.lVal;
    return true;
}

Text GetTextMember(IDispatch* object, const wchar_t* name)
{
    Variant v;
    if (FAILED(Get(object, name, &v)))
        return {};
    return VariantToText(v);
}

// Item (index) of a collection: a match of the match collection, or a group value of SubMatches.
HRESULT GetItem(IDispatch* collection, int index, VARIANT* result)
{
    Variant arg;
    SetInt(arg, index);
    return Get(collection, L"Item", result, &arg, 1);
}

bool GetItemObject(IDispatch* collection, int index, ComHolder& out)
{
    Variant arg;
    SetInt(arg, index);
    return GetObjectMember(collection, L"Item", out, &arg, 1);
}

// The byte offset in `subject` of the character that is UTF-16 unit `unitIndex` of it.
int ByteOffsetOfUnit(std::string_view subject, int unitIndex)
{
    if (unitIndex <= 0)
        return 0;
    const int units = MultiByteToWideChar(CP_ACP, 0, subject.data(), static_cast<int>(subject.size()), nullptr, 0);
    if (units < unitIndex)
        return -1;
    std::wstring wide(static_cast<std::size_t>(units), L'\0');
    MultiByteToWideChar(CP_ACP, 0, subject.data(), static_cast<int>(subject.size()), wide.data(), units);
    return WideCharToMultiByte(CP_ACP, 0, wide.data(), unitIndex, nullptr, 0, nullptr, nullptr);
}

// The byte offset of `text` in `subject` for a match the engine reports at UTF-16 unit `firstIndex`.
// The exact offset is the length of the subject's first `firstIndex` units in GBK; should the subject
// not convert both ways byte for byte (invalid GBK), the text is searched forward from byte position
// `firstIndex`, which lies at or before the match. -2 when it cannot be found.
int MatchOffset(std::string_view subject, std::string_view text, int firstIndex)
{
    const int exact = ByteOffsetOfUnit(subject, firstIndex);
    if (exact >= 0 && static_cast<std::size_t>(exact) + text.size() <= subject.size() &&
        subject.compare(static_cast<std::size_t>(exact), text.size(), text) == 0)
        return exact;
    const int found = FindText(subject, text, firstIndex);
    return found > 0 ? found - 1 : -2;
}

}  // namespace

ComHolder::ComHolder(const ComHolder& other) : object_(other.object_)
{
    if (object_)
        object_->AddRef();
}

ComHolder& ComHolder::operator=(const ComHolder& other)
{
    if (other.object_)
        other.object_->AddRef();
    Clear();
    object_ = other.object_;
    return *this;
}

ComHolder::~ComHolder()
{
    Clear();
}

void ComHolder::Clear()
{
    if (IDispatch* object = object_) {
        object_ = nullptr;
        object->Release();
    }
}

void ComHolder::Attach(IDispatch* object)
{
    Clear();
    object_ = object;
}

RegexObject::RegexObject()
{
    InitializeRegexObject();
}

RegexObject::~RegexObject()
{
    Destroy();
}

void RegexObject::InitializeRegexObject()
{
    InitializeCom();
}

void RegexObject::InitializeCom()
{
    // S_FALSE (already initialised on this thread) also counts and must be balanced; a thread in
    // another apartment (RPC_E_CHANGED_MODE) must not be uninitialised by us.
    comInitialised_ = SUCCEEDED(CoInitialize(nullptr));
}

void RegexObject::UninitializeCom()
{
    if (comInitialised_) {
        comInitialised_ = false;
        CoUninitialize();
    }
}

void RegexObject::Destroy()
{
    Clear();
    engine_.Clear();
    matches_.Clear();
    Text().swap(subject_);
}

std::unique_ptr<RegexObject> RegexObject::Clone() const
{
    auto copy = std::make_unique<RegexObject>();
    copy->engine_ = engine_;
    copy->matches_ = matches_;
    copy->subject_ = subject_;
    return copy;
}

bool RegexObject::Create(std::string_view pattern, std::string_view subject, int caseSensitive, bool multiline,
                         bool global, int quote)
{
    engine_.Clear();
    matches_.Clear();
    if (!comInitialised_)  // used again after Clear or Destroy
        InitializeCom();

    CLSID clsid;
    IDispatch* engine = nullptr;
    if (SUCCEEDED(CLSIDFromProgID(L"VBScript.RegExp", &clsid)) &&
        SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                   reinterpret_cast<void**>(&engine))))
        engine_.Attach(engine);

    if (!engine_.Empty()) {
        // A failed set leaves the engine's default in place.
        Variant v;
        SetBool(v, (caseSensitive & 1) == 0);
        Put(engine_.Get(), L"IgnoreCase", v);
        SetBool(v, multiline);
        Put(engine_.Get(), L"Multiline", v);
        SetBool(v, global);
        Put(engine_.Get(), L"Global", v);

        Variant p;
        SetText(p, quote != 0 ? ReplaceText(pattern, "#引号", "\"") : Text(pattern));
        Put(engine_.Get(), L"Pattern", p);

        Variant s;
        SetText(s, subject);
        GetObjectMember(engine_.Get(), L"Execute", matches_, &s, 1);
    }
    subject_ = Text(subject);
    return !matches_.Empty();
}

void RegexObject::Reserved() {}

Text RegexObject::GetPattern() const
{
    return GetTextMember(engine_.Get(), L"Pattern");
}

Text RegexObject::Replace(std::string_view replacement) const
{
    if (engine_.Empty())
        return {};
    Variant args[2];
    SetText(args[0], subject_);
    SetText(args[1], replacement);
    Variant result;
    if (FAILED(Get(engine_.Get(), L"Replace", &result, args, 2)))
        return {};
    return VariantToText(result);
}

int RegexObject::GetMatchCount() const
{
    int count = 0;
    if (matches_.Empty() || !GetInt(matches_.Get(), L"Count", count) || count < 0)
        return 0;
    return count;
}

Text RegexObject::GetMatch(int index, int* position) const
{
    if (position)
        *position = -2;
    ComHolder match;
    if (matches_.Empty() || index < 1 || !GetItemObject(matches_.Get(), index - 1, match))
        return {};
    Text text = GetTextMember(match.Get(), L"Value");
    int first = 0;
    if (position && GetInt(match.Get(), L"FirstIndex", first))
        *position = MatchOffset(subject_, text, first);
    return text;
}

Text RegexObject::GetSubMatch(int index, int group, int* position) const
{
    if (position)
        *position = -2;
    ComHolder match, groups;
    if (matches_.Empty() || index < 1 || group < 1 || !GetItemObject(matches_.Get(), index - 1, match) ||
        !GetObjectMember(match.Get(), L"SubMatches", groups))
        return {};
    Variant value;
    if (FAILED(GetItem(groups.Get(), group - 1, &value)))
        return {};
    Text text = VariantToText(value);
    int first = 0;
    if (position && !text.empty() && GetInt(match.Get(), L"FirstIndex", first)) {
        // The engine gives no offset of a group: its first occurrence from the start of the match.
        const int start = MatchOffset(subject_, GetTextMember(match.Get(), L"Value"), first);
        const int found = start >= 0 ? FindText(subject_, text, start + 1) : 0;
        *position = found > 0 ? found - 1 : -2;
    }
    return text;
}

int RegexObject::GetSubMatchCount() const
{
    ComHolder match, groups;
    int count = 0;
    if (matches_.Empty() || !GetItemObject(matches_.Get(), 0, match) ||
        !GetObjectMember(match.Get(), L"SubMatches", groups) || !GetInt(groups.Get(), L"Count", count) || count < 0)
        return 0;
    return count;
}

void RegexObject::Clear()
{
    engine_.Clear();
    matches_.Clear();
    Text().swap(subject_);
    UninitializeCom();
}
