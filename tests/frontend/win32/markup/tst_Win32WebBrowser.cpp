#include "Win32TestUtil.h"

#include "frontend/win32/markup/Win32WebBrowser.h"

#include <gtest/gtest.h>

#include <memory>

using namespace quelvo::frontend;
using namespace quelvo::frontend::win32;
using namespace quelvo::frontend::win32::test;

namespace {

constexpr char16_t kAddress[] = u"http://lookup.quelvo.example/ext/file_ext.php?ext[]=mp3&ext[]=AVI";

// A browser that only records its navigations.
class FakeBrowser final : public IWebBrowser2 {
public:
    struct Navigation {
        std::u16string url;
        VARTYPE flagsType;
        LONG flags;
        bool restEmpty;
    };
    std::vector<Navigation> navigations;
    HRESULT navigateResult = S_OK;
    ULONG refs = 1;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override
    {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, IID_IWebBrowser)
            || IsEqualIID(riid, IID_IWebBrowserApp) || IsEqualIID(riid, IID_IWebBrowser2)) {
            *out = static_cast<IWebBrowser2*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    // Owned by the test: never deletes itself.
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }

    HRESULT STDMETHODCALLTYPE Navigate(BSTR url, VARIANT* flags, VARIANT* frame, VARIANT* postData,
                                       VARIANT* headers) override
    {
        const auto empty = [](VARIANT* v) { return !v || v->vt == VT_EMPTY || v->vt == VT_ERROR; };
        navigations.push_back({url ? std::u16string(reinterpret_cast<const char16_t*>(url), SysStringLen(url))
                                   : std::u16string(),
                               flags ? flags->vt : VARTYPE(VT_EMPTY), flags && flags->vt == VT_I4 ? flags->lVal : -1,
                               empty(frame) && empty(postData) && empty(headers)});
        return navigateResult;
    }

// Every IWebBrowser2 method the tests do not use.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR *, UINT, LCID, DISPID *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS *, VARIANT *, EXCEPINFO *, UINT *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GoBack() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GoForward() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GoHome() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GoSearch() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Refresh() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Refresh2(VARIANT *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Stop() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Application(IDispatch **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Parent(IDispatch **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Container(IDispatch **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Document(IDispatch **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_TopLevelContainer(VARIANT_BOOL *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Type(BSTR *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Left(LONG *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Left(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Top(LONG *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Top(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Width(LONG *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Width(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Height(LONG *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Height(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_LocationName(BSTR *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_LocationURL(BSTR *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Busy(VARIANT_BOOL *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Quit() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ClientToWindow(int *, int *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE PutProperty(BSTR, VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetProperty(BSTR, VARIANT *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Name(BSTR *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_HWND(SHANDLE_PTR *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_FullName(BSTR *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Path(BSTR *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Visible(VARIANT_BOOL *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Visible(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_StatusBar(VARIANT_BOOL *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_StatusBar(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_StatusText(BSTR *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_StatusText(BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_ToolBar(int *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_ToolBar(int) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_MenuBar(VARIANT_BOOL *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_MenuBar(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_FullScreen(VARIANT_BOOL *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_FullScreen(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Navigate2(VARIANT *, VARIANT *, VARIANT *, VARIANT *, VARIANT *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryStatusWB(OLECMDID, OLECMDF *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ExecWB(OLECMDID, OLECMDEXECOPT, VARIANT *, VARIANT *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ShowBrowserBar(VARIANT *, VARIANT *, VARIANT *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_ReadyState(READYSTATE *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Offline(VARIANT_BOOL *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Offline(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Silent(VARIANT_BOOL *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Silent(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_RegisterAsBrowser(VARIANT_BOOL *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_RegisterAsBrowser(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_RegisterAsDropTarget(VARIANT_BOOL *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_RegisterAsDropTarget(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_TheaterMode(VARIANT_BOOL *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_TheaterMode(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_AddressBar(VARIANT_BOOL *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_AddressBar(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Resizable(VARIANT_BOOL *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Resizable(VARIANT_BOOL) override { return E_NOTIMPL; }
};

class Win32WebBrowserTest : public ::testing::Test {
protected:
    void SetUp() override { m_host = &SharedHost(); }
    void TearDown() override
    {
        m_browser.reset();
        Win32WebBrowser::SetBrowserObjectMaker({});
    }

    void Make()
    {
        m_browser = std::make_unique<Win32WebBrowser>(m_host, "WB_QLVO_FindSoftware", TRect{8, 11, 548, 401},
                                                      [this](const std::u16string& url) { m_opened.push_back(url); });
    }

    // The rectangle as the control paints itself.
    std::unique_ptr<DibCanvas> Painted()
    {
        auto canvas = std::make_unique<DibCanvas>(548, 401, RGB(255, 0, 255));
        m_browser->PaintSelf(canvas->Dc());
        return canvas;
    }

    HostWindow* m_host = nullptr;
    std::unique_ptr<Win32WebBrowser> m_browser;
    std::vector<std::u16string> m_opened;
};

}  // namespace

TEST_F(Win32WebBrowserTest, NavigatesTheBrowserWithFlagsTwelveAndNothingElse)
{
    FakeBrowser fake;
    Win32WebBrowser::SetBrowserObjectMaker([&fake]() -> IUnknown* {
        fake.AddRef();
        return &fake;
    });
    Make();
    EXPECT_EQ(m_browser->LocationURL(), u"");
    EXPECT_FALSE(m_browser->Embedded());  // starts on the first navigation
    EXPECT_EQ(fake.refs, 1u);

    m_browser->Navigate(kAddress, quelvo::frontend::navNoReadFromCache | quelvo::frontend::navNoWriteToCache);
    ASSERT_EQ(fake.navigations.size(), 1u);
    EXPECT_EQ(fake.navigations[0].url, kAddress);
    EXPECT_EQ(fake.navigations[0].flagsType, VT_I4);
    EXPECT_EQ(fake.navigations[0].flags, 12);
    EXPECT_TRUE(fake.navigations[0].restEmpty);
    EXPECT_EQ(m_browser->LocationURL(), kAddress);
    EXPECT_TRUE(m_browser->Embedded());
    EXPECT_FALSE(m_browser->Unavailable());

    m_browser->Navigate(u"http://lookup.quelvo.example/ext/file_ext.php?ext[]=mp3", 12);
    ASSERT_EQ(fake.navigations.size(), 2u);  // one browser, loaded afresh
    EXPECT_EQ(m_browser->LocationURL(), u"http://lookup.quelvo.example/ext/file_ext.php?ext[]=mp3");
    EXPECT_TRUE(m_opened.empty());
    EXPECT_EQ(Painted()->Pixel(270, 200), Rgb(255, 0, 255));  // the browser's own window shows

    m_browser.reset();
    EXPECT_EQ(fake.refs, 1u);  // every reference given back
}

TEST_F(Win32WebBrowserTest, OpensTheAddressWithTheDesktopWhereNoBrowserStarts)
{
    FakeBrowser failing;
    failing.navigateResult = E_FAIL;
    struct Case {
        const char* what;
        Win32WebBrowser::TBrowserObjectMaker maker;
    } cases[] = {
        {"no object", [] { return static_cast<IUnknown*>(nullptr); }},
        {"no IWebBrowser2",
         [] {
             IUnknown* plain = nullptr;
             CreateBindCtx(0, reinterpret_cast<IBindCtx**>(&plain));
             return plain;
         }},
        {"navigation refused",
         [&failing]() -> IUnknown* {
             failing.AddRef();
             return &failing;
         }},
    };
    for (Case& c : cases) {
        Win32WebBrowser::SetBrowserObjectMaker(c.maker);
        m_opened.clear();
        Make();
        m_browser->Navigate(kAddress, 12);
        EXPECT_TRUE(m_browser->Unavailable()) << c.what;
        EXPECT_EQ(m_opened, (std::vector<std::u16string>{kAddress})) << c.what;
        EXPECT_EQ(m_browser->LocationURL(), kAddress) << c.what;
        m_browser->Navigate(kAddress, 12);  // and again, without trying to start once more
        EXPECT_EQ(m_opened.size(), 2u) << c.what;
        m_browser.reset();
    }
    EXPECT_EQ(failing.navigations.size(), 1u);
    EXPECT_EQ(failing.refs, 1u);
}

TEST_F(Win32WebBrowserTest, FallsBackWhereTheSystemControlCannotShowPages)
{
    // Wine here has no HTML engine (mshtml disabled for the tests).
    Make();
    m_browser->Navigate(kAddress, 12);
    EXPECT_TRUE(m_browser->Unavailable());
    EXPECT_FALSE(m_browser->Embedded());
    EXPECT_EQ(m_opened, (std::vector<std::u16string>{kAddress}));
    Pump();

    // The rectangle says so: dark text on white, in its middle.
    const auto image = Painted();
    EXPECT_EQ(image->Pixel(5, 5), Rgb(255, 255, 255));
    const RECT ink = [&] {
        RECT r{548, 401, 0, 0};
        for (int y = 2; y < 399; ++y)
            for (int x = 2; x < 546; ++x)
                if (image->Pixel(x, y) != Rgb(255, 255, 255)) {
                    r.left = std::min<LONG>(r.left, x), r.top = std::min<LONG>(r.top, y);
                    r.right = std::max<LONG>(r.right, x + 1), r.bottom = std::max<LONG>(r.bottom, y + 1);
                }
        return r;
    }();
    ASSERT_LT(ink.left, ink.right);
    EXPECT_GT(ink.top, 150);
    EXPECT_LT(ink.bottom, 250);
    EXPECT_GT(ink.right - ink.left, 200);

    // Web addresses only: a crafted one is not handed on.
    m_browser->Navigate(u"file://C:/Windows/notepad.exe", 12);
    EXPECT_EQ(m_opened.size(), 1u);
    EXPECT_EQ(m_browser->LocationURL(), u"file://C:/Windows/notepad.exe");
}
