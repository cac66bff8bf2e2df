#pragma once

// What the window benchmark needs of the front end it is built with.

#include "frontend/Controls.h"

#include <functional>

namespace quelvo::bench {

void StartFrontEnd(int& argc, char** argv);
void StopFrontEnd();
frontend::TFrontEnd& FrontEnd();
// Sleeps in the event loop, woken by events, until done() holds.
void SleepInLoopUntil(const std::function<bool()>& done);
// The process's resident memory now.
double ResidentMiB();

}  // namespace quelvo::bench
