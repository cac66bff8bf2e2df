#include "frontend/win32/DesktopShell.h"

#include "frontend/Services.h"
#include "frontend/win32/Win32Control.h"

#include <exdisp.h>
#include <oleauto.h>
#include <servprov.h>
#include <shellapi.h>
#include <shlguid.h>
#include <shlobj.h>

#include <utility>

namespace quelvo::frontend::win32 {

namespace {

template<typename T>
void ReleaseAndClear(T*& p)
{
    if (p) {
        p->Release();
        p = nullptr;
    }
}

TDesktopShellFinder& Finder()
{
    static TDesktopShellFinder finder;
    return finder;
}

// COM for this call, unless the thread has it already.
class ComScope {
public:
    ComScope() : m_result(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComScope()
    {
        if (SUCCEEDED(m_result))
            CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    HRESULT m_result;
};

}  // namespace

bool RunsElevated()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return true;  // unknown: assume the worst
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    const BOOL read = GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size);
    CloseHandle(token);
    return !read || elevation.TokenIsElevated != 0;
}

IShellDispatch2* FindDesktopShell()
{
    IShellWindows* windows = nullptr;
    IDispatch* desktop = nullptr;
    IServiceProvider* provider = nullptr;
    IShellBrowser* browser = nullptr;
    IShellView* view = nullptr;
    IDispatch* background = nullptr;
    IShellFolderViewDual* folderView = nullptr;
    IDispatch* application = nullptr;
    IShellDispatch2* shell = nullptr;

    VARIANT location;
    VariantInit(&location);
    location.vt = VT_I4;
    location.lVal = CSIDL_DESKTOP;
    VARIANT root;
    VariantInit(&root);
    long window = 0;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                                   reinterpret_cast<void**>(&windows)))
        && windows
        && windows->FindWindowSW(&location, &root, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH, &desktop) == S_OK
        && desktop
        && SUCCEEDED(desktop->QueryInterface(IID_IServiceProvider, reinterpret_cast<void**>(&provider)))
        && SUCCEEDED(provider->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, reinterpret_cast<void**>(&browser)))
        && SUCCEEDED(browser->QueryActiveShellView(&view)) && view
        && SUCCEEDED(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, reinterpret_cast<void**>(&background)))
        && background
        && SUCCEEDED(background->QueryInterface(IID_IShellFolderViewDual, reinterpret_cast<void**>(&folderView)))
        && SUCCEEDED(folderView->get_Application(&application)) && application) {
        if (FAILED(application->QueryInterface(IID_IShellDispatch2, reinterpret_cast<void**>(&shell))))
            shell = nullptr;
    }
    ReleaseAndClear(application);
    ReleaseAndClear(folderView);
    ReleaseAndClear(background);
    ReleaseAndClear(view);
    ReleaseAndClear(browser);
    ReleaseAndClear(provider);
    ReleaseAndClear(desktop);
    ReleaseAndClear(windows);
    return shell;
}

TDesktopShellFinder SetDesktopShellFinder(TDesktopShellFinder finder)
{
    TDesktopShellFinder previous = std::move(Finder());
    Finder() = std::move(finder);
    return previous;
}

bool OpenThroughDesktopShell(const std::u16string& object)
{
    ComScope com;
    IShellDispatch2* shell = Finder() ? Finder()() : FindDesktopShell();
    if (!shell)
        return false;
    BSTR file = SysAllocStringLen(W(object), static_cast<UINT>(object.size()));
    VARIANT none;
    VariantInit(&none);
    VARIANT verb;
    VariantInit(&verb);
    verb.vt = VT_BSTR;
    verb.bstrVal = SysAllocString(L"open");
    VARIANT show;
    VariantInit(&show);
    show.vt = VT_I4;
    show.lVal = SW_SHOWNORMAL;
    const HRESULT hr = file && verb.bstrVal ? shell->ShellExecute(file, none, none, verb, show) : E_OUTOFMEMORY;
    VariantClear(&verb);
    SysFreeString(file);
    shell->Release();
    return SUCCEEDED(hr);
}

std::u16string CouldNotOpenMessage(const std::u16string& object)
{
    return u"Quelvo runs with administrator rights, so it opens nothing itself, and the desktop could not be "
           u"asked to open this. You can open it yourself:\n\n"
           + object;
}

void OpenOnDesktop(HWND owner, const std::u16string& object)
{
    if (OpenThroughDesktopShell(object))
        return;
    if (!RunsElevated()) {
        // The user's own rights: nothing to keep the program from.
        if (reinterpret_cast<INT_PTR>(ShellExecuteW(owner, L"open", W(object), nullptr, nullptr, SW_SHOWNORMAL)) > 32)
            return;
    }
    const std::u16string text = CouldNotOpenMessage(object);
    if (const TMessageBoxHandler& handler = MessageBoxHandler()) {
        handler(u"Quelvo", text, TMsgIcon::Information);
        return;
    }
    MessageBoxW(owner, W(text), L"Quelvo", MB_OK | MB_ICONINFORMATION);
}

}  // namespace quelvo::frontend::win32
