// Recovery of dirty hives from their transaction logs: against the hives
// Windows itself recovered (real sets), and on logs written here.

#include "regfile/HiveRecovery.h"

#include "platform/Text.h"
#include "platform/files/HiveStore.h"
#include "regfile/HiveImage.h"
#include "regfile/TreeDump.h"
#include "tests/support/Bytes.h"
#include "tests/support/HiveBuilder.h"
#include "tests/support/ScratchFolder.h"

#include <gtest/gtest.h>

namespace {

using namespace quelvo::platform;
using namespace quelvo::platform::files;
using namespace quelvo::regfile;
using namespace quelvo::test;
namespace fs = std::filesystem;
using hive::Recovery;

std::string N(std::u16string_view text) { return ToUtf8(text); }

// A hive file and the logs beside it, read as the store reads them.
struct HiveFiles {
    std::string primary;
    std::vector<std::string> logBytes;  // LOG1, LOG2, LOG (empty when absent)

    Recovery Recover() const
    {
        std::vector<hive::LogFile> logs;
        const char* names[] = {"H.LOG1", "H.LOG2", "H.LOG"};
        for (std::size_t i = 0; i < logBytes.size(); ++i)
            logs.push_back({names[i], logBytes[i]});
        return hive::RecoverHive(primary, logs);
    }
};

HiveFiles ReadFiles(const fs::path& hive)
{
    HiveFiles files{ReadBytes(hive), {}};
    for (const char* suffix : {".LOG1", ".LOG2", ".LOG"}) {
        const fs::path log = hive.string() + suffix;
        files.logBytes.push_back(fs::exists(log) ? ReadBytes(log) : std::string());
    }
    return files;
}

// Whether the store's open recovers the hive from its logs: the step the
// recovery benchmark times (ReadWorkingCopy) on its own.
bool RecoversAtOpen(const fs::path& hive)
{
    HiveSources sources;
    WorkingCopy copy;
    std::u16string error;
    return sources.Open(hive, &error) && ReadWorkingCopy(sources, &copy, &error) && copy.recovered;
}

// Every key with every value, through hivex, of a hive image.
std::string Tree(const std::string& image)
{
    ScratchFolder dir;
    WriteBytes(dir / "SOFTWARE", image);
    std::u16string error;
    auto store = HiveStore::Open(dir / "SOFTWARE", &error);
    EXPECT_TRUE(store) << N(error);
    if (!store)
        return {};
    EXPECT_EQ(store->ReadState().kind, ReadCondition::Complete) << N(store->ReadState().text);
    RegKey* root = store->Find(u"SOFTWARE");
    EXPECT_NE(root, nullptr);
    return root ? DumpKeyTreeWithValues(*root) : std::string();
}

std::string Bins(const std::string& image, std::uint32_t size) { return image.substr(hive::kBaseBlockSize, size); }

class RealHives : public ::testing::Test {
protected:
    // The set unpacked; its hive file's path.
    fs::path Unpack(const std::string& set, const std::string& hive)
    {
        if (!UnpackRealSet(set, dir.Path()))
            return {};
        return dir / hive;
    }

    ScratchFolder dir;
};

#define UNPACK_OR_SKIP(var, set, hive)                   \
    const fs::path var = Unpack(set, hive);              \
    if (var.empty())                                     \
        GTEST_SKIP() << RealSetsMissing();

TEST_F(RealHives, shouldRecoverNewFormatLogsExactlyAsWindows10Did)
{
    UNPACK_OR_SKIP(hive, "yarp-NewDirtyHive1", "NewDirtyHive");
    const HiveFiles files = ReadFiles(hive);
    const Recovery r = files.Recover();
    ASSERT_EQ(r.outcome, Recovery::Recovered) << N(r.reason);
    EXPECT_EQ(r.logsUsed, (std::vector<std::string>{"H.LOG1", "H.LOG2"}));
    EXPECT_EQ(r.entriesApplied, 4u);
    const std::string windows = ReadBytes(dir / "RecoveredHive_Windows10");
    const hive::BaseBlock base = hive::ReadBaseBlock(r.image);
    EXPECT_FALSE(base.Dirty());
    EXPECT_EQ(base.primarySequence, 5u);
    EXPECT_EQ(Tree(r.image), Tree(windows));
    EXPECT_NE(Tree(r.image), Tree(WithSequenceNumbers(files.primary, 1, 1)));
    // Windows wrote exactly these hive bins.
    EXPECT_TRUE(Bins(r.image, base.binsSize) == Bins(windows, base.binsSize));
}

TEST_F(RealHives, shouldApplyOnlyTheEntriesAtOrAboveTheSecondarySequenceNumber)
{
    UNPACK_OR_SKIP(hive, "yarp-NewDirtyHive2", "NewDirtyHive");
    const Recovery r = ReadFiles(hive).Recover();
    ASSERT_EQ(r.outcome, Recovery::Recovered) << N(r.reason);
    EXPECT_EQ(r.logsUsed, std::vector<std::string>{"H.LOG2"});
    EXPECT_EQ(r.entriesApplied, 3u);
    EXPECT_EQ(r.sequence, 5u);
    EXPECT_EQ(hive::ReadBaseBlock(r.image).secondarySequence, 5u);
}

TEST_F(RealHives, shouldRecoverAnOldFormatLogAsWindows7DidAndABrokenHeaderFromItsLog)
{
    {
        UNPACK_OR_SKIP(hive, "yarp-OldDirtyHive", "OldDirtyHive");
        const Recovery r = ReadFiles(hive).Recover();
        ASSERT_EQ(r.outcome, Recovery::Recovered) << N(r.reason);
        EXPECT_EQ(r.logsUsed, std::vector<std::string>{"H.LOG1"});
        EXPECT_EQ(Tree(r.image), Tree(ReadBytes(dir / "RecoveredHive_Windows7")));
    }
    ScratchFolder other;
    ASSERT_TRUE(UnpackRealSet("yarp-BadBaseBlockHive", other.Path()));
    const HiveFiles files = ReadFiles(other / "BadBaseBlockHive");
    ASSERT_TRUE(hive::ReadBaseBlock(files.primary).signature);
    ASSERT_FALSE(hive::ReadBaseBlock(files.primary).checksumOk);
    const Recovery r = files.Recover();
    ASSERT_EQ(r.outcome, Recovery::Recovered) << N(r.reason);
    const hive::BaseBlock base = hive::ReadBaseBlock(r.image);
    EXPECT_TRUE(base.checksumOk);
    EXPECT_EQ(base.minor, 3u) << "the header is the log's copy";
    EXPECT_EQ(Tree(r.image), Tree(ReadBytes(dir / "RecoveredHive_Windows7")));
}

TEST_F(RealHives, shouldRefuseDamagedLogsAndLeaveTheHiveAsItWas)
{
    for (const char* set : {"yarp-BadLogHive1", "yarp-BadLogHive2", "yarp-BadLogHive3"}) {
        ScratchFolder here;
        if (!UnpackRealSet(set, here.Path()))
            GTEST_SKIP() << RealSetsMissing();
        const HiveFiles files = ReadFiles(here / "BadLogHive");
        const Recovery r = files.Recover();
        EXPECT_EQ(r.outcome, Recovery::Unrecoverable) << set;
        EXPECT_FALSE(r.reason.empty()) << set;
        EXPECT_TRUE(r.image == files.primary) << set;

        std::u16string error;
        const bool recovered = RecoversAtOpen(here / "BadLogHive");
        auto store = HiveStore::Open(here / "BadLogHive", &error);
        ASSERT_TRUE(store) << set << ": " << N(error);
        EXPECT_EQ(store->ReadState().kind, ReadCondition::Stale) << set;
        EXPECT_FALSE(recovered) << set;
    }
}

// Real classes hives: the replay ends in sound hives with the key counts an
// independent replay found.
TEST_F(RealHives, shouldRecoverRealClassesHivesToSoundHives)
{
    struct Set {
        const char* name;
        std::size_t before, after;
    };
    for (const Set& set : {Set{"regipy-UsrClass", 6205, 6238}, Set{"win10-UsrClass", 6374, 6392}}) {
        ScratchFolder here;
        if (!UnpackRealSet(set.name, here.Path()))
            GTEST_SKIP() << RealSetsMissing();
        const HiveFiles files = ReadFiles(here / "UsrClass.dat");
        const Recovery r = files.Recover();
        ASSERT_EQ(r.outcome, Recovery::Recovered) << set.name << ": " << N(r.reason);
        EXPECT_FALSE(hive::CheckHiveStructure(r.image)) << set.name;

        auto keys = [](const fs::path& file) {
            std::u16string error;
            auto store = HiveStore::Open(file, &error);
            std::size_t count = 0;
            if (!store || !store->Find(u"SOFTWARE"))
                return count;
            ForEachKey(*store->Find(u"SOFTWARE"), [&](RegKey&) { ++count; });
            EXPECT_EQ(store->ReadState().kind, ReadCondition::Complete) << N(store->ReadState().text);
            return count;
        };
        // The store finds the logs beside the file and reads the recovered hive.
        EXPECT_EQ(keys(here / "UsrClass.dat"), set.after) << set.name;
        WriteBytes(here / "alone.dat", WithSequenceNumbers(files.primary, 1, 1));  // as it lies, clean
        EXPECT_EQ(keys(here / "alone.dat"), set.before) << set.name;
    }
}

// The store recovers in its private memory file, reading the logs piece by
// piece; it must read what the recovery of the same bytes in memory gives.
TEST_F(RealHives, shouldReadInTheStoreWhatTheRecoveryInMemoryGives)
{
    const std::pair<const char*, const char*> sets[] = {
        {"yarp-NewDirtyHive1", "NewDirtyHive"}, {"yarp-NewDirtyHive2", "NewDirtyHive"},
        {"yarp-OldDirtyHive", "OldDirtyHive"},  {"yarp-BadBaseBlockHive", "BadBaseBlockHive"},
        {"regipy-UsrClass", "UsrClass.dat"},    {"win10-UsrClass", "UsrClass.dat"},
    };
    for (const auto& [set, name] : sets) {
        ScratchFolder here;
        if (!UnpackRealSet(set, here.Path()))
            GTEST_SKIP() << RealSetsMissing();
        const Recovery r = ReadFiles(here / name).Recover();
        ASSERT_EQ(r.outcome, Recovery::Recovered) << set << ": " << N(r.reason);
        std::u16string error;
        const int recovered = RecoversAtOpen(here / name) ? 1 : 0;  // what the recovery benchmark times
        auto store = HiveStore::Open(here / name, &error);
        ASSERT_TRUE(store) << set << ": " << N(error);
        EXPECT_EQ(recovered, 1) << set;
        EXPECT_EQ(store->ReadState().kind, ReadCondition::Complete) << set << ": " << N(store->ReadState().text);
        RegKey* root = store->Find(u"SOFTWARE");
        ASSERT_NE(root, nullptr) << set;
        EXPECT_EQ(DumpKeyTreeWithValues(*root), Tree(r.image)) << set;
    }
}

// ---- Logs written here -------------------------------------------------------

class WrittenLogs : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        before = new std::string(ChangeClassesHive({}, {{{".a", "afile"}, {".b", "bfile"}}, {}, {"afile"}}));
        ClassesChange change;
        change.extensions = {{".b", "afile"}, {".c", "cfile"}};
        change.removed = {".a"};
        for (int i = 0; i < 200; ++i)  // enough to grow the hive by a bin or more
            change.extensions.emplace_back(".n" + std::to_string(i), "none");
        after = new std::string(ChangeClassesHive(*before, change));
    }
    static void TearDownTestSuite()
    {
        delete before;
        delete after;
    }

    static Recovery Recover(const std::string& primary, const std::string& log1, const std::string& log2)
    {
        return hive::RecoverHive(primary, {{"SOFTWARE.LOG1", log1}, {"SOFTWARE.LOG2", log2}});
    }

    static std::string* before;
    static std::string* after;
};
std::string* WrittenLogs::before = nullptr;
std::string* WrittenLogs::after = nullptr;

TEST_F(WrittenLogs, shouldChainEntriesAcrossBothLogsToTheLaterState)
{
    ASSERT_GT(BinsSize(*after), BinsSize(*before)) << "the later state is larger";
    const DirtyHive dirty = MakeDirtyHive(*before, *after);
    const Recovery r = Recover(dirty.file, dirty.log1, dirty.log2);
    ASSERT_EQ(r.outcome, Recovery::Recovered) << N(r.reason);
    EXPECT_EQ(r.entriesApplied, 3u);
    EXPECT_TRUE(Bins(r.image, BinsSize(*after)) == Bins(*after, BinsSize(*after)));
    EXPECT_EQ(r.image.size(), hive::kBaseBlockSize + BinsSize(*after));
    EXPECT_EQ(r.sequence, SecondarySequence(*before) + 2);

    // A clean hive ignores its logs.
    const std::string clean = WithSequenceNumbers(*before, 9, 9);
    const Recovery ignored = Recover(clean, dirty.log1, dirty.log2);
    EXPECT_EQ(ignored.outcome, Recovery::Clean);
    EXPECT_TRUE(ignored.image == clean);
}

TEST_F(WrittenLogs, shouldStopAtTheFirstEntryThatFailsItsChecks)
{
    const DirtyHive dirty = MakeDirtyHive(*before, *after);
    const std::uint32_t n = SecondarySequence(*before);
    // A page of the last entry (LOG2) changed after its hash was taken: the
    // two entries of LOG1 apply, the damaged one not.
    std::string log2 = dirty.log2;
    log2[512 + 40 + 8 * 2 + 100] ^= 1;
    Recovery r = Recover(dirty.file, dirty.log1, log2);
    ASSERT_EQ(r.outcome, Recovery::Recovered) << N(r.reason);
    EXPECT_EQ(r.entriesApplied, 2u);
    EXPECT_EQ(r.sequence, n + 1);
    EXPECT_NE(N(r.reason).find("entry " + std::to_string(n + 2) + " of SOFTWARE.LOG2 is damaged"), std::string::npos)
        << N(r.reason);

    // Its header hash (Hash-2) and its hive-bins size are checked too.
    for (std::size_t at : {std::size_t(512 + 32), std::size_t(512 + 16)}) {
        std::string log1 = dirty.log1;
        log1[at] ^= 0x10;
        r = Recover(dirty.file, log1, dirty.log2);
        EXPECT_EQ(r.outcome, Recovery::Unrecoverable) << at << ": the first entry is damaged, nothing applies";
        EXPECT_TRUE(r.image == dirty.file);
    }
}

TEST_F(WrittenLogs, shouldRefuseLogsThatDoNotChainAndKeepTheHiveAsItWas)
{
    const DirtyHive dirty = MakeDirtyHive(*before, *after);
    const std::uint32_t n = SecondarySequence(*before);
    // LOG2's entry numbered one too high: entry n + 2 is missing.
    const std::string gap = NewFormatLog(*after, n + 3, {{n + 3, BinsSize(*after), ChangedPages(*before, *after)}});
    Recovery r = Recover(dirty.file, dirty.log1, gap);
    EXPECT_EQ(r.outcome, Recovery::Unrecoverable);
    EXPECT_NE(N(r.reason).find("do not follow on"), std::string::npos) << N(r.reason);
    EXPECT_TRUE(r.image == dirty.file);

    // Logs holding only older entries.
    const std::string stale = WithSequenceNumbers(dirty.file, n + 9, n + 8);
    r = Recover(stale, dirty.log1, dirty.log2);
    EXPECT_EQ(r.outcome, Recovery::Unrecoverable);
    EXPECT_TRUE(r.image == stale);

    // No logs at all.
    r = Recover(dirty.file, {}, {});
    EXPECT_EQ(r.outcome, Recovery::Unrecoverable);
    EXPECT_NE(N(r.reason).find("no usable transaction log"), std::string::npos) << N(r.reason);
}

TEST_F(WrittenLogs, shouldIgnoreOldEntriesLeftAfterTheLiveOnesAndReportTheHighestSequence)
{
    const DirtyHive dirty = MakeDirtyHive(*before, *after);
    const std::uint32_t n = SecondarySequence(*before);
    // LOG1 reused: after its live entries lie older ones of an earlier round,
    // as on real disks; one of them carries a high number but is damaged.
    std::string log1 = dirty.log1 + NewFormatLog(*after, 1, {{n - 1, BinsSize(*after), {}}}).substr(512);
    std::string tail = NewFormatLog(*after, 1, {{n + 40, BinsSize(*after), {}}}).substr(512);
    tail[40] ^= 1;
    log1 += tail;
    const Recovery r = Recover(dirty.file, log1, dirty.log2);
    ASSERT_EQ(r.outcome, Recovery::Recovered) << N(r.reason);
    EXPECT_TRUE(Bins(r.image, BinsSize(*after)) == Bins(*after, BinsSize(*after)));
    EXPECT_EQ(hive::HighestLogSequence({{"SOFTWARE.LOG1", log1}, {"SOFTWARE.LOG2", dirty.log2}}), n + 40);
}

TEST_F(WrittenLogs, shouldRecoverABrokenHeaderFromTheFirstLog)
{
    const DirtyHive dirty = MakeDirtyHive(*before, *after);
    std::string broken = dirty.file;
    broken[508] ^= 0x55;  // wrong checksum
    const Recovery r = Recover(broken, dirty.log1, dirty.log2);
    ASSERT_EQ(r.outcome, Recovery::Recovered) << N(r.reason);
    EXPECT_TRUE(hive::ReadBaseBlock(r.image).checksumOk);
    EXPECT_TRUE(Bins(r.image, BinsSize(*after)) == Bins(*after, BinsSize(*after)));

    // Without a usable log it stays as it was.
    std::string log1 = dirty.log1, log2 = dirty.log2;
    log1[508] ^= 1;
    log2[508] ^= 1;
    const Recovery none = Recover(broken, log1, log2);
    EXPECT_EQ(none.outcome, Recovery::Unrecoverable);
    EXPECT_NE(N(none.reason).find("header is damaged"), std::string::npos) << N(none.reason);
    EXPECT_TRUE(none.image == broken);
}

// Entries are applied by two writers, each owning part of the hive: every
// page must still end as the last entry to carry it left it, a run of pages
// crossing from one part into the other included.
TEST_F(WrittenLogs, shouldLeaveEveryPageAsTheLastEntryCarryingItLeftIt)
{
    const std::uint32_t n = SecondarySequence(*after);
    const std::uint32_t bins = BinsSize(*after);
    ASSERT_GE(bins / 4096, 3u);
    // Byte 100 of a page lies in its cells, never in its bin's header.
    auto marked = [&](std::uint32_t at, char mark) {
        std::string page = after->substr(hive::kBaseBlockSize + at, 4096);
        page[100] = mark;
        return HivePage{at, page};
    };
    LogEntrySpec all{n, bins, {}}, everyOther{n + 1, bins, {}};
    std::string expected = Bins(*after, bins);
    for (std::uint32_t at = 0; at < bins; at += 4096) {
        all.pages.push_back(marked(at, 'A'));  // one run over the whole hive
        expected[at + 100] = 'A';
        if (at / 4096 % 2 == 0) {
            everyOther.pages.push_back(marked(at, 'B'));
            expected[at + 100] = 'B';
        }
    }
    const std::string primary = WithSequenceNumbers(*after, n + 1, n);
    const Recovery r = Recover(primary, NewFormatLog(*after, n, {all, everyOther}), {});
    ASSERT_EQ(r.outcome, Recovery::Recovered) << N(r.reason);
    EXPECT_EQ(r.entriesApplied, 2u);
    EXPECT_TRUE(Bins(r.image, bins) == expected);
}

// Entries whose hashes hold but whose result breaks a hive bin: nothing is
// applied, in memory as in the store (which checks the result while hivex
// reads it, and then reads the file as it lies).
TEST_F(WrittenLogs, shouldRefuseEntriesThatLeaveAHiveBinBroken)
{
    const std::uint32_t n = SecondarySequence(*after);
    const std::uint32_t bins = BinsSize(*after);
    std::string page = after->substr(hive::kBaseBlockSize + bins - 4096, 4096);
    page.replace(0, 4, "junk");  // the last bin's signature, if it starts there
    if (hive::Le32(after->data() + hive::kBaseBlockSize + bins - 4096 + 8) != 4096)
        GTEST_SKIP() << "the last page does not start a bin";
    const std::string primary = WithSequenceNumbers(*after, n + 1, n);
    const std::string log1 = NewFormatLog(*after, n, {{n, bins, {{bins - 4096, page}}}});
    const Recovery r = Recover(primary, log1, {});
    EXPECT_EQ(r.outcome, Recovery::Unrecoverable);
    EXPECT_NE(N(r.reason).find("a hive bin is broken"), std::string::npos) << N(r.reason);
    EXPECT_TRUE(r.image == primary);

    ScratchFolder dir;
    WriteBytes(dir / "SOFTWARE", primary);
    WriteBytes(dir / "SOFTWARE.LOG1", log1);
    std::u16string error;
    auto store = HiveStore::Open(dir / "SOFTWARE", &error);
    ASSERT_TRUE(store) << N(error);
    EXPECT_EQ(store->ReadState().kind, ReadCondition::Stale);
    EXPECT_NE(N(store->ReadState().text).find("a hive bin is broken"), std::string::npos)
        << N(store->ReadState().text);
    EXPECT_TRUE(store->RecoveredFrom().empty());
    RegKey* root = store->Find(u"SOFTWARE");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(DumpKeyTreeWithValues(*root), Tree(WithSequenceNumbers(*after, n, n)));
}

// A log that announces a huge hive costs no memory: the hive may only grow by
// what the logs carry.
TEST_F(WrittenLogs, shouldNotGrowTheHiveBeyondWhatItsLogsCarry)
{
    const std::uint32_t n = SecondarySequence(*before);
    const std::string primary = WithSequenceNumbers(*before, n + 1, n);
    const std::string log = NewFormatLog(*before, n, {{n, 0x7FFFF000, {{0x7FFFE000, std::string(4096, 'x')}}}});
    const Recovery r = Recover(primary, log, {});
    EXPECT_EQ(r.outcome, Recovery::Unrecoverable);
    EXPECT_TRUE(r.image == primary);
}

}  // namespace
