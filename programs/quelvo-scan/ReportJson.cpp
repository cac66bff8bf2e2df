// The JSON report (schema quelvo-scan/1), through nlohmann::json.

#include "ReportWriters.h"

#include "JsonText.h"

#include "platform/Text.h"

#include <nlohmann/json.hpp>

namespace quelvo::scancli {

namespace {

using scan::ExtensionFinding;

const char* StateName(TargetState state)
{
    switch (state) {
    case TargetState::Complete: return "complete";
    case TargetState::Stale: return "stale";
    case TargetState::Damaged: return "damaged";
    case TargetState::Missing: return "missing";
    case TargetState::Unreadable: return "unreadable";
    }
    return "unreadable";
}

const char* SectionName(Section section)
{
    switch (section) {
    case Section::Problems: return "problems";
    case Section::NeedsApplication: return "needs-application";
    case Section::Valid: return "valid";
    }
    return "problems";
}

const char* ClassName(const ExtensionReport& entry)
{
    if (entry.sections.empty())
        return "not-listed";
    switch (entry.sections.front()) {
    case Section::Problems: return "registry-problem";
    case Section::NeedsApplication: return "needs-application";
    case Section::Valid: return "valid";
    }
    return "not-listed";
}

const char* FindingName(const std::optional<ExtensionFinding>& finding)
{
    if (!finding)
        return "not-registered";
    switch (*finding) {
    case ExtensionFinding::NoDefaultValue: return "no-default-value";
    case ExtensionFinding::EmptyDefaultWithSubKeys: return "empty-default-value-with-sub-keys";
    case ExtensionFinding::EmptyDefault: return "empty-default-value";
    case ExtensionFinding::MissingFileTypeWithSubKeys: return "missing-file-type-with-sub-keys";
    case ExtensionFinding::MissingFileType: return "missing-file-type";
    case ExtensionFinding::NoOpenCommand: return "no-open-command";
    case ExtensionFinding::EmptyOpenCommand: return "empty-open-command";
    case ExtensionFinding::NoProgramPath: return "no-program-path";
    case ExtensionFinding::ProgramPath: return "program-path";
    }
    return "not-registered";
}

const char* ReportName(ReportKind kind)
{
    switch (kind) {
    case ReportKind::Associations: return "associations";
    case ReportKind::Desktop: return "desktop";
    }
    return "associations";
}

Json TargetJson(const TargetReport& target)
{
    Json out = Json::object();
    out["kind"] = target.kind ? Json(*target.kind) : Json(nullptr);
    if (target.path)
        PutPath(out, "path", *target.path);
    else
        out["path"] = nullptr;
    PutText(out, "description", target.description);
    out["state"] = StateName(target.state);
    if (target.state == TargetState::Complete)
        out["reason"] = nullptr;
    else
        PutText(out, "reason", target.reason);
    out["recoveredFrom"] = Json::array();
    for (const auto& log : target.recoveredFrom) {
        Json entry = Json::object();
        PutText(entry, "log", log);
        out["recoveredFrom"].push_back(std::move(entry));
    }
    out["needsElevation"] = target.needsElevation;
    return out;
}

Json ExtensionJson(const ExtensionReport& entry)
{
    Json out = Json::object();
    PutText(out, "name", entry.name);
    out["class"] = ClassName(entry);
    out["sections"] = Json::array();
    for (Section section : entry.sections)
        out["sections"].push_back(SectionName(section));
    PutText(out, "group", entry.group);
    out["finding"] = FindingName(entry.finding);
    PutOptionalText(out, "progId", entry.progId);
    PutOptionalText(out, "command", entry.command);
    PutOptionalText(out, "programPath", entry.programPath);
    out["programExists"] = entry.programExists ? Json(*entry.programExists) : Json(nullptr);
    return out;
}

Json KeyList(const std::vector<std::u16string>& extensions)
{
    Json list = Json::array();
    for (const auto& extension : extensions) {
        Json entry = Json::object();
        PutText(entry, "extension", extension);
        PutText(entry, "key", u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\" + extension);
        list.push_back(std::move(entry));
    }
    return list;
}

Json RepairJson(const RepairReport& repair)
{
    Json out = Json::object();
    out["removed"] = KeyList(repair.removed);
    out["notRemoved"] = KeyList(repair.notRemoved);
    out["refused"] = repair.refused;
    if (repair.message.empty())
        out["message"] = nullptr;
    else
        PutText(out, "message", repair.message);
    out["backups"] = Json::array();
    for (const BackupFile& backup : repair.backups) {
        Json entry = Json::object();
        entry["kind"] = backup.kind;
        PutPath(entry, "path", backup.path);
        out["backups"].push_back(std::move(entry));
    }
    out["remaining"] = repair.remaining;
    Json desktop = Json::object();
    desktop["removed"] = Json::array();
    for (const auto& file : repair.desktopRemoved) {
        Json entry = Json::object();
        PutPath(entry, "path", file);
        desktop["removed"].push_back(std::move(entry));
    }
    desktop["left"] = Json::array();
    for (const auto& line : repair.desktopLeft) {
        Json entry = Json::object();
        PutBytesText(entry, "text", line);
        desktop["left"].push_back(std::move(entry));
    }
    out["desktop"] = std::move(desktop);
    return out;
}

// Everything but the extensions, in the order a reader meets it.
Json Head(const ScanReport& report, const char* record)
{
    Json out = Json::object();
    out["schema"] = kSchema;
    if (record)
        out["record"] = record;
    out["report"] = ReportName(report.kind);
    out["program"] = {{"name", "quelvo-scan"}, {"version", QUELVO_VERSION}};
    out["target"] = TargetJson(report.target);
    PutOptionalText(out, "filter", report.filter);
    Json library = Json::object();
    PutPath(library, "path", report.library);
    library["entries"] = report.libraryEntries;
    out["library"] = std::move(library);
    out["counts"] = {{"examined", report.counts.examined},
                     {"problems", report.counts.problems},
                     {"registryProblems", report.counts.registryProblems},
                     {"needsApplication", report.counts.needsApplication},
                     {"valid", report.counts.valid}};
    out["repair"] = report.repair ? RepairJson(*report.repair) : Json(nullptr);
    out["exitStatus"] = report.exitStatus;
    return out;
}

std::string Dump(const Json& json) { return json.dump(-1, ' ', true); }

}  // namespace

std::string Utf16Hex(std::u16string_view text)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size() * 4);
    for (const char16_t unit : text)
        for (int shift = 12; shift >= 0; shift -= 4)
            out += kDigits[(unit >> shift) & 0xF];
    return out;
}

std::string JsonDocument(const ScanReport& report)
{
    Json document = Head(report, nullptr);
    Json extensions = Json::array();
    for (const ExtensionReport& entry : report.extensions)
        extensions.push_back(ExtensionJson(entry));
    // Before the repair and the exit status, as in the schema's listing.
    Json out = Json::object();
    for (auto& [key, value] : document.items()) {
        if (key == "repair")
            out["extensions"] = std::move(extensions);
        out[key] = std::move(value);
    }
    return Dump(out);
}

std::vector<std::string> JsonLines(const ScanReport& report)
{
    std::vector<std::string> lines;
    lines.reserve(report.extensions.size() + 1);
    lines.push_back(Dump(Head(report, "report")));
    for (const ExtensionReport& entry : report.extensions) {
        Json line = Json::object();
        line["schema"] = kSchema;
        line["record"] = "extension";
        Json fields = ExtensionJson(entry);
        for (auto& [key, value] : fields.items())
            line[key] = std::move(value);
        lines.push_back(Dump(line));
    }
    return lines;
}

}  // namespace quelvo::scancli
