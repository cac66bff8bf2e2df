#include "widgets/Colors.h"
#include "widgets/TRzEdit.h"
#include "widgets/TRzLabel.h"

#include <QtTest>

using namespace quelvo::widgets;

class TestSimpleControls : public QObject {
    Q_OBJECT
private slots:
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
