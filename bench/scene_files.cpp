// Scene files (OpenRaster) on a 12-megapixel scene: saving a background, three full-size
// layers, the composed picture and five untouched pictures of 4000 x 3000, and opening it
// again (layers and untouched pictures), beside writing and reading the composed scene as
// one JPEG (quality 90) in the same run. Also one photograph's PNG through libpng and
// through libdeflate: encode and decode time and size.
#include "imaging/FastPng.h"
#include "imaging/JpegCodec.h"
#include "imaging/OpenRaster.h"
#include "imaging/PictureFile.h"
#include "imaging/PngCodec.h"
#include "workspace/Document.h"
#include "workspace/SceneFile.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace quill;

constexpr int kWidth = 4000, kHeight = 3000;

// Smooth shading with hard edges and sensor-like noise, different for each seed; with
// cutOut, the pixels outside an ellipse are the program's transparent cut-out colour, as
// a foreground layer has them.
TBitmap32 photo(unsigned seed, bool cutOut) {
    TBitmap32 p = TBitmap32::uninitialized(kWidth, kHeight);
    std::vector<double> across(kWidth), down(kHeight), diagonal(kWidth + kHeight);
    for (int x = 0; x < kWidth; ++x)
        across[std::size_t(x)] = std::sin(x * 0.004 + seed);
    for (int y = 0; y < kHeight; ++y)
        down[std::size_t(y)] = std::cos(y * 0.003 + 2.0 * seed);
    for (int d = 0; d < kWidth + kHeight; ++d)
        diagonal[std::size_t(d)] = std::sin(d * 0.002 + 3.0 * seed);
    std::uint32_t noise = seed * 2654435761u + 1;
    for (int y = 0; y < kHeight; ++y) {
        std::uint32_t* row = p.row32(y);
        const double dy = (y - kHeight / 2.0) / (kHeight * 0.45);
        for (int x = 0; x < kWidth; ++x) {
            const double dx = (x - kWidth / 2.0) / (kWidth * 0.45);
            if (cutOut && dx * dx + dy * dy > 1) {
                row[x] = CutoutColor;
                continue;
            }
            noise = noise * 1664525u + 1013904223u;
            const int n = int(noise >> 29) - 4;
            const double shade = 0.5 + 0.5 * across[std::size_t(x)] * down[std::size_t(y)];
            const bool inside = ((x / 400) + (y / 300) + int(seed)) % 3 == 0;
            row[x] =
                makePixel(std::clamp(int(220 * shade) + (inside ? 30 : 0) + n, 0, 255),
                          std::clamp(int(180 * (1 - shade)) + 40 + n, 0, 255),
                          std::clamp(int(120 + 90 * diagonal[std::size_t(x + y)]) + n, 0, 255));
        }
    }
    return p;
}

struct Scene {
    OraImage image;
    std::vector<TBitmap32> untouched;
    std::vector<OraExtraPicture> extraPictures;
    std::vector<OraExtraEntry> extra;
    std::vector<std::uint8_t> jpeg; // the composed scene
    std::string path;
};

const Scene& scene() {
    static const Scene s = [] {
        Scene s;
        s.image.width = kWidth;
        s.image.height = kHeight;
        s.image.layers.push_back({"background", photo(1, false), 0, 0, 1.0, true});
        for (unsigned k = 0; k < 3; ++k)
            s.image.layers.push_back(
                {"layer " + std::to_string(k), photo(2 + k, true), 0, 0, 1.0, true});
        s.image.merged = s.image.layers[0].picture;
        for (std::size_t k = 1; k < s.image.layers.size(); ++k)
            s.image.layers[k].picture.DrawOnto(0, 0, s.image.merged);
        for (unsigned k = 0; k < 5; ++k)
            s.untouched.push_back(photo(10 + k, false));
        for (std::size_t k = 0; k < s.untouched.size(); ++k)
            s.extraPictures.push_back(
                {"quillmark/picture" + std::to_string(k) + ".png", &s.untouched[k]});
        const std::string json = "{\"version\": 1, \"layers\": 3}";
        s.extra.push_back({"quillmark/scene.json", {json.begin(), json.end()}});
        s.jpeg = encodeJpeg(s.image.merged);
        s.path = (std::filesystem::temp_directory_path() /
                  ("quill_bench_scene_" + std::to_string(getpid()) + ".ora"))
                     .string();
        return s;
    }();
    return s;
}

void JpegWrite(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(encodeJpeg(scene().image.merged).data());
    state.SetLabel(std::to_string(scene().jpeg.size() / 1024) + " KiB");
}

void JpegRead(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(
            decodeJpeg(scene().jpeg.data(), scene().jpeg.size()).picture.bits());
}

void SceneWrite(benchmark::State& state) {
    const Scene& s = scene();
    for (auto _ : state)
        if (!writeOpenRaster(s.path, s.image, s.extra, s.extraPictures))
            state.SkipWithError("the scene was not written");
    state.SetLabel(std::to_string(std::filesystem::file_size(s.path) / (1024 * 1024)) + " MiB");
}

void SceneRead(benchmark::State& state) {
    const Scene& s = scene();
    if (!std::filesystem::exists(s.path))
        writeOpenRaster(s.path, s.image, s.extra, s.extraPictures);
    OraReadOptions options;
    options.privateFolder = "quillmark";
    options.decodePrivatePictures = true;
    for (auto _ : state) {
        const OraReadResult r = readOpenRaster(s.path, options);
        if (!r.image || r.privatePictures.size() != s.untouched.size())
            state.SkipWithError(r.message.c_str());
    }
}

// One photograph's PNG (the second layer's, cut out) through libpng and zlib as the
// program's picture files are written, and through libdeflate at a few levels as the scene
// files are.
const TBitmap32& layerPicture() {
    return scene().image.layers[1].picture;
}

void LibpngEncode(benchmark::State& state) {
    std::size_t size = 0;
    for (auto _ : state)
        size = encodePng(layerPicture()).size();
    state.SetLabel(std::to_string(size / 1024) + " KiB");
}

void LibpngDecode(benchmark::State& state) {
    const std::vector<std::uint8_t> png = encodePng(layerPicture());
    for (auto _ : state)
        benchmark::DoNotOptimize(decodePng(png.data(), png.size()).picture.bits());
}

void FastEncode(benchmark::State& state) {
    std::size_t size = 0;
    for (auto _ : state)
        size = encodePngFast(layerPicture(), int(state.range(0))).size();
    state.SetLabel(std::to_string(size / 1024) + " KiB");
}

void FastDecode(benchmark::State& state) {
    const std::vector<std::uint8_t> png = encodePngFast(layerPicture(), int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(decodePngFast(png.data(), png.size()).picture.bits());
}

// ---- the document: a 12-megapixel scene with three full-size layers ---------------------

// A white-cornered background, three layers of the scene's size: one given an effect, one
// masked and see-through, one plain; the scene picture composed.
struct SceneDocument {
    MaskLibrary masks;
    ProgramRandom random{0};
    Document document{masks, random};
    std::string path, jpegPath;
    SceneDocument() {
        masks.setMask(3, photo(20, false));
        document.windowShown();
        document.setBackgroundPicture(photo(1, false));
        for (unsigned k = 0; k < 3; ++k)
            document.addForegroundLayer(photo(2 + k, true));
        document.chooseEffect(*findEffect("color-panels")); // on the third layer
        document.layerPanelPress(2, false);
        document.chooseMask(3);
        document.setTransparentChecked(true);
        const std::string base = (std::filesystem::temp_directory_path() /
                                  ("quill_bench_document_" + std::to_string(getpid())))
                                     .string();
        path = base + ".ora";
        jpegPath = base + ".jpg";
    }
};

SceneDocument& sceneDocument() {
    static SceneDocument d;
    return d;
}

// The yardstick: the composed scene written as a JPEG file (quality 90), as publishing
// writes one, and read back as a picture file.
void JpegSave(benchmark::State& state) {
    SceneDocument& d = sceneDocument();
    for (auto _ : state)
        if (!SavePicture(d.document.scene().scenePicture(), d.jpegPath, PictureFormat::Jpeg))
            state.SkipWithError("the JPEG was not written");
}

void JpegLoad(benchmark::State& state) {
    SceneDocument& d = sceneDocument();
    SavePicture(d.document.scene().scenePicture(), d.jpegPath, PictureFormat::Jpeg);
    for (auto _ : state)
        benchmark::DoNotOptimize(LoadPictureFile(d.jpegPath).picture.bits());
}

void DocumentSave(benchmark::State& state) {
    SceneDocument& d = sceneDocument();
    for (auto _ : state)
        if (!saveSceneFile(d.path, d.document))
            state.SkipWithError("the scene file was not written");
    state.SetLabel(std::to_string(std::filesystem::file_size(d.path) / (1024 * 1024)) + " MiB");
}

// Ctrl+S again after an effect on one layer: the pictures the last save encoded and the
// document still holds are not encoded again.
void DocumentSaveAgain(benchmark::State& state) {
    SceneDocument& d = sceneDocument();
    SceneFileCache cache;
    saveSceneFile(d.path, d.document, &cache);
    for (auto _ : state) {
        state.PauseTiming();
        d.document.layerPanelPress(3, false);
        d.document.chooseEffect(*findEffect(
            d.document.choices().foregroundChoice == findEffect("color-panels") ? "color-blocks-vh"
                                                                                : "color-panels"));
        state.ResumeTiming();
        if (!saveSceneFile(d.path, d.document, &cache))
            state.SkipWithError("the scene file was not written");
    }
}

void DocumentOpen(benchmark::State& state) {
    SceneDocument& d = sceneDocument();
    saveSceneFile(d.path, d.document);
    ProgramRandom random(0);
    Document opened(d.masks, random);
    for (auto _ : state)
        if (!openSceneFile(d.path, opened).empty())
            state.SkipWithError("the scene file was not opened");
}

// Undoing an effect on a 12-megapixel layer, beside one composition of the scene.
void UndoEffect(benchmark::State& state) {
    Document& doc = sceneDocument().document;
    for (auto _ : state) {
        state.PauseTiming();
        doc.chooseEffect(*findEffect(doc.choices().foregroundChoice == findEffect("color-panels")
                                         ? "color-blocks-vh"
                                         : "color-panels"));
        state.ResumeTiming();
        doc.undo();
    }
}

void ComposeOnce(benchmark::State& state) {
    quill::Scene copy = sceneDocument().document.scene();
    for (auto _ : state)
        copy.ComposeScene();
}

// The fastest repetition of each run, wall clock and the CPU time of every thread.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    struct Times {
        double real, cpu;
    };
    std::map<std::string, Times> times;

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.iterations <= 0)
                continue;
            const Times t{run.real_accumulated_time / double(run.iterations),
                          run.cpu_accumulated_time / double(run.iterations)};
            auto [it, added] = times.emplace(run.run_name.function_name, t);
            if (!added)
                it->second = {std::min(it->second.real, t.real), std::min(it->second.cpu, t.cpu)};
        }
    }
};

} // namespace

#define TIMED Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime()
BENCHMARK(JpegWrite)->TIMED;
BENCHMARK(SceneWrite)->TIMED;
BENCHMARK(JpegRead)->TIMED;
BENCHMARK(SceneRead)->TIMED;
BENCHMARK(LibpngEncode)->TIMED;
BENCHMARK(LibpngDecode)->TIMED;
BENCHMARK(FastEncode)->Arg(1)->Arg(2)->Arg(4)->TIMED;
BENCHMARK(FastDecode)->Arg(1)->Arg(2)->Arg(4)->TIMED;
BENCHMARK(JpegSave)->TIMED;
BENCHMARK(DocumentSave)->TIMED;
BENCHMARK(DocumentSaveAgain)->TIMED;
BENCHMARK(JpegLoad)->TIMED;
BENCHMARK(DocumentOpen)->TIMED;
BENCHMARK(ComposeOnce)->TIMED;
BENCHMARK(UndoEffect)->TIMED;

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    scene(); // made before the clock runs
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nRatios in this run (targets: files <= 10, undo <= 2):\n");
    for (const auto& [work, yardstick] :
         {std::pair{"SceneWrite", "JpegWrite"}, std::pair{"SceneRead", "JpegRead"},
          std::pair{"DocumentSave", "JpegSave"}, std::pair{"DocumentSaveAgain", "JpegSave"},
          std::pair{"DocumentOpen", "JpegLoad"}, std::pair{"UndoEffect", "ComposeOnce"}}) {
        const auto a = reporter.times.find(work), b = reporter.times.find(yardstick);
        if (a != reporter.times.end() && b != reporter.times.end())
            std::printf("  %-17s / %-11s %5.2f x wall clock, %5.2f x CPU time\n", work, yardstick,
                        a->second.real / b->second.real, a->second.cpu / b->second.cpu);
    }
    // Fifty effect steps on one 12-megapixel layer under the default budget.
    Document& doc = sceneDocument().document;
    doc.history().clear();
    for (int n = 0; n < 50; ++n)
        doc.chooseEffect(*findEffect(n % 2 ? "color-panels" : "color-blocks-vh"));
    std::printf("  after 50 effect steps: %d steps kept, %.0f MiB held of a %.0f MiB budget\n",
                doc.history().undoCount(),
                double(doc.history().memoryBytes(doc.snapshot())) / (1 << 20),
                double(doc.history().budget()) / (1 << 20));
    std::filesystem::remove(scene().path);
    std::filesystem::remove(sceneDocument().path);
    std::filesystem::remove(sceneDocument().jpegPath);
    benchmark::Shutdown();
    return 0;
}
