#pragma once

// The worker's bridge functions: one per callback slot of QLVO_Thread_Scan.
// Each copies its texts into owned strings, forwards them to the registered
// receiver (the main window) on the calling thread, and returns 0. With no
// receiver registered they do nothing.

#include <cstdint>
#include <string>

namespace quelvo::scan {

// What the window offers the worker. The hand-overs to the UI thread (and
// the pro_cbsyn_ halves they run) are the receiver's business.
class ScanReceiver {
public:
    virtual ~ScanReceiver() = default;
    virtual void pro_cb_QV_Start() = 0;
    virtual void pro_cb_QV_Scan_ExeName(const std::u16string& str_param_ExeName) = 0;
    virtual void pro_cb_QV_Scan_ExeInfo(const std::u16string& str_param_ExeName,
                                        const std::u16string& str_param_ShellPath, int int_param_ErrorType) = 0;
    virtual void pro_cb_QV_End() = 0;
    // What the examination of one extension read (the worker's optional
    // detail slot); the window does not ask for it.
    virtual void pro_cb_QV_Scan_Detail(const std::u16string& /*str_param_ExeName*/,
                                       const std::u16string& /*str_param_ProgId*/,
                                       const std::u16string& /*str_param_Command*/,
                                       const std::u16string& /*str_param_ShellPath*/, int /*int_param_Finding*/)
    {
    }
};

// Registers the receiver of every bridge (null: none). Set it before a scan
// starts and clear it only when no scan runs.
void func_SetScanReceiver(ScanReceiver* receiver);
ScanReceiver* func_ScanReceiver();

int cbgui_QV_Start();
int cbgui_QV_GetExeName(const char16_t* str_param_ExeName);
int cbgui_QV_ExeInfo(const char16_t* str_param_ExeName, const char16_t* str_param_ShellPath,
                     std::int32_t int_param_ErrorType);
int cbgui_QV_End();
int cbgui_QV_Detail(const char16_t* str_param_ExeName, const char16_t* str_param_ProgId,
                    const char16_t* str_param_Command, const char16_t* str_param_ShellPath,
                    std::int32_t int_param_Finding);

}  // namespace quelvo::scan
