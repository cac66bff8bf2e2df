#include "BenchLoop.h"

#include "frontend/win32/Win32FrontEnd.h"

#include <windows.h>
#include <psapi.h>

#include <memory>

namespace quelvo::bench {

namespace {
std::unique_ptr<frontend::win32::Win32FrontEnd> g_frontEnd;
}  // namespace

void StartFrontEnd(int&, char**) { g_frontEnd = std::make_unique<frontend::win32::Win32FrontEnd>(); }

void StopFrontEnd() { g_frontEnd.reset(); }

frontend::TFrontEnd& FrontEnd() { return *g_frontEnd; }

void SleepInLoopUntil(const std::function<bool()>& done)
{
    while (!done()) {
        // Woken by any message (the hand-overs are posted ones), and now and
        // then to look again.
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

double ResidentMiB()
{
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters))
        return 0;
    return static_cast<double>(counters.WorkingSetSize) / (1024.0 * 1024.0);
}

}  // namespace quelvo::bench
