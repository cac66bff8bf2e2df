// Which link targets reach the desktop. Report rows carry registry key
// names, written by anyone, so every kind of address a key name can hold is
// tried here by name.

#include "frontend/LinkTargets.h"

#include <gtest/gtest.h>

#include <string>

namespace quelvo::frontend {
namespace {

TEST(IsOpenableAddress, shouldOpenWholeWebAndMailAddresses)
{
    for (std::u16string address : {
             u"http://example.org",
             u"http://example.org/",
             u"https://www.quelvo.example/help?topic=scan#fix",
             u"HTTP://Example.ORG/x",
             u"http://127.0.0.1:8080/ext/file_ext.php?ext[]=mp3&ext[]=AVI",
             u"http://[::1]:80/",
             u"http://localhost:65535",
             u"http://a-b_c~d.example/%20x",
             u"mailto:help@quelvo.example",
             u"MAILTO:a@b.example,c@d.example?subject=Quelvo",
         })
        EXPECT_TRUE(IsOpenableAddress(address)) << std::string(address.begin(), address.end());
}

TEST(IsOpenableAddress, shouldRefuseWhatARegistryKeyNameCanCarry)
{
    for (std::u16string address : {
             u"",
             u"http:///x",  // no host
             u"http://",
             u"http:",
             u"http:example.org",
             u"https://:80/",
             u"http://example.org:/",
             u"http://example.org:65536/",
             u"http://example.org:8o/",
             u"http://user@example.org/",  // a name before the host
             u"http://example.org@evil.example/",
             u"http://exa mple.org/",
             u" http://example.org",
             u"http://example.org/a\"b",
             u"http:\\\\example.org\\x",
             u"http://example.org\\@evil.example/",
             u"http://[::1/",
             u"http://.../",
             u"file:",
             u"file:///C:/Windows/notepad.exe",
             u"file://server/share/x.exe",
             u"javascript:alert(1)",
             u"javascript://%0Aalert(1)",
             u"vbscript:msgbox",
             u"ftp://example.org/",
             u"\\\\server\\share\\setup.exe",
             u"//server/share",
             u"C:\\Windows\\notepad.exe",
             u"C:/Windows/notepad.exe",
             u"notepad.exe",
             u".mp3",
             u"check .mp3",
             u".x file://C:/Windows/notepad.exe",
             u".y://z",
             u"mailto:",
             u"mailto:nobody",
             u"mailto:@example.org",
             u"mailto:a@",
             u"mailto:a@b.example,",
             u"mailto:a@b@c.example",
         })
        EXPECT_FALSE(IsOpenableAddress(address)) << std::string(address.begin(), address.end());
}

TEST(IsOpenableAddress, shouldRefuseControlAndNonAsciiCharacters)
{
    EXPECT_FALSE(IsOpenableAddress(std::u16string(u"http://example.org/\0x", 21)));
    EXPECT_FALSE(IsOpenableAddress(u"http://example.org/\r\nx"));
    EXPECT_FALSE(IsOpenableAddress(u"http://ex\u00e4mple.org/"));
    EXPECT_FALSE(IsOpenableAddress(u"http://example.org/\u202Eexe.txt"));
    EXPECT_FALSE(IsOpenableAddress(u"http://example.org/\x7F"));
}

TEST(IsDesktopTarget, shouldTakeAnyTargetWithASchemeSeparatorOrMailtoForALink)
{
    EXPECT_TRUE(IsDesktopTarget(u"http://example.org"));
    EXPECT_TRUE(IsDesktopTarget(u".y://z"));
    EXPECT_TRUE(IsDesktopTarget(u"write mailto:x"));
    EXPECT_FALSE(IsDesktopTarget(u"check .mp3"));
    EXPECT_FALSE(IsDesktopTarget(u".mp3"));
    EXPECT_FALSE(IsDesktopTarget(u"MAILTO:a@b.example")) << "the widgets' rule matches mailto: as written";
    EXPECT_FALSE(IsDesktopTarget(u"http:/x"));
}

}  // namespace
}  // namespace quelvo::frontend
