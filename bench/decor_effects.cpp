// Background passes, texture and rotation on 12- and 24-megapixel pictures, with a plain
// picture copy in the same run as the yardstick: compare each time with Copy's. CPU
// times are those of the whole process, so work done on the band threads is counted.
#include "PlainCopy.h"
#include "decor/BackgroundEffects.h"
#include "decor/Rotation.h"
#include "decor/Texture.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <map>

using namespace quill;

namespace {

// A photo-like picture: gradients with a little noise, alpha 255.
const TBitmap32& photo(int megapixels) {
    static std::map<int, TBitmap32> cache;
    auto it = cache.find(megapixels);
    if (it != cache.end())
        return it->second;
    const int w = megapixels == 24 ? 6000 : 4000, h = megapixels == 24 ? 4000 : 3000;
    TBitmap32 pic = TBitmap32::uninitialized(w, h);
    std::uint32_t seed = 12345;
    for (int y = 0; y < h; ++y) {
        std::uint32_t* row = pic.row32(y);
        for (int x = 0; x < w; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int n = int(seed >> 29);
            row[x] = makePixel((x * 255 / w + n) & 255, (y * 255 / h + n) & 255,
                               ((x + y) / 16 + n) & 255);
        }
    }
    return cache.emplace(megapixels, std::move(pic)).first->second;
}

// The stricter yardstick: a copy into a picture of the same size (no new memory).
void CopyInto(benchmark::State& state) {
    const TBitmap32& source = photo(int(state.range(0)));
    TBitmap32 target = source;
    for (auto _ : state) {
        target = source;
        benchmark::DoNotOptimize(target.bits());
    }
}

// A plain copy of the picture into new memory (bench/PlainCopy.h), the yardstick of
// work that makes a new picture, as the rotation does.
void Copy(benchmark::State& state) {
    const TBitmap32& source = photo(int(state.range(0)));
    for (auto _ : state)
        quill::bench::plainCopy(source);
}

template <void (*Pass)(TBitmap32&)> void BackgroundPass(benchmark::State& state) {
    TBitmap32 picture = photo(int(state.range(0)));
    for (auto _ : state) {
        Pass(picture);
        benchmark::DoNotOptimize(picture.bits());
    }
}

void Texture(benchmark::State& state) {
    const TBitmap32& source = photo(int(state.range(0)));
    TBitmap32 target;
    ApplyTexture(textureTile(5), source, target); // builds the colour table once
    for (auto _ : state) {
        ApplyTexture(textureTile(5), source, target);
        benchmark::DoNotOptimize(target.bits());
    }
}

void Rotate30(benchmark::State& state) {
    const TBitmap32& source = photo(int(state.range(0)));
    for (auto _ : state) {
        RotationResult r = rotateAboutCentre(source, 30);
        benchmark::DoNotOptimize(r.picture.bits());
    }
}

} // namespace

BENCHMARK(CopyInto)
    ->Arg(12)
    ->Arg(24)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK(Copy)
    ->Arg(12)
    ->Arg(24)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK_TEMPLATE(BackgroundPass, emboss)
    ->Name("Emboss")
    ->Arg(12)
    ->Arg(24)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK_TEMPLATE(BackgroundPass, scorch)
    ->Name("Scorch")
    ->Arg(12)
    ->Arg(24)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK_TEMPLATE(BackgroundPass, verticalStria)
    ->Name("VerticalStria")
    ->Arg(12)
    ->Arg(24)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK_TEMPLATE(BackgroundPass, horizontalStria)
    ->Name("HorizontalStria")
    ->Arg(12)
    ->Arg(24)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK_TEMPLATE(BackgroundPass, grayBackground)
    ->Name("Gray")
    ->Arg(12)
    ->Arg(24)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK(Texture)
    ->Arg(12)
    ->Arg(24)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK(Rotate30)
    ->Arg(12)
    ->Arg(24)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

BENCHMARK_MAIN();
