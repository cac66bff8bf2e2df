#include "frontend/win32/markup/Desktop.h"

#include "frontend/Services.h"
#include "frontend/win32/DesktopShell.h"

namespace quelvo::frontend::win32 {

void OpenWithDesktop(const std::u16string& target)
{
    if (!IsOpenableAddress(target))
        return;
    if (const TShellOpener& opener = ShellOpener()) {
        opener(target);
        return;
    }
    OpenOnDesktop(nullptr, target);
}

}  // namespace quelvo::frontend::win32
