#include "desktop/RepairTraces.h"

#include "desktop/DesktopFix.h"
#include "platform/NameCase.h"
#include "platform/Text.h"
#include "platform/files/FileTargets.h"
#include "platform/files/RegRestore.h"
#include "platform/files/SystemRegStore.h"

#include <set>

namespace quelvo::desktop {

namespace fs = std::filesystem;

RepairTraces RemoveTracesOfRepair(platform::Target& target, const std::vector<std::u16string>& extensions)
{
    RepairTraces traces;
    auto* files = dynamic_cast<platform::files::FileTarget*>(&target);
    auto* wine = files ? dynamic_cast<platform::files::SystemRegStore*>(&files->Store()) : nullptr;
    if (!wine || extensions.empty())
        return traces;
    std::error_code ec;
    const fs::path prefix = NormalPrefixPath(fs::absolute(wine->File().parent_path(), ec));
    std::string error;
    const std::optional<DesktopFolders> folders = FindDesktopFolders(platform::ProcessEnvironment(), &error);
    if (!folders) {
        traces.left.push_back("Wine's desktop entries were not looked at: " + error);
        traces.lines.push_back(regfile::PrintableText(traces.left.back()));
        traces.ok = false;
        return traces;
    }
    std::set<std::u16string> removed;
    for (const std::u16string& extension : extensions)
        removed.insert(platform::ToUpperName(extension));
    // The keys are gone from the registry file now: no program needs checking.
    const DesktopScan scan = ScanDesktop(*folders, {});
    DesktopFixOptions options;
    options.select = [&](const FoundEntry& found) {
        return found.entry.kind == WineEntry::Extension && SamePrefix(found.prefix, prefix)
            && removed.count(platform::ToUpperName(platform::FromUtf8(found.entry.typeName)));
    };
    if (const fs::path repair = files->Store().BackupFile(); !repair.empty()) {
        options.backupFolder = repair.parent_path();
        options.backupName = DesktopBackupBeside(repair).filename().string();
    }
    const DesktopFixResult fixed = FixDesktop(scan, options);
    traces.removed = fixed.removed;
    traces.backup = fixed.backup;
    traces.ok = fixed.Ok();
    const auto say = [&](const std::string& line) { traces.lines.push_back(regfile::PrintableText(line)); };
    for (const fs::path& file : fixed.removed)
        say("removed Wine's " + file.string());
    for (const fs::path& list : fixed.changedLists)
        say("took the removed entries out of " + list.string());
    for (const std::string& record : fixed.removedRecords)
        say("removed Wine's record " + record);
    if (!fixed.backup.empty() && !fixed.removed.empty())
        say("saved them first to " + fixed.backup.string() + " (quelvo-restore puts them back)");
    for (const auto* lines : {&fixed.failures, &fixed.notes}) {
        for (const std::string& line : *lines) {
            say(line);
            traces.left.push_back(line);
        }
    }
    return traces;
}

}  // namespace quelvo::desktop
