#include "effects/PencilSketch.h"
#include "effects/EdgeSketch.h"
#include "effects/PenAndInk.h"

#include "LiteralSketchEffects.h"
#include "imaging/Colour.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <vector>

namespace quill {
namespace {

// An edge sketch of a photograph-like picture: the usual input of the grey passes.
TBitmap32 sketchOf(const TBitmap32& original) {
    TBitmap32 edge(original);
    literal::picsobel(edge);
    return edge;
}

// One pixel per listed grey, in a row.
TBitmap32 greyRow(const std::vector<int>& greys) {
    TBitmap32 out(int(greys.size()), 1);
    for (int x = 0; x < out.width(); ++x)
        out.setPixel(x, 0, makePixel(greys[x], greys[x], greys[x], 255));
    return out;
}

std::vector<int> greysOf(const TBitmap32& picture) {
    std::vector<int> out;
    for (int x = 0; x < picture.width(); ++x) {
        const std::uint32_t p = picture.pixel(x, 0);
        EXPECT_EQ(pixelAlpha(p), 255);
        EXPECT_TRUE(pixelRed(p) == pixelGreen(p) && pixelGreen(p) == pixelBlue(p)) << std::hex << p;
        out.push_back(pixelRed(p));
    }
    return out;
}

TEST(PencilSketch, SliderLabels) {
    struct Case {
        int position, lighting, contrast;
    } cases[] = {
        {0, 0, 0},    {1, 0, 1},     {44, 17, 49},   {45, 18, 51},
        {88, 35, 99}, {89, 35, 100}, {128, 50, 144}, {255, 100, 287},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(lightingLabel(c.position), c.lighting) << c.position;
        EXPECT_EQ(contrastLabel(c.position), c.contrast) << c.position;
    }
}

// The fast pencil grey of one colour and the grey rows (vectorised, halves settled
// afterwards) must agree with the extended-precision formula on every colour: a tie in exact
// arithmetic can land either side of it. Odd and even alphas alternate along the rows.
TEST(Grey, FastFormsAndRowsEqualTheFormulaOnAllColours) {
    const struct {
        const char* name;
        int (*literal)(int, int, int);
        int (*fast)(int, int, int);
        void (*row)(const std::uint32_t*, int, std::uint8_t*);
    } forms[] = {{"pencil", greyPencilLiteral, greyPencil, pencilGreyRow},
                 {"ink", greyInkLiteral, nullptr, inkGreyRow}};
    std::vector<std::uint32_t> row(65536);
    std::vector<std::uint8_t> grey(65536);
    for (const auto& form : forms) {
        long fastMismatches = 0, rowMismatches = 0;
        for (int r = 0; r < 256; ++r) {
            for (int i = 0; i < 65536; ++i)
                row[i] = makePixel(r, i >> 8, i & 255, i & 1 ? 255 : 0);
            // In runs of uneven lengths, so that every colour also meets the row's
            // one-pixel tail after the wide steps.
            static constexpr int kRuns[] = {1021, 7, 15, 1, 16, 33, 4093};
            for (int at = 0, k = 0; at < 65536; at += kRuns[k], k = (k + 1) % 7)
                form.row(row.data() + at, std::min(kRuns[k], 65536 - at), grey.data() + at);
            for (int i = 0; i < 65536; ++i) {
                const int exact = form.literal(r, i >> 8, i & 255);
                fastMismatches += form.fast && form.fast(r, i >> 8, i & 255) != exact;
                rowMismatches += grey[i] != exact;
            }
        }
        EXPECT_EQ(fastMismatches, 0) << form.name;
        EXPECT_EQ(rowMismatches, 0) << form.name;
    }
}

TEST(PencilSketch, PassesEqualPlainLoops) {
    unsigned seed = 100;
    for (const literal::Size size : literal::kOddSizes) {
        const TBitmap32 original = literal::photoLikePicture(size.width, size.height, seed++);
        const TBitmap32 edge = sketchOf(original);
        const std::string at = std::to_string(size.width) + "x" + std::to_string(size.height);
        EXPECT_EQ(literal::difference(pencilGreyBase(edge), literal::greyBase(edge)), "") << at;
        // The raw photograph too: every colour, CutoutColor and odd alphas included.
        EXPECT_EQ(literal::difference(pencilGreyBase(original), literal::greyBase(original)), "")
            << at;
        for (int p : {0, 1, 127, 128, 129, 200, 255})
            EXPECT_EQ(literal::difference(pencilLighting(edge, p), literal::lighting(edge, p)), "")
                << at << " lighting " << p;
        const TBitmap32 grey = literal::greyBase(edge);
        for (int p : {0, 1, 30, 44, 45, 46, 60, 88, 89})
            EXPECT_EQ(literal::difference(pencilContrast(grey, p), literal::contrast(grey, p)), "")
                << at << " contrast " << p;
        // A picture that is not grey takes the whole colour round trip.
        for (int p : {10, 45, 70})
            EXPECT_EQ(
                literal::difference(pencilContrast(original, p), literal::contrast(original, p)),
                "")
                << at << " colour contrast " << p;
    }
}

// The table of greys meets the plain round trip on every grey at every position.
TEST(PencilSketch, ContrastOfEveryGreyAtEveryPosition) {
    std::vector<int> all(256);
    std::iota(all.begin(), all.end(), 0);
    const TBitmap32 greys = greyRow(all);
    for (int p = 0; p <= 89; ++p)
        ASSERT_EQ(literal::difference(pencilContrast(greys, p), literal::contrast(greys, p)), "")
            << p;
}

TEST(PencilSketch, WorkedLightingAndContrast) {
    const std::vector<int> in = {0, 1, 100, 128, 200, 238, 239, 240, 241, 254, 255};
    struct Case {
        bool lighting;
        int position;
        std::vector<int> out;
    } cases[] = {
        {true, 128, in},
        {true, 0, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}, // every grey lowered by 256
        {true, 255, {254, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255}}, // raised by 254
        {true, 129, {2, 3, 102, 130, 202, 240, 241, 242, 243, 255, 255}},
        {true, 127, {0, 0, 98, 126, 198, 236, 237, 238, 239, 252, 253}},
        {false, 0, {255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255}}, // t = 0, l' = 100
        {false,
         45,
         {0, 0, 100, 128, 199, 237, 240, 240, 242, 255, 255}},    // the grey, to the rounding
        {false, 89, {0, 0, 0, 0, 0, 0, 128, 128, 255, 255, 255}}, // l <= 93 turns black
        {false,
         30,
         {97, 97, 156, 171, 212, 235, 237, 237, 237, 245, 245}}, // 100: l 39 -> 61 -> 156
    };
    const TBitmap32 picture = greyRow(in);
    for (const Case& c : cases) {
        const TBitmap32 out =
            c.lighting ? pencilLighting(picture, c.position) : pencilContrast(picture, c.position);
        EXPECT_EQ(greysOf(out), c.out) << (c.lighting ? "lighting " : "contrast ") << c.position;
    }
}

TEST(PencilSketch, WholeEffectShowsOnlyTheLastSlider) {
    const TBitmap32 original = literal::photoLikePicture(37, 23, 7);
    const TBitmap32 edge = sketchOf(original);
    using Slider = PencilSketchParams::Slider;
    struct Case {
        Slider slider;
        int position;
        TBitmap32 expected;
    } cases[] = {
        {Slider::None, 200, literal::greyBase(edge)},
        {Slider::Lighting, 128, literal::greyBase(edge)},
        {Slider::Lighting, 180, literal::lighting(edge, 180)},
        {Slider::Contrast, 60, literal::contrast(literal::greyBase(edge), 60)},
        {Slider::Contrast, 500, literal::contrast(literal::greyBase(edge), 89)}, // past the end
        {Slider::Lighting, -9, literal::lighting(edge, 0)},
    };
    for (const Case& c : cases) {
        const TBitmap32 before(original);
        EXPECT_EQ(literal::difference(pencilSketch(original, {c.slider, c.position}), c.expected),
                  "")
            << int(c.slider) << " " << c.position;
        EXPECT_EQ(original, before);
    }
}

} // namespace
} // namespace quill
