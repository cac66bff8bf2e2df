#pragma once

// A drawing surface with fixed metrics for the markup engine's tests, fuzzer
// and benchmark: every character is 6 pixels wide and every font 13 pixels
// high, unless a test sets metrics for a point size. The "&" mnemonic rules
// apply to widths as on the real surface. Every drawing call is recorded.

#include "markup/engine/Surface.h"

#include <algorithm>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quelvo::markup::testing {

struct Metrics {
    int charWidth = 6;
    int textHeight = 13;
};

// What a string shows once the mnemonic rules are applied: the visible
// characters and the index of the underlined one (-1 for none).
struct ShownText {
    std::u16string text;
    int underlined = -1;
};

inline ShownText ApplyMnemonics(std::u16string_view text, bool mnemonics)
{
    ShownText shown;
    if (!mnemonics) {
        shown.text = text;
        return shown;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != u'&') {
            shown.text.push_back(text[i]);
            continue;
        }
        if (i + 1 >= text.size())
            break;  // a trailing prefix shows nothing
        ++i;
        if (text[i] != u'&')
            shown.underlined = static_cast<int>(shown.text.size());
        shown.text.push_back(text[i]);
    }
    return shown;
}

class FakePicture : public Picture {
public:
    FakePicture(int width, int height) : width_(width), height_(height) {}
    int Width() const override { return width_; }
    int Height() const override { return height_; }

private:
    int width_, height_;
};

class FakePictures : public PictureSource {
public:
    void Add(std::u16string name, int width = 30, int height = 30)
    {
        items_.emplace_back(std::move(name), std::make_unique<FakePicture>(width, height));
    }

    const Picture* FindPicture(std::u16string_view name) const override
    {
        for (const auto& [itemName, picture] : items_) {
            if (SameLetters(itemName, name))
                return picture.get();
        }
        return nullptr;
    }

    const Picture* Get(std::u16string_view name) const { return FindPicture(name); }

    // The pictures the report rows use, all 30 x 30.
    static FakePictures ReportPictures()
    {
        FakePictures p;
        for (const char16_t* name :
             {u"ListBoxItem_BG.bmp", u"ListBoxItem_SUBBG.bmp", u"idxs.1", u"idxs.2",
              u"ListBoxItem_WP.bmp", u"ListBoxItem_VE.bmp", u"ListBoxItem_RAA.bmp",
              u"ListBoxItem_FileTypeG.bmp", u"idxs.4", u"idxs.3", u"idxs.0",
              u"ListBoxItem_FileTypeU.bmp"})
            p.Add(name);
        return p;
    }

private:
    static bool SameLetters(std::u16string_view a, std::u16string_view b)
    {
        auto up = [](char16_t c) { return (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c; };
        return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](char16_t x, char16_t y) {
                   return up(x) == up(y);
               });
    }

    std::vector<std::pair<std::u16string, std::unique_ptr<FakePicture>>> items_;
};

struct DrawCall {
    enum class Kind { Text, Fill, Line, Picture };
    Kind kind = Kind::Text;
    Rect rect;                 // Text: the box; Fill: the area; Line: (x1, y1, x2, y2)
    std::u16string text;       // Text: as passed
    ShownText shown;           // Text: after the mnemonic rules
    FontSpec font;             // Text: the selected font
    Rgb colour;                // Fill, Line
    const Picture* picture = nullptr;  // Picture; its top-left corner is rect.left/top
};

class FakeSurface : public Surface {
public:
    FakeSurface()
    {
        theme_[u"clWindow"] = {0xFF, 0xFF, 0xFF};
        theme_[u"clWindowText"] = {0x00, 0x00, 0x00};
        theme_[u"clBtnFace"] = {0xF0, 0xF0, 0xF0};
        theme_[u"clHighlight"] = {0x00, 0x78, 0xD7};
        theme_[u"clInfoBk"] = {0xFF, 0xFF, 0xE1};
    }

    // Metrics for fonts of one point size; other sizes keep 6 x 13.
    void SetMetrics(int points, Metrics metrics) { metrics_[points] = metrics; }
    void SetDpi(int dpi) { dpi_ = dpi; }
    void SetRecording(bool on) { recording_ = on; }

    int Dpi() const override { return dpi_; }
    void SelectFont(const FontSpec& font) override
    {
        font_ = font;
        ++fontSelections;
    }
    const FontSpec& CurrentFont() const override { return font_; }

    Size MeasureText(std::u16string_view text, bool mnemonics) const override
    {
        const Metrics m = Current();
        int width = 0;
        bool prefix = false;
        for (char16_t c : text) {
            if (mnemonics && c == u'&' && !prefix) {
                prefix = true;
                continue;
            }
            prefix = false;
            if (c == u'\t') {
                const int tab = 8 * m.charWidth;
                width = (width / tab + 1) * tab;
            } else {
                width += m.charWidth;
            }
        }
        return {width, m.textHeight};
    }

    int TextHeight() const override { return Current().textHeight; }

    void DrawText(const Rect& box, std::u16string_view text, bool mnemonics) override
    {
        if (!recording_)
            return;
        DrawCall call;
        call.kind = DrawCall::Kind::Text;
        call.rect = box;
        call.text = text;
        call.shown = ApplyMnemonics(text, mnemonics);
        call.font = font_;
        calls.push_back(std::move(call));
    }

    void FillRect(const Rect& rect, Rgb colour) override
    {
        if (!recording_)
            return;
        DrawCall call;
        call.kind = DrawCall::Kind::Fill;
        call.rect = rect;
        call.colour = colour;
        calls.push_back(std::move(call));
    }

    void DrawLine(int x1, int y1, int x2, int y2, Rgb colour) override
    {
        if (!recording_)
            return;
        DrawCall call;
        call.kind = DrawCall::Kind::Line;
        call.rect = {x1, y1, x2, y2};
        call.colour = colour;
        calls.push_back(std::move(call));
    }

    void DrawPicture(const Picture& picture, int x, int y) override
    {
        if (!recording_)
            return;
        DrawCall call;
        call.kind = DrawCall::Kind::Picture;
        const Size size = ScaledPictureSize(picture, dpi_);
        call.rect = {x, y, x + size.width, y + size.height};
        call.picture = &picture;
        calls.push_back(std::move(call));
    }

    std::optional<Rgb> ThemeColour(std::u16string_view name) const override
    {
        auto it = theme_.find(std::u16string(name));
        if (it == theme_.end())
            return std::nullopt;
        return it->second;
    }

    std::vector<DrawCall> Calls(DrawCall::Kind kind) const
    {
        std::vector<DrawCall> out;
        std::copy_if(calls.begin(), calls.end(), std::back_inserter(out),
                     [kind](const DrawCall& c) { return c.kind == kind; });
        return out;
    }

    std::vector<DrawCall> calls;
    int fontSelections = 0;

private:
    Metrics Current() const
    {
        auto it = metrics_.find(font_.points);
        return it == metrics_.end() ? Metrics{} : it->second;
    }

    int dpi_ = 96;
    bool recording_ = true;
    FontSpec font_;
    std::map<int, Metrics> metrics_;
    std::map<std::u16string, Rgb> theme_;
};

}  // namespace quelvo::markup::testing
