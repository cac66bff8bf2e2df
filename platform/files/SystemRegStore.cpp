#include "platform/files/SystemRegStore.h"

#include "platform/Text.h"
#include "platform/files/WineServer.h"

#include <ctime>

namespace quelvo::platform::files {

std::unique_ptr<SystemRegStore> SystemRegStore::Open(const std::filesystem::path& file, std::u16string* error)
{
    std::string bytes;
    std::string readError;
    if (!ReadWholeFile(file, &bytes, &readError)) {
        *error = FromUtf8(readError);
        return nullptr;
    }
    std::unique_ptr<SystemRegStore> store(new SystemRegStore);
    std::u16string parseError;
    if (!ParseSystemReg(bytes, &store->m_document, &parseError)) {
        *error = FromUtf8(file.string()) + u", " + parseError;
        return nullptr;
    }
    store->m_file = file;
    const std::filesystem::path prefix = file.parent_path();
    store->m_serverRunning = [prefix] { return IsWineServerRunning(prefix); };
    BuildTree(store->m_document, store->Root());
    return store;
}

RegStatus SystemRegStore::PersistRemoval(RegKey& key, std::u16string* message)
{
    const std::u16string where = FromUtf8(m_file.string());
    if (m_serverRunning && m_serverRunning()) {
        *message = u"The Wine registry " + where
            + u" is in use: a wineserver is running for this prefix. Close its Wine programs "
              u"(or run \"wineserver -k\") and repair again.";
        return kAccessDenied;
    }
    std::string onDisk;
    std::string readError;
    if (!ReadWholeFile(m_file, &onDisk, &readError)) {
        *message = FromUtf8(readError);
        return kWriteFault;
    }
    SystemRegDocument next = m_document;
    if (onDisk != next.Text()) {
        *message = where + u" changed on disk since it was read; scan again before repairing.";
        return kWriteFault;
    }
    for (std::size_t index : key.blocks)
        next.blocks[index].removed = true;

    // A key written only because of this descendant would vanish with it:
    // give it a block of its own where the removed one stood.
    RegKey* parent = key.Parent();
    std::size_t parentBlock = SIZE_MAX;
    if (parent && parent->Parent() && parent->blocks.empty() && parent->Children().size() == 1) {
        std::size_t slot = SIZE_MAX;
        for (std::size_t index : key.blocks)
            slot = std::min(slot, index);
        if (slot == SIZE_MAX) {
            // An implicit key has no block to reuse; keep its parent alive at the end.
            slot = next.blocks.size();
            next.blocks.emplace_back();
            next.blocks.back().text = "\n";
        }
        SystemRegBlock& block = next.blocks[slot];
        const std::size_t blank = block.text.find_first_not_of("\r\n");
        block.text = block.text.substr(0, blank == std::string::npos ? block.text.size() : blank)
            + FormatKeyHeader(parent->PathComponents(), static_cast<long long>(std::time(nullptr)));
        block.path = parent->PathComponents();
        block.values.clear();
        block.link = false;
        block.className.clear();
        block.removed = false;
        parentBlock = slot;
    }

    std::string writeError;
    if (!ReplaceFile(m_file, next.Text(), &writeError, m_replaceHook)) {
        *message = u"Cannot rewrite " + where + u": " + FromUtf8(writeError);
        return kWriteFault;
    }
    m_document = std::move(next);
    key.blocks.clear();
    if (parentBlock != SIZE_MAX)
        parent->blocks.push_back(parentBlock);
    return kSuccess;
}

}  // namespace quelvo::platform::files
