#pragma once

// The pages of the lookup service: plain HTML and one style sheet, no
// scripts, laid out for the program's 548 x 401 browser rectangle and any
// wider window, and readable in the WebBrowser control's engine (its modern
// mode, which the pages ask for). Everything that comes from a request is
// HTML-escaped.

#include "lookup/Catalogue.h"

#include <string>
#include <string_view>
#include <vector>

namespace quelvo::lookup {

// The style sheet every page links to, served from this path of the service,
// so that the pages need no inline style.
inline constexpr std::string_view kStylePath = "/quelvo.css";
std::string_view StyleSheet();

// &, <, >, " and ' as character references.
std::string HtmlEscape(std::string_view text);
void AppendEscaped(std::string& out, std::string_view text);

// One section per extension, in the order given: its type group, then each
// recommended application (link, publisher, licence, winget command), or a
// note that no application is known for it yet.
std::string BuildLookupPage(const Catalogue& catalogue, const std::vector<std::string>& extensions);

// What the service is and how to ask it, with the type groups it knows.
std::string BuildIndexPage(const Catalogue& catalogue);

// A short page for a refused request.
std::string BuildErrorPage(int status, std::string_view reason, std::string_view message);

}  // namespace quelvo::lookup
