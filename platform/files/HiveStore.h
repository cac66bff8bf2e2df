#pragma once

// The registry store of an offline Windows installation: its SOFTWARE hive,
// read and written through hivex. HKEY_LOCAL_MACHINE\SOFTWARE is the hive's
// root; nothing else exists under HKEY_LOCAL_MACHINE. Keys and values are
// read on demand.
//
// A removal, or a repair batch of them, deletes the nodes in hivex's
// in-memory copy and commits it once to a new file in the same folder, which
// is flushed and renamed over the hive.
// After any hivex error nothing is committed and the hive is reopened from
// the unchanged file. A hive whose two sequence numbers differ (a write that
// never finished) is refused for writing, and so is a file that changed on
// disk since it was opened.

#include "platform/files/FileIo.h"
#include "platform/files/TreeStore.h"

#include <filesystem>
#include <memory>

namespace quelvo::platform::files {

class HiveStore final : public TreeStore, public RegTreeLoader {
public:
    static std::unique_ptr<HiveStore> Open(const std::filesystem::path& file, std::u16string* error);
    ~HiveStore() override;

    const std::filesystem::path& File() const { return m_file; }
    void SetReplaceHook(ReplaceHook hook) { m_replaceHook = std::move(hook); }

protected:
    RegStatus CheckWritable(std::u16string* message) override;
    RegStatus PersistRemovals(const std::vector<RegKey*>& removed, std::u16string* message) override;

    // RegTreeLoader: reads a key's sub-keys and values from the hive.
    void LoadChildren(RegKey& key) override;
    void LoadValues(RegKey& key) override;

private:
    HiveStore() = default;
    bool Reopen(std::u16string* error);
    std::string FileIdentity() const;

    std::filesystem::path m_file;
    void* m_hive = nullptr;  // hive_h
    std::string m_identity;  // size, mtime and inode of the file as opened
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
