// The window's scan, report, repair and row actions, driven through the real
// worker against an in-memory machine.

#include "ScanMachine.h"

#include "app/TWebBrowser.h"
#include "app/Unit_Form_QLV_GUI.h"
#include "app/Unit_QLV_MessageBox.h"
#include "markup/qt/HTMLabel.h"
#include "markup/qt/HTMListB.h"
#include "report/Unit_QLV_ReportActions.h"
#include "report/Unit_QLV_ReportRows.h"
#include "scan/Unit_QLV_Thread.h"
#include "widgets/TGIFImage.h"
#include "widgets/TImage.h"
#include "widgets/TRzBmpButton.h"
#include "widgets/TRzEdit.h"
#include "widgets/TRzLabel.h"
#include "widgets/TRzPageControl.h"

#include <QtTest>

#include <memory>
#include <optional>

using namespace quelvo;
using namespace quelvo::app;
using namespace quelvo::app::test;

namespace {

struct Message {
    QString caption;
    QString text;
    TMsgIcon icon;
};

QString Q(std::u16string_view text) { return QString::fromUtf16(text.data(), qsizetype(text.size())); }

QStringList Rows(const TForm_QLVO_GUI& form)
{
    QStringList rows;
    const auto& items = form.HLB_QLVO_InvailExeName->Items();
    for (int i = 0; i < items.Count(); ++i)
        rows << items[i];
    return rows;
}

int RowOf(const TForm_QLVO_GUI& form, const QString& text)
{
    return static_cast<int>(Rows(form).indexOf(text));
}

}  // namespace

class TestScanFlow : public QObject {
    Q_OBJECT

    std::optional<ScanMachine> machine;
    std::unique_ptr<TForm_QLVO_GUI> form;
    QList<Message> messages;

    void ShowForm()
    {
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        form->SetCurrentAppPath(machine->AppPath());
    }

    // Start Scan with the typed filter, then wait for the worker's end.
    void Scan(const QString& filter = {})
    {
        form->RED_QLVO_SearchExt->SetText(filter);
        form->Bn_QLVO_StartScan->Click();
        QTRY_VERIFY_WITH_TIMEOUT(!form->ScanRunning(), 20000);
    }

    void Click(const QString& row, int link = 0)
    {
        const int index = RowOf(*form, row);
        QVERIFY2(index >= 0, qPrintable(row));
        form->HLB_QLVO_InvailExeNameAnchorClick(form->HLB_QLVO_InvailExeName, index, LinkTarget(form->HLB_QLVO_InvailExeName->Items()[index], link));
    }

private slots:
    void initTestCase()
    {
        SetMessageBoxHandler([this](QWidget*, const QString& caption, const QString& text, TMsgIcon icon) {
            messages.push_back({caption, text, icon});
            return 1;
        });
        scan::QLVO_Thread_Scan::SetExtensionPauseEnabled(false);
    }

    void init()
    {
        messages.clear();
        machine.emplace();
        form = std::make_unique<TForm_QLVO_GUI>();
    }

    void cleanup()
    {
        form.reset();
        machine.reset();
    }

    void shouldNormaliseTheTypedFilter_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("filter");
        QTest::newRow("blanks around") << "  txt " << ".txt";
        QTest::newRow("dot and case kept") << ".TXT" << ".TXT";
        QTest::newRow("no dot") << "mp3" << ".mp3";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("all blank") << " \t " << "";
        QTest::newRow("control characters") << "\t.x\n" << ".x";
        QTest::newRow("inner blank kept") << " a b " << ".a b";
    }
    void shouldNormaliseTheTypedFilter()
    {
        QFETCH(QString, typed);
        QFETCH(QString, filter);
        QCOMPARE(Q(func_NormaliseSearchExt(typed)), filter);
    }

    void shouldRollEightLabelsAndRestartThemWithTheNextScan()
    {
        for (int i = 1; i <= 11; ++i)
            machine->Broken(QStringLiteral(".e%1").arg(i, 2, 10, QChar('0')).toStdU16String());
        machine->Library(kTestLibrary);
        ShowForm();
        Scan();
        QStringList labels;
        for (int i = 0; i < 8; ++i)
            labels << form->ScanFileExtNameLabel(i)->Caption();
        QCOMPARE(labels, QStringList({".e09", ".e10", ".e11", ".e04", ".e05", ".e06", ".e07", ".e08"}));
        QCOMPARE(form->RLB_QLVO_TipScanCount->Caption(), QString("11"));
        QCOMPARE(form->RLB_QLVO_TipFileExtName->Caption(), QString(".e11"));
        QCOMPARE(form->ScanFileExtNameLabel(8), nullptr);

        // A smaller second scan: labels from label 1, count from 1, the rest left over.
        for (int i = 4; i <= 11; ++i)
            machine->registry.DeleteKey(platform::HKEY_LOCAL_MACHINE,
                                        ScanMachine::Classes(QStringLiteral(".e%1").arg(i, 2, 10, QChar('0')).toStdU16String()));
        form->Bn_QLVO_PageScan->Click();
        Scan();
        labels.clear();
        for (int i = 0; i < 8; ++i)
            labels << form->ScanFileExtNameLabel(i)->Caption();
        QCOMPARE(labels, QStringList({".e01", ".e02", ".e03", ".e04", ".e05", ".e06", ".e07", ".e08"}));
        QCOMPARE(form->RLB_QLVO_TipScanCount->Caption(), QString("3"));
        QCOMPARE(Rows(*form).count(Q(report::rows::ProblemItem(u".e01"))), 1);
        QVERIFY(!Rows(*form).contains(Q(report::rows::ProblemItem(u".e09"))));
    }

    void shouldReportEveryClassByGroupWithTheProblemCount()
    {
        machine->FillThreeClasses();
        ShowForm();
        Scan();
        namespace rows = report::rows;
        const QStringList expected = {
            Q(rows::kProblemsHeader),
            Q(rows::GroupRow(u"Unknown")), Q(rows::ProblemItem(u".bad")),
            Q(rows::GroupRow(u"Archive")), Q(rows::ProblemItem(u".zip")),
            Q(rows::kNeedsApplicationHeader),
            Q(rows::GroupRow(u"Video")), Q(rows::NeedsApplicationItem(u".avi")),
            Q(rows::GroupRow(u"Audio")), Q(rows::NeedsApplicationItem(u".wav")),
            Q(rows::GroupRow(u"Unknown")), Q(rows::NeedsApplicationItem(u".xyz")),
            Q(rows::kValidHeader),
            Q(rows::GroupRow(u"Audio")), Q(rows::ValidItem(u".mp3")),
        };
        QCOMPARE(Rows(*form), expected);
        QCOMPARE(form->RLB_QLVO_TipDetectedCount->HTMLText().Count(), 1);
        QCOMPARE(form->RLB_QLVO_TipDetectedCount->HTMLText()[0], Q(rows::CountLine(5)));
        QCOMPARE(form->RPC_QLVO_Step->ActivePage(), form->TS_QLVO_Step3);
        QVERIFY(form->Bn_QLVO_FixNow->isVisible());
        QVERIFY(!form->Bn_QLVO_DownLoadSoftware->isVisible());
        QCOMPARE(form->CurrentMode(), 1);
        QVERIFY(form->ADP_QLVO_Scanning->GIF()->Animate());  // until Fix Now
        QVERIFY(messages.isEmpty());
    }

    void shouldListAFilteredProblemExtensionUnderBothSections()
    {
        machine->FillThreeClasses();
        ShowForm();
        Scan(QStringLiteral(" zip "));
        QCOMPARE(Q(form->SearchExt()), QString(".zip"));
        namespace rows = report::rows;
        QCOMPARE(Rows(*form), QStringList({Q(rows::kProblemsHeader), Q(rows::GroupRow(u"Archive")),
                                           Q(rows::ProblemItem(u".zip")), Q(rows::kNeedsApplicationHeader),
                                           Q(rows::GroupRow(u"Archive")), Q(rows::NeedsApplicationItem(u".zip"))}));
        QCOMPARE(form->RLB_QLVO_TipDetectedCount->HTMLText()[0], Q(rows::CountLine(2)));
    }

    void shouldRepairOnlyTheBrokenKeysAndReportWhatFailed()
    {
        machine->FillThreeClasses();
        machine->Broken(u".lck");
        ShowForm();
        Scan();
        // Locked after the scan found it broken: its removal fails.
        machine->registry.SetRefusesFullAccess(ScanMachine::Classes(u".lck"), true);
        form->Bn_QLVO_FixNow->Click();

        QVERIFY(!machine->HasExtension(u".bad"));
        QVERIFY(!machine->HasExtension(u".zip"));
        QVERIFY(machine->HasExtension(u".lck"));
        for (auto ext : {u".mp3", u".avi", u".wav", u".xyz"})
            QVERIFY(machine->HasExtension(ext));
        QVERIFY(machine->registry.HasKey(u"SOFTWARE\\Classes\\avifile"));

        namespace rows = report::rows;
        const QStringList rowsNow = Rows(*form);
        QVERIFY(rowsNow.contains(Q(rows::RepairedItem(u".bad"))));
        QVERIFY(rowsNow.contains(Q(rows::RepairedItem(u".zip"))));
        QVERIFY(rowsNow.contains(Q(rows::RepairFailedItem(u".lck"))));
        QVERIFY(!rowsNow.contains(Q(rows::RepairedItem(u".lck"))));
        QVERIFY(rowsNow.contains(Q(rows::CheckItem(u".avi"))));
        QVERIFY(!rowsNow.join("").contains(".mp3"));  // valid ones are not listed
        QCOMPARE(form->RLB_QLVO_TipDetectedCount->HTMLText()[0], Q(rows::RemainingLine(3)));
        QCOMPARE(form->CurrentMode(), 2);
        QVERIFY(!form->Bn_QLVO_FixNow->isVisible());
        QVERIFY(form->Bn_QLVO_DownLoadSoftware->isVisible());
        QVERIFY(!form->ADP_QLVO_Scanning->GIF()->Animate());

        // The failed row explains itself; a repaired one reports success.
        Click(Q(rows::RepairFailedItem(u".lck")));
        Click(Q(rows::RepairedItem(u".bad")));
        QCOMPARE(messages.size(), 2);
        QCOMPARE(messages[0].text, Q(report::messages::kRepairFailed));
        QCOMPARE(messages[1].text, Q(report::messages::kRepaired));

        // The second click is a Download: nothing is ticked, so nothing happens.
        const QStringList before = Rows(*form);
        form->Bn_QLVO_DownLoadSoftware->Click();
        QCOMPARE(Rows(*form), before);
        QCOMPARE(form->RPC_QLVO_Step->ActivePage(), form->TS_QLVO_Step3);
        QVERIFY(form->WB_QLVO_FindSoftware->LocationURL().isEmpty());
    }

    void shouldExplainReportRowsInModeOne_data()
    {
        QTest::addColumn<QString>("row");
        QTest::addColumn<QString>("message");
        QTest::newRow("valid") << Q(report::rows::ValidItem(u".mp3")) << Q(report::messages::kValid);
        QTest::newRow("problem") << Q(report::rows::ProblemItem(u".zip")) << Q(report::messages::kProblem);
        QTest::newRow("needs application")
            << Q(report::rows::NeedsApplicationItem(u".avi")) << Q(report::messages::kNeedsApplication);
    }
    void shouldExplainReportRowsInModeOne()
    {
        QFETCH(QString, row);
        QFETCH(QString, message);
        machine->FillThreeClasses();
        ShowForm();
        Scan();
        const QStringList before = Rows(*form);
        Click(row);
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages[0].caption, QString("Quelvo"));
        QCOMPARE(messages[0].icon, TMsgIcon::Information);
        QCOMPARE(messages[0].text, message);
        QCOMPARE(Rows(*form), before);
        QVERIFY(form->CheckFileTypes().empty());
    }

    void shouldTickInOrderAndUntickTheFirstEqualEntry()
    {
        machine->FillThreeClasses();
        ShowForm();
        Scan();
        form->Bn_QLVO_FixNow->Click();
        namespace rows = report::rows;
        const QString avi = Q(rows::CheckItem(u".avi"));
        const QString wav = Q(rows::CheckItem(u".wav"));
        const QString xyz = Q(rows::CheckItem(u".xyz"));
        auto ticked = [](QString row) { return row.replace("idxs.1", "idxs.2"); };

        Click(xyz);
        Click(avi);
        Click(wav);
        QCOMPARE(form->CheckFileTypes(), (std::vector<std::u16string>{u"check .xyz", u"check .avi", u"check .wav"}));
        QVERIFY(Rows(*form).contains(ticked(avi)));
        Click(ticked(avi));
        QCOMPARE(form->CheckFileTypes(), (std::vector<std::u16string>{u"check .xyz", u"check .wav"}));
        QVERIFY(Rows(*form).contains(avi));
        QVERIFY(messages.isEmpty());

        // The row's own link gives the download hint and leaves the box alone.
        Click(avi, 1);
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages[0].text, Q(report::messages::kDownloadHint));
        QVERIFY(Rows(*form).contains(avi));

        // A new scan forgets the ticks.
        form->Bn_QLVO_PageScan->Click();
        Scan();
        QVERIFY(form->CheckFileTypes().empty());
        QCOMPARE(form->CurrentMode(), 1);
    }

    void shouldTickAnExtensionWithMarkupCharactersByItsRealName()
    {
        machine->Program(u".q&r<b>", u"qr.exe", false);
        machine->Library(kTestLibrary);
        ShowForm();
        Scan();
        const QString row = Q(report::rows::NeedsApplicationItem(u".q&r<b>"));
        QVERIFY(!row.contains("<b>"));  // shown as text, not read as markup
        QCOMPARE(Rows(*form).count(row), 1);
        form->Bn_QLVO_FixNow->Click();
        Click(Q(report::rows::CheckItem(u".q&r<b>")));
        QCOMPARE(form->CheckFileTypes(), (std::vector<std::u16string>{u"check .q&r<b>"}));
        QVERIFY(messages.isEmpty());
    }

    void shouldKeepTheFirstReportOfADuplicateExtension()
    {
        machine->Program(u".dup", u"first.exe", true);
        machine->Library(kTestLibrary);
        ShowForm();
        form->pro_cb_QV_Scan_ExeInfo(u".dup", u"C:\\Apps\\first.exe", 1);
        form->pro_cb_QV_Scan_ExeInfo(u".dup", u"C:\\Apps\\missing.exe", 1);
        form->pro_cb_QV_Scan_ExeInfo(u".err", u"", 2);
        form->pro_cb_QV_Scan_ExeInfo(u".err", u"", 2);
        form->pro_cb_QV_Scan_ExeInfo(u".odd", u"", 3);
        form->pro_cbsyn_QV_End();
        namespace rows = report::rows;
        QCOMPARE(Rows(*form), QStringList({Q(rows::kProblemsHeader), Q(rows::GroupRow(u"Unknown")),
                                           Q(rows::ProblemItem(u".err")), Q(rows::kValidHeader),
                                           Q(rows::GroupRow(u"Unknown")), Q(rows::ValidItem(u".dup"))}));
        QVERIFY(messages.isEmpty());
    }

    void shouldSayWhichLibraryFileIsMissingAndStopTheAnimation_data()
    {
        QTest::addColumn<bool>("asFolder");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing") << false << "no such file";
        QTest::newRow("a folder") << true << "it is not a file";
    }
    void shouldSayWhichLibraryFileIsMissingAndStopTheAnimation()
    {
        QFETCH(bool, asFolder);
        QFETCH(QString, reason);
        machine->Broken(u".bad");
        if (asFolder)
            QDir().mkpath(machine->AppPath() + "FileType_lib.txt");
        ShowForm();
        Scan();
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages[0].text.contains("FileType_lib.txt"), qPrintable(messages[0].text));
        QVERIFY2(messages[0].text.contains(reason), qPrintable(messages[0].text));
        QVERIFY(!form->ADP_QLVO_Scanning->GIF()->Animate());
        QCOMPARE(form->RPC_QLVO_Step->ActivePage(), form->TS_QLVO_Step2);
        QCOMPARE(form->HLB_QLVO_InvailExeName->Items().Count(), 0);
        QVERIFY(!form->Bn_QLVO_FixNow->isVisible());
    }

    void shouldRefuseASecondScanWhileOneRuns()
    {
        for (int i = 0; i < 40; ++i)
            machine->Broken(QStringLiteral(".n%1").arg(i, 2, 10, QChar('0')).toStdU16String());
        machine->Library(kTestLibrary);
        ShowForm();
        scan::QLVO_Thread_Scan::SetExtensionPauseEnabled(true);
        form->Bn_QLVO_StartScan->Click();
        QTRY_VERIFY(form->RLB_QLVO_TipScanCount->Caption().toInt() >= 3);
        form->Bn_QLVO_PageScan->Click();
        form->Bn_QLVO_StartScan->Click();  // refused
        QTRY_VERIFY_WITH_TIMEOUT(!form->ScanRunning(), 20000);
        scan::QLVO_Thread_Scan::SetExtensionPauseEnabled(false);
        QCOMPARE(form->RLB_QLVO_TipScanCount->Caption(), QString("40"));
        QCOMPARE(Rows(*form).count(Q(report::rows::ProblemItem(u".n00"))), 1);
        QCOMPARE(form->RLB_QLVO_TipDetectedCount->HTMLText()[0], Q(report::rows::CountLine(40)));
    }

    void shouldTakeTheLookupHostFromTheEnvironmentFirst()
    {
        qunsetenv("QUELVO_LOOKUP_HOST");
        const QString built = func_LookupHost();
        QVERIFY(!built.isEmpty());
        qputenv("QUELVO_LOOKUP_HOST", "127.0.0.1:8080");
        QCOMPARE(func_LookupHost(), QString("127.0.0.1:8080"));
        qputenv("QUELVO_LOOKUP_HOST", "");
        QCOMPARE(func_LookupHost(), built);
        qunsetenv("QUELVO_LOOKUP_HOST");
    }
};

QTEST_MAIN(TestScanFlow)
#include "tst_ScanFlow.moc"
