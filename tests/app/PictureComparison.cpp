#include "PictureComparison.h"

#include <algorithm>
#include <cstdlib>

namespace quelvo::app::test {

namespace {

bool Masked(const std::vector<QRect>& masks, int x, int y)
{
    return std::any_of(masks.begin(), masks.end(), [&](const QRect& r) { return r.contains(x, y); });
}

bool LinkBlue(QRgb p) { return qBlue(p) >= 200 && qRed(p) <= 60 && qGreen(p) <= 60; }

}  // namespace

PictureDifference ComparePictures(const QImage& a, const QImage& b, const std::vector<QRect>& masks, int threshold)
{
    PictureDifference d;
    d.sizesMatch = a.size() == b.size();
    if (!d.sizesMatch)
        return d;
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    d.picture = QImage(x.size(), QImage::Format_RGB32);
    for (int row = 0; row < x.height(); ++row) {
        const auto* p = reinterpret_cast<const QRgb*>(x.constScanLine(row));
        const auto* q = reinterpret_cast<const QRgb*>(y.constScanLine(row));
        auto* o = reinterpret_cast<QRgb*>(d.picture.scanLine(row));
        for (int col = 0; col < x.width(); ++col) {
            const int grey = qGray(p[col]) / 4 + 191;
            o[col] = qRgb(grey, grey, grey);
            if (Masked(masks, col, row))
                continue;
            ++d.counted;
            const bool differs = std::abs(qRed(p[col]) - qRed(q[col])) > threshold
                                 || std::abs(qGreen(p[col]) - qGreen(q[col])) > threshold
                                 || std::abs(qBlue(p[col]) - qBlue(q[col])) > threshold;
            if (differs) {
                ++d.differing;
                o[col] = qRgb(255, 0, 0);
            }
        }
    }
    return d;
}

std::vector<LinkRun> LinkRuns(const QImage& picture, const std::vector<QRect>& masks)
{
    const QImage image = picture.convertToFormat(QImage::Format_RGB32);
    std::vector<LinkRun> done;
    std::vector<LinkRun> open;  // runs that reached the row above
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        std::vector<LinkRun> row;
        int start = -1, last = -1, blue = 0;
        auto close = [&] {
            // An underline is nearly solid; the tops of crisp blue letters
            // next to each other are not.
            const int length = last - start + 1;
            if (start >= 0 && length >= 10 && blue * 10 >= length * 9)
                row.push_back(LinkRun{y, start, last});
            start = last = -1;
            blue = 0;
        };
        for (int x = 0; x < image.width(); ++x) {
            if (!LinkBlue(line[x]) || Masked(masks, x, y))
                continue;
            if (start >= 0 && x - last > 3)
                close();
            if (start < 0)
                start = x;
            last = x;
            ++blue;
        }
        close();
        // Continue a run of the row above that overlaps, or start one.
        std::vector<LinkRun> next;
        for (LinkRun r : row) {
            auto above = std::find_if(open.begin(), open.end(),
                                      [&](const LinkRun& o) { return o.left <= r.right && r.left <= o.right; });
            if (above != open.end()) {
                r.y = above->y;
                r.left = std::min(r.left, above->left);
                r.right = std::max(r.right, above->right);
                open.erase(above);
            }
            next.push_back(r);
        }
        done.insert(done.end(), open.begin(), open.end());
        open = std::move(next);
    }
    done.insert(done.end(), open.begin(), open.end());
    return done;
}

std::vector<LinkMismatch> CompareLinkRuns(const QImage& qt, const QImage& win32, const std::vector<QRect>& masks)
{
    std::vector<LinkRun> a = LinkRuns(qt, masks);
    std::vector<LinkRun> b = LinkRuns(win32, masks);
    std::vector<LinkMismatch> mismatches;
    for (const LinkRun& r : a) {
        auto match = std::find_if(b.begin(), b.end(), [&](const LinkRun& o) {
            return std::abs(o.y - r.y) <= 3 && std::abs(o.left - r.left) <= 6;
        });
        if (match == b.end()) {
            mismatches.push_back(LinkMismatch{r.y, r.left, r.right, -1});
            continue;
        }
        if (std::abs(match->right - r.right) > 3)
            mismatches.push_back(LinkMismatch{r.y, r.left, r.right, match->right});
        b.erase(match);
    }
    for (const LinkRun& o : b)
        mismatches.push_back(LinkMismatch{o.y, o.left, -1, o.right});
    return mismatches;
}

}  // namespace quelvo::app::test
