// The bitmap button's states and input, once for both front ends: a fake
// host stands for the window (focus, capture, size, repaints).

#include "frontend/ButtonBehaviour.h"

#include <gtest/gtest.h>

#include <memory>
#include <tuple>
#include <vector>

namespace quelvo::frontend {
namespace {

constexpr std::uint32_t kShift = ssShift | ssCtrl;

// A 40 x 20 button's window. Giving the mouse back reports the capture lost,
// as Windows does.
class FakeHost : public TControlHost {
public:
    void Repaint() override { ++repaints; }
    void CaptureMouse() override { captured = true; }
    void ReleaseMouse() override
    {
        captured = false;
        if (button)
            button->CaptureLost();
    }
    bool HasFocus() const override { return focused; }
    void TakeFocus() override
    {
        focused = true;
        if (button)
            button->FocusIn();
    }
    bool IsVisible() const override { return visible; }
    int Width() const override { return 40; }
    int Height() const override { return 20; }
    void SetModalResult(int result) override { modalResults.push_back(result); }

    TButtonBehaviour* button = nullptr;
    int repaints = 0;
    bool captured = false;
    bool focused = false;
    bool visible = true;
    std::vector<int> modalResults;
};

class ButtonBehaviourTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        button = std::make_unique<TButtonBehaviour>(host);
        host.button = button.get();
        // Up, Hot and Down as on every button of the window.
        button->SetPresent(TBmpSlot::Up, true);
        button->SetPresent(TBmpSlot::Hot, true);
        button->SetPresent(TBmpSlot::Down, true);
        button->OnClick = [this] { ++clicks; };
        button->OnMouseDown = [this](TMouseButton b, std::uint32_t shift, int x, int y) {
            downs.push_back({b, shift, x, y});
            focusedAtMouseDown = host.focused;
        };
    }
    void Press(int x = 5, int y = 5, TMouseButton which = TMouseButton::mbLeft) { button->MouseDown(which, 0, x, y); }
    void FocusLost()
    {
        host.focused = false;
        button->FocusOut();
    }

    FakeHost host;
    std::unique_ptr<TButtonBehaviour> button;
    int clicks = 0;
    std::vector<std::tuple<TMouseButton, std::uint32_t, int, int>> downs;
    bool focusedAtMouseDown = true;
};

TEST(ButtonPicture, shouldFollowTheStateTable)
{
    const int up = 1, upFocused = 2, disabled = 4, down = 8, stayDown = 16, hot = 32;
    const int all = up | upFocused | disabled | down | stayDown | hot;
    struct Row {
        TButtonState state;
        bool over, focused;
        int present;
        TButtonPicture expected;
    };
    const Row rows[] = {
        {TButtonState::bsUp, true, true, all, TButtonPicture::Hot},
        {TButtonState::bsUp, true, false, up, TButtonPicture::Up},
        {TButtonState::bsUp, false, false, all, TButtonPicture::Up},
        {TButtonState::bsUp, false, true, all, TButtonPicture::UpAndFocused},
        {TButtonState::bsUp, false, true, up | hot, TButtonPicture::Up},
        {TButtonState::bsDown, true, true, all, TButtonPicture::Down},
        {TButtonState::bsDown, false, false, up, TButtonPicture::Up},
        {TButtonState::bsExclusive, false, false, all, TButtonPicture::StayDown},
        {TButtonState::bsExclusive, false, false, up | down, TButtonPicture::Down},
        {TButtonState::bsExclusive, false, false, up, TButtonPicture::Up},
        {TButtonState::bsDisabled, true, false, all, TButtonPicture::Disabled},
        {TButtonState::bsDisabled, false, false, up | hot, TButtonPicture::EmbossedUp},
    };
    for (const Row& row : rows) {
        TBmpLook look;
        look.State = row.state;
        look.MouseOver = row.over;
        look.Focused = row.focused;
        for (std::size_t i = 0; i < kBmpSlotCount; ++i)
            look.Present[i] = (row.present >> i) & 1;
        EXPECT_EQ(PictureForState(look), row.expected) << static_cast<int>(row.state) << row.over << row.focused;
        // Without the focus display the focused picture is never chosen.
        look.ShowFocus = false;
        if (row.expected == TButtonPicture::UpAndFocused) {
            EXPECT_EQ(PictureForState(look), TButtonPicture::Up);
        }
    }
}

TEST_F(ButtonBehaviourTest, shouldFireMouseDownFirstThenTakeTheFocusAndShowDown)
{
    button->MouseDown(TMouseButton::mbLeft, kShift, 3, 4);
    ASSERT_EQ(downs.size(), 1u);
    EXPECT_EQ(downs[0], std::make_tuple(TMouseButton::mbLeft, kShift, 3, 4));
    EXPECT_FALSE(focusedAtMouseDown);
    EXPECT_TRUE(host.focused);
    EXPECT_TRUE(host.captured);
    EXPECT_EQ(button->State(), TButtonState::bsDown);
    EXPECT_EQ(button->CurrentPicture(), TButtonPicture::Down);
    EXPECT_TRUE(button->Tracking());
    EXPECT_EQ(clicks, 0);

    button->MouseUp(3, 4);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(button->State(), TButtonState::bsUp);
    EXPECT_FALSE(button->Tracking());
    EXPECT_FALSE(host.captured);
}

TEST_F(ButtonBehaviourTest, shouldNeitherFocusNorPressAHiddenButton)
{
    host.visible = false;
    Press();
    EXPECT_EQ(downs.size(), 1u);
    EXPECT_FALSE(host.focused);
    EXPECT_FALSE(button->Tracking());
    button->MouseUp(5, 5);
    EXPECT_EQ(clicks, 0);
}

TEST_F(ButtonBehaviourTest, shouldShowUpWhenMovedOutAndNotClickWhenReleasedOutside)
{
    Press();
    button->MouseMove(40, 5);  // the column just right of the button
    EXPECT_EQ(button->State(), TButtonState::bsUp);
    EXPECT_EQ(button->CurrentPicture(), TButtonPicture::Up);
    button->MouseUp(40, 5);
    EXPECT_EQ(clicks, 0);
    EXPECT_FALSE(button->Tracking());
    EXPECT_FALSE(host.captured);
}

TEST_F(ButtonBehaviourTest, shouldShowDownAgainAndClickWhenMovedBackInBeforeTheRelease)
{
    Press();
    button->MouseMove(5, -1);
    EXPECT_EQ(button->State(), TButtonState::bsUp);
    button->MouseMove(39, 19);
    EXPECT_EQ(button->State(), TButtonState::bsDown);
    button->MouseUp(39, 19);
    EXPECT_EQ(clicks, 1);
}

TEST_F(ButtonBehaviourTest, shouldClickOnlyOnAReleaseInsideTheEdges)
{
    struct Case {
        int x, y, clicks;
    };
    const Case cases[] = {{5, 20, 0}, {40, 5, 0}, {-1, 5, 0}, {5, -1, 0}, {5, 19, 1}, {39, 5, 1}, {0, 0, 1}};
    for (const Case& c : cases) {
        clicks = 0;
        Press();
        button->MouseMove(c.x, c.y);
        button->MouseUp(c.x, c.y);
        EXPECT_EQ(clicks, c.clicks) << c.x << "," << c.y;
    }
}

TEST_F(ButtonBehaviourTest, shouldTakeTheFocusButNeverPressOnRightAndMiddlePresses)
{
    for (TMouseButton which : {TMouseButton::mbRight, TMouseButton::mbMiddle}) {
        FocusLost();
        Press(5, 5, which);
        EXPECT_TRUE(host.focused);
        EXPECT_FALSE(button->Tracking());
        EXPECT_EQ(button->State(), TButtonState::bsUp);
        EXPECT_FALSE(host.captured);
        button->MouseUp(5, 5);
    }
    EXPECT_EQ(downs.size(), 2u);
    EXPECT_EQ(clicks, 0);
}

TEST_F(ButtonBehaviourTest, shouldTakeADoubleClickForTwoPressesAndClickTwice)
{
    Press();
    button->MouseUp(5, 5);
    Press();  // the second press of the double click
    button->MouseUp(5, 5);
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(downs.size(), 2u);
}

TEST_F(ButtonBehaviourTest, shouldEndAMousePressWithoutAClickWhenTheCaptureIsLost)
{
    Press();
    button->CaptureLost();
    EXPECT_FALSE(button->Tracking());
    EXPECT_EQ(button->State(), TButtonState::bsUp);
    button->MouseUp(5, 5);
    EXPECT_EQ(clicks, 0);
}

TEST_F(ButtonBehaviourTest, shouldClickAtOnceOnEnterWithoutShowingDown)
{
    host.focused = true;
    const int repaints = host.repaints;
    EXPECT_TRUE(button->KeyDown(TButtonKey::Enter));
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(button->State(), TButtonState::bsUp);
    EXPECT_EQ(host.repaints, repaints);
    EXPECT_FALSE(button->KeyDown(TButtonKey::Other));
    EXPECT_EQ(clicks, 1);
}

TEST_F(ButtonBehaviourTest, shouldHoldDownOnSpaceUntilTheRealReleaseThenClick)
{
    host.focused = true;
    EXPECT_TRUE(button->KeyDown(TButtonKey::Space));
    EXPECT_EQ(button->CurrentPicture(), TButtonPicture::Down);
    EXPECT_TRUE(button->KeyDown(TButtonKey::Space));  // the held key repeats
    EXPECT_FALSE(button->KeyUp(true));               // so does its release, on some systems
    EXPECT_EQ(clicks, 0);
    EXPECT_TRUE(button->KeyUp(false));
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(button->State(), TButtonState::bsUp);
    EXPECT_FALSE(host.captured);
    EXPECT_FALSE(button->KeyUp(false)) << "a release without a press is not the button's";
}

TEST_F(ButtonBehaviourTest, shouldEndASpacePressWithoutAClickWhenTheFocusIsLost)
{
    host.focused = true;
    button->KeyDown(TButtonKey::Space);
    FocusLost();
    EXPECT_FALSE(button->Tracking());
    EXPECT_EQ(button->State(), TButtonState::bsUp);
    EXPECT_FALSE(button->KeyUp(false));
    EXPECT_EQ(clicks, 0);
}

TEST_F(ButtonBehaviourTest, shouldEndAPressOfOneKindOnlyByItsOwnKind)
{
    // A mouse press is neither taken over by Space nor ended by a key release.
    Press();
    EXPECT_TRUE(button->KeyDown(TButtonKey::Space));
    EXPECT_FALSE(button->KeyUp(false));
    EXPECT_TRUE(button->Tracking());
    button->MouseMove(60, 5);
    EXPECT_EQ(button->State(), TButtonState::bsUp);
    button->MouseUp(60, 5);
    EXPECT_EQ(clicks, 0);

    // A Space press ignores the mouse moving off the button and its releases.
    button->KeyDown(TButtonKey::Space);
    button->MouseMove(60, 5);
    button->MouseUp(60, 5);
    EXPECT_EQ(button->State(), TButtonState::bsDown);
    button->KeyUp(false);
    EXPECT_EQ(clicks, 1);
}

TEST_F(ButtonBehaviourTest, shouldShowHotWhileTheMouseIsOverAndRepaintOnlyWithAHotPicture)
{
    int repaints = host.repaints;
    button->MouseEnter();
    EXPECT_EQ(button->CurrentPicture(), TButtonPicture::Hot);
    EXPECT_EQ(host.repaints, repaints + 1);
    button->MouseLeave();
    EXPECT_EQ(button->CurrentPicture(), TButtonPicture::Up);

    button->SetPresent(TBmpSlot::Hot, false);
    repaints = host.repaints;
    button->MouseEnter();
    button->MouseLeave();
    EXPECT_EQ(host.repaints, repaints);
}

TEST_F(ButtonBehaviourTest, shouldShowTheDisabledPictureAndTakeNoInputWhenDisabled)
{
    button->SetPresent(TBmpSlot::Disabled, true);
    button->SetEnabled(false);
    button->MouseEnter();
    EXPECT_EQ(button->State(), TButtonState::bsDisabled);
    EXPECT_EQ(button->CurrentPicture(), TButtonPicture::Disabled);
    Press();
    button->MouseUp(5, 5);
    Press(5, 5, TMouseButton::mbRight);
    button->KeyDown(TButtonKey::Space);
    button->KeyUp(false);
    EXPECT_TRUE(downs.empty());
    EXPECT_FALSE(host.focused);
    EXPECT_EQ(clicks, 0);

    button->SetEnabled(true);
    EXPECT_EQ(button->State(), TButtonState::bsUp);
    Press();
    button->MouseUp(5, 5);
    EXPECT_EQ(clicks, 1);

    // Without a Disabled picture it is the embossed Up picture.
    button->SetPresent(TBmpSlot::Disabled, false);
    button->SetEnabled(false);
    EXPECT_EQ(button->CurrentPicture(), TButtonPicture::EmbossedUp);
}

TEST_F(ButtonBehaviourTest, shouldEndAPressInProgressAndGiveTheMouseBackWhenDisabled)
{
    Press();
    button->SetEnabled(false);
    EXPECT_FALSE(button->Tracking());
    EXPECT_FALSE(host.captured);
    EXPECT_EQ(button->State(), TButtonState::bsDisabled);
    button->SetEnabled(true);
    button->MouseUp(5, 5);
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(button->State(), TButtonState::bsUp);

    host.focused = true;
    button->KeyDown(TButtonKey::Space);
    button->SetEnabled(false);
    button->SetEnabled(true);
    button->KeyUp(false);
    EXPECT_EQ(clicks, 0);
}

TEST_F(ButtonBehaviourTest, shouldHandTheModalResultToTheWindowFirstOnAClick)
{
    std::vector<std::size_t> seen;
    button->OnClick = [&] { seen.push_back(host.modalResults.size()); };
    button->Click();
    EXPECT_TRUE(host.modalResults.empty()) << "none (0) is not handed on";
    button->SetModalResult(2);
    Press();
    button->MouseUp(5, 5);
    EXPECT_EQ(host.modalResults, std::vector<int>{2});
    EXPECT_EQ(seen, (std::vector<std::size_t>{0, 1}));
}

TEST_F(ButtonBehaviourTest, shouldLetAHandlerDestroyTheButton)
{
    button->OnMouseDown = [this](TMouseButton, std::uint32_t, int, int) {
        host.button = nullptr;
        button.reset();
    };
    Press();
    EXPECT_EQ(button, nullptr);
    EXPECT_FALSE(host.captured);

    SetUp();
    button->OnClick = [this] {
        host.button = nullptr;
        button.reset();
    };
    Press();
    button->MouseUp(5, 5);
    EXPECT_EQ(button, nullptr);
    EXPECT_FALSE(host.captured);
}

TEST_F(ButtonBehaviourTest, shouldStayUpWhenAMouseDownHandlerDisablesTheButton)
{
    button->OnMouseDown = [this](TMouseButton, std::uint32_t, int, int) { button->SetEnabled(false); };
    Press();
    EXPECT_FALSE(button->Tracking());
    EXPECT_FALSE(host.captured);
    EXPECT_EQ(button->State(), TButtonState::bsDisabled);
}

}  // namespace
}  // namespace quelvo::frontend
