#pragma once

// The named colours of the window definition, as RGB values.

#include <QColor>

namespace quelvo::widgets {

inline QColor clOlive() { return QColor(128, 128, 0); }
inline QColor clSkyBlue() { return QColor(166, 202, 240); }
inline QColor clWhite() { return QColor(255, 255, 255); }
inline QColor clBlack() { return QColor(0, 0, 0); }
inline QColor clWindowText() { return QColor(0, 0, 0); }
// The classic 3-D shadow grey of framed controls.
inline QColor clBtnShadow() { return QColor(160, 160, 160); }
inline QColor clGrayText() { return QColor(109, 109, 109); }

}  // namespace quelvo::widgets
