#pragma once

// A Wine prefix as its desktop entries see it: whether it is still there,
// the classes Wine resolves file types through (user.reg's
// Software\Classes over system.reg's, key by key: a key the user's
// registry has hides the machine's key of the same path, as HKEY_CLASSES_ROOT
// merges them), and the associations Wine recorded in user.reg under
// Software\Wine\FileOpenAssociations when it wrote each entry.
//
// | State      | When                                                                  |
// |------------|-----------------------------------------------------------------------|
// | Present    | the folder and its system.reg are there and were read                 |
// | Gone       | no folder at the path, or no system.reg in it                         |
// | Unreadable | it is there but could not be read (rights, damage): nothing is decided |

#include "desktop/FileOpenRecord.h"
#include "platform/files/FileTargets.h"
#include "regfile/RegTree.h"
#include "regfile/SystemRegFile.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace quelvo::desktop {

class PrefixClasses {
public:
    enum class State { Present, Gone, Unreadable };

    // Reads the prefix with this thread's file-system identity.
    static std::unique_ptr<PrefixClasses> Load(const std::filesystem::path& prefix);

    const std::filesystem::path& Path() const { return m_path; }
    State GetState() const { return m_state; }
    // Why Gone or Unreadable, in words ("there is no folder", "it has no system.reg").
    const std::string& Problem() const { return m_problem; }

    // Below Software\Classes (path separated by "\"), the key Wine opens:
    // the user's when it has one, else the machine's; null when neither.
    regfile::RegKey* ClassKey(std::u16string_view path);
    // The key's string value (REG_SZ, REG_EXPAND_SZ), without its NUL.
    std::optional<std::u16string> ClassString(std::u16string_view path, std::u16string_view value = {});

    // user.reg's record for an extension or scheme, when it has one.
    std::optional<FileOpenRecord> Record(std::u16string_view name);

    // The prefix as a scan target (its environment and drives), for finding
    // a command's program.
    platform::files::FileTarget* Target() const { return m_target.get(); }

    // user.reg as it was read (empty when it has none), and its blocks.
    const std::string& UserRegBytes() const { return m_userBytes; }
    const regfile::SystemRegDocument& UserReg() const { return m_userDocument; }
    std::filesystem::path UserRegFile() const { return m_path / "user.reg"; }
    // The owner of the prefix's folder.
    uid_t OwnerUid() const { return m_ownerUid; }

private:
    std::filesystem::path m_path;
    State m_state = State::Gone;
    std::string m_problem;
    std::unique_ptr<platform::files::FileTarget> m_target;
    std::string m_userBytes;
    regfile::SystemRegDocument m_userDocument;
    std::unique_ptr<regfile::RegKey> m_userRoot;
    uid_t m_ownerUid = 0;
};

}  // namespace quelvo::desktop
