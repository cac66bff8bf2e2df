#pragma once

// The window's message boxes, behind a replaceable handler so that tests can
// observe and answer them instead of a modal box appearing.

#include <QString>

#include <exception>
#include <functional>

class QWidget;

namespace quelvo::app {

enum class TMsgIcon { Information, Error };

// Returns the button pressed (1: OK).
using TMessageBoxHandler =
    std::function<int(QWidget* owner, const QString& caption, const QString& text, TMsgIcon icon)>;

// Replaces the handler; an empty one restores the modal box. Returns the previous one.
TMessageBoxHandler SetMessageBoxHandler(TMessageBoxHandler handler);

// The system's own messages: caption "Quelvo", information icon, OK.
int func_ShowMessage(QWidget* owner, const QString& text);

// An error that escaped an event handler: error icon, the application title
// as caption, the error's text as ErrorMessageText gives it.
void func_ShowError(QWidget* owner, const QString& message);

// The message with a full stop appended unless it already ends in "." or a
// character before it in code order ("!", ")", ...). Empty stays empty.
QString ErrorMessageText(const QString& message);

// Runs an event handler; an error escaping it is shown, and the event ends.
template<typename F>
void func_RunHandler(QWidget* owner, F&& handler)
{
    try {
        handler();
    } catch (const std::exception& e) {
        func_ShowError(owner, QString::fromUtf8(e.what()));
    }
}

}  // namespace quelvo::app
