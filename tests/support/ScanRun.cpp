#include "tests/support/ScanRun.h"

#include "scan/Unit_QLV_Thread.h"

#include <mutex>

namespace quelvo::test {

namespace {

// The worker's slots are plain function pointers: the receivers are kept here.
std::mutex g_mutex;
const ScanOutcome* g_outcome = nullptr;
const ScanName* g_name = nullptr;

int OnNothing() { return 0; }
int OnName(const char16_t* name)
{
    std::lock_guard lock(g_mutex);
    if (g_name && *g_name)
        (*g_name)(name);
    return 0;
}
int OnInfo(const char16_t* name, const char16_t* path, std::int32_t type)
{
    std::lock_guard lock(g_mutex);
    if (g_outcome && *g_outcome)
        (*g_outcome)(name, path, type);
    return 0;
}

}  // namespace

bool RunScan(const ScanOutcome& outcome, const ScanName& name, unsigned timeoutMs)
{
    g_outcome = &outcome;
    g_name = &name;
    scan::QLVO_Thread_Scan::SetExtensionPauseEnabled(false);
    auto* worker = new scan::QLVO_Thread_Scan;
    worker->mpu_dword_cb_QV_Start = OnNothing;
    worker->mpu_dword_cb_QV_GetExeName = OnName;
    worker->mpu_dword_cb_QV_End = OnNothing;
    worker->mpu_dword_cb_QV_ExeInfo = OnInfo;
    auto completion = worker->Completion();
    worker->Start();
    const bool ended = completion->WaitFor(timeoutMs);
    scan::QLVO_Thread_Scan::SetExtensionPauseEnabled(true);
    std::lock_guard lock(g_mutex);
    g_outcome = nullptr;
    g_name = nullptr;
    return ended;
}

}  // namespace quelvo::test
