// The program: one window, run until it closes.

#include "app/QuelvoVersion.h"
#include "app/Unit_Form_QLV_GUI.h"
#include "app/Unit_QLV_MessageBox.h"
#include "markup/qt/QtSurface.h"
#include "widgets/TRzVersionInfo.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <exception>
#include <memory>

#ifdef _WIN32
#include <windows.h>
#include <timeapi.h>
#else
#include "platform/Target.h"
#include "platform/Text.h"
#include "platform/files/FileTargets.h"

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

#ifdef _WIN32
    std::fputs("Quelvo: checking this machine's registry\n", stderr);
#else
    // Without a registry of its own the program checks a Wine prefix or an
    // offline Windows installation. When none can be read, the scan runs on
    // an empty in-memory registry, so nothing is ever written.
    namespace qfiles = quelvo::platform::files;
    qfiles::TargetChoice choice = qfiles::ChooseTarget();
    if (choice.target) {
        quelvo::platform::SetActiveTarget(choice.target.get());
        std::fprintf(stderr, "Quelvo: checking %s\n",
                     quelvo::platform::ToUtf8(choice.target->Description()).c_str());
    } else {
        std::fprintf(stderr, "Quelvo: checking an empty in-memory registry. %s\n",
                     quelvo::platform::ToUtf8(choice.error).c_str());
    }
#endif

    auto window = std::make_unique<quelvo::app::TForm_QLVO_GUI>();
    window->show();
#ifndef _WIN32
    if (!choice.target) {
        // Once, over the window, as soon as the loop runs.
        const QString text = QString::fromStdU16String(choice.error);
        QTimer::singleShot(0, window.get(), [owner = window.get(), text] {
            quelvo::app::func_ShowMessage(owner, text);
        });
    }
#endif
    const int result = app.exec();
    window.reset();
#ifndef _WIN32
    quelvo::platform::SetActiveTarget(nullptr);
#endif
    return result;
}
