#include "decor/Rotation.h"
#include "tests/RandomPictures.h"

#include "imaging/IntegerText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

namespace quill {
namespace {

using testpictures::kOddSizes;
using testpictures::photoLikePicture;
using testpictures::randomPicture;

// The turn exactly as written: padded canvas P, turned canvas Q, margins, trim.
RotationResult rotatePlain(const TBitmap32& pic, int cx, int cy, double theta) {
    RotationResult out;
    const int W = pic.width(), H = pic.height();
    const long double s = std::sin((long double)theta), c = std::cos((long double)theta);
    const long double D = std::sqrt((long double)(W * W + H * H));
    const int padX = int(std::nearbyintl((D - W) / 2)), padY = int(std::nearbyintl((D - H) / 2));
    TBitmap32 P(W + 2 * padX, H + 2 * padY, CutoutColor);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            P.setPixel(x + padX, y + padY, pic.pixel(x, y));
    const int Cx = cx + padX, Cy = cy + padY;
    TBitmap32 Q(P.width(), P.height());
    for (int y = 0; y < Q.height(); ++y)
        for (int x = 0; x < Q.width(); ++x) {
            const long double dx = x - Cx, dy = y - Cy;
            const long sx = long(std::nearbyintl(dx * c - dy * s)) + Cx;
            const long sy = long(std::nearbyintl(dx * s + dy * c)) + Cy;
            const bool inside = sx >= 0 && sx <= P.width() - 1 && sy >= 0 && sy <= P.height() - 1;
            Q.setPixel(x, y, inside ? P.pixel(int(sx), int(sy)) : CutoutColor);
        }
    auto rowEmpty = [&](int y) {
        for (int x = 0; x < Q.width(); ++x)
            if (Q.pixel(x, y) != CutoutColor)
                return false;
        return true;
    };
    auto columnEmpty = [&](int x) {
        for (int y = 0; y < Q.height(); ++y)
            if (Q.pixel(x, y) != CutoutColor)
                return false;
        return true;
    };
    int top = 0, left = 0;
    while (top < Q.height() && rowEmpty(top))
        ++top;
    while (left < Q.width() && columnEmpty(left))
        ++left;
    if (top == Q.height()) // nothing but cutout pixels
        top = left = 0;
    top = std::min(top, (Q.height() - 1) / 2);
    left = std::min(left, (Q.width() - 1) / 2);
    out.picture = TBitmap32(Q.width() - 2 * left, Q.height() - 2 * top);
    for (int y = 0; y < out.picture.height(); ++y)
        for (int x = 0; x < out.picture.width(); ++x)
            out.picture.setPixel(x, y, Q.pixel(x + left, y + top));
    out.GrowX = padX - left;
    out.GrowY = padY - top;
    return out;
}

// The fast turn about (cx, cy), or about the centre when cx < 0, against the plain one.
void expectPlainTurn(const TBitmap32& pic, int degrees, int cx = -1, int cy = -1) {
    const std::string what = std::to_string(pic.width()) + "x" + std::to_string(pic.height()) +
                             " by " + std::to_string(degrees);
    const double angle = rotationAngle(degrees);
    RotationResult fast =
        cx < 0 ? rotateAboutCentre(pic, degrees) : RotatePicture(pic, cx, cy, angle);
    if (cx < 0) {
        cx = int(std::nearbyintl(pic.width() / 2.0L));
        cy = int(std::nearbyintl(pic.height() / 2.0L));
    }
    RotationResult plain = rotatePlain(pic, cx, cy, angle);
    ASSERT_TRUE(fast.picture == plain.picture) << what;
    EXPECT_EQ(fast.GrowX, plain.GrowX) << what;
    EXPECT_EQ(fast.GrowY, plain.GrowY) << what;
}

TEST(Rotation, EqualsPlainTurn) {
    // 30, 60, 150 and 300 put many products on exact halves: the long double decides there.
    unsigned seed = 20;
    for (auto [w, h] : kOddSizes)
        for (int a :
             {0, 1, 30, -30, 45, 60, 89, 90, -90, 135, 150, 180, 270, 300, 359, 360, -360, 7777})
            expectPlainTurn(randomPicture(w, h, seed++), a);
    // Large enough for both passes to run in parallel bands (Round(301 / 2) = 150 and
    // Round(187 / 2) = 94: halves go to the even neighbour); a line that becomes a column
    // beside one cutout column, the symmetric trim stopping at (width - 1) div 2; then an
    // off-centre centre in a picture already holding cutout corners.
    const TBitmap32 photo = photoLikePicture(301, 187, 5);
    for (int a : {30, -17, 90, 123})
        expectPlainTurn(photo, a);
    expectPlainTurn(randomPicture(520, 300, 77), 33);
    expectPlainTurn(TBitmap32(2000, 1, makePixel(1, 2, 3)), 90);
    expectPlainTurn(rotateAboutCentre(photoLikePicture(90, 40, 9), 45).picture, 20, 3, 50);
    // First content deep inside the sampled span (cutout columns and rows of its own),
    // and turned rows wider than one column block, with spans starting and ending
    // inside blocks.
    struct Case {
        int w, h, cutLeft, cutTop, degrees;
    } cases[] = {{150, 40, 100, 0, 30}, {150, 40, 100, 0, -5}, {90, 120, 0, 70, 12},
                 {200, 60, 33, 20, 1},  {700, 30, 0, 0, 3},    {700, 30, 0, 0, -2},
                 {600, 9, 250, 0, 0},   {301, 77, 64, 31, 89}};
    for (const auto& c : cases) {
        TBitmap32 pic = randomPicture(c.w, c.h, seed++);
        for (int y = 0; y < c.h; ++y)
            for (int x = 0; x < c.w; ++x)
                if (x < c.cutLeft || y < c.cutTop)
                    pic.setPixel(x, y, CutoutColor);
        expectPlainTurn(pic, c.degrees);
    }
}

TEST(Rotation, WorkedSizesAndGrowth) {
    // 100 x 50 pads to 112 x 112 (pads 6 and 31); a quarter turn trims 32 columns and 6
    // rows a side one way, 31 and 7 the other.
    // w, h, degrees, then the turned picture's sides and growth.
    for (auto [w, h, degrees, outW, outH, growX, growY] :
         {std::array{100, 50, 90, 48, 100, -26, 25},
          {100, 50, -90, 50, 98, -25, 24},
          {100, 50, 360, 100, 50, 0, 0},
          {100, 50, -360, 100, 50, 0, 0}}) {
        RotationResult r = rotateAboutCentre(photoLikePicture(w, h, 1, false), degrees);
        EXPECT_EQ(std::vector({r.picture.width(), r.picture.height(), r.GrowX, r.GrowY}),
                  std::vector({outW, outH, growX, growY}))
            << w << "x" << h << " by " << degrees;
    }
    for (auto [w, h] : {std::pair{100, 10}, std::pair{7, 9}, std::pair{1, 1}, std::pair{64, 33}}) {
        TBitmap32 pic = randomPicture(w, h, 4);
        RotationResult r = rotateAboutCentre(pic, 0);
        EXPECT_TRUE(r.picture == pic && r.GrowX == 0 && r.GrowY == 0) << w << "x" << h;
    }
}

// Nothing but cutout pixels: no margin is trimmed, the padded canvas stays.
TEST(Rotation, AllCutoutKeepsItsCanvas) {
    const RotationResult r = rotateAboutCentre(TBitmap32(10, 6, CutoutColor), 30);
    EXPECT_EQ(r.picture.width(), 10 + 2 * r.GrowX);
    EXPECT_EQ(r.picture.height(), 6 + 2 * r.GrowY);
    EXPECT_GT(r.GrowX, 0);
}

TEST(Rotation, TinyPicturesKeepAtLeastOnePixelAndLimitsHold) {
    for (auto [w, h] :
         {std::pair{2, 2}, std::pair{3, 3}, std::pair{1, 1}, std::pair{1, 2}, std::pair{2, 1}})
        for (int a : {90, -90, 45, 180, 270}) {
            RotationResult r = rotateAboutCentre(randomPicture(w, h, 8), a);
            EXPECT_GE(std::min(r.picture.width(), r.picture.height()), 1)
                << w << "x" << h << " by " << a;
        }
    EXPECT_TRUE(rotateAboutCentre(TBitmap32(), 30).picture.empty());
    // 16384 x 1 pads to 16384 x 16385, past the program's pixel limit: refused before
    // allocating.
    EXPECT_THROW(rotateAboutCentre(TBitmap32(16384, 1, makePixel(1, 2, 3)), 30), std::length_error);
    RotationResult r = rotateAboutCentre(TBitmap32(2000, 1, makePixel(1, 2, 3)), 90);
    EXPECT_EQ(r.picture.width(), 2);
    EXPECT_EQ(r.picture.height(), 2001);
}

TEST(Rotation, AngleIsNegativeDegreesInRadians) {
    EXPECT_DOUBLE_EQ(rotationAngle(30), -M_PI / 6);
    EXPECT_DOUBLE_EQ(rotationAngle(-90), M_PI / 2);
    EXPECT_EQ(rotationAngle(0), 0.0);
    EXPECT_EQ(rotationAngle(180), double(-3.141592653589793238462643383279502884L));
}

TEST(Rotation, AngleTextMessages) {
    for (auto [text, degrees] : {std::pair{"30", 30},
                                 {"-30", -30},
                                 {"0", 0},
                                 {"-2147483648", INT32_MIN},
                                 {"2147483647", INT32_MAX},
                                 {"007", 7}}) {
        const AngleParse p = parseAngleText(text);
        EXPECT_TRUE(p.degrees == degrees && p.message.empty()) << text;
    }
    // Characters no integer has: one message; integer characters that do not convert:
    // the message names the text.
    const std::string please = "Please input a valid integer value.";
    for (const char* text : {"+30", "3.0", " 30", "30 ", "", "x"}) {
        AngleParse p = parseAngleText(text);
        EXPECT_TRUE(!p.degrees && p.message == please) << '"' << text << '"' << p.message;
    }
    for (std::string text :
         {"-", "3-", "--3", "2147483648", "-2147483649", "99999999999999999999"}) {
        AngleParse p = parseAngleText(text);
        EXPECT_TRUE(!p.degrees && p.message == "'" + text + "' is not a valid integer value")
            << p.message;
    }
    EXPECT_EQ(std::string(kPleaseInputValidInteger), please);
}

TEST(IntegerText, CharacterTestAndConversion) {
    // The text, whether it holds integer characters only, whether it converts.
    for (auto [text, integerText, converts] : {std::tuple{"12", true, true},
                                               {"-", true, false},
                                               {"1-2", true, false},
                                               {"", false, false},
                                               {"1 2", false, false},
                                               {"+1", false, false},
                                               {"١", false, false},
                                               {"-0", true, true},
                                               {"0x10", false, false}})
        EXPECT_EQ(std::pair(IsIntegerText(text), StrToInt32(text).has_value()),
                  std::pair(integerText, converts))
            << text;
    EXPECT_EQ(notValidIntegerMessage("abc"), "'abc' is not a valid integer value");
}

} // namespace
} // namespace quill
