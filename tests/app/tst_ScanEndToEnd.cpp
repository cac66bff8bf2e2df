// The whole path a user takes, on the real window with the real browser:
// scan, report, Fix Now, tick, Download against a loopback lookup server,
// Back, untick, Download again. Needs an X server (xcb).

#include "LookupServer.h"
#include "ScanMachine.h"

#include "app/Unit_Form_QLV_GUI.h"
#include "frontend/Services.h"
#include "frontend/qt/QtFrontEnd.h"
#include "frontend/qt/TWebBrowser.h"
#include "report/Unit_QLV_ReportRows.h"
#include "scan/Unit_QLV_Thread.h"

#include <QWebEnginePage>
#include <QWebEngineView>
#include <QtTest>

#include <memory>
#include <optional>

using namespace quelvo;
using namespace quelvo::app;
using namespace quelvo::app::test;

namespace {

QString Q(std::u16string_view text) { return QString::fromUtf16(text.data(), qsizetype(text.size())); }

QWebEngineView* View(TForm_QLVO_GUI& form)
{
    return static_cast<frontend::qt::TWebBrowser*>(frontend::qt::WidgetOf(form.WB_QLVO_FindSoftware))->View();
}

QString Title(TForm_QLVO_GUI& form) { return View(form) ? View(form)->title() : QString(); }

}  // namespace

class TestScanEndToEnd : public QObject {
    Q_OBJECT

    void Click(TForm_QLVO_GUI& form, const QString& row)
    {
        const int index = static_cast<int>([&] {
            for (int i = 0; i < form.HLB_QLVO_InvailExeName->Count(); ++i)
                if (Q(form.HLB_QLVO_InvailExeName->Item(i)) == row)
                    return i;
            return -1;
        }());
        QVERIFY2(index >= 0, qPrintable(row));
        form.HLB_QLVO_InvailExeNameAnchorClick(form.HLB_QLVO_InvailExeName, index, LinkTarget(row.toStdU16String()));
    }

private slots:
    void shouldScanFixTickAndLookUpTheTickedExtensions()
    {
        QList<QString> messages;
        frontend::SetMessageBoxHandler([&](const std::u16string&, const std::u16string& text, frontend::TMsgIcon) {
            messages << Q(text);
            return 1;
        });
        LookupServer server;
        QVERIFY(server.Port() != 0);
        qputenv("QUELVO_LOOKUP_HOST", "127.0.0.1:" + QByteArray::number(server.Port()));
        ScanMachine machine;
        machine.FillThreeClasses();

        frontend::qt::QtFrontEnd frontEnd;
        TForm_QLVO_GUI form(frontEnd);
        form.Show();
        QVERIFY(QTest::qWaitForWindowExposed(frontend::qt::WidgetOf(form.Window())));
        form.SetCurrentAppPath(machine.AppPath());

        form.Bn_QLVO_StartScan->Click();
        QTRY_COMPARE_WITH_TIMEOUT(form.RPC_QLVO_Step->ActivePage(), form.TS_QLVO_Step3, 20000);
        namespace rows = report::rows;
        QCOMPARE(form.HLB_QLVO_InvailExeName->Count(), 15);
        QCOMPARE(Q(form.HLB_QLVO_InvailExeName->Item(2)), Q(rows::ProblemItem(u".bad")));
        QCOMPARE(Q(form.RLB_QLVO_TipDetectedCount->TextLines().at(0)), Q(rows::CountLine(5)));
        QTRY_VERIFY(!form.ScanRunning());

        form.Bn_QLVO_FixNow->Click();
        QVERIFY(!machine.HasExtension(u".bad"));
        QVERIFY(!machine.HasExtension(u".zip"));
        for (auto ext : {u".mp3", u".avi", u".wav", u".xyz"})
            QVERIFY(machine.HasExtension(ext));

        Click(form, Q(rows::CheckItem(u".xyz")));
        Click(form, Q(rows::CheckItem(u".avi")));
        form.Bn_QLVO_DownLoadSoftware->Click();
        QCOMPARE(form.RPC_QLVO_Step->ActivePage(), form.TS_QLVO_FindSoftware);
        QTRY_COMPARE_WITH_TIMEOUT(server.lookups, QStringList({"/ext/file_ext.php?ext[]=xyz&ext[]=avi"}), 30000);
        QTRY_COMPARE_WITH_TIMEOUT(Title(form), QString("Lookup 1"), 30000);

        // The same ticks again: the page is loaded again.
        form.Bn_QLVO_FindSoftware_Back->Click();
        QCOMPARE(form.RPC_QLVO_Step->ActivePage(), form.TS_QLVO_Step3);
        form.Bn_QLVO_DownLoadSoftware->Click();
        QTRY_COMPARE_WITH_TIMEOUT(server.lookups.size(), 2, 30000);
        QCOMPARE(server.lookups[1], server.lookups[0]);
        QTRY_COMPARE_WITH_TIMEOUT(Title(form), QString("Lookup 2"), 30000);

        // Untick the first: only the rest is sent.
        form.Bn_QLVO_FindSoftware_Back->Click();
        QString tickedXyz = Q(rows::CheckItem(u".xyz"));
        tickedXyz.replace("idxs.1", "idxs.2");
        Click(form, tickedXyz);
        form.Bn_QLVO_DownLoadSoftware->Click();
        QTRY_COMPARE_WITH_TIMEOUT(server.lookups.size(), 3, 30000);
        QCOMPARE(server.lookups[2], QString("/ext/file_ext.php?ext[]=avi"));
        QTRY_COMPARE_WITH_TIMEOUT(Title(form), QString("Lookup 3"), 30000);

        // Tick it again, then untick it: the address of the third lookup comes
        // back, and it is fetched again instead of being read from a cache.
        form.Bn_QLVO_FindSoftware_Back->Click();
        Click(form, Q(rows::CheckItem(u".xyz")));
        form.Bn_QLVO_DownLoadSoftware->Click();
        QTRY_COMPARE_WITH_TIMEOUT(server.lookups.size(), 4, 30000);
        QCOMPARE(server.lookups[3], QString("/ext/file_ext.php?ext[]=avi&ext[]=xyz"));
        QTRY_COMPARE_WITH_TIMEOUT(Title(form), QString("Lookup 4"), 30000);
        form.Bn_QLVO_FindSoftware_Back->Click();
        Click(form, tickedXyz);
        form.Bn_QLVO_DownLoadSoftware->Click();
        QTRY_COMPARE_WITH_TIMEOUT(server.lookups.size(), 5, 30000);
        QCOMPARE(server.lookups[4], QString("/ext/file_ext.php?ext[]=avi"));
        QTRY_COMPARE_WITH_TIMEOUT(Title(form), QString("Lookup 5"), 30000);
        QVERIFY(messages.isEmpty());
        qunsetenv("QUELVO_LOOKUP_HOST");
    }

    // Without a host setting the program answers the lookup itself, from the
    // catalogue beside it.
    void shouldEndOnTheEmbeddedLookupPageWithoutAHostSetting()
    {
        QList<QString> messages;
        frontend::SetMessageBoxHandler([&](const std::u16string&, const std::u16string& text, frontend::TMsgIcon) {
            messages << Q(text);
            return 1;
        });
        qunsetenv("QUELVO_LOOKUP_HOST");
        ScanMachine machine;
        machine.FillThreeClasses();
        QVERIFY(QFile::copy(QStringLiteral(QUELVO_LOOKUP_CATALOGUE), Q(machine.AppPath()) + "lookup_catalogue.tsv"));

        frontend::qt::QtFrontEnd frontEnd;
        TForm_QLVO_GUI form(frontEnd);
        form.Show();
        QVERIFY(QTest::qWaitForWindowExposed(frontend::qt::WidgetOf(form.Window())));
        form.SetCurrentAppPath(machine.AppPath());
        form.Bn_QLVO_StartScan->Click();
        QTRY_COMPARE_WITH_TIMEOUT(form.RPC_QLVO_Step->ActivePage(), form.TS_QLVO_Step3, 20000);
        QTRY_VERIFY(!form.ScanRunning());
        form.Bn_QLVO_FixNow->Click();

        namespace rows = report::rows;
        Click(form, Q(rows::CheckItem(u".xyz")));
        Click(form, Q(rows::CheckItem(u".avi")));
        form.Bn_QLVO_DownLoadSoftware->Click();
        QCOMPARE(form.RPC_QLVO_Step->ActivePage(), form.TS_QLVO_FindSoftware);
        QTRY_VERIFY_WITH_TIMEOUT(View(form), 10000);
        QWebEngineView* view = View(form);
        QTRY_COMPARE_WITH_TIMEOUT(view->title(), QString("Applications for .xyz, .avi"), 30000);
        QCOMPARE(view->url().scheme(), QString("http"));
        QCOMPARE(view->url().host(), QString("127.0.0.1"));
        QCOMPARE(view->url().path(), QString("/ext/file_ext.php"));
        QCOMPARE(view->url().query(QUrl::FullyDecoded), QString("ext[]=xyz&ext[]=avi"));

        // The title arrives with the head: the body may not be there yet, so
        // the text is asked for again until it is.
        auto latest = std::make_shared<QString>();
        QTRY_VERIFY_WITH_TIMEOUT(([&] {
                                     view->page()->toPlainText([latest](const QString& plain) { *latest = plain; });
                                     return !latest->isEmpty();
                                 }()),
                                 10000);
        const QString text = *latest;
        QVERIFY2(text.contains("Type: Video"), qPrintable(text));
        QVERIFY2(text.contains("VLC media player"), qPrintable(text));
        QVERIFY2(text.contains("winget install --id VideoLAN.VLC -e"), qPrintable(text));
        QVERIFY2(text.contains("We know no application for .xyz files yet."), qPrintable(text));
        QVERIFY(text.indexOf(".xyz") < text.indexOf(".avi"));
        QVERIFY(messages.isEmpty());
    }
};

int main(int argc, char* argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    TestScanEndToEnd test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_ScanEndToEnd.moc"
