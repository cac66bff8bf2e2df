#pragma once

// The registry store of an offline Windows installation: its SOFTWARE hive,
// read as Windows would load it and written through hivex.
// HKEY_LOCAL_MACHINE\SOFTWARE is the hive's root; nothing else exists under
// HKEY_LOCAL_MACHINE. Keys and values are read on demand.
//
// Reading (HiveStore.cpp). The hive and its transaction logs (<hive>.LOG1,
// .LOG2, .LOG, in any letter case) are opened once, read-only; nothing on the
// disk changes. The hive is copied into a private working copy (an anonymous
// memory file, which hivex maps for reading and copies only for a write); a
// dirty hive (its last write unfinished) is recovered from its logs there,
// in place.
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
// Writing (HiveWrite.cpp). Before the first write the whole hive is checked
// structurally (every key, list and value; no cycle; nothing outside the
// hive), and a write is refused while Windows on the installation is
// hibernated (hiberfil.sys starting with "hibr"), while the disk is mounted
// read-only, and when the hive or a log changed on disk since it was read.
// A removal, a repair batch of them, or an add-keys batch (a restore,
// refused for a recovered hive and above kMaxHiveRestoreKeys keys) changes
// hivex's copy, which hivex commits into a private file; those bytes get a
// clean header (equal sequence numbers above every log entry's, right
// checksum), are checked again and replace the hive through ReplaceFile. The
// file on disk is never opened again: every write starts from the working
// copy of what was read and checked. A recovered hive's file and logs are
// first copied byte for byte beside the repair's backup. After any hivex
// error nothing is committed and hivex reopens the working copy.

#include "platform/FileDescriptor.h"
#include "platform/files/FileIo.h"
#include "platform/files/TreeStore.h"
#include "regfile/HiveRecovery.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace quelvo::platform::files {

// What a hiberfil.sys at an installation's root says.
enum class Hibernation { None, FilePresent, Hibernated };
Hibernation ReadHibernation(const std::filesystem::path& installationRoot);

// hivex rewrites a key's whole list of sub-keys for each key it adds, so a
// restore into a hive takes time and memory that grow with the square of the
// keys it adds (5,000 keys: about 20 s and 220 MiB). More are refused before
// anything is written.
inline constexpr std::size_t kMaxHiveRestoreKeys = 5000;

// A file of a hive, opened once: everything later reads it through `fd`.
struct HiveSource {
    std::string name;  // its file name, for messages and the copies
    std::filesystem::path path;
    FileDescriptor fd;
    struct stat opened {};

    // Opens a regular file for reading without touching it (not even its
    // access time where the rights allow); never waits on a pipe put there.
    bool Open(const std::filesystem::path& file, std::u16string* error);
    bool TooLarge() const;
    bool ReadAll(std::string* bytes) const;
    // Whether its content may have changed since it was opened.
    bool Changed() const;
};

// A hive and its logs, opened once.
struct HiveSources {
    HiveSource hive;
    std::vector<HiveSource> logs;  // in the order they apply: .LOG1, .LOG2, .LOG

    // False (with the reason) only when the hive itself cannot be opened; a
    // log that cannot be is left out.
    bool Open(const std::filesystem::path& hive, std::u16string* error);
};

// The hive as it is read: its working copy in private memory (recovered from
// the logs when the hive is dirty and that works), and what is known of it.
struct WorkingCopy {
    FileDescriptor fd;
    std::size_t size = 0;
    bool recovered = false;
    std::vector<std::string> recoveredFrom;  // the logs applied, in order
    // Why the file's own state is shown instead (out of date), or empty.
    std::u16string unrecoverable;
    // Damage found before hivex reads it (not a hive, cut short, broken bins).
    std::optional<regfile::hive::HiveProblem> damage;
    bool tooLarge = false;
    std::uint32_t sequenceFloor = 0;  // the hive's highest sequence number
};

// Reads the hive of `files` into its working copy, recovering it from its
// logs when it is dirty; the store's open does this first, and what
// recovery alone costs can be timed with it. False (with the reason) only
// when the files cannot be read.
bool ReadWorkingCopy(const HiveSources& files, WorkingCopy* copy, std::u16string* error);

class HiveStore final : public TreeStore, public regfile::RegTreeLoader {
public:
    struct Options {
        // The installation the hive belongs to (for hiberfil.sys); none: not checked.
        std::filesystem::path installationRoot;
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
    RegStatus PersistRemovals(const std::vector<regfile::RegKey*>& removed, std::u16string* message) override;
    RegStatus CheckAdditions(std::size_t count, std::u16string* message) override;
    RegStatus PersistAdditions(const std::vector<regfile::NewKey>& add, std::u16string* message) override;

    // RegTreeLoader: reads a key's sub-keys and values from the hive.
    void LoadChildren(regfile::RegKey& key) override;
    void LoadValues(regfile::RegKey& key) override;

private:
    HiveStore();
    // What ReadWorkingCopy found, taken over; then hivex opens the copy.
    void TakeWorkingCopy(WorkingCopy copy);
    bool Reopen(bool writable, std::u16string* error);
    // Opens the working copy read-only; true, or the hive marked damaged.
    bool OpenWorking(const std::u16string& where);
    bool OpenFailed(const std::u16string& where, const std::u16string& openError);
    void MarkDamaged(const std::u16string& text);
    void MarkStale(const std::u16string& reason);
    void DamagedAt(const regfile::RegKey& key, const char16_t* what);
    RegStatus CheckInstallation(std::u16string* message) const;
    RegStatus CheckStructureOnce(std::u16string* message);
    bool ChangedOnDisk() const;
    bool KeepCopies(std::u16string* message);
    std::uint32_t NextSequence(std::string_view written) const;
    // Adds one planned key and its values to hivex's copy; false with errno.
    bool AddNode(const regfile::NewKey& key, std::u16string* message);
    // Commits hivex's copy, cleans and checks it, replaces the hive with it
    // and makes it the working copy. On failure hivex reopens the working copy.
    RegStatus WriteBack(std::u16string* message);
    RegStatus Failed(RegStatus status);

    std::filesystem::path m_file;
    Options m_options;
    HiveSources m_sources;
    FileDescriptor m_working;  // the private memory file with the hive as read (or last written)
    void* m_hive = nullptr;    // hive_h
    bool m_writable = false;   // whether hivex holds its own copy, for changes
    std::optional<FileIdentity> m_identity;  // of the file under its name, as read or last written
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

}  // namespace quelvo::platform::files
