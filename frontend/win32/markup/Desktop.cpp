#include "frontend/win32/markup/Desktop.h"

#include "frontend/LinkTargets.h"
#include "frontend/Services.h"
#include "frontend/win32/Win32Control.h"

#include <shellapi.h>

namespace quelvo::frontend::win32 {

void OpenWithDesktop(const std::u16string& target, HWND owner)
{
    if (!IsOpenableAddress(target))
        return;
    if (const TShellOpener& opener = ShellOpener()) {
        opener(target);
        return;
    }
    ShellExecuteW(owner, L"open", W(target), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace quelvo::frontend::win32
