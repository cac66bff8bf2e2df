#include "frontend/PictureOrder.h"

#include <gtest/gtest.h>

namespace quelvo::frontend {
namespace {

TEST(PictureOrder, shouldNameOnePicturePerLineInOrderWithItsBmpFile)
{
    const auto pictures = ReadPictureOrder("idxs.1\r\n  ListBoxItem_WP.bmp \n\n\t\nidxs.0\nSHOUT.BMP");
    const std::vector<TPictureFile> expected{{"idxs.1", "idxs.1.bmp"},
                                             {"ListBoxItem_WP.bmp", "ListBoxItem_WP.bmp"},
                                             {"idxs.0", "idxs.0.bmp"},
                                             {"SHOUT.BMP", "SHOUT.BMP"}};
    EXPECT_EQ(pictures, expected);
    EXPECT_TRUE(ReadPictureOrder("").empty());
    EXPECT_TRUE(ReadPictureOrder("\n \r\n").empty());
    EXPECT_EQ(PictureFileName("a.bm"), "a.bm.bmp");
}

}  // namespace
}  // namespace quelvo::frontend
