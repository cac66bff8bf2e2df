#pragma once

// The ordered markup strings behind a list box's Items and a label's
// HTMLText. The owning widget learns of every change through a hook.

#include <QString>

#include <functional>
#include <string>
#include <vector>

namespace quelvo::markup {

class TMarkupStrings {
public:
    enum class Change { Cleared, Added, Replaced, Removed, Reordered };
    // Called after each change with its kind and the index it touched (-1 for Cleared and Reordered).
    using Hook = std::function<void(Change, int)>;

    void Clear();
    // Appends s (or, when sorted, inserts it in order); returns its index.
    int Add(const QString& s);
    int Add(std::u16string s);
    // Inserts s before index (0..Count()).
    void Insert(int index, std::u16string s);
    void Delete(int index);
    int Count() const { return static_cast<int>(m_strings.size()); }

    // Item i; out-of-range reads give an empty string.
    QString operator[](int index) const;
    const std::u16string& Text(int index) const;
    // Replaces item i's text; out-of-range indexes are ignored.
    void Set(int index, const QString& s);
    void Set(int index, std::u16string s);

    // All lines joined by one space.
    std::u16string Joined() const;

    // Sorted: ascending, ASCII letters compared without case; equal strings
    // keep the order they were added in. Turning it on sorts the strings.
    bool Sorted() const { return m_sorted; }
    void SetSorted(bool on);

    void SetHook(Hook hook) { m_hook = std::move(hook); }

private:
    void Notify(Change change, int index);
    std::vector<std::u16string> m_strings;
    Hook m_hook;
    bool m_sorted = false;
};

}  // namespace quelvo::markup
