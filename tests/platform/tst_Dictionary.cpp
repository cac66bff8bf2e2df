#include "platform/Dictionary.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using quelvo::platform::DuplicateKeyError;
using quelvo::platform::TextDictionary;
using quelvo::platform::TextListDictionary;

namespace {

std::vector<std::u16string> Keys(const TextDictionary& d)
{
    std::vector<std::u16string> keys;
    for (const auto& e : d)
        keys.push_back(e.key);
    return keys;
}

}  // namespace

TEST(Dictionary, shouldCompareKeysExactlyIncludingCase)
{
    TextDictionary d;
    d.Add(u".mp3", u"Audio");
    d.Add(u".MP3", u"Loud audio");
    EXPECT_EQ(d.Count(), 2u);
    EXPECT_EQ(*d.Find(u".mp3"), u"Audio");
    EXPECT_EQ(*d.Find(u".MP3"), u"Loud audio");
    EXPECT_FALSE(d.Contains(u".Mp3"));
    EXPECT_EQ(d.Find(u".mp"), nullptr);
}

TEST(Dictionary, shouldRefuseDuplicateKeyWithMessageNamingIt)
{
    TextDictionary d;
    d.Add(u".avi", u"Video");
    try {
        d.Add(u".avi", u"Other");
        FAIL() << "no error";
    } catch (const DuplicateKeyError& e) {
        EXPECT_NE(std::string(e.what()).find("\".avi\""), std::string::npos) << e.what();
    }
    EXPECT_FALSE(d.TryAdd(u".avi", u"Other"));
    EXPECT_EQ(*d.Find(u".avi"), u"Video");
    EXPECT_EQ(d.Count(), 1u);
    static_assert(std::is_base_of_v<std::logic_error, DuplicateKeyError>);
}

TEST(Dictionary, shouldEnumerateInInsertionOrderAcrossManyEntries)
{
    TextDictionary d;
    std::vector<std::u16string> expected;
    for (int i = 999; i >= 0; --i) {
        std::u16string key = u"." + quelvo::platform::IntToText(i * 7919 % 1000);
        if (d.TryAdd(key, u""))
            expected.push_back(key);
    }
    EXPECT_EQ(Keys(d), expected);
}

TEST(Dictionary, shouldStartEmptyAgainAfterClear)
{
    TextDictionary d;
    d.Add(u"a", u"1");
    d.Add(u"b", u"2");
    d.Clear();
    EXPECT_TRUE(d.Empty());
    EXPECT_FALSE(d.Contains(u"a"));
    d.Add(u"b", u"3");
    d.Add(u"a", u"4");
    EXPECT_EQ(Keys(d), (std::vector<std::u16string>{u"b", u"a"}));
}

TEST(Dictionary, shouldKeepLookupsWorkingInCopiesAndMoves)
{
    TextListDictionary d;
    d.Add(u"Audio", {u".mp3"});
    d.Find(u"Audio")->push_back(u".wav");

    TextListDictionary copy = d;
    d.Clear();
    ASSERT_NE(copy.Find(u"Audio"), nullptr);
    EXPECT_EQ(*copy.Find(u"Audio"), (std::vector<std::u16string>{u".mp3", u".wav"}));

    TextListDictionary moved = std::move(copy);
    moved.Add(u"Video", {});
    ASSERT_NE(moved.Find(u"Audio"), nullptr);
    EXPECT_EQ(moved.Find(u"Audio")->size(), 2u);
    EXPECT_THROW(moved.Add(u"Audio", {}), DuplicateKeyError);
}
