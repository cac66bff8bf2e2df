#include "WidgetTestUtil.h"

#include "frontend/qt/widgets/Colors.h"
#include "frontend/qt/widgets/TRzBmpButton.h"

#include <QDialog>
#include <QtTest>

#include <memory>
#include <vector>

using namespace quelvo::widgets;
using namespace quelvo::widgets::test;


namespace {

const QColor kUp(200, 0, 0);
const QColor kHot(0, 200, 0);
const QColor kDown(0, 0, 200);
const QColor kDisabled(90, 90, 90);
const QColor kBehind(255, 255, 0);

}  // namespace

class TestBmpButton : public QObject {
    Q_OBJECT

    std::unique_ptr<QWidget> window;
    TRzBmpButton* button = nullptr;
    QWidget* other = nullptr;
    int clicks = 0;
    std::vector<Qt::MouseButton> downs;
    bool focusedAtMouseDown = true;

private slots:
    void init()
    {
        window = std::make_unique<QWidget>();
        window->resize(200, 120);
        QPalette pal;
        pal.setColor(QPalette::Window, kBehind);
        window->setPalette(pal);
        window->setAutoFillBackground(true);
        other = new QWidget(window.get());
        other->setFocusPolicy(Qt::StrongFocus);
        other->setGeometry(0, 0, 10, 10);
        button = new TRzBmpButton(window.get());
        button->move(50, 40);
        button->SetBitmap(TRzBmpSlot::Up, Solid({40, 20}, kUp));
        button->SetBitmap(TRzBmpSlot::Hot, Solid({40, 20}, kHot));
        button->SetBitmap(TRzBmpSlot::Down, Solid({40, 20}, kDown));
        clicks = 0;
        downs.clear();
        button->OnClick = [this](QObject* sender) {
            QCOMPARE(sender, button);
            ++clicks;
        };
        button->OnMouseDown = [this](QObject*, Qt::MouseButton b, Qt::KeyboardModifiers, int, int) {
            downs.push_back(b);
            focusedAtMouseDown = button->hasFocus();
        };
        window->show();
        QApplication::setActiveWindow(window.get());
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        other->setFocus();
    }
    void cleanup() { window.reset(); }

    void shouldTakeTheSizeOfItsUpPicture()
    {
        TRzBmpButton fresh;
        QCOMPARE(fresh.size(), QSize(80, 30));
        fresh.SetBitmap(TRzBmpSlot::Down, Solid({10, 10}, kDown));
        QCOMPARE(fresh.size(), QSize(80, 30));
        fresh.SetBitmap(TRzBmpSlot::Up, Solid({158, 47}, kUp));
        QCOMPARE(fresh.size(), QSize(158, 47));
    }

    void shouldLetTheParentShowThroughTheTransparentColour()
    {
        QImage up = Solid({40, 20}, kUp);
        for (int x = 0; x < 10; ++x)
            up.setPixelColor(x, 0, clOlive());
        button->SetBitmap(TRzBmpSlot::Up, up);
        window->repaint();
        const QImage shot = window->grab().toImage();
        QCOMPARE(shot.pixelColor(50 + 5, 40).rgb(), kBehind.rgb());
        QCOMPARE(shot.pixelColor(50 + 15, 40).rgb(), kUp.rgb());
        QCOMPARE(shot.pixelColor(50 + 5, 41).rgb(), kUp.rgb());
    }

    // The states and the click rule are the shared behaviour's
    // (tests/frontend/ButtonBehaviourTest.cpp); here: Qt's events reach it.
    void shouldPressMoveAndClickThroughQtsMouseEvents()
    {
        Press(button, {5, 5});
        QCOMPARE(downs, std::vector<Qt::MouseButton>{Qt::LeftButton});
        QVERIFY(!focusedAtMouseDown);
        QVERIFY(button->hasFocus());
        QCOMPARE(button->CurrentPicture(), TRzBmpPicture::Down);
        Move(button, {40, 5});  // the column just right of the 40-pixel button
        QCOMPARE(button->State(), TButtonState::bsUp);
        Move(button, {39, 19});
        QCOMPARE(button->State(), TButtonState::bsDown);
        Release(button, {39, 19});
        QCOMPARE(clicks, 1);
        QVERIFY(!button->Tracking());

        // The second press of a double click is a press.
        SendMouse(button, QEvent::MouseButtonDblClick, Qt::LeftButton, {5, 5}, Qt::LeftButton);
        Release(button, {5, 5});
        QCOMPARE(clicks, 2);

        // Other buttons reach the mouse-down event as themselves.
        Press(button, {5, 5}, Qt::RightButton);
        Release(button, {5, 5}, Qt::RightButton);
        QCOMPARE(downs.back(), Qt::RightButton);
        QCOMPARE(clicks, 2);
    }

    void shouldTakeEnterAndSpaceAndEndSpaceWhenTheFocusLeaves()
    {
        button->setFocus();
        Key(button, QEvent::KeyPress, Qt::Key_Return);
        Key(button, QEvent::KeyPress, Qt::Key_Enter);
        QCOMPARE(clicks, 2);

        Key(button, QEvent::KeyPress, Qt::Key_Space);
        QCOMPARE(button->CurrentPicture(), TRzBmpPicture::Down);
        // Auto-repeat of a held key is not the release.
        Key(button, QEvent::KeyRelease, Qt::Key_Space, true);
        Key(button, QEvent::KeyPress, Qt::Key_Space, true);
        QCOMPARE(clicks, 2);
        Key(button, QEvent::KeyRelease, Qt::Key_Space);
        QCOMPARE(clicks, 3);

        Key(button, QEvent::KeyPress, Qt::Key_Space);
        other->setFocus();
        QVERIFY(!button->Tracking());
        QCOMPARE(button->State(), TButtonState::bsUp);
        Key(button, QEvent::KeyRelease, Qt::Key_Space);
        QCOMPARE(clicks, 3);
    }

    void shouldShowHotOnlyWhileTheMouseIsOver()
    {
        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(55, 45));
        QApplication::sendEvent(button, &enter);
        QCOMPARE(button->CurrentPicture(), TRzBmpPicture::Hot);
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(button, &leave);
        QCOMPARE(button->CurrentPicture(), TRzBmpPicture::Up);
    }

    void shouldHandItsModalResultToTheDialogItClicksIn()
    {
        QDialog dialog;
        auto* inDialog = new TRzBmpButton(&dialog);
        inDialog->SetModalResult(QDialog::Accepted);
        dialog.setResult(QDialog::Rejected);
        inDialog->Click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }

    void shouldShowDisabledPictureAndSwallowInputWhenDisabled()
    {
        button->SetBitmap(TRzBmpSlot::Disabled, Solid({40, 20}, kDisabled));
        int windowPresses = 0;
        struct Counter : QObject {
            int* n;
            explicit Counter(int* c) : n(c) {}
            bool eventFilter(QObject*, QEvent* e) override
            {
                if (e->type() == QEvent::MouseButtonPress)
                    ++*n;
                return false;
            }
        } counter(&windowPresses);
        window->installEventFilter(&counter);

        button->setEnabled(false);
        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(55, 45));
        QApplication::sendEvent(button, &enter);
        QCOMPARE(button->State(), TButtonState::bsDisabled);
        QCOMPARE(button->CurrentPicture(), TRzBmpPicture::Disabled);
        Press(button, {5, 5});
        Release(button, {5, 5});
        QCOMPARE(clicks, 0);
        QVERIFY(downs.empty());
        QCOMPARE(windowPresses, 0);

        button->setEnabled(true);
        QCOMPARE(button->State(), TButtonState::bsUp);
        window->removeEventFilter(&counter);
    }

    void shouldEndAPressInProgressWhenDisabled()
    {
        Press(button, {5, 5});
        button->setEnabled(false);
        QVERIFY(!button->Tracking());
        button->setEnabled(true);
        Release(button, {5, 5});
        QCOMPARE(clicks, 0);
        QCOMPARE(button->State(), TButtonState::bsUp);
    }

    void shouldMaskOnlyTheExactTransparentColour()
    {
        QImage picture(3, 1, QImage::Format_RGB32);
        picture.setPixelColor(0, 0, QColor(128, 128, 0));
        picture.setPixelColor(1, 0, QColor(128, 128, 1));
        picture.setPixelColor(2, 0, QColor(127, 128, 0));
        const QImage masked = MaskOutColour(picture, clOlive());
        QCOMPARE(qAlpha(masked.pixel(0, 0)), 0);
        QCOMPARE(qAlpha(masked.pixel(1, 0)), 255);
        QCOMPARE(qAlpha(masked.pixel(2, 0)), 255);
    }
};

QTEST_MAIN(TestBmpButton)
#include "tst_TRzBmpButton.moc"
