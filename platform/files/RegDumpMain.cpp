// quelvo_regdump [path]: prints the registry of the target chosen as the
// program would choose it (QUELVO_TARGET, $WINEPREFIX, ~/.wine) in the
// canonical tree form, from HKLM\path down (default SOFTWARE\Classes). Its
// output is compared with the same dump made through the Win32 API under
// Wine.

#include "platform/Text.h"
#include "platform/files/FileTargets.h"
#include "platform/files/TreeDump.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    using namespace quelvo::platform;
    files::TargetChoice choice = files::ChooseTarget();
    if (!choice.target) {
        std::fprintf(stderr, "%s\n", ToUtf8(choice.error).c_str());
        return 1;
    }
    const std::u16string path = FromUtf8(argc > 1 ? argv[1] : "SOFTWARE\\Classes");
    const std::string dump = files::DumpStoreTree(choice.target->Registry(), path);
    std::fwrite(dump.data(), 1, dump.size(), stdout);
    return dump.empty() ? 2 : 0;
}
