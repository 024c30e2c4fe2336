// Speed of the colour photo effects on 12- and 24-megapixel pictures, with a plain copy
// of the picture as the yardstick measured in the same run.

#include <benchmark/benchmark.h>

#include <cstdint>

#include "PlainCopy.h"
#include "effects/Brume.h"
#include "effects/ColorFilters.h"
#include "effects/Fringe.h"
#include "effects/SharpenSoften.h"
#include "effects/WaterColor.h"
#include "imaging/Bitmap32.h"

using namespace quill;

namespace {

// A photograph-like picture: gradients with noise, so that no branch is always taken.
const TBitmap32& picture(int width, int height) {
    static TBitmap32 cached;
    if (cached.width() != width || cached.height() != height) {
        cached = TBitmap32::uninitialized(width, height);
        std::uint32_t state = 1;
        for (int y = 0; y < height; ++y) {
            std::uint32_t* row = cached.row32(y);
            for (int x = 0; x < width; ++x) {
                state = state * 1664525u + 1013904223u;
                const int noise = int(state >> 28);
                row[x] =
                    makePixel((x * 255 / width + noise) & 255, (y * 255 / height + noise) & 255,
                              ((x + y) / 8 + noise) & 255, 255);
            }
        }
    }
    return cached;
}

void sizes(benchmark::internal::Benchmark* b) {
    b->Args({4000, 3000})
        ->Args({6000, 4000})
        ->Unit(benchmark::kMillisecond)
        ->MeasureProcessCPUTime()
        ->UseRealTime();
}

template <typename Body> void run(benchmark::State& state, Body body) {
    const TBitmap32& source = picture(int(state.range(0)), int(state.range(1)));
    for (auto _ : state) {
        TBitmap32 result = body(source);
        benchmark::DoNotOptimize(result.bits());
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(source.pixelCount()));
}

// The yardstick: a plain copy into new memory (bench/PlainCopy.h).
void Copy(benchmark::State& state) {
    const TBitmap32& source = picture(int(state.range(0)), int(state.range(1)));
    for (auto _ : state)
        quill::bench::plainCopy(source);
    state.SetItemsProcessed(state.iterations() * std::int64_t(source.pixelCount()));
}
void ConvolveRealism(benchmark::State& s) {
    run(s, [](const TBitmap32& p) { return realismArt(p, kRealismDefault); });
}
void Abstract(benchmark::State& s) {
    run(s, [](const TBitmap32& p) { return abstractArt(p, kAbstractDefault); });
}
void PopArt(benchmark::State& s) {
    run(s, [](const TBitmap32& p) { return popArt(p, kPopArtDefault); });
}
void Sharpen(benchmark::State& s) {
    run(s, [](const TBitmap32& p) {
        TBitmap32 q = TBitmap32::uninitialized(p.width(), p.height());
        sharpenInto(p, q);
        return q;
    });
}
void Soften(benchmark::State& s) {
    run(s, [](const TBitmap32& p) {
        TBitmap32 q = TBitmap32::uninitialized(p.width(), p.height());
        softenInto(p, q);
        return q;
    });
}
void WaterColor(benchmark::State& s) {
    run(s, [](const TBitmap32& p) { return waterColor(p); });
}
void ColorPanels(benchmark::State& s) {
    run(s, [](const TBitmap32& p) { return colorPanels(p); });
}
void ColorBlocksVH(benchmark::State& s) {
    run(s, [](const TBitmap32& p) { return colorBlocksVH(p); });
}
void ColorBlocksCatercorner(benchmark::State& s) {
    run(s, [](const TBitmap32& p) { return colorBlocksCatercorner(p); });
}
void Brume(benchmark::State& s) {
    ProgramRandom random(0);
    run(s, [&random](const TBitmap32& p) { return brume(p, random); });
}

} // namespace

BENCHMARK(Copy)->Apply(sizes);
BENCHMARK(ConvolveRealism)->Apply(sizes);
BENCHMARK(Abstract)->Apply(sizes);
BENCHMARK(PopArt)->Apply(sizes);
BENCHMARK(Sharpen)->Apply(sizes);
BENCHMARK(Soften)->Apply(sizes);
BENCHMARK(WaterColor)->Apply(sizes);
BENCHMARK(ColorPanels)->Apply(sizes);
BENCHMARK(ColorBlocksVH)->Apply(sizes);
BENCHMARK(ColorBlocksCatercorner)->Apply(sizes);
BENCHMARK(Brume)->Apply(sizes);
BENCHMARK(Copy)->Apply(sizes); // again at the end, to see drift from the shared machine

BENCHMARK_MAIN();
