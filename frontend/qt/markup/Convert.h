#pragma once

// Small conversions between the engine's types and Qt's.

#include "markup/engine/Surface.h"

#include <QColor>
#include <QRect>
#include <QString>

#include <string_view>

namespace quelvo::markup {

inline QColor ToQColor(Rgb c) { return QColor(c.r, c.g, c.b); }

inline Rgb ToRgb(const QColor& c) {
    return Rgb{static_cast<std::uint8_t>(c.red()), static_cast<std::uint8_t>(c.green()),
               static_cast<std::uint8_t>(c.blue())};
}

inline QString ToQString(std::u16string_view s) {
    return QString(reinterpret_cast<const QChar*>(s.data()), static_cast<qsizetype>(s.size()));
}

// Setters that do nothing twice: stores value and says whether it changed.
template <typename T>
bool Assign(T& field, const T& value) {
    if (field == value) return false;
    field = value;
    return true;
}

inline Rect ToRect(const QRect& r) { return Rect{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()}; }

}  // namespace quelvo::markup
