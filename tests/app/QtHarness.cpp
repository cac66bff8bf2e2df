// The form's tests on the Qt front end.

#include "FormHarness.h"

#include "app/Unit_Form_QLV_GUI.h"
#include "frontend/qt/QtFrontEnd.h"
#include "frontend/qt/markup/HTMLabel.h"
#include "frontend/qt/markup/QtSurface.h"
#include "frontend/qt/widgets/Events.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QTest>

#include <gtest/gtest.h>

#include <unistd.h>

namespace quelvo::app::test {

namespace {

void Send(QWidget* w, QEvent::Type type, Qt::MouseButton button, QPoint at, Qt::MouseButtons held)
{
    const QPointF local(at);
    QMouseEvent e(type, local, w->mapToGlobal(local), button, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

class QtHarness : public FormHarness {
public:
    frontend::TFrontEnd& FrontEnd() override { return m_frontEnd; }

    bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) override
    {
        QElapsedTimer clock;
        clock.start();
        while (!done()) {
            if (clock.elapsed() > timeout.count())
                return done();
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            QTest::qSleep(1);
        }
        return true;
    }

    void Wait(std::chrono::milliseconds time) override { QTest::qWait(static_cast<int>(time.count())); }

    bool ShowAndWait(TForm_QLVO_GUI& form) override
    {
        form.Show();
        return QTest::qWaitForWindowExposed(frontend::qt::WidgetOf(form.Window()));
    }

    void Press(frontend::TControl* control, int x, int y, frontend::TMouseButton button) override
    {
        const Qt::MouseButton qtButton = widgets::ToQtButton(button);
        Send(frontend::qt::WidgetOf(control), QEvent::MouseButtonPress, qtButton, {x, y}, qtButton);
    }
    void Release(frontend::TControl* control, int x, int y, frontend::TMouseButton button) override
    {
        Send(frontend::qt::WidgetOf(control), QEvent::MouseButtonRelease, widgets::ToQtButton(button), {x, y},
             Qt::NoButton);
    }
    void DoublePress(frontend::TControl* control, int x, int y) override
    {
        Send(frontend::qt::WidgetOf(control), QEvent::MouseButtonDblClick, Qt::LeftButton, {x, y}, Qt::LeftButton);
    }
    bool SaveWindowImage(TForm_QLVO_GUI& form, const std::string& pathWithoutExtension) override
    {
        QCoreApplication::processEvents();
        return frontend::qt::WidgetOf(form.Window())->grab().save(QString::fromStdString(pathWithoutExtension + ".png"));
    }
    std::u16string LabelAnchorAt(frontend::TMarkupLabel* label, int x, int y) override
    {
        auto* widget = static_cast<markup::THTMLabel*>(frontend::qt::WidgetOf(label));
        return widget->AnchorAt({x, y}).toStdU16String();
    }

private:
    frontend::qt::QtFrontEnd m_frontEnd;
};

QtHarness* g_harness = nullptr;

}  // namespace

FormHarness& Harness() { return *g_harness; }

}  // namespace quelvo::app::test

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The lookup page's browser refuses to start its sandbox as root.
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Quelvo"));
    quelvo::markup::RegisterMarkupFonts();
    quelvo::app::test::QtHarness harness;
    quelvo::app::test::g_harness = &harness;
    const int result = RUN_ALL_TESTS();
    quelvo::app::test::g_harness = nullptr;
    return result;
}
