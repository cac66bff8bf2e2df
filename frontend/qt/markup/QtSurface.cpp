#include "frontend/qt/markup/QtSurface.h"

#include "frontend/qt/markup/BoldText.h"
#include "frontend/qt/markup/Convert.h"
#include "frontend/qt/markup/PictureContainer.h"
#include "platform/Text.h"

#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPaintDevice>
#include <QPainter>
#include <QStaticText>

#include <array>
#include <cmath>
#include <map>
#include <tuple>
#include <unordered_map>
#include <utility>

namespace quelvo::markup {

namespace {

// One piece of a single line: plain text, an underlined (mnemonic) character
// or a tab.
struct Piece {
    enum Kind { Text, Mnemonic, Tab } kind;
    QString text;
};

// Splits a line into pieces: "&x" underlines x, "&&" is "&", a lone trailing
// "&" vanishes; tabs stand alone.
std::vector<Piece> SplitLine(std::u16string_view line, bool mnemonics) {
    std::vector<Piece> pieces;
    QString run;
    auto flush = [&] {
        if (!run.isEmpty()) pieces.push_back({Piece::Text, run});
        run.clear();
    };
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char16_t c = line[i];
        if (c == u'\t') {
            flush();
            pieces.push_back({Piece::Tab, {}});
        } else if (c == u'&' && mnemonics) {
            if (i + 1 >= line.size()) break;
            const char16_t next = line[++i];
            if (next == u'&') {
                run += QChar(u'&');
            } else if (next == u'\t') {
                flush();
                pieces.push_back({Piece::Tab, {}});
            } else {
                flush();
                pieces.push_back({Piece::Mnemonic, QString(QChar(next))});
            }
        } else {
            run += QChar(c);
        }
    }
    flush();
    return pieces;
}

bool NeedsSplitting(std::u16string_view line, bool mnemonics) {
    for (char16_t c : line)
        if (c == u'\t' || (mnemonics && c == u'&')) return true;
    return false;
}

}  // namespace

struct QtSurface::CachedFont {
    QFont font;
    QFont underlined;  // for mnemonic characters
    QFontMetrics metrics;
    int height;
    int descent;
    int tabWidth;
    qreal ascent;  // where a static text's top lies above its baseline
    int strikes;   // 2 for a bold face drawn no heavier than regular: overstruck
    // Rows repeat the same words on every paint and pointer move: shaping
    // them once is most of the cost of a row.
    std::unordered_map<std::u16string, int> widths;
    // Laid out once, drawn many times; pixel-identical to drawText at the baseline.
    std::unordered_map<std::u16string, QStaticText> texts;

    const QStaticText& Static(std::u16string_view text) {
        if (texts.size() > 1024) texts.clear();
        auto [it, added] = texts.try_emplace(std::u16string(text));
        if (added) {
            it->second.setText(ToQString(text));
            it->second.setTextFormat(Qt::PlainText);
            it->second.setPerformanceHint(QStaticText::AggressiveCaching);
            it->second.prepare(QTransform(), font);
        }
        return it->second;
    }

    int Width(std::u16string_view text) {
        if (widths.size() > 4096) widths.clear();
        auto [it, added] = widths.try_emplace(std::u16string(text), 0);
        if (added) it->second = metrics.horizontalAdvance(ToQString(text));
        return it->second;
    }
};

// Fonts are looked up for every run of every paint: keep them, keyed by
// what decides their shape. Used on the UI thread only.
using FontKey = std::tuple<std::u16string, int, bool, bool>;

std::map<FontKey, std::unique_ptr<QtSurface::CachedFont>>& QtSurface::FontCache() {
    static std::map<FontKey, std::unique_ptr<CachedFont>> cache;
    return cache;
}

void QtSurface::ClearFontCache() { FontCache().clear(); }

QtSurface::QtSurface(QPainter* painter, int dpi, const QPalette& palette)
    : m_painter(painter), m_palette(palette) {
    if (dpi > 0) {
        m_dpi = dpi;
    } else if (painter && painter->device()) {
        m_dpi = painter->device()->logicalDpiY();
    } else {
        m_dpi = 96;
    }
    if (m_painter) m_painter->save();
}

QtSurface::~QtSurface() {
    if (m_painter) m_painter->restore();
}

int QtSurface::PixelsForPoints(int points, int dpi) {
    // Rounded to nearest as the platform's MulDiv does: 8 pt at 96 dpi is 11 px.
    return static_cast<int>(std::lround(static_cast<double>(points) * dpi / 72.0));
}

int QtSurface::Dpi() const { return m_dpi; }

void QtSurface::SelectFont(const FontSpec& font) {
    const bool shapeChanged = !m_cached || font.face != m_font.face || font.points != m_font.points ||
                              font.bold != m_font.bold || font.underline != m_font.underline;
    m_font = font;
    if (shapeChanged) m_cached = nullptr;
    if (m_painter) m_painter->setPen(ToQColor(font.colour));
}

const FontSpec& QtSurface::CurrentFont() const { return m_font; }

QtSurface::CachedFont& QtSurface::Current() const {
    if (m_cached) return *m_cached;
    const int pixels = std::max(1, PixelsForPoints(m_font.points, m_dpi));
    FontKey key{platform::ToLowerAscii(m_font.face), pixels, m_font.bold, m_font.underline};
    auto& cache = FontCache();
    auto it = cache.find(key);
    if (it == cache.end()) {
        QFont font(ToQString(m_font.face));
        font.setPixelSize(pixels);
        font.setBold(m_font.bold);
        font.setUnderline(m_font.underline);
        // Each run is measured on its own, so drawing it must not kern
        // against its neighbours either. Full hinting would widen Tahoma by
        // a tenth; the default keeps the designed advances.
        font.setKerning(false);
        QFont underlined = font;
        underlined.setUnderline(true);
        QFontMetrics metrics(font);
        const int avg = std::max(1, metrics.averageCharWidth());
        auto entry = std::make_unique<CachedFont>(
            CachedFont{font, underlined, metrics, metrics.height(), metrics.descent(), 8 * avg,
                       QFontMetricsF(font).ascent(), OverstrikeCount(font), {}, {}});
        it = cache.emplace(std::move(key), std::move(entry)).first;
    }
    m_cached = it->second.get();
    return *m_cached;
}

Size QtSurface::MeasureText(std::u16string_view text, bool mnemonics) const {
    CachedFont& f = Current();
    if (!NeedsSplitting(text, mnemonics)) return Size{f.Width(text), f.height};
    int x = 0;
    for (const Piece& piece : SplitLine(text, mnemonics)) {
        if (piece.kind == Piece::Tab)
            x = (x / f.tabWidth + 1) * f.tabWidth;
        else
            x += f.Width(piece.text.toStdU16String());
    }
    return Size{x, f.height};
}

int QtSurface::TextHeight() const { return Current().height; }

void QtSurface::DrawText(const Rect& box, std::u16string_view text, bool mnemonics) {
    if (!m_painter) return;
    CachedFont& f = Current();
    const int baseline = box.bottom - f.descent;
    m_painter->setPen(ToQColor(m_font.colour));
    m_painter->setBackgroundMode(Qt::TransparentMode);
    if (!NeedsSplitting(text, mnemonics)) {
        m_painter->setFont(f.font);
        for (int dx = 0; dx < f.strikes; ++dx) {
            // Static texts put their underline in the wrong place under a
            // translated painter (a child widget's paint): links go the plain way.
            if (m_font.underline)
                m_painter->drawText(QPoint(box.left + dx, baseline), ToQString(text));
            else
                m_painter->drawStaticText(QPointF(box.left + dx, baseline - f.ascent), f.Static(text));
        }
        return;
    }
    int x = 0;
    for (const Piece& piece : SplitLine(text, mnemonics)) {
        if (piece.kind == Piece::Tab) {
            x = (x / f.tabWidth + 1) * f.tabWidth;
            continue;
        }
        m_painter->setFont(piece.kind == Piece::Mnemonic ? f.underlined : f.font);
        for (int dx = 0; dx < f.strikes; ++dx) m_painter->drawText(QPoint(box.left + x + dx, baseline), piece.text);
        x += f.Width(piece.text.toStdU16String());
    }
}

void QtSurface::FillRect(const Rect& rect, Rgb colour) {
    if (!m_painter || rect.Width() <= 0 || rect.Height() <= 0) return;
    m_painter->fillRect(QRect(rect.left, rect.top, rect.Width(), rect.Height()), ToQColor(colour));
}

void QtSurface::DrawLine(int x1, int y1, int x2, int y2, Rgb colour) {
    if (!m_painter) return;
    const QColor c = ToQColor(colour);
    // Straight lines as rectangles: exact pixels whatever the pen settings.
    if (y1 == y2) {
        if (x2 != x1) m_painter->fillRect(QRect(std::min(x1, x2 + 1), y1, std::abs(x2 - x1), 1), c);
        return;
    }
    if (x1 == x2) {
        m_painter->fillRect(QRect(x1, std::min(y1, y2 + 1), 1, std::abs(y2 - y1)), c);
        return;
    }
    m_painter->save();
    m_painter->setRenderHint(QPainter::Antialiasing, false);
    m_painter->setPen(QPen(c, 0));
    m_painter->drawLine(x1, y1, x2, y2);
    m_painter->restore();
}

void QtSurface::DrawPicture(const Picture& picture, int x, int y) {
    if (!m_painter) return;
    const auto* html = dynamic_cast<const THTMLPicture*>(&picture);
    if (!html || html->Empty()) return;
    if (m_dpi == 96) {
        html->Draw(*m_painter, x, y);
        return;
    }
    const Size size = ScaledPictureSize(picture, m_dpi);
    m_painter->drawImage(QRect(x, y, size.width, size.height), html->Image());
}

std::optional<Rgb> QtSurface::ThemeColour(std::u16string_view name) const {
    struct Role {
        std::u16string_view name;
        QPalette::ColorGroup group;
        QPalette::ColorRole role;
    };
    static constexpr auto A = QPalette::Active;
    static constexpr auto I = QPalette::Inactive;
    static constexpr auto D = QPalette::Disabled;
    static const std::array<Role, 30> roles{{
        {u"clScrollBar", A, QPalette::Mid},
        {u"clBackground", A, QPalette::Dark},
        {u"clActiveCaption", A, QPalette::Highlight},
        {u"clInactiveCaption", I, QPalette::Mid},
        {u"clMenu", A, QPalette::Window},
        {u"clWindow", A, QPalette::Base},
        {u"clWindowFrame", A, QPalette::Shadow},
        {u"clMenuText", A, QPalette::WindowText},
        {u"clWindowText", A, QPalette::Text},
        {u"clCaptionText", A, QPalette::HighlightedText},
        {u"clActiveBorder", A, QPalette::Window},
        {u"clInactiveBorder", I, QPalette::Window},
        {u"clAppWorkSpace", A, QPalette::Mid},
        {u"clHighlight", A, QPalette::Highlight},
        {u"clHighlightText", A, QPalette::HighlightedText},
        {u"clBtnFace", A, QPalette::Button},
        {u"clBtnShadow", A, QPalette::Dark},
        {u"clGrayText", D, QPalette::Text},
        {u"clBtnText", A, QPalette::ButtonText},
        {u"clInactiveCaptionText", I, QPalette::WindowText},
        {u"clBtnHighlight", A, QPalette::Light},
        {u"cl3DDkShadow", A, QPalette::Shadow},
        {u"cl3DLight", A, QPalette::Midlight},
        {u"clInfoText", A, QPalette::ToolTipText},
        {u"clInfoBk", A, QPalette::ToolTipBase},
        {u"clHotLight", A, QPalette::Link},
        {u"clGradientActiveCaption", A, QPalette::Highlight},
        {u"clGradientInactiveCaption", I, QPalette::Mid},
        {u"clMenuHighlight", A, QPalette::Highlight},
        {u"clMenuBar", A, QPalette::Window},
    }};
    for (const Role& r : roles)
        if (platform::EqualsIgnoreCaseAscii(name, r.name)) return ToRgb(m_palette.color(r.group, r.role));
    return std::nullopt;
}

bool RegisterMarkupFonts(const QString& fontsDir) {
    const auto has = [](const QString& style) {
        return QFontDatabase::families().contains(QStringLiteral("Tahoma"), Qt::CaseInsensitive) &&
               (style.isEmpty() || QFontDatabase::styles(QStringLiteral("Tahoma")).contains(style));
    };
    if (has(QStringLiteral("Bold"))) return true;
    // Without its bold face, bold runs would be the regular face emboldened.
    for (auto [file, style] : {std::pair{"tahoma.ttf", ""}, std::pair{"tahomabd.ttf", "Bold"}}) {
        const QString path = fontsDir + QLatin1Char('/') + QLatin1String(file);
        if (!has(QLatin1String(style)) && QFile::exists(path)) QFontDatabase::addApplicationFont(path);
    }
    // Fonts resolved before the registration would keep their substitutes.
    QtSurface::ClearFontCache();
    return has(QString());
}

}  // namespace quelvo::markup
