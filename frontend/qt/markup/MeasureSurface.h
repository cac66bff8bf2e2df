#pragma once

// A surface that draws nothing and records how far down the drawing would
// reach: the content height of a markup string, for items and labels that
// size or align themselves by their content.

#include "markup/engine/Surface.h"

#include <algorithm>
#include <climits>

namespace quelvo::markup {

class MeasureSurface : public Surface {
public:
    explicit MeasureSurface(Surface& metrics) : m_metrics(metrics) {}

    // Lowest drawn pixel row + 1, or INT_MIN when nothing was drawn.
    int Bottom() const { return m_bottom; }

    int Dpi() const override { return m_metrics.Dpi(); }
    void SelectFont(const FontSpec& font) override { m_metrics.SelectFont(font); }
    const FontSpec& CurrentFont() const override { return m_metrics.CurrentFont(); }
    Size MeasureText(std::u16string_view text, bool mnemonics) const override {
        return m_metrics.MeasureText(text, mnemonics);
    }
    int TextHeight() const override { return m_metrics.TextHeight(); }
    void DrawText(const Rect& box, std::u16string_view, bool) override { Reach(box.bottom); }
    // Background fills cover the whole layout: they say nothing about the content.
    void FillRect(const Rect&, Rgb) override {}
    void DrawLine(int, int y1, int, int y2, Rgb) override { Reach(std::max(y1, y2) + 1); }
    void DrawPicture(const Picture& picture, int, int y) override {
        Reach(y + ScaledPictureSize(picture, Dpi()).height);
    }
    std::optional<Rgb> ThemeColour(std::u16string_view name) const override {
        return m_metrics.ThemeColour(name);
    }

private:
    void Reach(int bottom) { m_bottom = std::max(m_bottom, bottom); }
    Surface& m_metrics;
    int m_bottom = INT_MIN;
};

}  // namespace quelvo::markup
