#include "workspace/EffectWork.h"

#include <utility>

namespace quill {

namespace {

std::optional<EffectWork> takeWork(Document& document, const EffectDescription& effect,
                                   const EffectSettings& settings, bool chosen) {
    const Scene& scene = document.scene();
    if (effect.target != EffectTarget::Foreground || !effect.runOnLayer ||
        !document.currentOriginal())
        return std::nullopt;
    EffectWork work;
    work.effect = &effect;
    work.settings = settings;
    work.slot = scene.CurrentLayer;
    work.original = scene.layer(work.slot).ForeOriginal;
    work.random = document.random();
    work.chosen = chosen;
    return work;
}

} // namespace

EffectChoice chooseEffectAway(Document& document, const EffectDescription& effect) {
    const bool alreadyChosen = document.choices().foregroundChoice == &effect;
    if (effect.runner == EffectRunner::InWindow && !alreadyChosen)
        if (std::optional<EffectWork> work = takeWork(document, effect, EffectSettings{}, true))
            return {CommandReply{}, std::move(work)};
    return {document.chooseEffect(effect), std::nullopt};
}

std::optional<EffectWork> layerEffectWork(Document& document, const EffectDescription& effect,
                                          const EffectSettings& settings) {
    return takeWork(document, effect, settings, false);
}

TBitmap32 computeEffectWork(EffectWork& work) {
    return work.effect->runOnLayer(*work.original, work.settings, work.random);
}

CommandReply applyEffectWork(Document& document, const EffectWork& work, const TBitmap32& result) {
    Scene& scene = document.sceneForGestures();
    if (scene.CurrentLayer != work.slot || !scene.isLayer(work.slot) ||
        !scene.layer(work.slot).ForeOriginal.sameAs(work.original))
        return {}; // the document moved on: the picture belongs nowhere
    if (work.chosen) {
        // The button's choice is made before its step begins, so that the step holds it on
        // both sides. Asked while no layer is current, the document records the choice and
        // runs nothing; the current layer is put back at once.
        scene.CurrentLayer = 0;
        document.chooseEffect(*work.effect);
        scene.CurrentLayer = work.slot;
    }
    document.random() = work.random;
    return document.applyEffect(*work.effect, work.settings, &result);
}

} // namespace quill
