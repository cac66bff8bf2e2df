#pragma once

// Seams shared by both front ends, so that tests observe and answer what
// would otherwise open a modal box, start another program or move the
// window. An empty handler means the real thing. Set them on the UI thread.

#include "frontend/Controls.h"

#include <functional>
#include <string>

namespace quelvo::frontend {

// Returns the button pressed (1: OK).
using TMessageBoxHandler =
    std::function<int(const std::u16string& caption, const std::u16string& text, TMsgIcon icon)>;
// Each returns the previous handler.
TMessageBoxHandler SetMessageBoxHandler(TMessageBoxHandler handler);
const TMessageBoxHandler& MessageBoxHandler();

using TShellOpener = std::function<void(const std::u16string& object)>;
TShellOpener SetShellOpener(TShellOpener opener);
const TShellOpener& ShellOpener();

using TWindowMoveHandler = std::function<void()>;
TWindowMoveHandler SetWindowMoveHandler(TWindowMoveHandler handler);
const TWindowMoveHandler& WindowMoveHandler();

}  // namespace quelvo::frontend
