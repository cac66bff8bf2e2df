#include "lookup/Respond.h"

#include "lookup/Page.h"
#include "lookup/Query.h"

#include <cstdio>

namespace quelvo::lookup {

namespace {

constexpr std::string_view kHtml = "text/html; charset=utf-8";
constexpr std::string_view kPageCaching = "public, max-age=3600";
constexpr std::string_view kStyleCaching = "public, max-age=86400";

// A page is a function of the catalogue and what was asked, so the tag is
// made from those rather than from the (much longer) page.
std::string ETagOf(const Catalogue& catalogue, std::string_view what)
{
    char text[24];
    std::snprintf(text, sizeof text, "\"%016llx\"",
                  static_cast<unsigned long long>(Fnv1a(what, catalogue.Fingerprint())));
    return text;
}

// If-None-Match holds a list of entity tags, or "*".
bool Matches(std::string_view ifNoneMatch, std::string_view etag)
{
    while (!ifNoneMatch.empty()) {
        const std::size_t comma = ifNoneMatch.find(',');
        std::string_view tag = ifNoneMatch.substr(0, comma);
        while (!tag.empty() && tag.front() == ' ')
            tag.remove_prefix(1);
        while (!tag.empty() && tag.back() == ' ')
            tag.remove_suffix(1);
        if (tag.substr(0, 2) == "W/")
            tag.remove_prefix(2);
        if (tag == "*" || tag == etag)
            return true;
        if (comma == std::string_view::npos)
            break;
        ifNoneMatch.remove_prefix(comma + 1);
    }
    return false;
}

Reply Error(int status, std::string_view message)
{
    Reply reply;
    reply.status = status;
    reply.contentType = kHtml;
    reply.body = BuildErrorPage(status, ReasonPhrase(status), message);
    reply.headers.emplace_back("Cache-Control", "no-store");
    return reply;
}

// The page is built only when the client's copy is not current.
template<typename Build>
Reply Page(const Catalogue& catalogue, std::string_view what, std::string_view ifNoneMatch, Build build,
           std::string_view contentType = kHtml, std::string_view caching = kPageCaching)
{
    Reply reply;
    std::string etag = ETagOf(catalogue, what);
    reply.headers.emplace_back("Cache-Control", caching);
    if (Matches(ifNoneMatch, etag)) {
        reply.status = 304;
    } else {
        reply.contentType = contentType;
        reply.body = build();
    }
    reply.headers.emplace_back("ETag", std::move(etag));
    return reply;
}

}  // namespace

std::string_view Reply::Header(std::string_view name) const
{
    for (const auto& [key, value] : headers)
        if (key == name)
            return value;
    return {};
}

std::string_view ReasonPhrase(int status)
{
    switch (status) {
    case 200: return "OK";
    case 304: return "Not Modified";
    case 400: return "Bad Request";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 413: return "Payload Too Large";
    case 414: return "URI Too Long";
    case 421: return "Misdirected Request";
    case 431: return "Request Header Fields Too Large";
    case 500: return "Internal Server Error";
    case 503: return "Service Unavailable";
    case 505: return "HTTP Version Not Supported";
    }
    return "Error";
}

Reply Respond(const Catalogue& catalogue, std::string_view method, std::string_view path, std::string_view rawQuery,
              std::string_view ifNoneMatch)
{
    const bool known = path == kLookupPath || path == "/" || path == "/healthz" || path == kStylePath;
    if (!known)
        return Error(404, "There is no page at this address. Ask /ext/file_ext.php?ext[]=mp3 for one.");
    if (method != "GET" && method != "HEAD") {
        Reply reply = Error(405, "Only GET and HEAD are answered here.");
        reply.headers.emplace_back("Allow", "GET, HEAD");
        return reply;
    }
    if (path == "/healthz") {
        Reply reply;
        reply.contentType = "text/plain; charset=utf-8";
        reply.body = "ok\n";
        reply.headers.emplace_back("Cache-Control", "no-store");
        return reply;
    }
    if (path == "/")
        return Page(catalogue, "/", ifNoneMatch, [&] { return BuildIndexPage(catalogue); });
    if (path == kStylePath)
        return Page(catalogue, kStylePath, ifNoneMatch, [] { return std::string(StyleSheet()); },
                    "text/css; charset=utf-8", kStyleCaching);
    const Query query = ParseQuery(rawQuery);
    if (query.error != QueryError::None)
        return Error(400, QueryErrorText(query.error));
    std::string what(kLookupPath);
    for (const std::string& ext : query.extensions) {
        what += '\0';  // cannot occur in an extension
        what += ext;
    }
    return Page(catalogue, what, ifNoneMatch, [&] { return BuildLookupPage(catalogue, query.extensions); });
}

}  // namespace quelvo::lookup
