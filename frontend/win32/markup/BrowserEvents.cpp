#include "frontend/win32/markup/BrowserEvents.h"

#include <exdisp.h>
#include <exdispid.h>
#include <oleauto.h>

#include <utility>

namespace quelvo::frontend::win32 {

namespace {

// Arguments arrive last first.
VARIANT* Argument(DISPPARAMS* params, UINT index) { return &params->rgvarg[params->cArgs - 1 - index]; }

std::u16string Text(const VARIANT* v)
{
    if (!v)
        return {};
    if (v->vt == (VT_BYREF | VT_VARIANT))
        return v->pvarVal && v->pvarVal->vt != (VT_BYREF | VT_VARIANT) ? Text(v->pvarVal) : std::u16string();
    BSTR text = v->vt == VT_BSTR ? v->bstrVal : v->vt == (VT_BYREF | VT_BSTR) && v->pbstrVal ? *v->pbstrVal : nullptr;
    return text ? std::u16string(reinterpret_cast<const char16_t*>(text), SysStringLen(text)) : std::u16string();
}

VARIANT_BOOL* CancelFlag(VARIANT* v) { return v->vt == (VT_BYREF | VT_BOOL) ? v->pboolVal : nullptr; }

}  // namespace

BrowserEvents* BrowserEvents::Create(Handlers handlers) { return new BrowserEvents(std::move(handlers)); }

BrowserEvents::BrowserEvents(Handlers handlers) : m_handlers(std::move(handlers)) {}

BrowserEvents::~BrowserEvents() { Disconnect(); }

bool BrowserEvents::Connect(IUnknown* browser)
{
    Unadvise();
    IUnknown* identity = nullptr;
    if (!browser || FAILED(browser->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity))) || !identity)
        return false;
    // Kept only to compare with: the control holds this sink, not the
    // other way round.
    m_browserIdentity = identity;
    identity->Release();

    IConnectionPointContainer* container = nullptr;
    if (FAILED(browser->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container)))
        || !container)
        return false;
    const HRESULT found = container->FindConnectionPoint(DIID_DWebBrowserEvents2, &m_point);
    container->Release();
    if (FAILED(found) || !m_point) {
        m_point = nullptr;
        return false;
    }
    if (FAILED(m_point->Advise(static_cast<IDispatch*>(this), &m_cookie))) {
        m_point->Release();
        m_point = nullptr;
        return false;
    }
    return true;
}

void BrowserEvents::Disconnect()
{
    Unadvise();
    // Whatever still arrives is refused without calling back.
    m_handlers = {};
}

void BrowserEvents::Unadvise()
{
    if (m_point) {
        m_point->Unadvise(m_cookie);
        m_point->Release();
        m_point = nullptr;
    }
    m_cookie = 0;
    m_browserIdentity = nullptr;
}

HRESULT STDMETHODCALLTYPE BrowserEvents::QueryInterface(REFIID riid, void** out)
{
    if (!out)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, DIID_DWebBrowserEvents2)) {
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE BrowserEvents::AddRef() { return ++m_refs; }

ULONG STDMETHODCALLTYPE BrowserEvents::Release()
{
    const ULONG left = --m_refs;
    if (left == 0)
        delete this;
    return left;
}

HRESULT STDMETHODCALLTYPE BrowserEvents::GetTypeInfoCount(UINT* count)
{
    if (!count)
        return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE BrowserEvents::GetTypeInfo(UINT, LCID, ITypeInfo** info)
{
    if (info)
        *info = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE BrowserEvents::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE BrowserEvents::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                                EXCEPINFO*, UINT*)
{
    if (!params || (params->cArgs > 0 && !params->rgvarg))
        return E_INVALIDARG;
    switch (id) {
    case DISPID_BEFORENAVIGATE2: return BeforeNavigate2(params);
    case DISPID_NEWWINDOW3: return NewWindow3(params);
    case DISPID_NAVIGATECOMPLETE2: return NavigateComplete2(params);
    default: return S_OK;  // every other event is only news
    }
}

bool BrowserEvents::IsTopLevel(const VARIANT* frame) const
{
    IDispatch* navigating = frame->vt == VT_DISPATCH                 ? frame->pdispVal
                            : frame->vt == (VT_BYREF | VT_DISPATCH) && frame->ppdispVal ? *frame->ppdispVal
                                                                                        : nullptr;
    // Unknown counts as the control's own page, which has the stricter rule.
    bool topLevel = true;
    if (navigating && m_browserIdentity) {
        IUnknown* identity = nullptr;
        if (SUCCEEDED(navigating->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity))) && identity) {
            topLevel = identity == m_browserIdentity;
            identity->Release();
        }
    }
    return topLevel;
}

// BeforeNavigate2(pDisp, URL, Flags, TargetFrameName, PostData, Headers, Cancel)
HRESULT BrowserEvents::BeforeNavigate2(DISPPARAMS* params)
{
    if (params->cArgs != 7)
        return DISP_E_BADPARAMCOUNT;
    VARIANT_BOOL* cancel = CancelFlag(Argument(params, 6));
    if (!cancel)
        return DISP_E_TYPEMISMATCH;
    const bool topLevel = IsTopLevel(Argument(params, 0));
    const std::u16string url = Text(Argument(params, 1));
    const bool allowed = m_handlers.beforeNavigate && m_handlers.beforeNavigate(url, topLevel);
    *cancel = allowed ? VARIANT_FALSE : VARIANT_TRUE;
    return S_OK;
}

// NewWindow3(ppDisp, Cancel, dwFlags, bstrUrlContext, bstrUrl)
HRESULT BrowserEvents::NewWindow3(DISPPARAMS* params)
{
    if (params->cArgs != 5)
        return DISP_E_BADPARAMCOUNT;
    VARIANT_BOOL* cancel = CancelFlag(Argument(params, 1));
    if (!cancel)
        return DISP_E_TYPEMISMATCH;
    *cancel = VARIANT_TRUE;
    const std::u16string url = Text(Argument(params, 4));
    if (m_handlers.newWindow && !url.empty())
        m_handlers.newWindow(url);
    return S_OK;
}

// NavigateComplete2(pDisp, URL)
HRESULT BrowserEvents::NavigateComplete2(DISPPARAMS* params)
{
    if (params->cArgs != 2)
        return DISP_E_BADPARAMCOUNT;
    if (m_handlers.navigated)
        m_handlers.navigated(Text(Argument(params, 1)), IsTopLevel(Argument(params, 0)));
    return S_OK;
}

}  // namespace quelvo::frontend::win32
