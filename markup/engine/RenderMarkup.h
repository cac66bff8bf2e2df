#pragma once

// The markup engine: lays a markup string out in a rectangle and either draws
// it on a Surface or finds the link under a probe point. It keeps no state
// between calls and leaves the surface's font as it found it.
//
// Markup, read left to right with no nesting (a tag runs from "<" to the
// first ">" after it; tag names and attribute names match in any case,
// attribute values are double-quoted):
//
//   <B> </B>                   bold on / off (only these exact forms)
//   <BR> <br/>                 ends the line
//   <FONT face= color= size=>  changes the pen; size 1..5 -> 8,10,12,14,16 pt,
//                              any other number n -> n pt
//   </FONT>                    face, size and colour back to the base font
//   <A href="t"> </A>          link with target t (first quoted value), drawn
//                              underlined in urlColour; </A> restores the base
//                              colour
//   <IMG src="n" align=>       picture from the PictureSource ("TOP"/"MIDDLE"
//                              lift the line's text); missing -> no space
//   <ind="n">                  moves the pen to left + n unless already past it
//   <BODY bgcolor="c">         fills the layout rectangle, widened 2 px left
//   <HR COLOR="c">             ends the line; one-pixel line at line bottom + 1
//
// Colours: "#rrggbb", the sixteen basic names (clBlack ... clWhite), theme
// names via Surface::ThemeColour; anything else is black. Entities: &amp;
// &quot; (before layout), &nbsp; &lt; &gt; (inside text runs). CR is a line
// break, LF is ignored. A text containing " & " shows "&" literally; any
// other text treats "&" as a mnemonic prefix. Other tags vanish without
// effect; malformed markup degrades and never fails.

#include "markup/engine/Surface.h"

#include <string>
#include <string_view>

namespace quelvo::markup {

struct Point {
    int x = 0, y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

enum class MarkupMode {
    Draw,    // draws; finds nothing
    Locate,  // draws nothing; finds the link at the probe point
};

struct MarkupResult {
    bool overLink = false;     // Locate: the probe point lies on a link
    std::u16string linkTarget; // its target, as written; empty unless overLink
    friend bool operator==(const MarkupResult&, const MarkupResult&) = default;
};

// surface      where to draw and measure; its font is restored on return
// text         the markup string
// layout       left, top, right, bottom in surface pixels (right/bottom exclusive)
// baseFont     the font in force at the start; </FONT> and </A> return to it
// urlColour    colour of link text
// wordWrap     true: lines break between words; false: one line per line
//              break tag, overlong text drawn shortened with "..."
// lineSpacing  extra pixels added to every line's height
// pictures     what <IMG src> names; may be null (then no picture shows)
// probe        Locate: the point whose link is sought
// mode         Draw or Locate
MarkupResult RenderMarkup(Surface& surface, std::u16string_view text, const Rect& layout,
                          const FontSpec& baseFont, Rgb urlColour, bool wordWrap, int lineSpacing,
                          const PictureSource* pictures, Point probe, MarkupMode mode);

// Draw mode without a probe point.
inline void DrawMarkup(Surface& surface, std::u16string_view text, const Rect& layout,
                       const FontSpec& baseFont, Rgb urlColour, bool wordWrap, int lineSpacing,
                       const PictureSource* pictures)
{
    RenderMarkup(surface, text, layout, baseFont, urlColour, wordWrap, lineSpacing, pictures, {},
                 MarkupMode::Draw);
}

// Locate mode: the link at probe, or an empty result.
inline MarkupResult LocateMarkupLink(Surface& surface, std::u16string_view text,
                                     const Rect& layout, const FontSpec& baseFont, Rgb urlColour,
                                     bool wordWrap, int lineSpacing,
                                     const PictureSource* pictures, Point probe)
{
    return RenderMarkup(surface, text, layout, baseFont, urlColour, wordWrap, lineSpacing,
                        pictures, probe, MarkupMode::Locate);
}

}  // namespace quelvo::markup
