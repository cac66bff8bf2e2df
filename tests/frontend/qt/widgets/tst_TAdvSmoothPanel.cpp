#include "WidgetTestUtil.h"

#include "frontend/qt/widgets/Colors.h"
#include "frontend/qt/widgets/TAdvSmoothPanel.h"
#include "frontend/qt/widgets/TRzLabel.h"
#include "frontend/qt/widgets/TRzPanel.h"

#include <QtTest>

#include <memory>
#include <vector>

using namespace quelvo::widgets;
using namespace quelvo::widgets::test;

class TestSmoothPanel : public QObject {
    Q_OBJECT

    std::unique_ptr<QWidget> window;
    TAdvSmoothPanel* panel = nullptr;
    std::vector<Qt::MouseButton> downs;

private slots:
    void init()
    {
        window = std::make_unique<QWidget>();
        QPalette pal;
        pal.setColor(QPalette::Window, clSkyBlue());
        window->setPalette(pal);
        panel = new TAdvSmoothPanel(window.get());
        panel->setGeometry(0, 0, 20, 10);
        QImage fill(20, 10, QImage::Format_ARGB32);
        fill.fill(QColor(255, 255, 255));
        fill.setPixelColor(0, 0, QColor(0, 0, 0, 0));
        fill.setPixelColor(1, 0, QColor(0, 0, 0, 128));
        panel->SetFill(fill);
        downs.clear();
        panel->OnMouseDown = [this](QObject*, Qt::MouseButton b, Qt::KeyboardModifiers, int, int) {
            downs.push_back(b);
        };
    }
    void cleanup() { window.reset(); }

    void shouldShowTheParentColourWhereTheFillIsTransparent()
    {
        const QImage out = panel->Composed();
        QCOMPARE(out.pixelColor(0, 0), clSkyBlue());
        QCOMPARE(out.pixelColor(5, 5), QColor(255, 255, 255));
        const QColor half = out.pixelColor(1, 0);
        QVERIFY(qAbs(half.red() - 166 / 2) <= 2);
        QVERIFY(qAbs(half.blue() - 240 / 2) <= 2);
    }

    void shouldRebuildTheCacheOnlyWhenOutOfDate()
    {
        panel->Composed();
        panel->Composed();
        QCOMPARE(panel->CacheBuilds(), 1);
        panel->SetCaption(QString());  // unchanged
        panel->Composed();
        QCOMPARE(panel->CacheBuilds(), 1);
        panel->resize(30, 10);
        panel->Composed();
        QCOMPARE(panel->CacheBuilds(), 2);
        panel->SetTransparent(false);
        QCOMPARE(panel->Composed().pixelColor(0, 0).alpha(), 0);
        QCOMPARE(panel->CacheBuilds(), 3);
    }

    void shouldReportEveryButtonPressedOnItsOwnSurface()
    {
        Press(panel, {3, 3}, Qt::LeftButton);
        Press(panel, {3, 3}, Qt::RightButton);
        Press(panel, {3, 3}, Qt::MiddleButton);
        QCOMPARE(downs, (std::vector<Qt::MouseButton>{Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}));
    }

    void shouldNotReportPressesOnAChildContainer()
    {
        auto* inner = new TRzPanel(panel);
        inner->setGeometry(5, 5, 10, 5);
        auto* label = new TRzLabel(inner);
        Press(label, {1, 1});
        Press(inner, {1, 1});
        QVERIFY(downs.empty());
    }
};

QTEST_MAIN(TestSmoothPanel)
#include "tst_TAdvSmoothPanel.moc"
