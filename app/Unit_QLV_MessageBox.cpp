#include "app/Unit_QLV_MessageBox.h"

#include "platform/Text.h"

namespace quelvo::app {

int func_ShowMessage(frontend::TFrontEnd& frontEnd, frontend::TMainWindow* owner, std::u16string_view text)
{
    return frontEnd.MessageBox(owner, std::u16string(kApplicationTitle), std::u16string(text),
                               frontend::TMsgIcon::Information);
}

std::u16string ErrorMessageText(std::u16string_view message)
{
    std::u16string text(message);
    if (!text.empty() && text.back() > u'.')
        text += u'.';
    return text;
}

void func_ShowError(frontend::TFrontEnd& frontEnd, frontend::TMainWindow* owner, std::u16string_view message)
{
    frontEnd.MessageBox(owner, std::u16string(kApplicationTitle), ErrorMessageText(message),
                        frontend::TMsgIcon::Error);
}

std::u16string FromExceptionText(const char* what) { return platform::FromUtf8(what ? what : ""); }

}  // namespace quelvo::app
