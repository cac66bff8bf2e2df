#include "report/Unit_QLV_ReportMarkup.h"

#include "platform/Text.h"

namespace quelvo::report {

namespace {

bool IsAsciiAlnum(char16_t c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

bool IsControl(char16_t c) { return c < 0x20 || c == 0x7F; }

}  // namespace

std::u16string EscapeMarkupText(std::u16string_view text)
{
    std::u16string out;
    out.reserve(text.size() + 8);
    for (std::size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        switch (c) {
        case u'<':
            out.append(u"&lt;");
            break;
        case u'>':
            out.append(u"&gt;");
            break;
        case u'&':
            out.append(u"&&");
            if (i + 1 < text.size() && (IsAsciiAlnum(text[i + 1]) || text[i + 1] == u'#'))
                out.append(u"<X>");
            break;
        default:
            if (c == 0x7F)
                out.push_back(char16_t(0x2421));
            else if (c < 0x20)
                out.push_back(char16_t(0x2400 + c));
            else
                out.push_back(c);
        }
    }
    return out;
}

std::u16string EncodeLinkTarget(std::u16string_view text)
{
    static constexpr char16_t kHex[] = u"0123456789ABCDEF";
    std::u16string out;
    out.reserve(text.size() + 8);
    for (char16_t c : text) {
        if (IsControl(c) || c == u'%' || c == u'"' || c == u'<' || c == u'>' || c == u'&' || c == u':') {
            out.push_back(u'%');
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 0xF]);
        } else {
            out.push_back(c);
        }
    }
    return out;
}

std::u16string DecodeLinkTarget(std::u16string_view target)
{
    std::u16string out;
    out.reserve(target.size());
    for (std::size_t i = 0; i < target.size(); ++i) {
        if (target[i] == u'%' && i + 2 < target.size() && platform::HexDigitValue(target[i + 1]) >= 0
            && platform::HexDigitValue(target[i + 2]) >= 0) {
            out.push_back(char16_t(platform::HexDigitValue(target[i + 1]) * 16 + platform::HexDigitValue(target[i + 2])));
            i += 2;
        } else {
            out.push_back(target[i]);
        }
    }
    return out;
}

}  // namespace quelvo::report
