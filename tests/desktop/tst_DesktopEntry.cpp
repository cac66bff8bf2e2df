#include "desktop/DesktopEntry.h"

#include <gtest/gtest.h>

using namespace quelvo::desktop;
using namespace std::string_literals;

namespace {

struct ExecCase {
    const char* raw;  // the value as the file holds it
    std::vector<std::string> args;
    bool ok = true;
};

// The value's string escapes are undone first, then the quoting.
TEST(DesktopEntry, shouldSplitExecByTheQuotingRules)
{
    const ExecCase cases[] = {
        {"env WINEPREFIX=\"/home/u/.wine\" wine start /ProgIDOpen txtfile %f",
         {"env", "WINEPREFIX=/home/u/.wine", "wine", "start", "/ProgIDOpen", "txtfile", "%f"}},
        {"env WINEPREFIX=\"/home/u/My Games\" wine start %u", {"env", "WINEPREFIX=/home/u/My Games", "wine", "start", "%u"}},
        {"a \"q\\\\\"x\\\\\"\" b", {"a", "q\"x\"", "b"}},         // \" inside quotes, after \\ -> \.
        {"a \"back\\\\\\\\slash\"", {"a", "back\\slash"}},        // \\\\ in the file is one backslash
        {"a \"\\\\$HOME \\\\`x\\\\`\"", {"a", "$HOME `x`"}},
        {"My\\\\ App\\\\&Co", {"My App&Co"}},                     // Wine's escape outside quotes
        {"x\\sy", {"x", "y"}},                                     // \s is a space, and separates
        {"'a b' \"\" c", {"a b", "", "c"}},
        {"  tabs\\tand   spaces  ", {"tabs", "and", "spaces"}},
        {"a \"b", {}, false},
        {"a 'b", {}, false},
        {"a\\\\", {}, false},  // a lone escape at the end
        {"a\\qb", {}, false},  // not a string escape
        {"a\\", {}, false},
    };
    for (const ExecCase& c : cases) {
        std::string value, error;
        std::vector<std::string> args;
        const bool ok = UnescapeString(c.raw, &value) && SplitExec(value, &args, &error);
        EXPECT_EQ(ok, c.ok) << c.raw;
        if (c.ok) {
            EXPECT_EQ(args, c.args) << c.raw;
        }
    }
}

TEST(DesktopEntry, shouldReadKeyFilesStrictlyAndInPlaceLeniently)
{
    struct Case {
        std::string bytes;
        bool strict;
    } cases[] = {
        {"[Desktop Entry]\nName = x \nName[de]=y\n# c\n\n", true},
        {"[Desktop Entry]\r\nName=x", true},
        {"Name=x\n[Desktop Entry]\n", false},                  // a key before any group
        {"[Desktop Entry]\nno equals sign\n", false},
        {"[Desktop Entry\nName=x\n", false},
        {"[Desktop Entry]\nName=a\0b\n"s, false},                 // binary
        {"[Desktop Entry]\nName=\xff\xfe\n", false},           // not UTF-8
        {"[Desktop Entry]\nName=\xed\xa0\x80\n", false},       // a surrogate
        {"[Desktop Entry]\nName=\xc0\xaf\n", false},           // overlong
    };
    for (const Case& c : cases) {
        KeyFile file;
        std::string error;
        EXPECT_EQ(ParseKeyFile(c.bytes, &file, &error), c.strict) << c.bytes;
        KeyFile lenient;
        ASSERT_TRUE(ParseKeyFile(c.bytes, &lenient, &error, true));
        std::string back;
        for (const KeyFileLine& line : lenient.lines)
            back += line.text + (line.ended ? (line.crlf ? "\r\n" : "\n") : "");
        EXPECT_EQ(back, c.bytes) << "a lenient read keeps every byte";
    }
    KeyFile file;
    std::string error;
    ASSERT_TRUE(ParseKeyFile("[Desktop Entry]\nName = x \nName=y\n[Other]\nName=z\n", &file, &error));
    EXPECT_EQ(file.Raw("Desktop Entry", "Name"), "y") << "the last of a key is the one the desktops use";
    EXPECT_EQ(file.Count("Desktop Entry", "Name"), 2u);
    EXPECT_EQ(file.Raw("Other", "Name"), "z");
}

}  // namespace
