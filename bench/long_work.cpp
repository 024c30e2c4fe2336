// The long pieces of work of the window at 12, 24 and 100 megapixels, each split as the
// window splits it: what runs on the worker thread (decoding, computing an effect, writing
// and reading a scene file) and what runs on the window's thread afterwards (putting the
// result into the document). A plain copy of the picture is the yardstick of the same run.
//
// The photograph is photo12.jpg, photo24.jpg and photo100.jpg from the folder named by
// QUILL_BENCH_PHOTOS when it is set (a real photograph enlarged, for instance), else a
// photograph-like picture written as a JPEG.

#include "Photos.h"
#include "PlainCopy.h"
#include "effects/EdgeSketch.h"
#include "effects/PencilSketch.h"
#include "imaging/PictureFile.h"
#include "workspace/EffectWork.h"
#include "workspace/SceneFile.h"
#include "workspace/Workspace.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

using namespace quill;

struct Size {
    int megapixels, width, height;
};
constexpr Size kSizes[] = {{12, 4000, 3000}, {24, 5657, 4243}, {100, 11547, 8660}};

std::string folder() {
    static const std::string made = [] {
        const auto path = std::filesystem::temp_directory_path() /
                          ("quill_bench_long_" + std::to_string(getpid()));
        std::filesystem::create_directories(path);
        return path.string();
    }();
    return made;
}

std::string photoFile(const Size& size) {
    const std::string name = "photo" + std::to_string(size.megapixels) + ".jpg";
    if (const char* given = std::getenv("QUILL_BENCH_PHOTOS"))
        return std::string(given) + "/" + name;
    const std::string path = folder() + "/" + name;
    if (!std::filesystem::exists(path))
        SavePicture(bench::photoLike(size.width, size.height), path, PictureFormat::Jpeg);
    return path;
}

// A shown window's document with the photograph as its background and as one layer.
struct World {
    TBitmap32 photo;
    std::unique_ptr<Workspace> workspace = std::make_unique<Workspace>();
    std::string sceneFile;
};

World& world(const Size& size) {
    static std::map<int, World> worlds;
    World& w = worlds[size.megapixels];
    if (w.photo.empty()) {
        w.photo = LoadPictureFile(photoFile(size)).picture;
        w.workspace->windowShown();
        Document& document = w.workspace->document();
        document.openBackground(w.photo, "photo");
        document.openForeground(w.photo, "photo");
        w.sceneFile = folder() + "/scene" + std::to_string(size.megapixels) + ".ora";
    }
    return w;
}

void Copy(benchmark::State& state, const Size& size) {
    const TBitmap32& photo = world(size).photo;
    for (auto _ : state)
        bench::plainCopy(photo);
}

// ---- opening a picture -------------------------------------------------------------

void DecodeOnWorker(benchmark::State& state, const Size& size) {
    const std::string path = photoFile(size);
    for (auto _ : state)
        benchmark::DoNotOptimize(LoadPictureFile(path).picture.bits());
}

void OpenBackgroundOnWindow(benchmark::State& state, const Size& size) {
    const TBitmap32& photo = world(size).photo;
    for (auto _ : state) {
        state.PauseTiming();
        auto fresh = std::make_unique<Workspace>();
        fresh->windowShown();
        TBitmap32 decoded = photo; // what the worker hands over
        state.ResumeTiming();
        fresh->document().openBackground(std::move(decoded), "photo");
        state.PauseTiming();
        fresh.reset();
        state.ResumeTiming();
    }
}

void OpenLayerOnWindow(benchmark::State& state, const Size& size) {
    World& w = world(size);
    for (auto _ : state) {
        state.PauseTiming();
        TBitmap32 decoded = w.photo; // what the worker hands over
        state.ResumeTiming();
        w.workspace->document().openForeground(std::move(decoded), "photo");
        state.PauseTiming();
        w.workspace->document().undo(); // back to one layer
        state.ResumeTiming();
    }
}

// ---- effects -----------------------------------------------------------------------

// The settings a click on the effect's button (or a texture tile) gives.
EffectSettings buttonSettings(const EffectDescription& e) {
    EffectSettings settings;
    if (e.parameter("tile-number"))
        settings.integers["tile-number"] = 1;
    return settings;
}

void ComputeOnWorker(benchmark::State& state, const Size& size, const EffectDescription& e) {
    Document& document = world(size).workspace->document();
    for (auto _ : state) {
        std::optional<EffectWork> work = effectWork(document, e, buttonSettings(e));
        benchmark::DoNotOptimize(computeEffectWork(*work).bits());
    }
}

void ApplyOnWindow(benchmark::State& state, const Size& size, const EffectDescription& e) {
    Document& document = world(size).workspace->document();
    std::optional<EffectWork> work = effectWork(document, e, buttonSettings(e));
    const TBitmap32 result = computeEffectWork(*work);
    for (auto _ : state) {
        state.PauseTiming();
        SharedPicture handed{TBitmap32(result)}; // as the worker hands it over: not shared
        state.ResumeTiming();
        applyEffectWork(document, *work, std::move(handed));
    }
}

void PencilDialogBasesOnWorker(benchmark::State& state, const Size& size) {
    const TBitmap32& photo = world(size).photo;
    for (auto _ : state) {
        TBitmap32 edge = photo;
        picsobel(edge);
        benchmark::DoNotOptimize(pencilGreyBase(edge).bits());
    }
}

// ---- scene files and the album-list ------------------------------------------------

void SceneTakeOnWindow(benchmark::State& state, const Size& size) {
    Workspace& workspace = *world(size).workspace;
    for (auto _ : state) {
        workspace.composedScene();
        benchmark::DoNotOptimize(sceneToSave(workspace.document()).composed.identity());
    }
}

void SceneWriteOnWorker(benchmark::State& state, const Size& size) {
    World& w = world(size);
    const SceneToSave scene = sceneToSave(w.workspace->document());
    for (auto _ : state) {
        SceneFileCache cache; // a first save: every picture encoded
        if (!saveSceneFile(w.sceneFile, scene, &cache).ok)
            state.SkipWithError("the scene file was not written");
    }
}

// The world with its document saved as a scene file.
World& savedWorld(const Size& size) {
    World& w = world(size);
    if (!std::filesystem::exists(w.sceneFile))
        saveSceneFile(w.sceneFile, w.workspace->document());
    return w;
}

void SceneReadOnWorker(benchmark::State& state, const Size& size) {
    World& w = savedWorld(size);
    for (auto _ : state) {
        SceneFileCache cache;
        if (!readSceneFile(w.sceneFile, w.workspace->masks(), &cache).state)
            state.SkipWithError("the scene file was not read");
    }
}

void SceneLoadOnWindow(benchmark::State& state, const Size& size) {
    World& w = savedWorld(size);
    for (auto _ : state) {
        state.PauseTiming();
        Workspace fresh;
        fresh.windowShown();
        OpenedScene opened = readSceneFile(w.sceneFile, fresh.masks());
        state.ResumeTiming();
        fresh.document().load(std::move(*opened.state));
    }
}

void AlbumAddOnWindow(benchmark::State& state, const Size& size) {
    Workspace& workspace = *world(size).workspace;
    for (auto _ : state) {
        workspace.composedScene();
        workspace.document().addSceneToAlbum();
    }
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    for (const Size& size : kSizes) {
        const std::string mp = std::to_string(size.megapixels) + "MP";
        auto add = [&](const std::string& name, auto body) {
            benchmark::RegisterBenchmark((name + "/" + mp).c_str(),
                                         [body, size](benchmark::State& s) { body(s, size); })
                ->Iterations(1)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
        };
        add("Copy", Copy);
        add("OpenPicture/decode(worker)", DecodeOnWorker);
        add("OpenPicture/background(window)", OpenBackgroundOnWindow);
        add("OpenPicture/layer(window)", OpenLayerOnWindow);
        add("PencilSketchDialog/bases(worker)", PencilDialogBasesOnWorker);
        for (const EffectDescription& e : effectCatalogue()) {
            if (!e.hasButton())
                continue;
            const std::string kind =
                e.target == EffectTarget::Background ? "BackgroundEffect/" : "Effect/";
            add(kind + e.name + "(worker)",
                [&e](benchmark::State& s, const Size& z) { ComputeOnWorker(s, z, e); });
            add(kind + e.name + "/apply(window)",
                [&e](benchmark::State& s, const Size& z) { ApplyOnWindow(s, z, e); });
        }
        add("SceneFile/save/take(window)", SceneTakeOnWindow);
        add("SceneFile/save/write(worker)", SceneWriteOnWorker);
        add("SceneFile/open/read(worker)", SceneReadOnWorker);
        add("SceneFile/open/load(window)", SceneLoadOnWindow);
        add("AlbumList/add(window)", AlbumAddOnWindow);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(folder());
    return 0;
}
