#include "FakeShellDispatch.h"
#include "tests/support/Win32Canvas.h"

#include "frontend/Services.h"
#include "frontend/win32/DesktopShell.h"
#include "frontend/win32/markup/Desktop.h"

#include <exdisp.h>
#include <gtest/gtest.h>

using namespace quelvo::frontend;
using namespace quelvo::frontend::win32;
using namespace quelvo::frontend::win32::test;

namespace {

class DesktopShellTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetMessageBoxHandler([this](const std::u16string& caption, const std::u16string& text, TMsgIcon icon) {
            m_messages.push_back(caption + u"|" + text + (icon == TMsgIcon::Information ? u"|i" : u"|e"));
            return 1;
        });
    }
    void TearDown() override
    {
        SetDesktopShellFinder({});
        SetMessageBoxHandler({});
    }
    void Find(FakeShellDispatch* shell)
    {
        SetDesktopShellFinder([shell]() -> IShellDispatch2* {
            if (shell)
                shell->AddRef();
            return shell;
        });
    }

    std::vector<std::u16string> m_messages;
};

}  // namespace

// Reached through the desktop's window, as on Windows: Wine's desktop
// (explorer) answers the same chain of calls.
TEST_F(DesktopShellTest, shouldFindTheShellOfTheRunningDesktop)
{
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    // A desktop that has only just started offers its shell a moment later.
    SharedHost();
    IShellDispatch2* shell = nullptr;
    const ULONGLONG start = GetTickCount64();
    while (!(shell = FindDesktopShell()) && GetTickCount64() - start < 20000)
        Sleep(200);
    if (!shell) {
        // Wine registers the desktop's shell windows through RpcSs; when the
        // desktop came up while the session's services were still starting,
        // it never does for that session. Windows always has them.
        IShellWindows* windows = nullptr;
        const HRESULT hr = CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                                            reinterpret_cast<void**>(&windows));
        if (windows)
            windows->Release();
        CoUninitialize();
        if (hr == REGDB_E_CLASSNOTREG || HRESULT_FACILITY(hr) == FACILITY_WIN32)
            GTEST_SKIP() << "the desktop offers no shell windows in this Wine session (" << std::hex << hr << ")";
        FAIL() << "the desktop's shell windows answer, but the chain to its shell fails";
    }
    shell->Release();
    CoUninitialize();
}

TEST_F(DesktopShellTest, shouldAskTheDesktopToOpenWebAddressesAndNothingElse)
{
    FakeShellDispatch shell;
    Find(&shell);
    OpenWithDesktop(u"http://127.0.0.1:8080/home");
    OpenWithDesktop(u"HTTPS://www.videolan.org/vlc/");
    // Link targets that are no web or mail address are never handed on.
    OpenWithDesktop(u"file://C:/Windows/notepad.exe");
    OpenWithDesktop(u"C:\\Windows\\notepad.exe");
    OpenWithDesktop(u"check .mp3");
    ASSERT_EQ(shell.executions.size(), 2u);
    EXPECT_EQ(shell.executions[0].file, u"http://127.0.0.1:8080/home");
    EXPECT_EQ(shell.executions[0].verb, u"open");
    EXPECT_EQ(shell.executions[0].show, SW_SHOWNORMAL);
    EXPECT_EQ(shell.executions[1].file, u"HTTPS://www.videolan.org/vlc/");
    EXPECT_EQ(shell.refs, 1u);
    EXPECT_TRUE(m_messages.empty());

    // The window's own shell calls (the help file) go the same way.
    OpenOnDesktop(nullptr, u"C:\\Program Files\\Quelvo\\Help.chm");
    ASSERT_EQ(shell.executions.size(), 3u);
    EXPECT_EQ(shell.executions[2].file, u"C:\\Program Files\\Quelvo\\Help.chm");
}

TEST_F(DesktopShellTest, shouldShowTheAddressWhenTheDesktopCannotOpenIt)
{
    if (!RunsElevated())
        GTEST_SKIP() << "not elevated: the program's own shell call is the user's";
    FakeShellDispatch refusing;
    refusing.result = E_ACCESSDENIED;
    for (FakeShellDispatch* shell : {static_cast<FakeShellDispatch*>(nullptr), &refusing}) {
        m_messages.clear();
        Find(shell);
        OpenWithDesktop(u"https://www.videolan.org/vlc/");
        EXPECT_EQ(m_messages, (std::vector<std::u16string>{
                                  u"Quelvo|" + CouldNotOpenMessage(u"https://www.videolan.org/vlc/") + u"|i"}));
    }
    EXPECT_NE(CouldNotOpenMessage(u"https://x.example/").find(u"\n\nhttps://x.example/"), std::u16string::npos);
    EXPECT_EQ(refusing.refs, 1u);
}
