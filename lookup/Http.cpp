#include "lookup/Http.h"

#include "lookup/Page.h"
#include "lookup/Query.h"
#include "lookup/Respond.h"

#include <boost/asio/buffer.hpp>
#include <boost/beast/http/basic_parser.hpp>
#include <boost/beast/http/error.hpp>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <limits>

namespace quelvo::lookup {

namespace {

namespace http = boost::beast::http;
using boost::beast::string_view;

// What the service needs of a request head, kept while Beast parses it; the
// parser holds no field itself, so a head costs no more than its bytes.
class HeadParser final : public http::basic_parser<true> {
public:
    explicit HeadParser(const HttpLimits& limits) : m_fieldLimit(limits.headerFields)
    {
        header_limit(static_cast<std::uint32_t>(
            std::min<std::size_t>(limits.headBytes, std::numeric_limits<std::uint32_t>::max())));
        eager(false);  // the head only: a body is refused unread
    }

    std::string method;
    std::string target;
    int version = 11;
    std::string host;
    int hosts = 0;
    std::string ifNoneMatch;
    bool tooManyFields = false;

private:
    void on_request_impl(http::verb, string_view methodText, string_view requestTarget, int httpVersion,
                         boost::beast::error_code&) override
    {
        method.assign(methodText.data(), methodText.size());
        target.assign(requestTarget.data(), requestTarget.size());
        version = httpVersion;
    }
    void on_response_impl(int, string_view, int, boost::beast::error_code&) override {}
    void on_field_impl(http::field name, string_view, string_view value, boost::beast::error_code& ec) override
    {
        if (++m_fields > m_fieldLimit) {
            tooManyFields = true;
            ec = http::error::header_limit;
            return;
        }
        if (name == http::field::host) {
            ++hosts;
            host.assign(value.data(), value.size());
        } else if (name == http::field::if_none_match) {
            if (!ifNoneMatch.empty())
                ifNoneMatch += ", ";
            ifNoneMatch.append(value.data(), value.size());
        }
    }
    void on_header_impl(boost::beast::error_code&) override {}
    void on_body_init_impl(const boost::optional<std::uint64_t>&, boost::beast::error_code& ec) override
    {
        ec = http::error::body_limit;
    }
    std::size_t on_body_impl(string_view, boost::beast::error_code& ec) override
    {
        ec = http::error::body_limit;
        return 0;
    }
    void on_chunk_header_impl(std::uint64_t, string_view, boost::beast::error_code& ec) override
    {
        ec = http::error::body_limit;
    }
    std::size_t on_chunk_body_impl(std::uint64_t, string_view, boost::beast::error_code& ec) override
    {
        ec = http::error::body_limit;
        return 0;
    }
    void on_finish_impl(boost::beast::error_code&) override {}

    std::size_t m_fields = 0;
    std::size_t m_fieldLimit;
};

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
               return lower(x) == lower(y);
           });
}

// The date of this second, formatted once a second on each thread.
std::string_view Now()
{
    thread_local std::time_t formatted = -1;
    thread_local std::string text;
    const std::time_t now = std::time(nullptr);
    if (now != formatted) {
        text = HttpDate(now);
        formatted = now;
    }
    return text;
}

// A request whose version, the word after the target, is well formed
// ("HTTP/2.0"): one the parser does not speak rather than a malformed one.
// The parser stops at that word, so only its eight bytes are looked at.
bool NamesAnHttpVersion(std::string_view request)
{
    const std::size_t target = request.find(' ');
    const std::size_t version = target == std::string_view::npos ? target : request.find(' ', target + 1);
    if (version == std::string_view::npos || request.size() < version + 9)
        return false;
    const std::string_view word = request.substr(version + 1, 8);
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    return word.substr(0, 5) == "HTTP/" && digit(word[5]) && word[6] == '.' && digit(word[7]);
}

struct Message {
    int status = 200;
    std::string_view contentType;
    std::string_view body;
    const std::vector<std::pair<std::string, std::string>>* headers = nullptr;
    bool close = false;
    bool http10KeepAlive = false;
    bool headOnly = false;
};

std::string Serialize(const Message& m)
{
    std::string out;
    out.reserve(480 + (m.headOnly ? 0 : m.body.size()));
    out += "HTTP/1.1 ";
    out += std::to_string(m.status);
    out += ' ';
    out += ReasonPhrase(m.status);
    out += "\r\nDate: ";
    out += Now();
    out += "\r\n";
    if (!m.contentType.empty()) {
        out += "Content-Type: ";
        out += m.contentType;
        out += "\r\n";
    }
    if (m.status != 304) {
        out += "Content-Length: ";
        out += std::to_string(m.body.size());
        out += "\r\n";
    }
    if (m.headers) {
        for (const auto& [name, value] : *m.headers) {
            out += name;
            out += ": ";
            out += value;
            out += "\r\n";
        }
    }
    out += "X-Content-Type-Options: nosniff\r\nContent-Security-Policy: ";
    out += kContentSecurityPolicy;
    out += "\r\nReferrer-Policy: no-referrer\r\nX-UA-Compatible: IE=edge\r\n";
    if (m.close)
        out += "Connection: close\r\n";
    else if (m.http10KeepAlive)
        out += "Connection: keep-alive\r\n";
    out += "\r\n";
    if (!m.headOnly && m.status != 304)
        out += m.body;
    return out;
}

HttpStep Refuse(int status, std::string_view message)
{
    std::vector<std::pair<std::string, std::string>> headers{{"Cache-Control", "no-store"}};
    const std::string page = BuildErrorPage(status, ReasonPhrase(status), message);
    Message m;
    m.status = status;
    m.contentType = "text/html; charset=utf-8";
    m.body = page;
    m.headers = &headers;
    m.close = true;
    HttpStep step;
    step.kind = HttpStep::Answer;
    step.answer = Serialize(m);
    step.close = true;
    step.status = status;
    return step;
}

}  // namespace

std::string HttpDate(std::time_t when)
{
    std::tm tm{};
#ifdef _WIN32
    gmtime_s(&tm, &when);
#else
    gmtime_r(&when, &tm);
#endif
    static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    char text[40];
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d GMT", kDays[(tm.tm_wday % 7 + 7) % 7],
                  tm.tm_mday, kMonths[(tm.tm_mon % 12 + 12) % 12], tm.tm_year + 1900, tm.tm_hour, tm.tm_min,
                  tm.tm_sec);
    return text;
}

HttpResponder::HttpResponder(std::shared_ptr<const Catalogue> catalogue, HttpLimits limits, std::string onlyHost)
    : m_catalogue(std::move(catalogue)), m_limits(limits), m_onlyHost(std::move(onlyHost))
{
}

HttpStep HttpResponder::Next(std::string_view input) const
{
    // Empty lines before a request line are allowed and skipped.
    std::size_t blank = 0;
    while (input.substr(blank, 2) == "\r\n")
        blank += 2;
    // All blank so far, or half a line end: wait for what follows.
    if (blank == input.size() || input.substr(blank) == "\r") {
        HttpStep step;
        step.consumed = blank;
        return step;
    }
    input.remove_prefix(blank);

    HeadParser parser(m_limits);
    boost::beast::error_code ec;
    const std::size_t used = parser.put(boost::asio::const_buffer(input.data(), input.size()), ec);
    // Beast's own limit counts the fields after the request line; the
    // limit here is the whole head's.
    if (ec == http::error::need_more && input.size() < m_limits.headBytes) {
        HttpStep step;
        step.consumed = blank;
        return step;
    }
    if (ec == http::error::need_more || ec == http::error::header_limit || used > m_limits.headBytes) {
        if (parser.tooManyFields)
            return Refuse(431, "The request has more header fields than this service reads.");
        const bool lineFits = input.substr(0, m_limits.headBytes).find("\r\n") != std::string_view::npos;
        return lineFits ? Refuse(431, "The request's header fields are longer than this service reads.")
                        : Refuse(414, "The address is longer than this service reads.");
    }
    if (ec == http::error::body_limit || (!ec && !parser.is_done()))
        return Refuse(413, "This service takes no request body.");
    if (ec == http::error::bad_version && NamesAnHttpVersion(input))
        return Refuse(505, "This service speaks HTTP/1.1 and HTTP/1.0.");
    if (ec)
        return Refuse(400, "The request is not HTTP that this service reads.");

    // The target: origin form ("/path?query") or absolute form
    // ("http://host/path?query"), whose host stands for the Host field.
    std::string_view target = parser.target;
    std::string_view authority;
    bool absolute = false;
    if (target.size() >= 7 && EqualsNoCase(target.substr(0, 7), "http://")) {
        target.remove_prefix(7);
        const std::size_t end = target.find_first_of("/?#");
        authority = target.substr(0, end);
        target = end == std::string_view::npos ? std::string_view{} : target.substr(end);
        absolute = true;
    } else if (target.empty() || target.front() != '/') {
        if (!(parser.method == "OPTIONS" && target == "*"))
            return Refuse(400, "The request names no path on this service.");
    }
    if (parser.hosts > 1 || (parser.hosts == 0 && parser.version == 11))
        return Refuse(400, "An HTTP/1.1 request names its host once, in one Host field.");
    if (!absolute)
        authority = parser.host;
    if (!m_onlyHost.empty() && !EqualsNoCase(authority, m_onlyHost))
        return Refuse(421, "This service answers only requests for its own address.");

    const std::size_t fragment = target.find('#');
    target = target.substr(0, fragment);
    const std::size_t mark = target.find('?');
    std::string path;
    if (!PercentDecode(target.substr(0, mark), path, /*plusIsSpace=*/false))
        return Refuse(400, "The path holds a '%' that is not followed by two hexadecimal digits.");
    if (path.empty())
        path = "/";
    const std::string_view rawQuery = mark == std::string_view::npos ? std::string_view{} : target.substr(mark + 1);

    const Reply reply = Respond(*m_catalogue, parser.method, path, rawQuery, parser.ifNoneMatch);
    Message m;
    m.status = reply.status;
    m.contentType = reply.contentType;
    m.body = reply.body;
    m.headers = &reply.headers;
    m.close = !parser.keep_alive();
    m.http10KeepAlive = parser.version == 10;
    m.headOnly = parser.method == "HEAD";
    HttpStep step;
    step.kind = HttpStep::Answer;
    step.consumed = blank + used;
    step.answer = Serialize(m);
    step.close = m.close;
    step.status = reply.status;
    return step;
}

}  // namespace quelvo::lookup
