// Figures of the window on the front end it is built with, printed as
// "name value" lines so that a script can set the two front ends side by
// side (bench/app/window-figures.sh): the time from start to the first shown
// window, the memory after it, and the window's share of a scan with the
// worker's 10 ms pause per extension.
//   window_figures [extensions]

#include "BenchLoop.h"
#include "ScanMachine.h"

#include "app/Unit_Form_QLV_GUI.h"
#include "frontend/Services.h"
#include "platform/Text.h"
#include "scan/Unit_QLV_Thread.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

using namespace quelvo;
using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

struct Silent : scan::ScanReceiver {
    void pro_cb_QV_Start() override {}
    void pro_cb_QV_Scan_ExeName(const std::u16string&) override {}
    void pro_cb_QV_Scan_ExeInfo(const std::u16string&, const std::u16string&, int) override {}
    void pro_cb_QV_End() override {}
};

double ScanWithoutWindow()
{
    Silent silent;
    scan::ScanReceiver* previous = scan::func_ScanReceiver();
    scan::func_SetScanReceiver(&silent);
    auto* worker = new scan::QLVO_Thread_Scan();
    worker->mpu_dword_cb_QV_ExeInfo = &scan::cbgui_QV_ExeInfo;
    worker->mpu_dword_cb_QV_GetExeName = &scan::cbgui_QV_GetExeName;
    worker->mpu_dword_cb_QV_Start = &scan::cbgui_QV_Start;
    worker->mpu_dword_cb_QV_End = &scan::cbgui_QV_End;
    auto completion = worker->Completion();
    const auto started = Clock::now();
    worker->Start();
    completion->Wait();
    const double seconds = Seconds(started);
    scan::func_SetScanReceiver(previous);
    return seconds;
}

}  // namespace

int main(int argc, char** argv)
{
    const auto processStart = Clock::now();
    bench::StartFrontEnd(argc, argv);
    frontend::SetMessageBoxHandler([](const std::u16string&, const std::u16string&, frontend::TMsgIcon) { return 1; });
    const int extensions = argc > 1 ? std::max(10, std::atoi(argv[1])) : 500;

    // Start to the first shown window, the first time in this process.
    {
        app::TForm_QLVO_GUI form(bench::FrontEnd());
        form.Show();
        bench::SleepInLoopUntil([&] { return form.Window()->Showing(); });
        std::printf("first_window_ms %.1f\n", Seconds(processStart) * 1000);
        std::printf("resident_mib_after_start %.1f\n", bench::ResidentMiB());
    }

    app::test::ScanMachine machine;
    for (int i = 0; i < extensions; ++i) {
        const std::u16string ext = u".e" + platform::IntToText(i);
        if (i % 4 == 0)
            machine.Broken(ext);
        else
            machine.Program(ext, u"p" + platform::IntToText(i % 4) + u".exe", i % 4 == 1);
    }
    machine.Library(app::test::kTestLibrary);
    scan::QLVO_Thread_Scan::SetExtensionPauseEnabled(true);

    const double alone = ScanWithoutWindow();
    double windowed = 0;
    {
        app::TForm_QLVO_GUI form(bench::FrontEnd());
        form.Show();
        bench::SleepInLoopUntil([&] { return form.Window()->Showing(); });
        form.SetCurrentAppPath(machine.AppPath());
        const auto started = Clock::now();
        form.Bn_QLVO_StartScan->Click();
        bench::SleepInLoopUntil([&] { return !form.ScanRunning(); });
        windowed = Seconds(started);
        if (form.RPC_QLVO_Step->ActivePage() != form.TS_QLVO_Step3)
            std::printf("error no_report\n");
    }
    const double pauses = extensions * 0.010;
    std::printf("extensions %d\n", extensions);
    std::printf("scan_ratio_to_pauses_without_window %.3f\n", alone / pauses);
    std::printf("scan_ratio_to_pauses_with_window %.3f\n", windowed / pauses);
    std::printf("window_share_ms_per_extension %.3f\n", (windowed - alone) * 1000 / extensions);
    bench::StopFrontEnd();
    return 0;
}
