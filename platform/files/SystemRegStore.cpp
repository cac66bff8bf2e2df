#include "platform/files/SystemRegStore.h"

#include "platform/Text.h"
#include "platform/files/WineServer.h"

#include <algorithm>
#include <ctime>
#include <map>

namespace quelvo::platform::files {

std::unique_ptr<SystemRegStore> SystemRegStore::Open(const std::filesystem::path& file, std::u16string* error)
{
    std::string bytes;
    std::string readError;
    if (!ReadWholeFile(file, &bytes, &readError, {.maxBytes = kMaxRegistryFileBytes})) {
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

RegStatus SystemRegStore::CheckWritable(std::u16string* message)
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
    if (!ReadWholeFile(m_file, &onDisk, &readError, {.maxBytes = kMaxRegistryFileBytes})) {
        *message = u"Cannot read the Wine registry: " + FromUtf8(readError);
        return kWriteFault;
    }
    if (onDisk != m_document.Text()) {
        *message = where + u" changed on disk since it was read; scan again before repairing.";
        return kWriteFault;
    }
    return kSuccess;
}

RegStatus SystemRegStore::PersistRemovals(const std::vector<RegKey*>& removed, std::u16string* message)
{
    const std::u16string where = FromUtf8(m_file.string());
    std::vector<bool> dropped(m_document.blocks.size(), false);
    for (const RegKey* key : removed) {
        for (std::size_t index : key->blocks)
            dropped[index] = true;
    }

    // A key written only because of removed descendants would vanish with
    // them: give it a block of its own where the first of them stood.
    std::map<RegKey*, std::size_t> needsBlock;
    for (const RegKey* key : removed) {
        if (key->blocks.empty())
            continue;
        RegKey* alive = key->Parent();
        while (alive && alive->deleted)
            alive = alive->Parent();
        if (!alive || !alive->Parent() || !alive->blocks.empty() || !alive->Children().empty())
            continue;
        const std::size_t first = *std::min_element(key->blocks.begin(), key->blocks.end());
        auto [it, added] = needsBlock.try_emplace(alive, first);
        if (!added)
            it->second = std::min(it->second, first);
    }
    std::map<std::size_t, SystemRegBlock> newBlocks;
    const auto now = static_cast<long long>(std::time(nullptr));
    for (const auto& [key, slot] : needsBlock) {
        const std::string& old = m_document.blocks[slot].text;
        const std::size_t blank = old.find_first_not_of("\r\n");
        SystemRegBlock block;
        block.path = key->PathComponents();
        block.text = old.substr(0, blank == std::string::npos ? old.size() : blank) + FormatKeyHeader(block.path, now);
        newBlocks.emplace(slot, std::move(block));
    }

    std::string text = m_document.header;
    for (std::size_t i = 0; i < m_document.blocks.size(); ++i) {
        if (auto it = newBlocks.find(i); it != newBlocks.end())
            text += it->second.text;
        else if (!m_document.blocks[i].removed && !dropped[i])
            text += m_document.blocks[i].text;
    }

    std::string writeError;
    if (!ReplaceFile(m_file, text, &writeError, m_replaceHook)) {
        *message = u"Cannot rewrite " + where + u": " + FromUtf8(writeError);
        return kWriteFault;
    }
    for (std::size_t i = 0; i < dropped.size(); ++i) {
        if (dropped[i])
            m_document.blocks[i].removed = true;
    }
    for (RegKey* key : removed)
        key->blocks.clear();
    for (auto& [key, slot] : needsBlock) {
        m_document.blocks[slot] = std::move(newBlocks.at(slot));
        key->blocks.push_back(slot);
    }
    return kSuccess;
}

}  // namespace quelvo::platform::files
