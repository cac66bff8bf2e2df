#include "desktop/PrefixClasses.h"

#include "platform/Text.h"
#include "platform/files/FileIo.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace quelvo::desktop {

namespace fs = std::filesystem;
namespace pf = quelvo::platform;
namespace files = quelvo::platform::files;

namespace {

files::RegKey* Walk(files::RegKey* key, const std::vector<std::u16string>& parts)
{
    for (const std::u16string& part : parts) {
        if (!key)
            return nullptr;
        key = key->Child(part);
    }
    return key;
}

std::vector<std::u16string> ClassesPath(std::u16string_view path)
{
    std::vector<std::u16string> parts{u"Software", u"Classes"};
    for (std::u16string& part : files::SplitKeyPath(path))
        parts.push_back(std::move(part));
    return parts;
}

}  // namespace

std::optional<std::u16string> StringOf(const files::RegValue* value)
{
    if (!value || (value->type != pf::RegType::Sz && value->type != pf::RegType::ExpandSz))
        return std::nullopt;
    std::u16string text(value->data.size() / 2, u'\0');
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = char16_t(value->data[2 * i] | (value->data[2 * i + 1] << 8));
    return std::u16string(pf::UpToNul(text));
}

std::optional<fs::path> FileOpenRecord::DesktopFilePath() const
{
    if (!desktopFile)
        return std::nullopt;
    std::u16string text = *desktopFile;
    for (std::u16string_view unix : {u"\\\\?\\unix\\", u"\\??\\unix\\"}) {
        if (text.size() > unix.size() && pf::EqualsIgnoreCaseAscii(std::u16string_view(text).substr(0, unix.size()), unix)) {
            text = u"/" + text.substr(unix.size());
            for (char16_t& c : text)
                c = c == u'\\' ? u'/' : c;
            break;
        }
    }
    if (text.empty() || text[0] != u'/')
        return std::nullopt;
    return fs::path(pf::ToUtf8(text)).lexically_normal();
}

std::unique_ptr<PrefixClasses> PrefixClasses::Load(const fs::path& prefix)
{
    auto classes = std::make_unique<PrefixClasses>();
    classes->m_path = prefix;
    struct stat st {};
    const bool found = ::stat(prefix.c_str(), &st) == 0;
    const int err = errno;
    if (found ? !S_ISDIR(st.st_mode) : err == ENOENT || err == ENOTDIR) {
        classes->m_problem = "there is no folder " + prefix.string();
        return classes;
    }
    if (!found) {
        classes->m_state = State::Unreadable;
        classes->m_problem = "cannot look at " + prefix.string() + ": " + std::strerror(err);
        return classes;
    }
    classes->m_ownerUid = st.st_uid;
    const fs::path systemReg = prefix / "system.reg";
    if (::lstat(systemReg.c_str(), &st) != 0) {
        const int err = errno;
        classes->m_state = err == ENOENT ? State::Gone : State::Unreadable;
        classes->m_problem = err == ENOENT ? "it has no system.reg"
                                           : "cannot look at " + systemReg.string() + ": " + std::strerror(err);
        return classes;
    }
    classes->m_state = State::Unreadable;
    std::u16string error;
    classes->m_target = files::OpenWinePrefix(prefix, &error);
    if (!classes->m_target) {
        classes->m_problem = pf::ToUtf8(error);
        return classes;
    }
    const fs::path userReg = prefix / "user.reg";
    std::string readError;
    if (::lstat(userReg.c_str(), &st) == 0) {
        if (!files::ReadWholeFile(userReg, &classes->m_userBytes, &readError,
                                  {.maxBytes = files::kMaxRegistryFileBytes})) {
            classes->m_problem = readError;
            return classes;
        }
        if (!files::ParseSystemReg(classes->m_userBytes, &classes->m_userDocument, &error)) {
            classes->m_problem = userReg.string() + ", " + pf::ToUtf8(error);
            return classes;
        }
    } else if (errno != ENOENT) {
        classes->m_problem = "cannot look at " + userReg.string() + ": " + std::strerror(errno);
        return classes;
    }
    classes->m_userRoot = std::make_unique<files::RegKey>(u"", nullptr, nullptr);
    files::BuildTree(classes->m_userDocument, *classes->m_userRoot);
    classes->m_state = State::Present;
    return classes;
}

files::RegKey* PrefixClasses::ClassKey(std::u16string_view path)
{
    if (m_state != State::Present)
        return nullptr;
    const std::vector<std::u16string> parts = ClassesPath(path);
    if (files::RegKey* user = Walk(m_userRoot.get(), parts))
        return user;
    return Walk(&m_target->Store().Root(), parts);
}

std::optional<std::u16string> PrefixClasses::ClassString(std::u16string_view path, std::u16string_view value)
{
    files::RegKey* key = ClassKey(path);
    return key ? StringOf(key->Value(value)) : std::nullopt;
}

std::optional<FileOpenRecord> PrefixClasses::Record(std::u16string_view name)
{
    if (m_state != State::Present)
        return std::nullopt;
    files::RegKey* key = Walk(m_userRoot.get(), {u"Software", u"Wine", u"FileOpenAssociations", std::u16string(name)});
    if (!key)
        return std::nullopt;
    FileOpenRecord record;
    record.name = key->Name();
    record.mimeType = StringOf(key->Value(u"MimeType"));
    record.progId = StringOf(key->Value(u"ProgID"));
    record.appName = StringOf(key->Value(u"AppName"));
    record.openWithIcon = StringOf(key->Value(u"OpenWithIcon"));
    record.desktopFile = StringOf(key->Value(u"DesktopFile"));
    return record;
}

}  // namespace quelvo::desktop
