#pragma once

// The query string of a lookup address, "ext[]=mp3&ext[]=AVI", read the way
// browsers send it: parameters separated by '&', '+' for a space, %XX for any
// byte. Only "ext[]" counts; other parameters are ignored.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quelvo::lookup {

inline constexpr std::size_t kMaxExtensions = 64;      // ext[] values a request may carry
inline constexpr std::size_t kMaxExtensionUnits = 64;  // UTF-16 units of one value

enum class QueryError {
    None,
    NoExtension,     // no ext[] with a value
    TooMany,         // more than kMaxExtensions values
    TooLong,         // a value longer than kMaxExtensionUnits
    BadEncoding,     // a '%' not followed by two hex digits
    NotUtf8,         // a decoded value that is not UTF-8
    ControlCharacter // a decoded value holding a control character
};

// A sentence for the error page.
std::string_view QueryErrorText(QueryError error);

struct Query {
    QueryError error = QueryError::None;
    // Decoded UTF-8 values in the order sent, a leading dot and surrounding
    // blanks removed, each extension once (the first spelling wins; letter
    // case does not make two extensions).
    std::vector<std::string> extensions;
};

Query ParseQuery(std::string_view rawQuery);

// Percent-decoding, '+' as a space unless plusIsSpace is false (a path);
// false on a malformed escape.
bool PercentDecode(std::string_view text, std::string& out, bool plusIsSpace = true);

// Number of UTF-16 units of valid UTF-8 text, or npos when it is not valid
// (overlong forms, surrogates and code points past U+10FFFF are not).
std::size_t Utf16Length(std::string_view utf8);

}  // namespace quelvo::lookup
