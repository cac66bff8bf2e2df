#include "MarkupTestUtil.h"

#include "frontend/qt/markup/MeasureSurface.h"
#include "frontend/qt/markup/QtSurface.h"

#include <QFontInfo>
#include <QPainter>
#include <QtTest>

using namespace quelvo::markup;
using namespace quelvo::markup::test;

namespace {

const Rgb kBlack{0, 0, 0};

FontSpec Font(std::u16string face, int points, bool bold = false) { return FontSpec{face, points, bold, false, kBlack}; }

QImage WhiteImage(int w = 200, int h = 60) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

// Rows [first, last] holding non-white pixels, or {-1, -1}.
std::pair<int, int> InkRows(const QImage& image) {
    int first = -1, last = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != qRgb(255, 255, 255)) {
                if (first < 0) first = y;
                last = y;
                break;
            }
    return {first, last};
}

}  // namespace

class TestQtSurface : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(RegisterMarkupFonts()); }

    void shouldConvertPointsToPixelsAtDensity_data();
    void shouldConvertPointsToPixelsAtDensity();
    void shouldResolveTahomaAndArial();
    void shouldDrawBoldTahomaHeavierThanRegular();
    void shouldMeasureMnemonicsAndTabs();
    void shouldDrawTextOnBoxBottomWithTransparentBackground();
    void shouldUnderlineMnemonicCharacter();
    void shouldDrawExactLinesFillsAndOpaquePictures();
    void shouldDrawAndMeasurePicturesAtTheRoundedScaledSize_data();
    void shouldDrawAndMeasurePicturesAtTheRoundedScaledSize();
    void shouldResolveThemeColoursByName();
    void shouldRestorePainterState();
};

void TestQtSurface::shouldConvertPointsToPixelsAtDensity_data() {
    QTest::addColumn<int>("points");
    QTest::addColumn<int>("dpi");
    QTest::addColumn<int>("pixels");
    QTest::newRow("8 pt at 96 dpi") << 8 << 96 << 11;
    QTest::newRow("10 pt at 96 dpi") << 10 << 96 << 13;
    QTest::newRow("16 pt at 96 dpi") << 16 << 96 << 21;
    QTest::newRow("8 pt at 120 dpi") << 8 << 120 << 13;
    QTest::newRow("0 pt") << 0 << 96 << 0;
}

void TestQtSurface::shouldConvertPointsToPixelsAtDensity() {
    QFETCH(int, points);
    QFETCH(int, dpi);
    QFETCH(int, pixels);
    QCOMPARE(QtSurface::PixelsForPoints(points, dpi), pixels);
}

void TestQtSurface::shouldResolveTahomaAndArial() {
    QtSurface surface(nullptr, 96);
    QCOMPARE(surface.Dpi(), 96);
    QFont tahoma("Tahoma");
    QCOMPARE(QFontInfo(tahoma).family(), QString("Tahoma"));
    QFont arial("Arial");
    QCOMPARE(QFontInfo(arial).family(), QString("Liberation Sans"));

    surface.SelectFont(Font(u"tahoma", 8));
    const int tahomaHeight = surface.TextHeight();
    QVERIFY2(tahomaHeight >= 11 && tahomaHeight <= 15, qPrintable(QString::number(tahomaHeight)));
    QCOMPARE(surface.MeasureText(u"gh", false).height, tahomaHeight);
    surface.SelectFont(Font(u"Arial", 16));
    QVERIFY(surface.TextHeight() > tahomaHeight);
    // A face that does not exist still gives a usable font.
    surface.SelectFont(Font(u"No Such Face", 10));
    QVERIFY(surface.TextHeight() > 0);
    QVERIFY(surface.MeasureText(u"abc", false).width > 0);
    // An empty or zero-point font never breaks measuring.
    surface.SelectFont(Font(u"", 0));
    QVERIFY(surface.TextHeight() > 0);
}

// Wine's Tahoma Bold has the regular strokes: bold runs must still look bold.
void TestQtSurface::shouldDrawBoldTahomaHeavierThanRegular() {
    QFont bold("Tahoma");
    bold.setPixelSize(11);
    bold.setBold(true);
    QCOMPARE(QFontInfo(bold).family(), QString("Tahoma"));
    QCOMPARE(QFontInfo(bold).styleName(), QString("Bold"));

    const auto ink = [](bool isBold, bool underline) {
        QImage image = WhiteImage(300, 30);
        {
            QPainter painter(&image);
            QtSurface surface(&painter, 96);
            surface.SelectFont(FontSpec{u"Tahoma", 8, isBold, underline, kBlack});
            surface.DrawText(Rect{2, 0, 300, 20}, u"Copyright (C) 2026 Quelvo.", false);
        }
        double sum = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) sum += 255 - qGray(image.pixel(x, y));
        return sum;
    };
    QVERIFY2(ink(true, false) > 1.3 * ink(false, false),
             qPrintable(QString("bold %1, regular %2").arg(ink(true, false)).arg(ink(false, false))));
    QVERIFY(ink(true, true) > 1.3 * ink(false, true));
    // Measuring keeps the bold face's own advances.
    QtSurface metrics(nullptr, 96);
    metrics.SelectFont(FontSpec{u"Tahoma", 8, true, false, kBlack});
    QCOMPARE(metrics.MeasureText(u"Copyright", false).width, QFontMetrics(bold).horizontalAdvance("Copyright"));
}

void TestQtSurface::shouldMeasureMnemonicsAndTabs() {
    QtSurface surface(nullptr, 96);
    surface.SelectFont(Font(u"Tahoma", 8));
    const int rd = surface.MeasureText(u"RD", false).width;
    QCOMPARE(surface.MeasureText(u"R&D", true).width, rd);
    QVERIFY(surface.MeasureText(u"R&D", false).width > rd);
    QCOMPARE(surface.MeasureText(u"a&&b", true).width, surface.MeasureText(u"a&b", false).width);
    QCOMPARE(surface.MeasureText(u"ab&", true).width, surface.MeasureText(u"ab", false).width);

    const int x = surface.MeasureText(u"x", false).width;
    const int tab = surface.MeasureText(u"\t", false).width;
    QVERIFY(tab > 8 * x / 2);
    QCOMPARE(surface.MeasureText(u"\tx", false).width, tab + x);
    QCOMPARE(surface.MeasureText(u"x\tx", false).width, tab + x);  // to the next stop, not one tab further
    QCOMPARE(surface.MeasureText(u"\t\t", false).width, 2 * tab);
}

void TestQtSurface::shouldDrawTextOnBoxBottomWithTransparentBackground() {
    QImage image = WhiteImage();
    int height = 0;
    {
        QPainter painter(&image);
        QtSurface surface(&painter, 96);
        surface.SelectFont(Font(u"Tahoma", 8));
        height = surface.TextHeight();
        surface.DrawText(Rect{10, 0, 190, 40}, u"gh", false);
    }
    const auto [first, last] = InkRows(image);
    // The cell [40 - height, 40) holds the ink; the descender reaches near the bottom.
    QVERIFY2(first >= 40 - height && last <= 39 && last >= 36,
             qPrintable(QString("%1..%2, height %3").arg(first).arg(last).arg(height)));
    QCOMPARE(image.pixelColor(5, 5), QColor(Qt::white));  // nothing painted behind the text
}

void TestQtSurface::shouldUnderlineMnemonicCharacter() {
    const auto lastInkRow = [](std::u16string_view text, bool mnemonics) {
        QImage image = WhiteImage();
        {
            QPainter painter(&image);
            QtSurface surface(&painter, 96);
            surface.SelectFont(Font(u"Tahoma", 8));
            surface.DrawText(Rect{0, 0, 200, 40}, text, mnemonics);
        }
        return InkRows(image).second;
    };
    QVERIFY(lastInkRow(u"&D", true) > lastInkRow(u"D", false));
    QCOMPARE(lastInkRow(u"&&D", true), lastInkRow(u"&D", false));
}

void TestQtSurface::shouldDrawExactLinesFillsAndOpaquePictures() {
    QImage image = WhiteImage(100, 60);
    THTMLPicture picture;
    picture.SetImage(SolidPicture(QColor("#204080")));
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        QtSurface surface(&painter, 96);
        surface.FillRect(Rect{0, 0, 5, 3}, Rgb{0xd6, 0xe7, 0xf9});
        surface.DrawLine(10, 5, 20, 5, Rgb{255, 0, 0});
        surface.DrawPicture(picture, 40, 20);
    }
    QCOMPARE(image.pixelColor(4, 2), QColor("#d6e7f9"));
    QCOMPARE(image.pixelColor(5, 2), QColor(Qt::white));
    QCOMPARE(image.pixelColor(4, 3), QColor(Qt::white));
    QCOMPARE(image.pixelColor(10, 5), QColor(Qt::red));
    QCOMPARE(image.pixelColor(19, 5), QColor(Qt::red));
    QCOMPARE(image.pixelColor(20, 5), QColor(Qt::white));
    QCOMPARE(image.pixelColor(15, 4), QColor(Qt::white));
    QCOMPARE(image.pixelColor(15, 6), QColor(Qt::white));
    QCOMPARE(image.pixelColor(40, 20), QColor("#204080"));
    QCOMPARE(image.pixelColor(69, 49), QColor("#204080"));
    QCOMPARE(image.pixelColor(70, 49), QColor(Qt::white));
    QCOMPARE(image.pixelColor(69, 50), QColor(Qt::white));
}

void TestQtSurface::shouldDrawAndMeasurePicturesAtTheRoundedScaledSize_data() {
    QTest::addColumn<int>("dpi");
    QTest::addColumn<int>("side");
    QTest::addColumn<int>("scaled");
    QTest::newRow("30 px at 120 dpi") << 120 << 30 << 38;  // 37.5
    QTest::newRow("31 px at 144 dpi") << 144 << 31 << 47;  // 46.5
    QTest::newRow("30 px at 144 dpi") << 144 << 30 << 45;
}

// The engine lays a picture out at the rounded size: drawing and measuring must cover the same pixels.
void TestQtSurface::shouldDrawAndMeasurePicturesAtTheRoundedScaledSize() {
    QFETCH(int, dpi);
    QFETCH(int, side);
    QFETCH(int, scaled);
    QImage image = WhiteImage(100, 100);
    THTMLPicture picture;
    QImage solid(side, side, QImage::Format_RGB32);
    solid.fill(QColor("#204080"));
    picture.SetImage(solid);
    {
        QPainter painter(&image);
        QtSurface surface(&painter, dpi);
        surface.DrawPicture(picture, 10, 5);
        MeasureSurface measure(surface);
        measure.DrawPicture(picture, 10, 5);
        QCOMPARE(measure.Bottom(), 5 + scaled);
    }
    QCOMPARE(image.pixelColor(10 + scaled - 1, 5 + scaled - 1), QColor("#204080"));
    QCOMPARE(image.pixelColor(10 + scaled, 5 + scaled / 2), QColor(Qt::white));
    QCOMPARE(image.pixelColor(10 + scaled / 2, 5 + scaled), QColor(Qt::white));
}

void TestQtSurface::shouldResolveThemeColoursByName() {
    QPalette palette;
    palette.setColor(QPalette::Active, QPalette::Base, QColor("#010203"));
    palette.setColor(QPalette::Active, QPalette::Button, QColor("#040506"));
    palette.setColor(QPalette::Active, QPalette::ToolTipBase, QColor("#070809"));
    QtSurface surface(nullptr, 96, palette);
    QCOMPARE(surface.ThemeColour(u"clWindow"), (Rgb{1, 2, 3}));
    QCOMPARE(surface.ThemeColour(u"CLWINDOW"), (Rgb{1, 2, 3}));
    QCOMPARE(surface.ThemeColour(u"clBtnFace"), (Rgb{4, 5, 6}));
    QCOMPARE(surface.ThemeColour(u"clInfoBk"), (Rgb{7, 8, 9}));
    for (auto name : {u"clWindowText", u"clBtnShadow", u"clHighlight", u"clHighlightText", u"clGrayText",
                      u"clInfoText", u"clMenu", u"clMenuText", u"clBtnText", u"clBtnHighlight", u"clScrollBar",
                      u"clActiveCaption"})
        QVERIFY2(surface.ThemeColour(name).has_value(), qPrintable(QString::fromUtf16(name)));
    QVERIFY(!surface.ThemeColour(u"clWhite").has_value());
    QVERIFY(!surface.ThemeColour(u"clWindowX").has_value());
    QVERIFY(!surface.ThemeColour(u"").has_value());
}

void TestQtSurface::shouldRestorePainterState() {
    QImage image = WhiteImage();
    QPainter painter(&image);
    const QFont font("Liberation Serif", 20);
    painter.setFont(font);
    painter.setPen(QColor(Qt::green));
    {
        QtSurface surface(&painter, 96);
        surface.SelectFont(Font(u"Tahoma", 8, true));
        surface.DrawText(Rect{0, 0, 100, 30}, u"x", false);
    }
    QCOMPARE(painter.font(), font);
    QCOMPARE(painter.pen().color(), QColor(Qt::green));
}

QTEST_MAIN(TestQtSurface)
#include "tst_QtSurface.moc"
