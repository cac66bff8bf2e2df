#pragma once

// What a repair of a Wine prefix leaves on the Linux desktop. When Fix Now
// (or quelvo-scan --fix) removes extension keys from a prefix, Wine's
// entries of that prefix for those extensions are stale by Wine's own rule:
// they are removed in the same repair, their backup beside the repair's
// (repair-<time>.desktop.json beside repair-<time>.reg), so that
// quelvo-restore puts both back. Entries their user changed stay. A target
// that is not a Wine prefix, and Windows, keep no such entries.

#include "platform/Target.h"

#include <filesystem>
#include <string>
#include <vector>

namespace quelvo::desktop {

struct RepairTraces {
    std::vector<std::filesystem::path> removed;  // files removed
    std::filesystem::path backup;                // their backup, when something was removed
    // What was removed, where it was saved, and what was left or failed,
    // in words for the user, safe to print (control characters escaped).
    std::vector<std::string> lines;
    // What was left on purpose or failed, in words (not escaped).
    std::vector<std::string> left;
    bool ok = true;  // nothing failed
};

// After a repair of `target` removed the keys of `extensions` (with their
// dot), as the user the program acts for.
RepairTraces RemoveTracesOfRepair(platform::Target& target, const std::vector<std::u16string>& extensions);

}  // namespace quelvo::desktop
