#include "platform/TextFile.h"

#include "platform/Text.h"

#include <array>
#include <cerrno>
#include <cstring>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include "platform/FileDescriptor.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quelvo::platform {

namespace {

std::string PathText(const std::filesystem::path& path)
{
    std::u8string u8 = path.u8string();
    return std::string(u8.begin(), u8.end());
}

constexpr char16_t kReplacement = 0xFFFD;

// 0x80..0x9F; the rest of the code page equals Latin-1.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

bool StartsWith(std::string_view bytes, std::string_view prefix)
{
    return bytes.substr(0, prefix.size()) == prefix;
}

#ifdef _WIN32

std::string SystemMessage(DWORD code)
{
    wchar_t* buffer = nullptr;
    DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                                 | FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::u16string text;
    if (n != 0 && buffer != nullptr)
        text.assign(reinterpret_cast<const char16_t*>(buffer), n);
    if (buffer != nullptr)
        LocalFree(buffer);
    text = std::u16string(TrimBlanks(text));
    while (!text.empty() && text.back() == u'.')
        text.pop_back();
    return text.empty() ? "error " + std::to_string(code) : ToUtf8(text);
}

std::string ReadAllBytes(const std::filesystem::path& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        throw TextFileError(path, SystemMessage(GetLastError()));
    std::string bytes;
    std::array<char, 65536> chunk;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, chunk.data(), DWORD(chunk.size()), &got, nullptr)) {
            DWORD code = GetLastError();
            CloseHandle(file);
            throw TextFileError(path, SystemMessage(code));
        }
        if (got == 0)
            break;
        bytes.append(chunk.data(), got);
    }
    CloseHandle(file);
    return bytes;
}

#else

std::string ReadAllBytes(const std::filesystem::path& path)
{
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.Get() < 0)
        throw TextFileError(path, std::strerror(errno));
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0)
        throw TextFileError(path, std::strerror(errno));
    if (S_ISDIR(info.st_mode))
        throw TextFileError(path, std::strerror(EISDIR));
    // Readers share the lock; a writer that holds it exclusively makes the
    // open fail as the Windows share mode would.
    if (::flock(fd.Get(), LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK)
        throw TextFileError(path, "the file is locked for writing by another process");
    std::string bytes;
    if (info.st_size > 0)
        bytes.reserve(std::size_t(info.st_size));
    std::array<char, 65536> chunk;
    for (;;) {
        ssize_t got = ::read(fd.Get(), chunk.data(), chunk.size());
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throw TextFileError(path, std::strerror(errno));
        }
        if (got == 0)
            break;
        bytes.append(chunk.data(), std::size_t(got));
    }
    return bytes;
}

#endif

}  // namespace

TextFileError::TextFileError(const std::filesystem::path& path, const std::string& reason)
    : std::runtime_error("Cannot open file \"" + PathText(path) + "\": " + reason)
    , m_path(path)
    , m_reason(reason)
{
}

char16_t Windows1252ToUnicode(unsigned char byte)
{
    return (byte >= 0x80 && byte <= 0x9F) ? kCp1252High[byte - 0x80] : char16_t(byte);
}

std::u16string DecodeWindows1252(std::string_view bytes)
{
    std::u16string out;
    out.resize(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i)
        out[i] = Windows1252ToUnicode(static_cast<unsigned char>(bytes[i]));
    return out;
}

std::u16string DecodeUtf16(std::string_view bytes, bool bigEndian)
{
    std::u16string out;
    out.reserve(bytes.size() / 2 + 1);
    const std::size_t units = bytes.size() / 2;
    auto unit = [&](std::size_t i) {
        auto b0 = static_cast<unsigned char>(bytes[2 * i]);
        auto b1 = static_cast<unsigned char>(bytes[2 * i + 1]);
        return bigEndian ? char16_t((b0 << 8) | b1) : char16_t((b1 << 8) | b0);
    };
    for (std::size_t i = 0; i < units; ++i) {
        char16_t c = unit(i);
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 < units) {
                char16_t next = unit(i + 1);
                if (next >= 0xDC00 && next <= 0xDFFF) {
                    out.push_back(c);
                    out.push_back(next);
                    ++i;
                    continue;
                }
            }
            out.push_back(kReplacement);
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            out.push_back(kReplacement);
        } else {
            out.push_back(c);
        }
    }
    if (bytes.size() % 2 != 0)
        out.push_back(kReplacement);
    return out;
}

std::u16string DecodeText(std::string_view bytes)
{
    if (StartsWith(bytes, "\xEF\xBB\xBF"))
        return FromUtf8(bytes.substr(3));
    if (StartsWith(bytes, "\xFF\xFE"))
        return DecodeUtf16(bytes.substr(2), false);
    if (StartsWith(bytes, "\xFE\xFF"))
        return DecodeUtf16(bytes.substr(2), true);
    return DecodeWindows1252(bytes);
}

std::u16string ReadTextFile(const std::filesystem::path& path)
{
    return DecodeText(ReadAllBytes(path));
}

}  // namespace quelvo::platform
