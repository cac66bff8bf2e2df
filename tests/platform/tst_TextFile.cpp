#include "platform/TextFile.h"

#include "tests/support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <iconv.h>
#include <sys/file.h>
#include <unistd.h>
#endif

using namespace quelvo::platform;
using quelvo::test::ScratchFolder;

namespace {

// The system's own CP1252 table, for the bytes it defines; -1 for the ones it
// rejects, -2 when it has no such table.
#ifdef _WIN32
int SystemCp1252(unsigned char byte)
{
    char in[1] = {char(byte)};
    wchar_t out[2] = {};
    if (MultiByteToWideChar(1252, MB_ERR_INVALID_CHARS, in, 1, out, 2) != 1)
        return -1;
    return out[0];
}
#else
int SystemCp1252(unsigned char byte)
{
    iconv_t cd = iconv_open("UTF-16LE", "CP1252");
    if (cd == iconv_t(-1))
        return -2;
    char in[1] = {char(byte)};
    unsigned char out[4] = {};
    char* inPtr = in;
    char* outPtr = reinterpret_cast<char*>(out);
    std::size_t inLeft = 1, outLeft = sizeof out;
    std::size_t r = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (r == std::size_t(-1))
        return -1;
    return out[0] | (out[1] << 8);
}
#endif

std::string Utf16Bytes(std::u16string_view text, bool bigEndian)
{
    std::string bytes;
    for (char16_t c : text) {
        char hi = char(c >> 8), lo = char(c & 0xFF);
        bytes += bigEndian ? std::string{hi, lo} : std::string{lo, hi};
    }
    return bytes;
}

}  // namespace

TEST(Windows1252, shouldMapEveryByteLikeWindows)
{
    ASSERT_NE(SystemCp1252('A'), -2) << "iconv lacks CP1252";
    const unsigned char undefined[] = {0x81, 0x8D, 0x8F, 0x90, 0x9D};
    for (int b = 0; b < 256; ++b) {
        int reference = SystemCp1252(static_cast<unsigned char>(b));
        bool isUndefined = std::find(std::begin(undefined), std::end(undefined), b) != std::end(undefined);
        if (isUndefined || reference == -1) {
            EXPECT_TRUE(isUndefined) << "byte " << b;
            EXPECT_EQ(Windows1252ToUnicode(static_cast<unsigned char>(b)), char16_t(b)) << "byte " << b;
        } else {
            EXPECT_EQ(Windows1252ToUnicode(static_cast<unsigned char>(b)), char16_t(reference)) << "byte " << b;
        }
    }
    EXPECT_EQ(Windows1252ToUnicode(0x80), u'\u20AC');
    EXPECT_EQ(Windows1252ToUnicode(0x9F), u'\u0178');
}

TEST(DecodeText, shouldChooseEncodingByByteOrderMark)
{
    const std::u16string text = u"Vid\u00e9o \u20ac\r\nmp3";
    EXPECT_EQ(DecodeText("\xEF\xBB\xBFVid\xC3\xA9o \xE2\x82\xAC\r\nmp3"), text);
    EXPECT_EQ(DecodeText("\xFF\xFE" + Utf16Bytes(text, false)), text);
    EXPECT_EQ(DecodeText("\xFE\xFF" + Utf16Bytes(text, true)), text);
    EXPECT_EQ(DecodeText("Vid\xE9o \x80\r\nmp3"), text);
    // A mark alone is an empty text; a lone EF BB is not a mark.
    EXPECT_EQ(DecodeText("\xEF\xBB\xBF"), u"");
    EXPECT_EQ(DecodeText("\xFF\xFE"), u"");
    EXPECT_EQ(DecodeText("\xEF\xBB"), u"\u00ef\u00bb");
    EXPECT_EQ(DecodeText(""), u"");
}

TEST(DecodeText, shouldReplaceInvalidBytesInsteadOfFailing)
{
    EXPECT_EQ(DecodeText("\xEF\xBB\xBF" "a\xFF" "b\xC3"), u"a\uFFFDb\uFFFD");
    EXPECT_EQ(DecodeText("\xEF\xBB\xBF" "\xED\xA0\x80"), u"\uFFFD");  // encoded surrogate
    // UTF-16: an odd trailing byte, a lone low and a lone high surrogate.
    EXPECT_EQ(DecodeText(std::string("\xFF\xFE" "a\0", 4) + "b"), u"a\uFFFD");
    EXPECT_EQ(DecodeText(std::string("\xFF\xFE" "\x00\xDC" "a\0", 6)), u"\uFFFDa");
    EXPECT_EQ(DecodeText(std::string("\xFE\xFF" "\xD8\x00" "\x00" "a", 6)), u"\uFFFDa");
    // A valid pair stays.
    EXPECT_EQ(DecodeText(std::string("\xFE\xFF" "\xD8\x3D\xDE\x00", 6)), u"\U0001F600");
}

TEST(ReadTextFile, shouldReadAndDecodeWholeFile)
{
    ScratchFolder dir;
    std::string big(200000, 'x');
    auto file = dir.Write("big.txt", "\xEF\xBB\xBF" + big);
    EXPECT_EQ(ReadTextFile(file), std::u16string(big.size(), u'x'));
}

TEST(ReadTextFile, shouldNameFileAndReasonWhenItCannotBeOpened)
{
    ScratchFolder dir;
    auto missing = dir.Path() / "FileType_lib.txt";
    try {
        ReadTextFile(missing);
        FAIL() << "no error";
    } catch (const TextFileError& e) {
        std::string what = e.what();
        EXPECT_NE(what.find(missing.string()), std::string::npos) << what;
        EXPECT_FALSE(e.Reason().empty());
        EXPECT_EQ(what.substr(what.size() - e.Reason().size()), e.Reason());
#ifndef _WIN32
        EXPECT_EQ(e.Reason(), std::strerror(ENOENT));
#endif
        EXPECT_EQ(e.Path(), missing);
    }
    EXPECT_THROW(ReadTextFile(dir.Path()), TextFileError) << "a directory was read";
    static_assert(std::is_base_of_v<std::runtime_error, TextFileError>);
}

#ifdef _WIN32
TEST(ReadTextFile, shouldShareWithReadersButNotWithAWriter)
{
    ScratchFolder dir;
    auto file = dir.Write("lib.txt", "abc");
    HANDLE reader = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    EXPECT_EQ(ReadTextFile(file), u"abc");
    CloseHandle(reader);

    HANDLE writer = CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_THROW(ReadTextFile(file), TextFileError);
    CloseHandle(writer);
    EXPECT_EQ(ReadTextFile(file), u"abc");
}
#else
TEST(ReadTextFile, shouldShareWithReadersButNotWithALockingWriter)
{
    ScratchFolder dir;
    auto file = dir.Write("lib.txt", "abc");
    int reader = ::open(file.c_str(), O_RDONLY);
    ASSERT_GE(reader, 0);
    ASSERT_EQ(::flock(reader, LOCK_SH), 0);
    EXPECT_EQ(ReadTextFile(file), u"abc");
    ::close(reader);

    int writer = ::open(file.c_str(), O_WRONLY);
    ASSERT_GE(writer, 0);
    ASSERT_EQ(::flock(writer, LOCK_EX), 0);
    EXPECT_THROW(ReadTextFile(file), TextFileError);
    ::close(writer);
    EXPECT_EQ(ReadTextFile(file), u"abc");
}
#endif
