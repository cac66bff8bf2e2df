// The pages and the answers of the service without a transport.

#include "lookup/Page.h"
#include "lookup/Respond.h"

#include <gtest/gtest.h>

#include <string>

using namespace quelvo::lookup;

namespace {

const Catalogue& Small()
{
    static const Catalogue catalogue = Catalogue::FromText(
        "Player\tVideo & Co\thttps://player.example/?a=1&b=2\topen source\tCo.Player\t[Audio], [Video]\n"
        "Tagger\tTags\t\tfree\tTags.Tagger\tmp3\n"
        "Cutter\tCuts\t\tpaid\t\tavi\n",
        "==Audio==\nmp3\nwav\n==Video==\navi\n");
    return catalogue;
}

std::size_t Count(const std::string& text, const std::string& what)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

}  // namespace

TEST(LookupPage, shouldListTheGroupAndEveryApplicationOfOneExtension)
{
    const std::string page = BuildLookupPage(Small(), {"mp3"});
    EXPECT_NE(page.find("<title>Applications for .mp3</title>"), std::string::npos);
    EXPECT_NE(page.find("Type: Audio"), std::string::npos);
    EXPECT_NE(page.find("<a href=\"https://player.example/?a=1&amp;b=2\">Player</a>"), std::string::npos);
    EXPECT_NE(page.find("by Video &amp; Co"), std::string::npos);
    EXPECT_NE(page.find("winget install --id Co.Player -e"), std::string::npos);
    EXPECT_NE(page.find("<span class=\"name\">Tagger</span>"), std::string::npos);  // no home page, no link
    EXPECT_NE(page.find(">free</span>"), std::string::npos);
    EXPECT_LT(page.find("Player"), page.find("Tagger"));
    EXPECT_EQ(page.find("Cutter"), std::string::npos);
    EXPECT_EQ(page.find("<script"), std::string::npos);
    // No inline style: the page's look is the service's own style sheet,
    // the only one its security policy lets in.
    EXPECT_EQ(page.find("<style"), std::string::npos);
    EXPECT_EQ(page.find("style="), std::string::npos);
    EXPECT_NE(page.find("<link rel=\"stylesheet\" href=\"/quelvo.css\">"), std::string::npos);
    EXPECT_NE(StyleSheet().find("#D6E7F9"), std::string::npos);
    EXPECT_NE(StyleSheet().find("#E4EEF9"), std::string::npos);
    // The WebBrowser control shows it in its modern mode, asked for before
    // anything but other meta elements.
    const std::size_t mode = page.find("<meta http-equiv=\"X-UA-Compatible\" content=\"IE=edge\">");
    ASSERT_NE(mode, std::string::npos);
    EXPECT_LT(mode, page.find("<title>"));
    EXPECT_LT(mode, page.find("<link"));
}

TEST(LookupPage, shouldGiveEachOfTwoExtensionsItsSectionInTheOrderAsked)
{
    const std::string page = BuildLookupPage(Small(), {"AVI", "mp3"});
    EXPECT_NE(page.find("<title>Applications for .AVI, .mp3</title>"), std::string::npos);
    EXPECT_EQ(Count(page, "<section>"), 2u);
    const std::size_t avi = page.find("<h2>.AVI</h2>");
    const std::size_t mp3 = page.find("<h2>.mp3</h2>");
    ASSERT_NE(avi, std::string::npos);
    ASSERT_NE(mp3, std::string::npos);
    EXPECT_LT(avi, mp3);
    const std::string aviPart = page.substr(avi, mp3 - avi);
    EXPECT_NE(aviPart.find("Type: Video"), std::string::npos);
    EXPECT_NE(aviPart.find("Cutter"), std::string::npos);
    EXPECT_NE(aviPart.find(">paid</span>"), std::string::npos);
    EXPECT_EQ(aviPart.find("winget install --id  -e"), std::string::npos);  // none without an id
    EXPECT_EQ(Count(page, "winget install --id Co.Player -e"), 2u);
}

TEST(LookupPage, shouldSayItKnowsNoApplicationForAnUnknownExtensionAndEscapeIt)
{
    const std::string page = BuildLookupPage(Small(), {"x<b>\"'&"});
    EXPECT_NE(page.find("We know no application for .x&lt;b&gt;&quot;&#39;&amp; files yet."), std::string::npos);
    EXPECT_NE(page.find("Type: not in the file type library"), std::string::npos);
    EXPECT_EQ(page.find("<b>"), std::string::npos);
    EXPECT_EQ(page.find("<ul>"), std::string::npos);
}

TEST(Respond, shouldAnswerEachPathAndMethodWithItsStatus)
{
    const Catalogue& c = Small();
    const Reply page = Respond(c, "GET", kLookupPath, "ext[]=mp3&ext[]=avi");
    EXPECT_EQ(page.status, 200);
    EXPECT_EQ(page.contentType, "text/html; charset=utf-8");
    EXPECT_EQ(page.body, BuildLookupPage(c, {"mp3", "avi"}));
    EXPECT_EQ(page.Header("Cache-Control"), "public, max-age=3600");
    EXPECT_EQ(page.Header("ETag").size(), 18u);

    EXPECT_EQ(Respond(c, "HEAD", kLookupPath, "ext[]=mp3").status, 200);
    EXPECT_EQ(Respond(c, "GET", "/", "").status, 200);
    EXPECT_NE(Respond(c, "GET", "/", "").body.find("/ext/file_ext.php?ext[]=mp3&amp;ext[]=avi"), std::string::npos);
    const Reply health = Respond(c, "GET", "/healthz", "");
    EXPECT_EQ(health.body, "ok\n");
    EXPECT_EQ(health.Header("Cache-Control"), "no-store");
    const Reply style = Respond(c, "GET", kStylePath, "");
    EXPECT_EQ(style.status, 200);
    EXPECT_EQ(style.contentType, "text/css; charset=utf-8");
    EXPECT_EQ(style.body, StyleSheet());
    EXPECT_EQ(Respond(c, "GET", kStylePath, "", style.Header("ETag")).status, 304);

    const Reply post = Respond(c, "POST", kLookupPath, "ext[]=mp3");
    EXPECT_EQ(post.status, 405);
    EXPECT_EQ(post.Header("Allow"), "GET, HEAD");
    EXPECT_EQ(Respond(c, "DELETE", "/", "").status, 405);
    EXPECT_EQ(Respond(c, "GET", "/ext/file_ext.php/", "ext[]=mp3").status, 404);
    EXPECT_EQ(Respond(c, "GET", "/ext/other.php", "ext[]=mp3").status, 404);
    EXPECT_EQ(Respond(c, "POST", "/nowhere", "").status, 404);

    const Reply bad = Respond(c, "GET", kLookupPath, "ext[]=%FF");
    EXPECT_EQ(bad.status, 400);
    EXPECT_NE(bad.body.find("not UTF-8"), std::string::npos);
    EXPECT_EQ(bad.Header("Cache-Control"), "no-store");
    EXPECT_EQ(Respond(c, "GET", kLookupPath, "").status, 400);
}

TEST(Respond, shouldAnswer304ToAMatchingETagAndAFreshPageOtherwise)
{
    const Catalogue& c = Small();
    const Reply first = Respond(c, "GET", kLookupPath, "ext[]=mp3");
    const std::string etag(first.Header("ETag"));
    const Reply again = Respond(c, "GET", kLookupPath, "ext[]=mp3", "\"other\", " + etag);
    EXPECT_EQ(again.status, 304);
    EXPECT_TRUE(again.body.empty());
    EXPECT_EQ(again.Header("ETag"), etag);
    EXPECT_EQ(Respond(c, "GET", kLookupPath, "ext[]=mp3", "W/" + etag).status, 304);
    EXPECT_EQ(Respond(c, "GET", kLookupPath, "ext[]=mp3", "*").status, 304);
    // Another page, or the same page from another catalogue, has another tag.
    const Reply other = Respond(c, "GET", kLookupPath, "ext[]=avi", etag);
    EXPECT_EQ(other.status, 200);
    EXPECT_NE(other.Header("ETag"), etag);
    const Catalogue changed = Catalogue::FromText("Player\tX\t\tfree\tX.P\tmp3\n", "==Audio==\nmp3\n");
    const Catalogue same = Catalogue::FromText("Player\tX\t\tfree\tX.P\tmp3\n", "==Audio==\nmp3\nwav\n");
    EXPECT_NE(Respond(changed, "GET", kLookupPath, "ext[]=mp3").Header("ETag"),
              Respond(same, "GET", kLookupPath, "ext[]=mp3").Header("ETag"));
}
