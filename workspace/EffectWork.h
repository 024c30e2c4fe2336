#pragma once

// An effect computed away from the document, so that a window can keep painting while a
// large photograph is worked on. What the effect needs is taken from the document on the
// thread that owns it, the picture is computed on any thread, and the result goes back
// into the document on its own thread exactly as the effect's button or dialog puts it
// there: the same step of the history, the same bytes, the same draws from the generator.

#include "workspace/Document.h"

#include <optional>

namespace quill {

struct EffectWork {
    const EffectDescription* effect = nullptr;
    EffectSettings settings;
    SharedPicture original; // the current layer's or the background's untouched picture
    int slot = 0;           // the layer it belongs to (0: the background)
    // The generator's state when the work was taken; the computation advances it as the
    // effect draws, and applying sets the document's generator to where it ended.
    ProgramRandom random;
    bool chosen = false; // comes from choosing the effect's button (the choice is applied too)
};

// A click on the effect's button (see Document::chooseEffect). When the button runs its
// effect in the window, nothing changes yet and the work is returned; otherwise the
// document carries the click out at once and `reply` says what followed.
struct EffectChoice {
    CommandReply reply;
    std::optional<EffectWork> work;
};
EffectChoice chooseEffectAway(Document& document, const EffectDescription& effect);

// The work of applying an effect with these settings (see Document::applyEffect), or
// nothing when there is no current layer (a layer's effect) or no background.
std::optional<EffectWork> effectWork(Document& document, const EffectDescription& effect,
                                     const EffectSettings& settings);

// The effect's picture; runs on any thread. May throw std::bad_alloc.
TBitmap32 computeEffectWork(EffectWork& work);

// Puts the computed picture into the document as the button or dialog would have. The
// document must stand as it stood when the work was taken.
CommandReply applyEffectWork(Document& document, const EffectWork& work, SharedPicture result);

} // namespace quill
