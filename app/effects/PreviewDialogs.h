#pragma once

// The four preview dialogs of the photo effects: Pencil Sketch, Pen Sketch, Pen & Ink
// and Kryptol. Each is made once and afterwards only shown and hidden, so its controls
// keep their values. While open it holds its base pictures, made from the layer's
// untouched picture when it opens and freed when it closes; slider previews are computed
// on a worker thread for the newest position only. "OK" hands back the full-size result
// for the final control values.

#include "app/effects/EffectsSupport.h"
#include "effects/PencilSketch.h"
#include "workspace/EffectCatalogue.h"
#include "workspace/EffectDialogs.h"

#include <QDialog>

#include <functional>
#include <memory>

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
    std::function<void(const EffectSettings&, const TBitmap32&)> onHandBack;
    // After closing, by "OK" or by the close box.
    std::function<void()> onClosed;

    // Shows the dialog on the layer's untouched picture. Throws (and stays closed) when
    // the base pictures cannot be held.
    void open(const TBitmap32& original);
    bool isOpen() const { return m_open; }

    QLabel* previewLabel() const { return m_preview; }
    QPushButton* okButton() const { return m_ok; }
    LiveRenderer& renderer() { return m_renderer; }
    // Waits until the newest preview has been computed and shown (for tests and scripts).
    void settle();

  protected:
    // Makes the base pictures from the untouched picture.
    virtual void makeBases(const TBitmap32& original) = 0;
    virtual void freeBases() = 0;
    // The full result for the controls' present values.
    virtual LiveRenderer::Job currentJob() const = 0;
    // The controls' present values as the effect's settings.
    virtual EffectSettings currentSettings() const = 0;
    // The first preview after opening; by default the current job.
    virtual void firstPreview() { refresh(); }
    // The result "OK" hands back.
    virtual TBitmap32 finalPicture();

    void refresh();
    void showPicture(const QImage& image);
    void showNow(const TBitmap32& picture);

    void done(int r) override;

  private:
    void okClicked();
    void finish();

    const EffectDescription& m_effect;
    QWidget* m_area = nullptr;
    QLabel* m_preview = nullptr;
    QPushButton* m_ok = nullptr;
    bool m_open = false;
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
    void makeBases(const TBitmap32& original) override;
    void freeBases() override;
    LiveRenderer::Job currentJob() const override;
    EffectSettings currentSettings() const override;

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
    void makeBases(const TBitmap32& original) override;
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
// directions. The strokes change the preview picture in place; every threshold (a new
// direction, "Hollow out", opening) discards them.
class TKryptol : public PreviewDialog {
    Q_OBJECT
  public:
    TKryptol();

    QRadioButton* Direction[4] = {};
    QToolButton* SpeedButton1 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    int KryptolDirection = 1;
    const TBitmap32& previewPicture() const { return m_picture; }
    bool holdsBases() const { return bool(EdgeBase); }

  protected:
    void makeBases(const TBitmap32& original) override;
    void freeBases() override;
    LiveRenderer::Job currentJob() const override;
    EffectSettings currentSettings() const override;
    void firstPreview() override;
    TBitmap32 finalPicture() override { return m_picture; }

  private:
    void threshold();
    void pen();

    std::shared_ptr<const TBitmap32> EdgeBase;
    TBitmap32 m_picture;
    int m_strokes = 0; // pen strokes since the last threshold
};

} // namespace quill::app::effects
