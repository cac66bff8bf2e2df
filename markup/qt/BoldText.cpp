#include "markup/qt/BoldText.h"

#include <QFontInfo>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRawFont>
#include <QRect>
#include <QString>

#include <map>
#include <tuple>

namespace quelvo::markup {

namespace {

// Stroke weight of a face: the ink of a few stems and bowls, drawn from the
// outlines at a size where hinting does not matter.
double Ink(const QRawFont& face) {
    QImage image(400, 64, QImage::Format_Grayscale8);
    image.fill(255);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        qreal x = 4;
        const QList<quint32> glyphs = face.glyphIndexesForString(QStringLiteral("HIlmno"));
        const QList<QPointF> advances = face.advancesForGlyphIndexes(glyphs);
        for (qsizetype i = 0; i < glyphs.size(); ++i) {
            painter.fillPath(face.pathForGlyph(glyphs[i]).translated(x, 52), Qt::black);
            x += advances[i].x();
        }
    }
    double ink = 0;
    for (int y = 0; y < image.height(); ++y) {
        const uchar* line = image.constScanLine(y);
        for (int x = 0; x < image.width(); ++x) ink += 255 - line[x];
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
