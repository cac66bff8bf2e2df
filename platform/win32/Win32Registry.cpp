#include "platform/win32/Win32Registry.h"

#include "platform/win32/WideText.h"

#include "platform/win32/WindowsApi.h"

#include <algorithm>
#include <cstring>
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

}  // namespace

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
    const std::wstring widePath = ToWide(path);
    return RegDeleteKeyW(ToHkey(root), widePath.c_str());
}

RegStatus Win32Registry::CloseKey(RegHandle key)
{
    return RegCloseKey(ToHkey(key));
}

}  // namespace quelvo::platform::win32
