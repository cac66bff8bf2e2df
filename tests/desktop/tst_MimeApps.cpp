#include "desktop/MimeApps.h"

#include <gtest/gtest.h>

using namespace quelvo::desktop;

namespace {

const std::set<std::string> kStale = {"wine-extension-doc.desktop", "wine-protocol-irc.desktop"};

struct Case {
    const char* what;
    std::string before;
    std::string after;  // "" when nothing changes
};

TEST(MimeApps, shouldTakeOutOnlyTheStaleIdsKeepingEverythingElse)
{
    const Case cases[] = {
        {"a default among others",
         "[Default Applications]\napplication/msword=wine-extension-doc.desktop;libreoffice-writer.desktop;\n",
         "[Default Applications]\napplication/msword=libreoffice-writer.desktop;\n"},
        {"the only id: the line goes",
         "# mine\n[Default Applications]\napplication/msword=wine-extension-doc.desktop;\ntext/plain=gedit.desktop;\n",
         "# mine\n[Default Applications]\ntext/plain=gedit.desktop;\n"},
        {"all three groups, duplicates, unknown groups and comments",
         "[Added Associations]\napplication/msword=a.desktop;wine-extension-doc.desktop;a.desktop;wine-extension-doc.desktop;\n"
         "# keep me\n[X-Mine]\napplication/msword=wine-extension-doc.desktop;\n"
         "[Removed Associations]\nx-scheme-handler/irc=wine-protocol-irc.desktop;b.desktop\n"
         "[Default Applications]\nx-scheme-handler/irc=wine-protocol-irc.desktop\n",
         "[Added Associations]\napplication/msword=a.desktop;a.desktop;\n"
         "# keep me\n[X-Mine]\napplication/msword=wine-extension-doc.desktop;\n"
         "[Removed Associations]\nx-scheme-handler/irc=b.desktop\n"
         "[Default Applications]\n"},
        {"spacing, CRLF, a malformed line and no final line end",
         "[Default Applications]\r\nnot a line\r\napplication/msword = wine-extension-doc.desktop;x.desktop;  \r\n"
         "text/plain=wine-extension-doc.desktop;",
         "[Default Applications]\r\nnot a line\r\napplication/msword = x.desktop;  \r\n"},
        {"an escaped id and a look-alike",
         "[Default Applications]\na/b=wine\\-extension-doc.desktop;wine-extension-doc.desktop.old;wine-extension-doc\\sx.desktop;\n", ""},
        {"nothing stale", "[Default Applications]\ntext/plain=gedit.desktop;\n", ""},
        {"not UTF-8 elsewhere", "[Default Applications]\nx=\xff\xfe;wine-extension-doc.desktop;\n",
         "[Default Applications]\nx=\xff\xfe;\n"},
    };
    for (const Case& c : cases) {
        std::string text;
        std::vector<MimeAppsEdit> edits;
        const bool changed = RemoveDesktopIds(c.before, kStale, &text, &edits);
        ASSERT_EQ(changed, !c.after.empty()) << c.what;
        if (!changed)
            continue;
        EXPECT_EQ(text, c.after) << c.what;
        std::string back;
        ASSERT_TRUE(RestoreDesktopIds(text, edits, &back)) << c.what;
        if (c.before.back() == '\n') {
            EXPECT_EQ(back, c.before) << c.what << ": restored byte for byte";
        }
        std::string again;
        EXPECT_FALSE(RestoreDesktopIds(back, edits, &again)) << c.what << ": a second restore has nothing to do";
    }
}

TEST(MimeApps, shouldPutIdsBackAmongWhatTheUserChangedSince)
{
    const std::string before =
        "[Default Applications]\napplication/msword=wine-extension-doc.desktop;writer.desktop;\n"
        "[Added Associations]\napplication/msword=wine-extension-doc.desktop;\n";
    std::string removed;
    std::vector<MimeAppsEdit> edits;
    ASSERT_TRUE(RemoveDesktopIds(before, kStale, &removed, &edits));
    ASSERT_EQ(edits.size(), 2u);

    struct Later {
        const char* what;
        std::string now;
        std::string restored;
    } cases[] = {
        {"an id added since", "[Default Applications]\napplication/msword=writer.desktop;abi.desktop;\n",
         "[Default Applications]\napplication/msword=wine-extension-doc.desktop;writer.desktop;abi.desktop;\n"
         "[Added Associations]\napplication/msword=wine-extension-doc.desktop;\n"},
        {"the group gone", "[Default Applications]\napplication/msword=writer.desktop;\n# end",
         "[Default Applications]\napplication/msword=wine-extension-doc.desktop;writer.desktop;\n# end\n"
         "[Added Associations]\napplication/msword=wine-extension-doc.desktop;\n"},
        {"the file gone", "",
         "[Default Applications]\napplication/msword=wine-extension-doc.desktop;writer.desktop;\n"
         "[Added Associations]\napplication/msword=wine-extension-doc.desktop;\n"},
    };
    for (const Later& c : cases) {
        std::string text;
        ASSERT_TRUE(RestoreDesktopIds(c.now, edits, &text)) << c.what;
        EXPECT_EQ(text, c.restored) << c.what;
    }
}

}  // namespace
