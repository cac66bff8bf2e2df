// The program: one window, run until it closes.

#include "app/Unit_Form_QLV_GUI.h"
#include "app/Unit_QLV_MessageBox.h"
#include "frontend/qt/QtFrontEnd.h"
#include "frontend/qt/QuelvoVersion.h"
#include "markup/qt/QtSurface.h"
#include "widgets/TRzVersionInfo.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <exception>
#include <memory>

#include "platform/Target.h"
#include "platform/Text.h"
#include "platform/files/FileTargets.h"

#include <unistd.h>

namespace {

// Errors that escape an event handler are shown, and the loop goes on.
class TApplication : public QApplication {
public:
    using QApplication::QApplication;
    quelvo::frontend::TFrontEnd* frontEnd = nullptr;

    bool notify(QObject* receiver, QEvent* event) override
    {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& e) {
            if (frontEnd)
                quelvo::app::func_ShowError(*frontEnd, nullptr, quelvo::app::FromExceptionText(e.what()));
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
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");

    TApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quelvo"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quelvo"));
    quelvo::markup::RegisterMarkupFonts();
    quelvo::widgets::SetExecutableVersionReader(&quelvo::frontend::qt::EmbeddedVersionData);
    quelvo::frontend::qt::QtFrontEnd frontEnd;
    app.frontEnd = &frontEnd;

    // Without a registry of its own the program checks a Wine prefix or an
    // offline Windows installation. When none can be read, the scan runs on
    // an empty in-memory registry, so nothing is ever written.
    namespace qfiles = quelvo::platform::files;
    qfiles::TargetChoice choice = qfiles::ChooseTarget();
    if (choice.target) {
        quelvo::platform::SetActiveTarget(choice.target.get());
        std::fprintf(stderr, "Quelvo: checking %s\n",
                     quelvo::platform::ToUtf8(choice.target->Description()).c_str());
        if (!choice.notice.empty())
            std::fprintf(stderr, "Quelvo: %s\n", quelvo::platform::ToUtf8(choice.notice).c_str());
    } else {
        std::fprintf(stderr, "Quelvo: checking an empty in-memory registry. %s\n",
                     quelvo::platform::ToUtf8(choice.error).c_str());
    }

    auto window = std::make_unique<quelvo::app::TForm_QLVO_GUI>(frontEnd);
    window->Show();
    if (!choice.target || !choice.notice.empty()) {
        // Once, over the window, as soon as the loop runs.
        frontEnd.Post([&frontEnd, owner = window->Window(), text = choice.target ? choice.notice : choice.error] {
            quelvo::app::func_ShowMessage(frontEnd, owner, text);
        });
    }
    const int result = app.exec();
    window.reset();
    app.frontEnd = nullptr;
    quelvo::platform::SetActiveTarget(nullptr);
    return result;
}
