#include "scan/Unit_QLV_func_Repair.h"

#include "platform/Target.h"
#include "scan/Unit_QLV_func_Registry.h"

namespace quelvo::scan {

namespace pf = quelvo::platform;

namespace {

constexpr std::u16string_view kClasses = u"SOFTWARE\\Classes\\";

// Gone means absent: a key that still exists but refuses to open is not.
bool KeyGone(pf::RegistryStore& store, const std::u16string& path)
{
    pf::RegHandle key{};
    const pf::RegStatus status = store.OpenKey(pf::HKEY_LOCAL_MACHINE, path, pf::KEY_READ, &key);
    if (status == pf::kSuccess) {
        store.CloseKey(key);
        return false;
    }
    return status == pf::kFileNotFound;
}

}  // namespace

RepairOutcome func_RepairExtensions(const std::vector<std::u16string>& extensions)
{
    pf::RegistryStore& store = pf::ActiveTarget().Registry();
    RepairOutcome outcome;
    outcome.fixed.assign(extensions.size(), false);
    if (extensions.empty())
        return outcome;

    if (store.BeginRepair() != pf::kSuccess) {
        outcome.nothingRemoved = true;
        outcome.failureReason = store.FailureReason();
        if (outcome.failureReason.empty())
            outcome.failureReason = u"The registry cannot be changed now; nothing was removed.";
        return outcome;
    }
    // The store's reason for each removal that failed (a key already gone
    // fails too, and is still repaired).
    std::vector<std::u16string> reasons(extensions.size());
    for (std::size_t i = 0; i < extensions.size(); ++i) {
        if (!func_Reg_DeleteKeyTree(pf::HKEY_LOCAL_MACHINE, std::u16string(kClasses) + extensions[i]))
            reasons[i] = store.FailureReason();
    }
    if (store.CommitRepair() != pf::kSuccess) {
        // Nothing of the batch was written: every row failed, for one reason.
        outcome.nothingRemoved = true;
        outcome.failureReason = store.FailureReason();
        if (outcome.failureReason.empty())
            outcome.failureReason = u"The registry could not be written; nothing was removed.";
        return outcome;
    }

    for (std::size_t i = 0; i < extensions.size(); ++i) {
        const std::u16string path = std::u16string(kClasses) + extensions[i];
        outcome.fixed[i] = KeyGone(store, path);
        if (!outcome.fixed[i] && outcome.failureReason.empty())
            outcome.failureReason =
                !reasons[i].empty() ? reasons[i] : u"HKEY_LOCAL_MACHINE\\" + path + u" could not be removed.";
    }
    return outcome;
}

}  // namespace quelvo::scan
