#include "scan/Unit_QLV_ScanRun.h"

#include "ScanFixture.h"

#include "platform/Text.h"

namespace {

using namespace quelvo::scan;
using quelvo::platform::ToUtf8;

class ScanRun : public quelvo::scan::testing::ScanFixture {
protected:
    void Extension(std::u16string_view name, std::u16string_view progId)
    {
        registry.SetString(u"SOFTWARE\\Classes\\" + std::u16string(name), u"", progId);
    }
};

TEST_F(ScanRun, shouldKeepTheFirstReportOfAnExtensionAndEveryExamination)
{
    Extension(u".abc", u"abcfile");
    Extension(u".abc ", u"ignored");  // the same key once trimmed
    registry.SetString(u"SOFTWARE\\Classes\\abcfile\\Shell\\Open\\Command", u"", u"C:\\Apps\\abc.exe %1");
    Extension(u".zip", u"");
    const ScanRunResult result = func_RunScan();
    ASSERT_EQ(result.scanned.Count(), 1u);
    EXPECT_EQ(*result.scanned.Find(u".abc"), u"C:\\Apps\\abc.exe");
    ASSERT_EQ(result.errorScanned.Count(), 1u);
    EXPECT_TRUE(result.errorScanned.Contains(u".zip"));
    std::vector<std::string> examined;
    for (const ExaminedExtension& e : result.examined)
        examined.push_back(ToUtf8(e.name) + "|" + ToUtf8(e.progId) + "|" + ToUtf8(e.command) + "|" +
                           std::to_string(static_cast<int>(e.finding)));
    EXPECT_EQ(examined, (std::vector<std::string>{".abc|abcfile|C:\\Apps\\abc.exe %1|9",
                                                  ".abc|abcfile|C:\\Apps\\abc.exe %1|9", ".zip|||3"}));
    EXPECT_FALSE(result.classesRefused);
    EXPECT_EQ(func_ScanReceiver(), nullptr) << "the run's receiver is gone with it";
}

TEST_F(ScanRun, shouldTellAClassesKeyThatRefusesFullAccessFromAnEmptyOne)
{
    EXPECT_FALSE(func_RunScan().classesRefused) << "no classes key at all: nothing refused";
    Extension(u".zip", u"");
    registry.SetRefusesFullAccess(u"SOFTWARE\\Classes", true);
    const ScanRunResult refused = func_RunScan();
    EXPECT_TRUE(refused.classesRefused);
    EXPECT_TRUE(refused.examined.empty());
    EXPECT_TRUE(refused.errorScanned.Empty()) << "and so the scan found nothing it could vouch for";
}

TEST(ScanOutcomeRecord, shouldKeepEachTypeInItsDictionaryAndTheFirstReport)
{
    quelvo::platform::TextDictionary scanned, errorScanned;
    func_RecordScanOutcome(scanned, errorScanned, u".a", u"C:\\a.exe", 1);
    func_RecordScanOutcome(scanned, errorScanned, u".a", u"C:\\other.exe", 1);
    func_RecordScanOutcome(scanned, errorScanned, u".b", u"", 2);
    func_RecordScanOutcome(scanned, errorScanned, u".c", u"C:\\c.exe", 3);
    EXPECT_EQ(*scanned.Find(u".a"), u"C:\\a.exe");
    EXPECT_EQ(scanned.Count(), 1u);
    EXPECT_TRUE(errorScanned.Contains(u".b"));
    EXPECT_EQ(errorScanned.Count(), 1u);
}

}  // namespace
