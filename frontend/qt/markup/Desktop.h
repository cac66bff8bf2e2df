#pragma once

// Opening link targets with the desktop's default handler, behind a
// replaceable function so that tests never launch a browser.

#include <QString>

#include <functional>

namespace quelvo::markup {

using DesktopOpener = std::function<void(const QString& target)>;

// Opens target with the current opener (QDesktopServices by default) when it
// is an openable address (frontend/LinkTargets.h); anything else is refused,
// since row targets carry registry key names that anyone can write.
void OpenWithDesktop(const QString& target);
// Replaces the opener; an empty function restores the default. Returns the previous one.
DesktopOpener SetDesktopOpener(DesktopOpener opener);

}  // namespace quelvo::markup
