// The catalogue as shipped: every extension of the library gets an
// application, every winget id and name is real, nothing is listed twice;
// and the reader's rules on small texts.

#include "lookup/Catalogue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <unordered_map>

using namespace quelvo::lookup;

namespace {

std::string ReadAll(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

const Catalogue& Shipped()
{
    static const Catalogue catalogue = LoadCatalogueFiles(QUELVO_LOOKUP_CATALOGUE, QUELVO_FILETYPE_LIB);
    return catalogue;
}

// The JSON string starting at text[at] (just after its opening quote), with
// the escapes the index uses; at ends after the closing quote.
std::string JsonString(const std::string& text, std::size_t& at)
{
    std::string out;
    while (at < text.size() && text[at] != '"') {
        char c = text[at++];
        if (c != '\\') {
            out += c;
            continue;
        }
        c = text[at++];
        if (c == 'u') {
            const unsigned cp = static_cast<unsigned>(std::stoul(text.substr(at, 4), nullptr, 16));
            at += 4;
            if (cp < 0x80) {
                out += static_cast<char>(cp);
            } else if (cp < 0x800) {
                out += static_cast<char>(0xC0 | (cp >> 6));
                out += static_cast<char>(0x80 | (cp & 0x3F));
            } else {
                out += static_cast<char>(0xE0 | (cp >> 12));
                out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
                out += static_cast<char>(0x80 | (cp & 0x3F));
            }
        } else {
            out += c == 'n' ? '\n' : c == 't' ? '\t' : c;
        }
    }
    ++at;
    return out;
}

// PackageId -> Name of every package in the index (an array of flat objects
// whose "Name" comes before its "PackageId").
std::unordered_map<std::string, std::string> WingetIndex(const std::string& json)
{
    std::unordered_map<std::string, std::string> index;
    std::string name;
    for (std::size_t at = 0; at < json.size();) {
        const std::size_t key = json.find('"', at);
        if (key == std::string::npos)
            break;
        at = key + 1;
        const std::string field = JsonString(json, at);
        if ((field != "Name" && field != "PackageId") || json.compare(at, 2, ":\"") != 0)
            continue;
        at += 2;
        const std::string value = JsonString(json, at);
        if (field == "Name")
            name = value;
        else
            index.emplace(value, name);
    }
    return index;
}

}  // namespace

TEST(ShippedCatalogue, shouldRecommendAnApplicationForEveryExtensionOfTheLibrary)
{
    const Catalogue& catalogue = Shipped();
    ASSERT_GE(catalogue.Groups().size(), 20u);
    std::size_t extensions = 0;
    std::size_t direct = 0;
    for (const auto& [group, members] : catalogue.Groups()) {
        for (const std::string& ext : members) {
            ++extensions;
            const Recommendation& found = catalogue.Find(ext);
            EXPECT_EQ(found.group, group) << ext;
            EXPECT_FALSE(found.apps.empty()) << "." << ext << " (" << group << ") has no application";
            for (const Application* app : found.apps) {
                if (std::find(app->extensions.begin(), app->extensions.end(), AsciiLower(ext)) != app->extensions.end()) {
                    ++direct;
                    break;
                }
            }
        }
    }
    EXPECT_GE(extensions, 550u);
    std::printf("catalogue: %zu applications; %zu library extensions, all covered, %zu by name\n",
                catalogue.Applications().size(), extensions, direct);
}

TEST(ShippedCatalogue, shouldNameOnlyRealWingetPackagesOnSecureHomePages)
{
    const std::string json = ReadAll(QUELVO_WINGET_INDEX);
    if (json.empty())
        GTEST_SKIP() << "no winget index at " << QUELVO_WINGET_INDEX << " (shared/data beside the project)";
    const auto index = WingetIndex(json);
    ASSERT_GT(index.size(), 10000u);
    std::set<std::string> ids;
    for (const Application& app : Shipped().Applications()) {
        EXPECT_TRUE(app.homePage.empty() || app.homePage.rfind("https://", 0) == 0) << app.name;
        EXPECT_FALSE(app.publisher.empty()) << app.name;
        EXPECT_FALSE(app.extensions.empty() && app.groups.empty()) << app.name << " opens nothing";
        for (const std::string& group : app.groups) {
            const auto& groups = Shipped().Groups();
            EXPECT_TRUE(std::any_of(groups.begin(), groups.end(), [&](const auto& g) { return g.first == group; }))
                << app.name << " names the group " << group << ", which the library lacks";
        }
        ASSERT_FALSE(app.wingetId.empty()) << app.name;
        EXPECT_TRUE(ids.insert(AsciiLower(app.wingetId)).second) << app.wingetId << " twice";
        const auto found = index.find(app.wingetId);
        ASSERT_NE(found, index.end()) << app.wingetId << " is not in the winget index";
        // The index's name may carry an edition or a language ("(en-US)").
        const std::string ours = AsciiLower(app.name);
        const std::string theirs = AsciiLower(found->second);
        EXPECT_TRUE(theirs.find(ours) != std::string::npos || ours.find(theirs) != std::string::npos)
            << app.name << " vs the index's " << found->second;
    }
}

TEST(CatalogueText, shouldMergeAnExtensionsOwnAndItsGroupsApplicationsInFileOrder)
{
    const Catalogue catalogue = Catalogue::FromText(
        "# comment\n"
        "Player\tP\thttps://p.example/\topen source\tP.Player\t[Audio]\n"
        "Tagger\tT\t\tfree\tT.Tagger\tMP3, flac\n"
        "Shop\tS\t\tpaid\t\tmp3, [Audio]\n",
        "\xEF\xBB\xBF==Audio==\r\nmp3\r\nwav\r\n\r\n==Video==\r\navi\r\nmp3\r\n");
    const Recommendation mp3 = catalogue.Find("Mp3");
    EXPECT_EQ(mp3.group, "Audio");  // the first group wins
    ASSERT_EQ(mp3.apps.size(), 3u);
    EXPECT_EQ(mp3.apps[0]->name, "Player");
    EXPECT_EQ(mp3.apps[1]->name, "Tagger");
    EXPECT_EQ(mp3.apps[2]->name, "Shop");
    EXPECT_EQ(mp3.apps[2]->licence, Licence::Paid);

    const Recommendation flac = catalogue.Find("flac");  // known to the catalogue only
    EXPECT_EQ(flac.group, "");
    ASSERT_EQ(flac.apps.size(), 1u);

    // A group the library lacks opens nothing, and does not stop the rest.
    EXPECT_TRUE(Catalogue::FromText("A\tB\t\tfree\tA.A\t[Sound]\n", "==Audio==\nmp3\n").Find("mp3").apps.empty());

    const Recommendation avi = catalogue.Find("AVI");  // a group nobody opens
    EXPECT_EQ(avi.group, "Video");
    EXPECT_TRUE(avi.apps.empty());
    EXPECT_TRUE(catalogue.Find("xyz").apps.empty());
    EXPECT_TRUE(catalogue.Find("").apps.empty());
}

TEST(CatalogueText, shouldRefuseMalformedLinesNamingTheLine)
{
    const std::string lib = "==Audio==\nmp3\n";
    const auto refuses = [&](const std::string& text, const std::string& words) {
        try {
            Catalogue::FromText(text, lib);
            ADD_FAILURE() << "accepted: " << text;
        } catch (const CatalogueError& e) {
            EXPECT_NE(std::string(e.what()).find(words), std::string::npos) << e.what();
        }
    };
    refuses("A\tB\t\tfree\tA.A\n", "line 1: expected 6");
    refuses("\nA\tB\t\tcheap\tA.A\tmp3\n", "line 2: unknown licence");
    refuses("A\tB\thttp://a.example/\tfree\tA.A\tmp3\n", "https");
    refuses("A\tB\t\tfree\tA.A\tmp3\nC\tD\t\tfree\ta.a\tmp3\n", "line 2: winget id \"a.a\" is listed twice");
    refuses("A\tB\t\tfree\tA.A\tmp3\na\tD\t\tfree\tC.C\tmp3\n", "line 2: \"a\" is listed twice");
    EXPECT_THROW(LoadCatalogueFiles("no-such-catalogue.tsv", QUELVO_FILETYPE_LIB), CatalogueError);
}
