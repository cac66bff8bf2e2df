// Closing the window while a scan runs, at many moments: the worker is
// stopped and waited for, nothing hangs, and no freed container is touched.
// Meant to run under ThreadSanitizer as well.

#include "ScanMachine.h"

#include "app/Unit_Form_QLV_GUI.h"
#include "app/Unit_QLV_MessageBox.h"
#include "scan/Unit_QLV_Thread.h"
#include "widgets/TRzBmpButton.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTimer>
#include <QtTest>

#include <memory>

using namespace quelvo;
using namespace quelvo::app;
using namespace quelvo::app::test;

class TestScanClose : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        SetMessageBoxHandler([](QWidget*, const QString&, const QString&, TMsgIcon) { return 1; });
    }

    void shouldStopTheWorkerWhenClosedAtAnyMoment()
    {
        ScanMachine machine;
        for (int i = 0; i < 30; ++i) {
            const auto name = QStringLiteral(".c%1").arg(i, 2, 10, QChar('0')).toStdU16String();
            if (i % 3 == 0)
                machine.Broken(name);
            else
                machine.Program(name, u"p.exe", i % 3 == 1);
        }
        machine.Library(kTestLibrary);

        auto* random = QRandomGenerator::global();
        for (int round = 0; round < 120; ++round) {
            scan::QLVO_Thread_Scan::SetExtensionPauseEnabled(round % 2 == 0);
            auto form = std::make_unique<TForm_QLVO_GUI>();
            form->show();
            form->SetCurrentAppPath(machine.AppPath());
            form->Bn_QLVO_StartScan->Click();
            QVERIFY(form->ScanRunning() || round % 2 == 1);
            const int delay = static_cast<int>(random->bounded(0, 60));
            if (delay > 0)
                QTest::qWait(delay);

            QElapsedTimer closing;
            closing.start();
            if (round % 3 == 2) {
                // Closed by a timer, which may fire inside a hand-over's own
                // pass over pending events.
                QTimer::singleShot(static_cast<int>(random->bounded(0, 30)), form.get(), [&form] { form->close(); });
                QTRY_VERIFY_WITH_TIMEOUT(!form->ContainersAlive(), 5000);
                QVERIFY(!form->ScanRunning());
                form.reset();
            } else if (round % 5 == 4) {
                form.reset();  // destroyed without a close first
            } else {
                form->close();
                QVERIFY(!form->ScanRunning());
                QVERIFY(!form->ContainersAlive());
                // A Start Scan after the close starts nothing.
                form->Bn_QLVO_StartScan->Click();
                QVERIFY(!form->ScanRunning());
                form.reset();
            }
            QVERIFY2(closing.elapsed() < 5000, qPrintable(QString::number(round)));
        }
        scan::QLVO_Thread_Scan::SetExtensionPauseEnabled(true);
    }
};

QTEST_MAIN(TestScanClose)
#include "tst_ScanClose.moc"
