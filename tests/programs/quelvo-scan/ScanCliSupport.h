#pragma once

// What the quelvo-scan suites share: the command run in-process (its report
// kept for the schema check that runs after them) and its JSON read by a
// strict parser.

#include <nlohmann/json.hpp>

#include <string>
#include <string_view>
#include <vector>

namespace quelvo::scancli::test {

struct CommandRun {
    int status = -1;
    std::string out;
    std::string err;
};

// quelvo-scan with these words, in this process. A JSON report is also kept
// in $QUELVO_SCAN_REPORTS (when set) for the schema check.
CommandRun RunScan(const std::vector<std::string>& args);

// The report parsed strictly (RFC 8259; a failure fails the test); with
// jsonl, every line.
nlohmann::json ParseJson(const std::string& text);
std::vector<nlohmann::json> ParseJsonLines(const std::string& text);

// A text field of a report as the registry holds it: its "utf16" code units
// when given there, else the UTF-8 text.
std::u16string ReportText(const nlohmann::json& object, const std::string& key);

// The extension entry of that name, or null.
const nlohmann::json* Extension(const nlohmann::json& document, std::u16string_view name);

}  // namespace quelvo::scancli::test
