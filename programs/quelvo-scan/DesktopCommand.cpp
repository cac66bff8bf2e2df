#include "DesktopCommand.h"

#include "JsonText.h"
#include "ReportWriters.h"

#include "desktop/DesktopFix.h"
#include "platform/NameCase.h"
#include "platform/Text.h"
#include "report/Unit_QLV_Report.h"
#include "scan/Unit_QLV_func_FilesDirs.h"

#include <algorithm>
#include <functional>
#include <ostream>

namespace quelvo::scancli {

namespace {

namespace fs = std::filesystem;
using namespace quelvo::desktop;

// What one run looked at and did.
struct DesktopRun {
    DesktopScan scan;
    std::optional<fs::path> prefix;          // --target
    std::optional<std::u16string> extension;  // --ext
    bool programsToo = false;
    std::optional<DesktopFixResult> fix;
    int exitStatus = 0;

    bool Chosen(const FoundEntry& found) const
    {
        if (prefix && !SamePrefix(found.prefix, *prefix))
            return false;
        return !extension
            || (found.entry.kind == WineEntry::Extension
                && platform::NamesEqual(platform::FromUtf8(found.entry.typeName), *extension));
    }
    std::vector<const FoundEntry*> Entries() const
    {
        std::vector<const FoundEntry*> chosen;
        for (const FoundEntry& found : scan.entries) {
            if (Chosen(found))
                chosen.push_back(&found);
        }
        return chosen;
    }
    bool Removed(const FoundEntry& found) const
    {
        return fix && std::find(fix->removed.begin(), fix->removed.end(), found.file) != fix->removed.end();
    }
};

std::string T(const std::string& bytes) { return TerminalText(platform::FromUtf8(bytes)); }

const char* StateKey(EntryState state)
{
    switch (state) {
    case EntryState::Live: return "live";
    case EntryState::PrefixGone: return "prefix-gone";
    case EntryState::AssociationGone: return "association-gone";
    case EntryState::ProgramGone: return "program-gone";
    case EntryState::Unchecked: return "not-checked";
    }
    return "not-checked";
}

const char* PrefixState(const PrefixClasses& classes)
{
    switch (classes.GetState()) {
    case PrefixClasses::State::Present: return "present";
    case PrefixClasses::State::Gone: return "gone";
    case PrefixClasses::State::Unreadable: return "unreadable";
    }
    return "unreadable";
}

int ExitStatus(const DesktopRun& run)
{
    const std::vector<const FoundEntry*> entries = run.Entries();
    const bool unread = !run.scan.problems.empty()
        || std::any_of(run.scan.skipped.begin(), run.scan.skipped.end(), [](const SkippedFile& f) { return f.unread; })
        || std::any_of(entries.begin(), entries.end(), [](const FoundEntry* f) { return f->state == EntryState::Unchecked; });
    if (unread)
        return 3;
    const bool stale = std::any_of(entries.begin(), entries.end(), [&](const FoundEntry* found) {
        return found->Stale(run.programsToo) && !run.Removed(*found);
    });
    return stale || (run.fix && !run.fix->Ok()) ? 1 : 0;
}

// Groups of consecutive entries of one prefix (the scan sorts by prefix).
void ForEachPrefix(const DesktopRun& run, const std::function<void(const fs::path&, const std::vector<const FoundEntry*>&)>& visit)
{
    std::vector<const FoundEntry*> group;
    for (const FoundEntry* found : run.Entries()) {
        if (!group.empty() && group.front()->prefix != found->prefix) {
            visit(group.front()->prefix, group);
            group.clear();
        }
        group.push_back(found);
    }
    if (!group.empty())
        visit(group.front()->prefix, group);
}

std::string TextOf(const DesktopRun& run)
{
    const DesktopFolders& folders = run.scan.folders;
    std::string out = "Wine's desktop entries of " + T(folders.userName) + " in " + T(folders.Applications().string()) + "\n";
    for (const std::string& problem : run.scan.problems)
        out += "Not checked completely: " + T(problem) + "\n";
    std::size_t stale = 0, programs = 0, changed = 0;
    ForEachPrefix(run, [&](const fs::path& prefix, const std::vector<const FoundEntry*>& entries) {
        const PrefixClasses& classes = *run.scan.prefixes.at(prefix);
        out += "\nPrefix " + T(prefix.string());
        if (classes.GetState() != PrefixClasses::State::Present)
            out += std::string(" (") + PrefixState(classes) + ": " + T(classes.Problem()) + ")";
        out += "\n";
        for (const FoundEntry* found : entries) {
            std::string line = "  " + T(found->entry.fileName);
            line.resize(std::max<std::size_t>(line.size() + 2, 34), ' ');
            std::string type = T(found->entry.typeName);
            type.resize(std::max<std::size_t>(type.size() + 2, 8), ' ');
            line += type + StateName(found->state);
            // A gone prefix says why once, above its entries.
            if (!found->reason.empty() && found->state != EntryState::PrefixGone)
                line += ": " + T(found->reason);
            if (found->ChangedByUser()) {
                line += "; changed by its user (" + T(found->changes.front()) + "): kept";
                ++changed;
            } else if (run.Removed(*found)) {
                line += ": removed";
            } else if (found->Stale(run.programsToo)) {
                ++stale;
            } else if (found->state == EntryState::ProgramGone) {
                ++programs;
                line += " (stale only with --desktop-programs)";
            }
            for (const fs::path& other : found->alsoRecordedBy)
                line += "; also recorded by " + T(other.string()) + ", whose entry it replaced";
            out += line + "\n";
        }
    });
    if (!run.scan.skipped.empty()) {
        out += "\nNot Wine's entries, never touched:\n";
        for (const SkippedFile& file : run.scan.skipped)
            out += "  " + T(file.name) + ": " + T(file.reason) + "\n";
    }
    out += "\n";
    if (run.fix) {
        const DesktopFixResult& fix = *run.fix;
        for (const fs::path& file : fix.removed)
            out += "Removed: " + T(file.string()) + "\n";
        for (const fs::path& list : fix.changedLists)
            out += "Took the removed entries out of: " + T(list.string()) + "\n";
        for (const std::string& record : fix.removedRecords)
            out += "Removed Wine's record: " + T(record) + "\n";
        for (const std::string& tool : fix.refreshed)
            out += "Refreshed: " + T(tool) + "\n";
        for (const std::string& note : fix.notes)
            out += "Left: " + T(note) + "\n";
        for (const std::string& failure : fix.failures)
            out += "Not removed: " + T(failure) + "\n";
        if (!fix.backup.empty())
            out += "Backup: " + T(fix.backup.string()) + " (quelvo-restore puts it back)\n";
        if (fix.removed.empty() && fix.failures.empty())
            out += "Nothing to remove.\n";
        return out;
    }
    out += std::to_string(stale) + " stale entr" + (stale == 1 ? "y" : "ies");
    if (programs)
        out += ", " + std::to_string(programs) + " more whose program is gone";
    if (changed)
        out += ", " + std::to_string(changed) + " changed by their user (kept)";
    out += ".\n";
    if (stale)
        out += "Run quelvo-scan --desktop --fix to remove the stale ones (each is backed up first).\n";
    else if (programs)
        out += "Run quelvo-scan --desktop --desktop-programs --fix to remove those whose program is gone.\n";
    return out;
}

Json Strings(const std::vector<std::string>& lines)
{
    Json list = Json::array();
    for (const std::string& line : lines) {
        Json item = Json::object();
        PutBytesText(item, "text", line);
        list.push_back(std::move(item));
    }
    return list;
}

Json Paths(const std::vector<fs::path>& paths)
{
    Json list = Json::array();
    for (const fs::path& path : paths) {
        Json item = Json::object();
        PutPath(item, "path", path);
        list.push_back(std::move(item));
    }
    return list;
}

Json EntryJson(const DesktopRun& run, const FoundEntry& found)
{
    const WineEntry& entry = found.entry;
    Json out = Json::object();
    PutPath(out, "file", found.file);
    PutPath(out, "prefix", found.prefix);
    out["kind"] = entry.kind == WineEntry::Extension ? "extension" : "protocol";
    PutBytesText(out, "type", entry.typeName);
    PutBytesText(out, "mimeType", entry.mimeType);
    if (entry.kind == WineEntry::Extension)
        PutBytesText(out, "progId", entry.progId);
    else
        out["progId"] = nullptr;
    PutBytesText(out, "name", entry.name);
    PutBytesText(out, "launcher", entry.launcher);
    out["state"] = StateKey(found.state);
    if (found.reason.empty())
        out["reason"] = nullptr;
    else
        PutBytesText(out, "reason", found.reason);
    PutOptionalText(out, "command", found.command.empty() ? std::nullopt : std::optional<std::u16string>(found.command));
    PutOptionalText(out, "program", found.program.empty() ? std::nullopt : std::optional<std::u16string>(found.program));
    out["changedByUser"] = found.ChangedByUser();
    out["changes"] = Strings(found.changes);
    out["recorded"] = found.record.has_value();
    out["alsoRecordedBy"] = Paths(found.alsoRecordedBy);
    out["stale"] = found.Stale(run.programsToo);
    out["removed"] = run.Removed(found);
    return out;
}

Json FixJson(const DesktopFixResult& fix)
{
    Json out = Json::object();
    out["removed"] = Paths(fix.removed);
    out["changedLists"] = Paths(fix.changedLists);
    out["removedRecords"] = Strings(fix.removedRecords);
    out["refreshed"] = Strings(fix.refreshed);
    out["notes"] = Strings(fix.notes);
    out["failures"] = Strings(fix.failures);
    if (fix.backup.empty())
        out["backup"] = nullptr;
    else
        PutPath(out, "backup", fix.backup);
    return out;
}

// Everything but the entries; with `withEntries` the entries under their prefixes.
Json Head(const DesktopRun& run, const char* record, bool withEntries)
{
    const DesktopFolders& folders = run.scan.folders;
    Json out = Json::object();
    out["schema"] = kSchema;
    if (record)
        out["record"] = record;
    out["report"] = "desktop";
    out["program"] = {{"name", "quelvo-scan"}, {"version", QUELVO_VERSION}};
    Json user = Json::object();
    PutBytesText(user, "name", folders.userName);
    user["uid"] = folders.uid;
    out["user"] = std::move(user);
    Json where = Json::object();
    PutPath(where, "applications", folders.Applications());
    out["folders"] = std::move(where);
    Json filter = Json::object();
    if (run.prefix)
        PutPath(filter, "prefix", *run.prefix);
    else
        filter["prefix"] = nullptr;
    PutOptionalText(filter, "extension", run.extension);
    filter["programsToo"] = run.programsToo;
    out["filter"] = std::move(filter);
    out["complete"] = run.exitStatus != 3;
    out["problems"] = Strings(run.scan.problems);

    std::size_t counts[5] = {};
    std::size_t stale = 0, changed = 0;
    Json prefixes = Json::array();
    ForEachPrefix(run, [&](const fs::path& prefix, const std::vector<const FoundEntry*>& entries) {
        const PrefixClasses& classes = *run.scan.prefixes.at(prefix);
        Json item = Json::object();
        PutPath(item, "path", prefix);
        item["state"] = PrefixState(classes);
        if (classes.GetState() == PrefixClasses::State::Present)
            item["reason"] = nullptr;
        else
            PutBytesText(item, "reason", classes.Problem());
        Json list = Json::array();
        for (const FoundEntry* found : entries) {
            ++counts[static_cast<int>(found->state)];
            stale += found->Stale(run.programsToo);
            changed += found->ChangedByUser();
            if (withEntries)
                list.push_back(EntryJson(run, *found));
        }
        if (withEntries)
            item["entries"] = std::move(list);
        prefixes.push_back(std::move(item));
    });
    out["prefixes"] = std::move(prefixes);
    Json skipped = Json::array();
    for (const SkippedFile& file : run.scan.skipped) {
        Json item = Json::object();
        PutBytesText(item, "name", file.name);
        PutBytesText(item, "reason", file.reason);
        item["read"] = !file.unread;
        skipped.push_back(std::move(item));
    }
    out["notWine"] = std::move(skipped);
    out["counts"] = {{"entries", run.Entries().size()},
                     {"live", counts[static_cast<int>(EntryState::Live)]},
                     {"prefixGone", counts[static_cast<int>(EntryState::PrefixGone)]},
                     {"associationGone", counts[static_cast<int>(EntryState::AssociationGone)]},
                     {"programGone", counts[static_cast<int>(EntryState::ProgramGone)]},
                     {"notChecked", counts[static_cast<int>(EntryState::Unchecked)]},
                     {"changedByUser", changed},
                     {"stale", stale},
                     {"notWine", run.scan.skipped.size()}};
    out["fix"] = run.fix ? FixJson(*run.fix) : Json(nullptr);
    out["exitStatus"] = run.exitStatus;
    return out;
}

std::string Dump(const Json& json) { return json.dump(-1, ' ', true); }

}  // namespace

int RunDesktopCommand(const ScanOptions& options, std::ostream& out, std::ostream& err)
{
    std::string error;
    const std::optional<DesktopFolders> folders = FindDesktopFolders(platform::ProcessEnvironment(), &error);
    if (!folders) {
        err << "quelvo-scan: " << T(error) << "\n";
        return 3;
    }
    DesktopRun run;
    run.programsToo = options.desktopPrograms;
    if (options.target) {
        std::error_code ec;
        run.prefix = NormalPrefixPath(fs::absolute(*options.target, ec));
    }
    if (options.ext) {
        const std::u16string ext = report::NormaliseSearchExt(*options.ext);
        if (!ext.empty())
            run.extension = ext;
    }
    // The program of a command, as the scan finds it in that prefix.
    run.scan = ScanDesktop(*folders, [](platform::Target& prefix, std::u16string_view command) {
        platform::ScopedActiveTarget active(prefix);
        return scan::func_GetExePathFromCommand(command);
    });
    if (options.fix) {
        DesktopFixOptions fix;
        fix.programsToo = run.programsToo;
        fix.select = [&run](const FoundEntry& found) { return run.Chosen(found); };
        if (options.backupDir)
            fix.backupFolder = *options.backupDir;
        run.fix = FixDesktop(run.scan, fix);
    }
    run.exitStatus = ExitStatus(run);

    switch (options.format) {
    case Format::Text:
        out << TextOf(run);
        break;
    case Format::Json:
        out << Dump(Head(run, nullptr, true)) << '\n';
        break;
    case Format::JsonLines:
        out << Dump(Head(run, "report", false)) << '\n';
        for (const FoundEntry* found : run.Entries()) {
            Json line = Json::object();
            line["schema"] = kSchema;
            line["record"] = "desktop-entry";
            Json fields = EntryJson(run, *found);
            for (auto& [key, value] : fields.items())
                line[key] = std::move(value);
            out << Dump(line) << '\n';
        }
        break;
    }
    out.flush();
    for (const std::string& problem : run.scan.problems)
        err << "quelvo-scan: " << T(problem) << "\n";
    if (run.fix) {
        for (const std::string& failure : run.fix->failures)
            err << "quelvo-scan: not removed: " << T(failure) << "\n";
    }
    return run.exitStatus;
}

}  // namespace quelvo::scancli
