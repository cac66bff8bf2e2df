// The Linux half of the cross-check: the prefix that scripts/test-windows
// scanned under Wine, read again through its system.reg. Skipped unless
// QUELVO_CROSSCHECK_DIR names the folder holding that prefix (pfx/) and the
// texts written under Wine.

#include "CrossCheck.h"

#include "platform/files/FileTargets.h"
#include "platform/Text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using namespace quelvo::platform;

// The first line where two texts differ, or empty when they are equal: the
// trees run to some 16,000 lines, too many to print whole.
std::string FirstDifference(const std::string& linux, const std::string& wine)
{
    std::istringstream a(linux), b(wine);
    std::string lineA, lineB;
    for (int number = 1;; ++number) {
        const bool moreA = static_cast<bool>(std::getline(a, lineA));
        const bool moreB = static_cast<bool>(std::getline(b, lineB));
        if (!moreA && !moreB)
            return {};
        if (moreA != moreB || lineA != lineB)
            return "line " + std::to_string(number) + ": system.reg \"" + (moreA ? lineA : "<end>") +
                   "\", Win32 \"" + (moreB ? lineB : "<end>") + "\"";
    }
}

class WineCrossCheck : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* dir = std::getenv("QUELVO_CROSSCHECK_DIR");
        if (!dir || !*dir)
            GTEST_SKIP() << "QUELVO_CROSSCHECK_DIR is not set (scripts/test-windows sets it)";
        folder = dir;
        std::u16string error;
        target = files::OpenWinePrefix(folder / "pfx", &error);
        ASSERT_TRUE(target) << ToUtf8(error);
    }

    std::string Written(const char* name) const
    {
        std::ifstream in(folder / name, std::ios::binary);
        EXPECT_TRUE(in) << "missing " << name;
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    std::filesystem::path folder;
    std::unique_ptr<files::FileTarget> target;
};

TEST_F(WineCrossCheck, shouldReadTheSameClassesTreeAsTheWin32Api)
{
    const std::string underWine = Written("classes.txt");
    EXPECT_GT(underWine.size(), 1000u);
    EXPECT_EQ(FirstDifference(quelvo::test::CanonicalClassesTree(target->Registry()), underWine), "");
}

TEST_F(WineCrossCheck, shouldScanToTheSameOutcomesAsTheWin32Api)
{
    const std::string underWine = Written("scan.txt");
    EXPECT_NE(underWine.find("name .ini"), std::string::npos);
    ScopedActiveTarget active(*target);
    EXPECT_EQ(FirstDifference(quelvo::test::CanonicalScan(), underWine), "");
}

}  // namespace
