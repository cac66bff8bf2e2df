#pragma once

// UTF-16 text helpers shared by every layer. "Blank" means a code of 32 or
// lower (space and control characters); case folding touches ASCII letters only.

#include <string>
#include <string_view>

namespace quelvo::platform {

std::u16string ToLowerAscii(std::u16string_view text);
std::u16string ToUpperAscii(std::u16string_view text);
bool EqualsIgnoreCaseAscii(std::u16string_view a, std::u16string_view b);

// Removes leading and trailing characters whose code is 32 or lower.
std::u16string_view TrimBlanks(std::u16string_view text);

// Cuts at the first NUL unit.
std::u16string_view UpToNul(std::u16string_view text);

// First position of needle, npos when absent.
std::size_t FindIgnoreCaseAscii(std::u16string_view haystack, std::u16string_view needle);

// Every non-overlapping occurrence, scanning left to right.
std::u16string ReplaceAll(std::u16string_view text, std::u16string_view from, std::u16string_view to);
std::u16string ReplaceAllIgnoreCaseAscii(std::u16string_view text, std::u16string_view from,
                                         std::u16string_view to);

// UTF-8 <-> UTF-16. Invalid input becomes U+FFFD; lone surrogates become U+FFFD in UTF-8.
std::u16string FromUtf8(std::string_view utf8);
std::string ToUtf8(std::u16string_view utf16);

// Decimal text of a signed integer.
std::u16string IntToText(long long value);

// The value of an ASCII hex digit (0-9, a-f, A-F), -1 for anything else.
int HexDigitValue(char32_t c);

}  // namespace quelvo::platform
