#include "effects/Fringe.h"

#include <algorithm>
#include <cstring>

#include "imaging/IntegerText.h"
#include "imaging/Parallel.h"

namespace quill {
namespace {

// The narrowest accumulator that holds every kernel sum: the sum of |k| * 255 over
// the nine entries bounds any sum of products with bytes.
enum class SumWidth { Bits16, Bits32, Bits64, Bits128 };

SumWidth sumWidth(const Kernel3x3& kernel) {
    unsigned __int128 total = 0;
    for (std::int64_t k : kernel) {
        const unsigned __int128 magnitude = k < 0 ? static_cast<unsigned __int128>(-(k + 1)) + 1
                                                  : static_cast<unsigned __int128>(k);
        total += magnitude;
    }
    total *= 255;
    // 16 bits covers the dialogs' default kernels and lets twice as many lanes work.
    if (total <= static_cast<unsigned __int128>(INT16_MAX))
        return SumWidth::Bits16;
    if (total <= static_cast<unsigned __int128>(INT32_MAX))
        return SumWidth::Bits32;
    if (total <= static_cast<unsigned __int128>(INT64_MAX))
        return SumWidth::Bits64;
    return SumWidth::Bits128;
}

template <typename Acc> inline std::uint8_t clampToByte(Acc v) {
    return static_cast<std::uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

enum class RowMode { Realism, Abstract, PopArt };

// One row of kernel sums over the interior columns (bytes 4 .. endByte - 1) and what
// each mode makes of them. The alpha bytes are computed too and put right by the
// caller; keeping them in keeps the loop straight, so that the compiler vectorises it.
template <typename Acc, RowMode Mode>
void kernelRow(const Kernel3x3& kernel, const std::uint8_t* __restrict up,
               const std::uint8_t* __restrict mid, const std::uint8_t* __restrict down,
               std::uint8_t* __restrict out, int endByte) {
    const Acc k0 = Acc(kernel[0]), k1 = Acc(kernel[1]), k2 = Acc(kernel[2]);
    const Acc k3 = Acc(kernel[3]), k4 = Acc(kernel[4]), k5 = Acc(kernel[5]);
    const Acc k6 = Acc(kernel[6]), k7 = Acc(kernel[7]), k8 = Acc(kernel[8]);
    for (int i = 4; i < endByte; ++i) {
        const Acc v = k0 * Acc(up[i - 4]) + k1 * Acc(up[i]) + k2 * Acc(up[i + 4]) +
                      k3 * Acc(mid[i - 4]) + k4 * Acc(mid[i]) + k5 * Acc(mid[i + 4]) +
                      k6 * Acc(down[i - 4]) + k7 * Acc(down[i]) + k8 * Acc(down[i + 4]);
        if constexpr (Mode == RowMode::Realism) {
            out[i] = clampToByte(v);
        } else {
            const std::uint8_t r1 = clampToByte(v);
            // The fixed gradients lie within -1020 .. 1020.
            std::int16_t fixed;
            if constexpr (Mode == RowMode::PopArt)
                fixed = std::int16_t(-int(up[i - 4]) + int(up[i + 4]) - 2 * int(mid[i - 4]) +
                                     2 * int(mid[i + 4]) - int(down[i - 4]) + int(down[i + 4]));
            else
                fixed = std::int16_t(int(up[i - 4]) - int(up[i + 4]) + int(mid[i - 4]) -
                                     int(mid[i + 4]) + int(down[i - 4]) - int(down[i + 4]));
            const std::uint8_t r2 = clampToByte(fixed);
            // The final inversion is applied here at once.
            out[i] = std::uint8_t(255 - std::max(r1, r2));
        }
    }
}

// Interior pixels: a cut-out pixel keeps CutoutColor (Abstract and Pop art turn it into
// its inverse, which their inversion turns back); every other gets alpha 255 (Abstract
// and Pop art: alpha 0, inverted).
void settleInterior(const std::uint32_t* __restrict source, std::uint32_t* __restrict out,
                    int width) {
    for (int x = 1; x < width - 1; ++x)
        out[x] = source[x] == CutoutColor ? CutoutColor : (out[x] | 0xff000000u);
}

template <typename Acc>
void realismRows(const Kernel3x3& kernel, const TBitmap32& src, TBitmap32& dst, int begin,
                 int end) {
    const int W = src.width(), H = src.height();
    const int endByte = 4 * (W - 1);
    for (int y = begin; y < end; ++y) {
        const std::uint32_t* s = src.row32(y);
        std::uint32_t* d = dst.row32(y);
        if (y == 0 || y == H - 1 || W < 3) {
            std::memcpy(d, s, std::size_t(W) * 4);
            continue;
        }
        kernelRow<Acc, RowMode::Realism>(kernel, src.row(y - 1), src.row(y), src.row(y + 1),
                                         dst.row(y), endByte);
        d[0] = s[0];
        d[W - 1] = s[W - 1];
        settleInterior(s, d, W);
    }
}

template <typename Acc, bool Sobel>
void fringeRows(const Kernel3x3& kernel, const TBitmap32& src, TBitmap32& dst, int begin, int end) {
    const int W = src.width(), H = src.height();
    const int endByte = 4 * (W - 1);
    for (int y = begin; y < end; ++y) {
        const std::uint32_t* s = src.row32(y);
        std::uint32_t* d = dst.row32(y);
        if (y == 0 || y == H - 1) {
            // Replaced by the row copies afterwards unless the picture is one row high.
            for (int x = 0; x < W; ++x)
                d[x] = ~s[x];
            continue;
        }
        if (W >= 3) {
            constexpr RowMode mode = Sobel ? RowMode::PopArt : RowMode::Abstract;
            kernelRow<Acc, mode>(kernel, src.row(y - 1), src.row(y), src.row(y + 1), dst.row(y),
                                 endByte);
            settleInterior(s, d, W);
        }
        d[0] = ~s[0];
        d[W - 1] = ~s[W - 1];
        // The border columns copy their neighbours, all four bytes; a picture one pixel
        // wide has no neighbour to copy from and keeps its own pixel.
        if (W >= 2) {
            d[0] = d[1];
            d[W - 1] = d[W - 2];
        }
    }
}

template <bool Sobel> TBitmap32 fringe(const TBitmap32& original, const Kernel3x3& kernel) {
    const int W = original.width(), H = original.height();
    if (original.empty())
        return original;
    TBitmap32 result = TBitmap32::uninitialized(W, H);
    const SumWidth width = sumWidth(kernel);
    parallelRows(H, std::size_t(W), [&](int begin, int end) {
        switch (width) {
        case SumWidth::Bits16:
            fringeRows<std::int16_t, Sobel>(kernel, original, result, begin, end);
            break;
        case SumWidth::Bits32:
            fringeRows<std::int32_t, Sobel>(kernel, original, result, begin, end);
            break;
        case SumWidth::Bits64:
            fringeRows<std::int64_t, Sobel>(kernel, original, result, begin, end);
            break;
        case SumWidth::Bits128:
            fringeRows<__int128, Sobel>(kernel, original, result, begin, end);
            break;
        }
    });
    // Row 0 takes row 1 and row H-1 takes row H-2, after the columns are done.
    if (H >= 2) {
        std::memcpy(result.row32(0), result.row32(1), std::size_t(W) * 4);
        std::memcpy(result.row32(H - 1), result.row32(H - 2), std::size_t(W) * 4);
    }
    return result;
}

} // namespace

namespace {

// The convolution of source into a new picture; source is left as it is.
TBitmap32 convolved(const Kernel3x3& kernel, const TBitmap32& source) {
    const int W = source.width(), H = source.height();
    if (W < 3 || H < 3)
        return source;
    TBitmap32 result = TBitmap32::uninitialized(W, H);
    const SumWidth width = sumWidth(kernel);
    parallelRows(H, std::size_t(W), [&](int begin, int end) {
        switch (width) {
        case SumWidth::Bits16:
            realismRows<std::int16_t>(kernel, source, result, begin, end);
            break;
        case SumWidth::Bits32:
            realismRows<std::int32_t>(kernel, source, result, begin, end);
            break;
        case SumWidth::Bits64:
            realismRows<std::int64_t>(kernel, source, result, begin, end);
            break;
        case SumWidth::Bits128:
            realismRows<__int128>(kernel, source, result, begin, end);
            break;
        }
    });
    return result;
}

} // namespace

TBitmap32 realismArt(const TBitmap32& original, const Kernel3x3& kernel) {
    return convolved(kernel, original);
}

TBitmap32 abstractArt(const TBitmap32& original, const Kernel3x3& kernel) {
    return fringe<false>(original, kernel);
}

TBitmap32 popArt(const TBitmap32& original, const Kernel3x3& kernel) {
    return fringe<true>(original, kernel);
}

std::optional<Kernel3x3> kernelFromTexts(const std::array<std::string, 9>& fields,
                                         std::string* error) {
    Kernel3x3 kernel{};
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const std::optional<std::int32_t> value = StrToInt32(fields[i]);
        if (!value) {
            if (error)
                *error = notValidIntegerMessage(fields[i]);
            return std::nullopt;
        }
        kernel[i] = *value;
    }
    return kernel;
}

std::optional<Kernel3x3> parseKernel(std::string_view text, std::string* error) {
    std::array<std::string, 9> fields;
    std::size_t count = 0;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        const std::string_view field =
            text.substr(start, comma == std::string_view::npos ? text.npos : comma - start);
        if (count == fields.size()) {
            count = fields.size() + 1;
            break;
        }
        fields[count++] = std::string(field);
        if (comma == std::string_view::npos)
            break;
        start = comma + 1;
    }
    if (count != fields.size()) {
        if (error)
            *error = "a kernel needs nine comma-separated integers";
        return std::nullopt;
    }
    return kernelFromTexts(fields, error);
}

} // namespace quill
