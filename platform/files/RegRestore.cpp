#include "platform/files/RegRestore.h"

#include "platform/Text.h"
#include "platform/files/FileTargets.h"
#include "platform/files/HiveStore.h"
#include "platform/files/SystemRegStore.h"

#include <algorithm>
#include <cstdio>
#include <unordered_set>
#include <sys/stat.h>

namespace quelvo::platform::files {

namespace fs = std::filesystem;
using regfile::RegBackupContents;
using regfile::RegKey;
using regfile::RestoreResult;

namespace {

RestoreResult Refused(std::u16string error)
{
    RestoreResult result;
    result.error = std::move(error);
    return result;
}

}  // namespace

bool ReadRegBackupFile(const fs::path& file, RegBackupContents* backup, std::u16string* error)
{
    std::string bytes, readError;
    ReadOptions options;
    options.maxBytes = regfile::kMaxBackupBytes;
    options.followLinks = false;
    if (!ReadWholeFile(file, &bytes, &readError, options)) {
        *error = FromUtf8(readError) + u".";
        return false;
    }
    std::u16string text;
    const bool decoded = regfile::DecodeRegBackup(bytes, &text, error);
    std::string().swap(bytes);  // the file's bytes are not needed past this point
    return decoded && regfile::ReadRegBackupText(text, backup, error);
}

RestoreResult RestoreIntoTarget(FileTarget& target, RegBackupContents& backup)
{
    return target.Store().AddKeys(backup);
}

RestoreResult RestoreIntoWinePrefix(const fs::path& systemReg, RegBackupContents& backup, const RestoreOptions& options)
{
    std::u16string error;
    auto store = SystemRegStore::Open(systemReg, &error);
    if (!store)
        return Refused(u"The Wine registry cannot be read: " + error + u"; nothing was written.");
    if (options.serverRunning)
        store->SetServerCheck(options.serverRunning);
    store->SetReplaceHook(options.replaceHook);
    return store->AddKeys(backup);
}

RestoreResult RestoreIntoHive(const fs::path& hive, RegBackupContents& backup, const ReplaceHook& replaceHook)
{
    std::u16string error;
    auto store = HiveStore::Open(hive, &error);
    if (!store)
        return Refused(error);
    store->SetReplaceHook(replaceHook);
    return store->AddKeys(backup);
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
                    item.keys.push_back(regfile::ShownKeyPath(key->PathComponents()));
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
