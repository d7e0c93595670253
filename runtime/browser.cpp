// The embedded browser: the WebBrowser ActiveX control, hosted in place in a child window through a
// minimal OLE container site (client site, in-place site and in-place frame). Where the control cannot
// be created (no browser engine installed), the host window stays empty and the control still records
// the addresses it is told to show.
#include "runtime/forms_internal.h"

#include <exdisp.h>
#include <ole2.h>
#include <oleidl.h>

struct BrowserSite final : public IOleClientSite, public IOleInPlaceSite, public IOleInPlaceFrame {
    LONG refs = 1;
    HWND host = nullptr;
    IOleObject* object = nullptr;
    IWebBrowser2* web = nullptr;

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleClientSite))
            *out = static_cast<IOleClientSite*>(this);
        else if (IsEqualIID(riid, IID_IOleWindow) || IsEqualIID(riid, IID_IOleInPlaceSite))
            *out = static_cast<IOleInPlaceSite*>(this);
        else if (IsEqualIID(riid, IID_IOleInPlaceFrame) || IsEqualIID(riid, IID_IOleInPlaceUIWindow))
            *out = static_cast<IOleInPlaceFrame*>(this);
        if (!*out)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs)); }
    STDMETHODIMP_(ULONG) Release() override
    {
        LONG n = InterlockedDecrement(&refs);
        if (n == 0)
            delete this;
        return static_cast<ULONG>(n);
    }

    // IOleClientSite
    STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** m) override
    {
        if (m) *m = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetContainer(IOleContainer** c) override
    {
        if (c) *c = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

    // IOleWindow
    STDMETHODIMP GetWindow(HWND* w) override
    {
        if (!w) return E_POINTER;
        *w = host;
        return S_OK;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // IOleInPlaceSite
    STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnUIActivate() override { return S_OK; }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos, LPRECT clip,
                                  LPOLEINPLACEFRAMEINFO info) override
    {
        if (frame) {
            *frame = static_cast<IOleInPlaceFrame*>(this);
            AddRef();
        }
        if (doc) *doc = nullptr;
        if (pos) GetClientRect(host, pos);
        if (clip) GetClientRect(host, clip);
        if (info) {
            info->fMDIApp = FALSE;
            info->hwndFrame = GetAncestor(host, GA_ROOT);
            info->haccel = nullptr;
            info->cAccelEntries = 0;
        }
        return S_OK;
    }
    STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
    STDMETHODIMP DiscardUndoState() override { return E_NOTIMPL; }
    STDMETHODIMP DeactivateAndUndo() override { return E_NOTIMPL; }
    STDMETHODIMP OnPosRectChange(LPCRECT rect) override
    {
        IOleInPlaceObject* inplace = nullptr;
        if (object && rect &&
            SUCCEEDED(object->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inplace)))) {
            inplace->SetObjectRects(rect, rect);
            inplace->Release();
        }
        return S_OK;
    }

    // IOleInPlaceUIWindow
    STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }

    // IOleInPlaceFrame
    STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
    STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    STDMETHODIMP RemoveMenus(HMENU) override { return E_NOTIMPL; }
    STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
    STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }
};

namespace forms_detail {

BrowserSite* CreateBrowser(HWND host)
{
    auto* site = new BrowserSite;
    site->host = host;
    IOleObject* object = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                  reinterpret_cast<void**>(&object));
    if (FAILED(hr) || !object) {
        site->Release();
        return nullptr;
    }
    site->object = object;
    object->SetClientSite(static_cast<IOleClientSite*>(site));
    OleSetContainedObject(object, TRUE);
    RECT rc;
    GetClientRect(host, &rc);
    hr = object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, static_cast<IOleClientSite*>(site), 0, host, &rc);
    if (FAILED(hr) ||
        FAILED(object->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&site->web))) || !site->web) {
        DestroyBrowser(site);
        return nullptr;
    }
    return site;
}

void BrowserNavigate(BrowserSite* site, const Text& address)
{
    if (!site || !site->web)
        return;
    int n = MultiByteToWideChar(CP_ACP, 0, address.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 1), L'\0');
    MultiByteToWideChar(CP_ACP, 0, address.c_str(), -1, wide.data(), n);
    BSTR url = SysAllocString(wide.c_str());
    VARIANT empty;
    VariantInit(&empty);
    site->web->Navigate(url, &empty, &empty, &empty, &empty);
    SysFreeString(url);
}

void BrowserSetSilent(BrowserSite* site, bool on)
{
    if (site && site->web)
        site->web->put_Silent(on ? VARIANT_TRUE : VARIANT_FALSE);
}

void BrowserResize(BrowserSite* site, int width, int height)
{
    if (!site || !site->object)
        return;
    RECT rc = {0, 0, width, height};
    site->OnPosRectChange(&rc);
}

void DestroyBrowser(BrowserSite* site)
{
    if (!site)
        return;
    if (site->web) {
        site->web->Release();
        site->web = nullptr;
    }
    if (site->object) {
        IOleObject* object = site->object;
        site->object = nullptr;
        object->Close(OLECLOSE_NOSAVE);
        object->SetClientSite(nullptr);
        object->Release();
    }
    site->host = nullptr;
    site->Release();
}

}  // namespace forms_detail
