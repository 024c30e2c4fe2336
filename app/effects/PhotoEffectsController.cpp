#include "app/effects/PhotoEffectsController.h"

#include "app/BitmapView.h"
#include "app/Icons.h"
#include "decor/Frame.h"
#include "imaging/Folders.h"
#include "imaging/PictureFile.h"

#include <QButtonGroup>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QRadioButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>

namespace quill::app::effects {

QRect maskSlotRect(int k) {
    const int column = k <= 18 ? k - 1 : k - 19;
    return QRect(5 + 40 * column, k <= 18 ? 4 : 42, 33, 33);
}

PhotoEffectsController::PhotoEffectsController(Workspace& workspace, LongWork& work,
                                               QTabWidget* notebook, PhotoEffectsHooks hooks)
    : m_workspace(workspace), m_document(workspace.document()), m_work(work), m_notebook(notebook),
      m_hooks(std::move(hooks)), m_texture(std::make_unique<TTexture>()) {
    makeDialogs();
    {
        // Building the pages changes the page; that change is not the user's.
        const QSignalBlocker block(m_notebook);
        // The panel has the height the window's layout gives it; a page taller than
        // that scrolls instead of holding the panel high.
        // Its buttons take the smaller type of a tool palette, so that the twelve effects
        // show whole in the panel's height at the window's first size.
        const auto scrolled = [](QWidget* page) {
            QFont compact = page->font();
            compact.setPointSizeF(compact.pointSizeF() * 0.85);
            page->setFont(compact);
            auto* area = new QScrollArea;
            area->setFrameShape(QFrame::NoFrame);
            area->setWidgetResizable(true);
            area->setWidget(page);
            return area;
        };
        m_notebook->addTab(scrolled(buildEffectPage()), QStringLiteral("Foreground effect"));
        m_notebook->addTab(scrolled(buildMaskPage()), QStringLiteral("Foreground mask"));
        m_notebook->addTab(scrolled(buildBackgroundPage()), QStringLiteral("Background effect"));
        m_notebook->addTab(scrolled(buildFramePage()), QStringLiteral("Frames"));
        m_notebook->setCurrentIndex(0);
    }
}

PhotoEffectsController::~PhotoEffectsController() {
    for (auto& [name, dialog] : m_previews)
        dialog->onClosed = nullptr; // the window is going: nothing to enable any more
}

void PhotoEffectsController::makeDialogs() {
    m_previews["pencil-sketch"] = std::make_unique<TBack_and_White_Sketch>();
    m_previews["pen-sketch"] = std::make_unique<ThresholdDialog>(ThresholdDialog::penSketch());
    m_previews["pen-and-ink"] = std::make_unique<ThresholdDialog>(ThresholdDialog::penAndInk());
    m_previews["kryptol"] = std::make_unique<TKryptol>();
    for (const EffectDescription& e : effectCatalogue())
        if (e.runner == EffectRunner::KernelDialog)
            m_kernels[e.name] = std::make_unique<TFormOfFringe>(e);

    for (auto& [name, d] : m_previews) {
        PreviewDialog* dialog = d.get();
        dialog->setLongWork(m_work);
        dialog->onHandBack = [this, dialog](const EffectSettings& settings, SharedPicture result) {
            m_work.showBeforeBlocking(result->pixelCount());
            if (m_hooks.setWindowEnabled)
                m_hooks.setWindowEnabled(true);
            apply(m_document.applyEffect(dialog->effect(), settings, std::move(result)));
        };
        dialog->onClosed = [this, dialog] {
            if (m_hooks.setWindowEnabled)
                m_hooks.setWindowEnabled(true);
            m_document.dialogClosed(dialog->effect());
            apply(CommandReply{});
        };
        dialog->onFailed = [this] {
            if (m_hooks.setWindowEnabled)
                m_hooks.setWindowEnabled(true);
            if (m_hooks.message)
                m_hooks.message(QString::fromLatin1(kPictureTooLarge));
        };
    }
    for (auto& [name, k] : m_kernels) {
        TFormOfFringe* dialog = k.get();
        dialog->original = [this] { return m_document.currentOriginal(); };
        dialog->onConverted = [this, dialog](const EffectSettings& settings) {
            runEffect(dialog->effect(), settings);
        };
        dialog->onMessage = [this](const QString& text) {
            if (m_hooks.message)
                m_hooks.message(text);
        };
        dialog->onOk = [this, dialog] {
            m_document.dialogClosed(dialog->effect());
            apply(CommandReply{});
        };
    }
    m_texture->onTile = [this](int k) {
        EffectSettings settings;
        settings.integers["tile-number"] = k;
        runEffect(*findEffect("texture"), settings);
    };
}

void PhotoEffectsController::loadLibraries(const std::string& programFolder) {
    const LibraryFolders folders = libraryFoldersBeside(programFolder);
    buildFrameStrip(folders.FrameFolder);
    m_workspace.masks().maskload(folders.MaskFolder);
    for (int k = 1; k <= kMaskCount; ++k) {
        const TBitmap32* mask = m_workspace.masks().mask(k);
        m_maskSlots[k - 1]->setPixmap(mask ? QPixmap::fromImage(previewImage(*mask, QSize(33, 33)))
                                           : QPixmap());
    }
}

void PhotoEffectsController::setFrameStripWidth(int width) {
    m_frameStrip->setFixedWidth(std::max(kThumbStep, width));
}

void PhotoEffectsController::chooseFrameNumber(int i) {
    if (i < 1 || i > int(m_frameNames.size()))
        return;
    const std::string file = m_frameFolder + "/" + m_frameNames[std::size_t(i - 1)];
    runHere(QStringLiteral("Frame"),
            [this, file] { return m_document.chooseFrame(LoadPictureFile(file).picture); });
}

QRadioButton* PhotoEffectsController::effectButton(const std::string& name) const {
    const auto it = m_effectButtons.find(name);
    return it == m_effectButtons.end() ? nullptr : it->second;
}

PreviewDialog* PhotoEffectsController::previewDialog(const std::string& name) const {
    const auto it = m_previews.find(name);
    return it == m_previews.end() ? nullptr : it->second.get();
}

TFormOfFringe* PhotoEffectsController::kernelDialog(const std::string& name) const {
    const auto it = m_kernels.find(name);
    return it == m_kernels.end() ? nullptr : it->second.get();
}

void PhotoEffectsController::closeWindows() {
    for (auto& [name, d] : m_previews)
        if (d->isVisible())
            d->close();
    for (auto& [name, k] : m_kernels)
        k->hide();
    m_texture->hide();
}

void PhotoEffectsController::sync() {
    const DocumentState& choices = m_document.choices();
    for (auto& [name, button] : m_effectButtons) {
        const bool selected =
            (choices.foregroundChoice && choices.foregroundChoice->name == name) ||
            (choices.backgroundChoice && choices.backgroundChoice->name == name);
        if (button->isChecked() == selected)
            continue;
        // Shown as the document says (after an undo), not a click: no command runs.
        const QSignalBlocker block(button);
        QButtonGroup* group = button->group();
        if (group)
            group->setExclusive(false);
        button->setChecked(selected);
        if (group)
            group->setExclusive(true);
    }
    m_removeMask->setEnabled(m_document.enabled().removeMask);
}

void PhotoEffectsController::apply(const CommandReply& r) {
    if (!r.message.empty() && m_hooks.message)
        m_hooks.message(QString::fromStdString(r.message));
    if (m_hooks.documentChanged)
        m_hooks.documentChanged();
    if (!r.openDialog)
        return;
    switch (r.openDialog->runner) {
    case EffectRunner::PreviewDialog:
        openPreview(*r.openDialog);
        break;
    case EffectRunner::KernelDialog:
        showKernel(*r.openDialog);
        break;
    case EffectRunner::TextureWindow:
        m_texture->show();
        m_texture->raise();
        break;
    default:
        break;
    }
}

void PhotoEffectsController::openPreview(const EffectDescription& effect) {
    PreviewDialog* dialog = previewDialog(effect.name);
    const Scene& scene = m_document.scene();
    if (!dialog || !m_document.currentOriginal())
        return;
    if (m_hooks.setWindowEnabled)
        m_hooks.setWindowEnabled(false);
    dialog->open(scene.layer(scene.CurrentLayer).ForeOriginal);
}

void PhotoEffectsController::runChosenEffect(const EffectDescription& effect) {
    // What the click does is decided when its turn comes, on the document as it is then.
    m_work.run(QString::fromStdString(effect.caption), [this, &effect]() -> LongWork::Work {
        EffectChoice choice = chooseEffectAway(m_document, effect);
        if (choice.work)
            return computeThenApply(std::move(*choice.work));
        apply(choice.reply);
        return {};
    });
}

void PhotoEffectsController::runEffect(const EffectDescription& effect,
                                       const EffectSettings& settings) {
    m_work.run(QString::fromStdString(effect.caption),
               [this, &effect, settings]() -> LongWork::Work {
                   if (std::optional<EffectWork> work = effectWork(m_document, effect, settings))
                       return computeThenApply(std::move(*work));
                   apply(m_document.applyEffect(effect, settings)); // says why not
                   return {};
               });
}

void PhotoEffectsController::runHere(const QString& what, std::function<CommandReply()> command) {
    m_work.run(what, [this, command = std::move(command)]() -> LongWork::Work {
        // Whatever it changes, the document composes the scene again.
        const TBitmap32* layer = m_document.currentOriginal();
        m_work.showBeforeBlocking(std::max(m_document.scene().scenePicture().pixelCount(),
                                           layer ? layer->pixelCount() : 0));
        apply(command());
        return {};
    });
}

LongWork::Work PhotoEffectsController::computeThenApply(EffectWork work) {
    auto shared = std::make_shared<EffectWork>(std::move(work));
    return [this, shared]() -> LongWork::Finish {
        auto result = std::make_shared<SharedPicture>(computeEffectWork(*shared));
        return [this, shared, result] {
            m_work.showBeforeBlocking((*result)->pixelCount());
            // Handed over, not shared: the document may then change it without a copy.
            apply(applyEffectWork(m_document, *shared, std::move(*result)));
        };
    };
}

void PhotoEffectsController::showKernel(const EffectDescription& effect) {
    // At most one kernel dialog shows at a time.
    for (auto& [name, k] : m_kernels)
        if (name != effect.name)
            k->hide();
    TFormOfFringe* dialog = kernelDialog(effect.name);
    dialog->show();
    dialog->raise();
}

// ---- the four pages ---------------------------------------------------------------------

QToolButton* PhotoEffectsController::glyphButton(QWidget* parent, const QString& name,
                                                 const QString& hint) {
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setIcon(glyphIcon(Glyph::Remove));
    button->setToolTip(hint);
    button->setFixedSize(28, 28);
    return button;
}

QRadioButton* PhotoEffectsController::effectRadio(const EffectDescription& effect,
                                                  QWidget* parent) {
    QString caption = QString::fromStdString(effect.caption);
    caption.replace(QLatin1Char('&'), QStringLiteral("&&")); // a plain "&", no mnemonic
    auto* button = new QRadioButton(caption, parent);
    button->setObjectName(QString::fromStdString(effect.control));
    m_effectButtons[effect.name] = button;
    const EffectDescription* e = &effect;
    QObject::connect(button, &QRadioButton::toggled, parent, [this, e](bool on) {
        if (!on)
            return;
        runChosenEffect(*e);
    });
    return button;
}

QWidget* PhotoEffectsController::buildEffectPage() {
    auto* page = new QWidget;
    auto* layout = new QHBoxLayout(page);
    layout->setContentsMargins(4, 0, 4, 0);
    layout->setSpacing(4);
    auto* group = new QButtonGroup(page);
    group->setExclusive(true);
    // One box per group of the catalogue's foreground effects, in the catalogue's order;
    // two columns in each, so that the panel's height holds every button.
    std::vector<std::pair<std::string, QGridLayout*>> boxes;
    for (const EffectDescription& e : effectCatalogue()) {
        if (e.target != EffectTarget::Foreground || !e.hasButton())
            continue;
        auto it = std::find_if(boxes.begin(), boxes.end(),
                               [&](const auto& b) { return b.first == e.group; });
        if (it == boxes.end()) {
            QString label = QString::fromStdString(e.group);
            label.replace(QLatin1Char('&'), QStringLiteral("&&"));
            auto* box = new QGroupBox(label, page);
            auto* grid = new QGridLayout(box);
            grid->setContentsMargins(4, 0, 4, 0);
            grid->setSpacing(0);
            grid->setHorizontalSpacing(6);
            layout->addWidget(box);
            boxes.emplace_back(e.group, grid);
            it = boxes.end() - 1;
        }
        QGridLayout* grid = it->second;
        QRadioButton* button = effectRadio(e, grid->parentWidget());
        group->addButton(button);
        const int index = grid->count();
        grid->addWidget(button, index / 2, index % 2);
    }
    m_removeEffect =
        glyphButton(page, QStringLiteral("SpeedButton15"), QStringLiteral("Remove the effect"));
    QObject::connect(m_removeEffect, &QToolButton::clicked, page, [this] {
        runHere(QStringLiteral("Remove Effect"),
                [this] { return m_document.removeForegroundEffect(); });
    });
    layout->addWidget(m_removeEffect, 0, Qt::AlignTop);
    layout->addStretch(1);
    return page;
}

QWidget* PhotoEffectsController::buildMaskPage() {
    auto* page = new QWidget;
    auto* area = new QWidget(page);
    area->setFixedSize(5 + 40 * 18, 80);
    for (int k = 1; k <= kMaskCount; ++k) {
        auto* slot = new ClickLabel(area);
        slot->setObjectName(QStringLiteral("mask%1").arg(k));
        slot->setGeometry(maskSlotRect(k));
        slot->setScaledContents(true);
        slot->setFrameShape(QFrame::Box);
        slot->setCursor(Qt::PointingHandCursor);
        slot->onClick = [this, k] {
            runHere(QStringLiteral("Mask"), [this, k] { return m_document.chooseMask(k); });
        };
        m_maskSlots[k - 1] = slot;
    }
    m_removeMask = glyphButton(page, QStringLiteral("SpeedButton13"),
                               QStringLiteral("Remove the mask from the foreground"));
    m_removeMask->setEnabled(false);
    QObject::connect(m_removeMask, &QToolButton::clicked, page, [this] {
        runHere(QStringLiteral("Remove Mask"), [this] { return m_document.removeMask(); });
    });
    auto* layout = new QHBoxLayout(page);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(area);
    layout->addWidget(m_removeMask, 0, Qt::AlignTop);
    layout->addStretch(1);
    return page;
}

QWidget* PhotoEffectsController::buildBackgroundPage() {
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    grid->setContentsMargins(6, 2, 6, 0);
    grid->setVerticalSpacing(0);
    auto* group = new QButtonGroup(page);
    group->setExclusive(true);
    int i = 0;
    for (const EffectDescription& e : effectCatalogue()) {
        if (e.target != EffectTarget::Background)
            continue;
        QRadioButton* button = effectRadio(e, page);
        group->addButton(button);
        grid->addWidget(button, i % 2, i / 2);
        ++i;
    }
    m_restoreBackground = glyphButton(page, QStringLiteral("SpeedButton16"),
                                      QStringLiteral("Restore the background"));
    m_restoreBackground->setIcon(glyphIcon(Glyph::Restore));
    QObject::connect(m_restoreBackground, &QToolButton::clicked, page, [this] {
        runHere(QStringLiteral("Restore Background"),
                [this] { return m_document.restoreBackground(); });
    });
    grid->addWidget(m_restoreBackground, 0, 3);
    grid->setColumnStretch(4, 1);
    return page;
}

QWidget* PhotoEffectsController::buildFramePage() {
    auto* page = new QWidget;
    auto* layout = new QHBoxLayout(page);
    layout->setContentsMargins(2, 2, 2, 2);
    // The remove button stands 10 pixels right of the strip's width (the strip is at 2).
    layout->setSpacing(8);
    m_frameStrip = new QScrollArea(page);
    m_frameStrip->setObjectName(QStringLiteral("ScrollBox3"));
    m_frameStrip->setFixedSize(733, 68);
    m_frameStrip->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_frameStrip->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_frameStrip->setWidgetResizable(false);
    m_stripContent = new QWidget;
    m_stripContent->resize(2, 44);
    m_frameStrip->setWidget(m_stripContent);
    layout->addWidget(m_frameStrip);
    m_removeFrame = glyphButton(page, QStringLiteral("SpeedButton14"), QString());
    QObject::connect(m_removeFrame, &QToolButton::clicked, page, [this] {
        runHere(QStringLiteral("Remove Frame"), [this] { return m_document.removeFrame(); });
    });
    layout->addWidget(m_removeFrame, 0, Qt::AlignTop);
    layout->addStretch(1);
    return page;
}

void PhotoEffectsController::buildFrameStrip(const std::string& frameFolder) {
    m_frameFolder = frameFolder;
    for (ClickLabel* old : m_frameThumbs)
        delete old;
    m_frameThumbs.clear();
    m_pointedFrame = 0;
    m_frameNames = ScanFolderList(frameFolder, "*.jpg");
    for (std::string& gif : ScanFolderList(frameFolder, "*.gif"))
        m_frameNames.push_back(std::move(gif));
    const QSignalBlocker block(m_notebook);
    m_notebook->setCurrentIndex(3);
    // The foreground panel's gauge (blue on black) counts the frames in.
    QProgressBar* gauge = m_hooks.libraryGauge ? m_hooks.libraryGauge() : nullptr;
    const int count = int(m_frameNames.size());
    if (gauge) {
        gauge->setRange(0, std::max(count, 1));
        gauge->setValue(0);
    }
    BusyCursor busy;
    for (int i = 1; i <= count; ++i) {
        auto* thumb = new ClickLabel(m_stripContent);
        thumb->setObjectName(QStringLiteral("frame%1").arg(i));
        thumb->setGeometry(2 + kThumbStep * (i - 1), 2, kThumbWidth, kThumbHeight);
        thumb->setScaledContents(true);
        thumb->setToolTip(QStringLiteral("Click to set as frame"));
        thumb->setCursor(Qt::PointingHandCursor);
        const LoadResult read =
            LoadPictureFile(m_frameFolder + "/" + m_frameNames[std::size_t(i - 1)]);
        if (!read.picture.empty()) {
            try {
                const TBitmap32 small = frameThumbnail(read.picture);
                thumb->setPixmap(
                    QPixmap::fromImage(imageView(small).convertToFormat(QImage::Format_RGB32)));
            } catch (const std::exception&) {
                // a blank thumbnail for a frame that cannot be shrunk
            }
        }
        thumb->onHover = [this, i] { m_pointedFrame = i; };
        thumb->onClick = [this, i] {
            m_pointedFrame = i;
            chooseFrameNumber(i);
        };
        thumb->show();
        m_frameThumbs.push_back(thumb);
        if (gauge)
            gauge->setValue(i);
    }
    m_stripContent->resize(std::max(2, 2 + kThumbStep * count), 44);
    m_notebook->setCurrentIndex(0);
}

} // namespace quill::app::effects
