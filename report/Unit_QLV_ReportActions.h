#pragma once

// What a click on a report row's link does, and the lookup address built from
// the ticked check boxes. Pure functions: the window shows the message, stores
// the row text and changes its check list.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quelvo::report {

// Caption of every message box of the report.
inline constexpr std::u16string_view kMessageCaption = u"Quelvo";

namespace messages {
inline constexpr std::u16string_view kValid = u"This file extension appears to be working correctly.";
inline constexpr std::u16string_view kProblem =
    u"This file extension may not open correctly. An application currently associated with it is either missing or "
    u"corrupt.";
inline constexpr std::u16string_view kNeedsApplication =
    u"The file extension is missing the appropritate application required to open it.Select \"Fix Now\" to fix "
    u"these problems";
inline constexpr std::u16string_view kRepaired = u"Fix Success";
inline constexpr std::u16string_view kRepairFailed =
    u"The registry key of this file extension could not be removed, so its problem is not fixed.";
// After a repair refused as a whole (nothing was removed), once.
inline constexpr std::u16string_view kRepairRefused =
    u"No registry key was removed, so none of these problems is fixed.";
inline constexpr std::u16string_view kDownloadHint =
    u"To fix this error you need to download an application.To get a recommended application for this "
    u"extension,click the check box associated with the item and click the Download button.";
}  // namespace messages

enum class CheckListChange {
    None,
    Append,       // the box was ticked: append entry
    RemoveFirst,  // the box was unticked: remove the first entry equal to entry
};

struct AnchorClickOutcome {
    std::optional<std::u16string> message;  // show it (caption kMessageCaption, information icon, OK)
    std::optional<std::u16string> rowText;  // store it as the clicked row's text
    CheckListChange checkListChange = CheckListChange::None;
    std::u16string entry;                   // "check " + extension, decoded
};

// The link handler of the report list. mode is the wizard mode (1 report,
// 2 after the repair); rowText the clicked row's text; anchor the link target
// exactly as the list box reports it (it is decoded here). Mode 1 explains the
// row; mode 2 toggles a check box ("check " links; "idxs.1" <-> "idxs.2",
// ignoring case) or explains the row. The row's markers are looked for only in
// its own markup, never inside the extension or group names it shows.
AnchorClickOutcome DecideAnchorClick(int mode, std::u16string_view rowText, std::u16string_view anchor);

// Applies the outcome's change to the check list (mpr_list_CheckFileType).
void ApplyCheckListChange(const AnchorClickOutcome& outcome, std::vector<std::u16string>& checkList);

// The query string for the ticked entries ("check .mp3", "check .AVI" ->
// "ext[]=mp3&ext[]=AVI"): each extension without its dot, letter case kept,
// percent-encoded (UTF-8; all but ASCII letters, digits and "-._~").
std::u16string BuildLookupQuery(const std::vector<std::u16string>& checkList);

// "http://" + host + "/ext/file_ext.php?" + query.
std::u16string LookupAddress(std::u16string_view host, std::u16string_view query);

std::u16string PercentEncode(std::u16string_view text);

}  // namespace quelvo::report
