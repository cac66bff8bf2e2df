#pragma once

// Handing an address or a file to the desktop from an elevated process.
// ShellExecute from here would start the browser (and whatever it then
// runs) with administrator rights; the desktop's own shell, asked through
// its window, starts it with the user's. When that shell cannot be reached
// the address is shown instead, so that it can be copied.

#include <windows.h>

#include <shldisp.h>

#include <functional>
#include <string>

namespace quelvo::frontend::win32 {

// The Shell.Application object of the running desktop: the shell window
// (IShellWindows::FindWindowSW, SWC_DESKTOP), its top-level browser, the
// active view's background and its Application. A new reference, or null.
// Needs COM on the calling thread.
IShellDispatch2* FindDesktopShell();

// Replaces FindDesktopShell for tests (an empty function restores it);
// returns the previous finder.
using TDesktopShellFinder = std::function<IShellDispatch2*()>;
TDesktopShellFinder SetDesktopShellFinder(TDesktopShellFinder finder);

// Asks the desktop's shell to open object with its "open" verb, shown
// normally. False when the shell cannot be reached or refuses.
bool OpenThroughDesktopShell(const std::u16string& object);

// What the desktop is handed: through its shell; where that fails, with
// ShellExecute only when this process has no more rights than the user,
// else a message box over owner (through the message box seam) with the
// address to copy.
void OpenOnDesktop(HWND owner, const std::u16string& object);

std::u16string CouldNotOpenMessage(const std::u16string& object);

// True when this process has more rights than its user (or that cannot be
// told).
bool RunsElevated();

}  // namespace quelvo::frontend::win32
