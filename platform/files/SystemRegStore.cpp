#include "platform/files/SystemRegStore.h"

#include "platform/Text.h"
#include "platform/files/WineServer.h"

#include <algorithm>
#include <ctime>
#include <optional>

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
    if (onDisk != m_document.Text()) {
        *message = where + u" changed on disk since it was read; scan again before repairing.";
        return kWriteFault;
    }

    // A key written only because of this descendant would vanish with it:
    // give it a block of its own where the removed one stood.
    RegKey* parent = key.Parent();
    std::optional<SystemRegBlock> parentBlock;
    std::size_t slot = SIZE_MAX;
    if (parent && parent->Parent() && parent->blocks.empty() && parent->Children().size() == 1
        && !key.blocks.empty()) {
        slot = *std::min_element(key.blocks.begin(), key.blocks.end());
        const std::string& old = m_document.blocks[slot].text;
        const std::size_t blank = old.find_first_not_of("\r\n");
        parentBlock.emplace();
        parentBlock->path = parent->PathComponents();
        parentBlock->text = old.substr(0, blank == std::string::npos ? old.size() : blank)
            + FormatKeyHeader(parentBlock->path, static_cast<long long>(std::time(nullptr)));
    }

    std::string text = m_document.header;
    for (std::size_t i = 0; i < m_document.blocks.size(); ++i) {
        if (i == slot)
            text += parentBlock->text;
        else if (!m_document.blocks[i].removed
                 && std::find(key.blocks.begin(), key.blocks.end(), i) == key.blocks.end())
            text += m_document.blocks[i].text;
    }

    std::string writeError;
    if (!ReplaceFile(m_file, text, &writeError, m_replaceHook)) {
        *message = u"Cannot rewrite " + where + u": " + FromUtf8(writeError);
        return kWriteFault;
    }
    for (std::size_t index : key.blocks)
        m_document.blocks[index].removed = true;
    key.blocks.clear();
    if (parentBlock) {
        m_document.blocks[slot] = std::move(*parentBlock);
        parent->blocks.push_back(slot);
    }
    return kSuccess;
}

}  // namespace quelvo::platform::files
