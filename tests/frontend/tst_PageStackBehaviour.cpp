// The page stack's page switch and focus hand-over, once for both front
// ends: a fake window keeps which page shows and where the focus rests.

#include "frontend/PageStackBehaviour.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quelvo::frontend {
namespace {

// Focus: "stack", "page N", "control N" (a tab stop on page N), "outside".
class FakeWindow : public TPageStackHost {
public:
    bool FocusInside(int page) const override { return focus == "control " + std::to_string(page); }
    bool FocusOnPage(int page) const override { return focus == "page " + std::to_string(page); }
    bool PageCanFocus(int page) const override { return page != unfocusable; }
    void FocusPage(int page) override { Log("focus page " + std::to_string(page)); }
    void FocusStack() override { Log("focus stack"); }
    void FocusFirstTabStop(int page) override
    {
        if (page != withoutTabStop)
            Log("focus control " + std::to_string(page));
    }
    void ShowOnTop(int page) override
    {
        shown.push_back(page);
        log.push_back("show " + std::to_string(page));
    }
    void Hide(int page) override
    {
        std::erase(shown, page);
        log.push_back("hide " + std::to_string(page));
    }

    std::string focus = "outside";
    std::vector<int> shown;
    std::vector<std::string> log;
    int unfocusable = -1;
    int withoutTabStop = -1;

private:
    void Log(const std::string& entry)
    {
        focus = entry.substr(6);  // after "focus "
        log.push_back(entry);
    }
};

class PageStackBehaviourTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(stack.AddPage(), i);
    }
    FakeWindow window;
    TPageStackBehaviour stack{window};
};

TEST_F(PageStackBehaviourTest, shouldShowExactlyTheActivePage)
{
    EXPECT_EQ(stack.PageCount(), 3);
    EXPECT_EQ(stack.ActivePage(), -1);
    EXPECT_TRUE(window.shown.empty());
    EXPECT_TRUE(stack.SetActivePage(1));
    EXPECT_EQ(window.shown, std::vector<int>{1});
    EXPECT_TRUE(stack.SetActivePage(2));
    EXPECT_EQ(window.shown, std::vector<int>{2});
    EXPECT_EQ(stack.ActivePage(), 2);
}

TEST_F(PageStackBehaviourTest, shouldChangeNothingForNoPageOrTheActivePage)
{
    stack.SetActivePage(0);
    window.log.clear();
    EXPECT_FALSE(stack.SetActivePage(0));
    EXPECT_FALSE(stack.SetActivePage(3));
    EXPECT_FALSE(stack.SetActivePage(-1));
    EXPECT_TRUE(window.log.empty());
    EXPECT_EQ(stack.ActivePage(), 0);
}

TEST_F(PageStackBehaviourTest, shouldMoveAFocusOnTheOldPageToTheFirstTabStopOfTheNewOne)
{
    stack.SetActivePage(0);
    window.focus = "control 0";
    window.log.clear();
    stack.SetActivePage(1);
    // Parked on the old page before it hides, so it never wanders.
    EXPECT_EQ(window.log, (std::vector<std::string>{"focus page 0", "show 1", "focus page 1", "hide 0",
                                                    "focus control 1"}));
    EXPECT_EQ(window.focus, "control 1");
}

TEST_F(PageStackBehaviourTest, shouldGiveTheFocusToANewPageWithoutATabStop)
{
    window.withoutTabStop = 1;
    stack.SetActivePage(0);
    window.focus = "control 0";
    stack.SetActivePage(1);
    EXPECT_EQ(window.focus, "page 1");
}

TEST_F(PageStackBehaviourTest, shouldLeaveTheFocusOnTheStackWhenTheNewPageCannotTakeIt)
{
    window.unfocusable = 1;
    stack.SetActivePage(0);
    window.focus = "page 0";
    stack.SetActivePage(1);
    EXPECT_EQ(window.focus, "stack");
}

TEST_F(PageStackBehaviourTest, shouldLeaveAFocusElsewhereWhereItIs)
{
    stack.SetActivePage(0);
    window.focus = "outside";
    window.log.clear();
    stack.SetActivePage(2);
    EXPECT_EQ(window.log, (std::vector<std::string>{"show 2", "hide 0"}));
    EXPECT_EQ(window.focus, "outside");
}

}  // namespace
}  // namespace quelvo::frontend
