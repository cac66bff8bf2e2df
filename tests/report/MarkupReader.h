#pragma once

// Reads a markup row the way the list box's engine does, without laying it
// out: entity preparation, tags from "<" to the first ">", the run entities,
// the mnemonic "&" and the "<A href>" targets. Tests use it to see what a row
// shows and which links and pictures it carries.

#include "platform/Text.h"

#include <string>
#include <vector>

namespace quelvo::test {

struct ReadMarkup {
    std::u16string prepared;                // after the global entity pass
    std::vector<std::u16string> tags;       // every tag, "<" to ">"
    std::vector<std::u16string> links;      // <A> targets, in order
    std::vector<std::u16string> pictures;   // <IMG src> names, in order
    std::u16string shownInNameFont;         // text shown inside <font size="10" face="Arial">..</font>
    bool literalAmpersands = false;         // the text contains " & "
};

// What a row shows for a name: control characters as their pictures.
inline std::u16string ShownName(std::u16string_view name)
{
    std::u16string out;
    for (char16_t c : name)
        out.push_back(c < 0x20 ? char16_t(0x2400 + c) : c == 0x7F ? char16_t(0x2421) : c);
    return out;
}

inline std::u16string FirstQuoted(std::u16string_view tag, std::size_t from = 0)
{
    std::size_t open = tag.find(u'"', from);
    if (open == tag.npos)
        return {};
    std::size_t close = tag.find(u'"', open + 1);
    if (close == tag.npos)
        return {};
    return std::u16string(tag.substr(open + 1, close - open - 1));
}

inline ReadMarkup ReadRow(std::u16string_view row)
{
    using platform::ReplaceAll;
    ReadMarkup out;
    std::u16string text(row);
    for (;;) {
        std::u16string next = ReplaceAll(ReplaceAll(text, u"&amp;", u"&&"), u"&quot;", u"\"");
        if (next == text)
            break;
        text = next;
    }
    text = ReplaceAll(ReplaceAll(text, u"\r", u"<BR>"), u"\n", u"");
    out.prepared = text;
    out.literalAmpersands = text.find(u" & ") != text.npos || row.find(u" & ") != row.npos;

    auto shown = [&](std::u16string run) {
        run = ReplaceAll(ReplaceAll(ReplaceAll(run, u"&nbsp;", u" "), u"&lt;", u"<"), u"&gt;", u">");
        if (out.literalAmpersands)
            return run;
        std::u16string visible;
        for (std::size_t i = 0; i < run.size(); ++i) {
            if (run[i] == u'&' && i + 1 < run.size())
                ++i;  // "&&" shows "&"; "&x" underlines x
            else if (run[i] == u'&')
                continue;
            visible.push_back(run[i]);
        }
        return visible;
    };

    bool inNameFont = false;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t lt = text.find(u'<', pos);
        std::u16string run = text.substr(pos, lt == text.npos ? text.npos : lt - pos);
        if (inNameFont)
            out.shownInNameFont += shown(run);
        if (lt == text.npos)
            break;
        std::size_t gt = text.find(u'>', lt);
        if (gt == text.npos)
            break;  // an unterminated tag drops the rest
        std::u16string tag = text.substr(lt, gt - lt + 1);
        out.tags.push_back(tag);
        std::u16string upper = platform::ToUpperAscii(tag);
        if (tag == u"<font size=\"10\" face=\"Arial\">")
            inNameFont = true;
        else if (upper == u"</FONT>")
            inNameFont = false;
        if (upper.size() > 1 && upper[1] == u'A')
            out.links.push_back(FirstQuoted(tag));
        if (upper.starts_with(u"<IM")) {
            std::size_t src = upper.find(u"SRC");
            out.pictures.push_back(src == upper.npos ? std::u16string() : FirstQuoted(tag, src));
        }
        pos = gt + 1;
    }
    return out;
}

}  // namespace quelvo::test
