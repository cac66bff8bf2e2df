#pragma once

// The registry store of an offline Windows installation: its SOFTWARE hive,
// read as Windows would load it and written through hivex.
// HKEY_LOCAL_MACHINE\SOFTWARE is the hive's root; nothing else exists under
// HKEY_LOCAL_MACHINE. Keys and values are read on demand.
//
// Reading. The hive and its transaction logs (<hive>.LOG1, .LOG2, .LOG, in
// any letter case) are opened once, read-only; nothing on the disk changes.
// The hive is copied into a private working copy (an anonymous memory file,
// which hivex maps for reading and copies only for a repair); a dirty hive
// (its last write unfinished) is recovered from its logs there, in place.
//
// | The hive                    | Read as                         | ReadState | Written |
// |-----------------------------|---------------------------------|-----------|---------|
// | clean                       | as it is                        | Complete  | yes     |
// | dirty, recovered            | recovered                       | Complete  | yes     |
// | dirty, not recoverable      | as it is (out of date)          | Stale     | never   |
// | not a hive, cut short,      | what can be read (maybe none)   | Damaged   | never   |
// | damaged                     |                                 |           |         |
//
// Damage met while keys are read (a list that hivex cannot follow, a
// sub-key cycle) turns ReadState to Damaged with the key's path.
//
// Writing. Before the first write the whole hive is checked structurally
// (every key, list and value; no cycle; nothing outside the hive), and a
// write is refused while Windows on the installation is hibernated
// (hiberfil.sys starting with "hibr"), while the disk is mounted read-only,
// and when the hive or a log changed on disk since it was read. A removal,
// or a repair batch of them, deletes the nodes in hivex's copy, which hivex
// commits into a private file; those bytes get a clean header (equal
// sequence numbers above every log entry's, right checksum), are checked
// again and replace the hive through ReplaceFile. A recovered hive's file
// and logs are first copied byte for byte beside the repair's backup. After
// any hivex error nothing is committed and hivex reopens the working copy.

#include "platform/files/FileIo.h"
#include "platform/files/TreeStore.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quelvo::platform::files {

// What a hiberfil.sys at an installation's root says.
enum class Hibernation { None, FilePresent, Hibernated };
Hibernation ReadHibernation(const std::filesystem::path& installationRoot);

class HiveStore final : public TreeStore, public RegTreeLoader {
public:
    struct Options {
        // The installation the hive belongs to (for hiberfil.sys); none: not checked.
        std::filesystem::path installationRoot;
        // Called once the recovered bytes of a dirty hive are complete in
        // private memory, before hivex reads them (and the last check of
        // their bins runs beside it): what recovery alone costs is timed by it.
        std::function<void()> recovered;
    };
    // Fails (with the reason) only when the file cannot be opened or read;
    // a hive that is damaged or cannot be recovered opens read-only.
    static std::unique_ptr<HiveStore> Open(const std::filesystem::path& file, std::u16string* error,
                                           const Options& options = {});
    ~HiveStore() override;

    const std::filesystem::path& File() const { return m_file; }
    void SetReplaceHook(ReplaceHook hook) { m_replaceHook = std::move(hook); }

    // The logs a dirty hive was recovered from, in the order applied (empty
    // for a hive read as it is).
    const std::vector<std::string>& RecoveredFrom() const { return m_recoveredFrom; }

protected:
    RegStatus CheckWritable(std::u16string* message) override;
    RegStatus PersistRemovals(const std::vector<RegKey*>& removed, std::u16string* message) override;

    // RegTreeLoader: reads a key's sub-keys and values from the hive.
    void LoadChildren(RegKey& key) override;
    void LoadValues(RegKey& key) override;

private:
    struct Source;  // a file read at open: descriptor and identity
    HiveStore();
    bool ReadAndRecover(std::u16string* error);
    bool Reopen(bool writable, std::u16string* error);
    // Opens the working copy read-only; true, or the hive marked damaged.
    bool OpenWorking(const std::u16string& where);
    bool OpenFailed(const std::u16string& where, const std::u16string& openError);
    void MarkDamaged(const std::u16string& text);
    void DamagedAt(const RegKey& key, const char16_t* what);
    RegStatus CheckStructureOnce(std::u16string* message);
    bool ChangedOnDisk() const;
    bool KeepCopies(std::u16string* message);
    std::uint32_t NextSequence(std::string_view written) const;

    std::filesystem::path m_file;
    Options m_options;
    std::unique_ptr<Source> m_hiveSource;
    std::vector<Source> m_logs;
    int m_working = -1;      // the private memory file with the hive as read (or last written)
    void* m_hive = nullptr;  // hive_h
    bool m_writable = false; // whether hivex holds its own copy, for changes
    std::string m_identity;  // of the file under its name, as read or last written
    bool m_recovered = false;
    std::vector<std::string> m_recoveredFrom;
    std::u16string m_refusal;  // why it is never written (stale or damaged), empty when it may be
    bool m_structureChecked = false;
    std::uint32_t m_sequenceFloor = 0;  // the hive's and its logs' highest sequence number
    ReplaceHook m_replaceHook;
};

// The hive as hivex commits it, in memory: hivex writes into a memory file of
// this process's own, never to a path in the target's folder; the bytes then
// go through ReplaceFile. False and a message.
bool CommitHiveToBytes(void* hive /* hive_h */, std::string* bytes, std::string* error);

// The two sequence numbers of a hive's base block, or false when the file
// is too short or not a hive.
bool ReadHiveSequenceNumbers(const std::filesystem::path& file, std::uint32_t* primary,
                             std::uint32_t* secondary);

}  // namespace quelvo::platform::files
