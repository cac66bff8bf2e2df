#pragma once

// The key tree behind the file-backed registry stores: keys with their
// values, names compared as Windows compares them (NameCase.h) and kept in
// the case they were created with, sub-keys in that case-insensitive order. A
// backend may fill a key's sub-keys and values lazily (an offline hive is
// read on demand); `Loader` is asked the first time they are needed.

#include "platform/RegistryStore.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quelvo::regfile {

// Value types are the registry's own (RegistryStore.h).
using platform::RegType;

struct RegValue {
    std::u16string name;  // empty: the key's default value
    RegType type = RegType::None;
    std::vector<std::uint8_t> data;

    bool operator==(const RegValue&) const = default;
};

class RegKey;

// Fills a key's sub-keys (AddChild) or values (SetValue) on first use.
class RegTreeLoader {
public:
    virtual ~RegTreeLoader() = default;
    virtual void LoadChildren(RegKey& key) = 0;
    virtual void LoadValues(RegKey& key) = 0;
};

class RegKey {
public:
    RegKey(std::u16string name, RegKey* parent, RegTreeLoader* loader);

    const std::u16string& Name() const { return m_name; }
    RegKey* Parent() const { return m_parent; }

    // Sub-keys in case-insensitive sorted order.
    const std::vector<std::unique_ptr<RegKey>>& Children();
    RegKey* Child(std::u16string_view name);
    // Returns the existing sub-key when one of that name (any case) exists.
    RegKey& AddChild(std::u16string_view name);
    // Detaches a sub-key and hands it over (open handles may still point at it).
    std::unique_ptr<RegKey> TakeChild(RegKey& child);
    // Puts a key taken with TakeChild back in its place (a removal undone),
    // or makes it a sub-key here (a key moved from another tree).
    RegKey& AdoptChild(std::unique_ptr<RegKey> child);
    // The same for many at once, in one pass: `children` in sorted order,
    // none named as a sub-key here.
    void AdoptChildren(std::vector<std::unique_ptr<RegKey>> children);
    // Detaches the sub-keys `take` chooses, in order, in one pass.
    std::vector<std::unique_ptr<RegKey>> TakeChildren(const std::function<bool(const RegKey&)>& take);

    const std::vector<RegValue>& Values();
    const RegValue* Value(std::u16string_view name);
    // Replaces a value of the same name (any case).
    void SetValue(RegValue value);
    // Replaces every value at once (names must differ without regard to case).
    void ReplaceValues(std::vector<RegValue> values);

    // Path from the tree's root, components joined by "\".
    std::u16string Path() const;
    std::vector<std::u16string> PathComponents() const;

    // A symbolic link (Wine's "#link"); its target is the REG_LINK value
    // "SymbolicLinkValue".
    bool isLink = false;
    std::u16string className;
    // Backend bookkeeping: hive node, or the file blocks that describe the key.
    std::uint64_t backendId = 0;
    std::vector<std::size_t> blocks;
    bool deleted = false;

    // Marks lazily loaded parts as present (used while building).
    void MarkLoaded() { m_childrenLoaded = m_valuesLoaded = true; }

private:
    std::u16string m_name;
    RegKey* m_parent;
    RegTreeLoader* m_loader;
    bool m_childrenLoaded;
    bool m_valuesLoaded;
    std::vector<std::unique_ptr<RegKey>> m_children;
    std::vector<RegValue> m_values;
};

// Case-insensitive ordering of key names (NameLess), as enumeration uses.
bool KeyNameLess(std::u16string_view a, std::u16string_view b);

// Splits "A\B\\C\" into {"A","B","C"}: empty components are dropped, as the
// registry does for repeated and trailing separators.
std::vector<std::u16string> SplitKeyPath(std::u16string_view path);

// Walks every key below `key` depth first, parents before children.
void ForEachKey(RegKey& key, const std::function<void(RegKey&)>& visit);

}  // namespace quelvo::regfile
