#pragma once

// Event slots of the skinned controls. Every event passes its sender first;
// an empty slot means no handler. Also the conversions between Qt's mouse
// buttons and modifier keys and the window's own (frontend/Controls.h).

#include "frontend/Controls.h"

#include <QObject>
#include <Qt>

#include <cstdint>
#include <functional>

namespace quelvo::widgets {

using TNotifyEvent = std::function<void(QObject* Sender)>;

// Button: the mouse button that went down; Shift: the modifier keys held;
// X, Y: the press position in the sender's own coordinates.
using TMouseEvent = std::function<void(QObject* Sender, Qt::MouseButton Button,
                                       Qt::KeyboardModifiers Shift, int X, int Y)>;

inline frontend::TMouseButton FromQtButton(Qt::MouseButton button)
{
    switch (button) {
    case Qt::RightButton:
        return frontend::TMouseButton::mbRight;
    case Qt::MiddleButton:
        return frontend::TMouseButton::mbMiddle;
    default:
        return frontend::TMouseButton::mbLeft;
    }
}

inline Qt::MouseButton ToQtButton(frontend::TMouseButton button)
{
    switch (button) {
    case frontend::TMouseButton::mbRight:
        return Qt::RightButton;
    case frontend::TMouseButton::mbMiddle:
        return Qt::MiddleButton;
    default:
        return Qt::LeftButton;
    }
}

inline std::uint32_t FromQtShift(Qt::KeyboardModifiers modifiers)
{
    std::uint32_t shift = frontend::ssNone;
    if (modifiers & Qt::ShiftModifier)
        shift |= frontend::ssShift;
    if (modifiers & Qt::ControlModifier)
        shift |= frontend::ssCtrl;
    if (modifiers & Qt::AltModifier)
        shift |= frontend::ssAlt;
    return shift;
}

inline Qt::KeyboardModifiers ToQtShift(std::uint32_t shift)
{
    Qt::KeyboardModifiers modifiers;
    if (shift & frontend::ssShift)
        modifiers |= Qt::ShiftModifier;
    if (shift & frontend::ssCtrl)
        modifiers |= Qt::ControlModifier;
    if (shift & frontend::ssAlt)
        modifiers |= Qt::AltModifier;
    return modifiers;
}

}  // namespace quelvo::widgets
