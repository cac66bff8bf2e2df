// HTTP requests and answers without sockets: the parser's limits, the
// refusals, pipelining, keep-alive, the Host rule and the headers every
// answer carries.

#include "ShippedCatalogue.h"

#include "lookup/Http.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace quelvo::lookup;
using quelvo::lookup::test::ShippedCatalogue;

namespace {

struct Parsed {
    int status = 0;
    std::string head;
    std::string body;
    // The value of a header, or "(none)".
    std::string Header(const std::string& name) const
    {
        const std::size_t at = head.find("\r\n" + name + ": ");
        if (at == std::string::npos)
            return "(none)";
        const std::size_t from = at + 4 + name.size();
        return head.substr(from, head.find("\r\n", from) - from);
    }
};

Parsed Parse(const std::string& answer)
{
    Parsed p;
    const std::size_t end = answer.find("\r\n\r\n");
    p.head = answer.substr(0, end + 2);
    p.body = end == std::string::npos ? "" : answer.substr(end + 4);
    if (answer.rfind("HTTP/1.1 ", 0) == 0)
        p.status = std::stoi(answer.substr(9, 3));
    return p;
}

// Every step a connection would take over this input, as the server takes
// them: answer, drop what the request took, go on until more is needed or
// the connection closes.
std::vector<HttpStep> Converse(const HttpResponder& responder, std::string input)
{
    std::vector<HttpStep> steps;
    for (;;) {
        HttpStep step = responder.Next(input);
        input.erase(0, step.consumed);
        if (step.kind == HttpStep::NeedMore)
            return steps;
        const bool close = step.close;
        steps.push_back(std::move(step));
        if (close)
            return steps;
    }
}

int StatusOf(const std::string& request, const HttpLimits& limits = {})
{
    const HttpResponder responder(ShippedCatalogue(), limits);
    const HttpStep step = responder.Next(request);
    return step.kind == HttpStep::Answer ? step.status : 0;
}

}  // namespace

TEST(Http, shouldAnswerPipelinedRequestsOneByOneInOrder)
{
    const HttpResponder responder(ShippedCatalogue());
    std::string input;
    for (const char* ext : {"mp3", "zip", "pdf", "flac", "avi"})
        input += "GET /ext/file_ext.php?ext[]=" + std::string(ext) + " HTTP/1.1\r\nHost: x\r\n\r\n";
    input += "GET /healthz HTTP/1.1\r\nHo";  // the start of a sixth
    const auto steps = Converse(responder, input);
    ASSERT_EQ(steps.size(), 5u);
    int i = 0;
    for (const char* ext : {"mp3", "zip", "pdf", "flac", "avi"}) {
        EXPECT_FALSE(steps[i].close);
        EXPECT_NE(Parse(steps[i++].answer).body.find("<title>Applications for ." + std::string(ext) + "</title>"),
                  std::string::npos);
    }
}

TEST(Http, shouldAnswerNothingBeforeTheHeadIsCompleteAndNoRequestFromInsideAField)
{
    const HttpResponder responder(ShippedCatalogue());
    const std::string request = "GET /ext/file_ext.php?ext[]=mp3 HTTP/1.1\r\nHost: x\r\nX-A: GET /?q HTTP/1.1\r\n\r\n";
    for (std::size_t n = 0; n < request.size(); ++n)
        EXPECT_EQ(responder.Next(request.substr(0, n)).kind, HttpStep::NeedMore) << n;
    const HttpStep whole = responder.Next(request);
    EXPECT_EQ(whole.kind, HttpStep::Answer);
    EXPECT_EQ(whole.consumed, request.size());

    const std::string smuggling = "GET / HTTP/1.1\r\nHost: x\r\nX-Pad: " + std::string(4000, 'a')
                                  + "GET /ext/file_ext.php?ext[]=SMUGGLED HTTP/1.1\r\n\r\n"
                                    "GET /ext/file_ext.php?ext[]=mp3 HTTP/1.1\r\nHost: x\r\n\r\n";
    const auto steps = Converse(responder, smuggling);
    ASSERT_EQ(steps.size(), 2u);
    EXPECT_NE(steps[0].answer.find("<title>Quelvo application lookup</title>"), std::string::npos);
    EXPECT_NE(steps[1].answer.find("<title>Applications for .mp3</title>"), std::string::npos);
    for (const HttpStep& step : steps)
        EXPECT_EQ(step.answer.find("SMUGGLED"), std::string::npos);
}

TEST(Http, shouldRefuseWhatItDoesNotTakeAndClose)
{
    const std::string get = "GET / HTTP/1.1\r\nHost: x\r\n";
    std::string manyFields = get;
    for (int i = 0; i < 65; ++i)
        manyFields += "A" + std::to_string(i) + ": b\r\n";
    struct Case {
        std::string request;
        int status;
    };
    const std::vector<Case> cases = {
        {"GET /?" + std::string(9000, 'a') + " HTTP/1.1\r\nHost: x\r\n\r\n", 414},
        {"GET /?" + std::string(9000, 'a'), 414},  // not even a line yet
        {get + "X: " + std::string(9000, 'b') + "\r\n\r\n", 431},
        // Neither the line nor the fields alone, but the two together.
        {"GET /?" + std::string(5000, 'a') + " HTTP/1.1\r\nHost: x\r\nX: " + std::string(5000, 'b') + "\r\n\r\n", 431},
        {get + "X: " + std::string(9000, 'b'), 431},
        {manyFields + "\r\n", 431},
        {get + "Content-Length: 5\r\n\r\nhello", 413},
        {get + "Content-Length: 100000000\r\n\r\n", 413},
        {get + "Transfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n", 413},
        {"GET / HTTP/1.2\r\nHost: x\r\n\r\n", 505},
        {"GET / HTTP/2.0\r\nHost: x\r\n\r\n", 505},
        {"GET / HTTP/1.x\r\nHost: x\r\n\r\n", 400},
        {"GET / HTTP/1.1\r\n\r\n", 400},                       // no Host
        {get + "Host: y\r\n\r\n", 400},                         // two
        {"GET /%zz HTTP/1.1\r\nHost: x\r\n\r\n", 400},
        {"GET nowhere HTTP/1.1\r\nHost: x\r\n\r\n", 400},
        {"GET / HTTP/1.1\r\nHost: x\r\nBad Field: y\r\n\r\n", 400},
        {"\x16\x03\x01\x02\x05\x01\x01\x01\xfc\x03\x03\r\n\r\n", 400},  // TLS to a plain port
    };
    for (const Case& c : cases) {
        const HttpResponder responder(ShippedCatalogue());
        const HttpStep step = responder.Next(c.request);
        EXPECT_EQ(step.kind, HttpStep::Answer) << c.request.substr(0, 60);
        EXPECT_EQ(step.status, c.status) << c.request.substr(0, 60);
        EXPECT_TRUE(step.close) << c.request.substr(0, 60);
        EXPECT_EQ(Parse(step.answer).Header("Connection"), "close");
    }
    // A query the page cannot be made from is refused without closing.
    EXPECT_EQ(StatusOf("GET /ext/file_ext.php?ext[]=\xFF\xFE HTTP/1.1\r\nHost: x\r\n\r\n"), 400);
    // Within the limits the same requests are answered.
    EXPECT_EQ(StatusOf(get + "X: " + std::string(7000, 'b') + "\r\n\r\n"), 200);
    EXPECT_EQ(StatusOf(get + "Content-Length: 0\r\n\r\n"), 200);
    HttpLimits wider;
    wider.headerFields = 100;
    EXPECT_EQ(StatusOf(manyFields + "\r\n", wider), 200);
    EXPECT_EQ(StatusOf("GET / HTTP/1.0\r\n\r\n"), 200);
    EXPECT_EQ(StatusOf("\r\n\r\nGET / HTTP/1.1\r\nHost: x\r\n\r\n"), 200);
}

TEST(Http, shouldKeepTheConnectionAsTheClientAsks)
{
    const HttpResponder responder(ShippedCatalogue());
    const auto step = [&](const std::string& request) { return responder.Next(request); };
    EXPECT_FALSE(step("GET / HTTP/1.1\r\nHost: x\r\n\r\n").close);
    const HttpStep closing = step("GET / HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
    EXPECT_TRUE(closing.close);
    EXPECT_EQ(Parse(closing.answer).Header("Connection"), "close");
    EXPECT_TRUE(step("GET / HTTP/1.0\r\n\r\n").close);
    const HttpStep old = step("GET / HTTP/1.0\r\nConnection: keep-alive\r\n\r\n");
    EXPECT_FALSE(old.close);
    EXPECT_EQ(Parse(old.answer).Header("Connection"), "keep-alive");
}

TEST(Http, shouldAnswerOnlyItsOwnHostWhenMadeWithOne)
{
    const HttpResponder own(ShippedCatalogue(), {}, "127.0.0.1:8080");
    const auto status = [&](const std::string& request) { return own.Next(request).status; };
    EXPECT_EQ(status("GET / HTTP/1.1\r\nHost: 127.0.0.1:8080\r\n\r\n"), 200);
    EXPECT_EQ(status("GET http://127.0.0.1:8080/healthz HTTP/1.1\r\nHost: 127.0.0.1:8080\r\n\r\n"), 200);
    EXPECT_EQ(status("GET / HTTP/1.1\r\nHost: rebound.example:8080\r\n\r\n"), 421);
    EXPECT_EQ(status("GET / HTTP/1.1\r\nHost: 127.0.0.1:8081\r\n\r\n"), 421);
    EXPECT_EQ(status("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"), 421);
    EXPECT_EQ(status("GET http://rebound.example:8080/ HTTP/1.1\r\nHost: 127.0.0.1:8080\r\n\r\n"), 421);
    EXPECT_EQ(status("GET / HTTP/1.0\r\n\r\n"), 421);
    const HttpStep refused = own.Next("GET /ext/file_ext.php?ext[]=mp3 HTTP/1.1\r\nHost: rebound.example\r\n\r\n");
    EXPECT_TRUE(refused.close);
    EXPECT_EQ(refused.answer.find("VLC"), std::string::npos);
}

TEST(Http, shouldCarryTheSecurityHeadersOnEveryAnswerAndTheBodyOnlyForGet)
{
    const HttpResponder responder(ShippedCatalogue());
    const std::string page = "GET /ext/file_ext.php?ext[]=mp3 HTTP/1.1\r\nHost: x\r\n";
    const std::string etag = Parse(responder.Next(page + "\r\n").answer).Header("ETag");
    for (const std::string& request : {
             page + "\r\n",                                              // 200
             page + "If-None-Match: " + etag + "\r\n\r\n",               // 304
             std::string("GET /nowhere HTTP/1.1\r\nHost: x\r\n\r\n"),    // 404
             std::string("GET / HTTP/1.1\r\n\r\n"),                      // 400
             std::string("GET /quelvo.css HTTP/1.1\r\nHost: x\r\n\r\n"), // the style sheet
         }) {
        const Parsed p = Parse(responder.Next(request).answer);
        EXPECT_EQ(p.Header("X-Content-Type-Options"), "nosniff") << request;
        EXPECT_EQ(p.Header("Content-Security-Policy"), kContentSecurityPolicy) << request;
        EXPECT_EQ(p.Header("Referrer-Policy"), "no-referrer") << request;
        EXPECT_EQ(p.Header("X-UA-Compatible"), "IE=edge") << request;
        EXPECT_NE(p.Header("Date"), "(none)") << request;
        if (p.status == 304) {
            EXPECT_TRUE(p.body.empty());
        } else {
            EXPECT_NE(p.Header("Content-Type").find("; charset=utf-8"), std::string::npos) << request;
            EXPECT_EQ(p.Header("Content-Length"), std::to_string(p.body.size())) << request;
        }
    }
    const Parsed head = Parse(responder.Next("HEAD /ext/file_ext.php?ext[]=mp3 HTTP/1.1\r\nHost: x\r\n\r\n").answer);
    const Parsed get = Parse(responder.Next(page + "\r\n").answer);
    EXPECT_TRUE(head.body.empty());
    EXPECT_EQ(head.Header("Content-Length"), get.Header("Content-Length"));

    // Range is not answered in part: the whole page, 200.
    const Parsed ranged = Parse(responder.Next(page + "Range: bytes=0-10,20-30\r\n\r\n").answer);
    EXPECT_EQ(ranged.status, 200);
    EXPECT_EQ(ranged.body, get.body);
    EXPECT_EQ(ranged.Header("Content-Range"), "(none)");
}

TEST(Http, shouldWriteDatesInTheHttpForm)
{
    EXPECT_EQ(HttpDate(784111777), "Sun, 06 Nov 1994 08:49:37 GMT");
    EXPECT_EQ(HttpDate(951782400), "Tue, 29 Feb 2000 00:00:00 GMT");
}
