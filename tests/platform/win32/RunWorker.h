#pragma once

// Runs one scan of the active target on the worker's own thread, with the
// given callbacks in its four slots, and waits for its end.

#include "scan/Unit_QLV_Thread.h"

#include <cstdint>

namespace quelvo::test {

// False when the scan did not end within the time.
inline bool RunWorker(scan::QLVO_Thread_Scan::cb_QV_Start start, scan::QLVO_Thread_Scan::cb_QV_GetExeName name,
                      scan::QLVO_Thread_Scan::cb_QV_ExeInfo outcome, scan::QLVO_Thread_Scan::cb_QV_End end,
                      std::uint32_t milliseconds)
{
    auto* worker = new scan::QLVO_Thread_Scan;  // frees itself
    worker->mpu_dword_cb_QV_GetExeName = name;
    worker->mpu_dword_cb_QV_Start = start;
    worker->mpu_dword_cb_QV_End = end;
    worker->mpu_dword_cb_QV_ExeInfo = outcome;
    const auto completion = worker->Completion();
    worker->Start();
    return completion->WaitFor(milliseconds);
}

}  // namespace quelvo::test
