#pragma once

// One repair as the window runs it: every broken extension key removed in
// one batch of the active target's registry store, so that a store kept in
// a file writes that file once (RegistryStore: BeginRepair, CommitRepair).
// Toolkit-free; runs on the caller's thread (the UI thread, which shows a
// busy cursor meanwhile).

#include <string>
#include <vector>

namespace quelvo::scan {

struct RepairOutcome {
    // One flag per extension, in the order given: true when its key
    // HKEY_LOCAL_MACHINE\SOFTWARE\Classes\<extension> is gone from the
    // committed store ("Fix success"), false when it is still there or
    // cannot be told ("Fix failed").
    std::vector<bool> fixed;
    // Why some extension was not repaired, in words for the user (the
    // store's reason: a running wineserver and how to stop it, a hive that
    // changed on disk, a backup or a write that failed...). Empty when every
    // extension was repaired.
    std::u16string failureReason;
    // The store refused the whole batch or could not write it: nothing was
    // removed, every extension failed for that one reason.
    bool nothingRemoved = false;
};

// Begins a repair batch, calls func_Reg_DeleteKeyTree on
// "SOFTWARE\Classes\" + extension for each extension in order, commits the
// batch, then decides each extension from the committed store: success when
// its key no longer opens for reading (absent, not merely refused). When the
// batch cannot begin, nothing is removed; when the commit fails, the file is
// left as it was and every extension reads as failed.
RepairOutcome func_RepairExtensions(const std::vector<std::u16string>& extensions);

}  // namespace quelvo::scan
