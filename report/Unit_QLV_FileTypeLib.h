#pragma once

// The file type library: FileType_lib.txt beside the executable names the type
// group of common extensions. Format, one item a line:
//   - an empty line is ignored;
//   - a line containing "==" is a group header: every "==" becomes one space
//     (left to right, no overlap) and the result, trimmed of characters with a
//     code of 32 or less, is the current group ("==Audio==" names Audio);
//   - any other line is an extension without its dot, taken verbatim (not
//     trimmed, case kept); its key is "." followed by the line.
// Lines end at CR LF, LF or CR; a NUL ends the text. Before the first header
// the current group is empty. The first entry of a key wins, also against
// entries the dictionary held before the load.

#include "platform/Dictionary.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace quelvo::report {

// The library's file name inside the program directory.
inline constexpr std::u16string_view kFileTypeLibName = u"FileType_lib.txt";

// Where the program whose folder is appDir finds its library: beside it,
// else in its prefix's share/quelvo/ (platform/DataDir.h).
std::u16string func_LibraryPathFor(std::u16string_view appDir);

// Loads the library FileName into Lib when Lib is empty (a library loaded
// once stays). None, or why the file cannot be used, as the whole message
// for the user (func_LibraryFileProblem's, or the reason the read failed).
std::optional<std::u16string> func_LoadLibraryOnce(const std::filesystem::path& FileName,
                                                   platform::TextDictionary& Lib);

// Reads FileName (encoding by byte-order mark, Windows-1252 without one) and
// adds its entries to Lib; never removes or changes an entry. Always returns
// true. A file that cannot be opened or read throws platform::TextFileError
// (its message names the file and the reason) and Lib stays unchanged.
bool func_LoadFileTypeLib(const std::filesystem::path& FileName, platform::TextDictionary& Lib);

// The same rules over text already decoded.
void LoadFileTypeLibText(std::u16string_view text, platform::TextDictionary& Lib);

// Why the library file FileName cannot be used, as the whole message for the
// user, or none when it is a file that can be opened for reading. The message
// says what is true: "The file type library \"<FileName>\" is missing: no
// such file", "... is missing: its folder \"<folder>\" does not exist",
// "... is not a file: it is a folder", "... cannot be reached: a folder on
// its path cannot be read (<system reason>)", "... cannot be read: <system
// reason>", and a few rarer ones.
std::optional<std::u16string> func_LibraryFileProblem(const std::filesystem::path& FileName);

}  // namespace quelvo::report
