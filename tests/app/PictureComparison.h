#pragma once

// Pixel comparison of two pictures of the same window, drawn by the two
// front ends: how many pixels differ visibly, and whether every link's
// underline spans the same stretch on both.

#include <QImage>
#include <QRect>

#include <vector>

namespace quelvo::app::test {

struct PictureDifference {
    bool sizesMatch = false;
    long long differing = 0;  // pixels differing by more than the threshold
    long long counted = 0;    // pixels compared (outside the masks)
    QImage picture;           // differing pixels red on a faded first picture
    double SharePercent() const { return counted > 0 ? 100.0 * static_cast<double>(differing) / counted : 0; }
};

// A pixel differs when one of its red, green and blue values differs by
// more than threshold (of 255). Pixels inside masks are not compared.
PictureDifference ComparePictures(const QImage& a, const QImage& b, const std::vector<QRect>& masks,
                                  int threshold = 40);

// A link's underline: a run of link-blue pixels (blue 200 or more, red and
// green 60 or less) at least 10 pixels long on one row, gaps of up to 2
// pixels bridged, nine in ten of its pixels blue. Rows next to each other
// with overlapping runs are one.
struct LinkRun {
    int y = 0, left = 0, right = 0;  // right inclusive
};
std::vector<LinkRun> LinkRuns(const QImage& picture, const std::vector<QRect>& masks);

struct LinkMismatch {
    int y = 0, left = 0;
    int qtRight = -1, win32Right = -1;  // -1: no such link on that side
};
// Links of one picture with no link on the other within 3 pixels of its
// row and 6 of its start, or whose ends lie more than 3 pixels apart.
std::vector<LinkMismatch> CompareLinkRuns(const QImage& qt, const QImage& win32, const std::vector<QRect>& masks);

}  // namespace quelvo::app::test
