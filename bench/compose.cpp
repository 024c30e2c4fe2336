// Composition speed: a 12-megapixel scene with three full-size layers (one masked and
// transparent) against a plain copy of the background, and one drag step (the region
// of a layer moved by 5 pixels) against copying that region. Compare the ratios of
// the time columns of one run: ComposeScene / CopyBackground (at most 6) and
// DragStep / CopyDragRegion. The CPU column counts every thread of the process.
#include "app/ScenePaint.h"
#include "scene/Scene.h"
#include "workspace/Workspace.h"

#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>

#include <cstring>
#include <random>

namespace {

using quill::Rect;
using quill::Scene;
using quill::TBitmap32;

constexpr int kWidth = 4000, kHeight = 3000;

TBitmap32 noisePicture(int w, int h, unsigned seed) {
    TBitmap32 p = TBitmap32::uninitialized(w, h);
    std::mt19937 rng(seed);
    for (int y = 0; y < h; ++y) {
        std::uint32_t* row = p.row32(y);
        for (int x = 0; x < w; ++x)
            row[x] = rng() | 0xff000000u;
    }
    return p;
}

struct BenchScene {
    BenchScene() {
        // A radial mask: opaque centre, soft edge, like the program's masks.
        mask = TBitmap32(400, 300);
        for (int y = 0; y < 300; ++y)
            for (int x = 0; x < 400; ++x) {
                const int dx = x - 200, dy = y - 150;
                const int red = std::min(255, (dx * dx + dy * dy) / 90);
                mask.setPixel(x, y, quill::makePixel(red, red, red, 255));
            }
        scene.setMaskSource([this](int k) { return k == 5 ? &mask : nullptr; });
        scene.SetBackgroundPicture(noisePicture(kWidth, kHeight, 1));
        for (unsigned i = 0; i < 3; ++i)
            scene.AddForegroundLayer(noisePicture(kWidth, kHeight, 2 + i));
        scene.layer(2).LayerMask = 5;
        scene.layer(2).LayerTransparent = true;
        scene.layer(2).LayerTransparence = 100;
        scene.CurrentLayer = 2;
        scene.RefreshLayer();
        scene.layer(1).handle.left = 37;
        scene.layer(3).handle.top = -21;
        scene.ComposeScene();
    }
    TBitmap32 mask;
    Scene scene;
};

BenchScene& shared() {
    static BenchScene s;
    return s;
}

void BM_CopyBackground(benchmark::State& state) {
    BenchScene& s = shared();
    TBitmap32 copy;
    for (auto _ : state) {
        copy = *s.scene.BackWork;
        benchmark::DoNotOptimize(copy.bits());
    }
}
BENCHMARK(BM_CopyBackground)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

void BM_ComposeScene(benchmark::State& state) {
    BenchScene& s = shared();
    for (auto _ : state) {
        s.scene.ComposeScene();
        benchmark::DoNotOptimize(s.scene.scenePicture().bits());
    }
}
BENCHMARK(BM_ComposeScene)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

// The same scene with no layer covering a whole row, so nothing is hidden and every
// layer is blended everywhere.
void BM_ComposeSceneNothingHidden(benchmark::State& state) {
    BenchScene& s = shared();
    s.scene.layer(3).handle.left = 1;
    for (auto _ : state) {
        s.scene.ComposeScene();
        benchmark::DoNotOptimize(s.scene.scenePicture().bits());
    }
    s.scene.layer(3).handle.left = 0;
}
BENCHMARK(BM_ComposeSceneNothingHidden)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

void BM_RefreshMaskedTransparentLayer(benchmark::State& state) {
    BenchScene& s = shared();
    for (auto _ : state)
        s.scene.deriveLayerAlpha(2);
}
BENCHMARK(BM_RefreshMaskedTransparentLayer)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

// A 1200 x 900 layer moved by 5 pixels: the region is the union of both places.
struct DragScene {
    DragScene() {
        BenchScene& b = shared();
        scene.SetBackgroundPicture(*b.scene.BackWork);
        scene.AddForegroundLayer(noisePicture(1200, 900, 9));
        scene.layer(1).handle.left = 1000;
        scene.layer(1).handle.top = 800;
        scene.ComposeScene();
    }
    Scene scene;
};

void BM_DragStep(benchmark::State& state) {
    static DragScene d;
    int step = 5;
    for (auto _ : state) {
        const Rect before = d.scene.layerSceneRect(1);
        d.scene.layer(1).handle.left += step;
        step = -step;
        benchmark::DoNotOptimize(d.scene.composeRegion(before.united(d.scene.layerSceneRect(1))));
    }
}
BENCHMARK(BM_DragStep)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime();

void BM_CopyDragRegion(benchmark::State& state) {
    static DragScene d;
    const Rect r{1000, 800, 1205, 900};
    TBitmap32 dest(kWidth, kHeight);
    for (auto _ : state) {
        for (int y = r.top; y < r.bottom(); ++y)
            std::memcpy(dest.row32(y) + r.left, d.scene.BackWork->row32(y) + r.left,
                        std::size_t(r.width) * 4);
        benchmark::DoNotOptimize(dest.bits());
    }
}
BENCHMARK(BM_CopyDragRegion)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime();

// The window's drag step: in an 843 x 668 main window at 100 %, the top one of three
// full-size layers over the 12-megapixel background is dragged 5 pixels back and forth,
// and the canvas paints what it shows (into an image of the backing store's form), which
// composes the moved area straight into that image. The yardstick is copying the
// visible area of the background: WindowDragStep / CopyVisibleArea (at most 2).
struct WindowScene {
    WindowScene() {
        BenchScene& b = shared();
        model.windowShown();
        model.mainWindowResized({2, 1, 843, 668});
        model.document().setBackgroundPicture(*b.scene.BackWork);
        for (unsigned k = 0; k < 3; ++k)
            model.document().addForegroundLayer(noisePicture(kWidth, kHeight, 20 + k));
        model.canvas().move(100, 100, {});
        model.canvas().press(100, 100, {true, false});
        visible = model.canvas().visibleSceneRect();
    }
    quill::Workspace model;
    Rect visible;
};

WindowScene& windowScene() {
    static WindowScene w;
    return w;
}

// The canvas's paint of the visible area, into an image of the backing store's form.
struct CanvasPaint {
    explicit CanvasPaint(WindowScene& w)
        : model(w.model),
          visible(w.visible.left + model.scene().imgbg.left,
                  w.visible.top + model.scene().imgbg.top, w.visible.width, w.visible.height),
          backingStore(visible.size(), QImage::Format_RGB32) {}
    void operator()() {
        QPainter painter(&backingStore);
        painter.translate(-visible.topLeft());
        quill::app::paintCanvasScene(painter, model, visible);
    }
    quill::Workspace& model;
    QRect visible;
    QImage backingStore;
};

void BM_WindowDragStep(benchmark::State& state) {
    WindowScene& w = windowScene();
    CanvasPaint paint(w);
    int x = 105;
    for (auto _ : state) {
        benchmark::DoNotOptimize(w.model.canvas().move(x, 100, {true, false}));
        paint();
        x = x == 105 ? 100 : 105;
    }
    state.counters["visible_pixels"] = double(w.visible.width) * w.visible.height;
}
BENCHMARK(BM_WindowDragStep)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime();

// The paint of the composed scene alone (nothing pending): a copy of the visible area.
void BM_PaintVisibleArea(benchmark::State& state) {
    WindowScene& w = windowScene();
    w.model.canvas().finishPendingComposition();
    CanvasPaint paint(w);
    for (auto _ : state)
        paint();
}
BENCHMARK(BM_PaintVisibleArea)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime();

void BM_CopyVisibleArea(benchmark::State& state) {
    WindowScene& w = windowScene();
    const Rect r = w.visible;
    const TBitmap32& background = *w.model.scene().BackWork;
    TBitmap32 dest(kWidth, kHeight);
    for (auto _ : state) {
        for (int y = r.top; y < r.bottom(); ++y)
            std::memcpy(dest.row32(y) + r.left, background.row32(y) + r.left,
                        std::size_t(r.width) * 4);
        benchmark::DoNotOptimize(dest.bits());
    }
}
BENCHMARK(BM_CopyVisibleArea)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime();

} // namespace

BENCHMARK_MAIN();
