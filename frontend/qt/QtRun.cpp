// The run function of the Qt front end: the application object, the fonts,
// the front end, the program's window and the event loop.

#include "frontend/Program.h"
#include "frontend/qt/QtFrontEnd.h"
#include "frontend/qt/QuelvoVersion.h"
#include "frontend/qt/markup/QtSurface.h"
#include "frontend/qt/widgets/TRzVersionInfo.h"

#include "platform/Text.h"

#include <QApplication>

#include <exception>
#include <memory>

#include <unistd.h>

namespace quelvo::frontend {

namespace {

// Errors that escape an event handler are shown, and the loop goes on.
class TApplication : public QApplication {
public:
    TApplication(int& argc, char** argv, const TProgram& program) : QApplication(argc, argv), m_program(program) {}
    TFrontEnd* frontEnd = nullptr;

    bool notify(QObject* receiver, QEvent* event) override
    {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& e) {
            if (frontEnd && m_program.ShowError)
                m_program.ShowError(*frontEnd, platform::FromUtf8(e.what()));
        }
        return false;
    }

private:
    const TProgram& m_program;
};

}  // namespace

int RunProgram(int argc, char* argv[], const TProgram& program)
{
    // The embedded browser shares GL contexts with the window, and its
    // sandbox refuses to start as root.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");

    TApplication app(argc, argv, program);
    QApplication::setApplicationName(QStringLiteral("Quelvo"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quelvo"));
    markup::RegisterMarkupFonts();
    widgets::SetExecutableVersionReader(&qt::EmbeddedVersionData);
    qt::QtFrontEnd frontEnd;
    app.frontEnd = &frontEnd;

    std::shared_ptr<void> running = program.Start(frontEnd);
    const int result = app.exec();
    running.reset();
    app.frontEnd = nullptr;
    return result;
}

}  // namespace quelvo::frontend
