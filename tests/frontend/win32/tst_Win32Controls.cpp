// The skinned Win32 controls under Wine: input as window messages, pictures
// as pixels painted into memory.

#include "tests/support/Win32Window.h"

#include "frontend/win32/Artwork.h"

#include <gdiplus.h>
#include <shlwapi.h>
#include <windowsx.h>

#include <cstdlib>
#include <vector>

namespace quelvo::frontend::win32::test {
namespace {

std::vector<std::uint8_t> Art(const char* name)
{
    std::vector<std::uint8_t> bytes;
    EXPECT_TRUE(func_LoadArtwork(name, bytes)) << name;
    return bytes;
}

// --- bitmap button ---------------------------------------------------------

class ButtonTest : public Win32Test {
protected:
    void SetUp() override
    {
        Win32Test::SetUp();
        button = dynamic_cast<Win32BitmapButton*>(FrontEnd().CreateButton(
            window.get(), "Bn_QLVO_PageScan", 10, 10, "buttons/Bn_PageScan_Up.bmp", "buttons/Bn_PageScan_Hot.bmp",
            true));
        ASSERT_NE(button, nullptr);
        h = button->Handle();
        width = button->Bounds().width;
        height = button->Bounds().height;
        button->OnClick = [this](TObject* sender) {
            EXPECT_EQ(sender, button);
            ++clicks;
        };
        button->OnMouseDown = [this](TObject*, TMouseButton b, std::uint32_t, int, int) { downs.push_back(b); };
    }
    void Press(int x = 5, int y = 5) { SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, At(x, y)); }
    void Move(int x, int y) { SendMessageW(h, WM_MOUSEMOVE, MK_LBUTTON, At(x, y)); }
    void Release(int x = 5, int y = 5) { SendMessageW(h, WM_LBUTTONUP, 0, At(x, y)); }

    Win32BitmapButton* button = nullptr;
    HWND h = nullptr;
    int width = 0, height = 0;
    int clicks = 0;
    std::vector<TMouseButton> downs;
};

TEST_F(ButtonTest, shouldTakeTheSizeOfItsUpPictureAndShowTheHandCursor)
{
    EXPECT_EQ(width, 158);
    EXPECT_EQ(height, 47);
    EXPECT_EQ(reinterpret_cast<HCURSOR>(GetClassLongPtrW(h, GCLP_HCURSOR)),
              LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND)));
    EXPECT_TRUE(GetWindowLongPtrW(h, GWL_STYLE) & WS_TABSTOP);
}

TEST_F(ButtonTest, shouldNotClickForAPressReleasedOutsideButClickBackInside)
{
    Press();
    EXPECT_EQ(GetFocus(), h);
    EXPECT_EQ(GetCapture(), h);
    EXPECT_EQ(button->CurrentPicture(), TButtonPicture::Down);
    Move(width, 5);  // the column just right of the button
    EXPECT_EQ(button->State(), TButtonState::bsUp);
    Release(width, 5);
    EXPECT_EQ(clicks, 0);
    EXPECT_FALSE(button->Tracking());
    EXPECT_NE(GetCapture(), h);

    Press();
    Move(5, height);  // the row just below
    EXPECT_EQ(button->State(), TButtonState::bsUp);
    Move(width - 1, height - 1);
    EXPECT_EQ(button->State(), TButtonState::bsDown);
    Release(width - 1, height - 1);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(button->State(), TButtonState::bsUp);

    Press();
    Release(5, height);
    Press();
    Release(-1, 5);
    EXPECT_EQ(clicks, 1);
}

TEST_F(ButtonTest, shouldFireMouseDownAndTakeTheFocusButNeverPressOnRightAndMiddlePresses)
{
    SetFocus(HandleOf(window.get()));
    SendMessageW(h, WM_RBUTTONDOWN, MK_RBUTTON, At(5, 5));
    EXPECT_EQ(GetFocus(), h);
    EXPECT_EQ(button->State(), TButtonState::bsUp);
    EXPECT_FALSE(button->Tracking());
    SendMessageW(h, WM_RBUTTONUP, 0, At(5, 5));
    SendMessageW(h, WM_MBUTTONDOWN, MK_MBUTTON, At(5, 5));
    SendMessageW(h, WM_MBUTTONUP, 0, At(5, 5));
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(downs, (std::vector<TMouseButton>{TMouseButton::mbRight, TMouseButton::mbMiddle}));
}

// The states and the click rule are the shared behaviour's
// (tests/frontend/ButtonBehaviourTest.cpp); these tests send the window's
// messages and watch them arrive.
TEST_F(ButtonTest, shouldEndALeftPressOnTheReleaseOfAnyButton)
{
    Press();
    SendMessageW(h, WM_RBUTTONUP, 0, At(5, 5));
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(button->Tracking());
}

TEST_F(ButtonTest, shouldEndAPressWithoutAClickWhenAnotherWindowTakesTheMouse)
{
    Press();
    ASSERT_EQ(GetCapture(), h);
    SetCapture(HandleOf(window.get()));
    EXPECT_FALSE(button->Tracking());
    EXPECT_EQ(button->State(), TButtonState::bsUp);
    ReleaseCapture();
    Release();
    EXPECT_EQ(clicks, 0);
}

TEST_F(ButtonTest, shouldClickTwiceOnADoubleClick)
{
    Press();
    Release();
    SendMessageW(h, WM_LBUTTONDBLCLK, MK_LBUTTON, At(5, 5));
    Release();
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(downs.size(), 2u);
}

TEST_F(ButtonTest, shouldClickAtOnceOnEnterAndHoldDownOnSpaceUntilReleased)
{
    SetFocus(h);
    SendMessageW(h, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(button->State(), TButtonState::bsUp);

    SendMessageW(h, WM_KEYDOWN, VK_SPACE, 0);
    SendMessageW(h, WM_KEYDOWN, VK_SPACE, 0x40000000);  // auto-repeat
    EXPECT_EQ(button->CurrentPicture(), TButtonPicture::Down);
    EXPECT_EQ(clicks, 1);
    SendMessageW(h, WM_KEYUP, VK_SPACE, 0xC0000000);
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(button->State(), TButtonState::bsUp);

    // Losing the focus mid-press ends it without a click.
    SendMessageW(h, WM_KEYDOWN, VK_SPACE, 0);
    SetFocus(HandleOf(window.get()));
    EXPECT_EQ(button->State(), TButtonState::bsUp);
    EXPECT_FALSE(button->Tracking());
    SendMessageW(h, WM_KEYUP, VK_SPACE, 0xC0000000);
    EXPECT_EQ(clicks, 2);
}

TEST_F(ButtonTest, shouldShowHotWhileTheMouseIsOver)
{
    EXPECT_EQ(button->CurrentPicture(), TButtonPicture::Up);
    SendMessageW(h, WM_MOUSEMOVE, 0, At(3, 3));
    EXPECT_EQ(button->CurrentPicture(), TButtonPicture::Hot);
    SendMessageW(h, WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(button->CurrentPicture(), TButtonPicture::Up);
}

TEST_F(ButtonTest, shouldShowTheDisabledPictureAndTakeNoInput)
{
    Press();
    button->SetEnabled(false);
    EXPECT_FALSE(button->Tracking());
    EXPECT_NE(GetCapture(), h);
    Release();
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(button->CurrentPicture(), TButtonPicture::Disabled);

    downs.clear();
    SendMessageW(h, WM_MOUSEMOVE, 0, At(3, 3));
    EXPECT_EQ(button->CurrentPicture(), TButtonPicture::Disabled);
    Press();
    Release();
    SendMessageW(h, WM_RBUTTONDOWN, MK_RBUTTON, At(5, 5));
    EXPECT_EQ(clicks, 0);
    EXPECT_TRUE(downs.empty());

    button->SetEnabled(true);
    EXPECT_EQ(button->State(), TButtonState::bsUp);
    Press();
    Release();
    EXPECT_EQ(clicks, 1);
}

TEST_F(ButtonTest, shouldEmbossADisabledButtonWithoutADisabledPicture)
{
    auto* close = dynamic_cast<Win32BitmapButton*>(FrontEnd().CreateButton(
        window.get(), "Bn_QLVO_Close", 712, 3, "buttons/Bn_Close_Up.bmp", "buttons/Bn_Close_Hot.bmp", false));
    close->SetEnabled(false);
    EXPECT_EQ(close->CurrentPicture(), TButtonPicture::EmbossedUp);
}

TEST_F(ButtonTest, shouldPaintItsPictureOpaqueOverWhatLiesBehind)
{
    const Win32Bitmap up = DecodePicture(Art("buttons/Bn_PageScan_Up.bmp"));
    ASSERT_EQ(up.Width(), width);
    Canvas canvas(width, height, RGB(255, 0, 0));
    button->PaintSelf(canvas.Dc());
    for (auto [x, y] : {std::pair{0, 0}, {width - 1, height - 1}, {width / 2, height / 2}}) {
        const std::uint32_t p = up.Pixel(x, y);
        EXPECT_EQ(Rgb(canvas.Pixel(x, y)), Rgb(RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF))) << x << "," << y;
    }
}

// Pictures are premultiplied as GDI+ would premultiply them: every pixel
// of the background, its half-transparent edges included, against the
// straight colour GDI+ reads from the same file.
TEST_F(Win32Test, shouldHoldPremultipliedPixelsInDecodedPictures)
{
    const std::vector<std::uint8_t> bytes = Art("background.png");
    const Win32Bitmap decoded = DecodePicture(bytes);
    IStream* stream = SHCreateMemStream(bytes.data(), static_cast<UINT>(bytes.size()));
    ASSERT_NE(stream, nullptr);
    {
        Gdiplus::Bitmap straight(stream);
        ASSERT_EQ(straight.GetLastStatus(), Gdiplus::Ok);
        ASSERT_EQ(decoded.Width(), static_cast<int>(straight.GetWidth()));
        ASSERT_EQ(decoded.Height(), static_cast<int>(straight.GetHeight()));
        int partial = 0, wrong = 0;
        for (int y = 0; y < decoded.Height(); ++y) {
            for (int x = 0; x < decoded.Width(); ++x) {
                Gdiplus::Color c;
                straight.GetPixel(x, y, &c);
                const std::uint32_t a = c.GetA(), p = decoded.Pixel(x, y);
                partial += a > 0 && a < 255;
                auto matches = [a](std::uint32_t got, std::uint32_t channel) {
                    const int want = static_cast<int>((channel * a + 127) / 255);
                    return std::abs(static_cast<int>(got) - want) <= 1;
                };
                if ((p >> 24) != a || !matches((p >> 16) & 0xFF, c.GetR()) || !matches((p >> 8) & 0xFF, c.GetG())
                    || !matches(p & 0xFF, c.GetB()))
                    ++wrong;
            }
        }
        EXPECT_GE(partial, 50) << "the rounded corners are half transparent";
        EXPECT_EQ(wrong, 0);
    }
    stream->Release();
}

TEST(MaskedBitmap, shouldLeaveOutExactlyTheTransparentColour)
{
    Win32Bitmap picture(3, 1);
    picture.Pixels()[0] = 0xFF808000;  // clOlive
    picture.Pixels()[1] = 0xFF808001;  // one step off
    picture.Pixels()[2] = 0xFF102030;
    const Win32MaskedBitmap masked(picture, RGB(128, 128, 0));
    Canvas canvas(3, 1, RGB(200, 0, 0));
    masked.Draw(canvas.Dc(), 0, 0);
    EXPECT_EQ(Rgb(canvas.Pixel(0, 0)), Rgb(RGB(200, 0, 0)));
    EXPECT_EQ(Rgb(canvas.Pixel(1, 0)), Rgb(RGB(128, 128, 1)));
    EXPECT_EQ(Rgb(canvas.Pixel(2, 0)), Rgb(RGB(16, 32, 48)));
}

// --- panels ----------------------------------------------------------------

class PanelTest : public Win32Test {
protected:
    void SetUp() override
    {
        Win32Test::SetUp();
        panel = dynamic_cast<Win32Panel*>(
            FrontEnd().CreateSkinPanel(window.get(), "Panel_QLVO_BG", {0, 0, 740, 530}, "background.png"));
        ASSERT_NE(panel, nullptr);
        panel->OnMouseDown = [this](TObject*, TMouseButton b, std::uint32_t shift, int x, int y) {
            presses.push_back({b, shift, x, y});
        };
    }
    struct PressSeen {
        TMouseButton button;
        std::uint32_t shift;
        int x, y;
    };
    Win32Panel* panel = nullptr;
    std::vector<PressSeen> presses;
};

TEST_F(PanelTest, shouldFireMouseDownForEveryButtonWithItsPositionAndShift)
{
    HWND h = panel->Handle();
    SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, At(10, 20));
    SendMessageW(h, WM_RBUTTONDOWN, MK_RBUTTON | MK_CONTROL, At(30, 40));
    SendMessageW(h, WM_MBUTTONDOWN, MK_MBUTTON, At(700, 5));
    SendMessageW(h, WM_LBUTTONDBLCLK, MK_LBUTTON, At(1, 2));
    ASSERT_EQ(presses.size(), 4u);
    EXPECT_EQ(presses[0].button, TMouseButton::mbLeft);
    EXPECT_EQ(presses[0].shift, static_cast<std::uint32_t>(ssShift));
    EXPECT_EQ(presses[0].x, 10);
    EXPECT_EQ(presses[0].y, 20);
    EXPECT_EQ(presses[1].button, TMouseButton::mbRight);
    EXPECT_EQ(presses[1].shift, static_cast<std::uint32_t>(ssCtrl));
    EXPECT_EQ(presses[2].button, TMouseButton::mbMiddle);
    EXPECT_EQ(presses[2].x, 700);
    EXPECT_EQ(presses[3].button, TMouseButton::mbLeft);
}

TEST_F(PanelTest, shouldKeepPressesOnAChildFromThePanel)
{
    TPageStack* stack = FrontEnd().CreatePageStack(panel, "RPC_QLVO_Step", {165, 59, 565, 463});
    TPage* page = FrontEnd().CreatePage(stack, "TS_QLVO_Step1", kSky);
    stack->SetActivePage(page);
    SendMessageW(HandleOf(page), WM_LBUTTONDOWN, MK_LBUTTON, At(10, 10));
    SendMessageW(HandleOf(stack), WM_LBUTTONDOWN, MK_LBUTTON, At(10, 10));
    EXPECT_TRUE(presses.empty());
}

TEST_F(PanelTest, shouldPaintTheCornersInTheKeyColourAndComposeThePictureOnce)
{
    Canvas canvas(740, 530);
    dynamic_cast<Win32Node*>(window.get())->PaintSelf(canvas.Dc());
    panel->PaintSelf(canvas.Dc());
    panel->PaintSelf(canvas.Dc());
    EXPECT_EQ(panel->CacheBuilds(), 1);
    // Fully transparent corners show the window colour, the key.
    EXPECT_EQ(Rgb(canvas.Pixel(0, 0)), Rgb(RGB(166, 202, 240)));
    EXPECT_EQ(Rgb(canvas.Pixel(739, 529)), Rgb(RGB(166, 202, 240)));
    // The opaque middle is the picture's own pixel.
    const Win32Bitmap fill = DecodePicture(Art("background.png"));
    const std::uint32_t p = fill.Pixel(100, 300);
    ASSERT_EQ(p >> 24, 0xFFu);
    EXPECT_EQ(Rgb(canvas.Pixel(100, 300)), Rgb(RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF)));

    Paint();  // the window's own paints use the same cache
    EXPECT_EQ(panel->CacheBuilds(), 1);
    SetWindowPos(panel->Handle(), nullptr, 0, 0, 700, 500, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
    panel->PaintSelf(canvas.Dc());
    EXPECT_EQ(panel->CacheBuilds(), 2);
}

TEST_F(PanelTest, shouldShowTheSiblingPictureBeneathATransparentControl)
{
    TPageStack* stack = FrontEnd().CreatePageStack(panel, "RPC_QLVO_Step", {165, 59, 565, 463});
    TPage* page = FrontEnd().CreatePage(stack, "TS_QLVO_Step1", kSky);
    stack->SetActivePage(page);
    FrontEnd().CreatePicture(page, "Image1", {0, 0, 565, 463}, "page_start.png");
    auto* label = dynamic_cast<Win32Label*>(FrontEnd().CreateLabel(
        page, "RzLabel4", {136, 344, 304, 16}, u"", {u"Arial", 13, true}, {0, 0, 0}, false));
    Canvas canvas(304, 16);
    label->PaintBackground(canvas.Dc());
    const Win32Bitmap picture = DecodePicture(Art("page_start.png"));
    const std::uint32_t p = picture.Pixel(136 + 4, 344 + 4);
    EXPECT_EQ(Rgb(canvas.Pixel(4, 4)), Rgb(RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF)));
}

// What a node shows on the screen at (x, y) of its own.
COLORREF OnScreen(TControl* control, int x, int y)
{
    HDC dc = GetDC(HandleOf(control));
    const COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(HandleOf(control), dc);
    return c;
}

// What lies behind a node at (x, y) of its own, composed afresh.
COLORREF Behind(TControl* control, int x, int y)
{
    const TRect r = control->Bounds();
    Canvas canvas(r.width, r.height);
    dynamic_cast<Win32Node*>(control)->PaintBackground(canvas.Dc());
    return canvas.Pixel(x, y);
}

// The scanning page in small: a picture filling the page, the animation, a
// label over the picture and one over the animation.
class KeptBackgroundTest : public PanelTest {
protected:
    void SetUp() override
    {
        PanelTest::SetUp();
        stack = FrontEnd().CreatePageStack(panel, "RPC_QLVO_Step", {165, 59, 565, 463});
        page = FrontEnd().CreatePage(stack, "TS_QLVO_Step2", kSky);
        other = FrontEnd().CreatePage(stack, "TS_QLVO_Step3", kSky);
        stack->SetActivePage(page);
        picture = FrontEnd().CreatePicture(page, "Image2", {0, 0, 565, 463}, "page_scanning.png");
        animation = dynamic_cast<Win32AnimatedPicture*>(
            FrontEnd().CreateAnimatedPicture(page, "ADP_QLVO_Scanning", {20, 25, 80, 74}, "scanning.gif"));
        name = dynamic_cast<Win32Label*>(FrontEnd().CreateLabel(page, "RLB_QLVO_ScanFileExtName1",
                                                                {63, 140, 433, 22}, u".psc1", {u"Arial", 11},
                                                                {0, 0, 0}, false));
        overAnimation = dynamic_cast<Win32Label*>(FrontEnd().CreateLabel(
            page, "Over", {30, 60, 60, 14}, u"", {u"Arial", 11}, {0, 0, 0}, false));
        Paint();
    }
    int Paints(TControl* control) const { return dynamic_cast<Win32Node*>(control)->PaintCount(); }

    TPageStack* stack = nullptr;
    TPage* page = nullptr;
    TPage* other = nullptr;
    TPictureControl* picture = nullptr;
    Win32AnimatedPicture* animation = nullptr;
    Win32Label* name = nullptr;
    Win32Label* overAnimation = nullptr;
};

TEST_F(KeptBackgroundTest, shouldRepaintThatLabelAloneOverTheBackgroundItKeptOnACaptionChange)
{
    // The first change composes the label's background and keeps it.
    EXPECT_FALSE(name->HasBackground());
    name->SetCaption(u".first");
    Pump();
    EXPECT_TRUE(name->HasBackground());
    const long composed = Win32Node::BackgroundsComposed();
    const std::vector<TControl*> others = {panel, stack, page, picture, animation, overAnimation};
    std::vector<int> before;
    for (TControl* c : others)
        before.push_back(Paints(c));
    const int painted = Paints(name);

    for (int i = 0; i < 5; ++i) {
        name->SetCaption(u".e" + std::u16string(1, static_cast<char16_t>(u'0' + i)));
        Pump();
    }
    Paint();
    // Changes that come quicker than frames share them.
    EXPECT_GE(Paints(name), painted + 1);
    EXPECT_LE(Paints(name), painted + 5);
    for (std::size_t i = 0; i < others.size(); ++i)
        EXPECT_EQ(Paints(others[i]), before[i]) << i;
    EXPECT_EQ(Win32Node::BackgroundsComposed(), composed);
    // Where no letter is, the page's picture shows through, as it lies there.
    EXPECT_EQ(Rgb(OnScreen(name, 300, 11)), Rgb(Behind(name, 300, 11)));
}

TEST_F(KeptBackgroundTest, shouldPaintCaptionChangesWithinAFrameTogetherAtItsEnd)
{
    name->SetCaption(u".first");
    Paint();
    Sleep(3 * 40);  // a quiet spell, longer than a frame
    const int painted = Paints(name);
    name->SetCaption(u".a");
    EXPECT_EQ(Paints(name), painted + 1) << "the first change after a quiet spell shows at once";
    name->SetCaption(u".b");
    name->SetCaption(u".c");
    EXPECT_EQ(Paints(name), painted + 1) << "later ones wait for the frame's end";
    // The message loop ends the frame.
    for (int i = 0; i < 200 && Paints(name) == painted + 1; ++i) {
        Sleep(5);
        Pump();
    }
    EXPECT_EQ(Paints(name), painted + 2);
    EXPECT_EQ(Rgb(OnScreen(name, 300, 11)), Rgb(Behind(name, 300, 11)));
}

TEST_F(KeptBackgroundTest, shouldComposeBackgroundsAgainWhenWhatLiesBehindMayHaveChanged)
{
    // The animation steps under a label: the label shows the new frame.
    const int overPainted = Paints(overAnimation);
    for (int i = 0; i < 3; ++i) {
        animation->Step();
        Paint();
    }
    EXPECT_GT(Paints(overAnimation), overPainted);
    for (auto [x, y] : {std::pair{5, 5}, {30, 7}, {55, 12}})
        EXPECT_EQ(Rgb(OnScreen(overAnimation, x, y)), Rgb(Behind(overAnimation, x, y))) << x << "," << y;

    // A page change, then back.
    long composed = Win32Node::BackgroundsComposed();
    stack->SetActivePage(other);
    Paint();
    stack->SetActivePage(page);
    Paint();
    EXPECT_GT(Win32Node::BackgroundsComposed(), composed);

    // A label moved to another place over the picture.
    composed = Win32Node::BackgroundsComposed();
    SetWindowPos(name->Handle(), nullptr, 63, 320, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    Paint();
    EXPECT_GT(Win32Node::BackgroundsComposed(), composed);
    EXPECT_EQ(Rgb(OnScreen(name, 300, 11)), Rgb(Behind(name, 300, 11)));

    // Minimised and restored.
    composed = Win32Node::BackgroundsComposed();
    window->Minimize();
    Pump();
    name->SetCaption(u".while-minimised");
    window->Restore();
    Paint();
    EXPECT_GT(Win32Node::BackgroundsComposed(), composed);
    EXPECT_EQ(Rgb(OnScreen(name, 300, 11)), Rgb(Behind(name, 300, 11)));
}

TEST_F(KeptBackgroundTest, shouldKeepABackgroundOnlyForControlsThatChangeAndNotWhileHidden)
{
    for (TControl* c : std::vector<TControl*>{panel, stack, page, picture, animation, name})
        EXPECT_FALSE(dynamic_cast<Win32Node*>(c)->HasBackground()) << c->Name();
    name->SetCaption(u".txt");
    Pump();
    ASSERT_TRUE(name->HasBackground());
    name->SetVisible(false);
    Pump();
    EXPECT_FALSE(name->HasBackground());
}

// --- page stack ---------------------------------------------------------------

class PageStackTest : public Win32Test {
protected:
    void SetUp() override
    {
        Win32Test::SetUp();
        stack = FrontEnd().CreatePageStack(window.get(), "RPC_QLVO_Step", {165, 59, 565, 463});
        first = FrontEnd().CreatePage(stack, "TS_QLVO_Step1", kSky);
        second = FrontEnd().CreatePage(stack, "TS_QLVO_Step2", {255, 255, 255});
        other = FrontEnd().CreatePageStack(window.get(), "Other", {0, 0, 10, 10});
        foreign = FrontEnd().CreatePage(other, "Foreign", kSky);
    }
    TBitmapButton* ButtonOn(TPage* page, const char* name, int top)
    {
        return FrontEnd().CreateButton(page, name, 10, top, "buttons/Bn_Cancel_Up.bmp", "buttons/Bn_Cancel_Hot.bmp",
                                       false);
    }
    TPageStack* stack = nullptr;
    TPageStack* other = nullptr;
    TPage* first = nullptr;
    TPage* second = nullptr;
    TPage* foreign = nullptr;
};

TEST_F(PageStackTest, shouldFillTheStackWithPagesAndShowOnlyTheActiveOne)
{
    EXPECT_EQ(first->Bounds(), (TRect{0, 0, 565, 463}));
    EXPECT_FALSE(first->Visible());
    EXPECT_FALSE(second->Visible());
    EXPECT_EQ(stack->ActivePage(), nullptr);

    stack->SetActivePage(second);
    EXPECT_EQ(stack->ActivePage(), second);
    EXPECT_TRUE(second->Showing());
    EXPECT_FALSE(first->Visible());

    stack->SetActivePage(first);
    EXPECT_TRUE(first->Showing());
    EXPECT_FALSE(second->Visible());
}

TEST_F(PageStackTest, shouldChangeNothingForAPageOfAnotherStackOrNoPage)
{
    stack->SetActivePage(first);
    stack->SetActivePage(foreign);
    stack->SetActivePage(nullptr);
    EXPECT_EQ(stack->ActivePage(), first);
    EXPECT_TRUE(first->Showing());
    EXPECT_FALSE(foreign->Visible());
    EXPECT_EQ(other->ActivePage(), nullptr);
}

TEST_F(PageStackTest, shouldMoveTheFocusToTheNewPagesFirstControlInTabOrder)
{
    TBitmapButton* onFirst = ButtonOn(first, "A", 10);
    TBitmapButton* later = ButtonOn(second, "B", 10);
    TBitmapButton* earlier = ButtonOn(second, "C", 60);
    FrontEnd().SetTabOrder({earlier, later});
    stack->SetActivePage(first);
    SetFocus(HandleOf(onFirst));
    ASSERT_EQ(GetFocus(), HandleOf(onFirst));

    stack->SetActivePage(second);
    EXPECT_EQ(GetFocus(), HandleOf(earlier));

    // Focus elsewhere stays where it is.
    TBitmapButton* outside = FrontEnd().CreateButton(window.get(), "D", 0, 0, "buttons/Bn_Min_Up.bmp",
                                                     "buttons/Bn_Min_Hot.bmp", false);
    SetFocus(HandleOf(outside));
    stack->SetActivePage(first);
    EXPECT_EQ(GetFocus(), HandleOf(outside));
}

// --- pictures ---------------------------------------------------------------

class AnimationTest : public Win32Test {
protected:
    void SetUp() override
    {
        Win32Test::SetUp();
        animation = dynamic_cast<Win32AnimatedPicture*>(FrontEnd().CreateAnimatedPicture(
            window.get(), "ADP_QLVO_Scanning", {20, 25, 80, 74}, "scanning.gif"));
        ASSERT_NE(animation, nullptr);
    }
    Win32AnimatedPicture* animation = nullptr;
};

TEST_F(AnimationTest, shouldReadFourteenFramesOfSixtyMillisecondsLoopingForever)
{
    ASSERT_EQ(animation->FrameCount(), 14);
    for (int i = 0; i < 14; ++i)
        EXPECT_EQ(animation->FrameTime(i), 60) << i;
    EXPECT_EQ(animation->LoopCount(), 0);
    EXPECT_FALSE(animation->Animate());
}

TEST_F(AnimationTest, shouldDecodeFramesWhenFirstPaintedAndNotBefore)
{
    EXPECT_FALSE(animation->FramesDecoded());
    // Made after a quiet spell longer than a frame (a loaded machine makes
    // one), when a paint asked for would be painted at once.
    Sleep(100);
    auto* later = dynamic_cast<Win32AnimatedPicture*>(FrontEnd().CreateAnimatedPicture(
        window.get(), "ADP_QLVO_Later", {120, 25, 80, 74}, "scanning.gif"));
    ASSERT_NE(later, nullptr);
    EXPECT_FALSE(later->FramesDecoded());
    EXPECT_EQ(animation->FrameCount(), 14) << "counted from the file's blocks";
    Canvas canvas(80, 74, RGB(255, 0, 0));
    animation->PaintSelf(canvas.Dc());
    EXPECT_TRUE(animation->FramesDecoded());
    EXPECT_EQ(animation->FrameCount(), 14);
    EXPECT_NE(Rgb(canvas.Pixel(40, 37)), Rgb(RGB(255, 0, 0))) << "the first frame is drawn";
}

TEST_F(AnimationTest, shouldStepTheFramesOnTheTimerAndStopWhenSwitchedOff)
{
    animation->SetAnimate(true);
    const DWORD until = GetTickCount() + 5000;
    while (animation->CurrentFrame() < 2 && GetTickCount() < until) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        Pump();
    }
    EXPECT_GE(animation->CurrentFrame(), 2);
    animation->SetAnimate(false);
    const int still = animation->CurrentFrame();
    Sleep(150);
    Pump();
    EXPECT_EQ(animation->CurrentFrame(), still);
}

TEST_F(AnimationTest, shouldWrapAroundOnStepAndShowWhatLiesBehindTransparentPixels)
{
    for (int i = 0; i < 14; ++i)
        animation->Step();
    EXPECT_EQ(animation->CurrentFrame(), 0);
    Canvas canvas(80, 74, RGB(255, 0, 0));
    animation->PaintSelf(canvas.Dc());
    // The corner of the frame is transparent in the file.
    EXPECT_EQ(Rgb(canvas.Pixel(0, 0)), Rgb(RGB(255, 0, 0)));
}

// --- label, edit box, version pane ------------------------------------------

TEST_F(Win32Test, shouldRepaintALabelOncePerCaptionChangeAndNotForTheSameCaption)
{
    auto* label = dynamic_cast<Win32Label*>(FrontEnd().CreateLabel(
        window.get(), "RLB_QLVO_TipFileExtName", {119, 43, 323, 13}, u".psc1", {u"Arial", 11, true},
        {255, 255, 255}, false));
    Paint();
    const int painted = label->PaintCount();
    EXPECT_GE(painted, 1);

    label->SetCaption(u".txt");
    Paint();
    EXPECT_EQ(label->PaintCount(), painted + 1);
    EXPECT_EQ(label->Caption(), u".txt");

    label->SetCaption(u".txt");
    Paint();
    EXPECT_EQ(label->PaintCount(), painted + 1);
}

TEST_F(Win32Test, shouldDrawALabelsTextInItsColourAndNothingElse)
{
    auto* label = dynamic_cast<Win32Label*>(FrontEnd().CreateLabel(
        window.get(), "RzLabel1", {8, 21, 105, 13}, u"Status:", {u"Arial", 11, true}, {0, 0, 255}, false));
    Canvas canvas(105, 13, RGB(255, 255, 255));
    label->PaintSelf(canvas.Dc());
    int blue = 0, other = 0;
    for (int y = 0; y < 13; ++y)
        for (int x = 0; x < 105; ++x) {
            const COLORREF c = canvas.Pixel(x, y);
            if (c == RGB(0, 0, 255))
                ++blue;
            else if (GetRValue(c) != GetGValue(c) && c != RGB(255, 255, 255) && GetBValue(c) < 200)
                ++other;  // anything that is neither white, blue nor a blend of the two
        }
    EXPECT_GT(blue, 10);
    EXPECT_EQ(other, 0);
    // Past the text's width the label stays untouched (transparent).
    EXPECT_EQ(Rgb(canvas.Pixel(100, 6)), Rgb(RGB(255, 255, 255)));
}

TEST_F(Win32Test, shouldRoundTripTheEditBoxTextAndLetTypingReachIt)
{
    auto* edit = dynamic_cast<Win32EditBox*>(FrontEnd().CreateEdit(window.get(), "RED_QLVO_SearchExt",
                                                                   {32, 267, 505, 21}));
    ASSERT_NE(edit->EditHandle(), nullptr);
    EXPECT_EQ(edit->Text(), u"");
    edit->SetText(u".t\u00e4xt");
    EXPECT_EQ(edit->Text(), u".t\u00e4xt");
    SendMessageW(edit->EditHandle(), EM_SETSEL, 0, -1);
    SendMessageW(edit->EditHandle(), WM_CHAR, L'p', 1);
    SendMessageW(edit->EditHandle(), WM_CHAR, L'y', 1);
    EXPECT_EQ(edit->Text(), u"py");
    edit->SetText(u"");
    EXPECT_EQ(edit->Text(), u"");

    // Focus given to the box goes to its field.
    SetFocus(edit->Handle());
    EXPECT_EQ(GetFocus(), edit->EditHandle());
}

TEST_F(Win32Test, shouldMakeTheEditBoxWhiteInAFlatOnePixelFrame)
{
    auto* edit = dynamic_cast<Win32EditBox*>(FrontEnd().CreateEdit(window.get(), "RED_QLVO_SearchExt",
                                                                   {32, 267, 505, 21}));
    EXPECT_EQ(edit->Bounds(), (TRect{32, 267, 505, 21}));
    RECT inner{};
    GetWindowRect(edit->EditHandle(), &inner);
    MapWindowPoints(HWND_DESKTOP, edit->Handle(), reinterpret_cast<POINT*>(&inner), 2);
    EXPECT_EQ(inner.left, 1);
    EXPECT_GE(inner.top, 1);
    EXPECT_EQ(inner.right, 504);
    EXPECT_EQ(inner.bottom, 20);
    // The text's line in the middle of the frame, give or take a pixel.
    const TextLine line = FontLine(DefaultWindowFont());
    TEXTMETRICW tm{};
    HDC field = GetDC(edit->EditHandle());
    HGDIOBJ oldFont = SelectObject(field, DefaultWindowFont());
    GetTextMetricsW(field, &tm);
    SelectObject(field, oldFont);
    ReleaseDC(edit->EditHandle(), field);
    const int baseline = inner.top + tm.tmAscent;
    const int lineTop = baseline - line.ascent;
    const int lineBottom = baseline + line.descent;
    EXPECT_LE(std::abs(lineTop - (21 - lineBottom)), 1) << lineTop << " " << lineBottom;
    // The text starts three pixels inside the frame, as on Linux.
    edit->SetText(u"W");
    const LRESULT first = SendMessageW(edit->EditHandle(), EM_POSFROMCHAR, 0, 0);
    EXPECT_EQ(inner.left + static_cast<short>(LOWORD(first)), 1 + 3);
    edit->SetText(u"");

    Canvas canvas(505, 21, RGB(255, 0, 0));
    edit->PaintSelf(canvas.Dc());
    const COLORREF shadow = RGB(160, 160, 160);  // clBtnShadow
    for (auto [x, y] : {std::pair{0, 0}, {504, 0}, {0, 20}, {504, 20}, {250, 0}, {250, 20}, {0, 10}, {504, 10}})
        EXPECT_EQ(Rgb(canvas.Pixel(x, y)), Rgb(shadow)) << x << "," << y;
    EXPECT_EQ(Rgb(canvas.Pixel(1, 1)), "255,255,255");

    // The field asks its frame for its colours; the frame hands the question back.
    HDC dc = GetDC(edit->EditHandle());
    const LRESULT brush = SendMessageW(edit->Handle(), WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc),
                                       reinterpret_cast<LPARAM>(edit->EditHandle()));
    EXPECT_EQ(reinterpret_cast<HGDIOBJ>(brush), GetStockObject(WHITE_BRUSH));
    EXPECT_EQ(GetBkColor(dc), RGB(255, 255, 255));
    ReleaseDC(edit->EditHandle(), dc);
}

TEST_F(Win32Test, shouldShowTheFileVersionAfterTheLabelInTheVersionPane)
{
    auto* pane = dynamic_cast<Win32VersionPane*>(FrontEnd().CreateVersionPane(
        window.get(), "RzVersionInfoStatus1", {55, 278, 169, 20}, u"Product version:", {255, 0, 0}));
    ASSERT_NE(pane, nullptr);
    EXPECT_EQ(pane->Value(), u"1.0.0.14");
    EXPECT_EQ(pane->FieldLabel(), u"Product version:");
    EXPECT_EQ(pane->LabelLeft(), 3);

    HDC screen = GetDC(nullptr);
    HGDIOBJ old = SelectObject(screen, DefaultWindowFont());
    SIZE text{};
    GetTextExtentPoint32W(screen, L"Product version:", 16, &text);
    SelectObject(screen, old);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(pane->ValueLeft(), text.cx + 4);

    Canvas canvas(169, 20);
    pane->PaintSelf(canvas.Dc());
    int firstRed = -1, lastRed = -1, firstDark = -1;
    for (int x = 0; x < 169; ++x)
        for (int y = 0; y < 20; ++y) {
            const COLORREF c = canvas.Pixel(x, y);
            if (GetRValue(c) > 128 && GetGValue(c) < 100) {
                if (firstRed < 0)
                    firstRed = x;
                lastRed = x;
            } else if (GetRValue(c) < 100 && firstDark < 0) {
                firstDark = x;
            }
        }
    EXPECT_GE(firstRed, pane->LabelLeft());
    EXPECT_LT(lastRed, pane->ValueLeft());
    EXPECT_GE(firstDark, pane->ValueLeft() + pane->TextOffset());

    // Disabled, both texts are grey: no label colour left.
    pane->SetEnabled(false);
    Canvas grey(169, 20);
    pane->PaintSelf(grey.Dc());
    for (int x = 0; x < 169; ++x)
        for (int y = 0; y < 20; ++y) {
            const COLORREF c = grey.Pixel(x, y);
            ASSERT_FALSE(GetRValue(c) > 128 && GetGValue(c) < 100) << x << "," << y;
        }
}

}  // namespace
}  // namespace quelvo::frontend::win32::test
