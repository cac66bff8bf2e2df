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

regfile::RegKey* Walk(regfile::RegKey* key, const std::vector<std::u16string>& parts)
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
    for (std::u16string& part : regfile::SplitKeyPath(path))
        parts.push_back(std::move(part));
    return parts;
}

}  // namespace

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
                                  {.maxBytes = regfile::kMaxRegistryFileBytes})) {
            classes->m_problem = readError;
            return classes;
        }
        if (!regfile::ParseSystemReg(classes->m_userBytes, &classes->m_userDocument, &error)) {
            classes->m_problem = userReg.string() + ", " + pf::ToUtf8(error);
            return classes;
        }
    } else if (errno != ENOENT) {
        classes->m_problem = "cannot look at " + userReg.string() + ": " + std::strerror(errno);
        return classes;
    }
    classes->m_userRoot = std::make_unique<regfile::RegKey>(u"", nullptr, nullptr);
    regfile::BuildTree(classes->m_userDocument, *classes->m_userRoot);
    classes->m_state = State::Present;
    return classes;
}

regfile::RegKey* PrefixClasses::ClassKey(std::u16string_view path)
{
    if (m_state != State::Present)
        return nullptr;
    const std::vector<std::u16string> parts = ClassesPath(path);
    if (regfile::RegKey* user = Walk(m_userRoot.get(), parts))
        return user;
    return Walk(&m_target->Store().Root(), parts);
}

std::optional<std::u16string> PrefixClasses::ClassString(std::u16string_view path, std::u16string_view value)
{
    regfile::RegKey* key = ClassKey(path);
    return key ? StringOf(key->Value(value)) : std::nullopt;
}

std::optional<FileOpenRecord> PrefixClasses::Record(std::u16string_view name)
{
    if (m_state != State::Present)
        return std::nullopt;
    return ReadFileOpenRecord(*m_userRoot, name);
}

}  // namespace quelvo::desktop
