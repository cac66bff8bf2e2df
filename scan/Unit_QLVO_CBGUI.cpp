#include "scan/Unit_QLVO_CBGUI.h"

#include <atomic>

namespace quelvo::scan {

namespace {

std::atomic<ScanReceiver*> g_receiver{nullptr};

std::u16string Owned(const char16_t* text)
{
    return text ? std::u16string(text) : std::u16string();
}

}  // namespace

void func_SetScanReceiver(ScanReceiver* receiver)
{
    g_receiver.store(receiver, std::memory_order_release);
}

ScanReceiver* func_ScanReceiver()
{
    return g_receiver.load(std::memory_order_acquire);
}

int cbgui_QV_Start()
{
    if (ScanReceiver* receiver = func_ScanReceiver())
        receiver->pro_cb_QV_Start();
    return 0;
}

int cbgui_QV_GetExeName(const char16_t* str_param_ExeName)
{
    if (ScanReceiver* receiver = func_ScanReceiver())
        receiver->pro_cb_QV_Scan_ExeName(Owned(str_param_ExeName));
    return 0;
}

int cbgui_QV_ExeInfo(const char16_t* str_param_ExeName, const char16_t* str_param_ShellPath,
                     std::int32_t int_param_ErrorType)
{
    if (ScanReceiver* receiver = func_ScanReceiver())
        receiver->pro_cb_QV_Scan_ExeInfo(Owned(str_param_ExeName), Owned(str_param_ShellPath), int_param_ErrorType);
    return 0;
}

int cbgui_QV_End()
{
    if (ScanReceiver* receiver = func_ScanReceiver())
        receiver->pro_cb_QV_End();
    return 0;
}

int cbgui_QV_Detail(const char16_t* str_param_ExeName, const char16_t* str_param_ProgId,
                    const char16_t* str_param_Command, const char16_t* str_param_ShellPath,
                    std::int32_t int_param_Finding)
{
    if (ScanReceiver* receiver = func_ScanReceiver())
        receiver->pro_cb_QV_Scan_Detail(Owned(str_param_ExeName), Owned(str_param_ProgId), Owned(str_param_Command),
                                        Owned(str_param_ShellPath), int_param_Finding);
    return 0;
}

}  // namespace quelvo::scan
