#pragma once

// Targets backed by files of this machine, and the choice of the target at
// start-up on builds without a Windows registry of their own.
//
// | QUELVO_TARGET | names a Wine prefix (has system.reg) or an offline      |
// |               | Windows installation (has Windows/System32/config/      |
// |               | SOFTWARE, matched without regard to case)               |
// | unset         | $WINEPREFIX, else ~/.wine                               |
//
// A Wine prefix: the registry is system.reg; drives come from dosdevices/
// ("c:" -> ../drive_c); the environment from the prefix's registry over
// Wine's defaults (SystemRoot and windir C:\windows, ProgramFiles
// C:\Program Files). An offline installation: the SOFTWARE hive is
// HKLM\SOFTWARE, drive C: is the installation's folder, SystemRoot and
// ProgramFiles come from the hive, read as Windows would load it (see
// HiveStore: recovered from its transaction logs, never written while that
// Windows is hibernated). Removed keys are exported to DefaultBackupFolder()
// first.

#include "platform/HostTarget.h"
#include "platform/files/TreeStore.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quelvo::platform::files {

namespace detail {
struct StoreHolder {
    std::unique_ptr<TreeStore> store;
};
}  // namespace detail

// The short name a file system stored for an entry (ntfs-3g shows NTFS's as
// the extended attribute "system.ntfs_dos_name"): Stored, None (the entry
// has none: its long name is already 8.3), or Unsupported by the file system.
struct DosName {
    enum Kind { Stored, None, Unsupported } kind = Unsupported;
    std::u16string name;
};
using DosNameReader = std::function<DosName(const std::filesystem::path& entry)>;
DosName ReadNtfsDosName(const std::filesystem::path& entry);

// A host target that owns its file-backed store. Short path components
// resolve as the checked system resolves them:
// - a Wine prefix (wineShortNames): only the names Wine hands out
//   (WineShortName: "PROG~FBU" for "Program Files"), never Windows-style
//   generated ones ("PROGRA~1" names nothing Wine can open);
// - an offline Windows installation: the short names its file system
//   stored, where the file system shows them (the DosNameReader, by default
//   ReadNtfsDosName), else the names Windows generates (GenerateShortNames).
class FileTarget final : private detail::StoreHolder, public HostTarget {
public:
    FileTarget(std::unique_ptr<TreeStore> store, Environment environment, Drives drives,
               std::u16string description, bool wineShortNames = false);

    TreeStore& Store() { return *store; }
    // What kind of target this is, for reports: a prefix opened by
    // OpenWinePrefix or an installation opened by OpenWindowsInstallation.
    bool IsWinePrefix() const { return m_wineShortNames; }
    // The logs an installation's hive was recovered from, in the order
    // applied (empty for a Wine prefix and for a clean hive).
    const std::vector<std::string>& RecoveredFrom() const { return m_recoveredFrom; }
    void SetRecoveredFrom(std::vector<std::string> logs) { m_recoveredFrom = std::move(logs); }
    // Why the last repair of a key failed (empty when it did not).
    std::u16string LastError() const { return store->LastError(); }

    // Test seam for the stored short names of an offline installation.
    void SetDosNameReader(DosNameReader reader);

protected:
    std::u16string LongNameOfShort(const std::filesystem::path& folder, const std::vector<std::u16string>& entries,
                                   std::u16string_view name) const override;

private:
    bool m_wineShortNames;
    DosNameReader m_dosNames;
    std::vector<std::string> m_recoveredFrom;
};

// Whether Wine takes a name as a valid 8.3 name of its own (then it has no
// hashed short name).
bool IsWineLegalShortName(std::u16string_view name);

// The short name Wine gives a file or folder whose long name is not a valid
// 8.3 name: the first four valid characters, "~", three characters of a hash
// of the name, and the first three characters of its extension.
std::u16string WineShortName(std::u16string_view longName);

std::unique_ptr<FileTarget> OpenWinePrefix(const std::filesystem::path& prefix, std::u16string* error);
std::unique_ptr<FileTarget> OpenWindowsInstallation(const std::filesystem::path& root, std::u16string* error);

// `relative` below `folder`, each component matched without regard to case.
std::optional<std::filesystem::path> FindIgnoringCase(const std::filesystem::path& folder,
                                                      const std::filesystem::path& relative);

struct TargetChoice {
    std::unique_ptr<FileTarget> target;  // null when none could be opened
    std::u16string error;                // then: which path was tried and why
    std::filesystem::path tried;
    // With a target: what the user must know before a scan (a hive that is
    // out of date or damaged), else empty.
    std::u16string notice;
};

using EnvironmentReader = std::function<std::optional<std::string>(const char* name)>;

// The target named by the environment, with backups enabled.
TargetChoice ChooseTarget(const EnvironmentReader& environment);
TargetChoice ChooseTarget();

}  // namespace quelvo::platform::files
