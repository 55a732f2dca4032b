#include "core/ui/dpi_scale.h"

#include <gtest/gtest.h>

namespace hourlink {
namespace {

TEST(DpiScale, SizesRoundToTheNearestPixelAndPicturesAreNeverScaledUp) {
    const struct {
        int dpi;
        int tree;   // 200 at 96 DPI
        int image;  // the picture size drawn
        FrameSize frame;
    } cases[] = {
        {96, 200, 16, {800, 560}},   {120, 250, 20, {1000, 700}}, {144, 300, 24, {1024, 740}},
        {168, 350, 24, {1024, 740}}, {192, 400, 32, {1024, 740}}, {0, 200, 16, {800, 560}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ScaleToDpi(200, c.dpi), c.tree) << c.dpi;
        EXPECT_EQ(ImageSizeForDpi(c.dpi), c.image) << c.dpi;
        EXPECT_EQ(DefaultFrameSize(c.dpi, 1024, 740), c.frame) << c.dpi;
    }
    // Halves round away from zero: 1 pixel at 144 DPI is 1.5.
    EXPECT_EQ(ScaleToDpi(1, 144), 2);
    EXPECT_EQ(ScaleToDpi(-1, 144), -2);
}

}  // namespace
}  // namespace hourlink
