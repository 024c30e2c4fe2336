// Writes the sample frames of the frame library: dark decorative borders around a white
// centre (white turns fully transparent over the scene, dark covers it). 600 x 450, the
// program's starting background size; JPEG in colour, GIF through a 256-step palette.
//   tool_make_frames [folder]   (default: <source>/library/frame)

#include "imaging/PictureFile.h"
#include "tools/IndexedGif.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

using namespace quill;

namespace {

constexpr int W = 600, H = 450;
constexpr double kPi = 3.14159265358979323846;

struct Rgb {
    double r, g, b;
};
Rgb mix(Rgb a, Rgb b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}
const Rgb kWhite{255, 255, 255};

double smooth(double edge0, double edge1, double x) {
    double t = std::clamp((x - edge0) / (edge1 - edge0), 0.0, 1.0);
    return t * t * (3 - 2 * t);
}
// Distance from the picture's edge (0 on the outermost pixels).
double edgeDistance(double x, double y) {
    return std::min(std::min(x, W - 1 - x), std::min(y, H - 1 - y));
}
// Signed distance to a rounded rectangle inset by `inset` from the picture's edge,
// positive inside it.
double insideRounded(double x, double y, double inset, double radius) {
    const double hw = W / 2.0 - inset, hh = H / 2.0 - inset;
    const double qx = std::fabs(x + 0.5 - W / 2.0) - (hw - radius),
                 qy = std::fabs(y + 0.5 - H / 2.0) - (hh - radius);
    const double outside =
        std::hypot(std::max(qx, 0.0), std::max(qy, 0.0)) + std::min(std::max(qx, qy), 0.0) - radius;
    return -outside;
}
// A deterministic hash in 0..1 for grain.
double hash(int a, int b) {
    std::uint32_t h = std::uint32_t(a) * 374761393u + std::uint32_t(b) * 668265263u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return double((h ^ (h >> 16)) & 0xffff) / 65535.0;
}

struct Frame {
    std::string name;
    bool gif;
    // For a JPEG frame the colour; for a GIF frame the palette index from red (0 dark ..
    // 255 white) through the palette below.
    std::function<Rgb(int, int)> pixel;
    GifPalette palette{};
};

std::vector<Frame> frames() {
    std::vector<Frame> f;
    f.push_back({"f1.jpg", false, [](int x, int y) {
                     // A black border with a thin white line inside it.
                     const double d = edgeDistance(x, y);
                     const double black = 1 - smooth(26, 30, d);
                     const double line = smooth(34, 35.5, d) * (1 - smooth(37, 38.5, d));
                     return mix(kWhite, Rgb{12, 12, 14}, std::max(black, line));
                 }});
    f.push_back({"f2.jpg", false, [](int x, int y) {
                     // Wood: a bevelled moulding with grain running along each side.
                     const double d = edgeDistance(x, y);
                     if (d > 44)
                         return kWhite;
                     const bool horizontal = std::min(y, H - 1 - y) < std::min(x, W - 1 - x);
                     const double along = horizontal ? x : y;
                     const double grain =
                         0.5 +
                         0.5 * std::sin(along * 0.05 + 6 * std::sin(d * 0.21 + along * 0.004));
                     const double bevel = 0.55 + 0.45 * std::cos(d / 44 * kPi);
                     Rgb c = mix(Rgb{60, 30, 12}, Rgb{120, 72, 34}, grain * 0.6 + 0.4 * bevel);
                     const double edge = smooth(40, 44, d);
                     return mix(c, kWhite, edge);
                 }});
    f.push_back({"f3.jpg", false, [](int x, int y) {
                     // Gold: a bevel with a row of beads.
                     const double d = edgeDistance(x, y);
                     if (d > 40)
                         return kWhite;
                     const double light = 0.5 + 0.5 * std::cos((d - 4) / 36 * 2 * kPi);
                     Rgb c = mix(Rgb{70, 48, 5}, Rgb{170, 130, 40}, light);
                     const bool horizontal = std::min(y, H - 1 - y) < std::min(x, W - 1 - x);
                     const double along = horizontal ? x : y;
                     const double bead = std::hypot(std::fmod(along + 1000, 20) - 10, d - 20);
                     if (bead < 6)
                         c = mix(Rgb{150, 110, 20}, Rgb{80, 55, 5}, bead / 6);
                     return mix(c, kWhite, smooth(36, 40, d));
                 }});
    f.push_back({"f4.jpg", false, [](int x, int y) {
                     // A dark oval vignette.
                     const double u = (x + 0.5 - W / 2.0) / (W * 0.44),
                                  v = (y + 0.5 - H / 2.0) / (H * 0.44);
                     const double r = std::hypot(u, v);
                     return mix(kWhite, Rgb{20, 24, 40}, smooth(0.92, 1.08, r));
                 }});
    f.push_back({"f5.jpg", false, [](int x, int y) {
                     // Slate with a rounded opening and a fine inner rim.
                     const double inside = insideRounded(x, y, 36, 40);
                     const double grain = hash(x, y) * 14;
                     Rgb slate{48 + grain, 56 + grain, 64 + grain};
                     const Rgb c = mix(slate, kWhite, smooth(0, 3, inside));
                     // A lighter rim one pixel wide just outside the opening.
                     return inside > -1.5 && inside < 0 ? mix(c, Rgb{150, 150, 150}, 0.3) : c;
                 }});
    f.push_back({"f6.gif", true,
                 [](int x, int y) {
                     // Film strip: black bands with sprocket holes at top and bottom.
                     const int band = 56;
                     const int fromEdge = std::min(y, H - 1 - y);
                     if (fromEdge >= band)
                         return Rgb{255, 0, 0};
                     const double cx = std::fmod(x, 30.0) - 15, cy = fromEdge - 28;
                     const double hole = std::max(std::fabs(cx) - 7, std::fabs(cy) - 9);
                     const double value = 255 * (1 - smooth(0, 1.5, hole));
                     return Rgb{std::max(value, fromEdge >= band - 2 ? 128.0 : 0.0), 0, 0};
                 },
                 rampPalette({0, 0, 0}, {96, 96, 96})});
    f.push_back({"f7.gif", true,
                 [](int x, int y) {
                     // A torn dark edge.
                     const double d = edgeDistance(x, y);
                     const bool horizontal = std::min(y, H - 1 - y) < std::min(x, W - 1 - x);
                     const double along = horizontal ? x : y;
                     const double tear = 30 + 6 * std::sin(along * 0.21) +
                                         5 * std::sin(along * 0.53 + 1) +
                                         4 * (hash(int(along), horizontal) - 0.5);
                     return Rgb{255 * smooth(tear - 1.5, tear + 1.5, d), 0, 0};
                 },
                 rampPalette({30, 16, 8}, {150, 110, 80})});
    f.push_back({"f8.gif", true,
                 [](int x, int y) {
                     // A stamp: dark red with a scalloped opening.
                     const double inset = 34;
                     const double inside = insideRounded(x, y, inset, 2);
                     const bool horizontal = std::min(y, H - 1 - y) < std::min(x, W - 1 - x);
                     const double along = horizontal ? x : y;
                     const double bite = std::hypot(std::fmod(along + 1000, 24) - 12, inside);
                     double open = smooth(0, 2, inside);
                     if (bite < 8)
                         open = std::max(open, 1 - smooth(6.5, 8, bite));
                     return Rgb{255 * open, 0, 0};
                 },
                 rampPalette({70, 8, 12}, {190, 90, 90})});
    f.push_back({"f9.gif", true,
                 [](int x, int y) {
                     // Two dark green lines.
                     const double d = edgeDistance(x, y);
                     const double outer = 1 - smooth(14, 16, d);
                     const double inner = smooth(24, 25.5, d) * (1 - smooth(29, 30.5, d));
                     return Rgb{255 * (1 - std::max(outer, inner)), 0, 0};
                 },
                 rampPalette({8, 40, 20}, {90, 140, 100})});
    return f;
}

} // namespace

int main(int argc, char** argv) {
    const std::string folder =
        argc > 1 ? argv[1] : std::string(QUILL_SOURCE_DIR) + "/library/frame";
    for (const Frame& frame : frames()) {
        const std::string path = folder + "/" + frame.name;
        WriteResult written;
        if (frame.gif) {
            std::vector<std::uint8_t> indices(std::size_t(W) * H);
            for (int y = 0; y < H; ++y)
                for (int x = 0; x < W; ++x)
                    indices[std::size_t(y) * W + x] =
                        std::uint8_t(std::clamp(std::lround(frame.pixel(x, y).r), 0L, 255L));
            written = writeIndexedGif(path, W, H, indices, frame.palette);
        } else {
            TBitmap32 pic(W, H);
            for (int y = 0; y < H; ++y)
                for (int x = 0; x < W; ++x) {
                    const Rgb c = frame.pixel(x, y);
                    auto byte = [](double v) { return int(std::clamp(std::lround(v), 0L, 255L)); };
                    pic.setPixel(x, y, makePixel(byte(c.r), byte(c.g), byte(c.b)));
                }
            written = SavePicture(pic, path, PictureFormat::Jpeg);
        }
        if (!written) {
            std::cerr << written.message << "\n";
            return 1;
        }
        std::cout << "wrote " << path << "\n";
    }
    return 0;
}
