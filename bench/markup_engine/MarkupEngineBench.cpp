// Markup engine cost per report row against the fake surface, and growth
// with the input length.

#include "markup/engine/RenderMarkup.h"
#include "tests/markup/engine/FakeSurface.h"

#include <benchmark/benchmark.h>

#include <string>

using namespace quelvo::markup;

namespace {

const std::u16string kCheckBoxRow =
    u"<BODY bgcolor=\"#e4eef9\"><ind=\"25\"><IMG src=\"idxs.0\" align=\"middle\"><A href=\"check "
    u".mp3\"><IMG src=\"idxs.1\" align=\"middle\"></A><font size=\"10\" "
    u"face=\"Arial\">.mp3</font><ind=\"400\"><A href=\".mp3\">Application Required</A><HR "
    u"COLOR=\"clWhite\">";

const FontSpec kBase{u"Tahoma", 8, false, false, {}};
constexpr Rgb kUrl{0, 0, 0xFF};
constexpr Rect kItem{0, 0, 700, 32};

struct Fixture {
    testing::FakeSurface surface;
    testing::FakePictures pictures = testing::FakePictures::ReportPictures();
    Fixture() { surface.SetRecording(false); }
};

void BM_DrawCheckBoxRow(benchmark::State& state)
{
    Fixture f;
    const Rect layout{kItem.left + 2, kItem.top, kItem.right, kItem.bottom};
    for (auto _ : state)
        DrawMarkup(f.surface, kCheckBoxRow, layout, kBase, kUrl, true, 0, &f.pictures);
}
BENCHMARK(BM_DrawCheckBoxRow)->Unit(benchmark::kMicrosecond);

void BM_LocateCheckBox(benchmark::State& state)
{
    Fixture f;
    for (auto _ : state) {
        auto r = LocateMarkupLink(f.surface, kCheckBoxRow, kItem, kBase, kUrl, true, 0, &f.pictures,
                                  {70, 15});
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(BM_LocateCheckBox)->Unit(benchmark::kMicrosecond);

void BM_LocateRowWithoutLink(benchmark::State& state)
{
    Fixture f;
    const std::u16string header =
        u"<IMG src=\"ListBoxItem_WP.bmp\" align=\"middle\"> <font size=\"10\" "
        u"face=\"Arial\"><B>Extensions with Problems</B></font>";
    for (auto _ : state) {
        auto r = LocateMarkupLink(f.surface, header, kItem, kBase, kUrl, true, 0, &f.pictures, {70, 15});
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(BM_LocateRowWithoutLink)->Unit(benchmark::kMicrosecond);

// Many short tagged lines: time per input character stays flat.
void BM_DrawManyTags(benchmark::State& state)
{
    Fixture f;
    std::u16string text;
    while (text.size() < static_cast<std::size_t>(state.range(0)))
        text += u"<B>a</B> <font size=\"3\" color=\"clRed\">b</font><A href=\"x\">c</A><br/>";
    for (auto _ : state)
        DrawMarkup(f.surface, text, {0, 0, 300, 1 << 30}, kBase, kUrl, true, 0, &f.pictures);
    state.SetComplexityN(static_cast<int64_t>(text.size()));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size() * 2));
}
BENCHMARK(BM_DrawManyTags)->RangeMultiplier(8)->Range(1 << 12, 1 << 21)->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond);

// One long unbroken string (up to 10 MB of UTF-16) of nested entities.
void BM_LocateLongEntityString(benchmark::State& state)
{
    Fixture f;
    std::u16string text = u"&";
    while (text.size() < static_cast<std::size_t>(state.range(0)))
        text += u"amp;";
    for (auto _ : state) {
        auto r = LocateMarkupLink(f.surface, text, {0, 0, 300, 100}, kBase, kUrl, true, 0,
                                  &f.pictures, {5, 5});
        benchmark::DoNotOptimize(r);
    }
    state.SetComplexityN(static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_LocateLongEntityString)->RangeMultiplier(8)->Range(1 << 12, 5 << 20)
    ->Complexity(benchmark::oN)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
