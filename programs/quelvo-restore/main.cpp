// quelvo-restore FILE.reg: puts the keys of a repair's backup back into the
// target the program checks (QUELVO_TARGET, $WINEPREFIX, ~/.wine); keys
// that exist are left as they are; Wine's desktop entries the repair
// removed with them (FILE.desktop.json beside it) go back too.
// quelvo-restore FILE.json: a backup of Wine's desktop entries alone.
// quelvo-restore --list: the backups. Everything it prints, key names and
// messages alike, goes through PrintableText: a backup's names never reach
// the terminal raw.

#include "desktop/DesktopFix.h"
#include "platform/Text.h"
#include "platform/files/FileTargets.h"
#include "platform/files/RegBackup.h"
#include "platform/files/RegRestore.h"
#include "platform/DesktopSession.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <exception>
#include <new>
#include <string>

namespace {

using namespace quelvo::platform;
using namespace quelvo::platform::files;
using namespace quelvo::regfile;

// Set once the target holds the restored keys: a failure after that must not say "nothing was written".
bool g_written = false;

constexpr char kUsage[] =
    "usage: quelvo-restore FILE.reg   restore the keys a repair removed (from its backup), and\n"
    "                                 Wine's desktop entries removed with them (FILE.desktop.json)\n"
    "       quelvo-restore FILE.json  restore Wine's desktop entries that quelvo-scan --desktop --fix removed\n"
    "       quelvo-restore --list     list the backups with their dates and keys\n"
    "The target is the one the program checks: QUELVO_TARGET (a Wine prefix or a Windows\n"
    "installation), else $WINEPREFIX, else ~/.wine. Keys and files that exist are left as they are.\n";

void Line(std::FILE* to, const std::string& text) { std::fprintf(to, "%s\n", PrintableText(text).c_str()); }
void Line(std::FILE* to, const std::u16string& text) { std::fprintf(to, "%s\n", PrintableText(text).c_str()); }

int Fail(const std::string& message)
{
    Line(stderr, "quelvo-restore: " + message);
    return 1;
}

// "2 files, 1 mimeapps.list, 1 record" of a desktop backup, or why it cannot be restored.
std::string DesktopSummary(const std::filesystem::path& file)
{
    std::string bytes, error;
    quelvo::desktop::DesktopBackup backup;
    if (!ReadWholeFile(file, &bytes, &error, {.maxBytes = quelvo::desktop::kMaxDesktopBackupBytes, .followLinks = false})
        || !quelvo::desktop::ReadDesktopBackup(bytes, &backup, &error))
        return "cannot be restored: " + error;
    const auto count = [](std::size_t n, const char* what) { return std::to_string(n) + " " + what + (n == 1 ? "" : "s"); };
    return "Wine's desktop entries of " + backup.userName + ": " + count(backup.files.size(), "file") + ", "
        + count(backup.lists.size(), "mimeapps.list") + ", " + count(backup.records.size(), "record");
}

int List()
{
    const auto folder = DefaultBackupFolder();
    const auto backups = ListBackups(folder);
    std::vector<std::filesystem::path> desktops;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        if (entry.path().filename().string().rfind("desktop-", 0) == 0 && quelvo::desktop::IsDesktopBackupName(entry.path()))
            desktops.push_back(entry.path());
    }
    std::sort(desktops.begin(), desktops.end());
    for (const auto& file : desktops)
        Line(stdout, file.string() + "\n    " + DesktopSummary(file));
    if (backups.empty() && desktops.empty()) {
        Line(stdout, "No backups in " + folder.string());
        return 0;
    }
    for (const auto& backup : backups) {
        char date[32] = "?";
        std::tm tm{};
        if (gmtime_r(&backup.time, &tm))
            std::strftime(date, sizeof date, "%Y-%m-%d %H:%M:%S UTC", &tm);
        Line(stdout, std::string(date) + "  " + backup.file.string());
        if (!backup.error.empty()) {
            Line(stdout, u"    cannot be restored: " + backup.error);
            continue;
        }
        for (const auto& key : backup.keys)
            Line(stdout, u"    " + key);
        if (backup.keyCount > backup.keys.size())
            Line(stdout, "    (" + std::to_string(backup.keyCount) + " keys in all, with those below them)");
        if (const auto beside = quelvo::desktop::DesktopBackupBeside(backup.file); std::filesystem::exists(beside, ec))
            Line(stdout, "    and " + DesktopSummary(beside));
    }
    return 0;
}

// Puts back Wine's desktop entries of a backup for the user the program acts for.
int RestoreDesktop(const std::filesystem::path& file)
{
    std::string error;
    const auto folders = quelvo::desktop::FindDesktopFolders(ProcessEnvironment(), &error);
    if (!folders)
        return Fail(file.string() + ": " + error + "; nothing was restored.");
    Line(stdout, "Restoring Wine's desktop entries of " + file.string() + " for " + folders->userName);
    const quelvo::desktop::DesktopRestoreResult result = quelvo::desktop::RestoreDesktopFile(file, *folders);
    if (!result.error.empty())
        return Fail(file.string() + ": " + result.error);
    for (const auto& item : result.restored)
        Line(stdout, "restored: " + item);
    for (const auto& item : result.kept)
        Line(stdout, item);
    for (const auto& item : result.failures)
        Line(stderr, "quelvo-restore: not restored: " + item);
    return result.failures.empty() ? 0 : 1;
}

int Restore(const char* file)
{
    if (quelvo::desktop::IsDesktopBackupName(file))
        return RestoreDesktop(file);
    RegBackupContents backup;
    std::u16string error;
    if (!ReadRegBackupFile(file, &backup, &error))
        return Fail(std::string(file) + ": " + ToUtf8(error) + " Nothing was written.");
    TargetChoice choice = ChooseTarget();
    if (!choice.target)
        return Fail(ToUtf8(choice.error) + " Nothing was written.");
    Line(stdout, "Restoring " + std::string(file) + " into the " + ToUtf8(choice.target->Description()));
    const RestoreResult result = RestoreIntoTarget(*choice.target, backup);
    if (!result.Ok())
        return Fail(ToUtf8(result.error));
    g_written = !result.restored.empty();
    for (const auto& key : result.restored)
        Line(stdout, u"restored: " + key);
    for (const auto& key : result.kept)
        Line(stdout, u"exists already, left as it is: " + key);
    std::printf("%zu key%s restored, %zu left as %s.\n", result.restored.size(),
                result.restored.size() == 1 ? "" : "s", result.kept.size(),
                result.kept.size() == 1 ? "it was" : "they were");
    std::error_code ec;
    if (const auto beside = quelvo::desktop::DesktopBackupBeside(file); std::filesystem::exists(beside, ec))
        return RestoreDesktop(beside);
    return 0;
}

int Run(int argc, char** argv)
{
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--list") == 0)
        return List();
    if (argc == 2 && argv[1][0] != '-')
        return Restore(argv[1]);
    if (argc == 3 && std::strcmp(argv[1], "--") == 0)
        return Restore(argv[2]);
    std::fputs(kUsage, stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    // Every failure is a message and an exit status; the registry file is
    // only ever replaced whole, so stopping before that leaves it as it was.
    const auto outcome = [] {
        return g_written ? std::string("; the keys were restored, but not all of them were listed.")
                         : std::string("; nothing was written.");
    };
    try {
        return Run(argc, argv);
    } catch (const std::bad_alloc&) {
        return Fail("not enough memory to finish" + outcome());
    } catch (const std::exception& e) {
        return Fail(e.what() + outcome());
    } catch (...) {
        return Fail("an unexpected failure" + outcome());
    }
}
