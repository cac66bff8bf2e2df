// The Qt front end's own side of the window: its shape from the key colour,
// its placement, the widgets' fonts and colours, and the focus order.

#include "app/Unit_Form_QLV_GUI.h"
#include "frontend/qt/QtFrontEnd.h"
#include "frontend/qt/widgets/TRzLabel.h"
#include "frontend/qt/widgets/TRzPageControl.h"
#include "frontend/qt/widgets/TRzVersionInfo.h"

#include <QtTest>

#include <memory>

using namespace quelvo;
using namespace quelvo::frontend::qt;

namespace {
template<typename W = QWidget>
W* Native(const frontend::TControl* control)
{
    return static_cast<W*>(WidgetOf(control));
}
}  // namespace

class TestQtFrontEnd : public QObject {
    Q_OBJECT

    std::unique_ptr<QtFrontEnd> frontEnd;
    std::unique_ptr<app::TForm_QLVO_GUI> form;

private slots:
    void init()
    {
        frontEnd = std::make_unique<QtFrontEnd>();
        form = std::make_unique<app::TForm_QLVO_GUI>(*frontEnd);
    }
    void cleanup()
    {
        form.reset();
        frontEnd.reset();
    }

    void shouldCutTheKeyColourOutOfTheWindowShape()
    {
        const QRegion shape = Native(form->Window())->mask();
        QVERIFY(!shape.isEmpty());
        for (QPoint corner : {QPoint(0, 0), QPoint(739, 0), QPoint(0, 529), QPoint(739, 529)})
            QVERIFY2(!shape.contains(corner), qPrintable(QString("corner %1,%2").arg(corner.x()).arg(corner.y())));
        for (QPoint inside : {QPoint(370, 265), QPoint(20, 20), QPoint(720, 510), QPoint(369, 0)})
            QVERIFY2(shape.contains(inside), qPrintable(QString("inside %1,%2").arg(inside.x()).arg(inside.y())));
    }

    void shouldBuildTheShapeFromExactKeyColourPixels()
    {
        QImage composed(4, 1, QImage::Format_ARGB32);
        composed.setPixelColor(0, 0, QColor(166, 202, 240));
        composed.setPixelColor(1, 0, QColor(166, 202, 241));
        composed.setPixelColor(2, 0, QColor(0, 0, 0));
        composed.setPixelColor(3, 0, QColor(166, 202, 240));
        const QRegion region = ColourKeyRegion(composed, QColor(166, 202, 240));
        QVERIFY(!region.contains(QPoint(0, 0)));
        QVERIFY(region.contains(QPoint(1, 0)));
        QVERIFY(region.contains(QPoint(2, 0)));
        QVERIFY(!region.contains(QPoint(3, 0)));
    }

    void shouldFitAndCentreOnTheDesktop_data()
    {
        QTest::addColumn<QRect>("desktop");
        QTest::addColumn<QPoint>("topLeft");
        QTest::newRow("one screen") << QRect(0, 0, 1280, 800) << QPoint(270, 135);
        QTest::newRow("two screens") << QRect(0, 0, 2560, 1024) << QPoint(910, 247);
        QTest::newRow("screen left of primary") << QRect(-1280, 0, 2560, 800) << QPoint(-370, 135);
        QTest::newRow("smaller than the window") << QRect(0, 0, 640, 480) << QPoint(0, 0);
    }
    void shouldFitAndCentreOnTheDesktop()
    {
        QFETCH(QRect, desktop);
        QFETCH(QPoint, topLeft);
        QCOMPARE(DesktopCentredPosition(desktop, {740, 530}), topLeft);
    }

    void shouldGiveLabelsTheirFontsAndPagesTheirColours()
    {
        QWidget* window = Native(form->Window());
        QCOMPARE(window->font().family(), QString("Tahoma"));
        QCOMPARE(window->font().pixelSize(), 11);
        auto* label4 = Native<widgets::TRzLabel>(form->RzLabel4);
        QCOMPARE(label4->font().family(), QString("Arial"));
        QCOMPARE(label4->font().pixelSize(), 13);
        QVERIFY(label4->font().bold());
        QVERIFY(Native<widgets::TRzLabel>(form->RzLabel5)->WordWrap());
        QCOMPARE(Native<widgets::TRzLabel>(form->RzLabel2)->FontColor(), QColor(255, 255, 255));
        QVERIFY(Native<widgets::TRzLabel>(form->RLB_QLVO_TipScanCount)->font().bold());
        QCOMPARE(Native<widgets::TRzTabSheet>(form->TS_QLVO_About)->Color(), QColor(255, 255, 255));
        QCOMPARE(Native<widgets::TRzTabSheet>(form->TS_QLVO_Step1)->Color(), QColor(166, 202, 240));
        auto* reader = window->findChild<widgets::TRzVersionInfo*>(QStringLiteral("RzVersionInfo1"));
        QVERIFY(reader);
        QCOMPARE(reader->ProductVersion(), QString("1.0.0.0"));
        QCOMPARE(reader->FileVersion(), QString("1.0.0.14"));
    }

    void shouldKeepEveryComponentUnderItsParentWithItsName()
    {
        QCOMPARE(Native(form->Panel_QLVO_BG)->parentWidget(), Native(form->Window()));
        QCOMPARE(Native(form->RzLabel1)->parentWidget(), Native(form->RzPanel1));
        QCOMPARE(Native(form->Bn_QLVO_FixNow)->parentWidget(), Native(form->TS_QLVO_Step3));
        QCOMPARE(Native(form->WB_QLVO_FindSoftware)->objectName(), QString("WB_QLVO_FindSoftware"));
    }

    void shouldKeepTheTabOrderOfEachPage()
    {
        using widgets::FirstTabStop;
        QCOMPARE(FirstTabStop(Native(form->TS_QLVO_Step1)), Native(form->Bn_QLVO_StartScan));
        QCOMPARE(Native(form->Bn_QLVO_StartScan)->nextInFocusChain(), Native(form->RED_QLVO_SearchExt));
        QCOMPARE(FirstTabStop(Native(form->TS_QLVO_Step3)), Native(form->Bn_QLVO_FixNow));
        QCOMPARE(FirstTabStop(Native(form->TS_QLVO_FindSoftware)), Native(form->WB_QLVO_FindSoftware));
    }
};

QTEST_MAIN(TestQtFrontEnd)
#include "tst_QtFrontEnd.moc"
