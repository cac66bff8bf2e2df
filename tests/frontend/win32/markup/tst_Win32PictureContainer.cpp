#include "tests/support/Win32Canvas.h"

#include "frontend/win32/markup/Win32PictureContainer.h"

#include <gtest/gtest.h>

using namespace quelvo::frontend::win32;
using namespace quelvo::frontend::win32::test;

namespace {

// The pixel (x, y) from the top as the file stores it: 24-bit rows, bottom-up.
std::uint32_t FilePixel(const std::vector<std::uint8_t>& bmp, int x, int y)
{
    const std::size_t at = 54 + static_cast<std::size_t>(29 - y) * 92 + static_cast<std::size_t>(x) * 3;
    return Rgb(bmp[at + 2], bmp[at + 1], bmp[at]);
}

void Put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

// A 2 x 2 picture, 32 bits per pixel, rows top-down.
std::vector<std::uint8_t> TopDown32()
{
    std::vector<std::uint8_t> b(54 + 16, 0);
    b[0] = 'B';
    b[1] = 'M';
    Put32(b, 2, static_cast<std::uint32_t>(b.size()));
    Put32(b, 10, 54);
    Put32(b, 14, 40);
    Put32(b, 18, 2);
    Put32(b, 22, static_cast<std::uint32_t>(-2));
    b[26] = 1;
    b[28] = 32;
    const std::uint32_t pixels[] = {0x112233, 0x445566, 0x778899, 0xAABBCC};
    for (int i = 0; i < 4; ++i)
        Put32(b, 54 + 4 * static_cast<std::size_t>(i), pixels[i]);
    return b;
}

}  // namespace

TEST(Win32PictureContainer, shouldDecodeTheRowPicturesPixelForPixel)
{
    Win32PictureContainer container;
    LoadRowPictures(container);
    ASSERT_EQ(container.Count(), 12);
    for (const char* name : {"idxs.0", "idxs.1", "idxs.2", "ListBoxItem_FileTypeG.bmp", "ListBoxItem_WP.bmp"}) {
        const std::vector<std::uint8_t> bmp = RowPictureBytes(name);
        ASSERT_EQ(bmp.size(), 2816u) << name;
        const auto* picture = dynamic_cast<const Win32Picture*>(
            container.FindPicture(std::u16string(name, name + std::char_traits<char>::length(name))));
        ASSERT_NE(picture, nullptr) << name;
        EXPECT_EQ(picture->Width(), 30);
        EXPECT_EQ(picture->Height(), 30);
        for (auto [x, y] : {std::pair{0, 0}, {29, 0}, {0, 29}, {29, 29}, {15, 14}, {3, 22}})
            EXPECT_EQ(picture->Pixel(x, y), FilePixel(bmp, x, y)) << name << " at " << x << "," << y;
    }
}

TEST(Win32PictureContainer, shouldFindNamesWithoutRegardToLetterCaseFirstMatchFirst)
{
    Win32PictureContainer container;
    LoadRowPictures(container);
    const auto* lower = container.FindPicture(u"idxs.1");
    ASSERT_NE(lower, nullptr);
    EXPECT_EQ(container.FindPicture(u"IDXS.1"), lower);
    EXPECT_EQ(container.FindPicture(u"IdXs.1"), lower);
    EXPECT_NE(container.FindPicture(u"idxs.2"), lower);
    EXPECT_EQ(container.FindPicture(u"idxs.5"), nullptr);
    EXPECT_EQ(container.FindPicture(u"idxs.1 "), nullptr);
    EXPECT_EQ(container.FindPicture(u""), nullptr);

    // A second picture of a taken name is never found.
    ASSERT_TRUE(container.Add(u"IDXS.1", RowPictureBytes("idxs.2")));
    EXPECT_EQ(container.FindPicture(u"idxs.1"), lower);

    // Only a to z fold: accented letters keep their case.
    ASSERT_TRUE(container.Add(u"\u00e9t\u00e9", RowPictureBytes("idxs.3")));
    EXPECT_NE(container.FindPicture(u"\u00e9T\u00e9"), nullptr);
    EXPECT_EQ(container.FindPicture(u"\u00c9t\u00e9"), nullptr);
}

TEST(Win32PictureContainer, shouldReadTopDownThirtyTwoBitPictures)
{
    Win32Picture picture;
    ASSERT_TRUE(picture.LoadBmp(TopDown32()));
    EXPECT_EQ(picture.Width(), 2);
    EXPECT_EQ(picture.Height(), 2);
    EXPECT_EQ(picture.Pixel(0, 0), 0x112233u);
    EXPECT_EQ(picture.Pixel(1, 0), 0x445566u);
    EXPECT_EQ(picture.Pixel(0, 1), 0x778899u);
    EXPECT_EQ(picture.Pixel(1, 1), 0xAABBCCu);

    DibCanvas canvas(8, 8, RGB(0, 0, 0));
    picture.Draw(canvas.Dc(), 3, 4, 2, 2);
    EXPECT_EQ(canvas.Pixel(3, 4), 0x112233u);
    EXPECT_EQ(canvas.Pixel(4, 5), 0xAABBCCu);
    EXPECT_EQ(canvas.Pixel(5, 5), 0u);
}

TEST(Win32PictureContainer, shouldRefuseBytesThatAreNoPictureItCanRead)
{
    const std::vector<std::uint8_t> good = RowPictureBytes("idxs.1");
    ASSERT_EQ(good.size(), 2816u);
    std::vector<std::vector<std::uint8_t>> bad;
    bad.push_back({});
    bad.push_back(std::vector<std::uint8_t>(good.begin(), good.begin() + 2000));  // pixels cut short
    bad.push_back(std::vector<std::uint8_t>(good.begin(), good.begin() + 53));    // header cut short
    auto changed = [&](std::size_t at, std::uint32_t value) {
        std::vector<std::uint8_t> b = good;
        Put32(b, at, value);
        return b;
    };
    bad.push_back(changed(0, 0x00004D42 ^ 0x0101));           // not "BM"
    bad.push_back(changed(10, 5000));                         // pixels past the end
    bad.push_back(changed(10, 20));                           // pixels inside the header
    bad.push_back(changed(18, 0x7FFFFFFF));                   // absurd width
    bad.push_back(changed(22, 0x80000000));                   // absurd top-down height
    bad.push_back(changed(18, 0));                            // no width
    bad.push_back(changed(28, 8));                            // palette pictures
    bad.push_back(changed(30, BI_RLE8));                      // compressed
    Win32PictureContainer container;
    for (std::size_t i = 0; i < bad.size(); ++i) {
        EXPECT_FALSE(container.Add(u"x", bad[i])) << "case " << i;
        Win32Picture picture;
        EXPECT_FALSE(picture.LoadBmp(bad[i])) << "case " << i;
        EXPECT_EQ(picture.Width(), 0);
    }
    EXPECT_EQ(container.Count(), 0);
    EXPECT_EQ(container.FindPicture(u"x"), nullptr);
}
