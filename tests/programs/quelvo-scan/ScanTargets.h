#pragma once

// Targets for the quelvo-scan suites and the fleet of tests/deploy: Wine
// prefixes written on disk from a few keys, light copies of a prefix, the
// sandbox prefix the suites share, and a folder's bytes to tell that nothing
// changed. Linux only.

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quelvo::scancli::test {

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

// The sandbox prefix scripts/make-sandbox-prefix made for these suites
// ($QUELVO_SCAN_SANDBOX names another), or none when it is not there (no
// Wine).
std::optional<std::filesystem::path> SandboxPrefix();

// Every file below a folder with its bytes, to tell that nothing changed.
std::vector<std::pair<std::string, std::string>> FolderBytes(const std::filesystem::path& folder);

}  // namespace quelvo::scancli::test
