// Run: build-*/bench/markup_qt/bench_markup_qt (offscreen platform by default).
// Compare BM_Engine* with BM_QTextDocument* (same row, same kind of surface),
// and BM_ListBoxPaint/100 with /10000 (one paint must not grow with the count).

#include "markup/engine/RenderMarkup.h"
#include "frontend/qt/markup/Convert.h"
#include "frontend/qt/markup/HTMListB.h"
#include "frontend/qt/markup/PictureContainer.h"
#include "frontend/qt/markup/QtSurface.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTextDocument>

#include <benchmark/benchmark.h>

using namespace quelvo::markup;

namespace {

constexpr int kWidth = 544;
constexpr int kRow = 32;

const char16_t kRow16[] =
    u"<BODY bgcolor=\"#e4eef9\"><ind=\"25\"><IMG src=\"idxs.0\" align=\"middle\"><A href=\"check .mp3\">"
    u"<IMG src=\"idxs.1\" align=\"middle\"></A><font size=\"10\" face=\"Arial\">.mp3</font><ind=\"400\">"
    u"<A href=\".mp3\">Application Required</A><HR COLOR=\"clWhite\">";

// The same row in HTML for QTextDocument: a coloured block, the two pictures
// (the second a link), the extension, the status link and the separator.
const char kRowHtml[] =
    "<body style=\"background-color:#e4eef9; font-family:Tahoma; font-size:8pt\">"
    "<table width=\"100%\" cellspacing=\"0\" cellpadding=\"0\"><tr>"
    "<td width=\"25\"></td><td><img src=\"idxs.0\" style=\"vertical-align:middle\">"
    "<a href=\"check .mp3\"><img src=\"idxs.1\" style=\"vertical-align:middle\"></a>"
    "<span style=\"font-family:Arial; font-size:10pt\">.mp3</span></td>"
    "<td width=\"144\"><a href=\".mp3\" style=\"color:#0000ff\">Application Required</a></td>"
    "</tr></table><hr style=\"color:#ffffff\"></body>";

QImage Picture(QColor colour) {
    QImage image(30, 30, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

TPictureContainer& Pictures() {
    static TPictureContainer container;
    if (container.Items().Count() == 0) {
        container.AddImage("idxs.0", Picture(QColor(230, 60, 60)));
        container.AddImage("idxs.1", Picture(Qt::white));
    }
    return container;
}

const FontSpec kBase{u"Tahoma", 8, false, false, Rgb{0, 0, 0}};
const Rgb kBlue{0, 0, 255};

void BM_EngineLayoutDraw(benchmark::State& state) {
    QImage image(kWidth, kRow, QImage::Format_RGB32);
    QPainter painter(&image);
    for (auto _ : state) {
        QtSurface surface(&painter, 96);
        DrawMarkup(surface, kRow16, Rect{2, 0, kWidth, kRow}, kBase, kBlue, true, 0, &Pictures());
    }
}
BENCHMARK(BM_EngineLayoutDraw);

void BM_EngineLocate(benchmark::State& state) {
    for (auto _ : state) {
        QtSurface surface(nullptr, 96);
        auto found = LocateMarkupLink(surface, kRow16, Rect{0, 0, kWidth, kRow}, kBase, kBlue, true, 0, &Pictures(),
                                      Point{70, 15});
        benchmark::DoNotOptimize(found);
        if (!found.overLink) state.SkipWithError("the check box was not found");
    }
}
BENCHMARK(BM_EngineLocate);

void SetUpDocument(QTextDocument& doc) {
    doc.addResource(QTextDocument::ImageResource, QUrl("idxs.0"), Picture(QColor(230, 60, 60)));
    doc.addResource(QTextDocument::ImageResource, QUrl("idxs.1"), Picture(Qt::white));
    doc.setDocumentMargin(0);
    doc.setHtml(QString::fromLatin1(kRowHtml));
    doc.setTextWidth(kWidth - 2);
}

void BM_QTextDocumentLayoutDraw(benchmark::State& state) {
    QImage image(kWidth, kRow, QImage::Format_RGB32);
    QPainter painter(&image);
    for (auto _ : state) {
        // Parsed and laid out anew each time, as our engine does.
        QTextDocument doc;
        SetUpDocument(doc);
        painter.save();
        painter.translate(2, 0);
        doc.drawContents(&painter, QRectF(0, 0, kWidth - 2, kRow));
        painter.restore();
    }
}
BENCHMARK(BM_QTextDocumentLayoutDraw);

void BM_QTextDocumentLocate(benchmark::State& state) {
    for (auto _ : state) {
        QTextDocument doc;
        SetUpDocument(doc);
        auto anchor = doc.documentLayout()->anchorAt(QPointF(70, 15));
        benchmark::DoNotOptimize(anchor);
    }
}
BENCHMARK(BM_QTextDocumentLocate);

void BM_ListBoxPaint(benchmark::State& state) {
    THTMListBox list;
    list.SetAutoItemHeight(false);
    list.SetItemHeight(kRow);
    list.SetBorderStyle(bsNone);
    list.SetPictureContainer(&Pictures());
    list.resize(kWidth, 286);
    list.show();
    for (int i = 0; i < state.range(0); ++i) list.Items().Add(std::u16string(kRow16));
    list.SetTopIndex(static_cast<int>(state.range(0)) / 2);
    QImage image(list.viewport()->size(), QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter painter(&image);
        list.PaintItems(painter, image.rect());
    }
    state.counters["items"] = static_cast<double>(state.range(0));
}
BENCHMARK(BM_ListBoxPaint)->Arg(100)->Arg(10000);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    RegisterMarkupFonts();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
