#include "desktop/FileOpenRecord.h"

#include "platform/Text.h"

namespace quelvo::desktop {

namespace fs = std::filesystem;
namespace pf = quelvo::platform;

std::optional<std::u16string> StringOf(const regfile::RegValue* value)
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
    for (std::u16string_view form : {u"\\\\?\\unix\\", u"\\??\\unix\\"}) {
        if (text.size() > form.size() && pf::EqualsIgnoreCaseAscii(std::u16string_view(text).substr(0, form.size()), form)) {
            text = u"/" + text.substr(form.size());
            for (char16_t& c : text)
                c = c == u'\\' ? u'/' : c;
            break;
        }
    }
    if (text.empty() || text[0] != u'/')
        return std::nullopt;
    return fs::path(pf::ToUtf8(text)).lexically_normal();
}

std::optional<FileOpenRecord> ReadFileOpenRecord(regfile::RegKey& userRoot, std::u16string_view name)
{
    regfile::RegKey* key = &userRoot;
    for (std::u16string_view part : {std::u16string_view(u"Software"), std::u16string_view(u"Wine"),
                                     std::u16string_view(u"FileOpenAssociations"), name}) {
        key = key->Child(part);
        if (!key)
            return std::nullopt;
    }
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
