#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace quill {

// One pixel as a 32-bit little-endian word: bytes blue, green, red, alpha in memory,
// so the word reads 0xAARRGGBB. Alpha is not premultiplied.
inline constexpr std::uint32_t makePixel(int r, int g, int b, int a = 255) {
    return (std::uint32_t(a) << 24) | (std::uint32_t(r) << 16) | (std::uint32_t(g) << 8) |
           std::uint32_t(b);
}
inline constexpr int pixelBlue(std::uint32_t p) {
    return int(p & 0xff);
}
inline constexpr int pixelGreen(std::uint32_t p) {
    return int((p >> 8) & 0xff);
}
inline constexpr int pixelRed(std::uint32_t p) {
    return int((p >> 16) & 0xff);
}
inline constexpr int pixelAlpha(std::uint32_t p) {
    return int(p >> 24);
}

// Marks a pixel outside a foreground's shape: blue 216, green 233, red 236, alpha 0.
inline constexpr std::uint32_t CutoutColor = makePixel(236, 233, 216, 0);

// Byte offsets of the channels inside a pixel.
inline constexpr int kBlue = 0, kGreen = 1, kRed = 2, kAlpha = 3;

// The program's pixel buffer: a picture in 32-bit form, bytes blue, green, red,
// alpha, rows reached by index. Rows are stored top to bottom, contiguously, with a
// stride of width * 4 bytes, which is the byte layout of QImage::Format_ARGB32 on a
// little-endian machine, so the window can show it without copying.
class TBitmap32 {
  public:
    TBitmap32() = default;
    // A width x height picture with every pixel set to fill (transparent black by default).
    TBitmap32(int width, int height, std::uint32_t fill = 0);
    // A picture whose pixels are left unset; for code that writes every pixel itself.
    static TBitmap32 uninitialized(int width, int height);

    TBitmap32(const TBitmap32& other);
    TBitmap32& operator=(const TBitmap32& other);
    TBitmap32(TBitmap32&& other) noexcept;
    TBitmap32& operator=(TBitmap32&& other) noexcept;
    ~TBitmap32() = default;

    int width() const { return m_width; }
    int height() const { return m_height; }
    bool empty() const { return m_width <= 0 || m_height <= 0; }
    std::size_t pixelCount() const { return std::size_t(m_width) * std::size_t(m_height); }
    std::size_t strideBytes() const { return std::size_t(m_width) * 4; }

    std::uint8_t* row(int y) {
        return reinterpret_cast<std::uint8_t*>(m_pixels.get() + std::size_t(y) * m_width);
    }
    const std::uint8_t* row(int y) const {
        return reinterpret_cast<const std::uint8_t*>(m_pixels.get() + std::size_t(y) * m_width);
    }
    std::uint32_t* row32(int y) { return m_pixels.get() + std::size_t(y) * m_width; }
    const std::uint32_t* row32(int y) const { return m_pixels.get() + std::size_t(y) * m_width; }
    std::uint32_t* bits() { return m_pixels.get(); }
    const std::uint32_t* bits() const { return m_pixels.get(); }

    std::uint32_t pixel(int x, int y) const { return row32(y)[x]; }
    void setPixel(int x, int y, std::uint32_t p) { row32(y)[x] = p; }

    // Resizes to width x height; every pixel becomes fill.
    void setSize(int width, int height, std::uint32_t fill = 0);
    void fill(std::uint32_t p);

    // Copies the source picture with its size.
    void Assign(const TBitmap32& source) { *this = source; }

    // Composites this picture onto dest with its top-left corner at (x, y) of dest,
    // with the integer "over" blend of BlendPixel. x and y may be negative or beyond dest.
    void DrawOnto(int x, int y, TBitmap32& dest) const;

    // One pixel of DrawOnto: writes the four bytes of *dest.
    static void BlendPixel(std::uint32_t* dest, std::uint32_t source);

    bool operator==(const TBitmap32& other) const;
    bool operator!=(const TBitmap32& other) const { return !(*this == other); }

  private:
    void allocate(int width, int height);

    struct FreePixels {
        void operator()(std::uint32_t* pixels) const;
    };

    int m_width = 0;
    int m_height = 0;
    std::unique_ptr<std::uint32_t[], FreePixels> m_pixels;
};

// Writes value into the alpha byte of every pixel; colour bytes untouched.
void SetAlpha(TBitmap32& picture, int value);

// Nearest-neighbour resampling in place: new size = Trunc(size x factor); destination
// column k takes source column floor(k * old width / new width), rows likewise.
// Throws std::length_error when the new size passes the program's picture limit.
void ZoomInandOut(TBitmap32& picture, long double widthFactor, long double heightFactor);
// The new size ZoomInandOut gives for one side.
int zoomedSize(int size, long double factor);

// Nearest-neighbour resampling to width x height of a fullWidth x fullHeight picture,
// given as source at full size or as a reduced copy (a JPEG decoded at a fraction of
// its size): destination column k takes full column floor(k * fullWidth / width),
// found in source at floor(that * source width / fullWidth); rows likewise. At full
// size this is ZoomInandOut's mapping. A size below 1 gives the empty picture.
TBitmap32 resampleNearest(const TBitmap32& source, int fullWidth, int fullHeight, int width,
                          int height);

} // namespace quill
