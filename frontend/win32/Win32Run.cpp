// The run function of the Win32 front end: the timer resolution, the front
// end, the program's window and the message loop.

#include "frontend/Program.h"
#include "frontend/win32/Win32FrontEnd.h"

#include "platform/Text.h"

#include <windows.h>
#include <timeapi.h>

#include <exception>
#include <memory>

namespace quelvo::frontend {

namespace {

// 1 ms timer resolution for the life of the process, so that the worker's
// 10 ms pause per extension lasts close to 10 ms.
struct TimerResolution {
    TimerResolution() { timeBeginPeriod(1); }
    ~TimerResolution() { timeEndPeriod(1); }
    TimerResolution(const TimerResolution&) = delete;
    TimerResolution& operator=(const TimerResolution&) = delete;
};

}  // namespace

int RunProgram(int, char*[], const TProgram& program)
{
    const TimerResolution timerResolution;
    win32::Win32FrontEnd frontEnd;
    int result = 0;
    try {
        std::shared_ptr<void> running = program.Start(frontEnd);
        result = win32::RunMessageLoop();
    } catch (const std::exception& e) {
        // The form runs every handler through its own error rule; what gets
        // here ends the program, with the message box as the last word.
        if (program.ShowError)
            program.ShowError(frontEnd, platform::FromUtf8(e.what()));
        result = 1;
    }
    return result;
}

}  // namespace quelvo::frontend
