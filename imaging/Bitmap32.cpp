#include "imaging/Bitmap32.h"

#include "imaging/Limits.h"
#include "imaging/Parallel.h"
#include "imaging/RowBlend.h"

#if __has_include(<sys/mman.h>)
#include <sys/mman.h>
#endif

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>
#include <vector>

namespace quill {

namespace {

// Pictures from this size on are placed on 2 MiB boundaries and offered to the kernel
// for huge pages: a new 12-megapixel picture then takes two dozen page faults instead
// of twelve thousand, which cost more than filling it. Smaller ones come from malloc.
constexpr std::size_t kHugePageBytes = std::size_t(2) << 20;
constexpr std::size_t kHugePagesFrom = 4 * kHugePageBytes;

std::uint32_t* allocatePixels(std::size_t count) {
    const std::size_t bytes = count * sizeof(std::uint32_t);
    void* memory = nullptr;
    if (bytes >= kHugePagesFrom) {
        if (posix_memalign(&memory, kHugePageBytes, bytes) != 0)
            throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
        madvise(memory, bytes, MADV_HUGEPAGE); // only a hint: refused, the pages are ordinary ones
#endif
    } else if (!(memory = std::malloc(bytes))) {
        throw std::bad_alloc();
    }
    return static_cast<std::uint32_t*>(memory);
}

} // namespace

void TBitmap32::FreePixels::operator()(std::uint32_t* pixels) const {
    std::free(pixels);
}

void TBitmap32::allocate(int width, int height) {
    if (width <= 0 || height <= 0) {
        m_width = m_height = 0;
        m_pixels.reset();
        return;
    }
    if (!pictureSizeAllowed(width, height))
        throw std::length_error("picture of " + std::to_string(width) + " x " +
                                std::to_string(height) +
                                " pixels is larger than the program can hold");
    m_pixels.reset(allocatePixels(std::size_t(width) * std::size_t(height)));
    m_width = width;
    m_height = height;
}

TBitmap32::TBitmap32(int width, int height, std::uint32_t fillValue) {
    allocate(width, height);
    fill(fillValue);
}

TBitmap32 TBitmap32::uninitialized(int width, int height) {
    TBitmap32 b;
    b.allocate(width, height);
    return b;
}

TBitmap32::TBitmap32(const TBitmap32& other) {
    allocate(other.m_width, other.m_height);
    if (m_pixels)
        std::memcpy(m_pixels.get(), other.m_pixels.get(), pixelCount() * 4);
}

TBitmap32& TBitmap32::operator=(const TBitmap32& other) {
    if (this == &other)
        return *this;
    if (m_width != other.m_width || m_height != other.m_height)
        allocate(other.m_width, other.m_height);
    if (m_pixels)
        std::memcpy(m_pixels.get(), other.m_pixels.get(), pixelCount() * 4);
    return *this;
}

TBitmap32::TBitmap32(TBitmap32&& other) noexcept
    : m_width(other.m_width), m_height(other.m_height), m_pixels(std::move(other.m_pixels)) {
    other.m_width = other.m_height = 0;
}

TBitmap32& TBitmap32::operator=(TBitmap32&& other) noexcept {
    if (this != &other) {
        m_width = other.m_width;
        m_height = other.m_height;
        m_pixels = std::move(other.m_pixels);
        other.m_width = other.m_height = 0;
    }
    return *this;
}

void TBitmap32::setSize(int width, int height, std::uint32_t fillValue) {
    allocate(width, height);
    fill(fillValue);
}

void TBitmap32::fill(std::uint32_t p) {
    if (m_pixels)
        std::fill_n(m_pixels.get(), pixelCount(), p);
}

bool TBitmap32::operator==(const TBitmap32& other) const {
    if (m_width != other.m_width || m_height != other.m_height)
        return false;
    return pixelCount() == 0 ||
           std::memcmp(m_pixels.get(), other.m_pixels.get(), pixelCount() * 4) == 0;
}

void TBitmap32::BlendPixel(std::uint32_t* dest, std::uint32_t source) {
    const std::uint32_t d = *dest;
    const int sa = int(source >> 24);
    const int da = int(d >> 24);
    if (da == 0 && sa == 0) {
        *dest = 0x00ffffffu;
        return;
    }
    if (sa == 0)
        return;
    if (da == 0 || sa == 255) {
        *dest = source;
        return;
    }
    const int a = 255 * sa + 255 * da - sa * da;
    const int wd = da * (255 - sa);
    const int ws = 255 * sa;
    int channel[3];
    for (int c = 0; c < 3; ++c) {
        int dv = int((d >> (8 * c)) & 0xff);
        int sv = int((source >> (8 * c)) & 0xff);
        channel[c] = (wd * dv + ws * sv) / a;
    }
    *dest = (std::uint32_t(a / 255) << 24) | (std::uint32_t(channel[2]) << 16) |
            (std::uint32_t(channel[1]) << 8) | std::uint32_t(channel[0]);
}

void TBitmap32::DrawOnto(int x, int y, TBitmap32& dest) const {
    // Intersect the destination and this picture placed at (x, y); 64-bit so that
    // far-away places cannot overflow.
    const std::int64_t left = std::max<std::int64_t>(0, x), top = std::max<std::int64_t>(0, y);
    const std::int64_t right = std::min<std::int64_t>(dest.width(), std::int64_t(x) + m_width);
    const std::int64_t bottom = std::min<std::int64_t>(dest.height(), std::int64_t(y) + m_height);
    if (left >= right || top >= bottom)
        return;
    const int l = int(left), r = int(right), t = int(top);
    parallelRows(int(bottom - top), std::size_t(r - l), [&](int begin, int end) {
        const int n = r - l;
        for (int row = t + begin; row < t + end; ++row) {
            std::uint32_t* drow = dest.row32(row) + l;
            const std::uint32_t* srow = row32(row - y) + (l - x);
            // Over an opaque destination the four cases are one formula, blended a
            // vector at a time; anywhere else pixel by pixel.
            blendRow(drow, srow, n, rowOpaque(drow, n));
        }
    });
}

void SetAlpha(TBitmap32& picture, int value) {
    const std::uint32_t a = std::uint32_t(value & 0xff) << 24;
    parallelRows(picture.height(), std::size_t(picture.width()), [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            std::uint32_t* row = picture.row32(y);
            for (int x = 0; x < picture.width(); ++x)
                row[x] = (row[x] & 0x00ffffffu) | a;
        }
    });
}

int zoomedSize(int size, long double factor) {
    long double v = static_cast<long double>(size) * factor;
    if (!(v >= 0))
        return 0;
    if (v > static_cast<long double>(kMaxPictureSide) + 1)
        return kMaxPictureSide + 1; // refused by the allocation
    return static_cast<int>(v);     // truncation toward zero
}

void ZoomInandOut(TBitmap32& picture, long double widthFactor, long double heightFactor) {
    const int oldW = picture.width(), oldH = picture.height();
    const int newW = zoomedSize(oldW, widthFactor);
    const int newH = zoomedSize(oldH, heightFactor);
    if (newW == oldW && newH == oldH)
        return; // the identity mapping
    picture = resampleNearest(picture, oldW, oldH, newW, newH);
}

TBitmap32 resampleNearest(const TBitmap32& source, int fullWidth, int fullHeight, int width,
                          int height) {
    if (width <= 0 || height <= 0 || source.empty() || fullWidth <= 0 || fullHeight <= 0)
        return TBitmap32();
    TBitmap32 result = TBitmap32::uninitialized(width, height);
    const std::int64_t sourceW = source.width(), sourceH = source.height();
    auto place = [](std::int64_t k, std::int64_t full, std::int64_t size, std::int64_t from) {
        return int(k * full / size * from / full);
    };
    std::vector<int> sourceColumn(static_cast<std::size_t>(width));
    for (int k = 0; k < width; ++k)
        sourceColumn[std::size_t(k)] = place(k, fullWidth, width, sourceW);
    parallelRows(height, std::size_t(width), [&](int begin, int end) {
        for (int k = begin; k < end; ++k) {
            const std::uint32_t* src = source.row32(place(k, fullHeight, height, sourceH));
            std::uint32_t* dst = result.row32(k);
            for (int x = 0; x < width; ++x)
                dst[x] = src[sourceColumn[std::size_t(x)]];
        }
    });
    return result;
}

} // namespace quill
