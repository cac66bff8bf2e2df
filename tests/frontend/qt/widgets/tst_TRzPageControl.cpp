#include "frontend/qt/widgets/TRzBmpButton.h"
#include "frontend/qt/widgets/TRzEdit.h"
#include "frontend/qt/widgets/TRzLabel.h"
#include "frontend/qt/widgets/TRzPageControl.h"

#include <QtTest>

#include <memory>

using namespace quelvo::widgets;

class TestPageControl : public QObject {
    Q_OBJECT

    std::unique_ptr<QWidget> window;
    QWidget* outside = nullptr;
    TRzPageControl* stack = nullptr;
    TRzTabSheet* first = nullptr;
    TRzTabSheet* second = nullptr;
    TRzTabSheet* empty = nullptr;
    TRzEdit* firstEdit = nullptr;
    TRzBmpButton* secondA = nullptr;
    TRzBmpButton* secondB = nullptr;
    int changes = 0;

private slots:
    void init()
    {
        window = std::make_unique<QWidget>();
        window->resize(300, 200);
        outside = new TRzBmpButton(window.get());
        stack = new TRzPageControl(window.get());
        stack->setGeometry(100, 0, 200, 200);
        first = new TRzTabSheet(stack);
        second = new TRzTabSheet(stack);
        empty = new TRzTabSheet(stack);
        firstEdit = new TRzEdit(first);
        new TRzLabel(second);
        secondA = new TRzBmpButton(second);
        secondB = new TRzBmpButton(second);
        // Tab order decides, not creation order.
        QWidget::setTabOrder(secondB, secondA);
        changes = 0;
        stack->OnChange = [this](QObject*) { ++changes; };
        stack->SetActivePage(first);
        window->show();
        QApplication::setActiveWindow(window.get());
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }
    void cleanup() { window.reset(); }

    void shouldKeepPagesInOrderAndShowOnlyTheActiveOne()
    {
        QCOMPARE(stack->PageCount(), 3);
        QCOMPARE(stack->Pages(1), second);
        QCOMPARE(empty->PageIndex(), 2);
        stack->SetActivePage(second);
        QCOMPARE(stack->ActivePage(), second);
        QCOMPARE(stack->ActivePageIndex(), 1);
        QVERIFY(second->isVisible());
        QVERIFY(!first->isVisible());
        QVERIFY(!empty->isVisible());
        QCOMPARE(second->geometry(), QRect(0, 0, 200, 200));
    }

    void shouldMoveFocusFromOldPageToFirstTabStopOfNewPage()
    {
        firstEdit->setFocus();
        QVERIFY(firstEdit->hasFocus());
        stack->SetActivePage(second);
        QVERIFY(secondB->hasFocus());
    }

    void shouldGiveFocusToTheNewPageItselfWhenItHasNoTabStop()
    {
        firstEdit->setFocus();
        stack->SetActivePage(empty);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(empty));
    }

    void shouldLeaveFocusOutsideTheStackWhereItIs()
    {
        outside->setFocus();
        stack->SetActivePage(second);
        QVERIFY(outside->hasFocus());
    }

    void shouldSkipDisabledControlsForTheFirstTabStop()
    {
        secondB->setEnabled(false);
        firstEdit->setFocus();
        stack->SetActivePage(second);
        QVERIFY(secondA->hasFocus());
    }

    void shouldIgnoreAPageOfAnotherStack()
    {
        TRzPageControl foreignStack(nullptr);
        auto* foreign = new TRzTabSheet(&foreignStack);
        const int before = changes;
        stack->SetActivePage(foreign);
        QCOMPARE(stack->ActivePage(), first);
        QVERIFY(first->isVisible());
        QCOMPARE(changes, before);
        stack->SetActivePage(nullptr);
        QCOMPARE(stack->ActivePage(), first);
    }

    void shouldChangeNothingForTheActivePage()
    {
        firstEdit->setFocus();
        const int before = changes;
        stack->SetActivePage(first);
        QCOMPARE(changes, before);
        QVERIFY(firstEdit->hasFocus());
    }

    void shouldNotLetPressesOnAPageReachTheParent()
    {
        int presses = 0;
        struct Counter : QObject {
            int* n;
            explicit Counter(int* c) : n(c) {}
            bool eventFilter(QObject*, QEvent* e) override
            {
                if (e->type() == QEvent::MouseButtonPress)
                    ++*n;
                return false;
            }
        } counter(&presses);
        window->installEventFilter(&counter);
        auto* label = new TRzLabel(first);
        label->show();
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(1, 1), label->mapToGlobal(QPointF(1, 1)),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(label, &press);
        QCOMPARE(presses, 0);
        window->removeEventFilter(&counter);
    }
};

QTEST_MAIN(TestPageControl)
#include "tst_TRzPageControl.moc"
