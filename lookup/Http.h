#pragma once

// HTTP/1.1 for the lookup service, without sockets: what the bytes at the
// front of a connection's input ask for, and the bytes to send back. The
// server feeds every connection's input through HttpResponder::Next, and so
// does the fuzzer, so that both meet the same parser and the same answers.
//
// Request heads are read by Boost.Beast's parser with these limits:
//
// | Limit                     | Value (HttpLimits) | Beyond it                    |
// |---------------------------|--------------------|------------------------------|
// | request line + fields     | 8 KiB              | 414 (line) or 431, closed    |
// | header fields             | 64                 | 431, closed                  |
// | request body              | none taken         | 413, closed                  |
// | HTTP version              | 1.0 and 1.1        | 505, closed                  |
//
// A head is answered only once it is complete, so bytes inside a field value
// never become a request of their own; requests sent one after another on a
// connection (pipelined) are answered one by one, in order. Range is ignored:
// the whole page comes with 200. Without Host an HTTP/1.1 request gets 400,
// and so does a request with two. A responder made with a host answers only
// requests for that host ("127.0.0.1:<port>"); others get 421, so that a web
// page whose name was pointed at the loopback address (DNS rebinding) reads
// nothing from it.
//
// Every answer carries Date, Content-Type with a charset, Content-Length
// (not 304), X-Content-Type-Options: nosniff, a Content-Security-Policy that
// allows the service's own style sheet and nothing else,
// Referrer-Policy: no-referrer and X-UA-Compatible: IE=edge.

#include "lookup/Catalogue.h"

#include <cstddef>
#include <ctime>
#include <memory>
#include <string>
#include <string_view>

namespace quelvo::lookup {

struct HttpLimits {
    std::size_t headBytes = 8192;  // request line and header fields together
    std::size_t headerFields = 64;
};

inline constexpr std::string_view kContentSecurityPolicy =
    "default-src 'none'; style-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'";

// One step of a connection.
struct HttpStep {
    enum Kind {
        NeedMore,  // the head is not complete yet: read more
        Answer,    // send `answer`; then close when `close`
    };
    Kind kind = NeedMore;
    std::size_t consumed = 0;  // bytes of input the request took
    std::string answer;
    bool close = false;
    int status = 0;  // of the answer, for logs and tests
};

class HttpResponder {
public:
    // onlyHost empty: any Host is answered.
    HttpResponder(std::shared_ptr<const Catalogue> catalogue, HttpLimits limits = {}, std::string onlyHost = {});

    // What the request at the front of `input` asks for. Input that cannot
    // become a request within the limits is answered with a 4xx and close.
    HttpStep Next(std::string_view input) const;

    const HttpLimits& Limits() const { return m_limits; }

private:
    std::shared_ptr<const Catalogue> m_catalogue;
    HttpLimits m_limits;
    std::string m_onlyHost;
};

// "Sun, 06 Nov 1994 08:49:37 GMT".
std::string HttpDate(std::time_t when);

}  // namespace quelvo::lookup
