#include "workspace/EffectWork.h"

#include <utility>

namespace quill {

namespace {

std::optional<EffectWork> takeWork(Document& document, const EffectDescription& effect,
                                   const EffectSettings& settings, bool chosen) {
    const Scene& scene = document.scene();
    EffectWork work;
    if (effect.target == EffectTarget::Foreground) {
        if (!effect.runOnLayer || !document.currentOriginal())
            return std::nullopt;
        work.slot = scene.CurrentLayer;
        work.original = scene.layer(work.slot).ForeOriginal;
    } else {
        if (!effect.runOnBackground || !scene.BackgroundSet)
            return std::nullopt;
        work.original = scene.BackOriginal;
    }
    work.effect = &effect;
    work.settings = settings;
    work.random = document.random();
    work.chosen = chosen;
    return work;
}

bool onLayer(const EffectWork& work) {
    return work.effect->target == EffectTarget::Foreground;
}

} // namespace

EffectChoice chooseEffectAway(Document& document, const EffectDescription& effect) {
    const DocumentState& choices = document.choices();
    const bool alreadyChosen =
        (effect.target == EffectTarget::Foreground ? choices.foregroundChoice
                                                   : choices.backgroundChoice) == &effect;
    if (effect.runner == EffectRunner::InWindow && !alreadyChosen)
        if (std::optional<EffectWork> work = takeWork(document, effect, EffectSettings{}, true))
            return {CommandReply{}, std::move(work)};
    return {document.chooseEffect(effect), std::nullopt};
}

std::optional<EffectWork> effectWork(Document& document, const EffectDescription& effect,
                                     const EffectSettings& settings) {
    return takeWork(document, effect, settings, false);
}

TBitmap32 computeEffectWork(EffectWork& work) {
    return onLayer(work) ? work.effect->runOnLayer(*work.original, work.settings, work.random)
                         : work.effect->runOnBackground(*work.original, work.settings);
}

CommandReply applyEffectWork(Document& document, const EffectWork& work, SharedPicture result) {
    const Scene& scene = document.scene();
    const bool stands = onLayer(work)
                            ? scene.CurrentLayer == work.slot && scene.isLayer(work.slot) &&
                                  scene.layer(work.slot).ForeOriginal.sameAs(work.original)
                            : scene.BackgroundSet && scene.BackOriginal.sameAs(work.original);
    if (!stands)
        return {}; // the document moved on: the picture belongs nowhere
    // The button's choice is made before its step begins, so that the step holds it on
    // both sides.
    if (work.chosen)
        document.recordChoice(*work.effect);
    document.random() = work.random;
    return document.applyEffect(*work.effect, work.settings, std::move(result));
}

} // namespace quill
