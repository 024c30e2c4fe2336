#include "collections/EffectCommands.h"

#include "decor/BackgroundEffects.h"
#include "decor/Frame.h"
#include "decor/MaskLibrary.h"
#include "decor/Rotation.h"
#include "decor/Texture.h"
#include "effects/Brume.h"
#include "effects/ColorFilters.h"
#include "effects/WaterColor.h"
#include "imaging/Rounding.h"

#include <stdexcept>

namespace quill {
namespace {

const ForegroundEffectInfo kForegroundEffects[kForegroundEffectCount] = {
    {"Pencil Sketch", "Pencil Sketch", EffectKind::PreviewDialog},
    {"Pen Sketch", "Pen Sketch", EffectKind::PreviewDialog},
    {"Kryptol", "Kryptol", EffectKind::PreviewDialog},
    {"Pen & Ink", "Pen and Ink", EffectKind::PreviewDialog},
    {"Realism", "Realism art", EffectKind::KernelDialog},
    {"Pop art", "Pop art", EffectKind::KernelDialog},
    {"Abstract", "Abstract art", EffectKind::KernelDialog},
    {"Water color", "Water color", EffectKind::InWindow},
    {"Color Panels", "Color Panels", EffectKind::InWindow},
    {"Color Blocks (V & H)", "Color Blocks (V && H)", EffectKind::InWindow},
    {"Color Blocks (Catercorner)", "Color Blocks (Catercorner)", EffectKind::InWindow},
    {"Brume", "Brume", EffectKind::InWindow},
};

const char* const kBackgroundCaptions[kBackgroundEffectCount] = {
    "Emboss", "Scorch", "Texture", "Vertical stria", "Horizontal stria", "Gray"};

// The pass of each background button but Texture.
void (*const kBackgroundPasses[kBackgroundEffectCount])(TBitmap32&) = {
    emboss, scorch, nullptr, verticalStria, horizontalStria, grayBackground};

TBitmap32 runInWindow(ForegroundEffect e, const TBitmap32& original) {
    switch (e) {
    case ForegroundEffect::WaterColor:
        return waterColor(original);
    case ForegroundEffect::ColorPanels:
        return colorPanels(original);
    case ForegroundEffect::ColorBlocksVH:
        return colorBlocksVH(original);
    case ForegroundEffect::ColorBlocksCatercorner:
        return colorBlocksCatercorner(original);
    case ForegroundEffect::Brume:
        return brume(original, programRandom());
    default:
        return original;
    }
}

} // namespace

const ForegroundEffectInfo& foregroundEffectInfo(ForegroundEffect e) {
    return kForegroundEffects[int(e)];
}
const char* backgroundEffectCaption(BackgroundEffect e) {
    return kBackgroundCaptions[int(e)];
}

EffectCommands::EffectCommands(MainWindowModel& model, const MaskLibrary& masks)
    : m_model(model), m_masks(masks) {
    m_model.scene().setMaskSource([this](int k) { return m_masks.mask(k); });
}

CommandReply EffectCommands::recomposed() {
    CommandReply r;
    r.sceneChanged = true;
    return r;
}

const TBitmap32* EffectCommands::currentOriginal() const {
    const Scene& s = m_model.scene();
    if (s.LayerCount() < 1 || !s.isLayer(s.CurrentLayer))
        return nullptr;
    return &s.layer(s.CurrentLayer).ForeOriginal;
}

CommandReply EffectCommands::chooseForegroundEffect(ForegroundEffect e) {
    CommandReply r;
    if (m_foreground == e)
        return r; // the selected button: a click starts nothing
    m_foreground = e;
    r.effect = e;
    const TBitmap32* original = currentOriginal();
    if (!original) {
        r.message = kHaveNoForeground;
        return r;
    }
    switch (foregroundEffectInfo(e).kind) {
    case EffectKind::PreviewDialog:
        r.openPreviewDialog = true;
        return r;
    case EffectKind::KernelDialog:
        r.showKernelDialog = true;
        return r;
    case EffectKind::InWindow: {
        TBitmap32 result = runInWindow(e, *original);
        m_model.scene().setCurrentForeWork(result);
        m_status = foregroundEffectInfo(e).statusName;
        CommandReply done = recomposed();
        done.effect = e;
        return done;
    }
    }
    return r;
}

CommandReply EffectCommands::handBack(const TBitmap32& result) {
    if (!currentOriginal()) {
        CommandReply r;
        r.message = kHaveNoForeground;
        return r;
    }
    m_model.scene().setCurrentForeWork(result);
    return recomposed();
}

void EffectCommands::dialogClosed(ForegroundEffect e) {
    m_status = foregroundEffectInfo(e).statusName;
}

CommandReply EffectCommands::removeForegroundEffect() {
    const TBitmap32* original = currentOriginal();
    if (!original) {
        CommandReply r;
        r.message = kHaveNoForeground;
        return r;
    }
    TBitmap32 copy = *original;
    m_model.scene().setCurrentForeWork(copy);
    m_status = kForegroundEffectRemoved;
    return recomposed();
}

CommandReply EffectCommands::chooseMask(int k) {
    Scene& s = m_model.scene();
    if (s.LayerCount() < 1 || !s.isLayer(s.CurrentLayer)) {
        CommandReply r;
        r.message = kHaveNoForeground;
        return r;
    }
    if (k < 1 || k > kMaskCount)
        return {}; // there is no such mask slot
    s.layer(s.CurrentLayer).LayerMask = k;
    s.RefreshLayer();
    m_removeMaskEnabled = true;
    s.ComposeScene();
    return recomposed();
}

CommandReply EffectCommands::removeMask() {
    Scene& s = m_model.scene();
    if (s.isLayer(s.CurrentLayer))
        s.layer(s.CurrentLayer).LayerMask = 0;
    s.RefreshLayer();
    m_removeMaskEnabled = true;
    s.ComposeScene();
    return recomposed();
}

CommandReply EffectCommands::chooseBackgroundEffect(BackgroundEffect e) {
    CommandReply r;
    if (m_background == e)
        return r;
    m_background = e;
    Scene& s = m_model.scene();
    if (!s.BackgroundSet) {
        r.message = kHaveNoBackground;
        return r;
    }
    if (e == BackgroundEffect::Texture) {
        r.showTextureWindow = true;
        return r;
    }
    TBitmap32 t = s.BackOriginal;
    kBackgroundPasses[int(e)](t);
    s.BackWork = std::move(t);
    s.RefreshLayer();
    s.ComposeScene();
    return recomposed();
}

CommandReply EffectCommands::restoreBackground() {
    Scene& s = m_model.scene();
    if (!s.BackgroundSet) {
        CommandReply r;
        r.message = kHaveNoBackground;
        return r;
    }
    s.BackWork = s.BackOriginal;
    s.RefreshLayer();
    s.ComposeScene();
    return recomposed();
}

CommandReply EffectCommands::applyTextureTile(int k) {
    return applyTexture(textureTile(k));
}

CommandReply EffectCommands::applyTexture(const TBitmap32& tile) {
    Scene& s = m_model.scene();
    if (!s.BackgroundSet) {
        CommandReply r;
        r.message = kHaveNoBackground;
        return r;
    }
    if (!tileUsable(tile))
        return {};
    ApplyTexture(tile, s.BackOriginal, s.BackWork);
    s.RefreshLayer();
    s.ComposeScene();
    return recomposed();
}

CommandReply EffectCommands::chooseFrame(const TBitmap32& framePicture) {
    if (framePicture.empty())
        return {}; // a frame file that vanished or cannot be read: nothing changes
    Scene& s = m_model.scene();
    s.FramePicture =
        makeFrameOverlay(framePicture, s.BackOriginal.width(), s.BackOriginal.height());
    s.RefreshLayer();
    s.ComposeScene();
    return recomposed();
}

CommandReply EffectCommands::removeFrame() {
    Scene& s = m_model.scene();
    s.FramePicture.reset();
    s.RefreshLayer();
    s.ComposeScene();
    return recomposed();
}

CommandReply EffectCommands::rotate(std::string_view angleText) {
    CommandReply r;
    AngleParse angle = parseAngleText(angleText);
    if (!angle.degrees) {
        r.message = angle.message;
        return r;
    }
    Scene& s = m_model.scene();
    const int slot = s.PanelLayer;
    if (!s.isLayer(slot)) {
        r.message = kHaveNoForeground;
        return r;
    }
    try {
        LayerRotation turned =
            rotateLayerPictures(s.layer(slot).ForeOriginal, s.layer(slot).ForeWork, *angle.degrees);
        m_model.layerRotated(slot, std::move(turned.original), std::move(turned.work), turned.GrowX,
                             turned.GrowY);
    } catch (const std::length_error&) {
        r.message = kPictureTooLarge;
        return r;
    }
    s.ComposeScene();
    return recomposed();
}

Rect fitPreview(int w, int h) {
    Rect r;
    if (w <= 0 || h <= 0)
        return r;
    if (std::int64_t(h) * kPreviewAreaWidth >= std::int64_t(kPreviewAreaHeight) * w) {
        r.height = kPreviewAreaHeight;
        r.width = int(roundHalfEven(static_cast<long double>(w) * kPreviewAreaHeight / h));
        r.top = 0;
        r.left = (kPreviewAreaWidth - r.width) / 2;
    } else {
        r.width = kPreviewAreaWidth;
        r.height = int(roundHalfEven(static_cast<long double>(h) * kPreviewAreaWidth / w));
        r.left = 0;
        r.top = (kPreviewAreaHeight - r.height) / 2;
    }
    return r;
}

KernelDialogState::KernelDialogState(ForegroundEffect effect) : m_effect(effect) {
    const Kernel3x3 k = defaults();
    for (std::size_t i = 0; i < 9; ++i)
        fields[i] = std::to_string(k[i]);
}

const char* KernelDialogState::caption() const {
    switch (m_effect) {
    case ForegroundEffect::Abstract:
        return "Setup for Abstract";
    case ForegroundEffect::PopArt:
        return "Setup for Pop art";
    default:
        return "Setup for Realism";
    }
}

const char* KernelDialogState::banner() const {
    switch (m_effect) {
    case ForegroundEffect::Abstract:
        return "************  Set for Abstract   ************";
    case ForegroundEffect::PopArt:
        return "************  Set for Pop art   ************";
    default:
        return "************  Set for Realism   ************";
    }
}

Kernel3x3 KernelDialogState::defaults() const {
    switch (m_effect) {
    case ForegroundEffect::Abstract:
        return kAbstractDefault;
    case ForegroundEffect::PopArt:
        return kPopArtDefault;
    default:
        return kRealismDefault;
    }
}

KernelDialogState::Conversion KernelDialogState::convert(const TBitmap32& original) {
    Conversion c;
    std::optional<Kernel3x3> kernel = kernelFromTexts(fields, &c.message);
    if (!kernel)
        return c;
    switch (m_effect) {
    case ForegroundEffect::Abstract:
        c.picture = abstractArt(original, *kernel);
        break;
    case ForegroundEffect::PopArt:
        c.picture = popArt(original, *kernel);
        break;
    default:
        c.picture = realismArt(original, *kernel);
        break;
    }
    m_okEnabled = true;
    return c;
}

KernelDialogState::Conversion KernelDialogState::restoreDefaults(const TBitmap32& original) {
    const Kernel3x3 k = defaults();
    for (std::size_t i = 0; i < 9; ++i)
        fields[i] = std::to_string(k[i]);
    return convert(original);
}

} // namespace quill
