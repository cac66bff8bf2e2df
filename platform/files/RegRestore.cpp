#include "platform/files/RegRestore.h"

#include "platform/Text.h"
#include "platform/files/FileTargets.h"
#include "platform/files/HiveStore.h"
#include "platform/files/RestorePlan.h"
#include "platform/files/SystemRegStore.h"
#include "platform/files/WineServer.h"

#include <hivex.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <unordered_set>
#include <sys/stat.h>

namespace quelvo::platform::files {

using namespace restore;

namespace {

namespace fs = std::filesystem;

std::u16string PathOf(const fs::path& p) { return FromUtf8(p.string()); }

std::u16string ErrnoText() { return FromUtf8(std::strerror(errno)); }

}  // namespace

RestoreResult RestoreIntoWinePrefix(const fs::path& systemReg, const RegBackupContents& backup,
                                    const RestoreOptions& options)
{
    RestoreResult result;
    const std::u16string where = PathOf(systemReg);
    const fs::path prefix = systemReg.parent_path();
    const bool running = options.serverRunning ? options.serverRunning() : IsWineServerRunning(prefix);
    if (running) {
        result.error = u"The Wine registry " + where
            + u" is in use: a wineserver is running for this prefix. Close its Wine programs (or run "
              u"\"wineserver -k\") and restore again; nothing was written.";
        return result;
    }
    std::string bytes, readError;
    if (!ReadWholeFile(systemReg, &bytes, &readError, {.maxBytes = kMaxRegistryFileBytes})) {
        result.error = FromUtf8(readError) + u"; nothing was written.";
        return result;
    }
    std::string text;
    if (!RestoreIntoSystemRegText(bytes, backup, static_cast<long long>(std::time(nullptr)), &text, &result))
        return result;
    if (result.restored.empty())
        return result;  // every key exists: the file stays as it is

    std::string again;
    if (!ReadWholeFile(systemReg, &again, &readError, {.maxBytes = kMaxRegistryFileBytes}) || again != bytes) {
        result.restored.clear();
        result.error = where + u" changed on disk while it was read; nothing was written. Restore again.";
        return result;
    }
    std::string writeError;
    if (!ReplaceFile(systemReg, text, &writeError, options.replaceHook)) {
        result.restored.clear();
        result.error = u"Cannot rewrite " + where + u": " + FromUtf8(writeError) + u"; it is unchanged.";
    }
    return result;
}

RestoreResult RestoreIntoHive(const fs::path& hiveFile, const RegBackupContents& backup, const ReplaceHook& replaceHook)
{
    RestoreResult result;
    const std::u16string where = PathOf(hiveFile);
    std::uint32_t primary = 0, secondary = 0;
    if (!ReadHiveSequenceNumbers(hiveFile, &primary, &secondary)) {
        result.error = where + u" is not a registry hive; nothing was written.";
        return result;
    }
    std::u16string openError;
    auto store = HiveStore::Open(hiveFile, &openError);
    if (!store) {
        result.error = openError;
        return result;
    }
    // A dirty hive (also one whose header only is broken) holds its newest
    // state in its logs, which a restore through hivex would lose.
    if (primary != secondary || !store->RecoveredFrom().empty()) {
        result.error = u"The registry hive " + where
            + u" was not saved completely (its sequence numbers differ); it is not changed. Let Windows start "
              u"once to recover it.";
        return result;
    }
    std::vector<NewKey> add;
    if (!PlanRestore(backup, store->Root(), &add, &result))
        return result;
    if (add.empty())
        return result;
    if (add.size() > kMaxHiveRestoreKeys) {
        result.kept.clear();
        result.error = u"The backup would add " + IntToText(static_cast<long long>(add.size()))
            + u" keys to the hive " + where + u"; a restore into a hive adds at most "
            + IntToText(static_cast<long long>(kMaxHiveRestoreKeys)) + u". Nothing was written.";
        return result;
    }
    // The checks of a repair's write: a damaged hive is never written.
    if (store->BeginRepair() != kSuccess) {
        result.error = store->FailureReason();
        return result;
    }
    store->CommitRepair();

    hive_h* h = hivex_open(hiveFile.c_str(), HIVEX_OPEN_WRITE);
    if (!h) {
        result.error = u"Cannot open the registry hive " + where + u": " + ErrnoText();
        return result;
    }
    struct Closer {
        hive_h* h;
        ~Closer() { hivex_close(h); }
    } closer{h};

    // Parents come before their sub-keys in the plan; each node made is
    // remembered for the keys below it. The hive's root is SOFTWARE.
    std::map<std::u16string, hive_node_h> made;
    auto nodeOf = [&](const std::vector<std::u16string>& path) -> hive_node_h {
        std::vector<std::u16string> prefix;
        hive_node_h node = hivex_root(h);
        for (std::size_t i = 1; i < path.size() && node; ++i) {
            prefix.assign(path.begin(), path.begin() + static_cast<std::ptrdiff_t>(i + 1));
            auto it = made.find(LowerKeyPath(prefix));
            node = it != made.end() ? it->second : hivex_node_get_child(h, node, ToUtf8(path[i]).c_str());
        }
        return node;
    };
    for (const NewKey& key : add) {
        const std::vector<std::u16string> path = key.Path();
        const std::u16string shown = ShownKeyPath(key.ShownPath());
        for (const auto& part : path) {
            if (part.find(u'\0') != std::u16string::npos) {
                result.error = u"The key " + shown + u" has a name a hive cannot hold; nothing was written.";
                return result;
            }
        }
        std::vector<std::u16string> parentPath(path.begin(), path.end() - 1);
        const hive_node_h parent = nodeOf(parentPath);
        const hive_node_h node = parent ? hivex_node_add_child(h, parent, ToUtf8(path.back()).c_str()) : 0;
        if (!node) {
            result.error = u"Cannot add " + shown + u" to the hive " + where + u": " + ErrnoText()
                + u"; nothing was written.";
            return result;
        }
        made[LowerKeyPath(path)] = node;

        std::vector<std::string> names;
        std::vector<hive_set_value> values;
        names.reserve(key.source->Values().size());
        for (const RegValue& v : key.source->Values()) {
            if (v.name.find(u'\0') != std::u16string::npos) {
                result.error = u"A value of " + shown + u" has a name a hive cannot hold; nothing was written.";
                return result;
            }
            names.push_back(ToUtf8(v.name));
        }
        for (std::size_t i = 0; i < names.size(); ++i) {
            const RegValue& v = key.source->Values()[i];
            values.push_back({names[i].data(), static_cast<hive_type>(v.type), v.data.size(),
                              reinterpret_cast<char*>(const_cast<std::uint8_t*>(v.data.data()))});
        }
        if (!values.empty() && hivex_node_set_values(h, node, values.size(), values.data(), 0) != 0) {
            result.error = u"The values of " + shown + u" do not fit the hive " + where + u": "
                + ErrnoText() + u"; nothing was written.";
            return result;
        }
    }

    std::string bytes, writeError;
    const bool written = CommitHiveToBytes(h, &bytes, &writeError) && ReplaceFile(hiveFile, bytes, &writeError, replaceHook);
    if (!written) {
        result.error = u"Cannot rewrite " + where + u": " + FromUtf8(writeError) + u"; it is unchanged.";
        return result;
    }
    for (const NewKey& key : add)
        result.restored.push_back(ShownKeyPath(key.ShownPath()));
    return result;
}

RestoreResult RestoreIntoTarget(FileTarget& target, const RegBackupContents& backup)
{
    TreeStore& store = target.Store();
    if (auto* wine = dynamic_cast<SystemRegStore*>(&store))
        return RestoreIntoWinePrefix(wine->File(), backup);
    if (auto* hive = dynamic_cast<HiveStore*>(&store)) {
        // The installation's own checks (hibernation, a read-only disk) first.
        if (hive->BeginRepair() != kSuccess) {
            RestoreResult refused;
            refused.error = hive->FailureReason();
            return refused;
        }
        hive->CommitRepair();
        return RestoreIntoHive(hive->File(), backup);
    }
    RestoreResult result;
    result.error = u"This target cannot be restored into.";
    return result;
}

std::vector<BackupListing> ListBackups(const fs::path& folder)
{
    std::vector<BackupListing> list;
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const fs::directory_entry& entry = *it;
        std::error_code typeError;
        // Only files are listed; each is read as ReadRegBackupFile allows (a
        // link is listed with the reason it is not read).
        if (!EqualsIgnoreCaseAscii(FromUtf8(entry.path().extension().string()), u".reg")
            || !entry.is_regular_file(typeError))
            continue;
        BackupListing item;
        item.file = entry.path();
        int y = 0, mo = 0, d = 0, hh = 0, mm = 0, ss = 0;
        const std::string name = entry.path().filename().string();
        if (std::sscanf(name.c_str(), "repair-%4d%2d%2d-%2d%2d%2d", &y, &mo, &d, &hh, &mm, &ss) == 6) {
            std::tm tm{};
            tm.tm_year = y - 1900;
            tm.tm_mon = mo - 1;
            tm.tm_mday = d;
            tm.tm_hour = hh;
            tm.tm_min = mm;
            tm.tm_sec = ss;
            item.time = timegm(&tm);
        } else {
            struct stat st {};
            if (::lstat(entry.path().c_str(), &st) == 0)
                item.time = st.st_mtime;
        }
        RegBackupContents backup;
        if (ReadRegBackupFile(entry.path(), &backup, &item.error)) {
            const std::unordered_set<const RegKey*> listed(backup.keys.begin(), backup.keys.end());
            std::unordered_set<const RegKey*> shown;
            for (const RegKey* key : backup.keys) {
                bool below = false;
                for (const RegKey* up = key->Parent(); up && !below; up = up->Parent())
                    below = listed.count(up) > 0;
                if (!below && shown.insert(key).second)
                    item.keys.push_back(ShownKeyPath(key->PathComponents()));
            }
            item.keyCount = listed.size();
        }
        list.push_back(std::move(item));
    }
    std::sort(list.begin(), list.end(), [](const BackupListing& a, const BackupListing& b) {
        return a.time != b.time ? a.time < b.time : a.file < b.file;
    });
    return list;
}

}  // namespace quelvo::platform::files
