#pragma once

// The report written for people (text) and for programs (JSON, schema
// "quelvo-scan/1": quelvo-scan.schema.json beside this file).
//
// JSON is written by nlohmann::json, never pasted together. Every text is
// UTF-8, non-ASCII characters escaped (\uXXXX, surrogate pairs beyond the
// BMP), so the output is plain ASCII whatever the console's code page. A
// registry text holding a lone surrogate (UTF-16 that no UTF-8 can hold) is
// written with U+FFFD in its place, and its exact UTF-16 code units are
// given beside it in hex under "utf16" (a path whose bytes are not UTF-8:
// under "bytes"), so nothing is dropped or replaced unmarked.

#include "ScanOptions.h"
#include "ScanReport.h"

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace quelvo::scancli {

inline constexpr std::string_view kSchema = "quelvo-scan/1";

void WriteReport(const ScanReport& report, Format format, std::ostream& out);

// The whole report as one JSON document (one line).
std::string JsonDocument(const ScanReport& report);
// The report as JSON lines: the report without its extensions, then one
// line per extension.
std::vector<std::string> JsonLines(const ScanReport& report);
// The report for people, grouped as the window groups it.
std::string TextReport(const ScanReport& report);

// UTF-16 code units as hex, four lower-case digits each ("002e00e9d800").
std::string Utf16Hex(std::u16string_view text);

// Text made safe for a terminal, in UTF-8: control characters (C0, DEL,
// C1) as "\x1b", characters that reorder text and lone surrogates as
// "\u202e", "\ud800".
std::string TerminalText(std::u16string_view text);

}  // namespace quelvo::scancli
