// The least any Win32 window costs a scan on this machine: a bare static
// label, renamed on each of the worker's steps through SendMessage, with the
// pending messages processed before the worker goes on, as the scanning
// page does. window-figures.sh sets it beside the window's share, since
// under Wine, and on a machine whose idle processors are slow to wake, that
// floor alone can exceed the budget.
//   window_floor [extensions]

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

constexpr UINT kRename = WM_APP;
constexpr UINT kDone = WM_APP + 1;
HWND g_label = nullptr;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kRename) {
        wchar_t text[16];
        std::swprintf(text, 16, L".e%d", static_cast<int>(wParam));
        SetWindowTextW(g_label, text);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        return 0;
    }
    if (message == kDone) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// Seconds for `steps` pauses of 10 ms, each followed by a hand-over when
// `handOver` holds.
double Run(HWND window, bool handOver, int steps)
{
    const auto started = Clock::now();
    std::thread worker([=] {
        for (int i = 0; i < steps; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (handOver)
                SendMessageW(window, kRename, WPARAM(i), 0);
        }
        PostMessageW(window, kDone, 0, 0);
    });
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    worker.join();
    return std::chrono::duration<double>(Clock::now() - started).count();
}

}  // namespace

int main(int argc, char** argv)
{
    const int steps = argc > 1 ? std::max(10, std::atoi(argv[1])) : 500;
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"QuelvoWindowFloor";
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    RegisterClassW(&windowClass);
    HWND window = CreateWindowW(windowClass.lpszClassName, L"floor", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400,
                                200, nullptr, nullptr, windowClass.hInstance, nullptr);
    g_label = CreateWindowW(L"STATIC", L".ext", WS_CHILD | WS_VISIBLE, 10, 10, 300, 30, window, nullptr,
                            windowClass.hInstance, nullptr);
    UpdateWindow(window);
    const double alone = Run(window, false, steps);
    const double windowed = Run(window, true, steps);
    std::printf("bare_window_share_ms_per_extension %.3f\n", (windowed - alone) * 1000 / steps);
    return 0;
}
