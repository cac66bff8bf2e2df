#pragma once

// How the program hands a web or mail address, or a local file, to the
// desktop: with the desktop's default handler, and never with root's
// rights. As root on behalf of a desktop user (sudo, pkexec) it is opened as
// that user in their session; as plain root an address is shown instead, so
// that it can be copied into a browser.

#include <string>

namespace quelvo::frontend::qt {

struct TDesktopOpenResult {
    // Empty when handed to the desktop; else what to tell the user.
    std::u16string message;
};

TDesktopOpenResult OpenOnDesktop(const std::u16string& object);

// The messages, also for tests.
std::u16string RootCannotOpenMessage(const std::u16string& address);
std::u16string CouldNotOpenMessage(const std::u16string& object, const std::u16string& reason);

}  // namespace quelvo::frontend::qt
