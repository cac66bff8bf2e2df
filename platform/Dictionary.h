#pragma once

// Hash dictionary keyed by UTF-16 text. Keys compare exactly (case included:
// ".mp3" and ".MP3" are different keys). Entries enumerate in insertion order,
// so every report built from a dictionary comes out the same on every run.
// Values are held by value; the dictionary frees them itself.
//
// | Operation       | Present key                      | Absent key            |
// |-----------------|----------------------------------|-----------------------|
// | Add(k, v)       | throws DuplicateKeyError         | appends (k, v)        |
// | TryAdd(k, v)    | returns false, keeps the old one | appends, returns true |
// | Find(k)         | pointer to the value             | nullptr               |
// | Contains(k)     | true                             | false                 |
//
// Pointers and references to values stay valid until Clear() or destruction.

#include "platform/Text.h"

#include <cstddef>
#include <deque>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace quelvo::platform {

class DuplicateKeyError : public std::logic_error {
public:
    explicit DuplicateKeyError(std::u16string_view key)
        : std::logic_error("Duplicate key \"" + ToUtf8(key) + "\": the dictionary already holds it")
    {
    }
};

template<typename Value>
class Dictionary {
public:
    struct Entry {
        const std::u16string key;
        Value value;
    };
    using const_iterator = typename std::deque<Entry>::const_iterator;
    using iterator = typename std::deque<Entry>::iterator;

    Dictionary() = default;
    // The index holds views into the entries, so a copy must rebuild it.
    Dictionary(const Dictionary& other) { CopyFrom(other); }
    Dictionary& operator=(const Dictionary& other)
    {
        if (this != &other) {
            Clear();
            CopyFrom(other);
        }
        return *this;
    }
    // Moving a deque keeps its elements in place, so the views stay valid.
    Dictionary(Dictionary&&) noexcept = default;
    Dictionary& operator=(Dictionary&&) noexcept = default;

    void Add(std::u16string_view key, Value value)
    {
        if (!TryAdd(key, std::move(value)))
            throw DuplicateKeyError(key);
    }

    bool TryAdd(std::u16string_view key, Value value)
    {
        if (m_index.find(key) != m_index.end())
            return false;
        m_entries.push_back(Entry{std::u16string(key), std::move(value)});
        m_index.emplace(std::u16string_view(m_entries.back().key), m_entries.size() - 1);
        return true;
    }

    bool Contains(std::u16string_view key) const { return m_index.find(key) != m_index.end(); }

    const Value* Find(std::u16string_view key) const
    {
        auto it = m_index.find(key);
        return it == m_index.end() ? nullptr : &m_entries[it->second].value;
    }

    Value* Find(std::u16string_view key)
    {
        auto it = m_index.find(key);
        return it == m_index.end() ? nullptr : &m_entries[it->second].value;
    }

    void Clear()
    {
        m_index.clear();
        m_entries.clear();
    }

    std::size_t Count() const { return m_entries.size(); }
    bool Empty() const { return m_entries.empty(); }

    const_iterator begin() const { return m_entries.begin(); }
    const_iterator end() const { return m_entries.end(); }
    // Keys are const; only values may be changed through iteration.
    iterator begin() { return m_entries.begin(); }
    iterator end() { return m_entries.end(); }

private:
    void CopyFrom(const Dictionary& other)
    {
        for (const Entry& e : other.m_entries)
            TryAdd(e.key, e.value);
    }

    std::deque<Entry> m_entries;
    std::unordered_map<std::u16string_view, std::size_t> m_index;
};

// Text to text: the scan results and the file type library.
using TextDictionary = Dictionary<std::u16string>;
// Text to an ordered list of texts: the classified results (group -> extensions).
using TextListDictionary = Dictionary<std::vector<std::u16string>>;

}  // namespace quelvo::platform
