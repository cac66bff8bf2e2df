#include "report/Unit_QLV_ReportRows.h"

#include "platform/Text.h"
#include "report/Unit_QLV_ReportMarkup.h"

namespace quelvo::report::rows {

namespace {

std::u16string Concat(std::initializer_list<std::u16string_view> parts)
{
    std::size_t size = 0;
    for (auto p : parts)
        size += p.size();
    std::u16string out;
    out.reserve(size);
    for (auto p : parts)
        out.append(p);
    return out;
}

// An entry row: status picture, the shown extension, a tab, the status link.
std::u16string EntryRow(std::u16string_view picture, std::u16string_view extension,
                        std::u16string_view linkText)
{
    return Concat({u"<BODY bgcolor=\"#e4eef9\"><ind=\"25\"><IMG src=\"", picture,
                   u"\" align=\"middle\"><font size=\"10\" face=\"Arial\">", EscapeMarkupText(extension),
                   u"</font><ind=\"400\"><A href=\"", EncodeLinkTarget(extension), u"\">", linkText,
                   u"</A><HR COLOR=\"clWhite\">"});
}

}  // namespace

std::u16string GroupRow(std::u16string_view groupName)
{
    std::u16string_view picture = platform::EqualsIgnoreCaseAscii(groupName, u"Unknown")
                                      ? u"ListBoxItem_FileTypeU.bmp"
                                      : u"ListBoxItem_FileTypeG.bmp";
    return Concat({u"<BODY bgcolor=\"#d6e7f9\"><ind=\"15\"><IMG src=\"", picture,
                   u"\" align=\"middle\"> <font size=\"10\" face=\"Arial\">", EscapeMarkupText(groupName),
                   u"</font><HR COLOR=\"clWhite\">"});
}

std::u16string ProblemItem(std::u16string_view extension)
{
    return EntryRow(u"idxs.4", extension, u"Fix Registry Problem");
}

std::u16string NeedsApplicationItem(std::u16string_view extension)
{
    return EntryRow(u"idxs.0", extension, u"New Application Required");
}

std::u16string ValidItem(std::u16string_view extension)
{
    return EntryRow(u"idxs.3", extension, u"No Problems");
}

std::u16string CheckItem(std::u16string_view extension)
{
    std::u16string target = EncodeLinkTarget(extension);
    return Concat({u"<BODY bgcolor=\"#e4eef9\"><ind=\"25\"><IMG src=\"idxs.0\" align=\"middle\"><A href=\"check ",
                   target, u"\"><IMG src=\"idxs.1\" align=\"middle\"></A><font size=\"10\" face=\"Arial\">",
                   EscapeMarkupText(extension), u"</font><ind=\"400\"><A href=\"", target,
                   u"\">Application Required</A><HR COLOR=\"clWhite\">"});
}

std::u16string RepairedItem(std::u16string_view extension)
{
    return EntryRow(u"idxs.3", extension, u"Fix success");
}

std::u16string RepairFailedItem(std::u16string_view extension)
{
    return EntryRow(u"idxs.4", extension, u"Fix failed");
}

std::u16string CountLine(int problemCount)
{
    return Concat({u"<FONT color=\"#FFFF00\"><B><FONT size=\"16\" face=\"Arial\">", platform::IntToText(problemCount),
                   u" Problem(s) Detected</FONT></B></FONT><BR><FONT size=\"2\" face=\"Arial\">It is highly "
                   u"recommended to fix these detected problems below.Click the Fix Now buton to continue.</FONT>"});
}

std::u16string DamagedCountLine(int problemCount)
{
    return Concat({u"<FONT color=\"#FFFF00\"><B><FONT size=\"16\" face=\"Arial\">Registry Damaged</FONT></B></FONT>"
                   u"<BR><FONT size=\"2\" face=\"Arial\">Part of the registry could not be read, so this report is "
                   u"incomplete (",
                   platform::IntToText(problemCount),
                   u" problem(s) in the rest). Quelvo will not change a damaged registry.</FONT>"});
}

std::u16string StaleCountLine(int problemCount)
{
    return Concat({u"<FONT color=\"#FFFF00\"><B><FONT size=\"16\" face=\"Arial\">", platform::IntToText(problemCount),
                   u" Problem(s) Detected</FONT></B></FONT><BR><FONT size=\"2\" face=\"Arial\">This report may be "
                   u"out of date: the newest changes of the registry could not be recovered. Quelvo will not change "
                   u"it.</FONT>"});
}

std::u16string RemainingLine(int remainingCount)
{
    return Concat({u"<FONT size=\"2\" face=\"Arial\">To fix the remaining ", platform::IntToText(remainingCount),
                   u" items(s) you will need to download the appropriate application(s). Select one or more "
                   u"check boxes and click the Download button.</FONT>"});
}

}  // namespace quelvo::report::rows
