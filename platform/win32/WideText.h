#pragma once

// char16_t and wchar_t are both UTF-16 units on Windows; these helpers cross
// between them for the W calls, adding the NUL the calls expect.

#include <string>
#include <string_view>

namespace quelvo::platform::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide characters are UTF-16 units");

inline std::wstring ToWide(std::u16string_view text)
{
    return std::wstring(text.begin(), text.end());
}

inline const wchar_t* AsWide(const char16_t* text)
{
    return reinterpret_cast<const wchar_t*>(text);
}

inline wchar_t* AsWide(char16_t* text)
{
    return reinterpret_cast<wchar_t*>(text);
}

inline std::u16string FromWide(std::wstring_view text)
{
    return std::u16string(text.begin(), text.end());
}

}  // namespace quelvo::platform::win32
