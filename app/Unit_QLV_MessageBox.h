#pragma once

// The window's message boxes and its error rule, over the front end's modal
// box (which tests answer through frontend::SetMessageBoxHandler).

#include "frontend/Controls.h"

#include <exception>
#include <string>
#include <string_view>

namespace quelvo::app {

// The application title: the caption of the system's messages and of errors.
inline constexpr std::u16string_view kApplicationTitle = u"Quelvo";

// The system's own messages: caption "Quelvo", information icon, OK.
int func_ShowMessage(frontend::TFrontEnd& frontEnd, frontend::TMainWindow* owner, std::u16string_view text);

// An error that escaped an event handler: error icon, the application title
// as caption, the error's text as ErrorMessageText gives it.
void func_ShowError(frontend::TFrontEnd& frontEnd, frontend::TMainWindow* owner, std::u16string_view message);

// The message with a full stop appended unless it already ends in "." or a
// character before it in code order ("!", ")", ...). Empty stays empty.
std::u16string ErrorMessageText(std::u16string_view message);

// An exception's message (UTF-8) as UTF-16.
std::u16string FromExceptionText(const char* what);

// Runs an event handler; an error escaping it is shown, and the event ends.
template<typename F>
void func_RunHandler(frontend::TFrontEnd& frontEnd, frontend::TMainWindow* owner, F&& handler)
{
    try {
        handler();
    } catch (const std::exception& e) {
        func_ShowError(frontEnd, owner, FromExceptionText(e.what()));
    }
}

}  // namespace quelvo::app
