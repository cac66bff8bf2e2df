#include "platform/win32/VersionInfo.h"

#include "platform/win32/WideText.h"

#include "platform/win32/WindowsApi.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace quelvo::platform {

namespace {

constexpr std::array<std::u16string_view, kVersionFieldCount> kFieldNames = {
    u"CompanyName",    u"FileDescription",  u"FileVersion", u"InternalName",
    u"LegalCopyright", u"LegalTrademarks",  u"OriginalFilename",
    u"ProductName",    u"ProductVersion",   u"Comments",
};

// Language and code page of the first translation: the two WORDs of the
// "\VarFileInfo\Translation" value, as the hex prefix of the string table.
std::wstring FirstTranslationPrefix(const std::vector<BYTE>& block)
{
    void* data = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &data, &length) || !data ||
        length < 2 * sizeof(WORD))
        return {};
    const auto* words = static_cast<const WORD*>(data);
    wchar_t prefix[64];
    std::swprintf(prefix, std::size(prefix), L"\\StringFileInfo\\%04x%04x\\", words[0], words[1]);
    return prefix;
}

std::u16string QueryString(const std::vector<BYTE>& block, const std::wstring& subBlock)
{
    void* data = nullptr;
    UINT length = 0;  // in characters for strings, sometimes counting the NUL
    if (!VerQueryValueW(block.data(), subBlock.c_str(), &data, &length) || !data)
        return {};
    const auto* text = static_cast<const wchar_t*>(data);
    const auto* end = std::find(text, text + length, L'\0');
    return win32::FromWide(std::wstring_view(text, static_cast<std::size_t>(end - text)));
}

}  // namespace

std::u16string_view VersionFieldName(VersionField field)
{
    return kFieldNames[static_cast<std::size_t>(field)];
}

VersionStrings ReadVersionStrings(std::u16string_view fileName)
{
    VersionStrings strings;
    const std::wstring wideName = win32::ToWide(fileName);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(wideName.c_str(), &ignored);
    std::vector<BYTE> block(size);
    if (size == 0 || !GetFileVersionInfoW(wideName.c_str(), 0, size, block.data())) {
        strings.fill(std::u16string(kValueNotAvailable));
        return strings;
    }
    const std::wstring prefix = FirstTranslationPrefix(block);
    if (prefix.empty())
        return strings;
    for (std::size_t i = 0; i < kVersionFieldCount; ++i)
        strings[i] = QueryString(block, prefix + win32::ToWide(kFieldNames[i]));
    return strings;
}

VersionStrings ReadOwnVersionStrings()
{
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            VersionStrings strings;
            strings.fill(std::u16string(kValueNotAvailable));
            return strings;
        }
        if (length < path.size())
            return ReadVersionStrings(win32::FromWide(std::wstring_view(path.data(), length)));
        path.resize(path.size() * 2);
    }
}

}  // namespace quelvo::platform
