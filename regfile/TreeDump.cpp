#include "regfile/TreeDump.h"

#include "platform/Text.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace quelvo::regfile {

using namespace platform;

namespace {

std::string Hex(const std::uint8_t* data, std::size_t size)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(size * 2);
    for (std::size_t i = 0; i < size; ++i) {
        out += kDigits[data[i] >> 4];
        out += kDigits[data[i] & 15];
    }
    return out;
}

std::string ValueText(RegType type, const std::uint8_t* data, std::size_t size)
{
    return std::to_string(static_cast<unsigned>(type)) + ":" + Hex(data, size);
}

std::string Line(const std::u16string& path, const std::string& defaultValue)
{
    std::string line = ToUtf8(ToLowerAscii(path));
    if (!defaultValue.empty())
        line += " = " + defaultValue;
    return line + "\n";
}

// Deeper than any real tree; stops a link that points at its own ancestor.
constexpr int kMaxDumpDepth = 128;

void DumpStore(RegistryStore& store, const std::u16string& path, const std::u16string& shown, std::string& out,
               int depth = 0)
{
    if (depth > kMaxDumpDepth)
        return;
    RegHandle key{};
    if (store.OpenKey(HKEY_LOCAL_MACHINE, path, KEY_READ, &key) != kSuccess)
        return;
    std::string value;
    RegType type = RegType::None;
    std::uint32_t size = 0;
    if (store.QueryValue(key, u"", &type, nullptr, &size) == kSuccess) {
        std::vector<std::uint8_t> data(size);
        std::uint32_t got = size;
        store.QueryValue(key, u"", &type, data.data(), &got);
        value = ValueText(type, data.data(), std::min<std::size_t>(got, data.size()));
    }
    out += Line(shown, value);
    std::uint32_t count = 0;
    store.QueryInfoKey(key, &count, nullptr);
    std::vector<std::u16string> names;
    for (std::uint32_t i = 0; i < count; ++i) {
        char16_t name[256] = {};
        std::uint32_t length = 0;
        if (store.EnumKey(key, i, name, 256, &length) == kSuccess)
            names.emplace_back(name, length);
    }
    store.CloseKey(key);
    std::sort(names.begin(), names.end(), [](const auto& a, const auto& b) { return KeyNameLess(a, b); });
    for (const auto& name : names)
        DumpStore(store, path.empty() ? name : path + u'\\' + name, shown.empty() ? name : shown + u'\\' + name, out,
                  depth + 1);
}

void DumpTree(RegKey& key, const std::u16string& shown, bool allValues, std::string& out)
{
    std::string value;
    if (const RegValue* v = key.Value(u""))
        value = ValueText(v->type, v->data.data(), v->data.size());
    out += Line(shown, allValues ? std::string() : value);
    if (allValues) {
        std::vector<const RegValue*> values;
        for (const RegValue& v : key.Values())
            values.push_back(&v);
        std::sort(values.begin(), values.end(),
                  [](const RegValue* a, const RegValue* b) { return ToLowerAscii(a->name) < ToLowerAscii(b->name); });
        for (const RegValue* v : values)
            out += "  \"" + ToUtf8(v->name) + "\" = " + ValueText(v->type, v->data.data(), v->data.size()) + "\n";
    }
    for (const auto& child : key.Children())
        DumpTree(*child, shown.empty() ? child->Name() : shown + u'\\' + child->Name(), allValues, out);
}

}  // namespace

std::string DumpStoreTree(RegistryStore& store, std::u16string_view path)
{
    std::string out;
    const auto parts = SplitKeyPath(path);
    std::u16string joined;
    for (const auto& part : parts)
        joined += (joined.empty() ? u"" : u"\\") + part;
    DumpStore(store, joined, joined, out);
    return out;
}

std::string DumpKeyTree(RegKey& key)
{
    std::string out;
    DumpTree(key, key.Path(), false, out);
    return out;
}

std::string DumpKeyTreeWithValues(RegKey& key)
{
    std::string out;
    DumpTree(key, key.Path(), true, out);
    return out;
}

}  // namespace quelvo::regfile
