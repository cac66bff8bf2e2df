#pragma once

// The report after a scan and the view after the repair, as list rows.
//
// Classification (per extension E; "exists" is the file test on E's program
// path, false for a directory):
//
// | filter     | E scanned with a path | path exists | E broken | classes               |
// |------------|-----------------------|-------------|----------|-----------------------|
// | empty      | yes                   | yes         | no       | valid                 |
// | empty      | yes                   | no          | no       | needs application     |
// | empty      | no                    | -           | yes      | problems              |
// | equal to E | yes                   | yes         | no       | valid                 |
// | equal to E | yes                   | no          | no       | needs application     |
// | equal to E | no                    | -           | no       | needs application     |
// | equal to E | no                    | -           | yes      | needs app. + problems |
// | other      | any                   | any         | any      | not listed            |
//
// Each class maps a type group (the library's group of E, "Unknown" when the
// library lacks E) to E's in scan order. Nothing is sorted.

#include "platform/Dictionary.h"
#include "platform/RegistryStore.h"

#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quelvo::report {

using GroupDictionary = platform::TextListDictionary;

inline constexpr std::u16string_view kUnknownGroup = u"Unknown";

// The library's group of the extension, or "Unknown".
std::u16string_view GroupOf(std::u16string_view extension, const platform::TextDictionary& lib);

// The scan filter from the text typed on the start page (or given on the
// command line): trimmed of characters of code 32 or lower, a "." put in
// front when it lacks one, case kept. Blank text gives no filter.
std::u16string NormaliseSearchExt(std::u16string_view typed);

// True when a Windows path names an existing file (not a directory).
using FileExistsFn = std::function<bool(std::u16string_view path)>;

// The file test of the active target, each path asked once (many
// extensions share one program), with what it answered kept.
class TargetFileTest {
public:
    bool operator()(std::u16string_view path);
    // What the test answered for path, or null when it was not asked.
    const bool* Answer(std::u16string_view path) const;
    // This test as a FileExistsFn; the test must outlive it.
    FileExistsFn AsFunction();

private:
    std::unordered_map<std::u16string, bool> m_answers;
};

// Fills the three classes (the window's mpr_dic_Error_FileType,
// mpr_dic_invalid_FileType and mpr_dic_valid_FileType) from the two scan
// dictionaries (extension -> program path, and broken extension -> empty
// text) by the table above. searchExt is the scan's filter: empty for all
// extensions, else one dot-prefixed extension compared case-sensitively. The
// classes are added to, not cleared.
void ClassifyScanResults(const platform::TextDictionary& scanned, const platform::TextDictionary& errorScanned,
                         const platform::TextDictionary& lib, std::u16string_view searchExt,
                         const FileExistsFn& fileExists, GroupDictionary& problems,
                         GroupDictionary& needsApplication, GroupDictionary& valid);

// The report: sections problems, needs application, valid (each only when not
// empty), a group row before each group's items. problemCount counts problem
// and needs-application items; countLine is the count label's line.
struct ReportView {
    std::vector<std::u16string> rows;
    int problemCount = 0;
    std::u16string countLine;
};
ReportView BuildReport(const GroupDictionary& problems, const GroupDictionary& needsApplication,
                       const GroupDictionary& valid);

// The count label's line for a report over a registry read as `read` says:
// a damaged one is never shown as clean, an out-of-date one says so.
std::u16string CountLineFor(const ReportView& view, platform::ReadCondition::Kind read);

// The extensions whose keys the repair removes, in repair order.
std::vector<std::u16string> ExtensionsToRepair(const GroupDictionary& problems);

// Removes HKLM\SOFTWARE\Classes\<extension> with its sub-tree; true only when
// the key is gone afterwards.
using RemoveKeyFn = std::function<bool(std::u16string_view extension)>;

struct RepairOutcome {
    std::u16string extension;
    bool removed = false;
};

// The view after the repair: the extensions that need an application, each
// with an unticked check box, then the repaired ones ("Fix success"), then the
// ones whose key could not be removed ("Fix failed", problem picture), each
// section only when it has an item. Only needs-application items count as
// remaining. removeKey is called once for each extension of
// ExtensionsToRepair, in that order; repairs holds the outcomes in that order.
struct AfterRepairView {
    std::vector<std::u16string> rows;
    int remainingCount = 0;
    std::u16string remainingLine;
    std::vector<RepairOutcome> repairs;
};
AfterRepairView RepairAndBuildAfterRepairView(const GroupDictionary& needsApplication, const GroupDictionary& problems,
                                              const RemoveKeyFn& removeKey);
// The same view after a repair already made: fixed[i] tells whether the i-th
// extension of ExtensionsToRepair(problems) is repaired (missing: not).
AfterRepairView BuildAfterRepairView(const GroupDictionary& needsApplication, const GroupDictionary& problems,
                                     const std::vector<bool>& fixed);

}  // namespace quelvo::report
