#include "BenchLoop.h"

#include "frontend/qt/QtFrontEnd.h"
#include "frontend/qt/markup/QtSurface.h"

#include <QApplication>
#include <QTimer>

#include <fstream>
#include <memory>
#include <string>

namespace quelvo::bench {

namespace {
std::unique_ptr<QApplication> g_app;
std::unique_ptr<frontend::qt::QtFrontEnd> g_frontEnd;
}  // namespace

void StartFrontEnd(int& argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    g_app = std::make_unique<QApplication>(argc, argv);
    markup::RegisterMarkupFonts();
    g_frontEnd = std::make_unique<frontend::qt::QtFrontEnd>();
}

void StopFrontEnd()
{
    g_frontEnd.reset();
    g_app.reset();
}

frontend::TFrontEnd& FrontEnd() { return *g_frontEnd; }

void SleepInLoopUntil(const std::function<bool()>& done)
{
    // Woken by the hand-overs and now and then by a timer to look again.
    QTimer wake;
    wake.start(20);
    while (!done())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

double ResidentMiB()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    return 0;
}

}  // namespace quelvo::bench
