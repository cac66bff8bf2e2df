#include "frontend/qt/widgets/Colors.h"
#include "frontend/qt/widgets/TRzEdit.h"
#include "frontend/qt/widgets/TRzLabel.h"

#include "frontend/qt/markup/QtSurface.h"

#include <QtTest>

using namespace quelvo::widgets;

class TestSimpleControls : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(quelvo::markup::RegisterMarkupFonts()); }

    // Wine's Tahoma Bold has the regular strokes: a bold label must still look bold.
    void shouldDrawBoldTahomaHeavierThanRegular()
    {
        const auto ink = [](bool bold) {
            TRzLabel label;
            QFont font("Tahoma");
            font.setPixelSize(11);
            font.setBold(bold);
            label.SetLabelFont(font);
            label.SetFontColor(Qt::black);
            label.SetCaption("Copyright (C) 2026 Quelvo. All rights reserved.");
            QImage shot(label.size(), QImage::Format_RGB32);
            shot.fill(Qt::white);
            label.render(&shot, QPoint(), QRegion(), QWidget::DrawChildren);
            double sum = 0;
            for (int y = 0; y < shot.height(); ++y)
                for (int x = 0; x < shot.width(); ++x)
                    sum += 255 - qGray(shot.pixel(x, y));
            return sum;
        };
        QVERIFY2(ink(true) > 1.3 * ink(false), qPrintable(QString("bold %1, regular %2").arg(ink(true)).arg(ink(false))));
    }

    void shouldTakeTheSizeOfItsTextOnlyWhenAutoSized()
    {
        TRzLabel label;
        label.SetCaption("Status:");
        const QFontMetrics metrics(label.font());
        QVERIFY(label.width() >= metrics.horizontalAdvance("Status:"));
        QVERIFY(label.width() <= metrics.horizontalAdvance("Status:") + 2);
        QCOMPARE(label.height(), metrics.height());
        label.SetAutoSize(false);
        label.resize(105, 13);
        label.SetCaption("Analyzing computer registry for file extension problems...");
        QCOMPARE(label.size(), QSize(105, 13));
    }

    void shouldWrapAtSpacesWithinItsWidth()
    {
        TRzLabel label;
        label.SetAutoSize(false);
        label.resize(60, 10);
        label.SetWordWrap(true);
        label.SetAutoSize(true);
        label.SetCaption("one two three four five");
        QCOMPARE(label.width(), 60);
        QVERIFY(label.height() >= 2 * QFontMetrics(label.font()).height());
    }

    void shouldRepaintOnlyWhenTheCaptionChanges()
    {
        QWidget window;
        window.resize(200, 50);
        auto* label = new TRzLabel(&window);
        label->SetCaption("268");
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_VERIFY(label->PaintCount() > 0);
        QTest::qWait(20);
        const int painted = label->PaintCount();
        label->SetCaption("268");
        QTest::qWait(50);
        QCOMPARE(label->PaintCount(), painted);
        label->SetCaption("269");
        QTRY_COMPARE(label->PaintCount(), painted + 1);
    }

    void shouldFrameTheEditBoxWithOneShadowPixel()
    {
        TRzEdit edit;
        edit.resize(505, 21);
        const QImage shot = edit.grab().toImage();
        for (QPoint edge : {QPoint(0, 0), QPoint(504, 10), QPoint(250, 20), QPoint(0, 20)})
            QCOMPARE(shot.pixelColor(edge), clBtnShadow());
        QCOMPARE(shot.pixelColor(1, 1), clWhite());
        QCOMPARE(shot.pixelColor(503, 19), clWhite());
        edit.SetFrameVisible(false);
        QCOMPARE(edit.grab().toImage().pixelColor(0, 0), clWhite());
    }
};

QTEST_MAIN(TestSimpleControls)
#include "tst_TRzLabel.moc"
