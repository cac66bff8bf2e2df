#include "WidgetTestUtil.h"

#include "app/TWebBrowser.h"
#include "app/Unit_Form_QLV_GUI.h"
#include "app/Unit_QLV_MessageBox.h"
#include "app/Unit_QLV_Shell.h"
#include "markup/qt/Desktop.h"
#include "markup/qt/HTMLabel.h"
#include "markup/qt/HTMListB.h"
#include "widgets/TAdvSmoothPanel.h"
#include "widgets/TImage.h"
#include "widgets/TRzBmpButton.h"
#include "widgets/TRzEdit.h"
#include "widgets/TRzLabel.h"
#include "widgets/TRzPageControl.h"
#include "widgets/TRzVersionInfoStatus.h"

#include <QtTest>

#include <memory>
#include <stdexcept>

using namespace quelvo::app;
using namespace quelvo::widgets;
using namespace quelvo::widgets::test;

namespace {

void ClickButton(TRzBmpButton* button)
{
    Press(button, {2, 2});
    Release(button, {2, 2});
}

struct Message {
    QString caption;
    QString text;
    TMsgIcon icon;
};

}  // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<TForm_QLVO_GUI> form;
    QStringList opened;  // by the markup label
    QStringList shelled;  // by the window's own shell calls
    int moves = 0;
    QList<Message> messages;

    void ShowForm()
    {
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    }

private slots:
    void initTestCase()
    {
        QApplication::setApplicationDisplayName(QStringLiteral("Quelvo"));
        quelvo::markup::SetDesktopOpener([this](const QString& target) { opened << target; });
        SetShellOpener([this](QWidget*, const QString& object) { shelled << object; });
        SetWindowMoveHandler([this](QWindow*) { ++moves; });
        SetMessageBoxHandler([this](QWidget*, const QString& caption, const QString& text, TMsgIcon icon) {
            messages.push_back({caption, text, icon});
            return 1;
        });
    }

    void init()
    {
        opened.clear();
        shelled.clear();
        messages.clear();
        moves = 0;
        form = std::make_unique<TForm_QLVO_GUI>();
    }
    void cleanup() { form.reset(); }

    void shouldLandOnTheStartPageWhateverPageTheStackHeld_data()
    {
        QTest::addColumn<QString>("heldPage");
        QTest::newRow("as built") << QString();
        QTest::newRow("report page") << "TS_QLVO_Step3";
        QTest::newRow("lookup page") << "TS_QLVO_FindSoftware";
        QTest::newRow("About page") << "TS_QLVO_About";
    }
    void shouldLandOnTheStartPageWhateverPageTheStackHeld()
    {
        QFETCH(QString, heldPage);
        QCOMPARE(form->RPC_QLVO_Step->ActivePage(), form->TS_QLVO_Step2);
        if (!heldPage.isEmpty())
            form->RPC_QLVO_Step->SetActivePage(form->findChild<TRzTabSheet*>(heldPage));
        form->RED_QLVO_SearchExt->SetText("leftover");
        ShowForm();
        QCOMPARE(form->RPC_QLVO_Step->ActivePage(), form->TS_QLVO_Step1);
        QVERIFY(form->TS_QLVO_Step1->isVisible());
        QVERIFY(!form->Bn_QLVO_PageScan->isEnabled());
        QCOMPARE(form->Bn_QLVO_PageScan->CurrentPicture(), TRzBmpPicture::Disabled);
        QCOMPARE(form->Bn_QLVO_PageScan->Bitmap(TRzBmpSlot::Disabled),
                 form->Bn_QLVO_PageScan->Bitmap(TRzBmpSlot::Hot));
        QVERIFY(form->Bn_QLVO_PageHelp->isEnabled());
        QVERIFY(form->Bn_QLVO_PageAbout->isEnabled());
        QCOMPARE(form->CurrentSectionButton(), form->Bn_QLVO_PageScan);
        QCOMPARE(form->CurrentMode(), 0);
        QCOMPARE(form->RED_QLVO_SearchExt->Text(), QString());
        QCOMPARE(form->windowTitle(), QString("Quelvo"));
        QVERIFY(form->CurrentAppPath().endsWith('/'));
    }

    void shouldSwitchToAboutAndBackToTheStartPage()
    {
        ShowForm();
        form->RPC_QLVO_Step->SetActivePage(form->TS_QLVO_Step3);  // a report on show
        ClickButton(form->Bn_QLVO_PageAbout);
        QCOMPARE(form->RPC_QLVO_Step->ActivePage(), form->TS_QLVO_About);
        QVERIFY(!form->Bn_QLVO_PageAbout->isEnabled());
        QVERIFY(form->Bn_QLVO_PageScan->isEnabled());
        QCOMPARE(form->CurrentSectionButton(), form->Bn_QLVO_PageAbout);

        // The Scan section opens on the start page, not on the report.
        ClickButton(form->Bn_QLVO_PageScan);
        QCOMPARE(form->RPC_QLVO_Step->ActivePage(), form->TS_QLVO_Step1);
        QVERIFY(!form->Bn_QLVO_PageScan->isEnabled());
        QVERIFY(form->Bn_QLVO_PageAbout->isEnabled());
    }

    void shouldIgnoreAClickOnTheCurrentSectionButton()
    {
        ShowForm();
        form->RPC_QLVO_Step->SetActivePage(form->TS_QLVO_Step3);
        ClickButton(form->Bn_QLVO_PageScan);
        QCOMPARE(form->RPC_QLVO_Step->ActivePage(), form->TS_QLVO_Step3);
        QCOMPARE(moves, 0);
    }

    void shouldOpenTheHelpFileAndChangeNoPage_data()
    {
        QTest::addColumn<QString>("page");
        QTest::newRow("start page") << "TS_QLVO_Step1";
        QTest::newRow("scanning page") << "TS_QLVO_Step2";
        QTest::newRow("About page") << "TS_QLVO_About";
    }
    void shouldOpenTheHelpFileAndChangeNoPage()
    {
        QFETCH(QString, page);
        ShowForm();
        if (page == "TS_QLVO_About")
            ClickButton(form->Bn_QLVO_PageAbout);
        else
            form->RPC_QLVO_Step->SetActivePage(form->findChild<TRzTabSheet*>(page));
        TRzBmpButton* section = form->CurrentSectionButton();
        ClickButton(form->Bn_QLVO_PageHelp);
        QCOMPARE(shelled, QStringList{form->CurrentAppPath() + "Help.chm"});
        QVERIFY(opened.isEmpty());
        QCOMPARE(form->RPC_QLVO_Step->ActivePage()->objectName(), page);
        QCOMPARE(form->CurrentSectionButton(), section);
    }

    void shouldReturnToTheStartPageOnCancelKeepingTheMode()
    {
        ShowForm();
        form->RPC_QLVO_Step->SetActivePage(form->TS_QLVO_Step3);
        ClickButton(form->Bn_QLVO_Step3_Cancel);
        QCOMPARE(form->RPC_QLVO_Step->ActivePage(), form->TS_QLVO_Step1);
        QCOMPARE(form->CurrentMode(), 0);
        QCOMPARE(form->CurrentSectionButton(), form->Bn_QLVO_PageScan);
    }

    void shouldReturnToTheReportOnBack()
    {
        ShowForm();
        form->RPC_QLVO_Step->SetActivePage(form->TS_QLVO_FindSoftware);
        ClickButton(form->Bn_QLVO_FindSoftware_Back);
        QCOMPARE(form->RPC_QLVO_Step->ActivePage(), form->TS_QLVO_Step3);
    }

    void shouldOpenTheAboutLinkOncePerPress()
    {
        ShowForm();
        ClickButton(form->Bn_QLVO_PageAbout);
        auto* label = form->HLB_QLVO_CopyRightInfo;
        const QString markup = QString::fromStdU16String(label->HTMLText().Joined());
        QVERIFY(markup.startsWith("<B>Quelvo</B><br/><B>"));
        QVERIFY(markup.contains("<br/><br/><A href=\"https://www.quelvo.example\">www.quelvo.example</A>"));

        QPoint onLink(-1, -1);
        for (int y = 0; y < label->height() && onLink.x() < 0; ++y)
            for (int x = 0; x < label->width() && onLink.x() < 0; ++x)
                if (!label->AnchorAt({x, y}).isEmpty())
                    onLink = {x, y};
        QVERIFY(onLink.x() >= 0);
        Press(label, onLink, Qt::RightButton);
        QCOMPARE(opened, QStringList{"https://www.quelvo.example"});
        Press(label, onLink);
        SendMouse(label, QEvent::MouseButtonDblClick, Qt::LeftButton, onLink, Qt::LeftButton);
        QCOMPARE(opened.size(), 3);
        QVERIFY(shelled.isEmpty());
        QCOMPARE(form->RPC_QLVO_Step->ActivePage(), form->TS_QLVO_About);
    }

    void shouldOpenOnlyTargetsTheLabelLeavesAlone()
    {
        form->HLB_QLVO_CopyRightInfoAnchorClick(form.get(), "https://www.quelvo.example");
        form->HLB_QLVO_CopyRightInfoAnchorClick(form.get(), "mailto:help@quelvo.example");
        QVERIFY(shelled.isEmpty());
        form->HLB_QLVO_CopyRightInfoAnchorClick(form.get(), "www.quelvo.example");
        QCOMPARE(shelled, QStringList{"www.quelvo.example"});
    }

    void shouldCutTheKeyColourOutOfTheWindowShape()
    {
        const QRegion shape = form->mask();
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

    void shouldMoveTheWindowOnlyOnALeftPressOnThePanel()
    {
        ShowForm();
        Press(form->Panel_QLVO_BG, {300, 20});   // top band
        Press(form->Panel_QLVO_BG, {80, 300});   // navigation column beside the buttons
        QCOMPARE(moves, 2);
        Press(form->Panel_QLVO_BG, {300, 20}, Qt::RightButton);
        Press(form->Panel_QLVO_BG, {300, 20}, Qt::MiddleButton);
        QCOMPARE(moves, 2);
        Press(form->Image1, {100, 100});
        Press(form->RzLabel4, {2, 2});
        Press(form->TS_QLVO_Step1, {5, 5});
        Press(form->Bn_QLVO_PageHelp, {2, 2});
        Press(form->Bn_QLVO_PageScan, {2, 2});  // disabled
        QCOMPARE(moves, 2);
    }

    void shouldFreeTheContainersOnClose()
    {
        ShowForm();
        QVERIFY(form->ContainersAlive());
        QCOMPARE(Form_QLVO_GUI, form.get());
        ClickButton(form->Bn_QLVO_Close);
        QVERIFY(!form->ContainersAlive());
        QVERIFY(!form->isVisible());
        form->close();  // a second close finds nothing left to free
        QVERIFY(!form->ContainersAlive());
    }

    void shouldMinimiseAndComeBackUnchanged()
    {
        ShowForm();
        ClickButton(form->Bn_QLVO_PageAbout);
        ClickButton(form->Bn_QLVO_Min);
        QTRY_VERIFY(form->windowState() & Qt::WindowMinimized);
        form->showNormal();
        QCOMPARE(form->RPC_QLVO_Step->ActivePage(), form->TS_QLVO_About);
        QCOMPARE(form->CurrentSectionButton(), form->Bn_QLVO_PageAbout);
    }

    void shouldPlaceEveryComponentAsDefined_data()
    {
        QTest::addColumn<QString>("parent");
        QTest::addColumn<QRect>("geometry");
        auto row = [](const char* name, const char* parent, QRect r) { QTest::newRow(name) << parent << r; };
        row("Panel_QLVO_BG", "Form_QLVO_GUI", {0, 0, 740, 530});
        row("RPC_QLVO_Step", "Panel_QLVO_BG", {165, 59, 565, 463});
        row("Bn_QLVO_Close", "Panel_QLVO_BG", {712, 3, 15, 15});
        row("Bn_QLVO_PageScan", "Panel_QLVO_BG", {-1, 80, 158, 47});
        row("Bn_QLVO_PageHelp", "Panel_QLVO_BG", {-1, 126, 158, 47});
        row("Bn_QLVO_PageAbout", "Panel_QLVO_BG", {-1, 173, 158, 47});
        row("Bn_QLVO_Min", "Panel_QLVO_BG", {691, 4, 15, 15});
        for (const char* page : {"TS_QLVO_Step1", "TS_QLVO_Step2", "TS_QLVO_Step3", "TS_QLVO_FindSoftware",
                                 "TS_QLVO_About"})
            row(page, "RPC_QLVO_Step", {0, 0, 565, 463});
        row("Image1", "TS_QLVO_Step1", {0, 0, 565, 463});
        row("RzLabel4", "TS_QLVO_Step1", {136, 344, 304, 16});
        row("RzLabel5", "TS_QLVO_Step1", {32, 231, 410, 30});
        row("Bn_QLVO_StartScan", "TS_QLVO_Step1", {175, 384, 234, 56});
        row("RED_QLVO_SearchExt", "TS_QLVO_Step1", {32, 267, 505, 21});
        row("Image2", "TS_QLVO_Step2", {0, 0, 565, 463});
        const int tops[8] = {140, 175, 211, 248, 283, 320, 356, 390};
        for (int i = 0; i < 8; ++i) {
            const QByteArray name = "RLB_QLVO_ScanFileExtName" + QByteArray::number(i + 1);
            QTest::newRow(name.constData()) << "TS_QLVO_Step2" << QRect(63, tops[i], 433, 22);
        }
        row("ADP_QLVO_Scanning", "TS_QLVO_Step2", {20, 25, 80, 74});
        row("RzPanel1", "TS_QLVO_Step2", {109, 12, 451, 89});
        row("RzLabel1", "RzPanel1", {8, 21, 105, 13});
        row("RzLabel2", "RzPanel1", {8, 43, 105, 13});
        row("RzLabel3", "RzPanel1", {8, 64, 105, 13});
        row("RLB_QLVO_TipScanning", "RzPanel1", {119, 21, 329, 13});
        row("RLB_QLVO_TipFileExtName", "RzPanel1", {119, 43, 323, 13});
        row("RLB_QLVO_TipScanCount", "RzPanel1", {119, 64, 325, 13});
        row("Image3", "TS_QLVO_Step3", {0, 0, 565, 463});
        row("RLB_QLVO_TipDetectedCount", "TS_QLVO_Step3", {112, 24, 425, 66});
        row("Bn_QLVO_FixNow", "TS_QLVO_Step3", {307, 400, 234, 56});
        row("HLB_QLVO_InvailExeName", "TS_QLVO_Step3", {10, 108, 544, 286});
        row("Bn_QLVO_Step3_Cancel", "TS_QLVO_Step3", {10, 413, 110, 31});
        row("Bn_QLVO_DownLoadSoftware", "TS_QLVO_Step3", {307, 400, 234, 57});
        row("Image4", "TS_QLVO_FindSoftware", {0, 0, 565, 463});
        row("WB_QLVO_FindSoftware", "TS_QLVO_FindSoftware", {8, 11, 548, 401});
        row("Bn_QLVO_FindSoftware_Back", "TS_QLVO_FindSoftware", {447, 424, 109, 30});
        row("Image5", "TS_QLVO_About", {0, 0, 565, 463});
        row("HLB_QLVO_CopyRightInfo", "TS_QLVO_About", {48, 90, 441, 55});
        row("RzVersionInfoStatus1", "TS_QLVO_About", {55, 278, 169, 20});
    }
    void shouldPlaceEveryComponentAsDefined()
    {
        QFETCH(QString, parent);
        QFETCH(QRect, geometry);
        const QString name = QString::fromLatin1(QTest::currentDataTag());
        auto* widget = name == "Panel_QLVO_BG" ? form->Panel_QLVO_BG : form->findChild<QWidget*>(name);
        QVERIFY2(widget, qPrintable(name));
        QCOMPARE(widget->parentWidget()->objectName(), parent);
        QCOMPARE(widget->geometry(), geometry);
    }

    void shouldGiveLabelsTheirFontsAndTexts()
    {
        QCOMPARE(form->font().family(), QString("Tahoma"));
        QCOMPARE(form->font().pixelSize(), 11);
        QCOMPARE(form->RzLabel4->font().family(), QString("Arial"));
        QCOMPARE(form->RzLabel4->font().pixelSize(), 13);
        QVERIFY(form->RzLabel4->font().bold());
        QVERIFY(form->RzLabel5->WordWrap());
        QCOMPARE(form->RzLabel5->font().pixelSize(), 12);
        QCOMPARE(form->RLB_QLVO_ScanFileExtName8->Caption(), QString(".psc1"));
        QCOMPARE(form->ScanFileExtNameLabel(0), form->RLB_QLVO_ScanFileExtName1);
        QCOMPARE(form->ScanFileExtNameLabel(7), form->RLB_QLVO_ScanFileExtName8);
        QVERIFY(!form->ScanFileExtNameLabel(8));
        QCOMPARE(form->RzLabel2->Caption(), QString("Scannning:"));
        QCOMPARE(form->RzLabel2->FontColor(), QColor(255, 255, 255));
        QVERIFY(form->RLB_QLVO_TipScanCount->font().bold());
        QCOMPARE(form->TS_QLVO_About->Color(), QColor(255, 255, 255));
        QCOMPARE(form->TS_QLVO_Step1->Color(), QColor(166, 202, 240));
    }

    void shouldShowTheFileVersionOnTheAboutPage()
    {
        QCOMPARE(form->RzVersionInfoStatus1->FieldLabel(), QString("Product version:"));
        QCOMPARE(form->RzVersionInfoStatus1->Caption(), QString("1.0.0.14"));
        QCOMPARE(form->RzVersionInfo1->ProductVersion(), QString("1.0.0.0"));
    }

    void shouldKeepTheTabOrderOfEachPage()
    {
        QCOMPARE(FirstTabStop(form->TS_QLVO_Step1), static_cast<QWidget*>(form->Bn_QLVO_StartScan));
        QCOMPARE(form->Bn_QLVO_StartScan->nextInFocusChain(), static_cast<QWidget*>(form->RED_QLVO_SearchExt));
        QCOMPARE(FirstTabStop(form->TS_QLVO_Step3), static_cast<QWidget*>(form->Bn_QLVO_FixNow));
        QCOMPARE(FirstTabStop(form->TS_QLVO_FindSoftware), static_cast<QWidget*>(form->WB_QLVO_FindSoftware));
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

    void shouldEndTheProgramDirectoryInASeparator_data()
    {
        QTest::addColumn<QString>("exe");
        QTest::addColumn<QString>("dir");
        QTest::newRow("windows path") << R"(C:\Program Files\Quelvo\Quelvo.exe)" << R"(C:\Program Files\Quelvo\)";
        QTest::newRow("drive only") << "C:Quelvo.exe" << R"(C:\)";
        QTest::newRow("no directory") << "Quelvo.exe" << R"(\)";
        QTest::newRow("posix path") << "/opt/quelvo/quelvo" << "/opt/quelvo/";
    }
    void shouldEndTheProgramDirectoryInASeparator()
    {
        QFETCH(QString, exe);
        QFETCH(QString, dir);
        QCOMPARE(func_AppPathOf(exe, QChar(u'\\')), dir);
    }

    void shouldShowEscapedErrorsWithAFullStopRule_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shown");
        QTest::newRow("plain") << "Access denied" << "Access denied.";
        QTest::newRow("full stop") << "Done." << "Done.";
        QTest::newRow("exclamation") << "Oops!" << "Oops!";
        QTest::newRow("bracket") << "failed (5)" << "failed (5)";
        QTest::newRow("slash is after the full stop") << "a/b" << "a/b.";
        QTest::newRow("empty") << "" << "";
    }
    void shouldShowEscapedErrorsWithAFullStopRule()
    {
        QFETCH(QString, message);
        QFETCH(QString, shown);
        QCOMPARE(ErrorMessageText(message), shown);
        func_RunHandler(form.get(), [&] { throw std::runtime_error(message.toStdString()); });
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages[0].caption, QString("Quelvo"));
        QCOMPARE(messages[0].text, shown);
        QCOMPARE(messages[0].icon, TMsgIcon::Error);
    }

    void shouldKeepTheScanningAnimationStillUntilAScan()
    {
        QVERIFY(form->ADP_QLVO_Scanning->GIF());
        QVERIFY(!form->ADP_QLVO_Scanning->GIF()->Animate());
        QCOMPARE(form->ADP_QLVO_Scanning->GIF()->FrameCount(), 14);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_Form_QLVO_GUI.moc"
