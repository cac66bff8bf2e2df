// The program: one window, run until it closes.

#include "app/QuelvoVersion.h"
#include "app/Unit_Form_QLV_GUI.h"
#include "app/Unit_QLV_MessageBox.h"
#include "markup/qt/QtSurface.h"
#include "widgets/TRzVersionInfo.h"

#include <QApplication>

#include <exception>
#include <memory>

#ifdef _WIN32
#include <windows.h>
#include <timeapi.h>
#else
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32
// 1 ms timer resolution for the life of the process, so that the worker's
// 10 ms pause per extension lasts close to 10 ms.
struct TimerResolution {
    TimerResolution() { timeBeginPeriod(1); }
    ~TimerResolution() { timeEndPeriod(1); }
    TimerResolution(const TimerResolution&) = delete;
    TimerResolution& operator=(const TimerResolution&) = delete;
};
const TimerResolution timerResolution;
#endif

// Errors that escape an event handler are shown, and the loop goes on.
class TApplication : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override
    {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& e) {
            quelvo::app::func_ShowError(activeWindow(), QString::fromUtf8(e.what()));
        }
        return false;
    }
};

}  // namespace

int main(int argc, char* argv[])
{
    // The embedded browser shares GL contexts with the window, and its
    // sandbox refuses to start as root.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
#ifndef _WIN32
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
#endif

    TApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quelvo"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quelvo"));
    quelvo::markup::RegisterMarkupFonts();
    quelvo::widgets::SetExecutableVersionReader(&quelvo::app::EmbeddedVersionData);

    auto window = std::make_unique<quelvo::app::TForm_QLVO_GUI>();
    window->show();
    return app.exec();
}
