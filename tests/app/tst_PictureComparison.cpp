// The comparison of the two front ends' pictures, on pictures made here.

#include "PictureComparison.h"

#include <QPainter>

#include <gtest/gtest.h>

using namespace quelvo::app::test;

namespace {

QImage Plain(QRgb colour, int width = 100, int height = 50)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// A link as both front ends draw one: a one-pixel underline in pure blue.
void Underline(QImage& image, int y, int left, int right)
{
    for (int x = left; x <= right; ++x)
        image.setPixel(x, y, qRgb(0, 0, 255));
}

}  // namespace

TEST(PictureComparison, shouldCountPixelsThatDifferByMoreThanTheThresholdInAnyChannel)
{
    const QImage a = Plain(qRgb(100, 100, 100));
    QImage b = a;
    b.setPixel(0, 0, qRgb(140, 100, 100));  // 40: the same to the eye
    b.setPixel(1, 0, qRgb(100, 141, 100));
    b.setPixel(2, 0, qRgb(100, 100, 59));
    const PictureDifference d = ComparePictures(a, b, {});
    EXPECT_TRUE(d.sizesMatch);
    EXPECT_EQ(d.counted, 5000);
    EXPECT_EQ(d.differing, 2);
    EXPECT_DOUBLE_EQ(d.SharePercent(), 0.04);
    EXPECT_EQ(d.picture.pixel(1, 0), qRgb(255, 0, 0));
    EXPECT_NE(d.picture.pixel(0, 0), qRgb(255, 0, 0));
}

TEST(PictureComparison, shouldLeaveMaskedRectanglesOutAndRefusePicturesOfOtherSizes)
{
    const QImage a = Plain(qRgb(255, 255, 255));
    QImage b = a;
    QPainter(&b).fillRect(QRect(10, 10, 20, 5), Qt::black);
    const PictureDifference masked = ComparePictures(a, b, {QRect(10, 10, 20, 5)});
    EXPECT_EQ(masked.differing, 0);
    EXPECT_EQ(masked.counted, 5000 - 100);
    EXPECT_EQ(ComparePictures(a, b, {QRect(10, 10, 20, 4)}).differing, 20);

    const PictureDifference other = ComparePictures(a, Plain(qRgb(255, 255, 255), 100, 51), {});
    EXPECT_FALSE(other.sizesMatch);
}

TEST(PictureComparison, shouldFindEachUnderlineAsOneLinkBridgingSmallGaps)
{
    QImage image = Plain(qRgb(228, 238, 249), 300, 40);
    Underline(image, 20, 50, 80);
    Underline(image, 20, 83, 120);  // a two-pixel gap between two words' underlines
    Underline(image, 21, 60, 70);   // a second pixel row of the same line
    Underline(image, 30, 200, 205); // too short for a link: a letter's stem
    image.setPixel(150, 20, qRgb(0, 0, 200));
    const std::vector<LinkRun> runs = LinkRuns(image, {});
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].y, 20);
    EXPECT_EQ(runs[0].left, 50);
    EXPECT_EQ(runs[0].right, 120);

    Underline(image, 20, 124, 140);  // three pixels apart: another link
    EXPECT_EQ(LinkRuns(image, {}).size(), 2u);

    // The tops of crisp letters side by side: blue, but far from solid.
    for (int x = 160; x < 200; x += 3)
        Underline(image, 10, x, x + 1);
    EXPECT_EQ(LinkRuns(image, {}).size(), 2u);
}

TEST(PictureComparison, shouldReportALinkCutShortMissingOrExtraOnEitherSide)
{
    QImage qt = Plain(qRgb(255, 255, 255), 600, 100);
    Underline(qt, 20, 402, 526);  // "New Application Required"
    Underline(qt, 52, 402, 470);

    QImage same = Plain(qRgb(255, 255, 255), 600, 100);
    Underline(same, 21, 403, 524);  // a pixel lower, two shorter: the same link
    Underline(same, 52, 402, 470);
    EXPECT_TRUE(CompareLinkRuns(qt, same, {}).empty());

    QImage cut = Plain(qRgb(255, 255, 255), 600, 100);
    Underline(cut, 20, 402, 490);  // "New Application" and a trailing space
    Underline(cut, 80, 100, 140);
    const std::vector<LinkMismatch> m = CompareLinkRuns(qt, cut, {});
    ASSERT_EQ(m.size(), 3u);
    EXPECT_EQ(m[0].qtRight, 526);
    EXPECT_EQ(m[0].win32Right, 490);
    EXPECT_EQ(m[1].y, 52);
    EXPECT_EQ(m[1].win32Right, -1);
    EXPECT_EQ(m[2].y, 80);
    EXPECT_EQ(m[2].qtRight, -1);

    EXPECT_TRUE(CompareLinkRuns(qt, same, {QRect(0, 0, 600, 100)}).empty());
}
