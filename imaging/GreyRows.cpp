#include "imaging/GreyRows.h"

#include "imaging/Colour.h"

#include <cstring>

namespace quill {

GreyHalves::GreyHalves(int wr, int wg, int wb, int scale, int (*literal)(int, int, int)) {
    for (int r = 0; r < 256; ++r)
        for (int g = 0; g < 256; ++g)
            for (int b = 0; b < 256; ++b) {
                const int n = wr * r + wg * g + wb * b;
                if (n % scale != scale / 2)
                    continue;
                const int halfUp = (n + scale / 2) / scale;
                if (literal(r, g, b) < halfUp)
                    m_bits[(r << 8) | g] |= std::uint8_t(1u << (b / 100));
            }
}

void GreyHalves::settle(const std::uint8_t* pixels, const std::uint8_t* half, int count,
                        std::uint8_t* grey) const {
    for (int i = 0; i < count; ++i) {
        if (i + 8 <= count) { // eight marks at a time: halves are rare
            std::uint64_t marks;
            std::memcpy(&marks, half + i, sizeof marks);
            if (!marks) {
                i += 7;
                continue;
            }
        }
        if (half[i])
            grey[i] =
                std::uint8_t(grey[i] - roundsDown(pixels[4 * i + kRed], pixels[4 * i + kGreen],
                                                  pixels[4 * i + kBlue]));
    }
}

namespace {

// n = 100 x (0.3 R + 0.59 G + 0.11 B) + 50 is at most 25550, where n / 100 = (n * 5243) >> 19.
struct PencilWeights {
    static constexpr int kR = 30, kG = 59, kB = 11, kScale = 100;
    static constexpr int kPreShift = 0, kMagic = 5243, kPostShift = 3;
    static const GreyHalves& halves() { return pencilGreyHalves(); }
};

} // namespace

const GreyHalves& pencilGreyHalves() {
    static const GreyHalves halves(PencilWeights::kR, PencilWeights::kG, PencilWeights::kB,
                                   PencilWeights::kScale, greyPencilLiteral);
    return halves;
}

void pencilGreyRow(const std::uint32_t* row, int width, std::uint8_t* grey) {
    weightedGreyRow<PencilWeights>(row, width, grey);
}

namespace {

// n = 1000 x (0.299 R + 0.587 G + 0.11 B) + 500 is at most 254480, so n / 8 is below 2^15,
// where n / 1000 = (n / 8) / 125 = ((n / 8) * 33555) >> 22.
struct InkWeights {
    static constexpr int kR = 299, kG = 587, kB = 110, kScale = 1000;
    static constexpr int kPreShift = 3, kMagic = 33555, kPostShift = 6;
    static const GreyHalves& halves() { return inkGreyHalves(); }
};

} // namespace

const GreyHalves& inkGreyHalves() {
    static const GreyHalves halves(InkWeights::kR, InkWeights::kG, InkWeights::kB,
                                   InkWeights::kScale, greyInkLiteral);
    return halves;
}

void inkGreyRow(const std::uint32_t* row, int width, std::uint8_t* grey) {
    weightedGreyRow<InkWeights>(row, width, grey);
}

} // namespace quill
