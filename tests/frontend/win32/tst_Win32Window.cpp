// The main window and the services of the Win32 front end under Wine.

#include "tests/support/Win32Window.h"

#include "frontend/win32/Artwork.h"

#include <thread>
#include <vector>

namespace quelvo::frontend::win32::test {
namespace {

TEST_F(Win32Test, shouldMakeTheWindowABorderlessLayeredPopupKeyedOnSkyBlue)
{
    HWND h = HandleOf(window.get());
    COLORREF key = 0;
    BYTE alpha = 0;
    DWORD flags = 0;
    ASSERT_TRUE(GetLayeredWindowAttributes(h, &key, &alpha, &flags));
    EXPECT_EQ(Rgb(key), "166,202,240");
    EXPECT_TRUE(flags & LWA_COLORKEY);
    EXPECT_FALSE(flags & LWA_ALPHA);

    const LONG_PTR style = GetWindowLongPtrW(h, GWL_STYLE);
    const LONG_PTR exStyle = GetWindowLongPtrW(h, GWL_EXSTYLE);
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & (WS_CAPTION | WS_THICKFRAME | WS_BORDER));
    EXPECT_TRUE(exStyle & WS_EX_LAYERED);
    EXPECT_TRUE(exStyle & WS_EX_APPWINDOW);
    EXPECT_EQ(GetParent(h), nullptr);
}

TEST_F(Win32Test, shouldMakeTheWindow740By530CentredOnTheDesktop)
{
    HWND h = HandleOf(window.get());
    RECT client{}, outer{};
    GetClientRect(h, &client);
    GetWindowRect(h, &outer);
    EXPECT_EQ(client.right, 740);
    EXPECT_EQ(client.bottom, 530);
    EXPECT_EQ(outer.right - outer.left, 740);
    EXPECT_EQ(outer.bottom - outer.top, 530);

    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    const int top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    const int width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    const int height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    EXPECT_EQ(outer.left, std::max(left, left + width / 2 - 370));
    EXPECT_EQ(outer.top, std::max(top, top + height / 2 - 265));
    EXPECT_EQ(window->Bounds(), (TRect{outer.left, outer.top, 740, 530}));
}

TEST_F(Win32Test, shouldMakeTheCaptionTheWindowText)
{
    window->SetCaption(u"Quelvo");
    EXPECT_EQ(window->Caption(), u"Quelvo");
    wchar_t text[32] = {};
    GetWindowTextW(HandleOf(window.get()), text, 32);
    EXPECT_STREQ(text, L"Quelvo");
}

TEST(Win32MainWindowLife, shouldFireOnShowOnceBeforeVisibleAndOnCloseOnceThenQuit)
{
    DrainQuit();
    auto window = FrontEnd().CreateMainWindow("Form_QLVO_GUI", 740, 530, kSky);
    HWND h = HandleOf(window.get());
    int shows = 0, closes = 0;
    bool visibleAtShow = true;
    window->OnShow = [&](TObject* sender) {
        EXPECT_EQ(sender, window.get());
        ++shows;
        visibleAtShow = IsWindowVisible(h) != FALSE;
    };
    window->OnClose = [&](TObject*) { ++closes; };
    EXPECT_FALSE(window->Showing());
    window->Show();
    window->Show();
    EXPECT_EQ(shows, 1);
    EXPECT_FALSE(visibleAtShow);
    EXPECT_TRUE(window->Showing());

    // Alt+F4 and the Close button end the same way, once.
    SendMessageW(h, WM_CLOSE, 0, 0);
    window->Close();
    EXPECT_EQ(closes, 1);
    EXPECT_FALSE(IsWindowVisible(h));
    MSG msg;
    EXPECT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    window->Show();
    EXPECT_FALSE(IsWindowVisible(h));
    window.reset();
    EXPECT_FALSE(IsWindow(h));
    DrainQuit();
}

TEST(Win32MainWindowLife, shouldRunTheLoopUntilTheWindowCloses)
{
    DrainQuit();
    auto window = FrontEnd().CreateMainWindow("Form_QLVO_GUI", 740, 530, kSky);
    window->Show();
    FrontEnd().Post([&] { window->Close(); });
    EXPECT_EQ(RunMessageLoop(), 0);
    EXPECT_FALSE(window->Showing());
}

TEST_F(Win32Test, shouldMinimiseToTheTaskbarAndRestore)
{
    window->Minimize();
    Pump();
    EXPECT_TRUE(window->Minimized());
    window->Restore();
    Pump();
    EXPECT_FALSE(window->Minimized());
    EXPECT_TRUE(window->Showing());
}

TEST_F(Win32Test, shouldStartAMoveThroughTheSeam)
{
    int moves = 0;
    SetWindowMoveHandler([&] { ++moves; });
    window->StartMove();
    EXPECT_EQ(moves, 1);
}

TEST_F(Win32Test, shouldRunPostedTasksOnTheUiThreadInTheOrderPosted)
{
    const DWORD ui = GetCurrentThreadId();
    std::vector<int> order;
    std::vector<DWORD> threads;
    std::thread worker([&] {
        for (int i = 0; i < 100; ++i)
            FrontEnd().Post([&, i] {
                order.push_back(i);
                threads.push_back(GetCurrentThreadId());
            });
    });
    worker.join();
    EXPECT_TRUE(order.empty());  // nothing runs before the messages are handled
    Pump();
    ASSERT_EQ(order.size(), 100u);
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(order[static_cast<std::size_t>(i)], i);
        EXPECT_EQ(threads[static_cast<std::size_t>(i)], ui);
    }
}

TEST(Win32MainWindowLife, shouldStillRunPostedTasksOnceTheWindowHasClosed)
{
    DrainQuit();
    auto window = FrontEnd().CreateMainWindow("Form_QLVO_GUI", 740, 530, kSky);
    window->Show();
    window->Close();
    int ran = 0;
    FrontEnd().Post([&] { ++ran; });
    FrontEnd().ProcessMessages();
    FrontEnd().ProcessMessages();
    EXPECT_EQ(ran, 1);
    // The quit stays for the loop that is to end.
    MSG msg;
    EXPECT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    window.reset();
    DrainQuit();
}

TEST_F(Win32Test, shouldSendMessageBoxesAndTheShellThroughTheirSeams)
{
    std::u16string caption, text;
    TMsgIcon icon = TMsgIcon::Error;
    SetMessageBoxHandler([&](const std::u16string& c, const std::u16string& t, TMsgIcon i) {
        caption = c;
        text = t;
        icon = i;
        return 1;
    });
    EXPECT_EQ(FrontEnd().MessageBox(window.get(), u"Quelvo", u"The extension .txt is valid.",
                                    TMsgIcon::Information),
              1);
    EXPECT_EQ(caption, u"Quelvo");
    EXPECT_EQ(text, u"The extension .txt is valid.");
    EXPECT_EQ(icon, TMsgIcon::Information);

    std::vector<std::u16string> opened;
    SetShellOpener([&](const std::u16string& object) { opened.push_back(object); });
    FrontEnd().ShellOpen(window.get(), u"C:\\Quelvo\\Help.chm");
    EXPECT_EQ(opened, (std::vector<std::u16string>{u"C:\\Quelvo\\Help.chm"}));
}

TEST_F(Win32Test, shouldNameThisProgramAsTheExecutablePath)
{
    const std::u16string path = FrontEnd().ExecutablePath();
    const std::u16string tail = u"\\test_frontend_win32.exe";
    ASSERT_GT(path.size(), tail.size());
    EXPECT_EQ(path.substr(path.size() - tail.size()), tail);
}

TEST_F(Win32Test, shouldCoverEveryControlWithTheBusyCursorWhileOn)
{
    TBitmapButton* button = FrontEnd().CreateButton(window.get(), "B", 10, 10, "buttons/Bn_Back_Up.bmp",
                                                    "buttons/Bn_Back_Hot.bmp", false);
    HWND h = HandleOf(button);
    const HCURSOR wait = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT));
    FrontEnd().SetBusyCursor(true);
    EXPECT_TRUE(SendMessageW(h, WM_SETCURSOR, reinterpret_cast<WPARAM>(h), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
    EXPECT_EQ(GetCursor(), wait);
    FrontEnd().SetBusyCursor(false);
    SendMessageW(h, WM_SETCURSOR, reinterpret_cast<WPARAM>(h), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_NE(GetCursor(), wait);
}

TEST_F(Win32Test, shouldMoveTheFocusOnTabAlongTheTabOrderSkippingWhatCannotTakeIt)
{
    auto make = [&](const char* name, int top) {
        return FrontEnd().CreateButton(window.get(), name, 10, top, "buttons/Bn_Back_Up.bmp",
                                       "buttons/Bn_Back_Hot.bmp", false);
    };
    TBitmapButton* a = make("A", 10);
    TBitmapButton* b = make("B", 50);
    TBitmapButton* hidden = make("Hidden", 90);
    TEditBox* edit = FrontEnd().CreateEdit(window.get(), "E", {10, 130, 100, 21});
    TBitmapButton* disabled = make("Disabled", 160);
    FrontEnd().SetTabOrder({b, hidden, edit, disabled, a});
    hidden->SetVisible(false);
    disabled->SetEnabled(false);

    auto tab = [&](bool back) {
        BYTE keys[256] = {};
        GetKeyboardState(keys);
        keys[VK_SHIFT] = back ? 0x80 : 0;
        SetKeyboardState(keys);
        PostMessageW(GetFocus(), WM_KEYDOWN, VK_TAB, 0);
        Pump();
        keys[VK_SHIFT] = 0;
        SetKeyboardState(keys);
        return GetFocus();
    };
    SetFocus(HandleOf(b));
    HWND field = dynamic_cast<Win32EditBox*>(edit)->EditHandle();
    EXPECT_EQ(tab(false), field);
    EXPECT_EQ(tab(false), HandleOf(a));
    EXPECT_EQ(tab(false), HandleOf(b));  // round again
    EXPECT_EQ(tab(true), HandleOf(a));
    EXPECT_EQ(tab(true), field);
}

TEST(WindowFonts, shouldUseTahomaElevenPixelsForTheWindowAndArialForBold)
{
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, DefaultWindowFont());
    wchar_t face[LF_FACESIZE] = {};
    GetTextFaceW(dc, LF_FACESIZE, face);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    // Real Tahoma: scripts/test-windows puts it into the prefix.
    EXPECT_STREQ(face, L"Tahoma");
    EXPECT_EQ(metrics.tmHeight - metrics.tmInternalLeading, 11);

    SelectObject(dc, WindowFont({u"Arial", 13, true}));
    GetTextMetricsW(dc, &metrics);
    EXPECT_EQ(metrics.tmWeight, FW_BOLD);
    EXPECT_EQ(metrics.tmHeight - metrics.tmInternalLeading, 13);
    EXPECT_EQ(WindowFont({u"Arial", 13, true}), WindowFont({u"Arial", 13, true}));  // made once
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
}

TEST(Artwork, shouldEmbedEveryFileOfTheWindow)
{
    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(func_LoadArtwork("background.png", bytes));
    ASSERT_GT(bytes.size(), 8u);
    EXPECT_EQ(bytes[1], 'P');
    EXPECT_TRUE(func_LoadArtwork("buttons/Bn_StartScan_Up.bmp", bytes));
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_TRUE(func_LoadArtwork("pictures/order.txt", bytes));
    EXPECT_TRUE(func_LoadArtwork("scanning.gif", bytes));

    EXPECT_FALSE(func_LoadArtwork("nothing.png", bytes));
    EXPECT_TRUE(bytes.empty());
    EXPECT_FALSE(func_LoadArtwork("BACKGROUND.PNG", bytes));  // names as written
}

TEST_F(Win32Test, shouldNeedAWin32ParentUnderAMainWindowForControls)
{
    class Foreign : public TControl {
    public:
        const std::string& Name() const override { return m_name; }
        TRect Bounds() const override { return {}; }
        bool Visible() const override { return false; }
        void SetVisible(bool) override {}
        bool Showing() const override { return false; }
        bool Enabled() const override { return false; }
        void SetEnabled(bool) override {}

    private:
        std::string m_name = "Foreign";
    } foreign;
    EXPECT_THROW(FrontEnd().CreatePanel(&foreign, "P", {0, 0, 1, 1}), std::invalid_argument);
}

}  // namespace
}  // namespace quelvo::frontend::win32::test
