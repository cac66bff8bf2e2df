#include "desktop/WineEntries.h"

#include "tests/desktop/WineDesktop.h"

#include <gtest/gtest.h>

using namespace quelvo::desktop;
using namespace quelvo::desktop::test;

namespace {

struct Case {
    const char* what;
    std::string name;
    std::string bytes;
    bool wine;              // Wine's shape
    std::string prefix;     // as the Exec names it; "-" none
    std::string progId;
    std::string change;     // a change expected among the entry's, "" for none
};

std::string Replace(std::string text, const std::string& from, const std::string& to)
{
    text.replace(text.find(from), from.size(), to);
    return text;
}

TEST(WineEntries, shouldRecogniseWineEntriesAndTheirChanges)
{
    Association txt{.type = ".txt", .progId = "txtfile", .appName = "Notepad", .mimeType = "text/plain",
                    .openWithIcon = "2F8A_notepad.0"};
    Association odd{.type = ".odd", .progId = "My \"App\"\\File (1)", .appName = "Odd",
                    .escapedProgId = "My\\\\ \\\\\"App\\\\\"\\\\\\\\File\\\\ \\\\(1\\\\)"};
    Association irc{.type = "irc", .appName = "Chat"};
    Association stable = txt;
    stable.launcher = "wine-stable";
    const std::string plain = EntryText("/home/u/.wine", txt);
    const Case cases[] = {
        {"Wine 9's text", "wine-extension-txt.desktop", plain, true, "/home/u/.wine", "txtfile", ""},
        {"a protocol", "wine-protocol-irc.desktop", EntryText("/home/u/.wine", irc), true, "/home/u/.wine", "", ""},
        {"Debian's launcher", "wine-extension-txt.desktop", EntryText("/home/u/.wine", stable), true, "/home/u/.wine",
         "txtfile", ""},
        {"a prefix with spaces", "wine-extension-txt.desktop", EntryText("/home/u/My Wine", txt), true,
         "/home/u/My Wine", "txtfile", ""},
        {"a ProgID with quotes, spaces and a backslash", "wine-extension-odd.desktop",
         EntryText("/home/u/.wine", odd), true, "/home/u/.wine", "My \"App\"\\File (1)", ""},
        {"no prefix", "wine-extension-txt.desktop",
         Replace(plain, "env WINEPREFIX=\"/home/u/.wine\" wine", "wine"), true, "-", "txtfile", ""},
        {"a launcher by its path", "wine-extension-txt.desktop", Replace(plain, "\" wine ", "\" /usr/bin/wine "), true,
         "/home/u/.wine", "txtfile", "another Exec"},
        {"NoDisplay removed", "wine-extension-txt.desktop", Replace(plain, "NoDisplay=true\n", ""), true,
         "/home/u/.wine", "txtfile", "NoDisplay=true removed"},
        {"a key added", "wine-extension-txt.desktop", plain + "Comment=mine\n", true, "/home/u/.wine", "txtfile",
         "keys Wine does not write: Comment"},
        {"a second type", "wine-extension-txt.desktop", Replace(plain, "text/plain;", "text/plain;text/x-log;"), true,
         "/home/u/.wine", "txtfile", "another MimeType"},
        {"a comment", "wine-extension-txt.desktop", "# mine\n" + plain, true, "/home/u/.wine", "txtfile",
         "lines Wine does not write (comments, blank lines or other groups)"},
        {"lines reordered", "wine-extension-txt.desktop",
         Replace(Replace(plain, "Type=Application\n", ""), "NoDisplay", "Type=Application\nNoDisplay"), true,
         "/home/u/.wine", "txtfile", "its keys in another order"},
        {"CRLF line ends", "wine-extension-txt.desktop", Replace(plain, "Type=Application\n", "Type=Application\r\n"),
         true, "/home/u/.wine", "txtfile", "written with other spacing or line ends"},
        {"another program", "wine-extension-txt.desktop", Replace(plain, "env WINEPREFIX=\"/home/u/.wine\" wine start /ProgIDOpen txtfile", "gedit"),
         false, "", "", ""},
        {"a protocol Exec under an extension's name", "wine-extension-irc.desktop", EntryText("/home/u/.wine", irc),
         false, "", "", ""},
        {"a ProgID under a protocol's name", "wine-protocol-irc.desktop", plain, false, "", "", ""},
        {"a quote in the prefix, written raw as Wine does", "wine-extension-txt.desktop",
         EntryText("/home/u/a\"b", txt), false, "", "", ""},
        {"a backslash in the prefix, written raw as Wine does", "wine-extension-txt.desktop",
         EntryText("/home/u/a\\b", txt), false, "", "", ""},
        {"a relative prefix", "wine-extension-txt.desktop", EntryText("pfx", txt), false, "", "", ""},
        {"binary", "wine-extension-txt.desktop", std::string("\x7f" "ELF\0\0\1", 7) + plain, false, "", "", ""},
        {"no group", "wine-extension-txt.desktop", plain.substr(plain.find('\n') + 1), false, "", "", ""},
        {"not Wine's name", "wine-txt.desktop", plain, false, "", "", ""},
    };
    for (const Case& c : cases) {
        WineEntry entry;
        std::string whyNot;
        ASSERT_EQ(RecogniseWineEntry(c.name, c.bytes, &entry, &whyNot), c.wine) << c.what << ": " << whyNot;
        if (!c.wine) {
            EXPECT_FALSE(whyNot.empty()) << c.what;
            continue;
        }
        EXPECT_EQ(entry.prefix.value_or("-"), c.prefix) << c.what;
        EXPECT_EQ(entry.progId, c.progId) << c.what;
        if (c.change.empty())
            EXPECT_TRUE(entry.changes.empty()) << c.what << ": " << (entry.changes.empty() ? "" : entry.changes[0]);
        else
            EXPECT_NE(std::find(entry.changes.begin(), entry.changes.end(), c.change), entry.changes.end())
                << c.what << ": " << (entry.changes.empty() ? "no change" : entry.changes[0]);
    }
}

TEST(WineEntries, shouldRecogniseOnlyWinesOwnMimePackages)
{
    const Association foo{.type = ".foo", .progId = "foofile", .docName = "Foo & <Bar> \"document\""};
    const Association bare{.type = ".bar", .progId = "barfile"};
    std::string text = PackageText(foo);
    text.replace(text.find("Foo & <Bar> \"document\""), 22, "Foo &amp; &lt;Bar&gt; &quot;document&quot;");
    WineMimePackage package;
    ASSERT_TRUE(RecogniseWineMimePackage("x-wine-extension-foo.xml", text, &package));
    EXPECT_EQ(package.type, "application/x-wine-extension-foo");
    EXPECT_EQ(package.comment, "Foo & <Bar> \"document\"");
    EXPECT_EQ(WineMimePackageText(package), text);
    ASSERT_TRUE(RecogniseWineMimePackage("x-wine-extension-bar.xml", PackageText(bare), &package));
    EXPECT_FALSE(package.comment);
    EXPECT_FALSE(RecogniseWineMimePackage("x-wine-extension-baz.xml", PackageText(bare), &package))
        << "its glob must be its name's extension";
    EXPECT_FALSE(RecogniseWineMimePackage("x-wine-extension-bar.xml", PackageText(bare) + "\n", &package));
    std::string icon = PackageText(bare);
    icon.insert(icon.find("  </mime-type>"), "    <icon name=\"x\"/>\n");
    EXPECT_FALSE(RecogniseWineMimePackage("x-wine-extension-bar.xml", icon, &package));
}

}  // namespace
