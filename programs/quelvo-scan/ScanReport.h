#pragma once

// What one run of quelvo-scan found and did, before it is written as text or
// JSON (ReportWriters.h). Every text is kept as the registry holds it; the
// writers escape it.

#include "ScanOptions.h"
#include "report/Unit_QLV_Report.h"
#include "scan/Unit_QLV_Thread.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace quelvo::scancli {

// Complete: every key read. Stale: an older state than Windows would load.
// Damaged: some of it could not be read. Missing: the path does not exist.
// Unreadable: no registry could be read there (or none with the rights the
// check needs).
enum class TargetState { Complete, Stale, Damaged, Missing, Unreadable };

struct TargetReport {
    std::optional<std::string> kind;  // "wine-prefix", "windows-installation", "windows"; none when not opened
    std::optional<std::filesystem::path> path;
    std::u16string description;
    TargetState state = TargetState::Complete;
    std::u16string reason;                     // why it is not complete, in words for the user
    std::vector<std::u16string> recoveredFrom;  // the logs a dirty hive was recovered from, in order
    bool needsElevation = false;               // Windows without an elevated prompt
};

// The window's report sections, in its order.
enum class Section { Problems, NeedsApplication, Valid };

struct ExtensionReport {
    std::u16string name;
    std::vector<Section> sections;  // where the window lists it; empty: not listed
    std::u16string group;
    // Where its examination ended; none when the scan never met a key of
    // this name (a one-extension scan of an extension that is not there).
    std::optional<scan::ExtensionFinding> finding;
    std::optional<std::u16string> progId;
    std::optional<std::u16string> command;
    std::optional<std::u16string> programPath;
    std::optional<bool> programExists;
};

struct BackupFile {
    // "reg": the export of every removed key; "hive-copy": a hive or log as
    // it was; "desktop": Wine's desktop entries removed with the keys.
    std::string kind;
    std::filesystem::path path;
};

struct RepairReport {
    std::vector<std::u16string> removed;     // extensions whose key is gone, in repair order
    std::vector<std::u16string> notRemoved;  // those whose key is still there
    bool refused = false;                    // the whole repair was refused: nothing was removed
    std::u16string message;                  // the window's words when a key is still there; else empty
    std::vector<BackupFile> backups;
    int remaining = 0;                       // extensions that still need an application
    // Wine's desktop entries of the removed keys, removed with them (Linux,
    // a Wine prefix), and what was left of them or failed, in words.
    std::vector<std::filesystem::path> desktopRemoved;
    std::vector<std::string> desktopLeft;
};

struct Counts {
    std::size_t examined = 0;  // extension keys examined (the window's scan count)
    int problems = 0;          // the window's "N Problem(s) Detected"
    int registryProblems = 0;
    int needsApplication = 0;
    int valid = 0;
};

struct ScanReport {
    ReportKind kind = ReportKind::Associations;
    TargetReport target;
    std::optional<std::u16string> filter;
    std::filesystem::path library;
    std::size_t libraryEntries = 0;
    Counts counts;
    std::vector<ExtensionReport> extensions;
    // The window's classes (type group -> extensions), for the text report.
    report::GroupDictionary problems;
    report::GroupDictionary needsApplication;
    report::GroupDictionary valid;
    std::optional<RepairReport> repair;
    int exitStatus = 0;
};

// The exit status a script acts on: 3 when the target was not checked
// completely, else 1 when problems were found (after a repair: when any
// remain), else 0.
int ExitStatusOf(const ScanReport& report);

}  // namespace quelvo::scancli
