// The Windows program: one window over the Win32 front end, run until it
// closes. The machine itself is the target.

#include "app/Unit_Form_QLV_GUI.h"
#include "app/Unit_QLV_MessageBox.h"
#include "frontend/win32/Win32FrontEnd.h"

#include <windows.h>
#include <timeapi.h>

#include <exception>
#include <memory>

namespace {

// 1 ms timer resolution for the life of the process, so that the worker's
// 10 ms pause per extension lasts close to 10 ms.
struct TimerResolution {
    TimerResolution() { timeBeginPeriod(1); }
    ~TimerResolution() { timeEndPeriod(1); }
    TimerResolution(const TimerResolution&) = delete;
    TimerResolution& operator=(const TimerResolution&) = delete;
};
const TimerResolution timerResolution;

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    quelvo::frontend::win32::Win32FrontEnd frontEnd;
    int result = 0;
    try {
        auto window = std::make_unique<quelvo::app::TForm_QLVO_GUI>(frontEnd);
        window->Show();
        result = quelvo::frontend::win32::RunMessageLoop();
    } catch (const std::exception& e) {
        // Nothing is left to show it in but the message box itself.
        quelvo::app::func_ShowError(frontEnd, nullptr, quelvo::app::FromExceptionText(e.what()));
        result = 1;
    }
    return result;
}
