// Every effect of the catalogue by every route that reaches it: its button (and dialog) in
// the window, the command line's effect command, and a scene description the command line
// composes. The same parameters must give the same picture by each route.

#include "WindowTestSupport.h"
#include "app/effects/PhotoEffectsController.h"
#include "workspace/EffectCatalogue.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QToolButton>

#include <fstream>

using namespace quill;
using namespace quill::app;

namespace {

// The parameters each effect is tried with: every control of its dialog moved.
EffectSettings triedSettings(const EffectDescription& e) {
    EffectSettings s;
    const std::map<std::string, std::int64_t> values = {{"lighting", 200}, {"pressure", 77},
                                                        {"threshold", 90}, {"direction", 3},
                                                        {"strokes", 2},    {"tile-number", 5}};
    for (const EffectParameter& p : e.parameters) {
        if (p.kind == EffectParameter::Kind::Flag)
            s.flags.insert(p.name);
        else if (p.kind == EffectParameter::Kind::Kernel)
            s.kernel = Kernel3x3{1, 2, 3, 0, 1, 0, -1, -2, -1};
        else if (values.count(p.name))
            s.integers[p.name] = values.at(p.name);
    }
    return s;
}

// The command line's options for the settings.
QStringList options(const EffectSettings& s) {
    QStringList out;
    for (const auto& [name, value] : s.integers)
        out << QString::fromStdString("--" + name) << QString::number(value);
    for (const std::string& name : s.flags)
        out << QString::fromStdString("--" + name);
    if (s.kernel) {
        QStringList k;
        for (std::int64_t v : *s.kernel)
            k << QString::number(v);
        out << QStringLiteral("--kernel") << k.join(QLatin1Char(','));
    }
    return out;
}

// The effect as a scene description writes it.
std::string described(const EffectDescription& e, const EffectSettings& s) {
    std::string text = "{\"name\": \"" + e.name + "\"";
    for (const auto& [name, value] : s.integers)
        text += ", \"" + e.parameter(name)->descriptionKey() + "\": " + std::to_string(value);
    for (const std::string& name : s.flags)
        text += ", \"" + name + "\": true";
    if (s.kernel) {
        text += ", \"kernel\": [";
        for (std::size_t i = 0; i < 9; ++i)
            text += (i ? ", " : "") + std::to_string((*s.kernel)[i]);
        text += "]";
    }
    return text + "}";
}

// Sets the dialog's controls as the settings say, each through the control the catalogue
// names: ticks first, then sliders and choices, then pen strokes (a new tick or direction
// would discard strokes already drawn).
void setControls(QWidget* dialog, const EffectDescription& e, const EffectSettings& s) {
    for (const std::string& name : s.flags)
        dialog->findChild<QCheckBox*>(QString::fromStdString(e.parameter(name)->control))
            ->setChecked(true);
    for (const auto& [name, value] : s.integers) {
        const QString control = QString::fromStdString(e.parameter(name)->control);
        if (auto* slider = dialog->findChild<QSlider*>(control))
            slider->setValue(int(value));
        else if (control.startsWith(QStringLiteral("RadioButton")))
            dialog->findChild<QRadioButton*>(QStringLiteral("RadioButton%1").arg(value))
                ->setChecked(true);
    }
    for (const auto& [name, value] : s.integers)
        if (auto* pen =
                dialog->findChild<QToolButton*>(QString::fromStdString(e.parameter(name)->control)))
            for (int k = 0; k < value; ++k)
                pen->click();
    if (s.kernel)
        for (int i = 0; i < 9; ++i)
            dialog->findChild<QLineEdit*>(QStringLiteral("Edit%1").arg(i + 1))
                ->setText(QString::number((*s.kernel)[std::size_t(i)]));
}

struct Routes : WindowFixture {
    // Runs the command line in the program folder; its output picture, or a failure.
    TBitmap32 cli(const QStringList& args) {
        QProcess p;
        p.setWorkingDirectory(folder.path());
        p.start(QStringLiteral(QUILL_CLI_PATH), args);
        EXPECT_TRUE(p.waitForFinished(60000));
        EXPECT_EQ(p.exitCode(), 0)
            << args.join(' ').toStdString() << ": " << p.readAllStandardError().toStdString();
        return LoadPictureFile(folder.filePath(QStringLiteral("out.png")).toStdString()).picture;
    }
    TBitmap32 compose(const std::string& scene) {
        std::ofstream(folder.filePath(QStringLiteral("scene.json")).toStdString()) << scene;
        return cli(
            {QStringLiteral("compose"), QStringLiteral("scene.json"), QStringLiteral("out.png")});
    }
};

TEST(CatalogueRoutes, EveryEffectGivesTheSameBytesByEveryRoute) {
    Routes f;
    auto* panel = f.window->photoEffects();
    TBitmap32 photo(45, 37);
    for (int y = 0; y < 37; ++y)
        for (int x = 0; x < 45; ++x)
            photo.setPixel(
                x, y, makePixel((x * 37 + y * 11) % 256, (x * y) % 256, (x + 3 * y) * 5 % 256));
    f.writePicture(QStringLiteral("photo.bmp"), photo);
    f.writePicture(QStringLiteral("bg.bmp"), solid(60, 50, 200, 180, 160));
    f.window->openBackgroundFile(f.folder.filePath(QStringLiteral("bg.bmp")));
    f.window->openForegroundFile(f.folder.filePath(QStringLiteral("photo.bmp")));
    f.idle();
    ASSERT_EQ(f.scene().LayerCount(), 1);

    int routes = 0;
    for (const EffectDescription& e : effectCatalogue()) {
        SCOPED_TRACE(e.name);
        const EffectSettings s = triedSettings(e);
        ASSERT_EQ(validateEffectSettings(e, s), "");
        const bool onLayer = e.target == EffectTarget::Foreground;
        // The command line: the effect's own picture, as a layer shows it once its alpha is
        // derived (no mask, no transparency).
        QStringList args{onLayer ? QStringLiteral("effect") : QStringLiteral("background-effect"),
                         QString::fromStdString(e.name)};
        args << options(s) << (onLayer ? QStringLiteral("photo.bmp") : QStringLiteral("bg.bmp"))
             << QStringLiteral("out.png");
        TBitmap32 byCli = f.cli(args);
        if (onLayer)
            ClearMask(byCli);
        // A scene description composed by the command line.
        const std::string effect = described(e, s);
        const TBitmap32 byScene = f.compose(
            onLayer ? R"({"background": "bg.bmp", "layers": [{"file": "photo.bmp", "effect": )" +
                          effect + "}]}"
                    : R"({"background": "bg.bmp", "background_effect": )" + effect + "}");

        QRadioButton* button = panel->effectButton(e.name);
        ASSERT_EQ(button != nullptr, e.hasButton());
        if (!button) {
            EXPECT_EQ(byScene.width(), 60);
            ++routes;
            continue;
        }
        // The window: the button, then the dialog's controls and its OK.
        programRandom().setSeed(0); // as a program just started, like the command line
        button->click();
        f.idle();
        if (e.runner == EffectRunner::PreviewDialog) {
            app::effects::PreviewDialog* d = panel->previewDialog(e.name);
            setControls(d, e, s);
            d->okButton()->click();
        } else if (e.runner == EffectRunner::KernelDialog) {
            app::effects::TFormOfFringe* d = panel->kernelDialog(e.name);
            setControls(d, e, s);
            d->Button1->click();
            f.idle();
            d->Button2->click();
        } else if (e.runner == EffectRunner::TextureWindow) {
            panel->textureWindow()->tile(int(s.integers.at("tile-number")))->onClick();
        }
        f.idle();
        const TBitmap32& byWindow = onLayer ? *f.scene().layer(1).ForeWork : *f.scene().BackWork;
        EXPECT_TRUE(byWindow == byCli) << "the window and the effect command differ";
        EXPECT_TRUE((onLayer ? f.scene().scenePicture() : byWindow) == byScene)
            << "the window and the composed scene differ";
        const std::optional<AppliedEffect>& kept =
            onLayer ? f.doc().layerEffect(1) : f.doc().backgroundEffect();
        ASSERT_TRUE(kept);
        EXPECT_EQ(kept->effect, &e);
        EXPECT_TRUE(kept->settings == s) << "the window keeps the settings it used";
        if (!onLayer)
            f.doc().restoreBackground();
        ++routes;
    }
    EXPECT_EQ(routes, int(effectCatalogue().size()));
}

} // namespace
