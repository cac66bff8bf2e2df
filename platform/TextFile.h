#pragma once

// Reading a whole text file the way Windows text readers do: the encoding is
// chosen by the byte-order mark (EF BB BF UTF-8, FF FE UTF-16 LE, FE FF UTF-16
// BE) and without one the bytes are Windows-1252, which stands in for the ANSI
// code page. Decoding never fails: bytes that are invalid in the chosen
// encoding become U+FFFD. The mark itself is not part of the text.

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quelvo::platform {

// A text file that could not be opened or read. The message names the file
// and the system's reason ("Cannot open file \"/x/FileType_lib.txt\": No such
// file or directory").
class TextFileError : public std::runtime_error {
public:
    TextFileError(const std::filesystem::path& path, const std::string& reason);
    const std::filesystem::path& Path() const { return m_path; }
    const std::string& Reason() const { return m_reason; }

private:
    std::filesystem::path m_path;
    std::string m_reason;
};

// Reads and decodes the whole file. Other readers may have the file open at
// the same time; writers are refused while it is read (on Windows by the
// share mode, elsewhere by a shared advisory lock). Throws TextFileError when
// the file cannot be opened or read, or is a directory.
std::u16string ReadTextFile(const std::filesystem::path& path);

// Byte-order-mark detection and decoding of bytes already in memory.
std::u16string DecodeText(std::string_view bytes);

// Windows-1252 with all 256 bytes mapped: the five bytes that code page leaves
// undefined (81, 8D, 8F, 90, 9D) map to the C1 control of the same number, as
// Windows' own conversion does.
char16_t Windows1252ToUnicode(unsigned char byte);
std::u16string DecodeWindows1252(std::string_view bytes);

// UTF-16 of either byte order; a trailing odd byte and unpaired surrogates
// become U+FFFD.
std::u16string DecodeUtf16(std::string_view bytes, bool bigEndian);

}  // namespace quelvo::platform
