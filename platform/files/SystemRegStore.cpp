#include "platform/files/SystemRegStore.h"

#include "platform/Text.h"
#include "platform/files/WineServer.h"
#include "regfile/RestorePlan.h"

#include <algorithm>
#include <ctime>
#include <map>

namespace quelvo::platform::files {

using regfile::NewKey;
using regfile::RegKey;
using regfile::SystemRegBlock;

std::unique_ptr<SystemRegStore> SystemRegStore::Open(const std::filesystem::path& file, std::u16string* error)
{
    std::string bytes;
    std::string readError;
    FileIdentity identity;
    if (!ReadWholeFile(file, &bytes, &readError, {.maxBytes = regfile::kMaxRegistryFileBytes}, &identity)) {
        *error = FromUtf8(readError);
        return nullptr;
    }
    std::unique_ptr<SystemRegStore> store(new SystemRegStore);
    std::u16string parseError;
    if (!regfile::ParseSystemReg(bytes, &store->m_document, &parseError)) {
        *error = FromUtf8(file.string()) + u", " + parseError;
        return nullptr;
    }
    store->m_file = file;
    store->m_identity = identity;
    const std::filesystem::path prefix = file.parent_path();
    store->m_serverRunning = [prefix] { return IsWineServerRunning(prefix); };
    regfile::BuildTree(store->m_document, store->Root());
    return store;
}

std::string SystemRegStore::Text() const { return m_documentStale ? m_written : m_document.Text(); }

RegStatus SystemRegStore::CheckUnchanged(std::u16string* message)
{
    const std::u16string where = FromUtf8(m_file.string());
    if (m_identity && IdentityOf(m_file) == m_identity)
        return kSuccess;
    // Another file under the name, or this one written to: read as the
    // prefix's owner reads it, it is still ours when it holds the same bytes.
    std::string onDisk, readError;
    FileIdentity identity;
    bool read = false;
    {
        AsOwner as(WriterOf(m_file));
        read = as.Ok()
            && ReadWholeFile(m_file, &onDisk, &readError, {.maxBytes = regfile::kMaxRegistryFileBytes}, &identity);
    }
    if (!read) {
        *message = u"Cannot read the Wine registry: " + FromUtf8(readError);
        return kWriteFault;
    }
    if (onDisk != Text()) {
        *message = ChangedOnDiskMessage(where);
        return kWriteFault;
    }
    m_identity = identity;
    return kSuccess;
}

bool SystemRegStore::EnsureDocument(std::u16string* message)
{
    if (!m_documentStale)
        return true;
    regfile::SystemRegDocument document;
    std::u16string parseError;
    if (!regfile::ParseSystemReg(m_written, &document, &parseError)) {
        *message = u"The Wine registry " + FromUtf8(m_file.string()) + u" cannot be read again, " + parseError
            + u"; nothing was written.";
        return false;
    }
    m_document = std::move(document);
    std::string().swap(m_written);
    m_documentStale = false;
    regfile::ForEachKey(Root(), [](RegKey& key) { key.blocks.clear(); });
    regfile::BuildTree(m_document, Root());
    return true;
}

RegStatus SystemRegStore::CheckWritable(std::u16string* message)
{
    if (m_serverRunning && m_serverRunning()) {
        *message = u"The Wine registry " + FromUtf8(m_file.string())
            + u" is in use: a wineserver is running for this prefix. Close its Wine programs "
              u"(or run \"wineserver -k\") and try again; nothing was written.";
        return kAccessDenied;
    }
    if (const RegStatus status = CheckUnchanged(message); status != kSuccess)
        return status;
    return EnsureDocument(message) ? kSuccess : kWriteFault;
}

RegStatus SystemRegStore::Replace(const std::string& text, std::u16string* message)
{
    std::string writeError;
    FileIdentity placed;
    if (!ReplaceFile(m_file, text, &writeError, m_replaceHook, {m_identity, &placed})) {
        *message = u"Cannot rewrite " + FromUtf8(m_file.string()) + u": " + FromUtf8(writeError) + u"; it is unchanged.";
        return kWriteFault;
    }
    m_identity = placed;
    return kSuccess;
}

RegStatus SystemRegStore::PersistRemovals(const std::vector<RegKey*>& removed, std::u16string* message)
{
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
        block.text =
            old.substr(0, blank == std::string::npos ? old.size() : blank) + regfile::FormatKeyHeader(block.path, now);
        newBlocks.emplace(slot, std::move(block));
    }

    std::string text = m_document.header;
    for (std::size_t i = 0; i < m_document.blocks.size(); ++i) {
        if (auto it = newBlocks.find(i); it != newBlocks.end())
            text += it->second.text;
        else if (!m_document.blocks[i].removed && !dropped[i])
            text += m_document.blocks[i].text;
    }
    if (const RegStatus status = Replace(text, message); status != kSuccess)
        return status;
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

RegStatus SystemRegStore::PersistAdditions(const std::vector<NewKey>& add, std::u16string* message)
{
    std::string text;
    if (!regfile::SystemRegTextWithNewKeys(m_document, add, static_cast<long long>(std::time(nullptr)), &text,
                                           message))
        return kWriteFault;
    if (const RegStatus status = Replace(text, message); status != kSuccess)
        return status;
    // The new keys' blocks are found again in this text before the next write.
    m_written = std::move(text);
    m_documentStale = true;
    m_document = {};
    return kSuccess;
}

}  // namespace quelvo::platform::files
