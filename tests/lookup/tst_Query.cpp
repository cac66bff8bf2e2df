// Reading "ext[]=..." query strings as browsers send them, and refusing
// what a page must not be built from.

#include "lookup/Query.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace quelvo::lookup;
using Exts = std::vector<std::string>;

namespace {

std::string Repeat(const std::string& part, std::size_t n, const std::string& separator = "&")
{
    std::string out;
    for (std::size_t i = 0; i < n; ++i)
        out += (i ? separator : "") + part;
    return out;
}

}  // namespace

TEST(Query, shouldKeepTheExtensionsInTheOrderSentWithTheirCase)
{
    EXPECT_EQ(ParseQuery("ext[]=mp3&ext[]=AVI").extensions, Exts({"mp3", "AVI"}));
    EXPECT_EQ(ParseQuery("ext[]=AVI&ext[]=mp3").extensions, Exts({"AVI", "mp3"}));
    EXPECT_EQ(ParseQuery("ext[]=mp3").extensions, Exts({"mp3"}));
    // Other parameters, empty values and repeats (in any case) do not count.
    EXPECT_EQ(ParseQuery("lang=en&ext[]=&ext[]=mp3&&ext[]=MP3&x&ext[]=wav").extensions, Exts({"mp3", "wav"}));
    // A dot or blanks around the value are not part of the extension.
    EXPECT_EQ(ParseQuery("ext[]=.mp3&ext[]=+avi+").extensions, Exts({"mp3", "avi"}));
}

TEST(Query, shouldDecodeNamesAndValuesAsBrowsersEncodeThem)
{
    EXPECT_EQ(ParseQuery("ext%5B%5D=mp3&ext%5b%5d=tar%2Egz").extensions, Exts({"mp3", "tar.gz"}));
    EXPECT_EQ(ParseQuery("ext[]=c%2B%2B&ext[]=my+file").extensions, Exts({"c++", "my file"}));
    EXPECT_EQ(ParseQuery("ext[]=%C3%A9t%C3%A9").extensions, Exts({"\xC3\xA9t\xC3\xA9"}));
    EXPECT_EQ(ParseQuery("ext[]=%3Cscript%3E").extensions, Exts({"<script>"}));  // the page escapes it
}

TEST(Query, shouldRefuseMoreThan64ExtensionsOrAValueOver64Units)
{
    EXPECT_EQ(ParseQuery(Repeat("ext[]=a", 1) + "&" + Repeat("ext[]=b", 63)).error, QueryError::None);
    std::string many;
    for (int i = 0; i < 65; ++i)
        many += (i ? "&ext[]=e" : "ext[]=e") + std::to_string(i);
    EXPECT_EQ(ParseQuery(many).error, QueryError::TooMany);
    EXPECT_TRUE(ParseQuery(many).extensions.empty());

    EXPECT_EQ(ParseQuery("ext[]=" + std::string(64, 'x')).error, QueryError::None);
    EXPECT_EQ(ParseQuery("ext[]=" + std::string(65, 'x')).error, QueryError::TooLong);
    // Units are UTF-16 ones: 32 characters outside the BMP fill the 64.
    const std::string clef = "%F0%9D%84%9E";  // U+1D11E
    EXPECT_EQ(ParseQuery("ext[]=" + Repeat(clef, 32, "")).error, QueryError::None);
    EXPECT_EQ(ParseQuery("ext[]=" + Repeat(clef, 32, "") + "a").error, QueryError::TooLong);
    // 64 two-byte characters are 128 bytes but 64 units.
    EXPECT_EQ(ParseQuery("ext[]=" + Repeat("%C3%A9", 64, "")).error, QueryError::None);
}

TEST(Query, shouldRefuseBadEscapesBytesThatAreNotUtf8AndControlCharacters)
{
    for (const char* bad : {"ext[]=%", "ext[]=%4", "ext[]=%zz", "ext[]=mp3%G1", "ext%5=mp3", "ext[]=ok&ext[]=%"})
        EXPECT_EQ(ParseQuery(bad).error, QueryError::BadEncoding) << bad;
    for (const char* bad : {"ext[]=%FF", "ext[]=%C3", "ext[]=%C0%AE", "ext[]=%ED%A0%80", "ext[]=%F4%90%80%80",
                            "ext[]=%E2%82", "ext[]=a%80b"})
        EXPECT_EQ(ParseQuery(bad).error, QueryError::NotUtf8) << bad;
    EXPECT_EQ(ParseQuery("ext[]=a%00b").error, QueryError::ControlCharacter);
    EXPECT_EQ(ParseQuery("ext[]=a%0Db").error, QueryError::ControlCharacter);
    EXPECT_EQ(ParseQuery("").error, QueryError::NoExtension);
    EXPECT_EQ(ParseQuery("ext=mp3&ext[]=").error, QueryError::NoExtension);
    for (const QueryError e : {QueryError::NoExtension, QueryError::TooMany, QueryError::TooLong,
                               QueryError::BadEncoding, QueryError::NotUtf8, QueryError::ControlCharacter})
        EXPECT_FALSE(QueryErrorText(e).empty());
}

TEST(Query, shouldCountUtf16UnitsOfValidTextOnly)
{
    EXPECT_EQ(Utf16Length(""), 0u);
    EXPECT_EQ(Utf16Length("abc"), 3u);
    EXPECT_EQ(Utf16Length("\xE2\x82\xAC"), 1u);          // U+20AC
    EXPECT_EQ(Utf16Length("\xF4\x8F\xBF\xBF"), 2u);      // U+10FFFF
    EXPECT_EQ(Utf16Length("\xE0\x9F\xBF"), std::string::npos);  // overlong
    EXPECT_EQ(Utf16Length("\xF0\x8F\xBF\xBF"), std::string::npos);
}
