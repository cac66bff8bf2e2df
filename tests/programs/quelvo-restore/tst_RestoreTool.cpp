// quelvo-restore as a user runs it, against input it must not trust: the
// program itself in a child process, its output, exit status and peak memory.

#include "tests/support/Bytes.h"
#include "tests/support/ScratchFolder.h"
#include "platform/Text.h"
#include "regfile/RegFileWrite.h"
#include "platform/files/RegRestore.h"
#include "platform/files/SystemRegStore.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace quelvo::platform;
using namespace quelvo::platform::files;
using namespace quelvo::regfile;
using namespace quelvo::test;
namespace fs = std::filesystem;

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

// The budget stated in the manual page and the README for a backup of one
// million keys (measured: about 520 MiB).
constexpr long kMillionKeysBudgetKb = 768 * 1024;

struct ToolRun {
    int status = -1;  // exit status; -1 when killed
    std::string out, err;
    long peakKb = 0;  // the highest resident memory (VmHWM)
};

constexpr char16_t kHeader[] = u"Windows Registry Editor Version 5.00\r\n\r\n";

// Whether text holds a control character or a reordering one as it is,
// rather than shown escaped (line ends excepted).
bool HasRawControls(const std::string& text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if ((c < 0x20 && c != '\n') || c == 0x7F)
            return true;
        if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80
            && static_cast<unsigned char>(text[i + 1]) <= 0x9F)
            return true;
        if (text.compare(i, 3, "\xE2\x80\xAE") == 0)
            return true;
    }
    return false;
}

class RestoreToolTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        prefix = dir / "pfx";
        fs::create_directories(prefix);
        original = ReadBytes(DataFile("system.reg"));
        WriteBytes(prefix / "system.reg", original);
    }

    // Runs quelvo-restore on the test's prefix and backup folder; a run that
    // outlasts `limit` is killed and fails the test (it hung).
    ToolRun Tool(const std::vector<std::string>& args, std::chrono::seconds limit = std::chrono::seconds(300))
    {
        const fs::path out = dir / "tool.out", err = dir / "tool.err";
        const pid_t pid = ::fork();
        if (pid == 0) {
            const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (o < 0 || e < 0 || ::dup2(o, 1) < 0 || ::dup2(e, 2) < 0)
                ::_exit(127);
            ::setenv("QUELVO_TARGET", prefix.c_str(), 1);
            ::setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
            ::setenv("HOME", dir.Path().c_str(), 1);
            std::vector<char*> argv{const_cast<char*>(QUELVO_RESTORE_TOOL)};
            for (const auto& a : args)
                argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            ::execv(QUELVO_RESTORE_TOOL, argv.data());
            ::_exit(127);
        }
        ToolRun run;
        const auto deadline = std::chrono::steady_clock::now() + limit;
        int status = 0;
        rusage usage{};
        for (;;) {
            const pid_t done = ::wait4(pid, &status, WNOHANG, &usage);
            if (done == pid)
                break;
            if (std::chrono::steady_clock::now() > deadline) {
                ::kill(pid, SIGKILL);
                ::wait4(pid, &status, 0, &usage);
                ADD_FAILURE() << "quelvo-restore did not end within " << limit.count() << " s";
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.peakKb = usage.ru_maxrss;
        run.out = ReadBytes(out);
        run.err = ReadBytes(err);
        return run;
    }

    // Refused with a message holding `why`, status 1, the target byte for byte as it was.
    void ExpectRefused(const ToolRun& run, const std::string& why)
    {
        EXPECT_EQ(run.status, 1) << run.err;
        EXPECT_NE(run.err.find(why), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("Nothing was written"), std::string::npos) << run.err;
        EXPECT_FALSE(HasRawControls(run.err)) << run.err;
        EXPECT_TRUE(ReadBytes(prefix / "system.reg") == original) << "the target changed";
    }

    ScratchFolder dir;
    fs::path prefix;
    std::string original;
};

TEST_F(RestoreToolTest, shouldRefuseWhatIsNotARegularFileBeforeReadingIt)
{
    const fs::path fifo = dir / "fifo.reg";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ExpectRefused(Tool({fifo.string()}, std::chrono::seconds(60)), "is a FIFO, not a regular file");
    ExpectRefused(Tool({"/dev/zero"}, std::chrono::seconds(60)), "is a device, not a regular file");
    ExpectRefused(Tool({dir.Path().string()}), "is a folder, not a regular file");

    const fs::path real = dir / "real.reg";
    WriteBytes(real, EncodeUtf16Le(std::u16string(kHeader) + u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.new]\r\n\r\n"));
    fs::create_symlink(real, dir / "link.reg");
    ExpectRefused(Tool({(dir / "link.reg").string()}), "is a symbolic link");
    ExpectRefused(Tool({(dir / "missing.reg").string()}), "No such file");

    // The same backup named as itself goes through.
    const ToolRun run = Tool({real.string()});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("restored: HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.new"), std::string::npos) << run.out;
}

TEST_F(RestoreToolTest, shouldRefuseAFileAboveItsLimitWithoutReadingIt)
{
    const fs::path big = dir / "big.reg";
    {
        const std::string head = "Windows Registry Editor Version 5.00\r\n\r\n";
        WriteBytes(big, head);
        ASSERT_EQ(::truncate(big.c_str(), 100 << 20), 0);  // 100 MB
    }
    const ToolRun run = Tool({big.string()});
    ExpectRefused(run, "larger than " + std::to_string(kMaxBackupBytes) + " bytes");
    // Side by side with a small file refused as well: the 100 MB were not read.
    const fs::path small = dir / "small.reg";
    WriteBytes(small, "not a backup\n");
    const ToolRun baseline = Tool({small.string()});
    ExpectRefused(baseline, "not a registry export");
    EXPECT_LT(run.peakKb, baseline.peakKb + 16 * 1024) << "the file was read";
}

TEST_F(RestoreToolTest, shouldRestoreAMillionKeysWithinTheStatedMemoryBudget)
{
    // In no particular order, as a hostile file would list them.
    const int keys = kSanitized ? 50000 : 1000000;
    std::string text = "Windows Registry Editor Version 5.00\n\n";
    text.reserve(std::size_t(keys) * 40);
    for (int i = 0; i < keys; ++i) {
        const long n = (static_cast<long>(i) * 7919) % keys;
        text += "[HKLM\\SOFTWARE\\Classes\\.k" + std::to_string(n) + "]\n\n";
    }
    ASSERT_LE(text.size(), kMaxBackupBytes);
    const fs::path backup = dir / "million.reg";
    WriteBytes(backup, text);
    text = {};

    const ToolRun run = Tool({backup.string()}, std::chrono::seconds(kSanitized ? 900 : 300));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find(std::to_string(keys) + " keys restored, 0 left as they were."), std::string::npos)
        << run.out.substr(run.out.size() - std::min<std::size_t>(run.out.size(), 200));
    std::printf("%d keys: peak memory %ld KiB (budget %ld KiB)\n", keys, run.peakKb, kMillionKeysBudgetKb);
    if (!kSanitized) {
        EXPECT_LT(run.peakKb, kMillionKeysBudgetKb);
    }
    const std::string restored = ReadBytes(prefix / "system.reg");
    EXPECT_NE(restored.find("\n[Software\\\\Classes\\\\.k999] "), std::string::npos);
    EXPECT_EQ(restored.compare(0, 200, original, 0, 200), 0);
}

TEST_F(RestoreToolTest, shouldShowControlCharactersInNamesEscapedEverywhere)
{
    // A title change, a screen clear, a clipboard write (OSC 52), an 8-bit
    // CSI and a right-to-left override, in key names.
    const std::u16string hostile = u".\x1b]0;pwned\x07\x1b[2J\x1b]52;c;ZXZpbA==\x07\u009b31m\u202etxt";
    const std::u16string body = std::u16string(kHeader) + u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\" + hostile
        + u"]\r\n@=\"x\"\r\n\r\n";
    fs::create_directories(dir / "data" / "quelvo" / "backups");
    const fs::path backup = dir / "data" / "quelvo" / "backups" / "repair-20261209-150102.reg";
    WriteBytes(backup, EncodeUtf16Le(body));

    ToolRun run = Tool({backup.string()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_FALSE(HasRawControls(run.out)) << run.out;
    EXPECT_NE(run.out.find("\\x1b]0;pwned\\x07\\x1b[2J\\x1b]52;c;ZXZpbA==\\x07\\x9b31m\\u202etxt"), std::string::npos)
        << run.out;
    // The name itself is restored as the backup holds it.
    std::u16string error;
    auto store = SystemRegStore::Open(prefix / "system.reg", &error);
    ASSERT_TRUE(store) << ToUtf8(error);
    EXPECT_NE(store->Find(u"Software\\Classes\\" + hostile), nullptr);

    // A link among the backups is listed with why it is not read, not followed.
    fs::create_symlink(backup, backup.parent_path() / "repair-20261209-150103.reg");
    run = Tool({"--list"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_FALSE(HasRawControls(run.out)) << run.out;
    EXPECT_NE(run.out.find("\\x1b]0;pwned"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("cannot be restored: " + (backup.parent_path() / "repair-20261209-150103.reg").string()
                           + " is a symbolic link"),
              std::string::npos)
        << run.out;

    // In messages: a key outside the branch, and the file's own name.
    WriteBytes(prefix / "system.reg", original);
    const fs::path outside = dir / "outside.reg";
    WriteBytes(outside, EncodeUtf16Le(std::u16string(kHeader) + u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\" + hostile + u"]\r\n\r\n"));
    ExpectRefused(Tool({outside.string()}), "\\x1b]0;pwned");
    ExpectRefused(Tool({(dir / "\x1b[2Jnamed.reg").string()}), "\\x1b[2Jnamed.reg");
}

TEST_F(RestoreToolTest, shouldRefuseTextThatIsNotUnicodeNamingItsLine)
{
    const std::string head = "Windows Registry Editor Version 5.00\r\n\r\n";
    const std::string key = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.a]\r\n";
    struct Case {
        std::string bytes;
        std::string why;
    };
    auto utf16 = [](std::u16string_view text, bool little) {
        std::string out = little ? "\xFF\xFE" : "\xFE\xFF";
        for (char16_t c : text) {
            out += little ? char(c & 0xFF) : char(c >> 8);
            out += little ? char(c >> 8) : char(c & 0xFF);
        }
        return out;
    };
    const std::u16string key16 = u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.a]\r\n";
    const Case cases[] = {
        {head + key + "@=\"caf\xFF\"\r\n\r\n", "line 4: bytes that are not valid UTF-8"},
        {head + key + "@=\"\xC0\xAF\"\r\n\r\n", "line 4: bytes that are not valid UTF-8"},          // overlong "/"
        {head + key + "@=\"\xED\xA0\x80\"\r\n\r\n", "line 4: bytes that are not valid UTF-8"},      // a surrogate
        {head + key + "@=\"\xF4\x90\x80\x80\"\r\n\r\n", "line 4: bytes that are not valid UTF-8"},  // past U+10FFFF
        {head + key + "@=\"\xE2\x82\"\r\n\r\n", "line 4: bytes that are not valid UTF-8"},          // cut short
        {utf16(std::u16string(kHeader) + key16 + u"@=\"\xD800x\"\r\n\r\n", true), "line 4: a lone UTF-16 surrogate (U+D800)"},
        {utf16(std::u16string(kHeader) + u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.\xDC00]\r\n\r\n", true),
         "line 3: a lone UTF-16 surrogate (U+DC00)"},
        {utf16(std::u16string(kHeader) + key16 + u"@=\"\xDBFF\"\r\n\r\n", false), "line 4: a lone UTF-16 surrogate (U+DBFF)"},
    };
    for (const Case& c : cases) {
        const fs::path file = dir / "bad.reg";
        WriteBytes(file, c.bytes);
        ExpectRefused(Tool({file.string()}), c.why);
    }
    // A pair is text: U+1F600 restores.
    const fs::path file = dir / "good.reg";
    WriteBytes(file, utf16(std::u16string(kHeader) + key16 + u"@=\"\xD83D\xDE00\"\r\n\r\n", true));
    const ToolRun run = Tool({file.string()});
    EXPECT_EQ(run.status, 0) << run.err;
}

TEST_F(RestoreToolTest, shouldAnswerAWrongCommandLineWithItsUsage)
{
    for (const auto& args : std::vector<std::vector<std::string>>{{}, {"--frobnicate"}, {"a.reg", "b.reg"}}) {
        const ToolRun run = Tool(args);
        EXPECT_EQ(run.status, 2);
        EXPECT_NE(run.err.find("usage: quelvo-restore"), std::string::npos);
    }
    EXPECT_EQ(ReadBytes(prefix / "system.reg"), original);
}

TEST(RegRestorePrintable, shouldEscapeControlsAndBrokenBytesOnly)
{
    EXPECT_EQ(PrintableText(std::string_view("plain \xC3\xA9t\xC3\xA9 \xF0\x9F\x98\x80 \\ ok")),
              "plain \xC3\xA9t\xC3\xA9 \xF0\x9F\x98\x80 \\ ok");
    EXPECT_EQ(PrintableText(std::string_view("a\tb\nc\x7f\x1b[0m")), "a\\x09b\\x0ac\\x7f\\x1b[0m");
    EXPECT_EQ(PrintableText(std::string_view("\xC2\x9B" "1m \xE2\x80\xAE \xE2\x81\xA6")), "\\x9b1m \\u202e \\u2066");
    EXPECT_EQ(PrintableText(std::string_view("\xFF\xC3 end \xE2\x82")), "\\xff\\xc3 end \\xe2\\x82");
    EXPECT_EQ(PrintableText(std::u16string_view(u"\x1b\u009b")), "\\x1b\\x9b");
}

}  // namespace
