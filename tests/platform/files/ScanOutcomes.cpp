#include "ScanOutcomes.h"

#include "scan/Unit_QLV_Thread.h"

#include <gtest/gtest.h>

#include <mutex>

namespace quelvo::test {

namespace {

// The worker's slots are plain function pointers: the receiver is kept here.
std::mutex g_mutex;
const ScanOutcome* g_outcome = nullptr;

int OnNothing() { return 0; }
int OnName(const char16_t*) { return 0; }
int OnInfo(const char16_t* name, const char16_t* path, std::int32_t type)
{
    std::lock_guard lock(g_mutex);
    (*g_outcome)(name, path, type);
    return 0;
}

}  // namespace

void RunScan(const ScanOutcome& outcome)
{
    g_outcome = &outcome;
    scan::QLVO_Thread_Scan::SetExtensionPauseEnabled(false);
    auto* worker = new scan::QLVO_Thread_Scan;
    worker->mpu_dword_cb_QV_Start = OnNothing;
    worker->mpu_dword_cb_QV_GetExeName = OnName;
    worker->mpu_dword_cb_QV_End = OnNothing;
    worker->mpu_dword_cb_QV_ExeInfo = OnInfo;
    auto completion = worker->Completion();
    worker->Start();
    EXPECT_TRUE(completion->WaitFor(60000));
    scan::QLVO_Thread_Scan::SetExtensionPauseEnabled(true);
    g_outcome = nullptr;
}

}  // namespace quelvo::test
