#pragma once

// Hives, transaction logs and offline installations for tests: empty hives
// made from nothing, the real sets of ../shared/data/hives unpacked, and
// dirty hives made here, whose logs are written in Windows' own new format
// (HvLE entries with both Marvin32 hashes), so that recovery meets them as
// it meets a real disk.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quelvo::test {

// A valid, empty registry hive: the base block and one hbin holding the root
// key (named "ROOT") and its security cell. hivex cannot make one.
void WriteEmptyHive(const std::filesystem::path& file);

// The folder of a real set ("yarp-NewDirtyHive1") unpacked into `into`
// (every FILE.xz as FILE); false when the data is not beside the project.
bool UnpackRealSet(const std::string& set, const std::filesystem::path& into);
// Why a test that needs a real set is skipped.
std::string RealSetsMissing();

// A page of a hive's bins: offset from the first bin, and its bytes.
using HivePage = std::pair<std::uint32_t, std::string>;

struct LogEntrySpec {
    std::uint32_t sequence = 0;
    std::uint32_t binsSize = 0;
    std::vector<HivePage> pages;
};

// A log file in the new format: the hive's header (first 512 bytes) as file
// type 6 with both sequence numbers `sequence`, then the entries.
std::string NewFormatLog(std::string_view hive, std::uint32_t sequence, const std::vector<LogEntrySpec>& entries);

// The 4096-byte pages of `to`'s bins that are not the same in `from`.
std::vector<HivePage> ChangedPages(std::string_view from, std::string_view to);

// The hive's bytes with these sequence numbers and a right checksum.
std::string WithSequenceNumbers(std::string hive, std::uint32_t primary, std::uint32_t secondary);
std::uint32_t SecondarySequence(std::string_view hive);
std::uint32_t BinsSize(std::string_view hive);

// A hive in the middle of Windows' lazy write: the file holds `before` with
// sequence numbers N+1/N, .LOG1 holds the entries N and N+1 with the pages
// of `before`'s bins that changed, .LOG2 the entry N+2 with the bins `after`
// added (both hives made by hivex, `after` from `before`).
struct DirtyHive {
    std::string file;
    std::string log1;
    std::string log2;
};
DirtyHive MakeDirtyHive(const std::string& before, const std::string& after);

// A SOFTWARE hive with Classes under its root, changed by hivex as Windows
// changes one: in place, new cells after the old ones.
struct ClassesChange {
    // Extension keys set (made when missing) with the file type their
    // default value names.
    std::vector<std::pair<std::string, std::string>> extensions;
    std::vector<std::string> removed;  // extension keys removed
    // File types made, each with a Shell\Open\Command running C:\Apps\<type>.exe.
    std::vector<std::string> types;
};
// `hive` empty: a new hive.
std::string ChangeClassesHive(const std::string& hive, const ClassesChange& change);

// Writes an installation folder: Windows/System32/config/SOFTWARE (+ logs
// when not empty) and drive C:'s C:\Apps\<name> for the given programs.
std::filesystem::path WriteInstallation(const std::filesystem::path& root, const std::string& software,
                                        const std::string& log1 = {}, const std::string& log2 = {});
std::filesystem::path HivePath(const std::filesystem::path& root);

}  // namespace quelvo::test
