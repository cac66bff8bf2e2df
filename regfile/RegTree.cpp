#include "regfile/RegTree.h"

#include "platform/NameCase.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace quelvo::regfile {

using namespace platform;

bool KeyNameLess(std::u16string_view a, std::u16string_view b)
{
    return NameLess(a, b);
}

std::vector<std::u16string> SplitKeyPath(std::u16string_view path)
{
    std::vector<std::u16string> parts;
    std::size_t pos = 0;
    while (pos <= path.size()) {
        std::size_t next = path.find(u'\\', pos);
        if (next == std::u16string_view::npos)
            next = path.size();
        if (next > pos)
            parts.emplace_back(path.substr(pos, next - pos));
        pos = next + 1;
    }
    return parts;
}

RegKey::RegKey(std::u16string name, RegKey* parent, RegTreeLoader* loader)
    : m_name(std::move(name)), m_parent(parent), m_loader(loader),
      m_childrenLoaded(loader == nullptr), m_valuesLoaded(loader == nullptr)
{
}

const std::vector<std::unique_ptr<RegKey>>& RegKey::Children()
{
    if (!m_childrenLoaded) {
        m_childrenLoaded = true;
        m_loader->LoadChildren(*this);
    }
    return m_children;
}

RegKey* RegKey::Child(std::u16string_view name)
{
    const auto& children = Children();
    auto it = std::lower_bound(children.begin(), children.end(), name,
                               [](const std::unique_ptr<RegKey>& k, std::u16string_view n) {
                                   return KeyNameLess(k->Name(), n);
                               });
    if (it != children.end() && NamesEqual((*it)->Name(), name))
        return it->get();
    return nullptr;
}

RegKey& RegKey::AddChild(std::u16string_view name)
{
    // Loaders call this while m_childrenLoaded is already set, so no recursion.
    Children();
    // Files list keys in order, mostly: those go at the end at once.
    if (m_children.empty() || NameLess(m_children.back()->Name(), name)) {
        m_children.push_back(std::make_unique<RegKey>(std::u16string(name), this, m_loader));
        return *m_children.back();
    }
    auto it = std::lower_bound(m_children.begin(), m_children.end(), name,
                               [](const std::unique_ptr<RegKey>& k, std::u16string_view n) {
                                   return KeyNameLess(k->Name(), n);
                               });
    if (it != m_children.end() && NamesEqual((*it)->Name(), name))
        return **it;
    it = m_children.insert(it, std::make_unique<RegKey>(std::u16string(name), this, m_loader));
    return **it;
}

std::unique_ptr<RegKey> RegKey::TakeChild(RegKey& child)
{
    for (auto it = m_children.begin(); it != m_children.end(); ++it) {
        if (it->get() == &child) {
            std::unique_ptr<RegKey> taken = std::move(*it);
            m_children.erase(it);
            return taken;
        }
    }
    return nullptr;
}

RegKey& RegKey::AdoptChild(std::unique_ptr<RegKey> child)
{
    Children();
    child->m_parent = this;
    auto it = std::lower_bound(m_children.begin(), m_children.end(), child->Name(),
                               [](const std::unique_ptr<RegKey>& k, std::u16string_view n) {
                                   return KeyNameLess(k->Name(), n);
                               });
    return **m_children.insert(it, std::move(child));
}

void RegKey::AdoptChildren(std::vector<std::unique_ptr<RegKey>> children)
{
    Children();
    for (auto& child : children)
        child->m_parent = this;
    // In the place of the larger list: a restore may bring a million keys to
    // a key that has a few hundred.
    const auto middle = std::ptrdiff_t(children.size());
    children.insert(children.end(), std::make_move_iterator(m_children.begin()),
                    std::make_move_iterator(m_children.end()));
    std::inplace_merge(children.begin(), children.begin() + middle, children.end(),
                       [](const std::unique_ptr<RegKey>& a, const std::unique_ptr<RegKey>& b) {
                           return KeyNameLess(a->Name(), b->Name());
                       });
    m_children = std::move(children);
}

std::vector<std::unique_ptr<RegKey>> RegKey::TakeChildren(const std::function<bool(const RegKey&)>& take)
{
    Children();
    const auto taken = std::size_t(std::count_if(m_children.begin(), m_children.end(),
                                                 [&](const std::unique_ptr<RegKey>& child) { return take(*child); }));
    if (taken == m_children.size())
        return std::exchange(m_children, {});
    std::vector<std::unique_ptr<RegKey>> out, kept;
    out.reserve(taken);
    kept.reserve(m_children.size() - taken);
    for (auto& child : m_children)
        (take(*child) ? out : kept).push_back(std::move(child));
    m_children = std::move(kept);
    return out;
}

const std::vector<RegValue>& RegKey::Values()
{
    if (!m_valuesLoaded) {
        m_valuesLoaded = true;
        m_loader->LoadValues(*this);
    }
    return m_values;
}

const RegValue* RegKey::Value(std::u16string_view name)
{
    for (const RegValue& v : Values()) {
        if (NamesEqual(v.name, name))
            return &v;
    }
    return nullptr;
}

void RegKey::SetValue(RegValue value)
{
    Values();
    for (RegValue& v : m_values) {
        if (NamesEqual(v.name, value.name)) {
            v = std::move(value);
            return;
        }
    }
    m_values.push_back(std::move(value));
}

void RegKey::ReplaceValues(std::vector<RegValue> values)
{
    m_valuesLoaded = true;
    m_values = std::move(values);
}

std::vector<std::u16string> RegKey::PathComponents() const
{
    std::vector<std::u16string> parts;
    for (const RegKey* k = this; k && k->m_parent; k = k->m_parent)
        parts.push_back(k->m_name);
    std::reverse(parts.begin(), parts.end());
    return parts;
}

std::u16string RegKey::Path() const
{
    std::u16string path;
    for (const auto& part : PathComponents()) {
        if (!path.empty())
            path += u'\\';
        path += part;
    }
    return path;
}

void ForEachKey(RegKey& key, const std::function<void(RegKey&)>& visit)
{
    visit(key);
    for (const auto& child : key.Children())
        ForEachKey(*child, visit);
}

}  // namespace quelvo::regfile
