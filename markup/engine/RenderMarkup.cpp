#include "markup/engine/RenderMarkup.h"

#include "platform/Text.h"

#include <algorithm>
#include <array>
#include <climits>
#include <optional>

namespace quelvo::markup {

namespace {

using View = std::u16string_view;
constexpr std::size_t npos = View::npos;

// Fonts are named by at most 31 characters on the desktop; longer face
// names are cut so that a huge attribute cannot be copied on every line.
constexpr std::size_t kMaxFaceLength = 31;
// Saturation bounds for numbers read from markup.
constexpr long long kMaxIndent = 1LL << 40;
constexpr int kMaxPoints = 32767;

constexpr char16_t UpperAscii(char16_t c) { return (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c; }
bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

bool StartsWith(View text, std::size_t at, View prefix)
{
    return text.size() - std::min(at, text.size()) >= prefix.size()
        && text.compare(at, prefix.size(), prefix) == 0;
}

// "&amp;" -> "&&" and "&quot;" -> '"', repeated until none is left. A
// replacement can only create a new entity at the second "&" it writes, so
// one left-to-right pass that keeps that "&" pending reaches the same result.
std::u16string ReplaceDocumentEntities(View text)
{
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] != u'&') {
            out.push_back(text[i++]);
            continue;
        }
        std::size_t j = i + 1;  // a pending "&" stands just before j
        for (;;) {
            if (StartsWith(text, j, u"amp;")) {
                out.push_back(u'&');
                j += 4;
            } else if (StartsWith(text, j, u"quot;")) {
                out.push_back(u'"');
                j += 5;
                break;
            } else {
                out.push_back(u'&');
                break;
            }
        }
        i = j;
    }
    return out;
}

// CR -> "<BR>", LF removed.
std::u16string ReplaceLineBreaks(View text)
{
    std::u16string out;
    out.reserve(text.size());
    for (char16_t c : text) {
        if (c == u'\r')
            out.append(u"<BR>");
        else if (c != u'\n')
            out.push_back(c);
    }
    return out;
}

// Entities that live inside a text run; replaced after the run is cut.
std::u16string ReplaceRunEntities(View run)
{
    std::u16string out;
    out.reserve(run.size());
    std::size_t i = 0;
    while (i < run.size()) {
        if (run[i] == u'&') {
            if (StartsWith(run, i, u"&nbsp;")) {
                out.push_back(u' ');
                i += 6;
                continue;
            }
            if (StartsWith(run, i, u"&lt;")) {
                out.push_back(u'<');
                i += 4;
                continue;
            }
            if (StartsWith(run, i, u"&gt;")) {
                out.push_back(u'>');
                i += 4;
                continue;
            }
        }
        out.push_back(run[i++]);
    }
    return out;
}

// The first pair of double quotes at or after `from`: the text between them.
std::optional<View> QuotedValue(View tag, std::size_t from)
{
    std::size_t open = tag.find(u'"', from);
    if (open == npos)
        return std::nullopt;
    std::size_t close = tag.find(u'"', open + 1);
    if (close == npos)
        return std::nullopt;
    return tag.substr(open + 1, close - open - 1);
}

// Attribute lookup: the name is searched in the upper-cased tag, the value
// is the next quoted text after the first occurrence of the name.
std::optional<View> Attribute(View tag, View upperTag, View upperName)
{
    std::size_t at = upperTag.find(upperName);
    if (at == npos)
        return std::nullopt;
    return QuotedValue(tag, at + upperName.size());
}

std::optional<long long> WholeNumber(View value)
{
    if (value.empty())
        return std::nullopt;
    long long n = 0;
    for (char16_t c : value) {
        if (!IsDigit(c))
            return std::nullopt;
        n = std::min(kMaxIndent, n * 10 + (c - u'0'));
    }
    return n;
}

int FontSizePoints(View value)
{
    long long n = 0;
    for (std::size_t i = 0; i < value.size() && IsDigit(value[i]); ++i)
        n = std::min<long long>(kMaxPoints, n * 10 + (value[i] - u'0'));
    static constexpr std::array<int, 6> table = {0, 8, 10, 12, 14, 16};
    return (n >= 1 && n <= 5) ? table[static_cast<std::size_t>(n)] : static_cast<int>(n);
}

struct NamedColour {
    View name;
    Rgb rgb;
};

constexpr std::array<NamedColour, 16> kBasicColours = {{
    {u"clBlack", {0x00, 0x00, 0x00}},  {u"clMaroon", {0x80, 0x00, 0x00}},
    {u"clGreen", {0x00, 0x80, 0x00}},  {u"clOlive", {0x80, 0x80, 0x00}},
    {u"clNavy", {0x00, 0x00, 0x80}},   {u"clPurple", {0x80, 0x00, 0x80}},
    {u"clTeal", {0x00, 0x80, 0x80}},   {u"clGray", {0x80, 0x80, 0x80}},
    {u"clSilver", {0xC0, 0xC0, 0xC0}}, {u"clRed", {0xFF, 0x00, 0x00}},
    {u"clLime", {0x00, 0xFF, 0x00}},   {u"clYellow", {0xFF, 0xFF, 0x00}},
    {u"clBlue", {0x00, 0x00, 0xFF}},   {u"clFuchsia", {0xFF, 0x00, 0xFF}},
    {u"clAqua", {0x00, 0xFF, 0xFF}},   {u"clWhite", {0xFF, 0xFF, 0xFF}},
}};

// The desktop's system colour roles, spelled as the surface expects them.
constexpr std::array<View, 30> kThemeColours = {
    u"clScrollBar",       u"clBackground",          u"clActiveCaption",
    u"clInactiveCaption", u"clMenu",                u"clWindow",
    u"clWindowFrame",     u"clMenuText",            u"clWindowText",
    u"clCaptionText",     u"clActiveBorder",        u"clInactiveBorder",
    u"clAppWorkSpace",    u"clHighlight",           u"clHighlightText",
    u"clBtnFace",         u"clBtnShadow",           u"clGrayText",
    u"clBtnText",         u"clInactiveCaptionText", u"clBtnHighlight",
    u"cl3DDkShadow",      u"cl3DLight",             u"clInfoText",
    u"clInfoBk",          u"clHotLight",            u"clGradientActiveCaption",
    u"clGradientInactiveCaption", u"clMenuHighlight", u"clMenuBar",
};

Rgb ParseColour(const Surface& surface, View value)
{
    if (!value.empty() && value[0] == u'#') {
        if (value.size() < 7)
            return {};
        int d[6];
        for (int i = 0; i < 6; ++i) {
            d[i] = platform::HexDigitValue(value[static_cast<std::size_t>(i) + 1]);
            if (d[i] < 0)
                return {};
        }
        return {static_cast<std::uint8_t>(d[0] * 16 + d[1]), static_cast<std::uint8_t>(d[2] * 16 + d[3]),
                static_cast<std::uint8_t>(d[4] * 16 + d[5])};
    }
    for (const NamedColour& c : kBasicColours) {
        if (platform::EqualsIgnoreCaseAscii(c.name, value))
            return c.rgb;
    }
    for (View name : kThemeColours) {
        if (platform::EqualsIgnoreCaseAscii(name, value))
            return surface.ThemeColour(name).value_or(Rgb{});
    }
    return {};
}

int ClampToInt(long long v)
{
    return static_cast<int>(std::clamp<long long>(v, INT_MIN / 2, INT_MAX / 2));
}

// The pen: everything a tag can change. Strings are views into the prepared
// text so that saving the pen at each line start costs nothing.
struct Pen {
    View face;
    int points = 0;
    bool bold = false;
    bool underline = false;
    Rgb colour;
    bool inLink = false;
    View target;
    long long x = 0;
};

enum class Pass { Measure, Emit };

struct LineBox {
    long long top = 0;
    long long height = 0;      // including the line spacing
    long long textOffset = 0;  // text lifted above the bottom by this much
    int endTextHeight = 0;     // text height of the font at the line's end
};

class Renderer {
public:
    Renderer(Surface& surface, View text, const Rect& layout, const FontSpec& baseFont,
             Rgb urlColour, bool wordWrap, int lineSpacing, const PictureSource* pictures,
             Point probe, MarkupMode mode)
        : surface_(surface), layout_(layout), base_(baseFont), urlColour_(urlColour),
          wordWrap_(wordWrap), lineSpacing_(lineSpacing), pictures_(pictures), probe_(probe),
          mode_(mode), mnemonics_(text.find(u" & ") == npos),
          text_(ReplaceLineBreaks(ReplaceDocumentEntities(text))),
          baseFace_(View(base_.face).substr(0, std::min(base_.face.size(), kMaxFaceLength)))
    {
        lastGt_ = View(text_).rfind(u'>');
    }

    MarkupResult Run()
    {
        const FontSpec saved = surface_.CurrentFont();
        fontSelected_ = false;

        View all = text_;
        std::size_t end = all.size();
        while (end > 0 && all[end - 1] <= 32)
            --end;
        all = all.substr(0, end);

        pen_.face = baseFace_;
        pen_.points = base_.points;
        pen_.bold = base_.bold;
        pen_.underline = base_.underline;
        pen_.colour = base_.colour;

        long long y = layout_.top;
        std::size_t pos = 0;
        for (;;) {
            while (pos < all.size() && all[pos] <= 32)
                ++pos;
            if (pos >= all.size())
                break;

            pen_.x = layout_.left;
            const Pen start = pen_;
            SelectPenFont();
            const int startHeight = surface_.TextHeight();

            LineBox box;
            box.top = y;
            box.height = startHeight;
            lineHasLink_ = false;
            textEnded_ = false;
            const std::size_t lineEnd = Line(all, pos, npos, Pass::Measure, box);
            box.height += lineSpacing_;
            SelectPenFont();
            box.endTextHeight = surface_.TextHeight();

            if (mode_ == MarkupMode::Draw || lineHasLink_) {
                pen_ = start;
                Line(all, pos, lineEnd, Pass::Emit, box);
            }
            pos = lineEnd;
            y += box.height;
            if (textEnded_ || layout_.bottom - y < startHeight)
                break;
        }

        surface_.SelectFont(saved);
        MarkupResult result;
        if (hit_) {
            result.overLink = true;
            result.linkTarget = std::u16string(*hit_);
        }
        return result;
    }

private:
    void SelectPenFont()
    {
        if (fontSelected_ && selected_.points == pen_.points && selected_.bold == pen_.bold
            && selected_.underline == pen_.underline && selected_.colour == pen_.colour
            && View(selected_.face) == pen_.face)
            return;
        selected_.face.assign(pen_.face);
        selected_.points = pen_.points;
        selected_.bold = pen_.bold;
        selected_.underline = pen_.underline;
        selected_.colour = pen_.colour;
        surface_.SelectFont(selected_);
        fontSelected_ = true;
    }

    long long Offset() const { return pen_.x - layout_.left; }
    long long AvailableWidth() const { return static_cast<long long>(layout_.right) - layout_.left; }

    // Lays out one line from `pos`. Measure finds where the line ends and its
    // box; Emit replays the same content up to `stop`, drawing or hit-testing.
    std::size_t Line(View text, std::size_t pos, std::size_t stop, Pass pass, LineBox& box)
    {
        const bool measuring = pass == Pass::Measure;
        const std::size_t lineStart = pos;
        while (pos < text.size() && (measuring || pos < stop)) {
            if (text[pos] == u'<') {
                if (lastGt_ == npos || pos > lastGt_) {  // unterminated: the rest is dropped
                    textEnded_ = true;
                    return text.size();
                }
                const std::size_t gt = text.find(u'>', pos + 1);
                const TagResult r = Tag(text.substr(pos + 1, gt - pos - 1), pass, box, pos > lineStart);
                if (r == TagResult::BreakBefore)
                    return pos;
                pos = gt + 1;
                if (r == TagResult::EndsLine)
                    return pos;
                continue;
            }

            // With word wrap each word is a run of its own, with its space.
            std::size_t runEnd = pos;
            while (runEnd < text.size() && text[runEnd] != u'<') {
                const bool space = text[runEnd++] == u' ';
                if (space && wordWrap_)
                    break;
            }
            const std::u16string run = ReplaceRunEntities(text.substr(pos, runEnd - pos));
            SelectPenFont();
            const Size size = surface_.MeasureText(run, mnemonics_);
            if (measuring) {
                // A line that has consumed nothing yet never breaks, so every
                // line makes progress whatever the surface measures.
                if (wordWrap_ && pos > lineStart && Offset() + size.width >= AvailableWidth()
                    && size.width < AvailableWidth())
                    return pos;
                box.height = std::max<long long>(box.height, size.height);
                lineHasLink_ = lineHasLink_ || pen_.inLink;
            } else {
                EmitText(run, size, box);
            }
            pen_.x += size.width;
            pos = runEnd;
        }
        return pos;
    }

    void EmitText(const std::u16string& run, Size size, const LineBox& box)
    {
        const long long bottom = box.top + box.height - box.textOffset;
        if (mode_ == MarkupMode::Draw) {
            const Rect r{ClampToInt(pen_.x), ClampToInt(box.top), ClampToInt(pen_.x + size.width),
                         ClampToInt(bottom)};
            if (!wordWrap_ && pen_.x + size.width > layout_.right)
                DrawShortened(run, r);
            else
                surface_.DrawText(r, run, mnemonics_);
            return;
        }
        if (!pen_.inLink)
            return;
        const long long dx = static_cast<long long>(probe_.x) - layout_.left;
        if (dx >= Offset() && dx <= Offset() + size.width && probe_.y > bottom - box.endTextHeight
            && probe_.y < bottom)
            hit_ = pen_.target;
    }

    // Without word wrap a run that overflows the right edge ends in "...".
    void DrawShortened(const std::u16string& run, Rect r)
    {
        static constexpr View kEllipsis = u"...";
        r.right = layout_.right;
        const long long room = static_cast<long long>(layout_.right) - r.left;
        // The longest prefix that fits with the dots. No glyph is narrower
        // than half a pixel in practice, which bounds the search by the room
        // rather than by the run's length.
        std::size_t lo = 0;
        std::size_t hi = static_cast<std::size_t>(
            std::min<long long>(static_cast<long long>(run.size()), std::max(0LL, room) * 2 + 8));
        while (lo < hi) {
            const std::size_t mid = (lo + hi + 1) / 2;
            std::u16string candidate = run.substr(0, mid);
            candidate.append(kEllipsis);
            if (surface_.MeasureText(candidate, mnemonics_).width <= room)
                lo = mid;
            else
                hi = mid - 1;
        }
        std::u16string shown = run.substr(0, lo);
        if (mnemonics_ && !shown.empty() && shown.back() == u'&') {
            std::size_t amps = 0;
            while (amps < shown.size() && shown[shown.size() - 1 - amps] == u'&')
                ++amps;
            if (amps % 2 == 1)
                shown.pop_back();  // a lone mnemonic prefix would underline a dot
        }
        shown.append(kEllipsis);
        surface_.DrawText(r, shown, mnemonics_);
    }

    enum class TagResult { Continue, EndsLine, BreakBefore };

    TagResult Tag(View tag, Pass pass, LineBox& box, bool mayBreak)
    {
        if (tag.empty())
            return TagResult::Continue;
        const char16_t first = UpperAscii(tag[0]);
        const char16_t second = tag.size() > 1 ? UpperAscii(tag[1]) : u'\0';

        if (first == u'/') {
            const char16_t kind = tag.size() > 1 ? UpperAscii(tag[1]) : u'\0';
            if (kind == u'B' && tag.size() == 2) {
                pen_.bold = false;
            } else if (kind == u'F') {
                pen_.face = baseFace_;
                pen_.points = base_.points;
                pen_.colour = base_.colour;
            } else if (kind == u'A') {
                pen_.inLink = false;
                pen_.target = {};
                pen_.underline = false;
                pen_.colour = base_.colour;
            }
            return TagResult::Continue;
        }

        switch (first) {
        case u'B':
            if (tag.size() == 1) {
                pen_.bold = true;
            } else if (second == u'R') {
                return TagResult::EndsLine;
            } else if (second == u'O') {
                Body(tag, pass);
            }
            return TagResult::Continue;
        case u'F':
            Font(tag);
            return TagResult::Continue;
        case u'A':
            pen_.inLink = true;
            pen_.target = QuotedValue(tag, 0).value_or(View{});
            pen_.underline = true;
            pen_.colour = urlColour_;
            return TagResult::Continue;
        case u'H':
            if (second == u'R') {
                if (pass == Pass::Emit && mode_ == MarkupMode::Draw)
                    Rule(tag, box);
                return TagResult::EndsLine;
            }
            return TagResult::Continue;
        case u'I':
            if (second == u'M')
                return Image(tag, pass, box, mayBreak);
            if (second == u'N')
                Indent(tag);
            return TagResult::Continue;
        default:
            return TagResult::Continue;
        }
    }

    void Body(View tag, Pass pass)
    {
        if (pass != Pass::Emit || mode_ != MarkupMode::Draw)
            return;
        const std::u16string upper = platform::ToUpperAscii(tag);
        if (auto value = Attribute(tag, upper, u"BGCOLOR")) {
            Rect r = layout_;
            r.left -= 2;
            surface_.FillRect(r, ParseColour(surface_, *value));
        }
    }

    void Font(View tag)
    {
        const std::u16string upper = platform::ToUpperAscii(tag);
        if (auto face = Attribute(tag, upper, u"FACE"))
            pen_.face = face->substr(0, std::min(face->size(), kMaxFaceLength));
        // The leading space keeps "BGCOLOR" from matching.
        if (auto colour = Attribute(tag, upper, u" COLOR"))
            pen_.colour = ParseColour(surface_, *colour);
        if (auto size = Attribute(tag, upper, u"SIZE"))
            pen_.points = FontSizePoints(*size);
    }

    void Rule(View tag, const LineBox& box)
    {
        const std::u16string upper = platform::ToUpperAscii(tag);
        Rgb colour;
        if (auto value = Attribute(tag, upper, u"COLOR"); value && !value->empty())
            colour = ParseColour(surface_, *value);
        const int y = ClampToInt(box.top + box.height + 1);
        surface_.DrawLine(layout_.left, y, layout_.right, y, colour);
    }

    void Indent(View tag)
    {
        const auto value = QuotedValue(tag, 0);
        if (!value)
            return;
        if (auto n = WholeNumber(*value); n && Offset() < *n)
            pen_.x = layout_.left + *n;
    }


    TagResult Image(View tag, Pass pass, LineBox& box, bool mayBreak)
    {
        if (pictures_ == nullptr)
            return TagResult::Continue;
        const std::u16string upper = platform::ToUpperAscii(tag);
        const auto name = Attribute(tag, upper, u"SRC");
        if (!name || name->find(u':') != npos)
            return TagResult::Continue;
        const Picture* picture = pictures_->FindPicture(*name);
        if (picture == nullptr)
            return TagResult::Continue;
        const Size scaled = ScaledPictureSize(*picture, surface_.Dpi());
        const long long width = scaled.width;
        const long long height = scaled.height;

        if (pass == Pass::Measure) {
            if (wordWrap_ && mayBreak && Offset() + width > AvailableWidth()
                && width < AvailableWidth())
                return TagResult::BreakBefore;
            box.height = std::max(box.height, height);
            if (upper.find(u"ALIGN") != npos) {
                SelectPenFont();
                const long long free = box.height - surface_.TextHeight();
                if (upper.find(u"\"TOP") != npos)
                    box.textOffset = free;
                else if (upper.find(u"\"MIDDLE") != npos)
                    box.textOffset = free >= 0 ? free / 2 : -((-free + 1) / 2);
            }
            lineHasLink_ = lineHasLink_ || pen_.inLink;
        } else if (mode_ == MarkupMode::Draw) {
            surface_.DrawPicture(*picture, ClampToInt(pen_.x), ClampToInt(box.top));
        } else if (pen_.inLink) {
            const long long dx = static_cast<long long>(probe_.x) - layout_.left;
            if (dx > Offset() && dx < Offset() + width && probe_.y > box.top
                && probe_.y < box.top + height)
                hit_ = pen_.target;
        }
        pen_.x += width;
        return TagResult::Continue;
    }

    Surface& surface_;
    const Rect layout_;
    const FontSpec& base_;
    const Rgb urlColour_;
    const bool wordWrap_;
    const int lineSpacing_;
    const PictureSource* const pictures_;
    const Point probe_;
    const MarkupMode mode_;
    const bool mnemonics_;
    const std::u16string text_;
    const View baseFace_;
    std::size_t lastGt_ = npos;

    Pen pen_;
    FontSpec selected_;
    bool fontSelected_ = false;
    bool lineHasLink_ = false;
    bool textEnded_ = false;
    std::optional<View> hit_;
};

}  // namespace

MarkupResult RenderMarkup(Surface& surface, std::u16string_view text, const Rect& layout,
                          const FontSpec& baseFont, Rgb urlColour, bool wordWrap, int lineSpacing,
                          const PictureSource* pictures, Point probe, MarkupMode mode)
{
    return Renderer(surface, text, layout, baseFont, urlColour, wordWrap, lineSpacing, pictures,
                    probe, mode)
        .Run();
}

}  // namespace quelvo::markup
