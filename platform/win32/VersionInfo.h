#pragma once

// The string fields of a file's version resource, read the way the About
// page shows them: from the string table of the resource's first translation
// (language and code page). Every field reads "Value Not Available" when the
// file has no version resource at all; a field the table lacks reads empty.
//
// Windows only (GetFileVersionInfoSizeW, GetFileVersionInfoW, VerQueryValueW);
// the interface itself uses no Windows types.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace quelvo::platform {

// The ten standard fields, in this order.
enum class VersionField {
    CompanyName,
    FileDescription,
    FileVersion,
    InternalName,
    LegalCopyright,
    LegalTrademarks,
    OriginalFilename,
    ProductName,
    ProductVersion,
    Comments,
};
inline constexpr std::size_t kVersionFieldCount = 10;

inline constexpr std::u16string_view kValueNotAvailable = u"Value Not Available";

using VersionStrings = std::array<std::u16string, kVersionFieldCount>;

// The field's name in the string table ("FileVersion").
std::u16string_view VersionFieldName(VersionField field);

// The fields of the file's version resource.
VersionStrings ReadVersionStrings(std::u16string_view fileName);

// The fields of the running executable's version resource.
VersionStrings ReadOwnVersionStrings();

inline const std::u16string& Field(const VersionStrings& strings, VersionField field)
{
    return strings[static_cast<std::size_t>(field)];
}

}  // namespace quelvo::platform
