#pragma once

// The texts of the report list rows and of the count label, in the list box's
// markup. Names passed in are raw: they are escaped (shown text) and encoded
// (link targets) here, see Unit_QLV_ReportMarkup.h.

#include <string>
#include <string_view>

namespace quelvo::report::rows {

// Report after a scan.
inline constexpr std::u16string_view kProblemsHeader =
    u"<IMG src=\"ListBoxItem_WP.bmp\" align=\"middle\"> <font size=\"10\" face=\"Arial\"><B>Extensions with Problems</B></font>";
inline constexpr std::u16string_view kNeedsApplicationHeader =
    u"<IMG src=\"ListBoxItem_RAA.bmp\" align=\"middle\"> <font size=\"10\" face=\"Arial\"><B>Common Extensions Requiring an Application</B></font>";
inline constexpr std::u16string_view kValidHeader =
    u"<IMG src=\"ListBoxItem_VE.bmp\" align=\"middle\"> <font size=\"10\" face=\"Arial\"><B>Valid Extensions</B></font>";
std::u16string GroupRow(std::u16string_view groupName);  // folder, or question mark for "Unknown" in any case
std::u16string ProblemItem(std::u16string_view extension);
std::u16string NeedsApplicationItem(std::u16string_view extension);
std::u16string ValidItem(std::u16string_view extension);
std::u16string CountLine(int problemCount);
// The count label when the registry could not be read as it is: some of it
// was damaged (the report is incomplete), or it is an older state than
// Windows would load (the report may be out of date). Neither is written.
std::u16string DamagedCountLine(int problemCount);
std::u16string StaleCountLine(int problemCount);

// View after the repair.
inline constexpr std::u16string_view kAfterRepairNeedsApplicationHeader =
    u"<IMG src=\"ListBoxItem_RAA.bmp\" align=\"middle\"> <font size=\"10\" face=\"Arial\"><B>Extensions Need New Application</B></font>";
inline constexpr std::u16string_view kRepairedHeader =
    u"<IMG src=\"ListBoxItem_VE.bmp\" align=\"middle\"> <font size=\"10\" face=\"Arial\"><B>Extensions Fix Success</B></font>";
inline constexpr std::u16string_view kRepairFailedHeader =
    u"<IMG src=\"ListBoxItem_WP.bmp\" align=\"middle\"> <font size=\"10\" face=\"Arial\"><B>Extensions Fix Failed</B></font>";
std::u16string CheckItem(std::u16string_view extension);  // unticked box linked to "check " + extension
std::u16string RepairedItem(std::u16string_view extension);
std::u16string RepairFailedItem(std::u16string_view extension);
std::u16string RemainingLine(int remainingCount);

}  // namespace quelvo::report::rows
