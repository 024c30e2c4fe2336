// Writes decor/TextureTiles.cpp: the program's twelve 58 x 58 texture tiles as arrays.
// Every tile is seamless with period 58 (periodic waves, wrap-around distances), and its
// lightness stays near 70, the level that leaves a background's lightness unchanged, so
// a tile gives a relief rather than a wash.
//   tool_make_texture_tiles [output file]   (default: <source>/decor/TextureTiles.cpp)

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

constexpr int N = 58;
constexpr double kTwoPi = 6.283185307179586;

// A small deterministic generator, the same on every platform.
struct Random {
    std::uint64_t state;
    explicit Random(std::uint64_t seed) : state(seed * 0x9E3779B97F4A7C15ull + 1) {}
    std::uint32_t next() {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return std::uint32_t(state >> 11);
    }
    double unit() { return (next() & 0xffffff) / double(0x1000000); } // 0 .. 1
};

// Smooth periodic noise: a sum of waves whose frequencies are whole numbers per tile.
struct WaveNoise {
    struct Wave {
        int kx, ky;
        double phase, weight;
    };
    std::vector<Wave> waves;
    WaveNoise(std::uint64_t seed, int minFreq, int maxFreq, int count) {
        Random rng(seed);
        for (int i = 0; i < count; ++i) {
            Wave w;
            w.kx = minFreq + int(rng.next() % unsigned(maxFreq - minFreq + 1));
            w.ky = int(rng.next() % unsigned(2 * maxFreq + 1)) - maxFreq;
            if (rng.next() & 1)
                w.kx = -w.kx;
            w.phase = rng.unit() * kTwoPi;
            w.weight = 1.0 / (1.0 + std::hypot(w.kx, w.ky));
            waves.push_back(w);
        }
    }
    // About -1 .. 1.
    double at(double x, double y) const {
        double sum = 0, norm = 0;
        for (const auto& w : waves) {
            sum += w.weight * std::cos(kTwoPi * (w.kx * x + w.ky * y) / N + w.phase);
            norm += w.weight;
        }
        return sum / norm * 2.0;
    }
};

double wrapDistance(double ax, double ay, double bx, double by) {
    double dx = std::fabs(ax - bx), dy = std::fabs(ay - by);
    dx = std::min(dx, N - dx);
    dy = std::min(dy, N - dy);
    return std::hypot(dx, dy);
}

// Distances to the nearest and second-nearest of a set of points on the wrapped tile.
struct Cells {
    std::vector<std::array<double, 2>> points;
    Cells(std::uint64_t seed, int count) {
        Random rng(seed);
        for (int i = 0; i < count; ++i)
            points.push_back({rng.unit() * N, rng.unit() * N});
    }
    void nearest(double x, double y, double& d1, double& d2, int& index) const {
        d1 = d2 = 1e9;
        index = 0;
        for (int i = 0; i < int(points.size()); ++i) {
            const double d = wrapDistance(x, y, points[i][0], points[i][1]);
            if (d < d1) {
                d2 = d1;
                d1 = d;
                index = i;
            } else if (d < d2)
                d2 = d;
        }
    }
};

struct Tile {
    const char* name;
    std::array<int, 3> tint; // added to the grey value for red, green, blue
    std::vector<double> grey = std::vector<double>(N * N, 178);
};

Tile canvasWeave() {
    Tile t{"canvas weave", {6, 2, -10}};
    Random rng(1);
    const int threads = 8; // per tile side, so the weave repeats seamlessly
    for (int y = 0; y < N; ++y)
        for (int x = 0; x < N; ++x) {
            const double u = double(x) * threads / N, v = double(y) * threads / N;
            const int cu = int(u), cv = int(v);
            const bool horizontalOnTop = ((cu + cv) & 1) == 0;
            // Shading across the visible thread: brightest along its middle.
            const double across = horizontalOnTop ? v - cv : u - cu;
            const double shade = std::sin(across * 3.14159265);
            t.grey[y * N + x] = 140 + 70 * shade + (rng.unit() - 0.5) * 10;
        }
    return t;
}

Tile paper() {
    Tile t{"paper", {4, 3, -4}};
    Random rng(2);
    WaveNoise fibres(22, 3, 14, 40);
    for (int y = 0; y < N; ++y)
        for (int x = 0; x < N; ++x)
            t.grey[y * N + x] = 190 + 12 * fibres.at(x, y) + (rng.unit() - 0.5) * 14;
    return t;
}

Tile brick() {
    Tile t{"brick", {40, -10, -25}};
    Random rng(3);
    WaveNoise patches(33, 2, 8, 20);
    const int rows = 4, bricksPerRow = 2;
    for (int y = 0; y < N; ++y)
        for (int x = 0; x < N; ++x) {
            const double v = double(y) * rows / N;
            const int row = int(v);
            double u = double(x) * bricksPerRow / N + (row & 1) * 0.5;
            u -= std::floor(u);
            const double fy = v - row;
            const bool mortar = fy < 0.14 || u < 0.07;
            double g = mortar ? 215 : 150 + 14 * patches.at(x, y);
            g += (rng.unit() - 0.5) * 12;
            t.grey[y * N + x] = g;
        }
    return t;
}

Tile woodGrain() {
    Tile t{"wood grain", {30, 8, -30}};
    WaveNoise warp(44, 1, 3, 8);
    Random rng(4);
    for (int y = 0; y < N; ++y)
        for (int x = 0; x < N; ++x) {
            const double phase = 5.0 * x / N + 0.35 * warp.at(x, y);
            const double ring = 0.5 + 0.5 * std::sin(kTwoPi * phase);
            t.grey[y * N + x] = 150 + 55 * std::pow(ring, 3) + (rng.unit() - 0.5) * 8;
        }
    return t;
}

Tile stone() {
    Tile t{"stone", {0, 0, 4}};
    Cells cells(55, 9);
    WaveNoise grain(56, 4, 20, 40);
    Random rng(5);
    std::vector<double> level(cells.points.size());
    for (double& l : level)
        l = 160 + rng.unit() * 40;
    for (int y = 0; y < N; ++y)
        for (int x = 0; x < N; ++x) {
            double d1, d2;
            int i;
            cells.nearest(x + 0.5, y + 0.5, d1, d2, i);
            const double edge = std::clamp((d2 - d1) / 3.0, 0.0, 1.0);
            t.grey[y * N + x] = (level[i] + 10 * grain.at(x, y)) * (0.55 + 0.45 * edge);
        }
    return t;
}

Tile linen() {
    Tile t{"linen", {6, 4, -6}};
    Random rng(6);
    std::array<double, N> rowLevel, columnLevel;
    for (double& v : rowLevel)
        v = (rng.unit() - 0.5) * 30;
    for (double& v : columnLevel)
        v = (rng.unit() - 0.5) * 30;
    for (int y = 0; y < N; ++y)
        for (int x = 0; x < N; ++x)
            t.grey[y * N + x] =
                182 + ((x + y) & 1 ? rowLevel[y] : columnLevel[x]) + (rng.unit() - 0.5) * 8;
    return t;
}

Tile sand() {
    Tile t{"sand", {18, 8, -22}};
    Random rng(7);
    WaveNoise dunes(77, 1, 4, 10);
    for (int y = 0; y < N; ++y)
        for (int x = 0; x < N; ++x) {
            double g = 180 + 10 * dunes.at(x, y) + (rng.unit() - 0.5) * 40;
            if (rng.next() % 23 == 0)
                g -= 40; // a dark grain
            t.grey[y * N + x] = g;
        }
    return t;
}

Tile cork() {
    Tile t{"cork", {35, 10, -30}};
    Random rng(8);
    WaveNoise blobs(88, 3, 12, 40);
    for (int y = 0; y < N; ++y)
        for (int x = 0; x < N; ++x) {
            double g = 170 + 22 * blobs.at(x, y) + (rng.unit() - 0.5) * 16;
            if (rng.next() % 9 == 0)
                g -= 35 * rng.unit();
            t.grey[y * N + x] = g;
        }
    return t;
}

Tile leather() {
    Tile t{"leather", {28, 4, -22}};
    Cells cells(99, 40);
    Random rng(9);
    for (int y = 0; y < N; ++y)
        for (int x = 0; x < N; ++x) {
            double d1, d2;
            int i;
            cells.nearest(x + 0.5, y + 0.5, d1, d2, i);
            const double edge = std::clamp((d2 - d1) / 2.5, 0.0, 1.0);
            t.grey[y * N + x] = 135 + 60 * std::sqrt(edge) + (rng.unit() - 0.5) * 6;
        }
    return t;
}

Tile dots() {
    Tile t{"dots", {0, 0, 0}};
    const int perSide = 4;
    const double spacing = double(N) / perSide;
    for (int y = 0; y < N; ++y)
        for (int x = 0; x < N; ++x) {
            double nearest = 1e9;
            for (int j = 0; j < perSide; ++j)
                for (int i = 0; i < perSide; ++i)
                    nearest = std::min(nearest, wrapDistance(x + 0.5, y + 0.5, (i + 0.5) * spacing,
                                                             (j + 0.5) * spacing));
            // A soft-edged dark dot, radius about 4 pixels, on a light ground.
            const double inside = std::clamp((5.0 - nearest) / 2.0, 0.0, 1.0);
            t.grey[y * N + x] = 196 - 80 * inside;
        }
    return t;
}

Tile crackle() {
    Tile t{"crackle", {8, 6, -8}};
    Cells cells(121, 14);
    Random rng(11);
    for (int y = 0; y < N; ++y)
        for (int x = 0; x < N; ++x) {
            double d1, d2;
            int i;
            cells.nearest(x + 0.5, y + 0.5, d1, d2, i);
            const double crack = std::clamp(1.0 - (d2 - d1) / 1.2, 0.0, 1.0);
            t.grey[y * N + x] = 192 - 95 * crack + (rng.unit() - 0.5) * 6;
        }
    return t;
}

Tile ripples() {
    Tile t{"ripples", {-12, 2, 20}};
    for (int y = 0; y < N; ++y)
        for (int x = 0; x < N; ++x) {
            const double a = wrapDistance(x, y, 14.5, 14.5), b = wrapDistance(x, y, 43.5, 43.5);
            const double wave = std::sin(a * 0.9) + std::sin(b * 0.9);
            t.grey[y * N + x] = 178 + 24 * wave;
        }
    return t;
}

} // namespace

int main(int argc, char** argv) {
    const std::string out =
        argc > 1 ? argv[1] : std::string(QUILL_SOURCE_DIR) + "/decor/TextureTiles.cpp";
    const std::vector<Tile> tiles = {canvasWeave(), paper(), brick(),   woodGrain(),
                                     stone(),       linen(), sand(),    cork(),
                                     leather(),     dots(),  crackle(), ripples()};
    std::string text;
    text += "// Generated by tools/make_texture_tiles.cpp; do not edit by hand.\n";
    text += "// clang-format off\n";
    text += "#include \"decor/TextureTiles.h\"\n\nnamespace quill {\n\n";
    text += "const char* const kTextureTileNames[12] = {\n";
    for (const auto& t : tiles)
        text += "    \"" + std::string(t.name) + "\",\n";
    text += "};\n\n";
    text += "const std::uint8_t kTextureTileRgb[12][kTextureTileSide * kTextureTileSide * 3] = {\n";
    for (const auto& t : tiles) {
        text += "    // " + std::string(t.name) + "\n    {";
        for (int i = 0; i < N * N; ++i) {
            if (i % 12 == 0)
                text += "\n        ";
            for (int c = 0; c < 3; ++c) {
                const int v = std::clamp(int(std::lround(t.grey[i])) + t.tint[c], 0, 255);
                text += std::to_string(v) + ",";
            }
        }
        text += "\n    },\n";
    }
    text += "};\n\n} // namespace quill\n";
    const std::string temporary = out + ".tmp";
    {
        std::ofstream file(temporary, std::ios::binary);
        file << text;
        if (!file) {
            std::cerr << out << ": cannot write\n";
            std::remove(temporary.c_str());
            return 1;
        }
    }
    if (std::rename(temporary.c_str(), out.c_str()) != 0) {
        std::cerr << out << ": cannot write\n";
        std::remove(temporary.c_str());
        return 1;
    }
    std::cout << "wrote " << out << "\n";
    return 0;
}
