#include "frontend/LookupNavigation.h"

#include <string>

namespace quelvo::frontend {

namespace {

char16_t LowerAscii(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

int HexValue(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    c = LowerAscii(c);
    return c >= u'a' && c <= u'f' ? c - u'a' + 10 : -1;
}

// The part after the authority, without the fragment.
std::u16string_view PathAndQuery(std::u16string_view address)
{
    const std::size_t start = address.find(u"://");
    if (start == std::u16string_view::npos)
        return {};
    address.remove_prefix(start + 3);
    const std::size_t end = address.find_first_of(u"/?#");
    if (end == std::u16string_view::npos)
        return {};
    address.remove_prefix(end);
    return address.substr(0, address.find(u'#'));
}

// Percent-escapes decoded to code units; "" is "/" (an http address always
// has a path).
std::u16string Decoded(std::u16string_view text)
{
    std::u16string out;
    out.reserve(text.size() + 1);
    if (text.empty() || text.front() == u'?')
        out += u'/';
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
            out += static_cast<char16_t>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace

std::optional<TOrigin> OriginOf(std::u16string_view address)
{
    const std::size_t colon = address.find(u"://");
    if (colon == std::u16string_view::npos)
        return std::nullopt;
    TOrigin origin;
    for (char16_t c : address.substr(0, colon))
        origin.scheme += LowerAscii(c);
    if (origin.scheme == u"http")
        origin.port = 80;
    else if (origin.scheme == u"https")
        origin.port = 443;
    else
        return std::nullopt;

    std::u16string_view authority = address.substr(colon + 3);
    authority = authority.substr(0, authority.find_first_of(u"/?#"));
    // A user name or password hides the real host from a reader; a
    // backslash or an escape is read differently by different parsers.
    if (authority.find_first_of(u"@\\%") != std::u16string_view::npos)
        return std::nullopt;

    std::u16string_view host = authority;
    std::u16string_view port;
    if (!authority.empty() && authority.front() == u'[') {
        const std::size_t close = authority.find(u']');
        if (close == std::u16string_view::npos)
            return std::nullopt;
        host = authority.substr(0, close + 1);
        const std::u16string_view rest = authority.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != u':')
                return std::nullopt;
            port = rest.substr(1);
        }
    } else if (const std::size_t sep = authority.rfind(u':'); sep != std::u16string_view::npos) {
        host = authority.substr(0, sep);
        port = authority.substr(sep + 1);
    }
    if (host.empty())
        return std::nullopt;
    for (char16_t c : host) {
        if (c <= u' ' || c == 0x7F)
            return std::nullopt;
        origin.host += LowerAscii(c);
    }
    if (!port.empty()) {
        unsigned value = 0;
        for (char16_t c : port) {
            if (c < u'0' || c > u'9')
                return std::nullopt;
            value = value * 10 + static_cast<unsigned>(c - u'0');
            if (value > 65535)
                return std::nullopt;
        }
        origin.port = value;
    }
    return origin;
}

bool IsSameDocument(std::u16string_view a, std::u16string_view b)
{
    const std::optional<TOrigin> originA = OriginOf(a);
    return originA && originA == OriginOf(b) && Decoded(PathAndQuery(a)) == Decoded(PathAndQuery(b));
}

bool EmbeddedViewMayLoad(std::u16string_view lookupAddress, std::u16string_view target, TLoadKind kind)
{
    switch (kind) {
    case TLoadKind::Page:
        return IsSameDocument(lookupAddress, target);
    case TLoadKind::Redirect:
    case TLoadKind::Frame:
    case TLoadKind::Resource: {
        const std::optional<TOrigin> lookup = OriginOf(lookupAddress);
        return lookup && lookup == OriginOf(target);
    }
    case TLoadKind::NewWindow:
        break;
    }
    return false;
}

bool HandsRefusedLoadToDesktop(TLoadKind kind)
{
    return kind == TLoadKind::Page || kind == TLoadKind::Redirect || kind == TLoadKind::NewWindow;
}

}  // namespace quelvo::frontend
