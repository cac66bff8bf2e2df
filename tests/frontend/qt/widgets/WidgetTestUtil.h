#pragma once

// Mouse and key events sent straight to a widget, so that positions outside
// it (a grabbed mouse) and exact pixel rows can be tested without a cursor.

#include <QApplication>
#include <QColor>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>

namespace quelvo::widgets::test {

inline bool SendMouse(QWidget* w, QEvent::Type type, Qt::MouseButton button, QPoint at,
                      Qt::MouseButtons held = Qt::NoButton)
{
    const QPointF local(at);
    QMouseEvent e(type, local, w->mapToGlobal(local), button, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
    return e.isAccepted();
}

inline void Press(QWidget* w, QPoint at, Qt::MouseButton button = Qt::LeftButton)
{
    SendMouse(w, QEvent::MouseButtonPress, button, at, button);
}
inline void Move(QWidget* w, QPoint at, Qt::MouseButtons held = Qt::LeftButton)
{
    SendMouse(w, QEvent::MouseMove, Qt::NoButton, at, held);
}
inline void Release(QWidget* w, QPoint at, Qt::MouseButton button = Qt::LeftButton)
{
    SendMouse(w, QEvent::MouseButtonRelease, button, at);
}
inline void Key(QWidget* w, QEvent::Type type, int key, bool autoRepeat = false)
{
    QKeyEvent e(type, key, Qt::NoModifier, QString(), autoRepeat);
    QApplication::sendEvent(w, &e);
}

inline QImage Solid(QSize size, QColor colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

}  // namespace quelvo::widgets::test
