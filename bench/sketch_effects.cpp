// Speed of the black-and-white sketch passes on 12- and 24-megapixel pictures, each
// against a plain copy of the same picture measured in the same run. The ratios are
// printed at the end, from the fastest of the repetitions
// (--benchmark_repetitions=5 gives steadier ratios on a busy machine).

#include "PlainCopy.h"
#include "effects/EdgeSketch.h"
#include "effects/Kryptol.h"
#include "effects/PenAndInk.h"
#include "effects/PenSketch.h"
#include "effects/PencilSketch.h"
#include "imaging/Rounding.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

using quill::TBitmap32;

struct Size {
    int width, height;
};
const Size kSizes[] = {{4000, 3000}, {6000, 4000}};

// Gradients, a dark disc with a hard edge, a bright band and noise: enough texture that
// the edge sketch has lines and paper.
TBitmap32 photograph(int w, int h) {
    std::mt19937 rng(12345);
    std::uniform_int_distribution<int> noise(-10, 10);
    TBitmap32 out = TBitmap32::uninitialized(w, h);
    const long cx = w / 3, cy = h / 2, r = std::min(w, h) / 4;
    for (int y = 0; y < h; ++y) {
        std::uint32_t* row = out.row32(y);
        for (int x = 0; x < w; ++x) {
            int red = 40 + 180 * x / w, green = 200 - 150 * y / h, blue = 90 + (x + y) % 60;
            if ((x - cx) * (x - cx) + (y - cy) * (y - cy) < r * r)
                red = green = blue = 25;
            if (x > 2 * w / 3)
                red = green = blue = 245;
            const int n = noise(rng);
            row[x] = quill::makePixel(quill::clampByte(red + n), quill::clampByte(green - n),
                                      quill::clampByte(blue + n), 255);
        }
    }
    return out;
}

// The inputs of every pass, made once per size.
struct Inputs {
    TBitmap32 original, edge, grey, thresholded, inkBase;
};

const Inputs& inputs(int index) {
    static std::map<int, Inputs> cache;
    auto it = cache.find(index);
    if (it != cache.end())
        return it->second;
    Inputs in;
    in.original = photograph(kSizes[index].width, kSizes[index].height);
    in.edge = in.original;
    quill::picsobel(in.edge);
    in.grey = quill::pencilGreyBase(in.edge);
    in.thresholded = quill::penSketchThreshold(in.edge, {quill::kKryptolPressure, false});
    in.inkBase = in.original;
    quill::PictureTwoValue(in.inkBase, {128, false});
    return cache.emplace(index, std::move(in)).first->second;
}

// The yardstick: a plain copy into new memory (bench/PlainCopy.h).
void Copy(benchmark::State& state) {
    const Inputs& in = inputs(int(state.range(0)));
    for (auto _ : state)
        quill::bench::plainCopy(in.original);
}

template <class F> void withCopy(benchmark::State& state, const TBitmap32& source, F pass) {
    TBitmap32 work(source);
    for (auto _ : state) {
        pass(work);
        benchmark::DoNotOptimize(work.bits());
        benchmark::ClobberMemory();
    }
}

void Picsobel(benchmark::State& state) {
    withCopy(state, inputs(int(state.range(0))).original, [](TBitmap32& p) { quill::picsobel(p); });
}
void GreyBase(benchmark::State& state) {
    const Inputs& in = inputs(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(quill::pencilGreyBase(in.edge).bits());
}
void Lighting(benchmark::State& state) {
    const Inputs& in = inputs(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(quill::pencilLighting(in.edge, 200).bits());
}
void Contrast(benchmark::State& state) {
    const Inputs& in = inputs(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(quill::pencilContrast(in.grey, 60).bits());
}
void PenThreshold(benchmark::State& state) {
    const Inputs& in = inputs(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(quill::penSketchThreshold(in.edge, {128, true}).bits());
}
void InkThreshold(benchmark::State& state) {
    withCopy(state, inputs(int(state.range(0))).original, [](TBitmap32& p) {
        quill::PictureTwoValue(p, {128, false});
    });
}
void InkOutline(benchmark::State& state) {
    const Inputs& in = inputs(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(quill::penandink(in.inkBase, false).bits());
}
void PenStroke(benchmark::State& state) {
    withCopy(state, inputs(int(state.range(0))).thresholded,
             [](TBitmap32& p) { quill::BitmapDilate(p, 1); });
}
void PencilSketchWhole(benchmark::State& state) {
    const Inputs& in = inputs(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(quill::pencilSketch(in.original, {}).bits());
}

// Remembers each run's time per iteration to print the ratios to the copy.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.iterations <= 0)
                continue;
            // The fastest repetition: the machine is shared, and others' work only slows.
            std::string name = run.run_name.function_name + "/" + run.run_name.args;
            const Times t{run.real_accumulated_time / double(run.iterations),
                          run.cpu_accumulated_time / double(run.iterations)};
            auto [it, added] = times.emplace(name, t);
            if (!added) {
                it->second.real = std::min(it->second.real, t.real);
                it->second.cpu = std::min(it->second.cpu, t.cpu);
            }
        }
    }
    struct Times {
        double real, cpu;
    };
    std::map<std::string, Times> times;
};

} // namespace

#define SIZES Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime()
BENCHMARK(Copy)->SIZES;
BENCHMARK(Picsobel)->SIZES;
BENCHMARK(GreyBase)->SIZES;
BENCHMARK(Lighting)->SIZES;
BENCHMARK(Contrast)->SIZES;
BENCHMARK(PenThreshold)->SIZES;
BENCHMARK(InkThreshold)->SIZES;
BENCHMARK(InkOutline)->SIZES;
BENCHMARK(PenStroke)->SIZES;
BENCHMARK(PencilSketchWhole)->SIZES;

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const char* limits[][2] = {
        {"Picsobel", "4"},   {"GreyBase", "2"},     {"Lighting", "2"},
        {"Contrast", "2"},   {"PenThreshold", "2"}, {"InkThreshold", "2"},
        {"InkOutline", "4"}, {"PenStroke", "4"},    {"PencilSketchWhole", "-"}};
    std::printf(
        "\nTime relative to a plain copy of the same picture: wall clock, and the CPU time of\n"
        "all threads (steadier when other work shares the machine); target in brackets:\n");
    for (int size = 0; size < 2; ++size) {
        const auto copy = reporter.times.find("Copy/" + std::to_string(size));
        if (copy == reporter.times.end())
            continue;
        std::printf("%d x %d:\n", kSizes[size].width, kSizes[size].height);
        for (const auto& limit : limits) {
            const auto it = reporter.times.find(std::string(limit[0]) + "/" + std::to_string(size));
            if (it != reporter.times.end())
                std::printf("  %-18s %5.2f x  cpu %5.2f x  [<= %s]\n", limit[0],
                            it->second.real / copy->second.real, it->second.cpu / copy->second.cpu,
                            limit[1]);
        }
    }
    benchmark::Shutdown();
    return 0;
}
