#include "effects/PenAndInk.h"

#include "LiteralSketchEffects.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quill {
namespace {

constexpr std::uint32_t kBlack = makePixel(0, 0, 0, 255);
constexpr std::uint32_t kWhite = makePixel(255, 255, 255, 255);

using literal::fromRows;
using literal::toRows;

TEST(PenAndInk, PassesEqualPlainLoops) {
    unsigned seed = 300;
    for (const literal::Size size : literal::kOddSizes) {
        const TBitmap32 original = literal::photoLikePicture(size.width, size.height, seed++);
        const std::string at = std::to_string(size.width) + "x" + std::to_string(size.height);
        for (int threshold : {0, 60, 127, 128, 253, 254, 255})
            for (bool hollow : {false, true}) {
                TBitmap32 fast(original), plain(original);
                PictureTwoValue(fast, {threshold, hollow});
                literal::pictureTwoValue(plain, threshold, hollow);
                ASSERT_EQ(literal::difference(fast, plain), "") << at << " threshold " << threshold;
                EXPECT_EQ(literal::difference(penandink(plain, hollow),
                                              literal::penandink(plain, hollow)),
                          "")
                    << at << " threshold " << threshold << " hollow " << hollow;
                EXPECT_EQ(literal::difference(penAndInk(original, {threshold, hollow}),
                                              literal::penandink(plain, hollow)),
                          "")
                    << at << " threshold " << threshold << " hollow " << hollow;
            }
        // The outline of an unthresholded picture: only pure black counts as black.
        EXPECT_EQ(
            literal::difference(penandink(original, true), literal::penandink(original, true)), "")
            << at;
    }
}

TEST(PenAndInk, WorkedPictures) {
    struct Case {
        const char* what;
        std::uint32_t fill;
        int threshold;
        bool hollow;
        std::vector<std::string> out;
    } cases[] = {
        // White has ink grey 254: at 254 and 255 all turns black, and only the frame stays.
        {"white at 255", kWhite, 255, false, {"####", "#..#", "####"}},
        {"white at 254", kWhite, 254, true, {"####", "#oo#", "####"}},
        {"white at 253", kWhite, 253, false, {"....", "....", "...."}},
        {"white at 253 hollow", kWhite, 253, true, {"oooo", "oooo", "oooo"}},
        // Grey 128 has ink grey 127.488 -> 127, at most 128.
        {"grey 128", makePixel(128, 128, 128), 128, false, {"####", "#..#", "####"}},
        {"grey 128 at 126", makePixel(128, 128, 128), 126, false, {"....", "....", "...."}},
        // Thresholds past the slider's ends act like its ends.
        {"white at 1000", kWhite, 1000, false, {"####", "#..#", "####"}},
        {"black at -5", makePixel(0, 0, 0), -5, false, {"....", "....", "...."}},
        {"cutout at 255", CutoutColor, 255, true, {"####", "#oo#", "####"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(toRows(penAndInk(TBitmap32(4, 3, c.fill), {c.threshold, c.hollow})), c.out)
            << c.what;
}

} // namespace
} // namespace quill
