#pragma once

// A restore planned: a backup's keys matched against a target's key tree,
// and the keys missing from it written into the text of a Wine registry
// file. Both file-backed stores restore through this plan (their add-keys
// batch, platform/files/TreeStore.h).
//
// Only keys missing from the target are added, with the values the backup
// holds. A key that exists already is left as it is (its values are not
// merged) and reported; nothing else in the target changes.

#include "regfile/RegFileRead.h"
#include "regfile/SystemRegFile.h"

#include <string>
#include <string_view>
#include <vector>

namespace quelvo::regfile {

struct RestoreResult {
    std::vector<std::u16string> restored;  // keys written, "HKEY_LOCAL_MACHINE\..."
    std::vector<std::u16string> kept;      // listed keys that exist already, left as they are
    std::u16string error;                  // why nothing was written; empty when it worked
    bool Ok() const { return error.empty(); }
};

// One key to add: the backup's key with its values, and its deepest
// ancestor that the target has (in the target's tree).
struct NewKey {
    RegKey* source = nullptr;
    RegKey* existing = nullptr;

    // Its path below HKEY_LOCAL_MACHINE as it will be in the target (the
    // existing ancestors in the target's case), and as the backup names it.
    std::vector<std::u16string> Path() const;
    std::vector<std::u16string> ShownPath() const { return source->PathComponents(); }
    // Whether its parent is in the target already (the first new key of its branch).
    bool UnderExisting() const;
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

// The text of a Wine registry file with a block for each planned key, each
// placed where the file's sorted order puts it; the other bytes stay as they
// were. Each new block is read back first: false (with the key named in
// *error) when one would not read back as the backup holds it.
bool SystemRegTextWithNewKeys(const SystemRegDocument& document, const std::vector<NewKey>& add,
                              long long unixSeconds, std::string* text, std::u16string* error);

// The same from a file's bytes: parsed, planned and written. False (with
// result->error) when the file does not parse or the backup does not fit.
bool RestoreIntoSystemRegText(std::string_view bytes, const RegBackupContents& backup, long long unixSeconds,
                              std::string* text, RestoreResult* result);

}  // namespace quelvo::regfile
