#include "frontend/Services.h"

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

}  // namespace

TMessageBoxHandler SetMessageBoxHandler(TMessageBoxHandler handler) { return Replace(std::move(handler)); }
const TMessageBoxHandler& MessageBoxHandler() { return Slot<TMessageBoxHandler>(); }

TShellOpener SetShellOpener(TShellOpener opener) { return Replace(std::move(opener)); }
const TShellOpener& ShellOpener() { return Slot<TShellOpener>(); }

TWindowMoveHandler SetWindowMoveHandler(TWindowMoveHandler handler) { return Replace(std::move(handler)); }
const TWindowMoveHandler& WindowMoveHandler() { return Slot<TWindowMoveHandler>(); }

}  // namespace quelvo::frontend
