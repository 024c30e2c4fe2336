#pragma once

// The document the window edits and the command line builds: the scene with its layers,
// the selection, the sketch-list and the album-list, and every command that changes them.
// Each command that changes the document is one step of the undo history (see History.h);
// view changes (zoom, a selection alone) are not steps.

#include "decor/MaskLibrary.h"
#include "workspace/DocumentState.h"
#include "workspace/History.h"

#include <optional>
#include <string>
#include <string_view>

namespace quill {

// The program's fixed message texts.
inline constexpr const char* kHaveNoForeground = "Have no foreground!";
inline constexpr const char* kHaveNoBackground = "Have no background!";
inline constexpr const char* kNotAValidFormat = " is not a valid format";
inline constexpr const char* kNoWorkToPublish = "You have no work to publish, please do.";
inline constexpr const char* kPictureTooLarge =
    "The picture would be larger than the program can hold.";
inline constexpr const char* kPictureTooSmall =
    "The picture would be less than one pixel wide or high.";
inline constexpr const char* kForegroundEffectRemoved = "Foreground effect removed.";

// The range of ViewZoom (percent) the zoom steps stay in.
inline constexpr double kMinViewZoom = 0.001;
inline constexpr double kMaxViewZoom = 100000.0;

// What a command asks the window to do besides showing the model anew.
struct CommandReply {
    std::string message; // a message box to show (empty: none)
    // The dialog or window of this effect opens (nullptr: none).
    const EffectDescription* openDialog = nullptr;
};

// The one message opening a picture shows: when the picture could not be opened, the
// reader's own explanation (a size refusal) or else the command's refusal; when it was
// opened, the reader's warning, if any. Empty when there is nothing to say.
std::string openingMessage(const std::string& readerMessage, const std::string& refusal);

// Formats the zoom label: "0.0" pattern (halves away from zero) followed by "%".
std::string zoomLabelText(double zoom);
// Round(position / 255 * 100) as text.
std::string percentLabelText(int position);

class Document {
  public:
    // masks: the program's mask library (read at the first layout). random: the generator
    // Brume draws from (the program-wide one unless a caller brings its own).
    explicit Document(const MaskLibrary& masks, ProgramRandom& random = programRandom());
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    const Scene& scene() const { return m_scene; }
    // For the canvas gestures, which move and size handles while the pointer moves.
    Scene& sceneForGestures() { return m_scene; }
    // The document as it stands, for the history and the scene files (pictures shared).
    DocumentState snapshot() const;
    // Every enabled state, as the window shows it: the commands' own, with the delete
    // commands enabled only while the panel layer is there to delete.
    EnabledStates enabled() const;
    const TransparencyControls& transparency() const { return m_state.transparency; }
    const std::string& statusLabel() const { return m_state.status; }
    const std::string& zoomLabel() const { return m_zoomLabel; }
    // The state apart from the scene (the radio buttons' choices, the lists, ...).
    const DocumentState& choices() const { return m_state; }
    // The layer panel entry shown selected (0: none).
    int selectedEntry() const { return m_state.selectedEntry; }
    const SketchList& sketches() const { return m_state.sketches; }
    const AlbumList& albums() const { return m_state.albums; }
    const std::optional<AppliedEffect>& layerEffect(int slot) const;
    const std::optional<AppliedEffect>& backgroundEffect() const {
        return m_state.backgroundEffect;
    }
    const SharedPicture& frameSource() const { return m_state.frameSource; }
    const std::map<int, SharedPicture>& ownMasks() const { return m_state.ownMasks; }
    const MaskLibrary& masks() const { return m_masks; }
    ProgramRandom& random() { return m_random; }

    // ---- history -----------------------------------------------------------------
    History& history() { return m_history; }
    const History& history() const { return m_history; }
    // Undo and redo the last step; false when there is none.
    bool undo();
    bool redo();
    // A step begins before a command changes the document and ends after it; when
    // something changed, the step is kept under its name. Steps nest (the outer one counts).
    // Steps with the same merge key that follow each other become one (a slider's moves).
    class Step {
      public:
        Step(Document& document, std::string name, std::string mergeKey = {});
        ~Step();
        Step(const Step&) = delete;
        Step& operator=(const Step&) = delete;

      private:
        Document& m_document;
        bool m_outer;
    };
    // While composition is held (nested holds count), commands do not compose the scene
    // picture; the last release composes it once (a scene built from many commands).
    void holdComposition() { m_scene.holdComposition(); }
    void releaseComposition() { m_scene.releaseComposition(); }
    // Replaces the whole state, its view included (opening a scene file); the history
    // starts anew and the document counts as saved.
    void load(DocumentState state);
    // Whether the document changed since it was last opened or saved (markSaved).
    bool modified() const { return m_history.stateNumber() != m_savedNumber; }
    void markSaved() { m_savedNumber = m_history.stateNumber(); }

    // ---- start-up ----------------------------------------------------------------
    // The window is shown: no layers, a white 600 x 450 background. Not a step.
    void windowShown();

    // ---- adding pictures ---------------------------------------------------------
    // With ShapeOfPicture::Kept, a picture read with see-through parts (a PNG, an icon)
    // keeps its shape as a layer (LayerSlot::ownShape): its alpha multiplies what the
    // mask and transparency give, and a pixel of alpha 0 becomes CutoutColor, which no
    // mask or transparency makes visible again. Ignored: the picture is made opaque.
    enum class ShapeOfPicture { Ignored, Kept };
    // "Open a new foreground": picture = what the reader gave (taken; empty when the file
    // is missing or unreadable). Returns the message to show (fileName + " is not a valid
    // format") or "".
    std::string openForeground(TBitmap32 picture, const std::string& fileName,
                               ShapeOfPicture shape = ShapeOfPicture::Ignored);
    // Foreground browser double-click on a thumbnail (same test, browser variant).
    std::string browserForeground(TBitmap32 picture, const std::string& fileName,
                                  ShapeOfPicture shape = ShapeOfPicture::Ignored);
    // Any double-click in the foreground browser first enables the tool-bar button.
    void foregroundBrowserDoubleClicked();
    // "Set me as foreground" from the sketch-list: sketch i (1..count) becomes a layer.
    // Returns the new slot, 0 when i names no sketch.
    int sketchListForeground(int i);
    // The plain sequence, as "Open a new foreground" after its test. Returns the slot.
    int addForegroundLayer(TBitmap32 picture, ShapeOfPicture shape = ShapeOfPicture::Ignored);
    // "Open a new background": the test, then setBackgroundPicture.
    std::string openBackground(TBitmap32 picture, const std::string& fileName);
    // Background browser double-click: the same readability test.
    std::string browserBackground(TBitmap32 picture, const std::string& fileName);
    // The sequence itself, without a test. A chosen frame is fitted to the new size.
    void setBackgroundPicture(TBitmap32 picture);
    // File "Publish": "You have no work to publish, please do." without a background.
    std::string publish() const;

    // ---- transparency controls ---------------------------------------------------
    void setTransparentChecked(bool checked);
    void setTransparenceSlider(int position);

    // ---- the layer panel -----------------------------------------------------------
    // A press on the list area: slot = the thumbnail pressed, 0 = the bare list area.
    // Returns true when the layer menu ("Delete") pops up.
    bool layerPanelPress(int slot, bool rightButton);
    void upTheLayer();
    void downTheLayer();
    // "Delete" and "Delete me": hides PanelLayer.
    void deleteLayer();
    void UpandDownCan(int p);
    void swiftlayer(int a, int b);
    void adjustlayer(int a, int b);

    // ---- the canvas ------------------------------------------------------------------
    // A release on a handle selects the pointed layer (not a step by itself).
    void selectPointedLayer();
    // A release over the scene image: the layers lose their selection marks; a right
    // release also disables the canvas menu's layer items.
    void releasedOnSceneImage(bool rightButton);
    // A drag that moved the handle of slot from `before` (canvas coordinates) ends: one step.
    void layerMoved(int slot, const Rect& before);
    // Resizes layer L to its handle's displayed size (after a resize drag); one step.
    // Returns a message when the new size cannot be held (the handle is put back).
    std::string resizeLayerToHandle(int L, const Rect& before);
    // Places layer slot at (x, y) in scene pixels (its handle moves there). One step.
    void moveLayerTo(int slot, int x, int y);

    // ---- zoom (a view change: no step) -------------------------------------------------
    void imgzoomin();
    void imgzoomout();

    // ---- sizes and rotation ----------------------------------------------------------
    // The picture size dialog's foreground step: resamples layer `slot` (carrier,
    // ForeOriginal, ForeWork) by (fx, fy) (new size = Trunc(size * factor)), sizes its
    // handle, derives the layer's alpha again (its mask at the new size), composes and
    // marks it. Changes nothing and returns kPictureTooLarge or kPictureTooSmall when a
    // picture of the layer would pass the size limit or come out 0 wide or high (an
    // empty picture stays empty).
    std::string resizeLayerBy(int slot, long double fx, long double fy);
    // The picture size dialog's background step: resamples BackOriginal and BackWork by
    // (fx, fy), sizes imgbg, derives the current layer's alpha, composes. Layers keep
    // their pictures and places. Refuses as resizeLayerBy does.
    std::string resizeBackgroundBy(long double fx, long double fy);
    // "Rotate the foreground" (and Enter in the angle box) with the box's text, on the
    // panel layer.
    CommandReply rotate(std::string_view angleText);
    // Turns layer slot by whole degrees as the rotate command does: the handle grows and
    // moves so the layer stays centred, every other marker is erased. "" or kPictureTooLarge.
    std::string rotateLayer(int slot, int degrees);

    // ---- effects ------------------------------------------------------------------------
    // An effect page's radio button becomes the selected one. Nothing when it was selected
    // already; else "Have no foreground!" / "Have no background!" without one; else the
    // effect's dialog opens (the reply names it) or, for an in-window effect, it runs.
    CommandReply chooseEffect(const EffectDescription& effect);
    // Makes the effect's button the selected one of its page and nothing else: the choice
    // that chooseEffect records before it runs the effect.
    void recordChoice(const EffectDescription& effect);
    // Runs the effect with these settings on the current layer (a foreground effect) or
    // the background, as an in-window effect runs: one step. The result replaces ForeWork
    // (RefreshLayer follows) or BackWork. Work that computed the result already (a dialog,
    // a worker thread) hands it over as `result` (the bytes the settings give), taken as it
    // is: a 100-megapixel picture is not copied on the window's thread.
    CommandReply applyEffect(const EffectDescription& effect, const EffectSettings& settings,
                             std::optional<SharedPicture> result = std::nullopt);
    // A preview dialog or kernel dialog was closed by "OK" (or its close box): the status
    // label shows the effect's name.
    void dialogClosed(const EffectDescription& effect);
    // The remove button: ForeWork := ForeOriginal, "Foreground effect removed.".
    CommandReply removeForegroundEffect();
    // "Restore the background": BackWork := BackOriginal.
    CommandReply restoreBackground();
    // The current layer's untouched picture, for a dialog to start from (nullptr: none).
    const TBitmap32* currentOriginal() const;

    // ---- masks and frames --------------------------------------------------------------
    CommandReply chooseMask(int k);
    // A mask picture of the layer's own (a file the command line names) on the current layer.
    CommandReply chooseOwnMask(const TBitmap32& mask);
    CommandReply removeMask();
    // Choosing a frame: the picture read from the frame file (an empty one changes
    // nothing: the file could not be read).
    CommandReply chooseFrame(const TBitmap32& framePicture);
    CommandReply removeFrame();

    // ---- the sketch-list and the album-list ------------------------------------------
    // "Add me into sketch-list": ForeWork of a visible layer. Returns the new index, 0 when
    // nothing was added.
    int addSketch(int slot);
    // "Add scene into album-list": the composed scene. Returns the new index or 0.
    int addSceneToAlbum();
    bool deleteSelectedSketch();
    bool deleteSelectedAlbumScene();
    // Selection and indent of the lists (view changes: not steps).
    SketchList& sketchesForSelection() { return m_state.sketches; }
    AlbumList& albumsForSelection() { return m_state.albums; }

  private:
    friend class Step;
    void beginStep(std::string name, std::string mergeKey);
    void endStep();
    void restore(const DocumentState& state);
    const MaskLibrary& libraryMasks() const { return m_masks; }
    const TBitmap32* maskPicture(int k) const;

    void loadTransparencyFrom(int i);
    void markOnly(int i);
    void clearAllMarks();
    // picture: the new layer's untouched picture (taken); ownShape: its alpha is the
    // layer's own shape (see takeOwnShape), else it is made opaque.
    int addForegroundCommon(TBitmap32 picture, bool ownShape);
    void enableSelectedLayerControls();
    void moveLayerBy(int step);
    void zoomStep(long double f);
    void selectEntry(int slot) { m_state.selectedEntry = slot; }
    void fitFrame();
    std::optional<AppliedEffect>& effectOf(int slot);
    // The background or the frame changed: the scene is composed again.
    void composeAfterBackgroundOrFrame();
    CommandReply runOnLayer(const EffectDescription& effect, const EffectSettings& settings,
                            std::optional<SharedPicture> result);
    CommandReply runOnBackground(const EffectDescription& effect, const EffectSettings& settings,
                                 std::optional<SharedPicture> result);

    const MaskLibrary& m_masks;
    ProgramRandom& m_random;
    Scene m_scene;
    // The rest of the state; its `scene` is unused while the document lives (m_scene holds it).
    DocumentState m_state;
    std::string m_zoomLabel = "100%";
    History m_history;
    // The step being made: the state before it (taken when the outer step begins).
    int m_stepDepth = 0;
    std::optional<DocumentState> m_before;
    std::string m_stepName, m_stepKey;
    std::uint64_t m_savedNumber = 0;
};

} // namespace quill
