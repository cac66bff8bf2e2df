#pragma once

// Bold that looks bold. Wine's Tahoma Bold (tahomabd.ttf) has the advances of
// a bold face but the strokes of the regular one, so text set in it reads no
// heavier than regular text. Such a face is drawn twice, the second time one
// pixel to the right, as the platform's simulated bold does; its advances
// stay those of the bold face, so measuring is unchanged.

#include <QFont>

class QPainter;
class QRect;
class QString;

namespace quelvo::markup {

// True when font is bold and the face it resolves to is a bold face whose
// strokes are no heavier than its family's regular face. Decided once per
// family and pixel size.
bool NeedsOverstrike(const QFont& font);

// How many times to draw a text in font, each time one pixel right of the
// last: 1, or 2 when it needs the overstrike.
int OverstrikeCount(const QFont& font);

// QPainter::drawText(rect, flags, text) in the painter's font, overstruck
// when that font needs it.
void DrawBoldAwareText(QPainter& painter, const QRect& rect, int flags, const QString& text);

}  // namespace quelvo::markup
