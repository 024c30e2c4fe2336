// Filling a browser with a folder of 100 camera photographs (12 megapixels, JPEG at
// quality 90) beside reading every one of them whole, one after another, in the same
// run. The browser's thumbnail reader decodes each JPEG at an eighth of its size; it
// is timed on one thread (the work saved) and on one thread per core, as the program
// fills a browser. The files are four photographs, each linked under 25 names.
#include "collections/Browser.h"
#include "imaging/Folders.h"
#include "imaging/JpegCodec.h"
#include "imaging/PictureFile.h"

#include "bench/Photos.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace {

using namespace quill;
namespace fs = std::filesystem;

constexpr int kPhotos = 100, kDistinct = 4;

struct Folder {
    std::string path;
    std::vector<std::string> names;
    Folder() {
        char pattern[] = "/tmp/quill-bench-photos-XXXXXX";
        path = ::mkdtemp(pattern);
        for (int i = 0; i < kPhotos; ++i) {
            names.push_back("photo" + std::to_string(1000 + i) + ".jpg");
            const fs::path file = fs::path(path) / names.back();
            if (i < kDistinct)
                SavePicture(bench::photoLike(4000, 3000, unsigned(i + 1)), file,
                            PictureFormat::Jpeg);
            else
                fs::create_hard_link(fs::path(path) / names[std::size_t(i % kDistinct)], file);
        }
    }
    ~Folder() { fs::remove_all(path); }
};

const Folder& folder() {
    static const Folder f;
    return f;
}

void ReadWhole(benchmark::State& state) {
    const Folder& f = folder();
    for (auto _ : state)
        for (const std::string& name : f.names)
            benchmark::DoNotOptimize(LoadPictureFile(joinPath(f.path, name)).picture.bits());
}

// Argument: worker threads, 0 for one per core.
void BrowserFill(benchmark::State& state) {
    const Folder& f = folder();
    std::vector<ThumbCell> cells;
    for (auto _ : state)
        buildStripCells(StripKind::Background, f.path, f.names, cells, defaultThumbReader(), {},
                        unsigned(state.range(0)));
    state.SetLabel(cells.front().caption);
}

// The browser as it was: each photo read whole, then reduced.
void BrowserFillFromWholePictures(benchmark::State& state) {
    const Folder& f = folder();
    std::vector<ThumbCell> cells;
    for (auto _ : state)
        buildStripCells(StripKind::Background, f.path, f.names, cells, defaultThumbLoader(), {}, 1);
}

class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration && run.iterations > 0)
                seconds[run.run_name.function_name + run.run_name.args] =
                    run.real_accumulated_time / double(run.iterations);
    }
    std::map<std::string, double> seconds;
};

} // namespace

BENCHMARK(ReadWhole)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BrowserFill)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BrowserFillFromWholePictures)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double whole = reporter.seconds["ReadWhole"];
    if (whole > 0)
        std::printf("\nTime relative to reading the 100 photographs whole, one after another:\n"
                    "  browser fill, one thread per core (as the program)  %5.3f x  [<= 0.333]\n"
                    "  browser fill, one thread                            %5.3f x\n"
                    "  browser fill from whole pictures, one thread        %5.3f x\n",
                    reporter.seconds["BrowserFill0"] / whole,
                    reporter.seconds["BrowserFill1"] / whole,
                    reporter.seconds["BrowserFillFromWholePictures"] / whole);
    benchmark::Shutdown();
    return 0;
}
