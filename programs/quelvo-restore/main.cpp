// quelvo-restore FILE.reg: puts the keys of a repair's backup back into the
// target the program checks (QUELVO_TARGET, $WINEPREFIX, ~/.wine); keys
// that exist are left as they are. quelvo-restore --list: the backups.
// Everything it prints, key names and messages alike, goes through
// PrintableText: a backup's names never reach the terminal raw.

#include "platform/Text.h"
#include "platform/files/FileTargets.h"
#include "platform/files/RegBackup.h"
#include "platform/files/RegRestore.h"

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
    "usage: quelvo-restore FILE.reg   restore the keys a repair removed (from its backup)\n"
    "       quelvo-restore --list     list the backups with their dates and keys\n"
    "The target is the one the program checks: QUELVO_TARGET (a Wine prefix or a Windows\n"
    "installation), else $WINEPREFIX, else ~/.wine. Keys that exist are left as they are.\n";

void Line(std::FILE* to, const std::string& text) { std::fprintf(to, "%s\n", PrintableText(text).c_str()); }
void Line(std::FILE* to, const std::u16string& text) { std::fprintf(to, "%s\n", PrintableText(text).c_str()); }

int Fail(const std::string& message)
{
    Line(stderr, "quelvo-restore: " + message);
    return 1;
}

int List()
{
    const auto folder = DefaultBackupFolder();
    const auto backups = ListBackups(folder);
    if (backups.empty()) {
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
    }
    return 0;
}

int Restore(const char* file)
{
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
