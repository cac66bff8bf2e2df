// Drives the markup engine in draw and locate mode against the fake surface.
// Input: UTF-8 markup, or raw UTF-16LE after a leading 0xFF byte. Besides
// memory and termination faults it checks that every drawn link run is found
// again by locating at its centre.

#include "markup/engine/RenderMarkup.h"
#include "platform/Text.h"
#include "tests/markup/engine/FakeSurface.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

using namespace quelvo::markup;

namespace {

std::u16string Decode(const std::uint8_t* data, std::size_t size)
{
    if (size > 0 && data[0] == 0xFF) {
        std::u16string text;
        for (std::size_t i = 1; i + 1 < size; i += 2)
            text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
        return text;
    }
    return quelvo::platform::FromUtf8(std::string_view(reinterpret_cast<const char*>(data), size));
}

bool Sane(const Rect& r)
{
    constexpr int limit = 1 << 28;
    return r.left > -limit && r.right < limit && r.top > -limit && r.bottom < limit;
}

void Check(std::u16string_view text, Rect layout, bool wrap, Point probe)
{
    static const testing::FakePictures pictures = testing::FakePictures::ReportPictures();
    testing::FakeSurface surface;
    surface.SetMetrics(10, {7, 16});
    surface.SetMetrics(16, {10, 20});
    const FontSpec base{u"Tahoma", 8, false, false, {}};
    const Rgb url{0, 0, 0xFF};

    RenderMarkup(surface, text, layout, base, url, wrap, 0, &pictures, probe, MarkupMode::Locate);
    if (!(surface.CurrentFont() == FontSpec{}) || !surface.calls.empty())
        std::abort();  // locate mode drew something or left a font behind

    RenderMarkup(surface, text, layout, base, url, wrap, 0, &pictures, probe, MarkupMode::Draw);
    if (!wrap)
        return;  // shortened runs are drawn in a box of their own
    int checked = 0;
    for (const testing::DrawCall& call : surface.calls) {
        if (call.kind != testing::DrawCall::Kind::Text || !call.font.underline || !Sane(call.rect))
            continue;
        const Point centre{call.rect.left + (call.rect.right - call.rect.left) / 2, call.rect.bottom - 6};
        if (!RenderMarkup(surface, text, layout, base, url, wrap, 0, &pictures, centre,
                          MarkupMode::Locate)
                 .overLink)
            std::abort();  // drawing and locating disagree
        if (++checked == 8)
            break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::u16string text = Decode(data, size);
    unsigned sum = 0;
    for (std::size_t i = 0; i < size; ++i)
        sum = sum * 31 + data[i];
    const Point probe{static_cast<int>(sum % 640), static_cast<int>((sum >> 10) % 40)};
    for (bool wrap : {true, false}) {
        Check(text, {2, 0, 600, 32}, wrap, probe);    // a list row
        Check(text, {0, 0, 441, 55}, wrap, probe);    // a label
        Check(text, {0, 0, 40, 200}, wrap, probe);    // narrower than most words
    }
    return 0;
}
