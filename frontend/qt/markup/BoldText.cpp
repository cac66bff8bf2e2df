#include "frontend/qt/markup/BoldText.h"

#include <QFontInfo>
#include <QImage>
#include <QPainter>
#include <QRawFont>
#include <QRect>
#include <QString>

#include <map>
#include <tuple>

namespace quelvo::markup {

namespace {

// Stroke weight of a face: the ink of a few stems and bowls, rasterised at a
// size where hinting does not matter (glyph by glyph, without a painter).
double Ink(const QRawFont& face) {
    double ink = 0;
    for (quint32 glyph : face.glyphIndexesForString(QStringLiteral("HIlmno"))) {
        const QImage alpha =
            face.alphaMapForGlyph(glyph, QRawFont::PixelAntialiasing).convertToFormat(QImage::Format_Alpha8);
        for (int y = 0; y < alpha.height(); ++y) {
            const uchar* line = alpha.constScanLine(y);
            for (int x = 0; x < alpha.width(); ++x) ink += line[x];
        }
    }
    return ink;
}

bool DecideOverstrike(const QFont& font) {
    QFont bold = font;
    bold.setPixelSize(48);
    bold.setUnderline(false);
    const QRawFont boldFace = QRawFont::fromFont(bold);
    // A regular face asked for bold is emboldened by the font engine itself.
    if (!boldFace.isValid() || boldFace.weight() < QFont::DemiBold) return false;
    QFont regular = bold;
    regular.setBold(false);
    const QRawFont regularFace = QRawFont::fromFont(regular);
    if (!regularFace.isValid() || regularFace.familyName() != boldFace.familyName()) return false;
    // A true bold face carries well over a tenth more ink than its regular one.
    return Ink(boldFace) < 1.1 * Ink(regularFace);
}

}  // namespace

bool NeedsOverstrike(const QFont& font) {
    if (!font.bold()) return false;
    // Used on the UI thread only, like the fonts themselves.
    static std::map<std::tuple<QString, QString, int>, bool> decided;
    const QFontInfo info(font);
    const auto key = std::make_tuple(info.family().toLower(), info.styleName(), info.pixelSize());
    auto it = decided.find(key);
    if (it == decided.end()) it = decided.emplace(key, DecideOverstrike(font)).first;
    return it->second;
}

int OverstrikeCount(const QFont& font) { return NeedsOverstrike(font) ? 2 : 1; }

void DrawBoldAwareText(QPainter& painter, const QRect& rect, int flags, const QString& text) {
    const int times = OverstrikeCount(painter.font());
    for (int dx = 0; dx < times; ++dx) painter.drawText(rect.translated(dx, 0), flags, text);
}

}  // namespace quelvo::markup
