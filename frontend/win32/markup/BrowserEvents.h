#pragma once

// The WebBrowser control's navigation events (DWebBrowserEvents2), received
// through its connection point. Before each navigation (BeforeNavigate2)
// the sink asks whether it may go ahead and sets the control's cancel flag
// when not; a page's request for a window of its own (NewWindow3) is always
// cancelled and its address passed on. Where a page ended up (NavigateComplete2)
// is reported too: the control follows a server's redirect without asking.

#include <ole2.h>
#include <ocidl.h>

#include <functional>
#include <string>

namespace quelvo::frontend::win32 {

class BrowserEvents final : public IDispatch {
public:
    struct Handlers {
        // True to let the navigation go ahead; topLevel: the control's own
        // page rather than a frame in it.
        std::function<bool(const std::u16string& url, bool topLevel)> beforeNavigate;
        // The address a page wanted a new window for.
        std::function<void(const std::u16string& url)> newWindow;
        // The address a page has started to load from, after any redirect.
        std::function<void(const std::u16string& url, bool topLevel)> navigated;
    };

    // A new sink with one reference, the caller's.
    static BrowserEvents* Create(Handlers handlers);

    // Advises the control's DWebBrowserEvents2 connection point; false when
    // the control offers none. browser's identity tells its own page from
    // its frames.
    bool Connect(IUnknown* browser);
    // Unadvises, and from then on answers nothing.
    void Disconnect();

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IDispatch: only Invoke is used by a connection point.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception, UINT* argError) override;

private:
    explicit BrowserEvents(Handlers handlers);
    ~BrowserEvents();

    void Unadvise();
    HRESULT BeforeNavigate2(DISPPARAMS* params);
    HRESULT NewWindow3(DISPPARAMS* params);
    HRESULT NavigateComplete2(DISPPARAMS* params);
    bool IsTopLevel(const VARIANT* frame) const;

    Handlers m_handlers;
    ULONG m_refs = 1;
    IUnknown* m_browserIdentity = nullptr;
    IConnectionPoint* m_point = nullptr;
    DWORD m_cookie = 0;
};

}  // namespace quelvo::frontend::win32
