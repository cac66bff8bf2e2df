#include "FakeShellDispatch.h"
#include "tests/support/Win32Canvas.h"

#include "frontend/Services.h"
#include "frontend/win32/DesktopShell.h"
#include "frontend/win32/markup/Desktop.h"
#include "frontend/win32/markup/Win32WebBrowser.h"

#include <exdispid.h>
#include <olectl.h>
#include <gtest/gtest.h>

#include <memory>

using namespace quelvo::frontend;
using namespace quelvo::frontend::win32;
using namespace quelvo::frontend::win32::test;

namespace {

constexpr char16_t kAddress[] = u"http://lookup.quelvo.example/ext/file_ext.php?ext[]=mp3&ext[]=AVI";
constexpr char16_t kHomePage[] = u"https://www.videolan.org/vlc/";

// A browser that records its navigations and, like the control, offers its
// DWebBrowserEvents2 connection point, through which the test raises the
// control's events.
class FakeBrowser final : public IWebBrowser2, public IConnectionPointContainer, public IConnectionPoint {
public:
    struct Navigation {
        std::u16string url;
        VARTYPE flagsType;
        LONG flags;
        bool restEmpty;
    };
    std::vector<Navigation> navigations;
    HRESULT navigateResult = S_OK;
    bool offersEvents = true;
    int stops = 0;
    ULONG refs = 1;
    IDispatch* sink = nullptr;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override
    {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, IID_IWebBrowser)
            || IsEqualIID(riid, IID_IWebBrowserApp) || IsEqualIID(riid, IID_IWebBrowser2)) {
            *out = static_cast<IWebBrowser2*>(this);
            AddRef();
            return S_OK;
        }
        if (offersEvents && IsEqualIID(riid, IID_IConnectionPointContainer)) {
            *out = static_cast<IConnectionPointContainer*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }

    // IConnectionPointContainer, IConnectionPoint: one sink for the events.
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** point) override
    {
        *point = nullptr;
        if (!IsEqualIID(riid, DIID_DWebBrowserEvents2))
            return CONNECT_E_NOCONNECTION;
        *point = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* unknown, DWORD* cookie) override
    {
        if (sink)
            return CONNECT_E_ADVISELIMIT;
        if (FAILED(unknown->QueryInterface(DIID_DWebBrowserEvents2, reinterpret_cast<void**>(&sink))))
            return CONNECT_E_CANNOTCONNECT;
        *cookie = 7;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override
    {
        if (cookie != 7 || !sink)
            return CONNECT_E_NOCONNECTION;
        sink->Release();
        sink = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }

    // BeforeNavigate2 as the control raises it, for its own page (frame
    // null) or for a frame; returns the cancel flag the sink left.
    bool BeforeNavigate(const std::u16string& url, IDispatch* frame = nullptr)
    {
        BSTR text = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(url.c_str()), static_cast<UINT>(url.size()));
        VARIANT address, flags, target, post, headers;
        for (VARIANT* v : {&address, &flags, &target, &post, &headers})
            VariantInit(v);
        address.vt = VT_BSTR;
        address.bstrVal = text;
        flags.vt = VT_I4;
        VARIANT_BOOL cancel = VARIANT_FALSE;
        VARIANT args[7];
        for (VARIANT& v : args)
            VariantInit(&v);
        args[6].vt = VT_DISPATCH;
        args[6].pdispVal = frame ? frame : static_cast<IWebBrowser2*>(this);
        args[5].vt = VT_BYREF | VT_VARIANT;
        args[5].pvarVal = &address;
        for (int i : {4, 3, 2, 1}) {
            args[i].vt = VT_BYREF | VT_VARIANT;
            args[i].pvarVal = i == 4 ? &flags : i == 3 ? &target : i == 2 ? &post : &headers;
        }
        args[0].vt = VT_BYREF | VT_BOOL;
        args[0].pboolVal = &cancel;
        DISPPARAMS params{args, nullptr, 7, 0};
        EXPECT_TRUE(sink);
        if (sink)
            sink->Invoke(DISPID_BEFORENAVIGATE2, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
        SysFreeString(text);
        return cancel == VARIANT_TRUE;
    }

    // NavigateComplete2: where the page (or a frame) has started to load
    // from, after any redirect the control followed on its own.
    void NavigateComplete(const std::u16string& url, IDispatch* frame = nullptr)
    {
        BSTR text = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(url.c_str()), static_cast<UINT>(url.size()));
        VARIANT address;
        VariantInit(&address);
        address.vt = VT_BSTR;
        address.bstrVal = text;
        VARIANT args[2];
        VariantInit(&args[0]);
        VariantInit(&args[1]);
        args[1].vt = VT_DISPATCH;
        args[1].pdispVal = frame ? frame : static_cast<IWebBrowser2*>(this);
        args[0].vt = VT_BYREF | VT_VARIANT;
        args[0].pvarVal = &address;
        DISPPARAMS params{args, nullptr, 2, 0};
        EXPECT_TRUE(sink);
        if (sink)
            sink->Invoke(DISPID_NAVIGATECOMPLETE2, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
        SysFreeString(text);
    }

    // NewWindow3 for a link with a target or window.open; returns the
    // cancel flag.
    bool NewWindow(const std::u16string& url)
    {
        BSTR text = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(url.c_str()), static_cast<UINT>(url.size()));
        BSTR context = SysAllocString(reinterpret_cast<const OLECHAR*>(kAddress));
        IDispatch* newBrowser = nullptr;
        VARIANT_BOOL cancel = VARIANT_FALSE;
        VARIANT args[5];
        for (VARIANT& v : args)
            VariantInit(&v);
        args[4].vt = VT_BYREF | VT_DISPATCH;
        args[4].ppdispVal = &newBrowser;
        args[3].vt = VT_BYREF | VT_BOOL;
        args[3].pboolVal = &cancel;
        args[2].vt = VT_I4;
        args[2].lVal = 6;  // NWMF_USERINITED | NWMF_FIRST
        args[1].vt = VT_BSTR;
        args[1].bstrVal = context;
        args[0].vt = VT_BSTR;
        args[0].bstrVal = text;
        DISPPARAMS params{args, nullptr, 5, 0};
        EXPECT_TRUE(sink);
        if (sink)
            sink->Invoke(DISPID_NEWWINDOW3, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
        SysFreeString(text);
        SysFreeString(context);
        EXPECT_EQ(newBrowser, nullptr);
        return cancel == VARIANT_TRUE;
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
    HRESULT STDMETHODCALLTYPE Stop() override
    {
        ++stops;
        return S_OK;
    }
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

// Hands out the test's fake browser.
Win32WebBrowser::TBrowserObjectMaker Giving(FakeBrowser& fake)
{
    return [&fake]() -> IUnknown* {
        fake.AddRef();
        return static_cast<IWebBrowser2*>(&fake);
    };
}

}  // namespace

TEST_F(Win32WebBrowserTest, shouldNavigateTheBrowserWithFlagsTwelveAndNothingElse)
{
    FakeBrowser fake;
    Win32WebBrowser::SetBrowserObjectMaker(Giving(fake));
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

TEST_F(Win32WebBrowserTest, shouldOpenTheAddressWithTheDesktopWhereNoBrowserStarts)
{
    FakeBrowser failing;
    failing.navigateResult = E_FAIL;
    FakeBrowser unwatchable;
    unwatchable.offersEvents = false;
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
        {"navigation refused", Giving(failing)},
        // Its navigations could not be held to the lookup page.
        {"no navigation events", Giving(unwatchable)},
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
    EXPECT_TRUE(unwatchable.navigations.empty());
    EXPECT_EQ(unwatchable.refs, 1u);
}

TEST_F(Win32WebBrowserTest, shouldFallBackWhereTheSystemControlCannotShowPages)
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

TEST_F(Win32WebBrowserTest, shouldShowTheLookupPageAndHandEveryOtherPageToTheDesktop)
{
    FakeBrowser fake;
    FakeBrowser frame;  // a frame inside the page: another browser object
    Win32WebBrowser::SetBrowserObjectMaker(Giving(fake));
    Make();
    m_browser->Navigate(kAddress, 12);
    ASSERT_TRUE(fake.sink);

    // The program's own navigation, also as the engine may spell it.
    EXPECT_FALSE(fake.BeforeNavigate(kAddress));
    EXPECT_FALSE(fake.BeforeNavigate(u"http://lookup.quelvo.example/ext/file_ext.php?ext%5B%5D=mp3&ext%5B%5D=AVI#x"));
    // A link on the page, or to another lookup: cancelled, and opened by
    // the desktop once the event has returned.
    EXPECT_TRUE(fake.BeforeNavigate(kHomePage));
    EXPECT_TRUE(fake.BeforeNavigate(u"http://lookup.quelvo.example/ext/file_ext.php?ext[]=zip"));
    EXPECT_TRUE(m_opened.empty());
    Pump();
    EXPECT_EQ(m_opened, (std::vector<std::u16string>{kHomePage, u"http://lookup.quelvo.example/ext/file_ext.php?ext[]=zip"}));

    // Frames load from the lookup page's own origin only; one from
    // elsewhere is cancelled without a browser window for it.
    m_opened.clear();
    EXPECT_FALSE(fake.BeforeNavigate(u"http://lookup.quelvo.example/frame.html", &frame));
    EXPECT_TRUE(fake.BeforeNavigate(u"http://ads.example/frame.html", &frame));
    // Not a web address: cancelled and dropped.
    EXPECT_TRUE(fake.BeforeNavigate(u"file://C:/Windows/notepad.exe"));
    EXPECT_TRUE(fake.BeforeNavigate(u"javascript:alert(1)"));
    Pump();
    EXPECT_TRUE(m_opened.empty());

    // Every new window, even for the lookup page itself.
    EXPECT_TRUE(fake.NewWindow(kHomePage));
    EXPECT_TRUE(fake.NewWindow(kAddress));
    Pump();
    EXPECT_EQ(m_opened, (std::vector<std::u16string>{kHomePage, kAddress}));
    EXPECT_EQ(fake.navigations.size(), 1u);  // the control was never sent anywhere else
    EXPECT_EQ(m_browser->LocationURL(), kAddress);

    // Closing gives the sink back.
    m_browser.reset();
    EXPECT_EQ(fake.sink, nullptr);
    EXPECT_EQ(fake.refs, 1u);
}

TEST_F(Win32WebBrowserTest, shouldOpenWhatThePageLeadsToThroughTheDesktopsShell)
{
    FakeBrowser fake;
    FakeShellDispatch shell;
    Win32WebBrowser::SetBrowserObjectMaker(Giving(fake));
    const TDesktopShellFinder previous = SetDesktopShellFinder([&shell]() -> IShellDispatch2* {
        shell.AddRef();
        return &shell;
    });
    // The links' own opener, as the front end gives it.
    m_browser = std::make_unique<Win32WebBrowser>(m_host, "WB_QLVO_FindSoftware", TRect{8, 11, 548, 401},
                                                  [](const std::u16string& target) { OpenWithDesktop(target); });
    m_browser->Navigate(kAddress, 12);

    EXPECT_TRUE(fake.BeforeNavigate(kHomePage));
    EXPECT_TRUE(fake.NewWindow(u"mailto:help@videolan.example"));
    Pump();
    ASSERT_EQ(shell.executions.size(), 2u);
    EXPECT_EQ(shell.executions[0].file, kHomePage);
    EXPECT_EQ(shell.executions[0].verb, u"open");
    EXPECT_EQ(shell.executions[0].show, SW_SHOWNORMAL);
    EXPECT_EQ(shell.executions[0].argsType, VT_EMPTY);
    EXPECT_EQ(shell.executions[0].dirType, VT_EMPTY);
    EXPECT_EQ(shell.executions[1].file, u"mailto:help@videolan.example");
    EXPECT_EQ(shell.refs, 1u);
    SetDesktopShellFinder(previous);
}

TEST_F(Win32WebBrowserTest, shouldCloseTheBrowserWhereAServerRedirectLeadsElsewhere)
{
    FakeBrowser fake;
    FakeBrowser frame;
    Win32WebBrowser::SetBrowserObjectMaker(Giving(fake));
    Make();
    m_browser->Navigate(kAddress, 12);
    ASSERT_TRUE(fake.sink);

    // The lookup page, a redirect within its origin, frames from there and
    // the control's own error page are shown.
    fake.NavigateComplete(kAddress);
    fake.NavigateComplete(u"http://lookup.quelvo.example/ext/other.php?ext[]=mp3");
    fake.NavigateComplete(u"http://lookup.quelvo.example/frame.html", &frame);
    fake.NavigateComplete(u"res://ieframe.dll/dnserrordiagoff.htm#http://lookup.quelvo.example/");
    Pump();
    EXPECT_EQ(fake.stops, 0);
    EXPECT_TRUE(m_opened.empty());
    EXPECT_TRUE(m_browser->Embedded());

    // A frame redirected elsewhere closes the browser without opening it.
    fake.NavigateComplete(u"http://ads.example/frame.html", &frame);
    Pump();
    EXPECT_EQ(fake.stops, 1);
    EXPECT_TRUE(m_opened.empty());
    EXPECT_TRUE(m_browser->Unavailable());
    EXPECT_EQ(fake.sink, nullptr);
    EXPECT_EQ(fake.refs, 1u);

    // The page itself redirected elsewhere: stopped at once, nothing more
    // is let through, the browser closes and the address goes to the
    // desktop.
    FakeBrowser second;
    Win32WebBrowser::SetBrowserObjectMaker(Giving(second));
    Make();
    m_browser->Navigate(kAddress, 12);
    ASSERT_TRUE(second.sink);
    second.NavigateComplete(kHomePage);
    EXPECT_EQ(second.stops, 1);
    EXPECT_TRUE(second.BeforeNavigate(kAddress));
    Pump();
    EXPECT_EQ(m_opened, (std::vector<std::u16string>{kHomePage}));
    EXPECT_TRUE(m_browser->Unavailable());
    EXPECT_EQ(second.sink, nullptr);
    EXPECT_EQ(second.refs, 1u);
}
