#include "regfile/RestorePlan.h"

#include "platform/Text.h"

#include <algorithm>
#include <iterator>
#include <unordered_set>

namespace quelvo::regfile {

using namespace platform;

namespace {

std::u16string Join(const std::vector<std::u16string>& parts)
{
    std::u16string out;
    for (const auto& part : parts) {
        if (!out.empty())
            out += u'\\';
        out += part;
    }
    return out;
}

// Matches the backup's tree against the target's. Keys missing from the
// target are planned in parents-first order; listed keys that exist are
// reported as kept.
class Planner {
public:
    Planner(const RegBackupContents& backup, RestoreResult* result)
        : m_result(result), m_listed(backup.keys.begin(), backup.keys.end())
    {
    }

    bool Plan(RegKey& backupRoot, RegKey& targetRoot, std::vector<NewKey>* add)
    {
        m_add = add;
        return Walk(backupRoot, &targetRoot, &targetRoot, 0);
    }

private:
    // `into`: the target's key matching `from`, if it has one; `deepest`:
    // the deepest of `from` and its ancestors the target has.
    bool Walk(RegKey& from, RegKey* into, RegKey* deepest, std::size_t depth)
    {
        for (const auto& child : from.Children()) {
            RegKey* existing = into ? into->Child(child->Name()) : nullptr;
            if (!existing && depth < 2) {
                m_result->error = u"The target has no " + ShownKeyPath(child->PathComponents())
                    + u", so the backup does not fit it; nothing was written.";
                return false;
            }
            if (existing && existing->isLink && !child->Children().empty()) {
                m_result->error = u"In the target, " + ShownKeyPath(existing->PathComponents())
                    + u" is a symbolic link; keys below it are not restored through it, so nothing was written.";
                return false;
            }
            if (existing) {
                if (depth >= 2 && m_listed.count(child.get()))
                    m_result->kept.push_back(ShownKeyPath(child->PathComponents()));
            } else {
                m_add->push_back({child.get(), deepest});
            }
            if (!Walk(*child, existing, existing ? existing : deepest, depth + 1))
                return false;
        }
        return true;
    }

    RestoreResult* m_result;
    std::unordered_set<const RegKey*> m_listed;
    std::vector<NewKey>* m_add = nullptr;
};

bool PathLess(const std::vector<std::u16string>& a, const std::vector<std::u16string>& b)
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](const std::u16string& x, const std::u16string& y) { return KeyNameLess(x, y); });
}


}  // namespace

std::u16string ShownKeyPath(const std::vector<std::u16string>& parts) { return u"HKEY_LOCAL_MACHINE\\" + Join(parts); }

std::u16string LowerKeyPath(const std::vector<std::u16string>& parts) { return ToLowerAscii(Join(parts)); }

std::vector<std::u16string> NewKey::Path() const
{
    std::vector<std::u16string> parts = existing->PathComponents();
    std::vector<std::u16string> shown = source->PathComponents();
    parts.insert(parts.end(), std::make_move_iterator(shown.begin() + static_cast<std::ptrdiff_t>(parts.size())),
                 std::make_move_iterator(shown.end()));
    return parts;
}

bool NewKey::UnderExisting() const
{
    const auto depth = [](const RegKey* key) {
        std::size_t n = 0;
        for (; key->Parent(); key = key->Parent())
            ++n;
        return n;
    };
    return depth(source) == depth(existing) + 1;
}

bool PlanRestore(const RegBackupContents& backup, RegKey& target, std::vector<NewKey>* add, RestoreResult* result)
{
    return Planner(backup, result).Plan(*backup.root, target, add);
}

bool SystemRegTextWithNewKeys(const SystemRegDocument& document, const std::vector<NewKey>& add,
                              long long unixSeconds, std::string* text, std::u16string* error)
{
    // The plan is in the registry's order, so one pass puts each new block
    // before the first block that sorts after it: a file in wineserver's
    // order stays in order, and every old byte stays as it was.
    std::size_t size = document.header.size();
    for (const SystemRegBlock& block : document.blocks)
        size += block.removed ? 0 : block.text.size();
    std::string out = document.header;
    out.reserve(size + add.size() * 64);
    std::size_t next = 0;  // the next old block
    const auto copyOldBlocks = [&](const std::vector<std::u16string>* before) {
        for (; next < document.blocks.size() && (!before || !PathLess(*before, document.blocks[next].path)); ++next) {
            if (!document.blocks[next].removed)
                out += document.blocks[next].text;
        }
    };
    for (const NewKey& key : add) {
        if (key.source->Values().empty() && !key.source->Children().empty())
            continue;  // exists through its sub-keys, as wineserver writes it
        const std::vector<std::u16string> path = key.Path();
        const std::string block = FormatKeyBlock(path, key.source->Values(), unixSeconds);
        // Read back before anything is written: the key with exactly the
        // backup's values. Old blocks keep their bytes, and a new block goes
        // only between two of them, so this is how wineserver reads it too.
        SystemRegDocument check;
        std::u16string parseError;
        if (!ParseSystemReg("WINE REGISTRY Version 2\n" + block, &check, &parseError) || check.blocks.size() != 1
            || check.blocks[0].path != path || check.blocks[0].values != key.source->Values()) {
            *error = u"The restored key " + ShownKeyPath(key.ShownPath())
                + u" would not read back as the backup holds it; nothing was written.";
            return false;
        }
        copyOldBlocks(&path);
        if (!out.empty() && out.back() != '\n')
            out += '\n';
        out += block;
    }
    copyOldBlocks(nullptr);
    *text = std::move(out);
    return true;
}

bool RestoreIntoSystemRegText(std::string_view bytes, const RegBackupContents& backup, long long unixSeconds,
                              std::string* text, RestoreResult* result)
{
    SystemRegDocument document;
    std::u16string parseError;
    if (!ParseSystemReg(bytes, &document, &parseError)) {
        result->error = u"The Wine registry cannot be read, " + parseError + u"; nothing was written.";
        return false;
    }
    RegKey target(u"", nullptr, nullptr);
    target.MarkLoaded();
    BuildTree(document, target);
    std::vector<NewKey> add;
    if (!PlanRestore(backup, target, &add, result)
        || !SystemRegTextWithNewKeys(document, add, unixSeconds, text, &result->error))
        return false;
    result->restored.reserve(add.size());
    for (const NewKey& key : add)
        result->restored.push_back(ShownKeyPath(key.ShownPath()));
    return true;
}

}  // namespace quelvo::regfile
