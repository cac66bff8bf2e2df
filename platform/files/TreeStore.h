#pragma once

// A registry store over a RegTree whose root is HKEY_LOCAL_MACHINE. The six
// calls and the repair batch follow the RegistryStore contract. A removal is
// first exported to the backup (when one is set; flushed before the file is
// written: at once outside a batch, at CommitRepair inside one) and then
// leaves the tree; the backend makes the removals durable in one
// write (PersistRemovals): at once outside a batch, at CommitRepair inside
// one. A refused or failed write puts every key of the batch back, so store
// and file stay as they were, and drops what the backup holds of that batch:
// no backup claims a removal that was not written. The reason of the last
// failure is kept for the window to show (FailureReason); what could not be
// read, for the report (ReadState).
//
// The add-keys batch (AddKeys, a restore) is the same write the other way:
// the keys a backup holds that the store lacks are planned against the tree
// (regfile/RestorePlan.h), checked like a removal (CheckWritable, then the
// backend's own limits), written in one write of the file (PersistAdditions)
// and then join the tree. Nothing changes when any step refuses or fails.
//
// Symbolic links (Wine's "#link" keys) are followed while a path is opened,
// as RegOpenKeyExW does, up to 16 hops. A removal never goes through a link:
// a path that passes one is refused, and a link named by the path is removed
// itself, not its target, so a repair cannot reach keys outside its tree.
//
// Thread safety: every call takes the store's lock.

#include "platform/RegistryStore.h"
#include "regfile/RegTree.h"
#include "regfile/RestorePlan.h"

#include <cstdint>
#include <filesystem>
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

    RegStatus BeginRepair() override;
    RegStatus CommitRepair() override;
    std::u16string FailureReason() const override;
    ReadCondition ReadState() const override;

    // Adds the backup's keys that the store lacks, with their values, in one
    // write of the file; keys it has are left as they are and named in
    // `kept`. Once they are written the store takes the added keys out of
    // the backup's tree; when nothing is written the backup stays whole.
    // Refused while a repair batch is open.
    regfile::RestoreResult AddKeys(regfile::RegBackupContents& backup);
    regfile::RestoreResult AddKeys(regfile::RegBackupContents&& backup) { return AddKeys(backup); }

    // Every removed key is exported here first; none by default.
    void SetBackup(std::shared_ptr<RegBackup> backup);
    // The backup file the removals so far went to (empty: none yet).
    std::filesystem::path BackupFile() const;

    // The same as FailureReason (the name older callers use).
    std::u16string LastError() const { return FailureReason(); }

    // The tree, for loading and for tests. Not locked: use before sharing.
    regfile::RegKey& Root() { return *m_root; }
    // The key at a path (links followed), or null.
    regfile::RegKey* Find(std::u16string_view path);

protected:
    // Whether the file may be written now (nobody else owns it, it did not
    // change on disk). On failure returns the status and sets *message.
    virtual RegStatus CheckWritable(std::u16string* message) = 0;
    // Writes the file once without the given keys, which have already left
    // the tree in this order (each without sub-keys at that moment; Parent()
    // still names where each stood, a key removed later may be the parent
    // of one removed earlier). On failure returns the status, sets *message
    // and leaves the file as it was; the keys are then put back.
    virtual RegStatus PersistRemovals(const std::vector<regfile::RegKey*>& removed, std::u16string* message) = 0;
    // The backend's own limits on an add-keys batch of `count` keys, checked
    // after CheckWritable; kSuccess by default.
    virtual RegStatus CheckAdditions(std::size_t count, std::u16string* message);
    // Writes the file once with the planned keys added (parents first, each
    // with its source's values); the tree does not have them yet. A backend
    // notes on each source key what it needs to find the key in its file
    // later (hive node, file block); the key then joins the tree. On failure
    // returns the status, sets *message and leaves the file as it was.
    virtual RegStatus PersistAdditions(const std::vector<regfile::NewKey>& add, std::u16string* message) = 0;

    void ResetTree(std::unique_ptr<regfile::RegKey> root);

    // One wording for each refusal both stores share.
    static std::u16string ChangedOnDiskMessage(const std::u16string& where);

    // The backup, when one is set (for files kept beside it).
    RegBackup* Backup() const { return m_backup.get(); }
    // What the report is told. Called with the store's lock held (from the
    // loaders and the hooks above) or before the store is shared. The first
    // damage found stays; a later state never hides damage.
    void NoteReadState(ReadCondition condition);

private:
    // followLast: whether a link named by the last component is followed;
    // *throughLink (when given) tells whether any link was followed.
    regfile::RegKey* Resolve(std::u16string_view path, int hops, bool followLast = true, bool* throughLink = nullptr);
    regfile::RegKey* KeyOf(RegHandle handle);
    // Writes the pending removals; on failure puts them back.
    RegStatus CommitPending();
    void PutBackPending();

    mutable std::mutex m_mutex;
    std::unique_ptr<regfile::RegKey> m_root;
    std::map<std::uintptr_t, regfile::RegKey*> m_handles;
    std::uintptr_t m_nextHandle = 0x1000;
    std::vector<std::unique_ptr<regfile::RegKey>> m_removed;  // open handles may still point here
    std::vector<std::unique_ptr<regfile::RegKey>> m_pending;  // out of the tree, not yet written
    bool m_inRepair = false;
    std::shared_ptr<RegBackup> m_backup;
    std::u16string m_lastError;
    ReadCondition m_readState;
};

}  // namespace quelvo::platform::files
