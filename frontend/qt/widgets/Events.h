#pragma once

// Event slots of the skinned controls. Every event passes its sender first;
// an empty slot means no handler.

#include <QObject>
#include <Qt>

#include <functional>

namespace quelvo::widgets {

using TNotifyEvent = std::function<void(QObject* Sender)>;

// Button: the mouse button that went down; Shift: the modifier keys held;
// X, Y: the press position in the sender's own coordinates.
using TMouseEvent = std::function<void(QObject* Sender, Qt::MouseButton Button,
                                       Qt::KeyboardModifiers Shift, int X, int Y)>;

}  // namespace quelvo::widgets
