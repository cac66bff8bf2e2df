// quelvo-scan.exe's command under Wine, against Wine's own registry: the
// machine is checked and repaired through advapi32, and a classes key that
// refuses full access (as it does at a prompt without elevation) is a
// machine not checked, never a clean one. Run in a prefix of its own
// (run_windows_suite.sh): one case changes the classes key's security.

#include "ScanCliSupport.h"

// Before <windows.h>, whose KEY_* macros would rename the store's constants.
#include "platform/Text.h"
#include "regfile/RegFileRead.h"

#include "tests/support/ScratchKeys.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sddl.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using namespace quelvo;
using namespace quelvo::scancli::test;
using quelvo::test::ScratchKeys;
using nlohmann::json;
using ::testing::HasSubstr;

const std::wstring kClasses = L"SOFTWARE\\Classes\\";

class ScanCommandWin32 : public ::testing::Test {
protected:
    void SetUp() override
    {
        ScratchKeys::SetString(kClasses + L".quelvoscantest-broken", L"", L"");
        ScratchKeys::SetString(kClasses + L".quelvoscantest-missing", L"", L"QuelvoScanTest.Missing");
        ScratchKeys::SetString(kClasses + L"QuelvoScanTest.Missing\\Shell\\Open\\Command", L"",
                               L"C:\\Quelvo Missing\\app.exe \"%1\"");
        ScratchKeys::SetString(kClasses + L".quelvoscantest-valid", L"", L"QuelvoScanTest.Valid");
        ScratchKeys::SetString(kClasses + L"QuelvoScanTest.Valid\\Shell\\Open\\Command", L"",
                               L"%SystemRoot%\\system32\\notepad.exe %1");
        // The machine's store keeps its last backup open until the process
        // ends: a folder per test, removed when it can be.
        backups = fs::temp_directory_path() /
                  ("quelvo-scan-backups-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::error_code ec;
        fs::remove_all(backups, ec);
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(backups, ec);
    }

    json Scan(std::vector<std::string> more, int* status = nullptr)
    {
        std::vector<std::string> args = {"--format", "json", "--backup-dir", platform::ToUtf8(backups.u16string())};
        args.insert(args.end(), more.begin(), more.end());
        const CommandRun run = RunScan(args);
        if (status)
            *status = run.status;
        return ParseJson(run.out);
    }

    ScratchKeys scratch{{kClasses + L".quelvoscantest-broken", kClasses + L".quelvoscantest-missing",
                         kClasses + L"QuelvoScanTest.Missing", kClasses + L".quelvoscantest-valid",
                         kClasses + L"QuelvoScanTest.Valid"}};
    fs::path backups;
};

TEST_F(ScanCommandWin32, shouldCheckTheMachinesOwnRegistry)
{
    int status = -1;
    const json report = Scan({}, &status);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(report["target"]["kind"], "windows");
    EXPECT_EQ(report["target"]["state"], "complete");
    const std::pair<const char16_t*, const char*> expected[] = {
        {u".quelvoscantest-broken", "registry-problem"},
        {u".quelvoscantest-missing", "needs-application"},
        {u".quelvoscantest-valid", "valid"},
    };
    for (const auto& [name, cls] : expected) {
        const json* entry = Extension(report, name);
        ASSERT_TRUE(entry) << platform::ToUtf8(name);
        EXPECT_EQ((*entry)["class"], cls);
    }
    EXPECT_EQ((*Extension(report, u".quelvoscantest-valid"))["programPath"], "C:\\windows\\system32\\notepad.exe");
    const json one = Scan({"--ext", "quelvoscantest-valid"}, &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(one["counts"]["problems"], 0);
}

TEST_F(ScanCommandWin32, shouldRepairAndKeepARegeditBackup)
{
    int status = -1;
    const json report = Scan({"--fix", "--ext", ".quelvoscantest-broken"}, &status);
    EXPECT_EQ(status, 1) << "a one-extension scan of a broken one also lists it as needing an application";
    EXPECT_EQ(report["repair"]["removed"][0]["extension"], ".quelvoscantest-broken");
    EXPECT_FALSE(ScratchKeys::Exists(kClasses + L".quelvoscantest-broken"));
    EXPECT_TRUE(ScratchKeys::Exists(kClasses + L".quelvoscantest-missing")) << "only the broken key goes";
    ASSERT_EQ(report["repair"]["backups"].size(), 1u);
    const fs::path backup = fs::path(platform::FromUtf8(report["repair"]["backups"][0]["path"].get<std::string>()));
    EXPECT_EQ(backup.parent_path(), backups);
    std::ifstream in(backup, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    EXPECT_THAT(platform::ToUtf8(regfile::DecodeTextFile(bytes.str())),
                HasSubstr("\\Classes\\.quelvoscantest-broken]"));
}

// Without elevation the classes key refuses the full access the check asks
// for. Wine runs every process elevated, so the key's own security is made
// to refuse it here, for the time of the check.
TEST_F(ScanCommandWin32, shouldNeverReportAClassesKeyThatRefusesFullAccessAsClean)
{
    HKEY classes = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes", 0, KEY_READ | READ_CONTROL | WRITE_DAC, &classes),
              ERROR_SUCCESS);
    DWORD size = 0;
    RegGetKeySecurity(classes, DACL_SECURITY_INFORMATION, nullptr, &size);
    std::vector<BYTE> saved(size);
    ASSERT_EQ(RegGetKeySecurity(classes, DACL_SECURITY_INFORMATION, saved.data(), &size), ERROR_SUCCESS);
    PSECURITY_DESCRIPTOR readOnly = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;KR;;;WD)", SDDL_REVISION_1, &readOnly,
                                                                     nullptr));
    ASSERT_EQ(RegSetKeySecurity(classes, DACL_SECURITY_INFORMATION, readOnly), ERROR_SUCCESS);
    LocalFree(readOnly);

    int status = -1;
    const json report = Scan({}, &status);
    int fixStatus = -1;
    const json fixed = Scan({"--fix"}, &fixStatus);

    EXPECT_EQ(RegSetKeySecurity(classes, DACL_SECURITY_INFORMATION, saved.data()), ERROR_SUCCESS);
    RegCloseKey(classes);

    EXPECT_EQ(status, 3);
    EXPECT_EQ(report["target"]["state"], "unreadable");
    EXPECT_THAT(report["target"]["reason"].get<std::string>(), HasSubstr("refuses"));
    EXPECT_EQ(report["extensions"], json::array());
    EXPECT_EQ(fixStatus, 3);
    EXPECT_TRUE(fixed["repair"].is_null()) << "no repair is tried on a registry that was not read";
    EXPECT_TRUE(ScratchKeys::Exists(kClasses + L".quelvoscantest-broken"));
}

}  // namespace
