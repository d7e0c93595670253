// The embedded browser: writing the address navigates and is recorded, from the window thread or a
// worker, whether or not the browser engine could be created.
#include "runtime/workers.h"
#include "forms/every_kind.h"
#include "support/pump.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>

#include <exdisp.h>
#include <ole2.h>

namespace {

// Whether this system can make a WebBrowser control at all (without a browser engine it cannot).
bool WebBrowserCreatable()
{
    IUnknown* object = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                  reinterpret_cast<void**>(&object));
    if (FAILED(hr) || !object)
        return false;
    object->Release();
    return true;
}

TEST(Browser, WritingTheAddressNavigates)
{
    WindowLayout w{"5173交易行情", {50, 50, 1000, 608}, true, {}};
    w.Add(ui::Browser("超文本浏览框_交易行情", {0, 0, 995, 550}));
    Form f = LoadForm(w);
    Control browser = f.Control("超文本浏览框_交易行情");
    EXPECT_EQ(browser.Address(), "");
    browser.SetSilent(true);
    browser.SetText("http://127.0.0.1:9/NetWork/cxweb/hangqing/rift.html");
    EXPECT_EQ(browser.Address(), "http://127.0.0.1:9/NetWork/cxweb/hangqing/rift.html");
    EXPECT_EQ(browser.GetText(), browser.Address());
    // From a worker, as the page buttons do; the later write wins.
    std::atomic<bool> done{false};
    StartWorker([&] {
        browser.Navigate("http://127.0.0.1:9/koushui/index.asp");
        done = true;
    });
    PumpUntil([&] { return done.load(); });
    EXPECT_EQ(browser.Address(), "http://127.0.0.1:9/koushui/index.asp");
    HWND host = browser.Handle();
    EXPECT_EQ(ControlNameOf(host), "超文本浏览框_交易行情");
    // The control is there exactly when the system can make one; either way the address is kept.
    bool creatable = WebBrowserCreatable();
    EXPECT_EQ(browser.BrowserReady(), creatable);
    if (creatable) {
        // The real control sits inside the host window.
        EXPECT_NE(GetWindow(host, GW_CHILD), nullptr);
    } else {
        std::printf("note: no WebBrowser control on this system; only the addresses were checked\n");
    }
    PumpFor(100);
    f.Destroy();
    EXPECT_EQ(browser.Address(), "");
    browser.Navigate("http://127.0.0.1:9/");  // a closed window's browser goes nowhere
}

}  // namespace
