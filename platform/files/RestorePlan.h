#pragma once

// The matching of a backup against a target's key tree, shared by the
// restore into a Wine registry file and into a hive.

#include "platform/files/RegRestore.h"

#include <string>
#include <vector>

namespace quelvo::platform::files::restore {

// One key to add: its path below HKEY_LOCAL_MACHINE as it will be in the
// target (existing parents in the target's case) and as the backup names
// it, and the backup's key with its values.
struct NewKey {
    std::vector<std::u16string> path;
    std::vector<std::u16string> shownPath;
    RegKey* source = nullptr;
};

// Keys missing from `target` (whose root is HKEY_LOCAL_MACHINE), parents
// first; listed keys that exist go to result->kept. False, with
// result->error, when the backup does not fit the target.
bool PlanRestore(const RegBackupContents& backup, RegKey& target, std::vector<NewKey>* add, RestoreResult* result);

// "HKEY_LOCAL_MACHINE\a\b" for {"a", "b"}.
std::u16string ShownKeyPath(const std::vector<std::u16string>& parts);
// The same path in lower case, for matching without regard to case.
std::u16string LowerKeyPath(const std::vector<std::u16string>& parts);

}  // namespace quelvo::platform::files::restore
