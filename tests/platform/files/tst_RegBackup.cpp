#include "platform/files/RegBackup.h"

#include "platform/Text.h"
#include "regfile/RegFileRead.h"
#include "tests/support/Bytes.h"
#include "tests/support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

using namespace quelvo::platform;
using namespace quelvo::platform::files;
using namespace quelvo::regfile;
using namespace quelvo::test;

TEST(RegBackup, shouldPutBackupsUnderTheXdgDataFolder)
{
    const char* saved = std::getenv("XDG_DATA_HOME");
    const std::string restore = saved ? saved : "";
    const char* home = std::getenv("HOME");
    const std::string restoreHome = home ? home : "";
    ::setenv("XDG_DATA_HOME", "/data/home", 1);
    EXPECT_EQ(DefaultBackupFolder(), std::filesystem::path("/data/home/quelvo/backups"));
    ::setenv("XDG_DATA_HOME", "relative/ignored", 1);
    ::setenv("HOME", "/home/u", 1);
    EXPECT_EQ(DefaultBackupFolder(), std::filesystem::path("/home/u/.local/share/quelvo/backups"));
    ::setenv("HOME", restoreHome.c_str(), 1);
    if (saved)
        ::setenv("XDG_DATA_HOME", restore.c_str(), 1);
    else
        ::unsetenv("XDG_DATA_HOME");
}

TEST(RegBackup, shouldAppendEachRemovedKeyToOneFilePerSession)
{
    ScratchFolder dir;
    RegBackup backup(dir / "b");
    RegKey root(u"", nullptr, nullptr);
    RegKey& a = root.AddChild(u"SOFTWARE").AddChild(u".a");
    RegKey& b = root.Child(u"SOFTWARE")->AddChild(u".b");
    std::u16string message;
    ASSERT_TRUE(backup.Export(a, &message)) << ToUtf8(message);
    ASSERT_TRUE(backup.Export(b, &message)) << ToUtf8(message);
    const std::u16string text = DecodeTextFile(ReadBytes(backup.File()));
    EXPECT_EQ(text, u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\.a]\r\n\r\n"
                    u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\.b]\r\n\r\n");
    RegBackup second(dir / "b");
    ASSERT_TRUE(second.Export(a, &message));
    EXPECT_NE(second.File(), backup.File());
}

}  // namespace
