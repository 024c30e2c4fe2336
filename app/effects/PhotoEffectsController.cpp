#include "app/effects/PhotoEffectsController.h"

#include "app/BitmapView.h"
#include "app/Icons.h"
#include "app/MainWindow.h"
#include "app/collections/BrowserStrip.h"
#include "app/collections/CollectionsController.h"
#include "imaging/Folders.h"
#include "imaging/PictureFile.h"

#include <QButtonGroup>
#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <initializer_list>
#include <optional>

namespace quill::app::effects {

QRect maskSlotRect(int k) {
    const int column = k <= 18 ? k - 1 : k - 19;
    return QRect(5 + 40 * column, k <= 18 ? 4 : 42, 33, 33);
}

bool CloseWatcher::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Close && onClose)
        onClose();
    return QObject::eventFilter(watched, event);
}

PhotoEffectsController::PhotoEffectsController(TMyPicture& window)
    : m_window(window), m_commands(window.model(), m_masks),
      m_pencil(std::make_unique<TBack_and_White_Sketch>()),
      m_pen(std::make_unique<ThresholdDialog>(ThresholdDialog::penSketch())),
      m_ink(std::make_unique<ThresholdDialog>(ThresholdDialog::penAndInk())),
      m_kryptol(std::make_unique<TKryptol>()), m_texture(std::make_unique<TTexture>()) {
    for (ForegroundEffect e :
         {ForegroundEffect::Realism, ForegroundEffect::Abstract, ForegroundEffect::PopArt})
        m_kernels[kernelIndex(e)] = std::make_unique<TFormOfFringe>(e);
    buildPages();
    wireDialogs();
    wireRotation();
    m_closeWatcher.onClose = [this] { closeWindows(); };
    m_window.installEventFilter(&m_closeWatcher);
}

PhotoEffectsController::~PhotoEffectsController() {
    m_window.removeEventFilter(&m_closeWatcher);
    for (PreviewDialog* d : previewDialogs())
        d->onClosed = nullptr; // the window is going: nothing to enable any more
}

void PhotoEffectsController::loadLibraries(const std::string& programFolder) {
    const LibraryFolders folders = libraryFoldersBeside(programFolder);
    buildFrameStrip(folders.FrameFolder);
    m_masks.maskload(folders.MaskFolder);
    for (int k = 1; k <= kMaskCount; ++k) {
        const TBitmap32* mask = m_masks.mask(k);
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
    BusyCursor busy;
    const LoadResult read = LoadPictureFile(m_frameFolder + "/" + m_frameNames[std::size_t(i - 1)]);
    apply(m_commands.chooseFrame(read.picture));
}

void PhotoEffectsController::rotate() {
    apply(m_commands.rotate(m_window.angleEdit()->text().toStdString()));
}

TFormOfFringe* PhotoEffectsController::kernelDialog(ForegroundEffect e) const {
    const int i = kernelIndex(e);
    return i >= 0 ? m_kernels[std::size_t(i)].get() : nullptr;
}

PreviewDialog* PhotoEffectsController::previewDialog(ForegroundEffect e) const {
    switch (e) {
    case ForegroundEffect::PencilSketch:
        return m_pencil.get();
    case ForegroundEffect::PenSketch:
        return m_pen.get();
    case ForegroundEffect::PenAndInk:
        return m_ink.get();
    case ForegroundEffect::Kryptol:
        return m_kryptol.get();
    default:
        return nullptr;
    }
}

void PhotoEffectsController::closeWindows() {
    for (PreviewDialog* d : previewDialogs())
        if (d->isVisible())
            d->close();
    for (auto& k : m_kernels)
        k->hide();
    m_texture->hide();
}

int PhotoEffectsController::kernelIndex(ForegroundEffect e) {
    switch (e) {
    case ForegroundEffect::Realism:
        return 0;
    case ForegroundEffect::Abstract:
        return 1;
    case ForegroundEffect::PopArt:
        return 2;
    default:
        return -1;
    }
}

std::array<PreviewDialog*, 4> PhotoEffectsController::previewDialogs() const {
    return {m_pencil.get(), m_pen.get(), m_ink.get(), m_kryptol.get()};
}

void PhotoEffectsController::apply(const CommandReply& r) {
    if (!r.message.empty())
        m_window.platform().showMessage(&m_window, QString::fromStdString(r.message));
    if (r.sceneChanged)
        m_window.syncAll();
    if (r.openPreviewDialog)
        openPreview(r.effect);
    if (r.showKernelDialog)
        showKernel(r.effect);
    if (r.showTextureWindow) {
        m_texture->show();
        m_texture->raise();
    }
    m_removeMask->setEnabled(m_commands.removeMaskEnabled());
    m_window.statusLabel()->setText(QString::fromStdString(m_commands.statusLabel()));
}

void PhotoEffectsController::openPreview(ForegroundEffect e) {
    PreviewDialog* dialog = previewDialog(e);
    const TBitmap32* original = m_commands.currentOriginal();
    if (!dialog || !original)
        return;
    m_window.setEnabled(false);
    try {
        dialog->open(*original);
    } catch (const std::exception&) {
        m_window.setEnabled(true);
        m_window.platform().showMessage(&m_window, QString::fromLatin1(kPictureTooLarge));
    }
}

void PhotoEffectsController::showKernel(ForegroundEffect e) {
    for (auto& k : m_kernels)
        if (k->effect() != e)
            k->hide();
    TFormOfFringe* dialog = kernelDialog(e);
    dialog->show();
    dialog->raise();
}

void PhotoEffectsController::wireDialogs() {
    for (PreviewDialog* d : previewDialogs()) {
        d->onHandBack = [this](const TBitmap32& result) {
            BusyCursor busy;
            m_window.setEnabled(true);
            apply(m_commands.handBack(result));
        };
        d->onClosed = [this, d] {
            m_window.setEnabled(true);
            m_commands.dialogClosed(d->effect());
            apply(CommandReply{});
        };
    }
    for (auto& k : m_kernels) {
        TFormOfFringe* dialog = k.get();
        dialog->original = [this] { return m_commands.currentOriginal(); };
        dialog->onConverted = [this](const TBitmap32& result) {
            BusyCursor busy;
            apply(m_commands.handBack(result));
        };
        dialog->onMessage = [this, dialog](const QString& text) {
            m_window.platform().showMessage(dialog, text);
        };
        dialog->onOk = [this, dialog] {
            m_commands.dialogClosed(dialog->effect());
            apply(CommandReply{});
        };
    }
    m_texture->onTile = [this](int k) {
        BusyCursor busy;
        apply(m_commands.applyTextureTile(k));
    };
}

void PhotoEffectsController::wireRotation() {
    QObject::connect(m_window.rotateAction(), &QAction::triggered, &m_window, [this] { rotate(); });
    QObject::connect(m_window.angleEdit(), &QLineEdit::returnPressed, &m_window, [this] {
        if (m_window.rotateAction()->isEnabled())
            rotate();
    });
}

// ---- the four pages ---------------------------------------------------------------------

void PhotoEffectsController::buildPages() {
    QTabWidget* notebook = m_window.photoEffectsNotebook();
    const QString hint = QStringLiteral("Make effect for the last open foreground");
    {
        // The window's placeholder pages give way to the working ones; the page
        // change this makes is not the user's, so the hint stays the starting one.
        const QSignalBlocker block(notebook);
        while (notebook->count() > 0) {
            QWidget* old = notebook->widget(0);
            notebook->removeTab(0);
            delete old;
        }
        notebook->addTab(buildEffectPage(), QStringLiteral("Foreground effect"));
        notebook->addTab(buildMaskPage(), QStringLiteral("Foreground mask"));
        notebook->addTab(buildBackgroundPage(), QStringLiteral("Background effect"));
        notebook->addTab(buildFramePage(), QStringLiteral("Frames"));
        notebook->setCurrentIndex(0);
    }
    notebook->setToolTip(hint);
}

QToolButton* PhotoEffectsController::glyphButton(QWidget* parent, const QString& name,
                                                 const QString& hint) {
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setIcon(glyphIcon(Glyph::Remove));
    button->setToolTip(hint);
    button->setFixedSize(28, 28);
    return button;
}

QWidget* PhotoEffectsController::buildEffectPage() {
    auto* page = new QWidget;
    auto* layout = new QHBoxLayout(page);
    layout->setContentsMargins(4, 2, 4, 2);
    auto* group = new QButtonGroup(page);
    group->setExclusive(true);
    // The buttons of each group, top to bottom, with their control names.
    struct Entry {
        ForegroundEffect effect;
        int number;
    };
    struct Box {
        const char* label;
        std::initializer_list<Entry> entries;
    };
    const Box boxes[] = {
        {"B&&W",
         {{ForegroundEffect::PencilSketch, 1},
          {ForegroundEffect::PenSketch, 2},
          {ForegroundEffect::Kryptol, 12},
          {ForegroundEffect::PenAndInk, 3}}},
        {"Color",
         {{ForegroundEffect::Realism, 4},
          {ForegroundEffect::PopArt, 5},
          {ForegroundEffect::Abstract, 6},
          {ForegroundEffect::WaterColor, 7}}},
        {"Color Filter",
         {{ForegroundEffect::ColorPanels, 8},
          {ForegroundEffect::ColorBlocksVH, 10},
          {ForegroundEffect::ColorBlocksCatercorner, 9},
          {ForegroundEffect::Brume, 11}}},
    };
    for (const Box& b : boxes) {
        auto* box = new QGroupBox(QString::fromLatin1(b.label), page);
        auto* column = new QVBoxLayout(box);
        column->setContentsMargins(6, 2, 6, 2);
        column->setSpacing(0);
        for (const Entry& entry : b.entries) {
            QString caption = QString::fromLatin1(foregroundEffectInfo(entry.effect).caption);
            caption.replace(QLatin1Char('&'), QStringLiteral("&&")); // a plain "&", no mnemonic
            auto* button = new QRadioButton(caption, box);
            button->setObjectName(QStringLiteral("RadioButton%1").arg(entry.number));
            group->addButton(button);
            column->addWidget(button);
            m_effectButtons[std::size_t(entry.effect)] = button;
            const ForegroundEffect e = entry.effect;
            QObject::connect(button, &QRadioButton::toggled, page, [this, e](bool on) {
                if (!on)
                    return;
                const bool slow = foregroundEffectInfo(e).kind == EffectKind::InWindow;
                std::optional<BusyCursor> busy;
                if (slow)
                    busy.emplace();
                apply(m_commands.chooseForegroundEffect(e));
            });
        }
        layout->addWidget(box);
    }
    m_removeEffect =
        glyphButton(page, QStringLiteral("SpeedButton15"), QStringLiteral("Remove the effect"));
    QObject::connect(m_removeEffect, &QToolButton::clicked, page, [this] {
        BusyCursor busy;
        apply(m_commands.removeForegroundEffect());
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
            BusyCursor busy;
            apply(m_commands.chooseMask(k));
        };
        m_maskSlots[k - 1] = slot;
    }
    m_removeMask = glyphButton(page, QStringLiteral("SpeedButton13"),
                               QStringLiteral("Remove the mask from the foreground"));
    m_removeMask->setEnabled(false);
    QObject::connect(m_removeMask, &QToolButton::clicked, page, [this] {
        BusyCursor busy;
        apply(m_commands.removeMask());
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
    auto* group = new QButtonGroup(page);
    group->setExclusive(true);
    for (int i = 0; i < kBackgroundEffectCount; ++i) {
        const auto e = BackgroundEffect(i);
        auto* button = new QRadioButton(QString::fromLatin1(backgroundEffectCaption(e)), page);
        button->setObjectName(QStringLiteral("RadioButton%1").arg(13 + i));
        group->addButton(button);
        grid->addWidget(button, i % 2, i / 2);
        m_backButtons[std::size_t(i)] = button;
        QObject::connect(button, &QRadioButton::toggled, page, [this, e](bool on) {
            if (!on)
                return;
            BusyCursor busy;
            apply(m_commands.chooseBackgroundEffect(e));
        });
    }
    m_restoreBackground = glyphButton(page, QStringLiteral("SpeedButton16"),
                                      QStringLiteral("Restore the background"));
    m_restoreBackground->setIcon(glyphIcon(Glyph::Restore));
    QObject::connect(m_restoreBackground, &QToolButton::clicked, page, [this] {
        BusyCursor busy;
        apply(m_commands.restoreBackground());
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
        BusyCursor busy;
        apply(m_commands.removeFrame());
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
    QTabWidget* notebook = m_window.photoEffectsNotebook();
    const QSignalBlocker block(notebook);
    notebook->setCurrentIndex(3);
    // The foreground panel's gauge (blue on black) counts the frames in.
    QProgressBar* gauge = m_window.collections()->foregroundBrowser()->gauge();
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
                TBitmap32 small = read.picture;
                ZoomInandOut(small, 0.1L, 0.1L);
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
    notebook->setCurrentIndex(0);
}

} // namespace quill::app::effects
