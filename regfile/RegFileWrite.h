#pragma once

// Registry exports as regedit writes them (".reg", "Windows Registry Editor
// Version 5.00"): UTF-16 LE with a byte-order mark and CRLF line ends, so
// that regedit on Windows or under Wine imports them unchanged. Strings that
// are not plain (embedded NULs, control characters, a missing terminator, an
// odd size) are written as hex(1)/hex(2)/hex(7) so that every byte comes
// back exactly. RegFileRead reads the same files back.

#include "regfile/RegTree.h"

#include <string>
#include <string_view>

namespace quelvo::regfile {

// The text of one key and every key below it, as blocks of a .reg file
// (without the version line). rootName is put in front of each path
// ("HKEY_LOCAL_MACHINE").
std::u16string ExportRegKeyTree(RegKey& key, std::u16string_view rootName);

// The version line and blank line that start every .reg file.
std::u16string_view RegFileHeader();

// Encodes as UTF-16 LE with a byte-order mark.
std::string EncodeUtf16Le(std::u16string_view text);

}  // namespace quelvo::regfile
