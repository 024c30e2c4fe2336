// The document's commands of the photo effects panel (effects, masks, background effects,
// frames) and of the sketch-list and album-list.

#include "workspace/Document.h"

#include "decor/Frame.h"

namespace quill {

const TBitmap32* Document::currentOriginal() const {
    const Scene& s = m_scene;
    if (s.LayerCount() < 1 || !s.isLayer(s.CurrentLayer))
        return nullptr;
    return &*s.layer(s.CurrentLayer).ForeOriginal;
}

CommandReply Document::chooseEffect(const EffectDescription& effect) {
    CommandReply r;
    const bool onLayer = effect.target == EffectTarget::Foreground;
    const EffectDescription* choice = onLayer ? m_state.foregroundChoice : m_state.backgroundChoice;
    if (choice == &effect)
        return r; // the selected button: a click starts nothing
    recordChoice(effect);
    if (onLayer ? !currentOriginal() : !m_scene.BackgroundSet) {
        r.message = onLayer ? kHaveNoForeground : kHaveNoBackground;
        return r;
    }
    if (effect.runner == EffectRunner::InWindow)
        return applyEffect(effect, EffectSettings{});
    r.openDialog = &effect;
    return r;
}

void Document::recordChoice(const EffectDescription& effect) {
    (effect.target == EffectTarget::Foreground ? m_state.foregroundChoice
                                               : m_state.backgroundChoice) = &effect;
}

CommandReply Document::applyEffect(const EffectDescription& effect, const EffectSettings& settings,
                                   std::optional<SharedPicture> result) {
    Step step(*this, effect.caption);
    return effect.target == EffectTarget::Foreground
               ? runOnLayer(effect, settings, std::move(result))
               : runOnBackground(effect, settings, std::move(result));
}

CommandReply Document::runOnLayer(const EffectDescription& effect, const EffectSettings& settings,
                                  std::optional<SharedPicture> result) {
    CommandReply r;
    const TBitmap32* original = currentOriginal();
    if (!original) {
        r.message = kHaveNoForeground;
        return r;
    }
    const int slot = m_scene.CurrentLayer;
    m_scene.layer(slot).ForeWork =
        result ? std::move(*result)
               : SharedPicture(effect.runOnLayer(*original, settings, m_random));
    effectOf(slot) = AppliedEffect{&effect, settings};
    if (effect.runner == EffectRunner::InWindow)
        m_state.status = effect.statusText;
    m_scene.RefreshLayer();
    return r;
}

CommandReply Document::runOnBackground(const EffectDescription& effect,
                                       const EffectSettings& settings,
                                       std::optional<SharedPicture> result) {
    CommandReply r;
    if (!m_scene.BackgroundSet) {
        r.message = kHaveNoBackground;
        return r;
    }
    m_scene.BackWork = result
                           ? std::move(*result)
                           : SharedPicture(effect.runOnBackground(*m_scene.BackOriginal, settings));
    m_state.backgroundEffect = AppliedEffect{&effect, settings};
    composeAfterBackgroundOrFrame();
    return r;
}

void Document::composeAfterBackgroundOrFrame() {
    // No layer's alpha depends on the background or the frame: deriving the current
    // layer's again would give the same bytes and copy its picture where the history
    // shares it (400 MB at 100 megapixels).
    m_scene.ComposeScene();
}

void Document::dialogClosed(const EffectDescription& effect) {
    m_state.status = effect.statusText;
}

CommandReply Document::removeForegroundEffect() {
    CommandReply r;
    if (!currentOriginal()) {
        r.message = kHaveNoForeground;
        return r;
    }
    Step step(*this, "Remove Effect");
    LayerSlot& slot = m_scene.layer(m_scene.CurrentLayer);
    slot.ForeWork = slot.ForeOriginal;
    effectOf(m_scene.CurrentLayer).reset();
    m_state.status = kForegroundEffectRemoved;
    m_scene.RefreshLayer();
    return r;
}

CommandReply Document::restoreBackground() {
    CommandReply r;
    if (!m_scene.BackgroundSet) {
        r.message = kHaveNoBackground;
        return r;
    }
    Step step(*this, "Restore Background");
    m_scene.BackWork = m_scene.BackOriginal;
    m_state.backgroundEffect.reset();
    composeAfterBackgroundOrFrame();
    return r;
}

// ---- masks ------------------------------------------------------------------------------

CommandReply Document::chooseMask(int k) {
    CommandReply r;
    Scene& s = m_scene;
    if (s.LayerCount() < 1 || !s.isLayer(s.CurrentLayer)) {
        r.message = kHaveNoForeground;
        return r;
    }
    if (k < 1 || k > kMaskCount)
        return r; // there is no such mask slot
    Step step(*this, "Mask");
    s.layer(s.CurrentLayer).LayerMask = k;
    m_state.enabled.removeMask = true;
    s.RefreshLayer();
    return r;
}

CommandReply Document::chooseOwnMask(const TBitmap32& mask) {
    CommandReply r;
    Scene& s = m_scene;
    if (s.LayerCount() < 1 || !s.isLayer(s.CurrentLayer)) {
        r.message = kHaveNoForeground;
        return r;
    }
    Step step(*this, "Mask");
    // Numbers past the library's are the layers' own masks, one number per picture.
    const int number =
        m_state.ownMasks.empty() ? kMaskCount + 1 : m_state.ownMasks.rbegin()->first + 1;
    m_state.ownMasks[number] = SharedPicture(mask);
    s.layer(s.CurrentLayer).LayerMask = number;
    m_state.enabled.removeMask = true;
    s.RefreshLayer();
    return r;
}

CommandReply Document::removeMask() {
    Step step(*this, "Remove Mask");
    Scene& s = m_scene;
    if (s.isLayer(s.CurrentLayer))
        s.layer(s.CurrentLayer).LayerMask = 0;
    m_state.enabled.removeMask = true;
    s.RefreshLayer();
    return {};
}

// ---- frames -----------------------------------------------------------------------------

void Document::fitFrame() {
    // A chosen frame follows the background's size; the empty frame of the start and a
    // removed frame stay as they are.
    if (!m_scene.FramePicture || m_state.frameSource->empty())
        return;
    m_scene.FramePicture = SharedPicture(makeFrameOverlay(
        *m_state.frameSource, m_scene.BackOriginal->width(), m_scene.BackOriginal->height()));
}

CommandReply Document::chooseFrame(const TBitmap32& framePicture) {
    if (framePicture.empty())
        return {}; // a frame file that vanished or cannot be read: nothing changes
    Step step(*this, "Frame");
    m_state.frameSource = SharedPicture(framePicture);
    m_scene.FramePicture = SharedPicture();
    fitFrame();
    composeAfterBackgroundOrFrame();
    return {};
}

CommandReply Document::removeFrame() {
    Step step(*this, "Remove Frame");
    m_scene.FramePicture.reset();
    m_state.frameSource = SharedPicture();
    composeAfterBackgroundOrFrame();
    return {};
}

// ---- the sketch-list and the album-list -------------------------------------------------

int Document::addSketch(int slot) {
    if (!m_scene.isVisibleLayer(slot))
        return 0;
    Step step(*this, "Add to Sketch-list");
    const LayerSlot& l = m_scene.layer(slot);
    return m_state.sketches.add(l.ForeWork, l.ownShape ? l.ForeOriginal : SharedPicture());
}

int Document::addSceneToAlbum() {
    if (m_scene.scenePicture().empty())
        return 0;
    Step step(*this, "Add to Album-list");
    return m_state.albums.add(SharedPicture(m_scene.scenePicture()));
}

bool Document::deleteSelectedSketch() {
    Step step(*this, "Delete from Sketch-list");
    return m_state.sketches.deleteSelected();
}

bool Document::deleteSelectedAlbumScene() {
    Step step(*this, "Delete from Album-list");
    return m_state.albums.deleteSelected();
}

} // namespace quill
