#include "frontend/win32/markup/Win32WebBrowser.h"

#include "frontend/LinkTargets.h"
#include "frontend/LookupNavigation.h"
#include "frontend/Services.h"
#include "frontend/win32/markup/BrowserEvents.h"
#include "frontend/win32/markup/GdiSurface.h"
#include "platform/Text.h"

#include <oleauto.h>

#include <utility>

namespace quelvo::frontend::win32 {

// The container side of the in-place browser: its client site, its place
// (the control's window) and a frame that offers no menus, tools or status
// bar. It outlives the control while the browser still holds it.
class BrowserSite final : public IOleClientSite, public IOleInPlaceSite, public IOleInPlaceFrame {
public:
    explicit BrowserSite(HWND host) : m_host(host) {}
    void Detach() { m_host = nullptr; }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override
    {
        if (!out)
            return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleClientSite))
            *out = static_cast<IOleClientSite*>(this);
        else if (IsEqualIID(riid, IID_IOleWindow) || IsEqualIID(riid, IID_IOleInPlaceSite))
            *out = static_cast<IOleInPlaceSite*>(this);
        else if (IsEqualIID(riid, IID_IOleInPlaceUIWindow) || IsEqualIID(riid, IID_IOleInPlaceFrame))
            *out = static_cast<IOleInPlaceFrame*>(this);
        else {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --m_refs;
        if (left == 0)
            delete this;
        return left;
    }

    // IOleClientSite
    HRESULT STDMETHODCALLTYPE SaveObject() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** moniker) override
    {
        if (moniker)
            *moniker = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** container) override
    {
        if (container)
            *container = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnShowWindow(WINBOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }

    // IOleWindow
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override
    {
        if (!window)
            return E_POINTER;
        *window = m_host;
        return m_host ? S_OK : E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(WINBOOL) override { return E_NOTIMPL; }

    // IOleInPlaceSite
    HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return m_host ? S_OK : S_FALSE; }
    HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                               LPRECT position, LPRECT clip, LPOLEINPLACEFRAMEINFO info) override
    {
        if (!frame || !document || !position || !clip || !info)
            return E_POINTER;
        *frame = static_cast<IOleInPlaceFrame*>(this);
        AddRef();
        *document = nullptr;
        RECT client{};
        if (m_host)
            GetClientRect(m_host, &client);
        *position = client;
        *clip = client;
        info->fMDIApp = FALSE;
        info->hwndFrame = m_host ? GetAncestor(m_host, GA_ROOT) : nullptr;
        info->haccel = nullptr;
        info->cAccelEntries = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnUIDeactivate(WINBOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return E_NOTIMPL; }
    // The rectangle is the control's; WM_SIZE keeps the browser in it.
    HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT) override { return S_OK; }

    // IOleInPlaceUIWindow
    HRESULT STDMETHODCALLTYPE GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
    HRESULT STDMETHODCALLTYPE RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
    HRESULT STDMETHODCALLTYPE SetBorderSpace(LPCBORDERWIDTHS) override { return OLE_E_INVALIDRECT; }
    HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }

    // IOleInPlaceFrame
    HRESULT STDMETHODCALLTYPE InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE EnableModeless(WINBOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

private:
    ~BrowserSite() = default;

    HWND m_host;
    ULONG m_refs = 1;
};

namespace {

constexpr wchar_t kClassName[] = L"QuelvoWebBrowser";
// Posted to the control's window: refused addresses wait to be handed on.
constexpr UINT kHandOffQueued = WM_APP + 16;
// Posted to the control's window: the page went where it may not be shown.
constexpr UINT kLeavePage = WM_APP + 17;

// The control's own pages (its error pages, a blank page): nothing from
// the network.
bool IsControlsOwnPage(const std::u16string& url)
{
    const std::u16string scheme = platform::ToLowerAscii(std::u16string_view(url).substr(0, url.find(u':') + 1));
    return scheme == u"res:" || scheme == u"about:";
}

// The HTML document engine the control shows pages with.
constexpr CLSID kHtmlDocument = {0x25336920, 0x03F9, 0x11CF, {0x8F, 0xD0, 0x00, 0xAA, 0x00, 0x68, 0x6F, 0x13}};

Win32WebBrowser::TBrowserObjectMaker& Maker()
{
    static Win32WebBrowser::TBrowserObjectMaker maker;
    return maker;
}

// The system's WebBrowser control. Without an HTML engine it would start
// and then never show a page: then there is none.
IUnknown* MakeSystemBrowser()
{
    IUnknown* document = nullptr;
    if (FAILED(CoCreateInstance(kHtmlDocument, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                reinterpret_cast<void**>(&document)))
        || !document)
        return nullptr;
    document->Release();
    IUnknown* browser = nullptr;
    if (FAILED(CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                reinterpret_cast<void**>(&browser))))
        return nullptr;
    return browser;
}

template<typename T>
void ReleaseAndClear(T*& p)
{
    if (p) {
        p->Release();
        p = nullptr;
    }
}

}  // namespace

Win32WebBrowser::TBrowserObjectMaker Win32WebBrowser::SetBrowserObjectMaker(TBrowserObjectMaker maker)
{
    TBrowserObjectMaker previous = std::move(Maker());
    Maker() = std::move(maker);
    return previous;
}

const std::u16string& Win32WebBrowser::UnavailableText()
{
    static const std::u16string text =
        u"The embedded browser is not available here. The lookup page opens in your web browser.";
    return text;
}

Win32WebBrowser::Win32WebBrowser(Win32Node* parent, std::string name, TRect bounds,
                                 std::function<void(const std::u16string&)> openDesktop)
    : Win32Control<TWebBrowserControl>(std::move(name)), m_openDesktop(std::move(openDesktop))
{
    RegisterNodeClass(kClassName);
    CreateNode(parent, kClassName, WS_VISIBLE | WS_CLIPCHILDREN | WS_TABSTOP, 0,
               RECT{bounds.left, bounds.top, bounds.left + bounds.width, bounds.top + bounds.height});
}

Win32WebBrowser::~Win32WebBrowser()
{
    Stop();
    if (m_oleInitialized)
        OleUninitialize();
}

bool Win32WebBrowser::Start()
{
    if (m_state != State::NotStarted)
        return m_state == State::Running;
    // OLE for the in-place browser; the front end may have done so already.
    m_oleInitialized = SUCCEEDED(OleInitialize(nullptr));
    IUnknown* made = Maker() ? Maker()() : MakeSystemBrowser();
    if (!made) {
        GiveUp();
        return false;
    }
    made->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&m_browser));
    made->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&m_object));
    made->Release();
    if (!m_browser) {
        GiveUp();
        return false;
    }
    // A control whose navigations cannot be watched could show anything:
    // then it is not used at all.
    m_events = BrowserEvents::Create(
        {[this](const std::u16string& url, bool topLevel) { return MayNavigate(url, topLevel); },
         [this](const std::u16string& url) { QueueHandOff(url); },
         [this](const std::u16string& url, bool topLevel) { Arrived(url, topLevel); }});
    if (!m_events->Connect(m_browser)) {
        GiveUp();
        return false;
    }
    if (m_object) {
        m_site = new BrowserSite(Handle());
        RECT client{};
        GetClientRect(Handle(), &client);
        if (FAILED(m_object->SetClientSite(static_cast<IOleClientSite*>(m_site)))
            || FAILED(m_object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, static_cast<IOleClientSite*>(m_site), 0,
                                       Handle(), &client))) {
            GiveUp();
            return false;
        }
    }
    m_state = State::Running;
    return true;
}

void Win32WebBrowser::Stop()
{
    if (m_events) {
        m_events->Disconnect();
        m_events->Release();
        m_events = nullptr;
    }
    if (m_object) {
        m_object->Close(OLECLOSE_NOSAVE);
        m_object->SetClientSite(nullptr);
    }
    ReleaseAndClear(m_object);
    ReleaseAndClear(m_browser);
    if (m_site) {
        m_site->Detach();
        m_site->Release();
        m_site = nullptr;
    }
}

void Win32WebBrowser::GiveUp()
{
    Stop();
    m_state = State::Unavailable;
    if (Handle())
        InvalidateRect(Handle(), nullptr, FALSE);
}

bool Win32WebBrowser::MayNavigate(const std::u16string& url, bool topLevel)
{
    if (m_leaving)
        return false;
    const TLoadKind kind = topLevel ? TLoadKind::Page : TLoadKind::Frame;
    if (EmbeddedViewMayLoad(m_location, url, kind))
        return true;
    if (HandsRefusedLoadToDesktop(kind))
        QueueHandOff(url);
    return false;
}

void Win32WebBrowser::Arrived(const std::u16string& url, bool topLevel)
{
    // The control follows a server's redirect without a BeforeNavigate2:
    // a page that ended up elsewhere is not shown. The control is closed
    // (after this event has returned) and the address goes to the desktop.
    const TLoadKind kind = topLevel ? TLoadKind::Redirect : TLoadKind::Frame;
    if (m_leaving || IsControlsOwnPage(url) || EmbeddedViewMayLoad(m_location, url, kind))
        return;
    m_leaving = true;
    if (m_browser)
        m_browser->Stop();
    if (HandsRefusedLoadToDesktop(kind))
        QueueHandOff(url);
    if (Handle())
        PostMessageW(Handle(), kLeavePage, 0, 0);
}

void Win32WebBrowser::QueueHandOff(const std::u16string& url)
{
    m_handOffs.push_back(url);
    if (m_handOffs.size() == 1 && Handle())
        PostMessageW(Handle(), kHandOffQueued, 0, 0);
}

void Win32WebBrowser::HandOffQueued()
{
    std::vector<std::u16string> queued;
    queued.swap(m_handOffs);
    // Web and mail addresses only: a file or a script is simply not loaded.
    for (const std::u16string& url : queued)
        if (m_openDesktop && IsOpenableAddress(url))
            m_openDesktop(url);
}

void Win32WebBrowser::Navigate(const std::u16string& url, int flags)
{
    m_location = url;
    if (Start()) {
        BSTR address = SysAllocStringLen(W(url), static_cast<UINT>(url.size()));
        VARIANT flagsArg;
        VariantInit(&flagsArg);
        flagsArg.vt = VT_I4;
        flagsArg.lVal = flags;
        VARIANT none;
        VariantInit(&none);
        VARIANT noFrame = none, noPostData = none, noHeaders = none;
        const HRESULT hr = m_browser->Navigate(address, &flagsArg, &noFrame, &noPostData, &noHeaders);
        SysFreeString(address);
        if (SUCCEEDED(hr))
            return;
        // A browser that cannot even start loading shows nothing.
        GiveUp();
    }
    if (m_openDesktop && IsOpenableAddress(url))
        m_openDesktop(url);
}

void Win32WebBrowser::PaintSelf(HDC dc)
{
    if (m_state != State::Unavailable)
        return;
    RECT client{};
    GetClientRect(Handle(), &client);
    HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
    FillRect(dc, &client, white);
    DeleteObject(white);
    HBRUSH frame = CreateSolidBrush(RGB(160, 160, 160));
    FrameRect(dc, &client, frame);
    DeleteObject(frame);

    const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    HGDIOBJ oldFont = SelectObject(dc, GdiSurface::FontFor(markup::FontSpec{u"Tahoma", 8, false, false, {}}, dpi));
    const COLORREF oldColour = SetTextColor(dc, RGB(64, 64, 64));
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    const std::u16string& text = UnavailableText();
    RECT box{client.left + 24, client.top, client.right - 24, client.bottom};
    RECT measured = box;
    DrawTextW(dc, W(text), static_cast<int>(text.size()), &measured, DT_CALCRECT | DT_WORDBREAK | DT_CENTER | DT_NOPREFIX);
    const int height = measured.bottom - measured.top;
    box.top = client.top + (client.bottom - client.top - height) / 2;
    box.bottom = box.top + height;
    DrawTextW(dc, W(text), static_cast<int>(text.size()), &box, DT_WORDBREAK | DT_CENTER | DT_NOPREFIX);
    SetBkMode(dc, oldMode);
    SetTextColor(dc, oldColour);
    SelectObject(dc, oldFont);
}

LRESULT Win32WebBrowser::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kHandOffQueued) {
        HandOffQueued();
        return 0;
    }
    if (message == kLeavePage) {
        GiveUp();
        return 0;
    }
    if (message == WM_SIZE && m_object) {
        IOleInPlaceObject* inPlace = nullptr;
        if (SUCCEEDED(m_object->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace)))
            && inPlace) {
            RECT client{};
            GetClientRect(Handle(), &client);
            inPlace->SetObjectRects(&client, &client);
            inPlace->Release();
        }
    }
    return Win32Node::HandleMessage(message, wParam, lParam);
}

}  // namespace quelvo::frontend::win32
