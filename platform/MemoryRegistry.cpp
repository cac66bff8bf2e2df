#include "platform/MemoryRegistry.h"

#include "platform/NameCase.h"
#include "platform/Text.h"

#include <algorithm>
#include <mutex>
#include <unordered_map>

namespace quelvo::platform {

namespace {

// Rights that write to or delete a key; a key marked as refusing full access
// refuses any open that asks for one of them.
constexpr std::uint32_t kWriteOrDeleteRights = 0x0002      // KEY_SET_VALUE
                                             | 0x0004      // KEY_CREATE_SUB_KEY
                                             | 0x0020      // KEY_CREATE_LINK
                                             | 0x00010000  // DELETE
                                             | 0x00040000  // WRITE_DAC
                                             | 0x00080000; // WRITE_OWNER

struct Value {
    std::u16string name;
    RegType type = RegType::None;
    std::vector<std::uint8_t> bytes;
};

struct Node {
    std::u16string name;     // as created
    std::u16string folded;   // upper-cased (NameCase), the sort and lookup key
    Node* parent = nullptr;  // null for the root and for removed keys
    bool refusesFullAccess = false;
    bool removed = false;
    // Sorted by folded name, so that enumeration by index is stable and
    // lookups are binary searches.
    std::vector<std::shared_ptr<Node>> children;
    std::vector<Value> values;

    std::vector<std::shared_ptr<Node>>::iterator LowerBound(std::u16string_view foldedName)
    {
        return std::lower_bound(children.begin(), children.end(), foldedName,
                                [](const std::shared_ptr<Node>& n, std::u16string_view key) {
                                    return n->folded < key;
                                });
    }

    Node* Child(std::u16string_view foldedName)
    {
        auto it = LowerBound(foldedName);
        return (it != children.end() && (*it)->folded == foldedName) ? it->get() : nullptr;
    }

    Value* FindValue(std::u16string_view valueName)
    {
        for (Value& v : values) {
            if (NamesEqual(v.name, valueName))
                return &v;
        }
        return nullptr;
    }
};

// Splits a key path into its names. A single trailing "\" is allowed; an
// empty name anywhere else (leading "\", "\\") makes the path invalid.
bool SplitPath(std::u16string_view path, std::vector<std::u16string_view>& names)
{
    names.clear();
    if (path.empty())
        return true;
    if (path.back() == u'\\')
        path.remove_suffix(1);
    std::size_t start = 0;
    for (;;) {
        std::size_t sep = path.find(u'\\', start);
        std::u16string_view name = path.substr(start, sep == std::u16string_view::npos ? sep : sep - start);
        if (name.empty())
            return false;
        names.push_back(name);
        if (sep == std::u16string_view::npos)
            return true;
        start = sep + 1;
    }
}

}  // namespace

struct MemoryRegistry::Impl {
    mutable std::mutex mutex;
    std::shared_ptr<Node> root = std::make_shared<Node>();
    std::unordered_map<std::uintptr_t, std::shared_ptr<Node>> handles;
    std::uintptr_t nextHandle = 1;
    std::u16string failure;

    Node* Find(std::u16string_view path) const
    {
        std::vector<std::u16string_view> names;
        if (!SplitPath(path, names))
            return nullptr;
        Node* node = root.get();
        for (std::u16string_view name : names) {
            node = node->Child(ToUpperName(name));
            if (!node)
                return nullptr;
        }
        return node;
    }

    // Creates missing keys along the path; null for an invalid path.
    Node* FindOrCreate(std::u16string_view path)
    {
        std::vector<std::u16string_view> names;
        if (!SplitPath(path, names))
            return nullptr;
        Node* node = root.get();
        for (std::u16string_view name : names) {
            std::u16string folded = ToUpperName(name);
            auto it = node->LowerBound(folded);
            if (it == node->children.end() || (*it)->folded != folded) {
                auto child = std::make_shared<Node>();
                child->name = std::u16string(name);
                child->folded = std::move(folded);
                child->parent = node;
                it = node->children.insert(it, std::move(child));
            }
            node = it->get();
        }
        return node;
    }

    // The key behind a handle; null (and *status set) when the handle is
    // unknown or its key was removed meanwhile.
    Node* FromHandle(RegHandle key, RegStatus* status) const
    {
        auto it = handles.find(static_cast<std::uintptr_t>(key));
        if (it == handles.end()) {
            *status = kInvalidHandle;
            return nullptr;
        }
        if (it->second->removed) {
            *status = kKeyDeleted;
            return nullptr;
        }
        *status = kSuccess;
        return it->second.get();
    }

    // Runs call on the key behind a handle, under the lock; the handle's
    // error when it no longer names a key.
    template <typename Call>
    RegStatus WithKey(RegHandle key, Call call)
    {
        std::lock_guard lock(mutex);
        RegStatus status;
        Node* node = FromHandle(key, &status);
        return node ? call(*node) : status;
    }
};

MemoryRegistry::MemoryRegistry() : d(std::make_unique<Impl>()) {}

MemoryRegistry::~MemoryRegistry() = default;

void MemoryRegistry::CreateKey(std::u16string_view path)
{
    std::lock_guard lock(d->mutex);
    d->FindOrCreate(path);
}

void MemoryRegistry::SetValue(std::u16string_view keyPath, std::u16string_view valueName, RegType type,
                              std::vector<std::uint8_t> bytes)
{
    std::lock_guard lock(d->mutex);
    Node* node = d->FindOrCreate(keyPath);
    if (!node)
        return;
    if (Value* existing = node->FindValue(valueName)) {
        existing->type = type;
        existing->bytes = std::move(bytes);
        return;
    }
    node->values.push_back(Value{std::u16string(valueName), type, std::move(bytes)});
}

void MemoryRegistry::SetString(std::u16string_view keyPath, std::u16string_view valueName,
                               std::u16string_view text)
{
    std::vector<std::uint8_t> bytes;
    bytes.reserve((text.size() + 1) * 2);
    for (char16_t c : text) {
        bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    bytes.push_back(0);
    bytes.push_back(0);
    SetValue(keyPath, valueName, RegType::Sz, std::move(bytes));
}

void MemoryRegistry::SetRefusesFullAccess(std::u16string_view keyPath, bool refuses)
{
    std::lock_guard lock(d->mutex);
    if (Node* node = d->FindOrCreate(keyPath))
        node->refusesFullAccess = refuses;
}

bool MemoryRegistry::HasKey(std::u16string_view path) const
{
    std::lock_guard lock(d->mutex);
    return d->Find(path) != nullptr;
}

RegStatus MemoryRegistry::OpenKey(RegRoot root, std::u16string_view path, std::uint32_t access,
                                  RegHandle* key)
{
    if (!key)
        return kInvalidParameter;
    *key = RegHandle::Invalid;
    if (root != RegRoot::LocalMachine)
        return kInvalidHandle;
    std::lock_guard lock(d->mutex);
    Node* node = d->Find(path);
    if (!node)
        return kFileNotFound;
    if (node->refusesFullAccess && (access & kWriteOrDeleteRights) != 0) {
        d->failure = u"HKEY_LOCAL_MACHINE\\" + std::u16string(path) + u" refuses full access.";
        return kAccessDenied;
    }
    std::uintptr_t id = d->nextHandle++;
    // The handle keeps the node alive, so a handle to a removed key stays safe.
    std::shared_ptr<Node> owner;
    if (node == d->root.get()) {
        owner = d->root;
    } else {
        auto it = node->parent->LowerBound(node->folded);
        owner = *it;
    }
    d->handles.emplace(id, std::move(owner));
    *key = static_cast<RegHandle>(id);
    return kSuccess;
}

RegStatus MemoryRegistry::QueryInfoKey(RegHandle key, std::uint32_t* subKeyCount,
                                       std::uint32_t* maxSubKeyNameLength)
{
    return d->WithKey(key, [&](Node& node) {
        if (subKeyCount)
            *subKeyCount = static_cast<std::uint32_t>(node.children.size());
        if (maxSubKeyNameLength) {
            std::size_t longest = 0;
            for (const auto& child : node.children)
                longest = std::max(longest, child->name.size());
            *maxSubKeyNameLength = static_cast<std::uint32_t>(longest);
        }
        return kSuccess;
    });
}

RegStatus MemoryRegistry::EnumKey(RegHandle key, std::uint32_t index, char16_t* name,
                                  std::uint32_t capacity, std::uint32_t* length)
{
    if (!name)
        return kInvalidParameter;
    return d->WithKey(key, [&](Node& node) {
        if (index >= node.children.size())
            return kNoMoreItems;
        const std::u16string& childName = node.children[index]->name;
        if (childName.size() + 1 > capacity)
            return kMoreData;
        std::copy(childName.begin(), childName.end(), name);
        name[childName.size()] = u'\0';
        if (length)
            *length = static_cast<std::uint32_t>(childName.size());
        return kSuccess;
    });
}

RegStatus MemoryRegistry::QueryValue(RegHandle key, std::u16string_view valueName, RegType* type,
                                     std::uint8_t* data, std::uint32_t* size)
{
    if (data && !size)
        return kInvalidParameter;
    return d->WithKey(key, [&](Node& node) {
        const Value* value = node.FindValue(valueName);
        if (!value)
            return kFileNotFound;
        if (type)
            *type = value->type;
        const auto valueSize = static_cast<std::uint32_t>(value->bytes.size());
        if (!data) {
            if (size)
                *size = valueSize;
            return kSuccess;
        }
        const std::uint32_t capacity = *size;
        *size = valueSize;
        std::copy_n(value->bytes.begin(), std::min(capacity, valueSize), data);
        return valueSize > capacity ? kMoreData : kSuccess;
    });
}

RegStatus MemoryRegistry::DeleteKey(RegRoot root, std::u16string_view path)
{
    std::lock_guard lock(d->mutex);
    if (root != RegRoot::LocalMachine) {
        d->failure = u"Only keys under HKEY_LOCAL_MACHINE can be removed.";
        return kInvalidHandle;
    }
    Node* node = d->Find(path);
    const std::u16string where = u"HKEY_LOCAL_MACHINE\\" + std::u16string(path);
    if (!node) {
        d->failure = where + u" does not exist.";
        return kFileNotFound;
    }
    if (node == d->root.get() || !node->children.empty() || node->refusesFullAccess) {
        d->failure = where
            + (node->refusesFullAccess ? u" refuses full access and was not removed."
                                       : u" still has sub-keys and was not removed.");
        return kAccessDenied;
    }
    d->failure.clear();
    Node* parent = node->parent;
    auto it = parent->LowerBound(node->folded);
    (*it)->removed = true;
    (*it)->parent = nullptr;
    parent->children.erase(it);
    return kSuccess;
}

std::u16string MemoryRegistry::FailureReason() const
{
    std::lock_guard lock(d->mutex);
    return d->failure;
}

RegStatus MemoryRegistry::CloseKey(RegHandle key)
{
    std::lock_guard lock(d->mutex);
    return d->handles.erase(static_cast<std::uintptr_t>(key)) ? kSuccess : kInvalidHandle;
}

}  // namespace quelvo::platform
