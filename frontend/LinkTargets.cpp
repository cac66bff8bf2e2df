#include "frontend/LinkTargets.h"

namespace quelvo::frontend {

namespace {

char16_t Lower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

bool StartsWithNoCase(std::u16string_view text, std::u16string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (Lower(text[i]) != prefix[i])
            return false;
    return true;
}

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
bool IsAlnum(char16_t c) { return IsDigit(c) || (Lower(c) >= u'a' && Lower(c) <= u'z'); }

// Printable ASCII that may stand in an address unescaped.
bool IsAddressCharacter(char16_t c)
{
    if (c <= 0x20 || c >= 0x7F)
        return false;
    return std::u16string_view(u"\"<>\\^`{|}").find(c) == std::u16string_view::npos;
}

// A host name (with at least one letter or digit) or a bracketed IPv6 address.
bool IsHost(std::u16string_view host)
{
    if (host.size() >= 2 && host.front() == u'[' && host.back() == u']') {
        const std::u16string_view inner = host.substr(1, host.size() - 2);
        bool colon = false;
        for (char16_t c : inner) {
            const bool hex = IsDigit(c) || (Lower(c) >= u'a' && Lower(c) <= u'f');
            if (!hex && c != u':' && c != u'.')
                return false;
            colon = colon || c == u':';
        }
        return colon;
    }
    bool named = false;
    for (char16_t c : host) {
        if (IsAlnum(c))
            named = true;
        else if (c != u'.' && c != u'-' && c != u'_' && c != u'~')
            return false;
    }
    return named;
}

// host, or host:port with a port of 1 to 5 digits up to 65535.
bool IsHostAndPort(std::u16string_view authority)
{
    const std::size_t bracket = authority.rfind(u']');
    const std::size_t colon = authority.rfind(u':');
    if (colon == std::u16string_view::npos || (bracket != std::u16string_view::npos && colon < bracket))
        return IsHost(authority);
    const std::u16string_view port = authority.substr(colon + 1);
    if (port.empty() || port.size() > 5)
        return false;
    long value = 0;
    for (char16_t c : port) {
        if (!IsDigit(c))
            return false;
        value = value * 10 + (c - u'0');
    }
    return value <= 65535 && IsHost(authority.substr(0, colon));
}

bool IsWebAddress(std::u16string_view rest)
{
    if (rest.substr(0, 2) != u"//")
        return false;
    rest.remove_prefix(2);
    const std::size_t end = rest.find_first_of(u"/?#");
    return IsHostAndPort(rest.substr(0, end));
}

bool IsMailAddress(std::u16string_view rest)
{
    const std::u16string_view recipients = rest.substr(0, rest.find(u'?'));
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = recipients.find(u',', start);
        const std::size_t length = comma == std::u16string_view::npos ? comma : comma - start;
        const std::u16string_view one = recipients.substr(start, length);
        const std::size_t at = one.find(u'@');
        if (at == 0 || at == std::u16string_view::npos || !IsHost(one.substr(at + 1)))
            return false;
        if (comma == std::u16string_view::npos)
            return true;
        start = comma + 1;
    }
}

}  // namespace

bool IsDesktopTarget(std::u16string_view target)
{
    return target.find(u"://") != std::u16string_view::npos || target.find(u"mailto:") != std::u16string_view::npos;
}

bool IsOpenableAddress(std::u16string_view target)
{
    for (char16_t c : target)
        if (!IsAddressCharacter(c))
            return false;
    if (StartsWithNoCase(target, u"http:"))
        return IsWebAddress(target.substr(5));
    if (StartsWithNoCase(target, u"https:"))
        return IsWebAddress(target.substr(6));
    if (StartsWithNoCase(target, u"mailto:"))
        return IsMailAddress(target.substr(7));
    return false;
}

}  // namespace quelvo::frontend
