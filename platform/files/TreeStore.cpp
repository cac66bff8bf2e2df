#include "platform/files/TreeStore.h"

#include "platform/NameCase.h"
#include "platform/Text.h"
#include "platform/files/RegBackup.h"

#include <algorithm>
#include <cstring>
#include <map>

namespace quelvo::platform::files {

using regfile::NewKey;
using regfile::RegKey;
using regfile::RegValue;
using regfile::SplitKeyPath;

namespace {
constexpr int kMaxLinkHops = 16;
constexpr std::u16string_view kMachinePrefix = u"\\Registry\\Machine";
}  // namespace

TreeStore::TreeStore() : m_root(std::make_unique<RegKey>(u"", nullptr, nullptr)) {}

TreeStore::~TreeStore() = default;

void TreeStore::ResetTree(std::unique_ptr<RegKey> root)
{
    std::lock_guard lock(m_mutex);
    m_handles.clear();
    m_root = std::move(root);
}

void TreeStore::SetBackup(std::shared_ptr<RegBackup> backup)
{
    std::lock_guard lock(m_mutex);
    m_backup = std::move(backup);
}

std::filesystem::path TreeStore::BackupFile() const
{
    std::lock_guard lock(m_mutex);
    return m_backup ? m_backup->File() : std::filesystem::path();
}

std::u16string TreeStore::FailureReason() const
{
    std::lock_guard lock(m_mutex);
    return m_lastError;
}

ReadCondition TreeStore::ReadState() const
{
    std::lock_guard lock(m_mutex);
    return m_readState;
}

void TreeStore::NoteReadState(ReadCondition condition)
{
    if (m_readState.kind != ReadCondition::Damaged)
        m_readState = std::move(condition);
}

RegStatus TreeStore::BeginRepair()
{
    std::lock_guard lock(m_mutex);
    if (m_inRepair)
        return kSuccess;
    std::u16string message;
    const RegStatus status = CheckWritable(&message);
    if (status != kSuccess) {
        m_lastError = message;
        return status;
    }
    m_lastError.clear();
    m_inRepair = true;
    return kSuccess;
}

RegStatus TreeStore::CommitRepair()
{
    std::lock_guard lock(m_mutex);
    if (!m_inRepair)
        return kSuccess;
    m_inRepair = false;
    if (m_pending.empty())
        return kSuccess;
    std::u16string message;
    RegStatus status = CheckWritable(&message);
    if (status == kSuccess && m_backup && !m_backup->Flush(&message))
        status = kWriteFault;  // no key goes without its backup on disk
    if (status != kSuccess) {
        m_lastError = message;
        PutBackPending();
        return status;
    }
    return CommitPending();
}

void TreeStore::PutBackPending()
{
    // Every key of the batch goes back, the last removed first; the backup
    // forgets them, since none was removed from the file.
    for (auto it = m_pending.rbegin(); it != m_pending.rend(); ++it) {
        (*it)->deleted = false;
        (*it)->Parent()->AdoptChild(std::move(*it));
    }
    m_pending.clear();
    if (m_backup)
        m_backup->DropUncommitted();
}

RegStatus TreeStore::CommitPending()
{
    std::vector<RegKey*> removed;
    removed.reserve(m_pending.size());
    for (const auto& key : m_pending)
        removed.push_back(key.get());
    std::u16string message;
    const RegStatus status = PersistRemovals(removed, &message);
    if (status != kSuccess) {
        m_lastError = message.empty() ? u"The registry file could not be written." : message;
        PutBackPending();
        return status;
    }
    if (m_backup)
        m_backup->MarkCommitted();
    m_lastError.clear();
    for (auto& key : m_pending)
        m_removed.push_back(std::move(key));
    m_pending.clear();
    return kSuccess;
}

std::u16string TreeStore::ChangedOnDiskMessage(const std::u16string& where)
{
    return where + u" changed on disk since it was read; nothing was written. Read it again (scan, or restore) first.";
}

RegStatus TreeStore::CheckAdditions(std::size_t /*count*/, std::u16string* /*message*/)
{
    return kSuccess;
}

namespace {

// The planned keys join the tree: each branch's first new key leaves the
// backup's tree for its place here, with everything below it, many keys of
// one parent at once (a restore may bring a million).
void MoveIntoTree(const std::vector<NewKey>& add)
{
    std::map<RegKey*, RegKey*> intoTarget;  // the backup's parent: the target's key it matches
    for (const NewKey& key : add) {
        if (key.UnderExisting())
            intoTarget.emplace(key.source->Parent(), key.existing);
    }
    for (const auto& [from, into] : intoTarget)
        into->AdoptChildren(from->TakeChildren([into = into](const RegKey& child) { return !into->Child(child.Name()); }));
}

}  // namespace

regfile::RestoreResult TreeStore::AddKeys(regfile::RegBackupContents& backup)
{
    std::lock_guard lock(m_mutex);
    regfile::RestoreResult result;
    const auto refused = [&](std::u16string message) {
        result.restored.clear();
        result.kept.clear();
        result.error = std::move(message);
        return std::move(result);
    };
    if (m_inRepair)
        return refused(u"A repair of this registry is under way; nothing was written.");
    std::u16string message;
    if (CheckWritable(&message) != kSuccess)
        return refused(message);
    std::vector<NewKey> add;
    if (!regfile::PlanRestore(backup, *m_root, &add, &result))
        return result;
    if (CheckAdditions(add.size(), &message) != kSuccess)
        return refused(message);
    if (add.empty())
        return result;  // every key exists: the file stays as it is
    if (PersistAdditions(add, &message) != kSuccess)
        return refused(message.empty() ? u"The registry file could not be written." : message);
    result.restored.reserve(add.size());
    for (const NewKey& key : add)
        result.restored.push_back(regfile::ShownKeyPath(key.ShownPath()));
    MoveIntoTree(add);
    m_lastError.clear();
    return result;
}

RegKey* TreeStore::Find(std::u16string_view path)
{
    return Resolve(path, 0);
}

RegKey* TreeStore::Resolve(std::u16string_view path, int hops, bool followLast, bool* throughLink)
{
    RegKey* key = m_root.get();
    const auto parts = SplitKeyPath(path);
    for (std::size_t i = 0; i < parts.size(); ++i) {
        key = key->Child(parts[i]);
        if (!key)
            return nullptr;
        if (!key->isLink || (!followLast && i + 1 == parts.size()))
            continue;
        if (throughLink)
            *throughLink = true;
        const RegValue* target = key->Value(u"SymbolicLinkValue");
        if (!target || target->type != RegType::Link || hops >= kMaxLinkHops)
            return nullptr;
        std::u16string text(reinterpret_cast<const char16_t*>(target->data.data()),
                            target->data.size() / 2);
        text = std::u16string(UpToNul(text));
        if (text.size() < kMachinePrefix.size()
            || !NamesEqual(std::u16string_view(text).substr(0, kMachinePrefix.size()),
                                      kMachinePrefix))
            return nullptr;
        std::u16string rest = text.substr(kMachinePrefix.size());
        for (std::size_t j = i + 1; j < parts.size(); ++j)
            rest += u'\\' + parts[j];
        return Resolve(rest, hops + 1, followLast, throughLink);
    }
    return key;
}

RegKey* TreeStore::KeyOf(RegHandle handle)
{
    auto it = m_handles.find(static_cast<std::uintptr_t>(handle));
    if (it == m_handles.end() || it->second->deleted)
        return nullptr;
    return it->second;
}

RegStatus TreeStore::OpenKey(RegRoot root, std::u16string_view path, std::uint32_t /*access*/,
                             RegHandle* key)
{
    if (!key)
        return kInvalidParameter;
    std::lock_guard lock(m_mutex);
    if (root != HKEY_LOCAL_MACHINE)
        return kInvalidHandle;
    RegKey* found = Resolve(path, 0);
    if (!found)
        return kFileNotFound;
    const std::uintptr_t handle = m_nextHandle++;
    m_handles.emplace(handle, found);
    *key = static_cast<RegHandle>(handle);
    return kSuccess;
}

RegStatus TreeStore::QueryInfoKey(RegHandle handle, std::uint32_t* subKeyCount,
                                  std::uint32_t* maxSubKeyNameLength)
{
    std::lock_guard lock(m_mutex);
    RegKey* key = KeyOf(handle);
    if (!key)
        return kInvalidHandle;
    const auto& children = key->Children();
    if (subKeyCount)
        *subKeyCount = static_cast<std::uint32_t>(children.size());
    if (maxSubKeyNameLength) {
        std::size_t longest = 0;
        for (const auto& child : children)
            longest = std::max(longest, child->Name().size());
        *maxSubKeyNameLength = static_cast<std::uint32_t>(longest);
    }
    return kSuccess;
}

RegStatus TreeStore::EnumKey(RegHandle handle, std::uint32_t index, char16_t* name,
                             std::uint32_t capacity, std::uint32_t* length)
{
    std::lock_guard lock(m_mutex);
    RegKey* key = KeyOf(handle);
    if (!key)
        return kInvalidHandle;
    const auto& children = key->Children();
    if (index >= children.size())
        return kNoMoreItems;
    const std::u16string& childName = children[index]->Name();
    if (!name || childName.size() + 1 > capacity)
        return kMoreData;
    std::copy(childName.begin(), childName.end(), name);
    name[childName.size()] = u'\0';
    if (length)
        *length = static_cast<std::uint32_t>(childName.size());
    return kSuccess;
}

RegStatus TreeStore::QueryValue(RegHandle handle, std::u16string_view valueName, RegType* type,
                                std::uint8_t* data, std::uint32_t* size)
{
    std::lock_guard lock(m_mutex);
    RegKey* key = KeyOf(handle);
    if (!key)
        return kInvalidHandle;
    const RegValue* value = key->Value(valueName);
    if (!value)
        return kFileNotFound;
    if (type)
        *type = value->type;
    const auto total = static_cast<std::uint32_t>(value->data.size());
    if (!data) {
        if (size)
            *size = total;
        return kSuccess;
    }
    if (!size)
        return kInvalidParameter;
    const std::uint32_t copied = std::min(*size, total);
    if (copied)
        std::memcpy(data, value->data.data(), copied);
    const bool fits = total <= *size;
    *size = total;
    return fits ? kSuccess : kMoreData;
}

RegStatus TreeStore::DeleteKey(RegRoot root, std::u16string_view path)
{
    std::lock_guard lock(m_mutex);
    if (root != HKEY_LOCAL_MACHINE) {
        m_lastError = u"Only keys under HKEY_LOCAL_MACHINE can be removed.";
        return kInvalidHandle;
    }
    const std::u16string where = u"HKEY_LOCAL_MACHINE\\" + std::u16string(path);
    bool throughLink = false;
    RegKey* key = Resolve(path, 0, false, &throughLink);
    if (!key) {
        m_lastError = where + u" does not exist.";
        return kFileNotFound;
    }
    if (!key->Parent()) {
        m_lastError = u"HKEY_LOCAL_MACHINE itself cannot be removed.";
        return kAccessDenied;
    }
    if (throughLink) {
        m_lastError = key->Path() + u" is reached through a symbolic link and was not removed.";
        return kAccessDenied;
    }
    if (!key->Children().empty()) {
        m_lastError = where + u" still has sub-keys and was not removed.";
        return kAccessDenied;
    }

    std::u16string message;
    if (!m_inRepair) {
        // A removal of its own: refuse before anything is written.
        const RegStatus status = CheckWritable(&message);
        if (status != kSuccess) {
            m_lastError = message;
            return status;
        }
    }
    if (m_backup) {
        // In a batch the backups are flushed once, before the commit.
        if (!(m_inRepair ? m_backup->Append(*key, &message) : m_backup->Export(*key, &message))) {
            m_lastError = message;
            return kWriteFault;
        }
    }
    key->deleted = true;
    m_pending.push_back(key->Parent()->TakeChild(*key));
    if (m_inRepair) {
        m_lastError.clear();
        return kSuccess;
    }
    return CommitPending();
}

RegStatus TreeStore::CloseKey(RegHandle handle)
{
    std::lock_guard lock(m_mutex);
    return m_handles.erase(static_cast<std::uintptr_t>(handle)) ? kSuccess : kInvalidHandle;
}

}  // namespace quelvo::platform::files
