#include "platform/win32/Win32Registry.h"

#include "platform/win32/WideText.h"

#include "regfile/RegFileWrite.h"
#include "regfile/RegTree.h"
#include "platform/win32/WindowsApi.h"

#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

namespace quelvo::platform::win32 {

namespace {

// The predefined keys are 32-bit values that Windows sign-extends into a
// pointer-sized HKEY (0x80000002 -> 0xFFFFFFFF80000002 on 64-bit builds).
HKEY ToHkey(RegRoot root)
{
    const auto low = static_cast<std::uint32_t>(static_cast<std::uintptr_t>(root));
    return reinterpret_cast<HKEY>(static_cast<std::intptr_t>(static_cast<std::int32_t>(low)));
}

HKEY ToHkey(RegHandle key)
{
    return reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(key));
}

// Enumerates one sub-key name into a private buffer large enough for any
// name, so that the caller's buffer is written only when the name fits.
LONG EnumKeyName(HKEY key, DWORD index, std::vector<wchar_t>& name, DWORD& length)
{
    name.assign(256, L'\0');  // names are at most 255 units
    for (;;) {
        length = static_cast<DWORD>(name.size());
        const LONG status =
            RegEnumKeyExW(key, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (status != ERROR_MORE_DATA)
            return status;
        DWORD longest = 0;
        if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, &longest, nullptr, nullptr,
                             nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS ||
            longest + 1 <= name.size())
            return status;
        name.assign(longest + 1, L'\0');
    }
}

// Reads a whole value into a private buffer; Windows leaves the data of a
// too-small buffer undefined, and the store's callers want its first bytes.
LONG ReadWholeValue(HKEY key, const wchar_t* valueName, DWORD& type, std::vector<BYTE>& data)
{
    for (;;) {
        DWORD size = 0;
        LONG status = RegQueryValueExW(key, valueName, nullptr, &type, nullptr, &size);
        if (status != ERROR_SUCCESS)
            return status;
        data.assign(size, 0);
        status = RegQueryValueExW(key, valueName, nullptr, &type, data.data(), &size);
        if (status == ERROR_MORE_DATA)
            continue;  // the value grew between the two calls
        if (status == ERROR_SUCCESS)
            data.resize(std::min<std::size_t>(size, data.size()));
        return status;
    }
}

// The system's own words for an error code, without the line end.
std::u16string ErrorText(DWORD code)
{
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                                       | FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::u16string out;
    if (n && text)
        out = FromWide(std::wstring_view(text, n));
    if (text)
        LocalFree(text);
    while (!out.empty() && (out.back() == u'\n' || out.back() == u'\r' || out.back() == u' ' || out.back() == u'.'))
        out.pop_back();
    if (out.empty()) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "error %lu", static_cast<unsigned long>(code));
        out.assign(buffer, buffer + std::strlen(buffer));
    }
    return out;
}

// Copies a key's values and its whole sub-tree into node.
LONG ReadTree(HKEY key, regfile::RegKey& node, int depth)
{
    if (depth > 512)
        return ERROR_INVALID_DATA;
    DWORD longestName = 0, longestData = 0;
    LONG status = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                   &longestName, &longestData, nullptr, nullptr);
    if (status != ERROR_SUCCESS)
        return status;
    std::vector<wchar_t> name(longestName + 2);
    std::vector<BYTE> data(longestData + 2);
    for (DWORD index = 0;;) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD dataLength = static_cast<DWORD>(data.size());
        DWORD type = REG_NONE;
        status = RegEnumValueW(key, index, name.data(), &nameLength, nullptr, &type, data.data(), &dataLength);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        if (status == ERROR_MORE_DATA) {  // grew meanwhile
            name.resize(name.size() * 2 + 256);
            data.resize(std::max<std::size_t>(data.size() * 2, dataLength + 2));
            continue;
        }
        if (status != ERROR_SUCCESS)
            return status;
        regfile::RegValue value;
        value.name = FromWide(std::wstring_view(name.data(), nameLength));
        value.type = static_cast<RegType>(type);
        value.data.assign(data.begin(), data.begin() + dataLength);
        node.SetValue(std::move(value));
        ++index;
    }
    for (DWORD index = 0;; ++index) {
        wchar_t childName[256];
        DWORD length = 256;
        status = RegEnumKeyExW(key, index, childName, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS)
            return ERROR_SUCCESS;
        if (status != ERROR_SUCCESS)
            return status;
        HKEY child = nullptr;
        status = RegOpenKeyExW(key, childName, 0, KEY_READ, &child);
        if (status != ERROR_SUCCESS)
            return status;
        status = ReadTree(child, node.AddChild(FromWide(std::wstring_view(childName, length))), depth + 1);
        RegCloseKey(child);
        if (status != ERROR_SUCCESS)
            return status;
    }
}

bool WriteAllTo(HANDLE file, const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
        if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0)
            return false;
        done += written;
    }
    return true;
}

std::u16string PathText(const std::u16string& root, std::u16string_view path)
{
    return root + u"\\" + std::u16string(path);
}

}  // namespace

std::u16string DefaultBackupFolder()
{
    std::u16string base;
    wchar_t* known = nullptr;
    if (SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &known) == S_OK && known)
        base = FromWide(known);
    CoTaskMemFree(known);
    if (base.empty()) {
        wchar_t buffer[MAX_PATH * 4];
        const DWORD n = GetEnvironmentVariableW(L"LOCALAPPDATA", buffer, static_cast<DWORD>(std::size(buffer)));
        if (n > 0 && n < std::size(buffer))
            base = FromWide(std::wstring_view(buffer, n));
    }
    if (base.empty())
        base = u".";
    return base + u"\\Quelvo\\backups";
}

Win32Registry::Win32Registry() = default;

Win32Registry::~Win32Registry()
{
    if (m_backup)
        CloseHandle(static_cast<HANDLE>(m_backup));
}

void Win32Registry::SetBackupFolder(std::u16string folder)
{
    std::lock_guard lock(m_mutex);
    if (m_backup)
        CloseHandle(static_cast<HANDLE>(m_backup));
    m_backup = nullptr;
    m_backupFile.clear();
    m_backupFolder = std::move(folder);
}

std::u16string Win32Registry::BackupFile() const
{
    std::lock_guard lock(m_mutex);
    return m_backupFile;
}

std::u16string Win32Registry::FailureReason() const
{
    std::lock_guard lock(m_mutex);
    return m_failure;
}

bool Win32Registry::WriteBackup(RegRoot root, std::u16string_view path, std::u16string* message)
{
    const std::u16string where = PathText(u"HKEY_LOCAL_MACHINE", path);
    HKEY key = nullptr;
    LONG status = RegOpenKeyExW(ToHkey(root), ToWide(path).c_str(), 0, KEY_READ, &key);
    if (status != ERROR_SUCCESS) {
        *message = where + u" cannot be read for its backup (" + ErrorText(status) + u"); it was not removed.";
        return false;
    }
    regfile::RegKey tree(u"", nullptr, nullptr);
    regfile::RegKey* node = &tree;
    for (const std::u16string& part : regfile::SplitKeyPath(path))
        node = &node->AddChild(part);
    status = ReadTree(key, *node, 0);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) {
        *message = where + u" cannot be read for its backup (" + ErrorText(status) + u"); it was not removed.";
        return false;
    }
    const std::string body = regfile::EncodeUtf16Le(regfile::ExportRegKeyTree(*node, u"HKEY_LOCAL_MACHINE")).substr(2);

    if (!m_backup) {
        const std::u16string folder = m_backupFolder.empty() ? DefaultBackupFolder() : m_backupFolder;
        std::error_code ec;
        std::filesystem::create_directories(std::filesystem::path(ToWide(folder)), ec);
        SYSTEMTIME now{};
        GetSystemTime(&now);
        char stamp[32];
        std::snprintf(stamp, sizeof stamp, "repair-%04u%02u%02u-%02u%02u%02u", now.wYear, now.wMonth, now.wDay,
                      now.wHour, now.wMinute, now.wSecond);
        DWORD error = ERROR_SUCCESS;
        for (int attempt = 0; attempt < 1000 && !m_backup; ++attempt) {
            std::string name = stamp;
            if (attempt)
                name += "-" + std::to_string(attempt);
            const std::u16string file = folder + u"\\" + std::u16string(name.begin(), name.end()) + u".reg";
            HANDLE h = CreateFileW(ToWide(file).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
            if (h != INVALID_HANDLE_VALUE) {
                m_backup = h;
                m_backupFile = file;
                break;
            }
            error = GetLastError();
            if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
                break;
        }
        if (!m_backup) {
            *message = u"Cannot create a backup file in " + folder + u" (" + ErrorText(error) + u"); "
                + where + u" was not removed.";
            return false;
        }
        if (!WriteAllTo(static_cast<HANDLE>(m_backup), regfile::EncodeUtf16Le(regfile::RegFileHeader()))) {
            error = GetLastError();
            CloseHandle(static_cast<HANDLE>(m_backup));
            DeleteFileW(ToWide(m_backupFile).c_str());
            m_backup = nullptr;
            *message = u"Cannot write the backup file " + m_backupFile + u" (" + ErrorText(error) + u"); "
                + where + u" was not removed.";
            m_backupFile.clear();
            return false;
        }
    }
    if (!WriteAllTo(static_cast<HANDLE>(m_backup), body) || !FlushFileBuffers(static_cast<HANDLE>(m_backup))) {
        *message = u"Cannot write the backup file " + m_backupFile + u" (" + ErrorText(GetLastError()) + u"); "
            + where + u" was not removed.";
        return false;
    }
    return true;
}

RegStatus Win32Registry::OpenKey(RegRoot root, std::u16string_view path, std::uint32_t access,
                                 RegHandle* key)
{
    if (!key)
        return kInvalidParameter;
    *key = RegHandle::Invalid;
    const std::wstring widePath = ToWide(path);
    HKEY opened = nullptr;
    const LONG status = RegOpenKeyExW(ToHkey(root), widePath.c_str(), 0, access, &opened);
    if (status == ERROR_SUCCESS)
        *key = static_cast<RegHandle>(reinterpret_cast<std::uintptr_t>(opened));
    else if (status == ERROR_ACCESS_DENIED) {
        // A refused open is how a repair usually fails here: say so.
        std::lock_guard lock(m_mutex);
        m_failure = PathText(u"HKEY_LOCAL_MACHINE", path) + u" refuses full access (" + ErrorText(status)
            + u"); run Quelvo as an administrator.";
    }
    return status;
}

RegStatus Win32Registry::QueryInfoKey(RegHandle key, std::uint32_t* subKeyCount,
                                      std::uint32_t* maxSubKeyNameLength)
{
    DWORD count = 0;
    DWORD longest = 0;
    const LONG status = RegQueryInfoKeyW(ToHkey(key), nullptr, nullptr, nullptr,
                                         subKeyCount ? &count : nullptr,
                                         maxSubKeyNameLength ? &longest : nullptr, nullptr,
                                         nullptr, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_SUCCESS) {
        if (subKeyCount)
            *subKeyCount = count;
        if (maxSubKeyNameLength)
            *maxSubKeyNameLength = longest;
    }
    return status;
}

RegStatus Win32Registry::EnumKey(RegHandle key, std::uint32_t index, char16_t* name,
                                 std::uint32_t capacity, std::uint32_t* length)
{
    if (!name)
        return kInvalidParameter;
    std::vector<wchar_t> buffer;
    DWORD nameLength = 0;
    const LONG status = EnumKeyName(ToHkey(key), index, buffer, nameLength);
    if (status != ERROR_SUCCESS)
        return status;
    if (nameLength + 1 > capacity)
        return kMoreData;
    std::copy_n(buffer.data(), nameLength, name);
    name[nameLength] = u'\0';
    if (length)
        *length = nameLength;
    return kSuccess;
}

RegStatus Win32Registry::QueryValue(RegHandle key, std::u16string_view valueName, RegType* type,
                                    std::uint8_t* data, std::uint32_t* size)
{
    const std::wstring wideName = ToWide(valueName);
    DWORD valueType = REG_NONE;
    if (!data) {
        DWORD valueSize = 0;
        const LONG status =
            RegQueryValueExW(ToHkey(key), wideName.c_str(), nullptr, &valueType, nullptr, &valueSize);
        if (status == ERROR_SUCCESS) {
            if (type)
                *type = static_cast<RegType>(valueType);
            if (size)
                *size = valueSize;
        }
        return status;
    }
    if (!size)
        return kInvalidParameter;

    std::vector<BYTE> whole;
    const LONG status = ReadWholeValue(ToHkey(key), wideName.c_str(), valueType, whole);
    if (status != ERROR_SUCCESS)
        return status;
    if (type)
        *type = static_cast<RegType>(valueType);
    const std::uint32_t capacity = *size;
    const auto copied = static_cast<std::uint32_t>(std::min<std::size_t>(capacity, whole.size()));
    if (copied > 0)
        std::memcpy(data, whole.data(), copied);
    *size = static_cast<std::uint32_t>(whole.size());
    return whole.size() > capacity ? kMoreData : kSuccess;
}

RegStatus Win32Registry::DeleteKey(RegRoot root, std::u16string_view path)
{
    std::lock_guard lock(m_mutex);
    const std::wstring widePath = ToWide(path);
    HKEY probe = nullptr;
    LONG status = RegOpenKeyExW(ToHkey(root), widePath.c_str(), 0, KEY_READ, &probe);
    if (status == ERROR_FILE_NOT_FOUND) {
        m_failure = PathText(u"HKEY_LOCAL_MACHINE", path) + u" does not exist.";
        return status;  // nothing to back up or remove
    }
    DWORD subKeys = 0;
    if (status == ERROR_SUCCESS) {
        RegQueryInfoKeyW(probe, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr);
        RegCloseKey(probe);
    }
    std::u16string message;
    // A key with sub-keys is refused by the removal itself: no backup of it.
    if (subKeys == 0 && !WriteBackup(root, path, &message)) {
        m_failure = message;
        return kWriteFault;
    }
    status = RegDeleteKeyW(ToHkey(root), widePath.c_str());
    if (status != ERROR_SUCCESS)
        m_failure = u"Cannot remove " + PathText(u"HKEY_LOCAL_MACHINE", path) + u": " + ErrorText(status) + u".";
    else
        m_failure.clear();
    return status;
}

RegStatus Win32Registry::CloseKey(RegHandle key)
{
    return RegCloseKey(ToHkey(key));
}

}  // namespace quelvo::platform::win32
