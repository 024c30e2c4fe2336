#include "decor/Texture.h"

#include "decor/TextureTiles.h"
#include "imaging/Parallel.h"

#include <algorithm>
#include <array>
#include <memory>
#include <thread>
#include <vector>

namespace quill {
namespace {

constexpr std::uint16_t kTie = 0xffff; // the exact value is a rounding tie: ask the formula
constexpr std::uint8_t kTie8 = 0xff;   // the same in a byte table (values there are 0..100)

// Round(num / den) with halves to even, or kTie when num / den is exactly a half.
std::uint16_t roundRatio(int num, int den) {
    const int q = num / den, rem = num - q * den;
    if (2 * rem == den)
        return kTie;
    return std::uint16_t(q + (2 * rem > den));
}

// Whole-number hue, saturation and lightness as exact ratios of the bytes:
//   l = Round(100 (max + min) / 510)
//   s = Round(100 d / (max + min)) below lightness 0.5, else Round(100 d / (510 - max - min))
//   h = Round(60 (2 k d + n) / d), plus 360 when negative (k = 0, 1, 2 for red, green,
//       blue largest, tested in that order; n the difference of the two other channels).
// The double formula is within 1e-12 of these ratios while a ratio that is not a tie lies
// at least 1/510 from one, so both round alike; a tie is left to the formula.
struct HslRatioTables {
    std::array<std::uint16_t, 511> lightness;
    std::vector<std::uint8_t> saturation; // [d][max + min], kTie8 for a tie
    std::vector<std::uint16_t> hue;       // [sector][n + 255][d]

    HslRatioTables() : saturation(256 * 511, 0), hue(3 * 511 * 256, 0) {
        for (int sum = 0; sum <= 510; ++sum)
            lightness[sum] = roundRatio(100 * sum, 510);
        for (int d = 1; d <= 255; ++d)
            for (int sum = d; sum <= 510 - d; ++sum) {
                // At max + min = 255 both denominators are 255.
                const int den = sum <= 255 ? sum : 510 - sum;
                const std::uint16_t v = roundRatio(100 * d, den);
                saturation[d * 511 + sum] = v == kTie ? kTie8 : std::uint8_t(v);
            }
        for (int sector = 0; sector < 3; ++sector)
            for (int n = -255; n <= 255; ++n)
                for (int d = 1; d <= 255; ++d) {
                    int num = 60 * (2 * sector * d + n);
                    if (num < 0)
                        num += 360 * d;
                    hue[(sector * 511 + n + 255) * 256 + d] = roundRatio(num, d);
                }
    }
};

const HslRatioTables& ratioTables() {
    static const HslRatioTables tables;
    return tables;
}

// HSLtoRGB360 for every h 0..359, s 0..100, l 0..100 as pixel words with alpha 255.
constexpr int kHslPlane = 101 * 101;
const std::uint32_t* hslPixelTable() {
    // Built on threads of its own rather than parallelRows, so that a first use from
    // inside another parallel job cannot wait on that job's pool.
    static const std::unique_ptr<std::uint32_t[]> table = [] {
        std::unique_ptr<std::uint32_t[]> t(new std::uint32_t[std::size_t(360) * kHslPlane]);
        auto build = [&t](int h0, int h1) {
            for (int h = h0; h < h1; ++h)
                for (int s = 0; s <= 100; ++s)
                    for (int l = 0; l <= 100; ++l) {
                        const RGB8 c = HSLtoRGB360(h, s, l);
                        t[std::size_t(h) * kHslPlane + s * 101 + l] = makePixel(c.r, c.g, c.b, 255);
                    }
        };
        const int threads = int(std::clamp(std::thread::hardware_concurrency(), 1u, 8u));
        std::vector<std::thread> workers;
        for (int i = 1; i < threads; ++i)
            workers.emplace_back(build, 360 * i / threads, 360 * (i + 1) / threads);
        build(0, 360 / threads);
        for (auto& w : workers)
            w.join();
        return t;
    }();
    return table.get();
}

} // namespace

namespace {

inline HSL360 hslFromRatios(const HslRatioTables& t, int r, int g, int b) {
    const int mx = std::max(r, std::max(g, b)), mn = std::min(r, std::min(g, b));
    const int d = mx - mn, sum = mx + mn;
    HSL360 out;
    const std::uint16_t l = t.lightness[sum];
    if (d == 0) {
        if (l == kTie)
            return RGBtoHSL360(r, g, b);
        out.l = l;
        return out;
    }
    const std::uint8_t s = t.saturation[d * 511 + sum];
    // The same order of tests as the formula: red, then green, then blue largest.
    int sector, n;
    if (r == mx) {
        sector = 0;
        n = g - b;
    } else if (g == mx) {
        sector = 1;
        n = b - r;
    } else {
        sector = 2;
        n = r - g;
    }
    const std::uint16_t h = t.hue[(sector * 511 + n + 255) * 256 + d];
    if (h == kTie || s == kTie8 || l == kTie)
        return RGBtoHSL360(r, g, b);
    out.h = h;
    out.s = s;
    out.l = l;
    return out;
}

} // namespace

HSL360 RGBtoHSL360Fast(int r, int g, int b) {
    return hslFromRatios(ratioTables(), r, g, b);
}

std::uint32_t HSLtoPixelFast(int h, int s, int l) {
    if (h == 360)
        h = 0;
    if (h < 0 || h > 359 || s < 0 || s > 100 || l < 0 || l > 100)
        return makePixel(0, 0, 0, 255);
    return hslPixelTable()[std::size_t(h) * kHslPlane + s * 101 + l];
}

bool tileUsable(const TBitmap32& tile) {
    return tile.width() >= kTileSize && tile.height() >= kTileSize;
}

std::string tileTooSmallMessage(const TBitmap32& tile) {
    std::string message = "The tile is ";
    message += std::to_string(tile.width());
    message += " x ";
    message += std::to_string(tile.height());
    message += " pixels; a texture tile must be at least 58 x 58 pixels.";
    return message;
}

void ApplyTexture(const TBitmap32& tile, const TBitmap32& source, TBitmap32& target) {
    if (!tileUsable(tile) || source.empty()) {
        // Nothing to lay a relief with: the target gets the source unchanged.
        if (&target != &source)
            target = source;
        return;
    }
    // The tile's lightness minus 70, one value per tile pixel.
    std::array<std::int8_t, kTileSize * kTileSize> shift;
    for (int y = 0; y < kTileSize; ++y)
        for (int x = 0; x < kTileSize; ++x) {
            const std::uint32_t p = tile.pixel(x, y);
            shift[y * kTileSize + x] =
                std::int8_t(RGBtoHSL360(pixelRed(p), pixelGreen(p), pixelBlue(p)).l - 70);
        }
    const std::uint32_t* hslTable = hslPixelTable();
    const HslRatioTables& ratios = ratioTables();
    const int w = source.width(), h = source.height();
    TBitmap32 result = TBitmap32::uninitialized(w, h);
    parallelRows(h, std::size_t(w) * 4, [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            const std::uint32_t* in = source.row32(y);
            std::uint32_t* out = result.row32(y);
            const std::int8_t* tileRow = &shift[(y % kTileSize) * kTileSize];
            int tx = 0;
            // Neighbouring pixels often share a colour: keep the last conversion.
            std::uint32_t lastColour = 0x01000000u; // never a colour with its alpha cleared
            HSL360 c;
            for (int x = 0; x < w; ++x) {
                const std::uint32_t p = in[x] & 0x00ffffffu;
                if (p != lastColour) {
                    c = hslFromRatios(ratios, pixelRed(p), pixelGreen(p), pixelBlue(p));
                    lastColour = p;
                }
                const int l = std::clamp(c.l + tileRow[tx], 0, 100);
                const int hue = c.h == 360 ? 0 : c.h;
                out[x] = hslTable[std::size_t(hue) * kHslPlane + c.s * 101 + l];
                if (++tx == kTileSize)
                    tx = 0;
            }
        }
    });
    target = std::move(result);
}

const TBitmap32& textureTile(int k) {
    static const std::array<TBitmap32, kTextureTileCount> tiles = [] {
        std::array<TBitmap32, kTextureTileCount> t;
        for (int i = 0; i < kTextureTileCount; ++i) {
            t[i] = TBitmap32(kTileSize, kTileSize);
            const std::uint8_t* rgb = kTextureTileRgb[i];
            for (int y = 0; y < kTileSize; ++y)
                for (int x = 0; x < kTileSize; ++x) {
                    const std::uint8_t* q = rgb + 3 * (y * kTileSize + x);
                    t[i].setPixel(x, y, makePixel(q[0], q[1], q[2], 255));
                }
        }
        return t;
    }();
    static const TBitmap32 none;
    if (k < 1 || k > kTextureTileCount)
        return none;
    return tiles[k - 1];
}

std::string textureTileName(int k) {
    if (k < 1 || k > kTextureTileCount)
        return std::string();
    return kTextureTileNames[k - 1];
}

} // namespace quill
