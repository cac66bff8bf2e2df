// Compares the window's pages as the two front ends drew them (the pictures
// FormTest.shouldPreviewEveryPage saves: PNG from Qt, BMP from Win32).
//   compare_front_ends <qt folder> <win32 folder> [--max-share <percent>] [--out <folder>]
// For every page of the Qt folder: the share of pixels whose colour differs
// by more than 40 of 255 in some channel (outside the rectangles a
// "<page>.mask" file beside either picture lists: "left top width height"
// per line, what neither front end draws itself), which must not exceed the
// limit (2 %); and every link's text (pure blue runs) must end where it
// ends on the other side, within 3 pixels, so a link cut short or spaced
// wider shows. With --out, a picture of the differing pixels per page.
// Exit status 0 when every page passes.

#include "PictureComparison.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTextStream>

#include <cstdio>

using namespace quelvo::app::test;

namespace {

std::vector<QRect> ReadMasks(const QString& path)
{
    std::vector<QRect> masks;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return masks;
    QTextStream in(&file);
    while (!in.atEnd()) {
        const QStringList parts = in.readLine().split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (parts.size() == 4)
            masks.emplace_back(parts[0].toInt(), parts[1].toInt(), parts[2].toInt(), parts[3].toInt());
    }
    return masks;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: compare_front_ends <qt folder> <win32 folder> [--max-share <percent>] [--out <folder>]\n");
        return 2;
    }
    const QDir qt(args[1]);
    const QDir win32(args[2]);
    double maxShare = 2.0;
    QString out;
    for (int i = 3; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--max-share"))
            maxShare = args[i + 1].toDouble();
        else if (args[i] == QLatin1String("--out"))
            out = args[i + 1];
    }

    const QStringList pages = qt.entryList({QStringLiteral("*.png")}, QDir::Files, QDir::Name);
    if (pages.isEmpty()) {
        std::fprintf(stderr, "compare_front_ends: no pictures in %s\n", qPrintable(qt.path()));
        return 2;
    }
    bool ok = true;
    std::printf("%-24s %10s %8s\n", "page", "differing", "links");
    for (const QString& file : pages) {
        const QString page = file.chopped(4);
        const QImage a(qt.filePath(file));
        const QImage b(win32.filePath(page + QStringLiteral(".bmp")));
        if (a.isNull() || b.isNull()) {
            std::printf("%-24s missing on %s\n", qPrintable(page), a.isNull() ? "Qt" : "Win32");
            ok = false;
            continue;
        }
        std::vector<QRect> masks = ReadMasks(qt.filePath(page + QStringLiteral(".mask")));
        for (const QRect& r : ReadMasks(win32.filePath(page + QStringLiteral(".mask"))))
            masks.push_back(r);
        const PictureDifference diff = ComparePictures(a, b, masks);
        const std::vector<LinkMismatch> links = CompareLinkRuns(a, b, masks);
        const bool pass = diff.sizesMatch && diff.SharePercent() <= maxShare && links.empty();
        std::printf("%-24s %9.2f%% %8s%s\n", qPrintable(page), diff.SharePercent(),
                    links.empty() ? "same" : "differ", pass ? "" : "  FAILED");
        for (const LinkMismatch& m : links)
            std::printf("    link at y %d, x %d: ends at %d on Qt, %d on Win32\n", m.y, m.left, m.qtRight, m.win32Right);
        if (!diff.sizesMatch)
            std::printf("    sizes differ: %dx%d and %dx%d\n", a.width(), a.height(), b.width(), b.height());
        if (!out.isEmpty())
            diff.picture.save(QDir(out).filePath(page + QStringLiteral("-diff.png")));
        ok = ok && pass;
    }
    return ok ? 0 : 1;
}
