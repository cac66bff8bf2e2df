#include "frontend/qt/markup/MarkupStrings.h"

#include "platform/Text.h"

#include <algorithm>

namespace quelvo::markup {

namespace {
const std::u16string kEmpty;

bool LessIgnoringCase(const std::u16string& a, const std::u16string& b) {
    return platform::ToUpperAscii(a) < platform::ToUpperAscii(b);
}
}  // namespace

void TMarkupStrings::Clear() {
    m_strings.clear();
    Notify(Change::Cleared, -1);
}

int TMarkupStrings::Add(const QString& s) { return Add(s.toStdU16String()); }

int TMarkupStrings::Add(std::u16string s) {
    auto at = m_strings.end();
    if (m_sorted) at = std::upper_bound(m_strings.begin(), m_strings.end(), s, LessIgnoringCase);
    const int index = static_cast<int>(at - m_strings.begin());
    m_strings.insert(at, std::move(s));
    Notify(Change::Added, index);
    return index;
}

void TMarkupStrings::SetSorted(bool on) {
    if (on == m_sorted) return;
    m_sorted = on;
    if (!on) return;
    std::stable_sort(m_strings.begin(), m_strings.end(), LessIgnoringCase);
    Notify(Change::Reordered, -1);
}

void TMarkupStrings::Insert(int index, std::u16string s) {
    if (index < 0 || index > Count()) return;
    m_strings.insert(m_strings.begin() + index, std::move(s));
    Notify(Change::Added, index);
}

void TMarkupStrings::Delete(int index) {
    if (index < 0 || index >= Count()) return;
    m_strings.erase(m_strings.begin() + index);
    Notify(Change::Removed, index);
}

QString TMarkupStrings::operator[](int index) const { return QString::fromStdU16String(Text(index)); }

const std::u16string& TMarkupStrings::Text(int index) const {
    if (index < 0 || index >= Count()) return kEmpty;
    return m_strings[static_cast<std::size_t>(index)];
}

void TMarkupStrings::Set(int index, const QString& s) { Set(index, s.toStdU16String()); }

void TMarkupStrings::Set(int index, std::u16string s) {
    if (index < 0 || index >= Count()) return;
    m_strings[static_cast<std::size_t>(index)] = std::move(s);
    Notify(Change::Replaced, index);
}

std::u16string TMarkupStrings::Joined() const {
    std::u16string joined;
    for (std::size_t i = 0; i < m_strings.size(); ++i) {
        if (i) joined += u' ';
        joined += m_strings[i];
    }
    return joined;
}

void TMarkupStrings::Notify(Change change, int index) {
    if (m_hook) m_hook(change, index);
}

}  // namespace quelvo::markup
