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

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quelvo::report {

using GroupDictionary = platform::TextListDictionary;

inline constexpr std::u16string_view kUnknownGroup = u"Unknown";

// The library's group of the extension, or "Unknown".
std::u16string_view GroupOf(std::u16string_view extension, const platform::TextDictionary& lib);

// True when a Windows path names an existing file (not a directory).
using FileExistsFn = std::function<bool(std::u16string_view path)>;

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

}  // namespace quelvo::report
