// Picture file speed on a 12-megapixel photograph-like picture: our JPEG reader and
// writer beside libjpeg-turbo's own calls on the same bytes, and the PNG codec.
#include "imaging/JpegCodec.h"
#include "imaging/PngCodec.h"

#include "bench/Photos.h"

#include <benchmark/benchmark.h>
#include <turbojpeg.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace {

using namespace quill;

constexpr int kWidth = 4000, kHeight = 3000;

const TBitmap32& photo() {
    static const TBitmap32 picture = quill::bench::photoLike(kWidth, kHeight);
    return picture;
}

const std::vector<std::uint8_t>& photoJpeg() {
    static const std::vector<std::uint8_t> bytes = encodeJpeg(photo());
    return bytes;
}

void BM_DecodeJpeg(benchmark::State& state) {
    const auto& bytes = photoJpeg();
    for (auto _ : state) {
        LoadResult read = decodeJpeg(bytes.data(), bytes.size());
        benchmark::DoNotOptimize(read.picture.bits());
    }
    state.SetLabel(std::to_string(bytes.size()) + " bytes");
}

// libjpeg-turbo's own decode of the same bytes into the same BGRA layout, into a
// freshly allocated buffer as ours does.
void BM_DecodeJpegReference(benchmark::State& state) {
    const auto& bytes = photoJpeg();
    tjhandle handle = tjInitDecompress();
    for (auto _ : state) {
        std::unique_ptr<unsigned char[]> out(new unsigned char[std::size_t(kWidth) * kHeight * 4]);
        int rc = tjDecompress2(handle, bytes.data(), static_cast<unsigned long>(bytes.size()),
                               out.get(), kWidth, 0, kHeight, TJPF_BGRA, 0);
        if (rc != 0)
            state.SkipWithError(tjGetErrorStr2(handle));
        benchmark::DoNotOptimize(out.get());
    }
    tjDestroy(handle);
}

void BM_EncodeJpeg(benchmark::State& state) {
    const TBitmap32& picture = photo();
    for (auto _ : state) {
        std::vector<std::uint8_t> bytes = encodeJpeg(picture);
        benchmark::DoNotOptimize(bytes.data());
    }
}

void BM_EncodeJpegReference(benchmark::State& state) {
    const TBitmap32& picture = photo();
    tjhandle handle = tjInitCompress();
    for (auto _ : state) {
        unsigned char* out = nullptr;
        unsigned long size = 0;
        int rc = tjCompress2(handle, reinterpret_cast<const unsigned char*>(picture.bits()), kWidth,
                             0, kHeight, TJPF_BGRA, &out, &size, TJSAMP_420, 90, 0);
        if (rc != 0)
            state.SkipWithError(tjGetErrorStr2(handle));
        benchmark::DoNotOptimize(out);
        tjFree(out);
    }
    tjDestroy(handle);
}

void BM_EncodePng(benchmark::State& state) {
    const TBitmap32& picture = photo();
    for (auto _ : state) {
        std::vector<std::uint8_t> bytes = encodePng(picture);
        benchmark::DoNotOptimize(bytes.data());
        state.SetLabel(std::to_string(bytes.size()) + " bytes");
    }
}

void BM_DecodePng(benchmark::State& state) {
    static const std::vector<std::uint8_t> bytes = encodePng(photo());
    for (auto _ : state) {
        LoadResult read = decodePng(bytes.data(), bytes.size());
        benchmark::DoNotOptimize(read.picture.bits());
    }
}

} // namespace

BENCHMARK(BM_DecodeJpeg)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_DecodeJpegReference)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_EncodeJpeg)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_EncodeJpegReference)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_EncodePng)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodePng)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
