#pragma once

// Opening link targets with the desktop's default handler, behind a
// replaceable function so that tests never launch a browser.

#include <QString>

#include <functional>

namespace quelvo::markup {

using DesktopOpener = std::function<void(const QString& target)>;

// Opens target with the current opener (QDesktopServices by default) when it
// is a whole web or mail address (http, https, ftp, mailto); anything else is
// refused, since row targets carry registry key names that anyone can write.
void OpenWithDesktop(const QString& target);
bool IsOpenableAddress(const QString& target);
// Replaces the opener; an empty function restores the default. Returns the previous one.
DesktopOpener SetDesktopOpener(DesktopOpener opener);

// Targets that go to the desktop instead of (list box) or after (label) the click event.
bool IsDesktopTarget(const QString& target);

}  // namespace quelvo::markup
