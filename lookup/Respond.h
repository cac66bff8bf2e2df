#pragma once

// What the lookup service answers to one request, without any transport, so
// that every HTTP front (the standalone server, the one the program embeds,
// a test) answers alike.
//
// | Path               | GET / HEAD                           | Other methods |
// |--------------------|--------------------------------------|---------------|
// | /ext/file_ext.php  | 200 lookup page, 400 bad query       | 405           |
// | /                  | 200 index page                       | 405           |
// | /healthz           | 200 "ok", never cached               | 405           |
// | /quelvo.css        | 200 the pages' style sheet           | 405           |
// | anything else      | 404                                  | 404           |
//
// Pages carry Cache-Control and a strong ETag; a matching If-None-Match
// gives 304 without a body.

#include "lookup/Catalogue.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quelvo::lookup {

inline constexpr std::string_view kLookupPath = "/ext/file_ext.php";

struct Reply {
    int status = 200;
    std::string contentType;
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;  // besides Content-Type and Content-Length

    std::string_view Header(std::string_view name) const;
};

// path is the decoded path, rawQuery the query exactly as sent (without '?').
Reply Respond(const Catalogue& catalogue, std::string_view method, std::string_view path, std::string_view rawQuery,
              std::string_view ifNoneMatch = {});

std::string_view ReasonPhrase(int status);

}  // namespace quelvo::lookup
