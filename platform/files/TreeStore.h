#pragma once

// A registry store over a RegTree whose root is HKEY_LOCAL_MACHINE. The six
// calls follow the RegistryStore contract; a removal is first exported to
// the backup (when one is set) and then made durable by the backend
// (PersistRemoval) before the key leaves the tree, so a refused or failed
// write leaves store and file as they were. The reason of the last failed
// removal is kept for the window to show.
//
// Symbolic links (Wine's "#link" keys) are followed while a path is opened,
// as RegOpenKeyExW does, up to 16 hops. A removal never goes through a link:
// a path that passes one is refused, and a link named by the path is removed
// itself, not its target, so a repair cannot reach keys outside its tree.
//
// Thread safety: every call takes the store's lock.

#include "platform/RegistryStore.h"
#include "platform/files/RegTree.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace quelvo::platform::files {

class RegBackup;

class TreeStore : public RegistryStore {
public:
    TreeStore();
    ~TreeStore() override;

    RegStatus OpenKey(RegRoot root, std::u16string_view path, std::uint32_t access,
                      RegHandle* key) override;
    RegStatus QueryInfoKey(RegHandle key, std::uint32_t* subKeyCount,
                           std::uint32_t* maxSubKeyNameLength) override;
    RegStatus EnumKey(RegHandle key, std::uint32_t index, char16_t* name, std::uint32_t capacity,
                      std::uint32_t* length) override;
    RegStatus QueryValue(RegHandle key, std::u16string_view valueName, RegType* type,
                         std::uint8_t* data, std::uint32_t* size) override;
    RegStatus DeleteKey(RegRoot root, std::u16string_view path) override;
    RegStatus CloseKey(RegHandle key) override;

    // Every removed key is exported here first; none by default.
    void SetBackup(std::shared_ptr<RegBackup> backup);

    // Why the last removal failed; empty after a successful one.
    std::u16string LastError() const;

    // The tree, for loading and for tests. Not locked: use before sharing.
    RegKey& Root() { return *m_root; }
    // The key at a path (links followed), or null.
    RegKey* Find(std::u16string_view path);

protected:
    // Makes the removal of a key without sub-keys durable. On failure returns
    // the status for the caller and sets *message; the tree is then left alone.
    virtual RegStatus PersistRemoval(RegKey& key, std::u16string* message) = 0;

    void ResetTree(std::unique_ptr<RegKey> root);

private:
    // followLast: whether a link named by the last component is followed;
    // *throughLink (when given) tells whether any link was followed.
    RegKey* Resolve(std::u16string_view path, int hops, bool followLast = true, bool* throughLink = nullptr);
    RegKey* KeyOf(RegHandle handle);

    mutable std::mutex m_mutex;
    std::unique_ptr<RegKey> m_root;
    std::map<std::uintptr_t, RegKey*> m_handles;
    std::uintptr_t m_nextHandle = 0x1000;
    std::vector<std::unique_ptr<RegKey>> m_removed;  // open handles may still point here
    std::shared_ptr<RegBackup> m_backup;
    std::u16string m_lastError;
};

}  // namespace quelvo::platform::files
