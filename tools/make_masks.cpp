// Writes the 36 foreground masks of the mask library: soft-edged grey shapes, black
// inside (the layer stays opaque there), white outside (transparent), smooth edges.
// The file names and their extensions (JPEG or GIF) are the library's layout.
//   tool_make_masks [folder]   (default: <source>/library/mask)

#include "decor/MaskLibrary.h"
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

constexpr int W = 300, H = 225;
constexpr double kPi = 3.14159265358979323846;

// A small deterministic generator, the same on every platform.
struct Random {
    std::uint64_t state;
    explicit Random(std::uint64_t seed) : state(seed * 0x9E3779B97F4A7C15ull + 7) {}
    double unit() {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return double((state >> 11) & 0xffffff) / double(0x1000000);
    }
};

// A wavy line: sum of sines of the given period range with random phases, about -1..1.
struct Wobble {
    std::vector<double> freq, phase, weight;
    Wobble(std::uint64_t seed, double minFreq, double maxFreq, int count) {
        Random rng(seed);
        for (int i = 0; i < count; ++i) {
            freq.push_back(minFreq + (maxFreq - minFreq) * rng.unit());
            phase.push_back(rng.unit() * 2 * kPi);
            weight.push_back(1.0 / (1 + i));
        }
    }
    double at(double t) const {
        double s = 0, n = 0;
        for (std::size_t i = 0; i < freq.size(); ++i) {
            s += weight[i] * std::sin(freq[i] * t + phase[i]);
            n += weight[i];
        }
        return s / n;
    }
};

// A wobble whose frequencies are whole numbers, for closed outlines in the angle.
struct AngleWobble {
    std::vector<int> k;
    std::vector<double> phase, weight;
    AngleWobble(std::uint64_t seed, int minK, int maxK, int count) {
        Random rng(seed);
        for (int i = 0; i < count; ++i) {
            k.push_back(minK + int(rng.unit() * (maxK - minK + 1)));
            phase.push_back(rng.unit() * 2 * kPi);
            weight.push_back(1.0 / (1 + i * 0.5));
        }
    }
    double at(double angle) const {
        double s = 0, n = 0;
        for (std::size_t i = 0; i < k.size(); ++i) {
            s += weight[i] * std::sin(k[i] * angle + phase[i]);
            n += weight[i];
        }
        return s / n;
    }
};

double unite(double a, double b) {
    return std::min(a, b);
}
double intersect(double a, double b) {
    return std::max(a, b);
}
double subtract(double a, double b) {
    return std::max(a, -b);
}

// Signed distances in pixels, negative inside, about the picture centre.
double circle(double u, double v, double r) {
    return std::hypot(u, v) - r;
}
double ellipse(double u, double v, double a, double b) {
    return (std::hypot(u / a, v / b) - 1) * std::min(a, b);
}
double roundedBox(double u, double v, double hw, double hh, double r) {
    const double qx = std::fabs(u) - (hw - r), qy = std::fabs(v) - (hh - r);
    return std::hypot(std::max(qx, 0.0), std::max(qy, 0.0)) + std::min(std::max(qx, qy), 0.0) - r;
}
// An outline given by its radius at each angle.
double polar(double u, double v, const std::function<double(double)>& radius) {
    const double a = std::atan2(v, u);
    return std::hypot(u, v) - radius(a);
}
double regularPolygon(double u, double v, int n, double r, double turn = 0) {
    return polar(u, v, [=](double a) {
        const double sector = 2 * kPi / n;
        double m = std::fmod(a - turn + 4 * kPi, sector) - sector / 2;
        return r * std::cos(kPi / n) / std::cos(m);
    });
}
double star(double u, double v, int points, double outer, double inner, double turn = -kPi / 2) {
    return polar(u, v, [=](double a) {
        const double sector = 2 * kPi / points;
        double m = std::fmod(a - turn + 4 * kPi, sector) / sector; // 0..1 across a point
        const double t = std::fabs(m - 0.5) * 2;                   // 1 at a tip, 0 between
        return inner + (outer - inner) * t;
    });
}
// A square turned by 45 degrees, point down, with a half circle on each upper side.
double heart(double u, double v, double side) {
    const double r2 = std::sqrt(2.0), half = side / 2;
    v -= side * 0.073; // centre the whole outline vertically
    const double pu = (u - v) / r2, pv = (u + v) / r2;
    const double square = roundedBox(pu, pv, half, half, 0);
    const double m = side / (2 * r2);
    return unite(square, unite(circle(u + m, v + m, half), circle(u - m, v + m, half)));
}
struct MaskShape {
    double soft; // width of the soft edge in pixels
    std::function<double(double, double)> distance;
};

std::vector<MaskShape> shapes() {
    static const Wobble tornX(11, 0.15, 0.9, 9), tornY(12, 0.15, 0.9, 9);
    static const Wobble brushA(13, 0.02, 0.12, 6), brushB(14, 0.02, 0.12, 6);
    static const AngleWobble splash(15, 3, 9, 7), tornRing(16, 20, 60, 12);
    static const AngleWobble cloudy(17, 5, 8, 3), blot(18, 2, 5, 5);
    std::vector<MaskShape> s;
    // 1..6: the plain shapes
    s.push_back({18, [](double u, double v) { return ellipse(u, v, 128, 92); }});
    s.push_back({16, [](double u, double v) { return circle(u, v, 96); }});
    s.push_back({14, [](double u, double v) { return roundedBox(u, v, 128, 92, 28); }});
    s.push_back({46, [](double u, double v) { return roundedBox(u, v, 112, 78, 6); }});
    s.push_back({12, [](double u, double v) { return heart(u, v, 110); }});
    s.push_back({10, [](double u, double v) { return star(u, v, 5, 104, 44); }});
    // 7..12
    s.push_back({14, [](double u, double v) {
                     double d = ellipse(u, v - 18, 110, 52);
                     const double bumps[][3] = {
                         {-70, -10, 42}, {-20, -40, 55}, {40, -35, 50}, {85, 0, 38}, {0, 35, 48}};
                     for (auto& b : bumps)
                         d = unite(d, circle(u - b[0], v - b[1], b[2]));
                     return d;
                 }});
    s.push_back({4, [](double u, double v) {
                     const double dx = std::fabs(u) - 124 - 7 * tornY.at(v * (u > 0 ? 1 : 1.3));
                     const double dy = std::fabs(v) - 88 - 7 * tornX.at(u * (v > 0 ? 1 : 1.3));
                     return std::max(dx, dy);
                 }});
    s.push_back({8, [](double u, double v) {
                     // Brush strokes: the left and right edges streak along the rows.
                     const double dx =
                         std::fabs(u) - 118 - 16 * (u > 0 ? brushA.at(v * 3) : brushB.at(v * 3));
                     const double dy = std::fabs(v) - 86 - 6 * brushA.at(u * 0.7);
                     return std::max(dx, dy);
                 }});
    s.push_back({110, [](double u, double v) { return ellipse(u, v, 100, 70); }});
    s.push_back({10, [](double u, double v) {
                     return ellipse(u, v, 140, 104) +
                            (std::fabs(u) / 140 + std::fabs(v) / 104 - 1) * 70;
                 }});
    s.push_back({10, [](double u, double v) { return regularPolygon(u, v, 6, 104); }});
    // 13..18
    s.push_back({18, [](double u, double v) { return ellipse(u, v, 74, 104); }});
    s.push_back({10, [](double u, double v) { return star(u, v, 6, 106, 62); }});
    s.push_back({36, [](double u, double v) { return roundedBox(u, v, 116, 82, 40); }});
    s.push_back({10, [](double u, double v) { return regularPolygon(u, v, 8, 104, kPi / 8); }});
    s.push_back({12, [](double u, double v) {
                     return polar(u, v, [](double a) { return 80 + 20 * std::cos(8 * a); });
                 }});
    s.push_back({12, [](double u, double v) {
                     return unite(roundedBox(u, v, 120, 34, 16), roundedBox(u, v, 40, 100, 16));
                 }});
    // 19..24
    s.push_back({40, [](double u, double v) { return heart(u, v, 96); }});
    s.push_back({20, [](double u, double v) {
                     return polar(u, v, [](double a) { return 86 + 16 * cloudy.at(a); });
                 }});
    s.push_back({4, [](double u, double v) {
                     return polar(u, v, [](double a) { return 92 + 6 * tornRing.at(a); });
                 }});
    s.push_back({6, [](double u, double v) {
                     const double a = std::atan2(v, u);
                     return std::hypot(u, v) - 92 -
                            12 * brushA.at(a * 40) * (0.5 + 0.5 * std::sin(3 * a));
                 }});
    s.push_back(
        {12, [](double u, double v) { return regularPolygon(u, v - 14, 3, 112, -kPi / 2) - 6; }});
    s.push_back({12, [](double u, double v) {
                     return subtract(circle(u + 20, v, 100), circle(u - 75, v - 25, 70));
                 }});
    // 25..30
    s.push_back({12, [](double u, double v) {
                     // An arched window: a box with a half circle on top.
                     return unite(roundedBox(u, v - 30, 70, 60, 2), circle(u, v + 30, 70));
                 }});
    s.push_back({10, [](double u, double v) {
                     const double body = intersect(std::fabs(u) - (22 + (v - 10) * 0.35),
                                                   intersect(v - 90, 10 - v));
                     return unite(circle(u, v + 30, 50), body);
                 }});
    s.push_back({14, [](double u, double v) {
                     return unite(ellipse(u + 52, v, 80, 66), ellipse(u - 52, v, 80, 66));
                 }});
    s.push_back({10, [](double u, double v) {
                     const double tail =
                         intersect(intersect(v - 100, 40 - v),
                                   std::fabs(u + 40 - (v - 40) * 0.6) - (100 - v) * 0.25);
                     return unite(ellipse(u, v + 16, 130, 76), tail);
                 }});
    s.push_back({5, [](double u, double v) {
                     return roundedBox(u, v, 120, 86, 22) + 5 * tornX.at(u + v * 2.1);
                 }});
    s.push_back({60, [](double, double v) { return std::fabs(v) - 58; }});
    // 31..36
    s.push_back({60, [](double u, double) { return std::fabs(u) - 74; }});
    s.push_back({10, [](double u, double v) {
                     return polar(u, v, [](double a) {
                         return 58 + 46 * std::pow(std::fabs(std::cos(2.5 * (a + kPi / 2))), 0.8);
                     });
                 }});
    s.push_back({10, [](double u, double v) {
                     // A shield: a box above a point.
                     const double top = roundedBox(u, v + 45, 90, 45, 8);
                     const double slope = 0.9 / std::sqrt(1 + 0.81);
                     // The point reaches well into the box, so the seam between them is not an
                     // edge.
                     const double point = intersect(
                         intersect((std::fabs(u) - 90 + 0.9 * v) * slope, std::fabs(u) - 90),
                         intersect(-v - 40, v - 100));
                     return unite(top, point);
                 }});
    s.push_back({8, [](double u, double v) { return star(u, v, 12, 108, 70, 0); }});
    s.push_back({6, [](double u, double v) {
                     double d = roundedBox(u, v, 126, 92, 2);
                     // Bite a row of half circles out of every side: a stamp's edge.
                     const double step = 18;
                     const double nu = std::round(u / step) * step,
                                  nv = std::round(v / step) * step;
                     d = subtract(d, circle(u - nu, std::fabs(v) - 92, 6));
                     d = subtract(d, circle(std::fabs(u) - 126, v - nv, 6));
                     return d;
                 }});
    s.push_back({16, [](double u, double v) {
                     return polar(u, v, [](double a) { return 84 + 22 * blot.at(a); });
                 }});
    return s;
}

TBitmap32 render(const MaskShape& shape) {
    TBitmap32 pic(W, H);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const double u = x + 0.5 - W / 2.0, v = y + 0.5 - H / 2.0;
            const double d = shape.distance(u, v);
            double t = std::clamp(d / shape.soft + 0.5, 0.0, 1.0);
            t = t * t * (3 - 2 * t); // smooth step: no visible seam at the edge's ends
            const int g = int(std::lround(255 * t));
            pic.setPixel(x, y, makePixel(g, g, g));
        }
    return pic;
}

} // namespace

int main(int argc, char** argv) {
    const std::string folder = argc > 1 ? argv[1] : std::string(QUILL_SOURCE_DIR) + "/library/mask";
    const std::vector<MaskShape> all = shapes();
    if (int(all.size()) != kMaskCount) {
        std::cerr << "expected " << kMaskCount << " shapes, have " << all.size() << "\n";
        return 1;
    }
    for (int k = 1; k <= kMaskCount; ++k) {
        const TBitmap32 pic = render(all[k - 1]);
        const std::string name = maskFileName(k), path = folder + "/" + name;
        WriteResult written;
        if (name.ends_with(".gif")) {
            std::vector<std::uint8_t> indices(std::size_t(W) * H);
            for (int y = 0; y < H; ++y)
                for (int x = 0; x < W; ++x)
                    indices[std::size_t(y) * W + x] = std::uint8_t(pixelRed(pic.pixel(x, y)));
            written = writeIndexedGif(path, W, H, indices, greyPalette());
        } else {
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
