// Backups of the Windows store: every key removed from the registry was
// first exported to a regedit file, and "regedit /s" of that file brings the
// key back with its values and sub-keys.

#include "platform/win32/Win32Registry.h"

#include "tests/support/ScratchKeys.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using namespace quelvo::platform;
using quelvo::platform::win32::Win32Registry;
using quelvo::test::ScratchKeys;
using quelvo::test::U16;
constexpr RegRoot kLocalMachine = RegRoot::LocalMachine;
namespace fs = std::filesystem;
using namespace std::string_literals;

std::string Narrow(std::wstring_view text)
{
    std::string out;
    for (wchar_t c : text) {
        char buffer[8];
        if (c < 0x80)
            out += char(c);
        else {
            std::snprintf(buffer, sizeof buffer, "\\u%04x", unsigned(c));
            out += buffer;
        }
    }
    return out;
}

std::string Reason(const Win32Registry& store)
{
    const std::u16string reason = store.FailureReason();
    return Narrow(std::wstring(reason.begin(), reason.end()));
}

// The tree below a key, read with the Windows API directly: names, value
// types and bytes, in enumeration order of sorted names.
std::string Dump(const std::wstring& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "(absent)";
    std::vector<std::string> values;
    for (DWORD i = 0;; ++i) {
        wchar_t name[512];
        BYTE data[4096];
        DWORD nameLength = 512, size = sizeof data, type = 0;
        if (RegEnumValueW(key, i, name, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS)
            break;
        std::string line = "  \"" + Narrow(std::wstring_view(name, nameLength)) + "\" " + std::to_string(type) + ":";
        for (DWORD b = 0; b < size; ++b) {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%02x", data[b]);
            line += hex;
        }
        values.push_back(line);
    }
    std::vector<std::wstring> children;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD length = 256;
        if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        children.emplace_back(name, length);
    }
    RegCloseKey(key);
    std::sort(values.begin(), values.end());
    std::sort(children.begin(), children.end());
    std::string out = Narrow(path) + "\n";
    for (const auto& v : values)
        out += v + "\n";
    for (const auto& child : children)
        out += Dump(path + L"\\" + child);
    return out;
}

// The repair's removal: sub-keys first, highest index first, through the store.
bool RemoveTree(Win32Registry& store, const std::u16string& path)
{
    RegHandle key{};
    if (store.OpenKey(kLocalMachine, path, KEY_ALL_ACCESS, &key) != kSuccess)
        return false;
    std::uint32_t count = 0;
    store.QueryInfoKey(key, &count, nullptr);
    bool ok = true;
    for (std::uint32_t i = count; ok && i-- > 0;) {
        char16_t name[256];
        std::uint32_t length = 0;
        ok = store.EnumKey(key, i, name, 256, &length) == kSuccess && RemoveTree(store, path + u"\\" + name);
    }
    store.CloseKey(key);
    return ok && store.DeleteKey(kLocalMachine, path) == kSuccess;
}

DWORD RunRegedit(const std::u16string& file)
{
    std::wstring command = L"regedit.exe /s \"" + std::wstring(file.begin(), file.end()) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return GetLastError() | 0x80000000u;
    WaitForSingleObject(process.hProcess, 60000);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

class Win32BackupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = fs::temp_directory_path() / (L"quelvo-backups-" + quelvo::test::UniqueSuffix());
        std::error_code ec;
        fs::remove_all(folder, ec);
        store.SetBackupFolder(folder.u16string());
    }
    void TearDown() override
    {
        store.SetBackupFolder({});  // closes the backup file
        std::error_code ec;
        fs::remove_all(folder, ec);
    }

    const std::wstring base = L"SOFTWARE\\" + quelvo::test::UniqueSuffix() + L"-backup";
    ScratchKeys scratch{{base}};
    fs::path folder;
    Win32Registry store;
};

TEST_F(Win32BackupTest, shouldExportARemovedTreeSoThatRegeditRestoresIt)
{
    const std::wstring victim = base + L"\\.quelvo\u00c4";
    ScratchKeys::SetString(victim, L"", L"Quelvo.File");
    ScratchKeys::SetString(victim, L"Gr\u00f6\u00dfe", L"\u03a3\u0416 \"quoted\" \\ back");
    ScratchKeys::SetRaw(victim, L"Number", REG_DWORD, {0x2A, 0, 0, 0});
    ScratchKeys::SetRaw(victim, L"Bytes", REG_BINARY, std::vector<std::uint8_t>(100, 0xAB));
    ScratchKeys::SetRaw(victim, L"Expand", REG_EXPAND_SZ, {'%', 0, 'X', 0, '%', 0, 0, 0});
    ScratchKeys::SetRaw(victim, L"Multi", REG_MULTI_SZ, {'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0});
    ScratchKeys::SetString(victim + L"\\OpenWithList\\app.exe", L"", L"x");
    ScratchKeys::Create(victim + L"\\ShellEx\\Empty");
    ScratchKeys::SetString(base + L"\\.other", L"", L"stays");
    const std::string before = Dump(victim);
    const std::string other = Dump(base + L"\\.other");

    ASSERT_TRUE(RemoveTree(store, U16(victim))) << Reason(store);
    ASSERT_FALSE(ScratchKeys::Exists(victim));
    const std::u16string file = store.BackupFile();
    ASSERT_FALSE(file.empty());
    EXPECT_EQ(fs::path(file).parent_path(), folder);
    std::ifstream in(fs::path(file), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    const std::string header = "\xFF\xFEW\0i\0n\0d\0o\0w\0s\0 \0R\0e\0g\0i\0s\0t\0r\0y\0"s;
    ASSERT_EQ(bytes.substr(0, header.size()), header);

    ASSERT_EQ(RunRegedit(file), 0u);
    EXPECT_EQ(Dump(victim), before);
    EXPECT_EQ(Dump(base + L"\\.other"), other);
}

TEST_F(Win32BackupTest, shouldNotRemoveAKeyWhoseBackupCannotBeWritten)
{
    fs::create_directories(folder);
    std::ofstream(folder / "blocked") << "a file, not a folder";
    store.SetBackupFolder((folder / "blocked" / "backups").u16string());
    const std::wstring victim = base + L"\\.broken";
    ScratchKeys::SetString(victim, L"", L"nothing");
    EXPECT_EQ(store.DeleteKey(kLocalMachine, U16(victim)), kWriteFault);
    EXPECT_TRUE(ScratchKeys::Exists(victim));
    EXPECT_NE(Reason(store).find("backup"), std::string::npos) << Reason(store);
    EXPECT_TRUE(store.BackupFile().empty());

    // An absent key is reported as such, with nothing written.
    EXPECT_EQ(store.DeleteKey(kLocalMachine, U16(base + L"\\.missing")), ERROR_FILE_NOT_FOUND);
    EXPECT_NE(Reason(store).find("does not exist"), std::string::npos) << Reason(store);
}

}  // namespace
