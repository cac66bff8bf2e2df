#pragma once

// quelvo-scan as a function: the words of its command line in, the report
// on `out`, messages on `err`, the exit status back. The scan, the
// classification and the repair are the window's own (scan/, report/),
// without its 10 ms pause per extension.

#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

namespace quelvo::scancli {

// args: the words after the program's name, in UTF-8. programDir: the
// folder of the executable, where the default library is looked for as the
// window looks for it.
int RunScanCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                   const std::filesystem::path& programDir);

}  // namespace quelvo::scancli
