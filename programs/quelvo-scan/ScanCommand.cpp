#include "ScanCommand.h"

#include "DesktopCommand.h"

#include "ReportWriters.h"
#include "ScanOptions.h"
#include "ScanReport.h"
#include "ScanTarget.h"

#include "desktop/RepairTraces.h"
#include "platform/Target.h"
#include "platform/Text.h"
#include "report/Unit_QLV_FileTypeLib.h"
#include "report/Unit_QLV_Report.h"
#include "report/Unit_QLV_ReportActions.h"
#include "scan/Unit_QLV_ScanRun.h"
#include "scan/Unit_QLV_func_Repair.h"

#include <ostream>
#include <unordered_map>
#include <unordered_set>

namespace quelvo::scancli {

namespace {

using report::GroupDictionary;

int ItemCount(const GroupDictionary& cls)
{
    int items = 0;
    for (const auto& entry : cls)
        items += static_cast<int>(entry.value.size());
    return items;
}

// Which sections list each extension.
std::unordered_map<std::u16string, std::vector<Section>> SectionsOf(const ScanReport& report)
{
    std::unordered_map<std::u16string, std::vector<Section>> sections;
    const std::pair<const GroupDictionary*, Section> classes[] = {
        {&report.problems, Section::Problems},
        {&report.needsApplication, Section::NeedsApplication},
        {&report.valid, Section::Valid},
    };
    for (const auto& [cls, section] : classes)
        for (const auto& entry : *cls)
            for (const auto& extension : entry.value)
                sections[extension].push_back(section);
    return sections;
}

ExtensionReport Examined(const scan::ExaminedExtension& found)
{
    using F = scan::ExtensionFinding;
    ExtensionReport out;
    out.name = found.name;
    out.finding = found.finding;
    if (found.finding != F::NoDefaultValue)
        out.progId = found.progId;
    if (found.finding == F::EmptyOpenCommand || found.finding == F::NoProgramPath || found.finding == F::ProgramPath)
        out.command = found.command;
    if (found.finding == F::ProgramPath)
        out.programPath = found.programPath;
    return out;
}

// One entry per extension examined (the first of names that differ only by
// blanks around them), or for a one-extension scan the filter's alone.
std::vector<ExtensionReport> ExtensionEntries(const ScanReport& report, const scan::ScanRunResult& scanned,
                                              const platform::TextDictionary& lib, report::TargetFileTest& exists)
{
    const auto sections = SectionsOf(report);
    std::vector<ExtensionReport> entries;
    std::unordered_set<std::u16string> seen;
    for (const auto& found : scanned.examined) {
        if (report.filter && found.name != *report.filter)
            continue;
        if (!seen.insert(found.name).second)
            continue;
        entries.push_back(Examined(found));
    }
    if (report.filter && entries.empty()) {
        ExtensionReport absent;
        absent.name = *report.filter;
        entries.push_back(absent);
    }
    for (ExtensionReport& entry : entries) {
        entry.group = std::u16string(report::GroupOf(entry.name, lib));
        if (const auto it = sections.find(entry.name); it != sections.end())
            entry.sections = it->second;
        if (entry.programPath) {
            const bool* answer = exists.Answer(*entry.programPath);
            entry.programExists = answer ? *answer : exists(*entry.programPath);
        }
    }
    return entries;
}

RepairReport Repair(ScanReport& report, const ScanTarget& target)
{
    const std::vector<std::u16string> extensions = report::ExtensionsToRepair(report.problems);
    const scan::RepairOutcome outcome = scan::func_RepairExtensions(extensions);
    RepairReport repair;
    // Wine's desktop entries of the keys removed go with them, as in the window.
    std::vector<std::u16string> removed;
    for (std::size_t i = 0; i < extensions.size(); ++i) {
        if (outcome.fixed[i])
            removed.push_back(extensions[i]);
    }
    const desktop::RepairTraces traces = desktop::RemoveTracesOfRepair(platform::ActiveTarget(), removed);
    repair.desktopRemoved = traces.removed;
    repair.desktopLeft = traces.left;
    for (std::size_t i = 0; i < extensions.size(); ++i)
        (outcome.fixed[i] ? repair.removed : repair.notRemoved).push_back(extensions[i]);
    repair.refused = outcome.nothingRemoved;
    // The words the window shows once after its repair.
    if (outcome.nothingRemoved)
        repair.message = std::u16string(report::messages::kRepairRefused) + u"\n\n" + outcome.failureReason;
    else if (!outcome.failureReason.empty())
        repair.message = std::u16string(report::messages::kRepairFailed) + u"\n\n" + outcome.failureReason;
    repair.remaining = report::BuildAfterRepairView(report.needsApplication, report.problems, outcome.fixed)
                           .remainingCount;
    repair.backups = target.BackupFiles();
    return repair;
}

}  // namespace

int ExitStatusOf(const ScanReport& report)
{
    if (report.target.state != TargetState::Complete)
        return 3;
    if (report.repair)
        return report.repair->remaining > 0 || !report.repair->notRemoved.empty() ? 1 : 0;
    return report.counts.problems > 0 ? 1 : 0;
}

int RunScanCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                   const std::filesystem::path& programDir)
{
    const ParsedCommandLine line = ParseScanCommandLine(args, out, err);
    if (line.exitStatus)
        return *line.exitStatus;
    const ScanOptions& options = line.options;
#ifndef _WIN32
    if (options.kind == ReportKind::Desktop)
        return RunDesktopCommand(options, out, err);
#endif

    ScanReport report;
    report.kind = options.kind;
    report.library = options.library ? *options.library
                                     : std::filesystem::path(report::func_LibraryPathFor(PathText(programDir)));
    platform::TextDictionary lib;
    // Without its library the window shows no report, and neither does this.
    if (const auto problem = report::func_LoadLibraryOnce(report.library, lib)) {
        err << "quelvo-scan: " << TerminalText(*problem) << "\n";
        return 2;
    }
    report.libraryEntries = lib.Count();
    if (options.ext) {
        const std::u16string filter = report::NormaliseSearchExt(*options.ext);
        if (!filter.empty())
            report.filter = filter;
    }

    const std::unique_ptr<ScanTarget> target = ScanTarget::Open(options);
    scan::ScanRunResult scanned;
    report::TargetFileTest exists;
    if (target->Opened()) {
        scanned = scan::func_RunScan();
        report::ClassifyScanResults(scanned.scanned, scanned.errorScanned, lib,
                                    report.filter.value_or(std::u16string()), exists.AsFunction(), report.problems,
                                    report.needsApplication, report.valid);
    }
    report.target = target->Describe(scanned.classesRefused);
    report.counts.examined = scanned.examined.size();
    report.counts.registryProblems = ItemCount(report.problems);
    report.counts.needsApplication = ItemCount(report.needsApplication);
    report.counts.valid = ItemCount(report.valid);
    report.counts.problems = report.counts.registryProblems + report.counts.needsApplication;
    report.extensions = ExtensionEntries(report, scanned, lib, exists);

    if (options.fix && target->Opened() && !scanned.classesRefused)
        report.repair = Repair(report, *target);
    report.exitStatus = ExitStatusOf(report);

    WriteReport(report, options.format, out);
    if (report.target.state != TargetState::Complete)
        err << "quelvo-scan: " << TerminalText(report.target.reason) << "\n";
    if (report.repair && !report.repair->message.empty())
        err << "quelvo-scan: " << TerminalText(report.repair->message) << "\n";
    return report.exitStatus;
}

}  // namespace quelvo::scancli
