#include "platform/DataDir.h"

#include "tests/support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <filesystem>
#include <fstream>

namespace {

using quelvo::platform::func_DataDirFor;
namespace fs = std::filesystem;

// An installed layout: <root>/bin (the program) and <root>/share/quelvo.
class DataDirTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = scratch.Path();
        fs::create_directories(root / "bin");
        fs::create_directories(root / "share" / "quelvo");
        bin = root.u16string() + u"/bin/";
        share = root.u16string() + u"/share/quelvo/";
    }

    static void Touch(const fs::path& file) { std::ofstream(file) << "x"; }

    quelvo::test::ScratchFolder scratch{"quelvo-datadir"};
    fs::path root;
    std::u16string bin;
    std::u16string share;
};

TEST_F(DataDirTest, shouldPreferTheFileBesideTheProgramThenTheSharedFolder)
{
    // Nowhere: the program's own folder, where the caller says it is missing.
    EXPECT_EQ(func_DataDirFor(bin, u"FileType_lib.txt"), bin);

    Touch(root / "share" / "quelvo" / "FileType_lib.txt");
    EXPECT_EQ(func_DataDirFor(bin, u"FileType_lib.txt"), share);
    // Each file is looked up on its own.
    EXPECT_EQ(func_DataDirFor(bin, u"Help.chm"), bin);

    Touch(root / "bin" / "FileType_lib.txt");
    EXPECT_EQ(func_DataDirFor(bin, u"FileType_lib.txt"), bin);
}

TEST_F(DataDirTest, shouldTakeTheFolderWithOrWithoutItsLastSeparator)
{
    Touch(root / "share" / "quelvo" / "Help.chm");
    EXPECT_EQ(func_DataDirFor(root.u16string() + u"/bin", u"Help.chm"), share);
    EXPECT_EQ(func_DataDirFor(root.u16string() + u"/bin//", u"Help.chm"), share);

    Touch(root / "bin" / "Help.chm");
    EXPECT_EQ(func_DataDirFor(root.u16string() + u"/bin", u"Help.chm"), bin);
}

TEST_F(DataDirTest, shouldNotTakeAFolderOfTheFilesNameForTheFile)
{
    fs::create_directories(root / "bin" / "Help.chm");
    fs::create_directories(root / "share" / "quelvo" / "Help.chm");
    EXPECT_EQ(func_DataDirFor(bin, u"Help.chm"), bin);
}

TEST_F(DataDirTest, shouldGoUpFromARelativeDotFolder)
{
    // "./" stands for bin itself: its share folder is ../share/quelvo/.
    Touch(root / "share" / "quelvo" / "FileType_lib.txt");
    const fs::path before = fs::current_path();
    fs::current_path(root / "bin");
    const std::u16string found = func_DataDirFor(u"./", u"FileType_lib.txt");
    fs::current_path(before);
    EXPECT_EQ(found, u"./../share/quelvo/");
}

}  // namespace
