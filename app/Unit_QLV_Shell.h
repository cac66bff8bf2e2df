#pragma once

// The shell's "open" verb: a file or an address opened with the handler the
// desktop registered for it (the help viewer for Help.chm, the browser for a
// web address). Fire and forget: the result is not looked at. Behind a
// replaceable function so that tests never start another program.

#include <QString>

#include <functional>

class QWidget;

namespace quelvo::app {

using TShellOpener = std::function<void(QWidget* owner, const QString& object)>;

// Replaces the opener; an empty one restores the desktop. Returns the previous one.
TShellOpener SetShellOpener(TShellOpener opener);

// A path (absolute, or relative to the working folder) opens as that file;
// anything else is taken as an address the way a user would type it.
void func_ShellOpen(QWidget* owner, const QString& object);

}  // namespace quelvo::app
