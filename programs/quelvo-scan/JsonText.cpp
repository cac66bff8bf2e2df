// Texts and paths in the JSON report.

#include "JsonText.h"

#include "ReportWriters.h"
#include "platform/Text.h"

namespace quelvo::scancli {

namespace {

bool HasLoneSurrogate(std::u16string_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
            ++i;
        else if (c >= 0xD800 && c <= 0xDFFF)
            return true;
    }
    return false;
}

std::string Hex(const unsigned char* bytes, std::size_t count)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(count * 2);
    for (std::size_t i = 0; i < count; ++i) {
        out += kDigits[bytes[i] >> 4];
        out += kDigits[bytes[i] & 0xF];
    }
    return out;
}

}  // namespace

// The text under key; its exact UTF-16 beside it when UTF-8 cannot hold it.
void PutText(Json& object, const char* key, std::u16string_view text)
{
    object[key] = platform::ToUtf8(text);
    if (HasLoneSurrogate(text))
        object["utf16"][key] = Utf16Hex(text);
}

void PutOptionalText(Json& object, const char* key, const std::optional<std::u16string>& text)
{
    if (text)
        PutText(object, key, *text);
    else
        object[key] = nullptr;
}

void PutPath(Json& object, const char* key, const std::filesystem::path& path)
{
#ifdef _WIN32
    PutText(object, key, path.u16string());
#else
    // A Linux path is bytes.
    PutBytesText(object, key, path.native());
#endif
}

void PutBytesText(Json& object, const char* key, std::string_view bytes)
{
    std::string text = platform::ToUtf8(platform::FromUtf8(bytes));
    if (text != bytes)
        object["bytes"][key] = Hex(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    object[key] = std::move(text);
}

}  // namespace quelvo::scancli
