#pragma once

// A stand-in for the desktop's Shell.Application object: it records what it
// is asked to open.

#include <windows.h>

#include <oleauto.h>
#include <shldisp.h>

#include <string>
#include <vector>

namespace quelvo::frontend::win32::test {

class FakeShellDispatch final : public IShellDispatch2 {
public:
    struct Execution {
        std::u16string file;
        VARTYPE argsType, dirType;
        std::u16string verb;
        LONG show;
    };
    std::vector<Execution> executions;
    HRESULT result = S_OK;
    ULONG refs = 1;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override
    {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, IID_IShellDispatch)
            || IsEqualIID(riid, IID_IShellDispatch2)) {
            *out = static_cast<IShellDispatch2*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    // Owned by the test: never deletes itself.
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }

    HRESULT STDMETHODCALLTYPE ShellExecute(BSTR file, VARIANT args, VARIANT dir, VARIANT operation, VARIANT show) override
    {
        executions.push_back({file ? std::u16string(reinterpret_cast<const char16_t*>(file), SysStringLen(file))
                                   : std::u16string(),
                              args.vt, dir.vt,
                              operation.vt == VT_BSTR && operation.bstrVal
                                  ? std::u16string(reinterpret_cast<const char16_t*>(operation.bstrVal))
                                  : std::u16string(),
                              show.vt == VT_I4 ? show.lVal : -1});
        return result;
    }

    // Every other method: not used.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Application(IDispatch**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Parent(IDispatch**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE NameSpace(VARIANT, Folder**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE BrowseForFolder(LONG, BSTR, LONG, VARIANT, Folder**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Windows(IDispatch**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Open(VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Explore(VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE MinimizeAll() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE UndoMinimizeALL() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE FileRun() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CascadeWindows() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE TileVertically() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE TileHorizontally() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ShutdownWindows() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Suspend() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EjectPC() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetTime() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE TrayProperties() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Help() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE FindFiles() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE FindComputer() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RefreshMenu() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ControlPanelItem(BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE IsRestricted(BSTR, BSTR, LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE FindPrinter(BSTR, BSTR, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetSystemInformation(BSTR, VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ServiceStart(BSTR, VARIANT, VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ServiceStop(BSTR, VARIANT, VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE IsServiceRunning(BSTR, VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CanStartStopService(BSTR, VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ShowBrowserBar(BSTR, VARIANT, VARIANT*) override { return E_NOTIMPL; }
};

}  // namespace quelvo::frontend::win32::test
