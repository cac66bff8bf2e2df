#pragma once

// What the quelvo-scan suites share: the command run in-process (its report
// kept for the schema check that runs after them), its JSON read by a strict
// parser, and Wine prefixes written on disk from a few keys.

#include <nlohmann/json.hpp>

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
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

// A registry key of a test prefix: its path below HKLM (components) and its
// default value (none: no default value).
struct PrefixKey {
    std::vector<std::u16string> path;
    std::optional<std::u16string> defaultValue;
};
// Under Software\Classes: an extension and what it names.
PrefixKey ClassesKey(std::u16string name, std::optional<std::u16string> defaultValue = std::nullopt);

// A Wine prefix in `folder`: system.reg with these keys (in Wine's format,
// names escaped as wineserver escapes them) and drive C: at drive_c/.
std::filesystem::path WritePrefix(const std::filesystem::path& folder, const std::vector<PrefixKey>& keys);

// A copy of a Wine prefix light enough to make per test: its registry
// files, and its drives as links to the original's folders (drive C: is
// shared, read-only in use). The copy's folder.
std::filesystem::path LightPrefixCopy(const std::filesystem::path& prefix, const std::filesystem::path& into);

// The sandbox prefix scripts/make-sandbox-prefix made for these suites, or
// none when it is not there (no Wine).
std::optional<std::filesystem::path> SandboxPrefix();

// Every file below a folder with its bytes, to tell that nothing changed.
std::vector<std::pair<std::string, std::string>> FolderBytes(const std::filesystem::path& folder);

}  // namespace quelvo::scancli::test
