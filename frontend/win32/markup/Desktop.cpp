#include "frontend/win32/markup/Desktop.h"

#include "frontend/LinkTargets.h"
#include "frontend/Services.h"
#include "frontend/win32/DesktopShell.h"

namespace quelvo::frontend::win32 {

void OpenWithDesktop(const std::u16string& target, HWND owner)
{
    if (!IsOpenableAddress(target))
        return;
    if (const TShellOpener& opener = ShellOpener()) {
        opener(target);
        return;
    }
    OpenOnDesktop(owner, target);
}

}  // namespace quelvo::frontend::win32
