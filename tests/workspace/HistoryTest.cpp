// The undo history: steps by name, a slider's moves as one step, pictures shared between
// steps, and the memory budget.
#include "workspace/Workspace.h"

#include "tests/workspace/SessionSupport.h"

#include <gtest/gtest.h>

namespace quill {
namespace {

using quill::testing::patterned;

struct Steps : ::testing::Test {
    Steps() {
        w.windowShown();
        doc.setBackgroundPicture(patterned(120, 90, 1));
        doc.addForegroundLayer(patterned(100, 80, 2));
    }
    Workspace w;
    Document& doc = w.document();
};

TEST_F(Steps, NamedStepsUndoAndRedoInOrder) {
    const EffectDescription& panels = *findEffect("color-panels");
    const DocumentState start = doc.snapshot();
    doc.chooseEffect(panels);
    doc.setTransparentChecked(true);
    for (int level : {10, 60, 200}) // one slider drag: one step
        doc.setTransparenceSlider(level);
    doc.layerPanelPress(1, false); // a selection alone is no step
    // The background, the layer, the effect, the check box, the slider.
    EXPECT_EQ(doc.history().undoCount(), 5);
    EXPECT_EQ(doc.history().undoName(), "Transparence");
    ASSERT_TRUE(w.undo());
    EXPECT_EQ(doc.scene().layer(1).LayerTransparence, 128) << "the whole drag went back";
    EXPECT_EQ(doc.history().undoName(), "Transparent");
    EXPECT_EQ(doc.history().redoName(), "Transparence");
    ASSERT_TRUE(w.undo());
    EXPECT_EQ(doc.history().undoName(), "Color Panels");
    ASSERT_TRUE(w.undo());
    EXPECT_TRUE(doc.scene().layer(1).ForeWork == start.scene.layers[1].ForeWork)
        << "the very picture before the effect, not a copy";
    Scene recomposed = doc.scene();
    recomposed.ComposeScene();
    EXPECT_TRUE(doc.scene().scenePicture() == recomposed.scenePicture());
    while (w.redo()) {
    }
    EXPECT_EQ(doc.scene().layer(1).LayerTransparence, 200);
    EXPECT_EQ(doc.history().redoCount(), 0);
    // A new step after an undo forgets what could be redone.
    w.undo();
    doc.chooseMask(3);
    EXPECT_FALSE(doc.history().canRedo());
}

TEST_F(Steps, PicturesAStepDidNotChangeAreShared) {
    doc.history().clear();
    doc.chooseEffect(*findEffect("water-color"));
    // An opaque layer without a mask draws its untouched picture itself: the step holds
    // nothing the document does not hold.
    EXPECT_TRUE(doc.history().undoCount() == 1 && doc.history().memoryBytes(doc.snapshot()) == 0);
    doc.history().clear();
    doc.chooseEffect(*findEffect("color-panels"));
    // The history holds the layer's picture before the effect and nothing else: the
    // background and the untouched picture are the document's own.
    EXPECT_EQ(doc.history().memoryBytes(doc.snapshot()), 100u * 80u * 4u);
}

TEST_F(Steps, TheHistoryKeepsWithinItsBudgetAndAlwaysTheLastStep) {
    const std::size_t picture = 100u * 80u * 4u;
    const struct {
        std::size_t budget;
        int steps; // undo steps left after fifty effects
    } cases[] = {{10 * picture, 10}, {1, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.budget);
        doc.history().clear();
        doc.history().setBudget(c.budget);
        for (int n = 0; n < 50; ++n)
            doc.chooseEffect(*findEffect(n % 2 ? "water-color" : "color-panels"));
        EXPECT_EQ(doc.history().undoCount(), c.steps);
        EXPECT_LE(doc.history().memoryBytes(doc.snapshot()), std::max(c.budget, picture));
    }
}

TEST_F(Steps, TheDocumentKnowsWhetherItStandsWhereItWasSaved) {
    doc.markSaved();
    EXPECT_FALSE(doc.modified());
    doc.chooseEffect(*findEffect("brume"));
    EXPECT_TRUE(doc.modified());
    w.undo();
    EXPECT_FALSE(doc.modified()) << "back where it was saved";
    w.redo();
    EXPECT_TRUE(doc.modified());
    doc.layerPanelPress(1, false);
    w.undo();
    EXPECT_FALSE(doc.modified()) << "a selection is no change";
    w.zoomIn();
    EXPECT_FALSE(doc.modified()) << "nor is the zoom";
}

} // namespace
} // namespace quill
