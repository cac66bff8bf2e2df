#pragma once

// The scan worker: walks every extension key under
// HKEY_LOCAL_MACHINE\SOFTWARE\Classes on a thread of its own and reports
// through four callback slots, which must all be set before Start.
//
// Calls of one run: start; then, per examined extension in enumeration
// order, the name call and at most one outcome call for it:
//   error type 1: (extension, executable path, 1), the chain extension ->
//                 file type -> Shell\Open\Command -> command -> path is whole;
//   error type 2: (extension, empty, 2), the extension names no file type or
//                 a missing one, and has no sub-keys;
// then the end call. Text arguments are valid only during the call.

#include "platform/Thread.h"

#include <cstdint>

namespace quelvo::scan {

class QLVO_Thread_Scan : public quelvo::platform::Thread {
public:
    using cb_QV_GetExeName = int (*)(const char16_t* str_param_ExeName);
    using cb_QV_Start = int (*)();
    using cb_QV_End = int (*)();
    using cb_QV_ExeInfo = int (*)(const char16_t* str_param_ExeName, const char16_t* str_param_ShellPath,
                                  std::int32_t int_param_ErrorType);

    // Suspended, and freed by itself when its run ends.
    QLVO_Thread_Scan();

    cb_QV_GetExeName mpu_dword_cb_QV_GetExeName = nullptr;
    cb_QV_Start mpu_dword_cb_QV_Start = nullptr;
    cb_QV_End mpu_dword_cb_QV_End = nullptr;
    cb_QV_ExeInfo mpu_dword_cb_QV_ExeInfo = nullptr;

    // The pause made before each examined extension, 10 ms. Only the
    // benchmark turns it off, to measure the scan's own work.
    static void SetExtensionPauseEnabled(bool enabled);

protected:
    // Stops early when Terminated() is set between two extensions; the end
    // call is made in every case.
    void Execute() override;
};

}  // namespace quelvo::scan
