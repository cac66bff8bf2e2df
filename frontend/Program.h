#pragma once

// The program's run function. Each front end (frontend/qt, frontend/win32)
// defines RunProgram once; the build links the one it chose, and the
// program's entry in app/ calls it. Nothing here knows the form.

#include "frontend/Controls.h"

#include <functional>
#include <memory>
#include <string_view>

namespace quelvo::frontend {

struct TProgram {
    // Called once the windowing system is up: makes and shows the program's
    // window. What it returns lives until the message loop has ended.
    std::function<std::shared_ptr<void>(TFrontEnd& frontEnd)> Start;
    // Shows an error that escaped an event handler; the loop then goes on.
    std::function<void(TFrontEnd& frontEnd, std::u16string_view message)> ShowError;
};

// Sets up the windowing system and the front end, runs Start, then the
// message loop until the main window closes; frees what Start returned
// before the front end goes. Returns the program's exit code.
int RunProgram(int argc, char* argv[], const TProgram& program);

}  // namespace quelvo::frontend
