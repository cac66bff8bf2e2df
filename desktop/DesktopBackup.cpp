#include "desktop/DesktopBackup.h"

#include "platform/FileDescriptor.h"
#include "platform/Text.h"
#include "platform/files/FileIo.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace quelvo::desktop {

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

constexpr std::string_view kFormat = "quelvo-desktop-backup/1";
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

json KeyJson(const std::vector<std::u16string>& key)
{
    json parts = json::array();
    for (const std::u16string& part : key)
        parts.push_back(Base64(platform::ToUtf8(part)));
    return parts;
}

// Reading: each accessor fails (returns false) on a missing field or a
// field of another type, so that a hand-made document is refused whole.
struct Reader {
    std::string* error;

    bool Fail(const std::string& what)
    {
        *error = what;
        return false;
    }
    bool Bytes(const json& object, const char* name, std::string* out)
    {
        const auto it = object.find(name);
        if (it == object.end() || !it->is_string() || !FromBase64(it->get_ref<const std::string&>(), out))
            return Fail(std::string("its \"") + name + "\" is missing or not base64 text");
        return true;
    }
    bool Path(const json& object, const char* name, fs::path* out)
    {
        std::string bytes;
        if (!Bytes(object, name, &bytes))
            return false;
        if (bytes.empty() || bytes[0] != '/' || bytes.find('\0') != std::string::npos)
            return Fail(std::string("its \"") + name + "\" is not an absolute path");
        *out = fs::path(bytes).lexically_normal();
        return true;
    }
    bool Key(const json& object, const char* name, std::vector<std::u16string>* out)
    {
        const auto it = object.find(name);
        if (it == object.end() || !it->is_array() || it->size() > 512)
            return Fail(std::string("its \"") + name + "\" is not a key path");
        for (const json& part : *it) {
            std::string bytes;
            if (!part.is_string() || !FromBase64(part.get_ref<const std::string&>(), &bytes) || bytes.empty())
                return Fail(std::string("its \"") + name + "\" is not a key path");
            out->push_back(platform::FromUtf8(bytes));
        }
        return true;
    }
    const json* Array(const json& object, const char* name)
    {
        const auto it = object.find(name);
        if (it == object.end() || !it->is_array()) {
            Fail(std::string("its \"") + name + "\" is not a list");
            return nullptr;
        }
        return &*it;
    }
};

}  // namespace

std::string Base64(std::string_view bytes)
{
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
        std::uint32_t chunk = 0;
        for (std::size_t k = 0; k < 3; ++k)
            chunk = (chunk << 8) | (k < n ? static_cast<unsigned char>(bytes[i + k]) : 0u);
        for (std::size_t k = 0; k < 4; ++k)
            out += k <= n ? kAlphabet[(chunk >> (18 - 6 * k)) & 63] : '=';
    }
    return out;
}

bool FromBase64(std::string_view text, std::string* bytes)
{
    bytes->clear();
    if (text.size() % 4 != 0)
        return false;
    for (std::size_t i = 0; i < text.size(); i += 4) {
        std::uint32_t chunk = 0;
        int padding = 0;
        for (std::size_t k = 0; k < 4; ++k) {
            const char c = text[i + k];
            const char* at = c ? std::strchr(kAlphabet, c) : nullptr;
            if (c == '=' && i + 4 == text.size() && k >= 2) {
                ++padding;
                chunk <<= 6;
                continue;
            }
            if (!at || padding)
                return false;
            chunk = (chunk << 6) | static_cast<std::uint32_t>(at - kAlphabet);
        }
        for (int k = 0; k < 3 - padding; ++k)
            bytes->push_back(static_cast<char>((chunk >> (16 - 8 * k)) & 0xFF));
    }
    return true;
}

std::string WriteDesktopBackup(const DesktopBackup& backup)
{
    json files = json::array();
    for (const BackupFile& file : backup.files)
        files.push_back({{"path", Base64(file.path.string())}, {"mode", file.mode & 07777}, {"bytes", Base64(file.bytes)}});
    json lists = json::array();
    for (const BackupMimeApps& list : backup.lists) {
        json edits = json::array();
        for (const MimeAppsEdit& edit : list.edits) {
            json ids = json::array();
            for (const std::string& id : edit.ids)
                ids.push_back(Base64(id));
            edits.push_back({{"group", Base64(edit.group)},
                             {"key", Base64(edit.key)},
                             {"before", Base64(edit.before)},
                             {"after", Base64(edit.after)},
                             {"line_removed", edit.lineRemoved},
                             {"previous", Base64(edit.previous)},
                             {"ids", ids}});
        }
        lists.push_back({{"path", Base64(list.path.string())}, {"edits", edits}});
    }
    json records = json::array();
    for (const BackupRecord& record : backup.records)
        records.push_back({{"user_reg", Base64(record.userReg.string())},
                           {"key", KeyJson(record.key)},
                           {"previous", KeyJson(record.previous)},
                           {"block", Base64(record.block)}});
    const json document = {{"format", kFormat},
                           {"uid", backup.uid},
                           {"user", Base64(backup.userName)},
                           {"files", files},
                           {"mimeapps", lists},
                           {"records", records}};
    return document.dump(1) + "\n";
}

bool ReadDesktopBackup(std::string_view text, DesktopBackup* backup, std::string* error)
{
    *backup = {};
    Reader read{error};
    // The document is five levels deep; deeper nesting is refused before
    // the parser builds it.
    int depth = 0;
    bool inString = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            i += c == '\\';
            inString = c != '"';
        } else if (c == '"') {
            inString = true;
        } else if ((c == '[' || c == '{') && ++depth > 8) {
            return read.Fail("it is nested deeper than a backup ever is");
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    const json document = json::parse(text.begin(), text.end(), nullptr, false);
    if (document.is_discarded() || !document.is_object())
        return read.Fail("it is not a JSON document");
    const auto format = document.find("format");
    if (format == document.end() || *format != kFormat)
        return read.Fail("it is not a backup of Wine's desktop entries (no \"format\": \"quelvo-desktop-backup/1\")");
    const auto uid = document.find("uid");
    if (uid == document.end() || !uid->is_number_unsigned() || uid->get<std::uint64_t>() > 0xFFFFFFFEu)
        return read.Fail("its \"uid\" is not a user id");
    backup->uid = uid->get<std::uint32_t>();
    if (!read.Bytes(document, "user", &backup->userName))
        return false;
    const json* files = read.Array(document, "files");
    const json* lists = files ? read.Array(document, "mimeapps") : nullptr;
    const json* records = lists ? read.Array(document, "records") : nullptr;
    if (!records)
        return false;
    for (const json& item : *files) {
        BackupFile file;
        const auto mode = item.is_object() ? item.find("mode") : item.end();
        if (!item.is_object() || mode == item.end() || !mode->is_number_unsigned() || mode->get<std::uint64_t>() > 07777)
            return read.Fail("a file of it has no mode");
        file.mode = mode->get<unsigned>();
        if (!read.Path(item, "path", &file.path) || !read.Bytes(item, "bytes", &file.bytes))
            return false;
        backup->files.push_back(std::move(file));
    }
    for (const json& item : *lists) {
        BackupMimeApps list;
        const json* edits = item.is_object() ? read.Array(item, "edits") : nullptr;
        if (!edits || !read.Path(item, "path", &list.path))
            return read.Fail("a mimeapps.list of it is not well-formed");
        for (const json& e : *edits) {
            MimeAppsEdit edit;
            const auto removed = e.is_object() ? e.find("line_removed") : e.end();
            const json* ids = e.is_object() ? read.Array(e, "ids") : nullptr;
            if (removed == e.end() || !removed->is_boolean() || !ids || !read.Bytes(e, "group", &edit.group)
                || !read.Bytes(e, "key", &edit.key) || !read.Bytes(e, "before", &edit.before)
                || !read.Bytes(e, "after", &edit.after) || !read.Bytes(e, "previous", &edit.previous))
                return read.Fail("a line of " + list.path.string() + " in it is not well-formed");
            edit.lineRemoved = removed->get<bool>();
            for (const json& id : *ids) {
                std::string bytes;
                if (!id.is_string() || !FromBase64(id.get_ref<const std::string&>(), &bytes))
                    return read.Fail("an id of " + list.path.string() + " in it is not base64 text");
                edit.ids.push_back(std::move(bytes));
            }
            if (!IsMimeAppsGroup(edit.group) || edit.ids.empty() || edit.before.find_first_of("\r\n") != std::string::npos)
                return read.Fail("a line of " + list.path.string() + " in it is not one a removal changes");
            list.edits.push_back(std::move(edit));
        }
        backup->lists.push_back(std::move(list));
    }
    for (const json& item : *records) {
        BackupRecord record;
        if (!item.is_object() || !read.Path(item, "user_reg", &record.userReg) || !read.Key(item, "key", &record.key)
            || !read.Key(item, "previous", &record.previous) || !read.Bytes(item, "block", &record.block))
            return false;
        backup->records.push_back(std::move(record));
    }
    return true;
}

fs::path DesktopBackupBeside(const fs::path& repairBackup)
{
    return repairBackup.parent_path() / (repairBackup.stem().string() + ".desktop.json");
}

fs::path SaveDesktopBackup(const fs::path& folder, const std::string& name, const DesktopBackup& backup,
                           std::string* error)
{
    const std::string text = WriteDesktopBackup(backup);
    platform::FileDescriptor dir(platform::files::OpenFolderCreating(folder, error));
    if (dir.Get() < 0)
        return {};
    const std::string stem = name.size() > 5 && name.substr(name.size() - 5) == ".json" ? name.substr(0, name.size() - 5) : name;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const std::string candidate = stem + (attempt ? "-" + std::to_string(attempt) : "") + ".json";
        platform::files::AsOwner as(platform::files::WriterOf(folder / candidate));
        if (!as.Ok()) {
            *error = "cannot take the file rights of the owner of " + folder.string();
            return {};
        }
        platform::FileDescriptor fd(
            ::openat(dir.Get(), candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (fd.Get() < 0 && errno == EEXIST)
            continue;
        if (fd.Get() < 0) {
            *error = "cannot create " + (folder / candidate).string() + ": " + std::strerror(errno);
            return {};
        }
        ::fchmod(fd.Get(), 0600);
        if (!platform::files::WriteAll(fd.Get(), text) || ::fsync(fd.Get()) != 0 || ::fsync(dir.Get()) != 0) {
            *error = "cannot write " + (folder / candidate).string() + ": " + std::strerror(errno);
            ::unlinkat(dir.Get(), candidate.c_str(), 0);
            return {};
        }
        return folder / candidate;
    }
    *error = "no free name for a backup in " + folder.string();
    return {};
}

}  // namespace quelvo::desktop
