#include "WidgetTestUtil.h"

#include "widgets/Colors.h"
#include "widgets/TRzBmpButton.h"

#include <QtTest>

#include <memory>
#include <vector>

using namespace quelvo::widgets;
using namespace quelvo::widgets::test;

Q_DECLARE_METATYPE(TButtonState)
Q_DECLARE_METATYPE(TRzBmpPicture)

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

    void shouldDrawThePictureTheStateTableNames_data()
    {
        QTest::addColumn<TButtonState>("state");
        QTest::addColumn<bool>("over");
        QTest::addColumn<bool>("focused");
        QTest::addColumn<int>("present");  // bit i: slot i holds a picture
        QTest::addColumn<TRzBmpPicture>("expected");
        const int up = 1, upFocused = 2, disabled = 4, down = 8, stayDown = 16, hot = 32;
        const int all = up | upFocused | disabled | down | stayDown | hot;
        QTest::newRow("up, over, hot present") << TButtonState::bsUp << true << true << all << TRzBmpPicture::Hot;
        QTest::newRow("up, over, no hot") << TButtonState::bsUp << true << false << up << TRzBmpPicture::Up;
        QTest::newRow("up, not focused") << TButtonState::bsUp << false << false << all << TRzBmpPicture::Up;
        QTest::newRow("up, focused, up-and-focused present") << TButtonState::bsUp << false << true << all
                                                             << TRzBmpPicture::UpAndFocused;
        QTest::newRow("up, focused, no up-and-focused") << TButtonState::bsUp << false << true << (up | hot)
                                                        << TRzBmpPicture::Up;
        QTest::newRow("down present") << TButtonState::bsDown << true << true << all << TRzBmpPicture::Down;
        QTest::newRow("down missing") << TButtonState::bsDown << false << false << up << TRzBmpPicture::Up;
        QTest::newRow("exclusive, stay-down") << TButtonState::bsExclusive << false << false << all
                                              << TRzBmpPicture::StayDown;
        QTest::newRow("exclusive, down only") << TButtonState::bsExclusive << false << false << (up | down)
                                              << TRzBmpPicture::Down;
        QTest::newRow("exclusive, up only") << TButtonState::bsExclusive << false << false << up
                                            << TRzBmpPicture::Up;
        QTest::newRow("disabled present, mouse over") << TButtonState::bsDisabled << true << false << all
                                                      << TRzBmpPicture::Disabled;
        QTest::newRow("disabled missing") << TButtonState::bsDisabled << false << false << (up | hot)
                                          << TRzBmpPicture::EmbossedUp;
    }
    void shouldDrawThePictureTheStateTableNames()
    {
        QFETCH(TButtonState, state);
        QFETCH(bool, over);
        QFETCH(bool, focused);
        QFETCH(int, present);
        QFETCH(TRzBmpPicture, expected);
        TRzBmpLook look;
        look.State = state;
        look.MouseOver = over;
        look.Focused = focused;
        for (int i = 0; i < 6; ++i)
            look.Present[static_cast<std::size_t>(i)] = (present >> i) & 1;
        QCOMPARE(PictureForState(look), expected);
        look.ShowFocus = false;
        if (expected == TRzBmpPicture::UpAndFocused)
            QCOMPARE(PictureForState(look), TRzBmpPicture::Up);
    }

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

    void shouldClickWhenReleasedInside()
    {
        Press(button, {5, 5});
        QCOMPARE(button->State(), TButtonState::bsDown);
        QCOMPARE(button->CurrentPicture(), TRzBmpPicture::Down);
        QVERIFY(button->Tracking());
        Release(button, {5, 5});
        QCOMPARE(button->State(), TButtonState::bsUp);
        QVERIFY(!button->Tracking());
        QCOMPARE(clicks, 1);
    }

    void shouldFireMouseDownBeforeTakingFocus()
    {
        Press(button, {1, 1});
        QCOMPARE(downs.size(), std::size_t(1));
        QVERIFY(!focusedAtMouseDown);
        QVERIFY(button->hasFocus());
    }

    void shouldNotClickAfterMovingOutAndReleasingOutside()
    {
        Press(button, {5, 5});
        Move(button, {60, 5});
        QCOMPARE(button->State(), TButtonState::bsUp);
        QCOMPARE(button->CurrentPicture(), TRzBmpPicture::Up);
        Release(button, {60, 5});
        QCOMPARE(clicks, 0);
        QVERIFY(!button->Tracking());
    }

    void shouldClickWhenMovedBackInBeforeRelease()
    {
        Press(button, {5, 5});
        Move(button, {-3, 5});
        QCOMPARE(button->State(), TButtonState::bsUp);
        Move(button, {6, 6});
        QCOMPARE(button->State(), TButtonState::bsDown);
        QCOMPARE(button->CurrentPicture(), TRzBmpPicture::Down);
        Release(button, {6, 6});
        QCOMPARE(clicks, 1);
    }

    void shouldNotClickJustOutsideTheEdges_data()
    {
        QTest::addColumn<QPoint>("release");
        QTest::addColumn<int>("expectedClicks");
        QTest::newRow("row just below") << QPoint(5, 20) << 0;
        QTest::newRow("column just right") << QPoint(40, 5) << 0;
        QTest::newRow("last row") << QPoint(5, 19) << 1;
        QTest::newRow("last column") << QPoint(39, 5) << 1;
        QTest::newRow("column just left") << QPoint(-1, 5) << 0;
        QTest::newRow("row just above") << QPoint(5, -1) << 0;
    }
    void shouldNotClickJustOutsideTheEdges()
    {
        QFETCH(QPoint, release);
        QFETCH(int, expectedClicks);
        Press(button, {5, 5});
        Move(button, release);
        Release(button, release);
        QCOMPARE(clicks, expectedClicks);
    }

    void shouldTakeFocusButNeverPressOnRightOrMiddleButton_data()
    {
        QTest::addColumn<Qt::MouseButton>("which");
        QTest::newRow("right") << Qt::RightButton;
        QTest::newRow("middle") << Qt::MiddleButton;
    }
    void shouldTakeFocusButNeverPressOnRightOrMiddleButton()
    {
        QFETCH(Qt::MouseButton, which);
        Press(button, {5, 5}, which);
        QCOMPARE(downs, std::vector<Qt::MouseButton>{which});
        QVERIFY(button->hasFocus());
        QCOMPARE(button->State(), TButtonState::bsUp);
        QVERIFY(!button->Tracking());
        Release(button, {5, 5}, which);
        QCOMPARE(clicks, 0);
    }

    void shouldEndALeftPressOnTheReleaseOfAnyButton()
    {
        Press(button, {5, 5});
        Release(button, {5, 5}, Qt::RightButton);
        QVERIFY(!button->Tracking());
        QCOMPARE(clicks, 1);
    }

    void shouldClickTwiceOnADoubleClick()
    {
        Press(button, {5, 5});
        Release(button, {5, 5});
        SendMouse(button, QEvent::MouseButtonDblClick, Qt::LeftButton, {5, 5}, Qt::LeftButton);
        Release(button, {5, 5});
        QCOMPARE(clicks, 2);
        QCOMPARE(downs.size(), std::size_t(2));
    }

    void shouldClickAtOnceOnEnter()
    {
        button->setFocus();
        Key(button, QEvent::KeyPress, Qt::Key_Return);
        QCOMPARE(clicks, 1);
        QCOMPARE(button->State(), TButtonState::bsUp);
        Key(button, QEvent::KeyPress, Qt::Key_Enter);
        QCOMPARE(clicks, 2);
    }

    void shouldHoldDownOnSpaceUntilTheKeyIsReleased()
    {
        button->setFocus();
        Key(button, QEvent::KeyPress, Qt::Key_Space);
        QCOMPARE(button->State(), TButtonState::bsDown);
        QCOMPARE(button->CurrentPicture(), TRzBmpPicture::Down);
        // Auto-repeat of a held key is not the release.
        Key(button, QEvent::KeyRelease, Qt::Key_Space, true);
        Key(button, QEvent::KeyPress, Qt::Key_Space, true);
        QCOMPARE(clicks, 0);
        Key(button, QEvent::KeyRelease, Qt::Key_Space);
        QCOMPARE(button->State(), TButtonState::bsUp);
        QCOMPARE(clicks, 1);
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
