#include "report/Unit_QLV_ReportActions.h"

#include "platform/Text.h"
#include "report/Unit_QLV_ReportMarkup.h"

#include <algorithm>

namespace quelvo::report {

namespace {

constexpr std::u16string_view kCheckPrefix = u"check ";

// A row split into its own markup and the names inserted into it: the text of
// <font size="10" face="Arial"> up to </font>, and every href value.
struct RowPart {
    std::u16string_view text;
    bool inserted;
};

std::vector<RowPart> SplitRow(std::u16string_view row)
{
    static constexpr std::u16string_view kNameOpen = u"<font size=\"10\" face=\"Arial\">";
    static constexpr std::u16string_view kNameClose = u"</font>";
    static constexpr std::u16string_view kHrefOpen = u"href=\"";
    static constexpr std::u16string_view kHrefClose = u"\"";

    std::vector<RowPart> parts;
    std::size_t pos = 0;
    while (pos < row.size()) {
        std::size_t name = row.find(kNameOpen, pos);
        std::size_t href = row.find(kHrefOpen, pos);
        bool isName = name < href;
        std::size_t open = std::min(name, href);
        if (open == std::u16string_view::npos)
            break;
        std::size_t start = open + (isName ? kNameOpen.size() : kHrefOpen.size());
        std::size_t end = row.find(isName ? kNameClose : kHrefClose, start);
        if (end == std::u16string_view::npos)
            end = row.size();
        parts.push_back({row.substr(pos, start - pos), false});
        parts.push_back({row.substr(start, end - start), true});
        pos = end;
    }
    parts.push_back({row.substr(pos), false});
    return parts;
}

bool MarkupContains(const std::vector<RowPart>& parts, std::u16string_view marker)
{
    return std::any_of(parts.begin(), parts.end(), [&](const RowPart& p) {
        return !p.inserted && p.text.find(marker) != std::u16string_view::npos;
    });
}

std::u16string ReplaceInMarkup(const std::vector<RowPart>& parts, std::u16string_view from, std::u16string_view to)
{
    std::u16string out;
    for (const RowPart& p : parts) {
        if (p.inserted)
            out.append(p.text);
        else
            out.append(platform::ReplaceAllIgnoreCaseAscii(p.text, from, to));
    }
    return out;
}

}  // namespace

AnchorClickOutcome DecideAnchorClick(int mode, std::u16string_view rowText, std::u16string_view anchor)
{
    AnchorClickOutcome outcome;
    const std::vector<RowPart> parts = SplitRow(rowText);
    auto show = [&](std::u16string_view text) { outcome.message = std::u16string(text); };

    if (mode == 2) {
        std::u16string target = DecodeLinkTarget(anchor);
        // Status links carry the extension itself, which starts with its dot,
        // so only a check box link starts with "check ".
        if (target.starts_with(kCheckPrefix)) {
            if (MarkupContains(parts, u"idxs.1")) {
                outcome.rowText = ReplaceInMarkup(parts, u"idxs.1", u"idxs.2");
                outcome.checkListChange = CheckListChange::Append;
            } else {
                outcome.rowText = ReplaceInMarkup(parts, u"idxs.2", u"idxs.1");
                outcome.checkListChange = CheckListChange::RemoveFirst;
            }
            outcome.entry = std::move(target);
        } else if (!anchor.empty()) {
            if (MarkupContains(parts, u"Fix success"))
                show(messages::kRepaired);
            else if (MarkupContains(parts, u"Fix failed"))
                show(messages::kRepairFailed);
            else
                show(messages::kDownloadHint);
        }
    } else if (mode == 1) {
        if (MarkupContains(parts, u"No Problems"))
            show(messages::kValid);
        else if (MarkupContains(parts, u"Fix Registry Problem"))
            show(messages::kProblem);
        else if (!anchor.empty())
            show(messages::kNeedsApplication);
    }
    return outcome;
}

void ApplyCheckListChange(const AnchorClickOutcome& outcome, std::vector<std::u16string>& checkList)
{
    switch (outcome.checkListChange) {
    case CheckListChange::None:
        break;
    case CheckListChange::Append:
        checkList.push_back(outcome.entry);
        break;
    case CheckListChange::RemoveFirst:
        if (auto it = std::find(checkList.begin(), checkList.end(), outcome.entry); it != checkList.end())
            checkList.erase(it);
        break;
    }
}

std::u16string PercentEncode(std::u16string_view text)
{
    static constexpr char16_t kHex[] = u"0123456789ABCDEF";
    std::u16string out;
    for (char byte : platform::ToUtf8(text)) {
        auto b = static_cast<unsigned char>(byte);
        bool unreserved = (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || b == '-'
                          || b == '.' || b == '_' || b == '~';
        if (unreserved) {
            out.push_back(char16_t(b));
        } else {
            out.push_back(u'%');
            out.push_back(kHex[b >> 4]);
            out.push_back(kHex[b & 0xF]);
        }
    }
    return out;
}

std::u16string BuildLookupQuery(const std::vector<std::u16string>& checkList)
{
    std::u16string query;
    for (std::size_t i = 0; i < checkList.size(); ++i) {
        std::u16string_view entry = checkList[i];
        // Only the leading "check" is the link's marker; one inside the
        // extension (".checkpoint") belongs to it.
        if (platform::EqualsIgnoreCaseAscii(entry.substr(0, 5), u"check"))
            entry.remove_prefix(5);
        std::u16string_view value = platform::TrimBlanks(entry);
        if (!value.empty())
            value = platform::TrimBlanks(value.substr(1));  // the extension's dot
        query.append(u"ext[]=");
        query.append(PercentEncode(value));
        if (i + 1 < checkList.size())
            query.push_back(u'&');
    }
    return query;
}

std::u16string LookupAddress(std::u16string_view host, std::u16string_view query)
{
    std::u16string address = u"http://";
    address.append(host);
    address.append(u"/ext/file_ext.php?");
    address.append(query);
    return address;
}

}  // namespace quelvo::report
