// The window's side of a scan, offscreen: building and showing the report for
// a large scan, and a whole scan through the worker with its pauses.

#include "ScanMachine.h"

#include "app/Unit_Form_QLV_GUI.h"
#include "app/Unit_QLV_MessageBox.h"
#include "markup/qt/HTMListB.h"
#include "platform/Text.h"
#include "scan/Unit_QLV_Thread.h"
#include "widgets/TRzBmpButton.h"
#include "widgets/TRzPageControl.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <memory>

using namespace quelvo;
using namespace quelvo::app;
using namespace quelvo::app::test;

namespace {

std::u16string Ext(int i) { return u".e" + platform::IntToText(i); }

// 10,000 scanned extensions: 4,000 with an existing program (10 distinct),
// 4,000 with a missing one, 2,000 broken; the library names every second extension.
void BM_ReportFor10000Extensions(benchmark::State& state)
{
    ScanMachine machine;
    QByteArray library;
    for (int i = 0; i < 10000; i += 2) {
        if (i % 100 == 0)
            library += "==Group " + QByteArray::number(i / 100) + "==\n";
        library += "e" + QByteArray::number(i) + "\n";
    }
    machine.Library(library);
    for (int p = 0; p < 10; ++p)
        machine.Program(u".present" + platform::IntToText(p), u"present" + platform::IntToText(p) + u".exe", true);

    for (auto _ : state) {
        TForm_QLVO_GUI form;
        form.SetCurrentAppPath(machine.AppPath());
        for (int i = 0; i < 10000; ++i) {
            const std::u16string p = platform::IntToText(i % 10);
            if (i % 5 == 4)
                form.pro_cb_QV_Scan_ExeInfo(Ext(i), u"", 2);
            else if (i % 5 < 2)
                form.pro_cb_QV_Scan_ExeInfo(Ext(i), u"C:\\Apps\\present" + p + u".exe", 1);
            else
                form.pro_cb_QV_Scan_ExeInfo(
                    Ext(i), u"C:\\Apps\\missing" + platform::IntToText(i % state.range(0)) + u".exe", 1);
        }
        // The whole end-of-scan step: library load (5,000 entries),
        // classification, rows, list fill and count line.
        QElapsedTimer clock;
        clock.start();
        form.pro_cbsyn_QV_End();
        state.SetIterationTime(static_cast<double>(clock.nsecsElapsed()) / 1e9);
        if (form.HLB_QLVO_InvailExeName->Items().Count() < 10000)
            state.SkipWithError("report incomplete");
    }
    state.counters["target_ms"] = 50;
}
// Argument: how many distinct missing programs the 4,000 missing ones name.
BENCHMARK(BM_ReportFor10000Extensions)->Arg(10)->Arg(4000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// 2,000 extensions with the worker's 10 ms pause each: the wall time over
// 2,000 x 10 ms is what the hand-overs and repaints add.
void BM_ScanOf2000ExtensionsThroughTheWindow(benchmark::State& state)
{
    ScanMachine machine;
    for (int i = 0; i < 2000; ++i) {
        if (i % 4 == 0)
            machine.Broken(Ext(i));
        else
            machine.Program(Ext(i), u"p" + platform::IntToText(i % 4) + u".exe", i % 4 == 1);
    }
    machine.Library(kTestLibrary);
    scan::QLVO_Thread_Scan::SetExtensionPauseEnabled(true);
    double ratio = 0;
    for (auto _ : state) {
        TForm_QLVO_GUI form;
        form.show();
        form.SetCurrentAppPath(machine.AppPath());
        QElapsedTimer clock;
        clock.start();
        form.Bn_QLVO_StartScan->Click();
        // Sleep in the event loop as a user's session would, woken by the
        // hand-overs and now and then by a timer to see the worker's end.
        QTimer wake;
        wake.start(20);
        while (form.ScanRunning())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        state.SetIterationTime(seconds);
        ratio = seconds / (2000 * 0.010);
        if (form.RPC_QLVO_Step->ActivePage() != form.TS_QLVO_Step3)
            state.SkipWithError("no report");
    }
    state.counters["ratio_to_2000x10ms"] = ratio;
    state.counters["target_ratio"] = 1.05;
}
BENCHMARK(BM_ScanOf2000ExtensionsThroughTheWindow)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

// The same scan with nobody listening: what the worker and its pauses cost
// alone, so that the window's share can be told apart.
void BM_ScanOf2000ExtensionsWithoutWindow(benchmark::State& state)
{
    struct Silent : scan::ScanReceiver {
        void pro_cb_QV_Start() override {}
        void pro_cb_QV_Scan_ExeName(const std::u16string&) override {}
        void pro_cb_QV_Scan_ExeInfo(const std::u16string&, const std::u16string&, int) override {}
        void pro_cb_QV_End() override {}
    } silent;
    ScanMachine machine;
    for (int i = 0; i < 2000; ++i)
        machine.Broken(Ext(i));
    scan::QLVO_Thread_Scan::SetExtensionPauseEnabled(true);
    scan::ScanReceiver* previous = scan::func_ScanReceiver();
    scan::func_SetScanReceiver(&silent);
    double ratio = 0;
    for (auto _ : state) {
        auto* worker = new scan::QLVO_Thread_Scan();
        worker->mpu_dword_cb_QV_ExeInfo = &scan::cbgui_QV_ExeInfo;
        worker->mpu_dword_cb_QV_GetExeName = &scan::cbgui_QV_GetExeName;
        worker->mpu_dword_cb_QV_Start = &scan::cbgui_QV_Start;
        worker->mpu_dword_cb_QV_End = &scan::cbgui_QV_End;
        auto completion = worker->Completion();
        QElapsedTimer clock;
        clock.start();
        worker->Start();
        completion->Wait();
        const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        state.SetIterationTime(seconds);
        ratio = seconds / (2000 * 0.010);
    }
    scan::func_SetScanReceiver(previous);
    state.counters["ratio_to_2000x10ms"] = ratio;
}
BENCHMARK(BM_ScanOf2000ExtensionsWithoutWindow)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    SetMessageBoxHandler([](QWidget*, const QString&, const QString&, TMsgIcon) { return 1; });
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
