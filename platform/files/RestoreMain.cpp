// quelvo-restore FILE.reg: puts the keys of a repair's backup back into the
// target the program checks (QUELVO_TARGET, $WINEPREFIX, ~/.wine); keys
// that exist are left as they are. quelvo-restore --list: the backups.

#include "platform/Text.h"
#include "platform/files/FileIo.h"
#include "platform/files/FileTargets.h"
#include "platform/files/RegExport.h"
#include "platform/files/RegRestore.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

namespace {

using namespace quelvo::platform;
using namespace quelvo::platform::files;

constexpr char kUsage[] =
    "usage: quelvo-restore FILE.reg   restore the keys a repair removed (from its backup)\n"
    "       quelvo-restore --list     list the backups with their dates and keys\n"
    "The target is the one the program checks: QUELVO_TARGET (a Wine prefix or a Windows\n"
    "installation), else $WINEPREFIX, else ~/.wine. Keys that exist are left as they are.\n";

void Print(std::FILE* to, const std::u16string& text) { std::fprintf(to, "%s\n", ToUtf8(text).c_str()); }

int List()
{
    const auto folder = DefaultBackupFolder();
    const auto backups = ListBackups(folder);
    if (backups.empty()) {
        std::printf("No backups in %s\n", folder.c_str());
        return 0;
    }
    for (const auto& backup : backups) {
        char date[32] = "?";
        std::tm tm{};
        if (gmtime_r(&backup.time, &tm))
            std::strftime(date, sizeof date, "%Y-%m-%d %H:%M:%S UTC", &tm);
        std::printf("%s  %s\n", date, backup.file.c_str());
        if (!backup.error.empty()) {
            std::printf("    cannot be restored: %s\n", ToUtf8(backup.error).c_str());
            continue;
        }
        for (const auto& key : backup.keys)
            std::printf("    %s\n", ToUtf8(key).c_str());
        if (backup.keyCount > backup.keys.size())
            std::printf("    (%zu keys in all, with those below them)\n", backup.keyCount);
    }
    return 0;
}

int Restore(const char* file)
{
    std::string bytes, readError;
    if (!ReadWholeFile(file, &bytes, &readError)) {
        std::fprintf(stderr, "quelvo-restore: %s\n", readError.c_str());
        return 1;
    }
    RegBackupContents backup;
    std::u16string error;
    if (!ReadRegBackup(bytes, &backup, &error)) {
        std::fprintf(stderr, "quelvo-restore: %s: %s Nothing was written.\n", file, ToUtf8(error).c_str());
        return 1;
    }
    TargetChoice choice = ChooseTarget();
    if (!choice.target) {
        std::fprintf(stderr, "quelvo-restore: %s Nothing was written.\n", ToUtf8(choice.error).c_str());
        return 1;
    }
    std::printf("Restoring %s into the %s\n", file, ToUtf8(choice.target->Description()).c_str());
    const RestoreResult result = RestoreIntoTarget(*choice.target, backup);
    if (!result.Ok()) {
        std::fprintf(stderr, "quelvo-restore: %s\n", ToUtf8(result.error).c_str());
        return 1;
    }
    for (const auto& key : result.restored)
        Print(stdout, u"restored: " + key);
    for (const auto& key : result.kept)
        Print(stdout, u"exists already, left as it is: " + key);
    std::printf("%zu key%s restored, %zu left as %s.\n", result.restored.size(),
                result.restored.size() == 1 ? "" : "s", result.kept.size(),
                result.kept.size() == 1 ? "it was" : "they were");
    return 0;
}

}  // namespace

int main(int argc, char** argv)
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
