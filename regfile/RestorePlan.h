#pragma once

// The matching of a backup against a target's key tree, shared by the
// restore into a Wine registry file and into a hive.

#include "platform/files/RegRestore.h"

#include <string>
#include <vector>

namespace quelvo::platform::files::restore {

// One key to add: the backup's key with its values, and its deepest
// ancestor that the target has (in the target's tree).
struct NewKey {
    RegKey* source = nullptr;
    RegKey* existing = nullptr;

    // Its path below HKEY_LOCAL_MACHINE as it will be in the target (the
    // existing ancestors in the target's case), and as the backup names it.
    std::vector<std::u16string> Path() const;
    std::vector<std::u16string> ShownPath() const { return source->PathComponents(); }
};

// Keys missing from `target` (whose root is HKEY_LOCAL_MACHINE), parents
// first, in the registry's order; listed keys that exist go to
// result->kept. False, with result->error, when the backup does not fit the
// target. The keys point into both trees: use them while both live.
bool PlanRestore(const RegBackupContents& backup, RegKey& target, std::vector<NewKey>* add, RestoreResult* result);

// "HKEY_LOCAL_MACHINE\a\b" for {"a", "b"}.
std::u16string ShownKeyPath(const std::vector<std::u16string>& parts);
// The same path in lower case, for matching without regard to case.
std::u16string LowerKeyPath(const std::vector<std::u16string>& parts);

}  // namespace quelvo::platform::files::restore
