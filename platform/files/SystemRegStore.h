#pragma once

// The registry store of a Wine prefix: its system.reg (keys relative to
// HKEY_LOCAL_MACHINE). A removal, or a repair batch of them, rewrites the
// file once through a new file in the same folder, flushed and renamed into
// place, so that every byte outside the removed keys stays as it was; an
// add-keys batch (a restore) the same way, each new key's block put where
// the file's sorted order puts it. A write is refused while a wineserver
// runs for the prefix (the server would overwrite the file with its own
// copy) and when the file changed on disk since it was read: the file under
// its name must be the one read, unchanged (the same file and times), or, as
// its owner reads it, hold the same bytes. Nothing is read again with more
// rights than the prefix's owner has.

#include "platform/files/FileIo.h"
#include "platform/files/TreeStore.h"
#include "regfile/SystemRegFile.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace quelvo::platform::files {

class SystemRegStore final : public TreeStore {
public:
    // Reads and parses the file; null and a message on failure.
    static std::unique_ptr<SystemRegStore> Open(const std::filesystem::path& file, std::u16string* error);

    const std::filesystem::path& File() const { return m_file; }

    // Test seams: the wineserver check (default: IsWineServerRunning on the
    // file's folder) and the steps of the file replacement.
    void SetServerCheck(std::function<bool()> check) { m_serverRunning = std::move(check); }
    void SetReplaceHook(ReplaceHook hook) { m_replaceHook = std::move(hook); }

protected:
    RegStatus CheckWritable(std::u16string* message) override;
    RegStatus PersistRemovals(const std::vector<regfile::RegKey*>& removed, std::u16string* message) override;
    RegStatus PersistAdditions(const std::vector<regfile::NewKey>& add, std::u16string* message) override;

private:
    SystemRegStore() = default;
    RegStatus CheckUnchanged(std::u16string* message);
    // The file's text as the document holds it (after an add-keys batch, as
    // it was written, until the document is read from it again).
    std::string Text() const;
    // After an add-keys batch the document is read again from the text
    // written, and the tree's keys find their blocks in it, before the next
    // write.
    bool EnsureDocument(std::u16string* message);
    RegStatus Replace(const std::string& text, std::u16string* message);

    std::filesystem::path m_file;
    regfile::SystemRegDocument m_document;
    std::string m_written;  // the text an add-keys batch wrote, while m_document is stale
    bool m_documentStale = false;
    std::optional<FileIdentity> m_identity;  // of the file as read or last written
    std::function<bool()> m_serverRunning;
    ReplaceHook m_replaceHook;
};

}  // namespace quelvo::platform::files
