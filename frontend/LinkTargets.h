#pragma once

// Which markup link targets reach the desktop. Report rows carry registry
// key names that anyone can write, so a target goes to the desktop's
// default handler only when both rules hold: IsDesktopTarget sends it there
// instead of (list box) or after (label) the click event, and
// IsOpenableAddress lets only a whole web or mail address through.

#include <string_view>

namespace quelvo::frontend {

// The link kinds the markup widgets hand to the desktop: targets containing
// "://" or "mailto:" anywhere.
bool IsDesktopTarget(std::u16string_view target);

// A whole address the desktop may open:
// - http:// or https:// followed by a host (a name of letters, digits, ".",
//   "-", "_", "~", or a bracketed IPv6 address) and an optional port of 1 to
//   5 digits up to 65535, then optionally a path, query or fragment;
// - mailto: followed by one or more comma-separated addresses local@host,
//   then optionally a query.
// Schemes compare without regard to case. Refused: anything else (file:,
// javascript:, UNC and bare paths, ftp), a missing host (http:///x), user
// names before the host (http://a@b), and any character outside printable
// ASCII or among space " < > \ ^ ` { | }.
bool IsOpenableAddress(std::u16string_view target);

}  // namespace quelvo::frontend
