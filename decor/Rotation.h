#pragma once

#include "imaging/Bitmap32.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quill {

struct RotationResult {
    TBitmap32 picture;
    // Columns gained on each of the left and right sides, rows on each of top and bottom;
    // negative when the turned content is narrower (lower) than before.
    int GrowX = 0, GrowY = 0;
};

// Turns the picture about (cx, cy) by theta radians with nearest-neighbour sampling on
// a canvas padded to the diagonal; uncovered pixels become CutoutColor, then equal
// all-cutout margins are trimmed from both sides (never below 1 x 1).
// An empty picture gives an empty result. Throws std::length_error when the padded
// canvas or the result passes the program's picture limit.
RotationResult RotatePicture(const TBitmap32& picture, int cx, int cy, double theta);

// theta = -a * pi / 180 evaluated in long double with the extended pi, stored as double.
double rotationAngle(std::int32_t degrees);

struct AngleParse {
    std::optional<std::int32_t> degrees; // set when the text was accepted
    std::string message;                 // the message to show otherwise
};
// The angle box's checks: IsIntegerText fails -> "Please input a valid integer value.";
// StrToInt32 fails -> "'<text>' is not a valid integer value".
AngleParse parseAngleText(std::string_view text);

// The rotate command on one picture: centre (Round(W/2), Round(H/2)), halves to even.
RotationResult rotateAboutCentre(const TBitmap32& picture, std::int32_t degrees);

// The rotate command on a layer's two pictures (untouched and drawn, of one size): both
// turned alike and trimmed by the same margins — the smaller of the two pictures' own —
// so that they keep one size whatever cut-out pixels an effect wrote into one of them.
// GrowX and GrowY are those of the drawn picture.
struct LayerRotation {
    TBitmap32 original, work;
    int GrowX = 0, GrowY = 0;
};
LayerRotation rotateLayerPictures(const TBitmap32& original, const TBitmap32& work,
                                  std::int32_t degrees);

} // namespace quill
