// The structural check of a hive: each kind of damage found, named where it
// is, and a sound hive left alone.

#include "regfile/HiveImage.h"

#include "tests/support/Bytes.h"
#include "tests/support/ScratchFolder.h"
#include "tests/support/HiveBuilder.h"
#include "platform/Text.h"

#include <gtest/gtest.h>
#include <hivex.h>

namespace {

using namespace quelvo::platform;
using namespace quelvo::regfile;
using namespace quelvo::test;
using hive::HiveProblem;

// Classes\.a (a value), Classes\.b\Sub\Leaf, Classes\afile\Shell\Open\Command.
class HiveDamage : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        image = new std::string(ChangeClassesHive({}, {{{".a", "afile"}, {".b", "bfile"}}, {}, {"afile"}}));
        ScratchFolder dir;
        WriteBytes(dir / "h", *image);
        hive_h* h = hivex_open((dir / "h").c_str(), HIVEX_OPEN_WRITE);
        ASSERT_NE(h, nullptr);
        const hive_node_h classes = hivex_node_get_child(h, hivex_root(h), "Classes");
        const hive_node_h b = hivex_node_get_child(h, classes, ".b");
        hivex_node_add_child(h, hivex_node_add_child(h, b, "Sub"), "Leaf");
        ASSERT_EQ(hivex_commit(h, nullptr, 0), 0);
        hivex_close(h);
        *image = ReadBytes(dir / "h");
        // Where the keys lie (hivex's handles are file offsets).
        h = hivex_open((dir / "h").c_str(), 0);
        const hive_node_h cls = hivex_node_get_child(h, hivex_root(h), "Classes");
        a = hivex_node_get_child(h, cls, ".a");
        sub = hivex_node_get_child(h, hivex_node_get_child(h, cls, ".b"), "Sub");
        leaf = hivex_node_get_child(h, sub, "Leaf");
        hivex_close(h);
    }
    static void TearDownTestSuite() { delete image; }

    // A field of a key record (offsets as in the record, after the cell size).
    static std::uint32_t Field(const std::string& bytes, std::size_t key, std::size_t field)
    {
        return hive::Le32(bytes.data() + key + 4 + field);
    }
    static void SetField(std::string& bytes, std::size_t key, std::size_t field, std::uint32_t value)
    {
        hive::PutLe32(bytes.data() + key + 4 + field, value);
    }
    static std::string Text(const HiveProblem& p) { return ToUtf8(hive::DescribeHiveProblem(p, u"SOFTWARE", u"HKLM\\SOFTWARE")); }

    static std::string* image;
    static std::size_t a, sub, leaf;
};
std::string* HiveDamage::image = nullptr;
std::size_t HiveDamage::a = 0, HiveDamage::sub = 0, HiveDamage::leaf = 0;

TEST_F(HiveDamage, shouldPassASoundHive)
{
    EXPECT_FALSE(hive::CheckHiveStructure(*image)) << Text(hive::CheckHiveStructure(*image));
    EXPECT_FALSE(hive::CheckHiveBins(*image));
}

TEST_F(HiveDamage, shouldTellANonHiveAndAHiveCutShort)
{
    EXPECT_EQ(hive::CheckHiveStructure("regf").kind, HiveProblem::NotAHive);
    EXPECT_EQ(hive::CheckHiveStructure(std::string(8192, 'x')).kind, HiveProblem::NotAHive);
    const HiveProblem cut = hive::CheckHiveStructure(image->substr(0, image->size() - 4096));
    EXPECT_EQ(cut.kind, HiveProblem::CutShort);
    EXPECT_EQ(Text(cut), "SOFTWARE is cut short (it ends before the registry data its header announces)");
    // Cut inside the header itself.
    EXPECT_EQ(hive::CheckHiveStructure(image->substr(0, 2000)).kind, HiveProblem::NotAHive);
}

TEST_F(HiveDamage, shouldFindABrokenBinOrCell)
{
    std::string bytes = *image;
    bytes.replace(hive::kBaseBlockSize, 4, "hbim");
    HiveProblem p = hive::CheckHiveBins(bytes);
    EXPECT_EQ(p.kind, HiveProblem::Damaged);
    EXPECT_EQ(Text(p), "SOFTWARE is damaged (its hive bin at 0x1000 is broken)");

    bytes = *image;
    hive::PutLe32(bytes.data() + a, 3);  // a cell size no cell can have
    p = hive::CheckHiveStructure(bytes);
    EXPECT_EQ(p.kind, HiveProblem::Damaged);
    EXPECT_NE(Text(p).find("the cell at"), std::string::npos) << Text(p);
    EXPECT_FALSE(hive::CheckHiveBins(bytes)) << "the quick check reads bin headers only";
}

TEST_F(HiveDamage, shouldNameTheKeyWhoseListsPointOutsideTheHive)
{
    std::string bytes = *image;
    SetField(bytes, a, 40, 0x7FFFFFF0);  // value list
    HiveProblem p = hive::CheckHiveStructure(bytes);
    EXPECT_EQ(Text(p), "SOFTWARE is damaged at HKLM\\SOFTWARE\\Classes\\.a (its value list points outside the hive)");

    bytes = *image;
    SetField(bytes, sub, 28, 0x100);  // sub-key list into the middle of a cell
    p = hive::CheckHiveStructure(bytes);
    EXPECT_NE(Text(p).find("at HKLM\\SOFTWARE\\Classes\\.b\\Sub (its sub-key list"), std::string::npos) << Text(p);

    bytes = *image;
    SetField(bytes, sub, 20, 5);  // more sub-keys than its list holds
    EXPECT_NE(Text(hive::CheckHiveStructure(bytes)).find("sub-key count does not match"), std::string::npos);
}

TEST_F(HiveDamage, shouldFindASubKeyCycleWithoutLoopingForever)
{
    // Leaf's sub-keys become Sub's list, which holds Leaf itself.
    std::string bytes = *image;
    SetField(bytes, leaf, 20, 1);
    SetField(bytes, leaf, 28, Field(bytes, sub, 28));
    const HiveProblem p = hive::CheckHiveStructure(bytes);
    EXPECT_EQ(Text(p),
              "SOFTWARE is damaged at HKLM\\SOFTWARE\\Classes\\.b\\Sub\\Leaf (its sub-keys lead back to itself: a "
              "sub-key cycle)");
}

}  // namespace
