// The report for people: the window's sections, type groups and words.

#include "ReportWriters.h"

#include "platform/Text.h"

#include <functional>
#include <ostream>
#include <unordered_set>

namespace quelvo::scancli {

namespace {

using report::GroupDictionary;

void AppendUtf8(std::string& out, char32_t cp)
{
    const std::u16string unit = cp < 0x10000 ? std::u16string(1, char16_t(cp))
                                             : std::u16string{char16_t(0xD800 + ((cp - 0x10000) >> 10)),
                                                              char16_t(0xDC00 + ((cp - 0x10000) & 0x3FF))};
    out += platform::ToUtf8(unit);
}

void AppendEscape(std::string& out, const char* prefix, unsigned value, int digits)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    out += prefix;
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
        out += kDigits[(value >> shift) & 0xF];
}

// The status column starts here, as the window's items place their link.
constexpr std::size_t kStatusColumn = 28;

std::string Padded(std::string text, std::size_t width)
{
    if (text.size() < width)
        text.append(width - text.size(), ' ');
    else
        text += "  ";
    return text;
}

void WriteSection(std::string& out, const char* header, const GroupDictionary& cls, const char* status,
             const std::function<std::string(const std::u16string&)>& detail = {})
{
    if (cls.Empty())
        return;
    out += header;
    out += '\n';
    for (const auto& [group, extensions] : cls) {
        out += "  " + TerminalText(group) + "\n";
        for (const auto& extension : extensions) {
            std::string line = Padded("    " + TerminalText(extension), kStatusColumn) + status;
            if (detail) {
                const std::string more = detail(extension);
                if (!more.empty())
                    line = Padded(line, kStatusColumn + 28) + more;
            }
            out += line + "\n";
        }
    }
}

// Each class's extensions with their groups, as the repair left them.
GroupDictionary Only(const GroupDictionary& cls, const std::vector<std::u16string>& kept)
{
    const std::unordered_set<std::u16string> wanted(kept.begin(), kept.end());
    GroupDictionary out;
    for (const auto& [group, extensions] : cls)
        for (const auto& extension : extensions)
            if (wanted.count(extension)) {
                if (auto* list = out.Find(group))
                    list->push_back(extension);
                else
                    out.Add(group, {extension});
            }
    return out;
}

}  // namespace

std::string TerminalText(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            AppendUtf8(out, 0x10000 + ((char32_t(c) - 0xD800) << 10) + (char32_t(text[i + 1]) - 0xDC00));
            ++i;
        } else if (c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F)) {
            AppendEscape(out, "\\x", c, 2);
        } else if ((c >= 0xD800 && c <= 0xDFFF) || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069)
                   || c == 0x200E || c == 0x200F || c == 0x061C) {
            AppendEscape(out, "\\u", c, 4);
        } else if (c < 0x80) {
            out += char(c);
        } else {
            AppendUtf8(out, c);
        }
    }
    return out;
}

std::string TextReport(const ScanReport& report)
{
    std::string out = "Target: " + TerminalText(report.target.description) + "\n";
    if (report.filter)
        out += "Extension: " + TerminalText(*report.filter) + "\n";
    const int problems = report.counts.problems;
    switch (report.target.state) {
    case TargetState::Complete:
        out += std::to_string(problems) + " Problem(s) Detected\n";
        break;
    case TargetState::Damaged:
        out += "Registry Damaged: part of the registry could not be read, so this report is incomplete ("
            + std::to_string(problems) + " problem(s) in the rest).\n";
        break;
    case TargetState::Stale:
        out += std::to_string(problems) + " Problem(s) Detected, but this report may be out of date: the newest "
               "changes of the registry could not be recovered.\n";
        break;
    case TargetState::Missing:
    case TargetState::Unreadable:
        out += "Not checked.\n";
        break;
    }
    if (report.target.state != TargetState::Complete)
        out += TerminalText(report.target.reason) + "\n";
    out += '\n';

    const auto programOf = [&](const std::u16string& extension) -> std::string {
        for (const ExtensionReport& entry : report.extensions)
            if (entry.name == extension && entry.programPath)
                return TerminalText(*entry.programPath) + (entry.programExists.value_or(false) ? "" : " (missing)");
        return {};
    };
    if (!report.repair) {
        WriteSection(out, "Extensions with Problems", report.problems, "Fix Registry Problem");
        WriteSection(out, "Common Extensions Requiring an Application", report.needsApplication,
                "New Application Required", programOf);
        WriteSection(out, "Valid Extensions", report.valid, "No Problems", programOf);
        if (report.counts.registryProblems > 0 && report.target.state == TargetState::Complete)
            out += "\nRun quelvo-scan --fix to remove the broken extension keys (each is backed up first).\n";
        return out;
    }
    const RepairReport& repair = *report.repair;
    WriteSection(out, "Extensions Need New Application", report.needsApplication, "Application Required", programOf);
    WriteSection(out, "Extensions Fix Success", Only(report.problems, repair.removed), "Fix success");
    WriteSection(out, "Extensions Fix Failed", Only(report.problems, repair.notRemoved), "Fix failed");
    out += "\nTo fix the remaining " + std::to_string(repair.remaining)
        + " items(s) you will need to download the appropriate application(s).\n";
    if (!repair.message.empty())
        out += TerminalText(repair.message) + "\n";
    for (const auto& file : repair.desktopRemoved)
        out += "Removed Wine's desktop entry of a removed key: " + TerminalText(PathText(file)) + "\n";
    for (const auto& line : repair.desktopLeft)
        out += "Wine's desktop entries: " + TerminalText(platform::FromUtf8(line)) + "\n";
    for (const BackupFile& backup : repair.backups)
        out += "Backup: " + TerminalText(PathText(backup.path)) + "\n";
    return out;
}

void WriteReport(const ScanReport& report, Format format, std::ostream& out)
{
    switch (format) {
    case Format::Text:
        out << TextReport(report);
        break;
    case Format::Json:
        out << JsonDocument(report) << '\n';
        break;
    case Format::JsonLines:
        for (const std::string& line : JsonLines(report))
            out << line << '\n';
        break;
    }
    out.flush();
}

}  // namespace quelvo::scancli
