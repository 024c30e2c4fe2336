#pragma once

// The four preview dialogs of the photo effects: Pencil Sketch, Pen Sketch, Pen & Ink
// and Kryptol. Each is made once and afterwards only shown and hidden, so its controls
// keep their values. While open it holds its base pictures, made from the layer's
// untouched picture on the worker thread when it opens and freed when it closes; until
// they are made, and while a preview is computed, the dialog says "Computing preview…".
// Slider previews are computed on a worker thread for the newest position only. "OK"
// hands back the full-size result for the final control values.

#include "app/LongWork.h"
#include "app/effects/EffectsSupport.h"
#include "effects/PencilSketch.h"
#include "imaging/SharedPicture.h"
#include "workspace/EffectCatalogue.h"
#include "workspace/EffectDialogs.h"

#include <QDialog>

#include <functional>
#include <memory>
#include <vector>

class QCheckBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSlider;
class QToolButton;

namespace quill::app::effects {

class PreviewDialog : public QDialog {
    Q_OBJECT
  public:
    // effect: the catalogue's effect the dialog sets up (its caption, its parameters).
    PreviewDialog(const EffectDescription& effect, QSize size);

    const EffectDescription& effect() const { return m_effect; }
    // "OK": the settings of the controls and the full-size result they give, for the host
    // to hand back.
    std::function<void(const EffectSettings&, SharedPicture)> onHandBack;
    // After closing, by "OK" or by the close box.
    std::function<void()> onClosed;
    // The base pictures could not be held: the dialog closed again (onClosed not called).
    std::function<void()> onFailed;
    // The work the dialog's base pictures, its Kryptol strokes and its "OK" run through.
    void setLongWork(LongWork& work) { m_work = &work; }

    // Shows the dialog for the layer's untouched picture; the base pictures follow from
    // the worker, then the first preview.
    void open(const SharedPicture& original);
    bool isOpen() const { return m_open; }
    // Whether the base pictures are there (the controls act on the preview).
    bool ready() const { return m_ready; }

    QLabel* previewLabel() const { return m_preview; }
    // "Computing preview…", shown over the preview while one is being computed.
    QLabel* computingLabel() const { return m_computing; }
    QPushButton* okButton() const { return m_ok; }
    LiveRenderer& renderer() { return m_renderer; }

  protected:
    using Bases = std::vector<std::shared_ptr<const TBitmap32>>;
    // The base pictures from the untouched picture. Runs on the worker: it reads no control.
    virtual Bases makeBases(const TBitmap32& original) const = 0;
    virtual void takeBases(Bases bases) = 0;
    virtual void freeBases() = 0;
    // The full result for the controls' present values.
    virtual LiveRenderer::Job currentJob() const = 0;
    // The controls' present values as the effect's settings.
    virtual EffectSettings currentSettings() const = 0;
    // The dialog opens (its controls keep their values).
    virtual void opened() {}
    // The first preview after the base pictures; by default the current job.
    virtual void firstPreview() { refresh(); }

    // Asks for the preview of the controls' present values (nothing before the bases).
    void refresh();
    // Queues a computation of the preview: `prepare` gives the job when its turn comes
    // (empty: none); its picture goes to `take` unless the dialog has closed or opened
    // anew since.
    void queuePreviewWork(std::function<LiveRenderer::Job()> prepare,
                          std::function<void(TBitmap32)> take);
    void showPicture(const QImage& image);
    void showNow(const TBitmap32& picture);

    void done(int r) override;

  private:
    void okClicked();
    void finish();
    void basesFailed();
    void showComputing();

    const EffectDescription& m_effect;
    QWidget* m_area = nullptr;
    QLabel* m_preview = nullptr;
    QLabel* m_computing = nullptr;
    QPushButton* m_ok = nullptr;
    LongWork* m_work = nullptr;
    bool m_open = false;
    bool m_ready = false;
    // Each opening counts one up: work queued for an earlier one finds its result stale.
    int m_opening = 0;
    int m_queuedWork = 0;        // preview work queued for this opening, not yet taken
    bool m_previewWaits = false; // the renderer computes a preview newer than the one shown
    LiveRenderer m_renderer;
};

// A slider with its caption at the left and its value label at the right; its range and
// starting position are those of the effect's parameter.
QSlider* addSlider(QWidget* parent, const QString& caption, int top,
                   const EffectParameter& parameter, QLabel*& valueLabel, const QString& startText);

// Pencil Sketch: the grey edge sketch, with a lighting and a contrast slider; only the
// slider moved last acts.
class TBack_and_White_Sketch : public PreviewDialog {
    Q_OBJECT
  public:
    TBack_and_White_Sketch();

    QSlider* TrackBar1 = nullptr; // contrast
    QSlider* TrackBar2 = nullptr; // lighting
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    bool holdsBases() const { return EdgeBase || GreyBase; }

  protected:
    Bases makeBases(const TBitmap32& original) const override;
    void takeBases(Bases bases) override;
    void freeBases() override;
    LiveRenderer::Job currentJob() const override;
    EffectSettings currentSettings() const override;
    // Only a slider moved after opening acts.
    void opened() override;

  private:
    std::shared_ptr<const TBitmap32> EdgeBase;
    std::shared_ptr<const TBitmap32> GreyBase;
    PencilSketchParams::Slider m_last = PencilSketchParams::Slider::None;
};

// Pen Sketch and Pen & Ink: a base picture cut at the slider's threshold, optionally
// hollowed out. One class serves both; its Setup gives each its texts, slider range and
// start, and the arithmetic.
class ThresholdDialog : public PreviewDialog {
    Q_OBJECT
  public:
    struct Setup {
        const EffectDescription* effect = nullptr;
        QSize size;
        QString sliderCaption;
        const EffectParameter* slider = nullptr; // the parameter the slider sets
        // The base picture, made once per opening from the untouched picture.
        std::function<TBitmap32(const TBitmap32& original)> makeBase;
        // The result for the base at a threshold, hollowed out or not.
        std::function<TBitmap32(const TBitmap32& base, int threshold, bool hollow)> render;
    };
    // Pen Sketch: the edge sketch (picsobel) cut at the pen pressure.
    static Setup penSketch();
    // Pen & Ink: the photograph itself cut at the threshold (InkBase is made afresh from
    // the untouched picture for every computation), black areas cleared inside.
    static Setup penAndInk();

    explicit ThresholdDialog(Setup setup);

    QSlider* TrackBar1 = nullptr;
    QLabel* Label9 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    bool holdsBases() const { return bool(m_base); }

  protected:
    Bases makeBases(const TBitmap32& original) const override;
    void takeBases(Bases bases) override;
    void freeBases() override;
    LiveRenderer::Job currentJob() const override;
    EffectSettings currentSettings() const override;

  private:
    Setup m_setup;
    std::shared_ptr<const TBitmap32> m_base;
};

// The two dialogs by the names the rest of the program knows them by.
using TPen_Sketch = ThresholdDialog;
using TPen_and_Ink = ThresholdDialog;

// Kryptol: the pen sketch at a fixed pressure, thickened by pen strokes along one of four
// directions. Each stroke thickens the preview picture as it stands; every threshold (a
// new direction, "Hollow out", opening) discards the strokes. Both are computed on the
// worker, one after another in the order they were asked for.
class TKryptol : public PreviewDialog {
    Q_OBJECT
  public:
    TKryptol();

    QRadioButton* Direction[4] = {};
    QToolButton* SpeedButton1 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    int KryptolDirection = 1;
    const TBitmap32& previewPicture() const;
    bool holdsBases() const { return bool(EdgeBase); }

  protected:
    Bases makeBases(const TBitmap32& original) const override;
    void takeBases(Bases bases) override;
    void freeBases() override;
    LiveRenderer::Job currentJob() const override;
    EffectSettings currentSettings() const override;
    void firstPreview() override;

  private:
    void threshold();
    void pen();
    void showStrokes(TBitmap32 picture, int strokes);

    std::shared_ptr<const TBitmap32> EdgeBase;
    std::shared_ptr<const TBitmap32> m_picture;
    int m_strokes = 0; // pen strokes since the last threshold
};

} // namespace quill::app::effects
