#include "frontend/Services.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace quelvo::frontend {

namespace {

template<typename Handler>
Handler& Slot()
{
    static Handler handler;
    return handler;
}

template<typename Handler>
Handler Replace(Handler handler)
{
    Handler previous = std::move(Slot<Handler>());
    Slot<Handler>() = std::move(handler);
    return previous;
}

bool StartsWithNoCase(std::u16string_view text, std::u16string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char16_t c = text[i];
        if (c >= u'A' && c <= u'Z')
            c = static_cast<char16_t>(c - u'A' + u'a');
        if (c != prefix[i])
            return false;
    }
    return true;
}

}  // namespace

TMessageBoxHandler SetMessageBoxHandler(TMessageBoxHandler handler) { return Replace(std::move(handler)); }
const TMessageBoxHandler& MessageBoxHandler() { return Slot<TMessageBoxHandler>(); }

TShellOpener SetShellOpener(TShellOpener opener) { return Replace(std::move(opener)); }
const TShellOpener& ShellOpener() { return Slot<TShellOpener>(); }

TWindowMoveHandler SetWindowMoveHandler(TWindowMoveHandler handler) { return Replace(std::move(handler)); }
const TWindowMoveHandler& WindowMoveHandler() { return Slot<TWindowMoveHandler>(); }

bool IsDesktopTarget(std::u16string_view target)
{
    return target.find(u"://") != std::u16string_view::npos || target.find(u"mailto:") != std::u16string_view::npos;
}

bool IsOpenableAddress(std::u16string_view target)
{
    for (std::u16string_view scheme : {u"http://", u"https://", u"ftp://"})
        if (StartsWithNoCase(target, scheme))
            return target.size() > scheme.size();
    return StartsWithNoCase(target, u"mailto:") && target.size() > 7;
}

}  // namespace quelvo::frontend
