#pragma once

// The registry store of a Wine prefix: its system.reg (keys relative to
// HKEY_LOCAL_MACHINE). A removal, or a repair batch of them, rewrites the
// file once through a new file in the same folder, flushed and renamed into
// place, so that every byte outside the removed keys stays as it was. It is
// refused while a wineserver runs for the prefix (the server would overwrite
// the file with its own copy) and when the file changed on disk since it was
// read.

#include "platform/files/FileIo.h"
#include "platform/files/SystemRegFile.h"
#include "platform/files/TreeStore.h"

#include <filesystem>
#include <functional>
#include <memory>

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
    RegStatus PersistRemovals(const std::vector<RegKey*>& removed, std::u16string* message) override;

private:
    SystemRegStore() = default;

    std::filesystem::path m_file;
    SystemRegDocument m_document;
    std::function<bool()> m_serverRunning;
    ReplaceHook m_replaceHook;
};

}  // namespace quelvo::platform::files
