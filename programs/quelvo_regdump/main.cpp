// quelvo_regdump [path]: prints the registry of the target chosen as the
// program would choose it (QUELVO_TARGET, $WINEPREFIX, ~/.wine) in the
// canonical tree form, from HKLM\path down (default SOFTWARE\Classes). Its
// output is compared with the same dump made through the Win32 API under
// Wine.

#include "platform/Text.h"
#include "platform/files/FileTargets.h"
#include "regfile/TreeDump.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr char kUsage[] =
    "usage: quelvo_regdump [PATH]   print HKEY_LOCAL_MACHINE\\PATH (default SOFTWARE\\Classes) and every key\n"
    "                               below it, one line per key, with its default value\n"
    "The target is the one the program checks: QUELVO_TARGET (a Wine prefix or a Windows\n"
    "installation), else $WINEPREFIX, else ~/.wine. Exit status: 0 done, 1 the target cannot\n"
    "be read, 2 the key does not exist, 3 part of the registry could not be read (what could\n"
    "be read is printed, the reason on standard error).\n";

}  // namespace

int main(int argc, char** argv)
{
    using namespace quelvo::platform;
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc > 2 || (argc == 2 && argv[1][0] == '-')) {
        std::fputs(kUsage, stderr);
        return 1;
    }
    files::TargetChoice choice = files::ChooseTarget();
    if (!choice.target) {
        std::fprintf(stderr, "%s\n", ToUtf8(choice.error).c_str());
        return 1;
    }
    const std::u16string path = FromUtf8(argc > 1 ? argv[1] : "SOFTWARE\\Classes");
    const std::string dump = quelvo::regfile::DumpStoreTree(choice.target->Registry(), path);
    std::fwrite(dump.data(), 1, dump.size(), stdout);
    const ReadCondition read = choice.target->Registry().ReadState();
    if (read.kind != ReadCondition::Complete)
        std::fprintf(stderr, "%s\n", ToUtf8(read.text).c_str());
    if (read.kind == ReadCondition::Damaged)
        return 3;
    return dump.empty() ? 2 : 0;
}
