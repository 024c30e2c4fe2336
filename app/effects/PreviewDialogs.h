#pragma once

// The four preview dialogs of the photo effects: Pencil Sketch, Pen Sketch, Pen & Ink
// and Kryptol. Each is made once and afterwards only shown and hidden, so its controls
// keep their values. While open it holds its base pictures, made from the layer's
// untouched picture when it opens and freed when it closes; slider previews are computed
// on a worker thread for the newest position only. "OK" hands back the full-size result
// for the final control values.

#include "app/effects/EffectsSupport.h"
#include "collections/EffectCommands.h"
#include "effects/EdgeSketch.h"
#include "effects/Kryptol.h"
#include "effects/PenAndInk.h"
#include "effects/PenSketch.h"
#include "effects/PencilSketch.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QToolButton>

#include <functional>
#include <memory>

namespace quill::app::effects {

class PreviewDialog : public QDialog {
  public:
    PreviewDialog(ForegroundEffect effect, const QString& caption, QSize size) : m_effect(effect) {
        setWindowTitle(caption);
        setObjectName(caption);
        setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                       Qt::WindowStaysOnTopHint);
        setFixedSize(size);
        m_area = new QWidget(this);
        m_area->setGeometry(6, 4, kPreviewAreaWidth, kPreviewAreaHeight);
        m_preview = new QLabel(m_area);
        m_preview->setObjectName(QStringLiteral("Image1"));
        m_preview->setGeometry(0, 0, kPreviewAreaWidth, kPreviewAreaHeight);
        m_ok = new QPushButton(QStringLiteral("OK"), this);
        m_ok->setObjectName(QStringLiteral("Button1"));
        m_ok->setGeometry(size.width() - 90, size.height() - 38, 75, 28);
        connect(m_ok, &QPushButton::clicked, this, [this] { okClicked(); });
        m_renderer.onReady = [this](const LiveRenderer::Result& r) {
            if (m_open)
                showPicture(r.shown);
        };
    }

    ForegroundEffect effect() const { return m_effect; }
    // "OK": the full-size result for the host to hand back.
    std::function<void(const TBitmap32&)> onHandBack;
    // After closing, by "OK" or by the close box.
    std::function<void()> onClosed;

    // Shows the dialog on the layer's untouched picture.
    void open(const TBitmap32& original) {
        {
            BusyCursor busy;
            m_preview->setPixmap(QPixmap::fromImage(previewImage(original, m_area->size())));
            m_open = true;
            try {
                makeBases(original);
            } catch (...) {
                // Not enough memory for the base pictures: the dialog stays closed.
                m_open = false;
                freeBases();
                m_preview->clear();
                throw;
            }
            const Rect fit = fitPreview(original.width(), original.height());
            m_preview->setGeometry(fit.left, fit.top, fit.width, fit.height);
            m_renderer.setShownSize(QSize(fit.width, fit.height));
            firstPreview();
        }
        show();
        raise();
    }
    bool isOpen() const { return m_open; }

    QLabel* previewLabel() const { return m_preview; }
    QPushButton* okButton() const { return m_ok; }
    LiveRenderer& renderer() { return m_renderer; }
    // Waits until the newest preview has been computed and shown (for tests and scripts).
    void settle() {
        m_renderer.finalResult([] { return TBitmap32(); });
        QCoreApplication::processEvents();
    }

  protected:
    // Makes the base pictures from the untouched picture.
    virtual void makeBases(const TBitmap32& original) = 0;
    virtual void freeBases() = 0;
    // The full result for the controls' present values.
    virtual LiveRenderer::Job currentJob() const = 0;
    // The first preview after opening; by default the current job.
    virtual void firstPreview() { refresh(); }
    // The result "OK" hands back.
    virtual TBitmap32 finalPicture() { return m_renderer.finalResult(currentJob()); }

    void refresh() {
        if (m_open)
            m_renderer.request(currentJob());
    }
    void showPicture(const QImage& image) { m_preview->setPixmap(QPixmap::fromImage(image)); }
    void showNow(const TBitmap32& picture) {
        showPicture(previewImage(picture, m_preview->size()));
    }

    void done(int r) override {
        if (m_open)
            finish();
        QDialog::done(r);
    }

  private:
    void okClicked() {
        if (!m_open)
            return;
        TBitmap32 result;
        {
            BusyCursor busy;
            result = finalPicture();
        }
        if (onHandBack && !result.empty())
            onHandBack(result);
        accept();
    }
    void finish() {
        m_open = false;
        m_renderer.reset();
        freeBases();
        m_preview->clear();
        m_preview->setGeometry(0, 0, kPreviewAreaWidth, kPreviewAreaHeight);
        if (onClosed)
            onClosed();
    }

    ForegroundEffect m_effect;
    QWidget* m_area = nullptr;
    QLabel* m_preview = nullptr;
    QPushButton* m_ok = nullptr;
    bool m_open = false;
    LiveRenderer m_renderer;
};

// A slider with its caption at the left and its value label at the right.
inline QSlider* addSlider(QWidget* parent, const QString& caption, int top, int max, int start,
                          QLabel*& valueLabel, const QString& startText) {
    auto* label = new QLabel(caption, parent);
    label->setGeometry(12, top, 90, 24);
    auto* slider = new QSlider(Qt::Horizontal, parent);
    slider->setRange(0, max);
    slider->setValue(start);
    slider->setGeometry(104, top, 330, 24);
    valueLabel = new QLabel(startText, parent);
    valueLabel->setGeometry(442, top, 40, 24);
    return slider;
}

// Pencil Sketch: the grey edge sketch, with a lighting and a contrast slider; only the
// slider moved last acts.
class TBack_and_White_Sketch : public PreviewDialog {
  public:
    TBack_and_White_Sketch()
        : PreviewDialog(ForegroundEffect::PencilSketch, QStringLiteral("Pencil_Sketch"),
                        {549, 600}) {
        TrackBar1 = addSlider(this, QStringLiteral("Contrast:"), 500, kContrastMax, kContrastStart,
                              Label4, QStringLiteral("50"));
        TrackBar1->setObjectName(QStringLiteral("TrackBar1"));
        TrackBar2 = addSlider(this, QStringLiteral("Lighting:"), 530, kLightingMax, kLightingStart,
                              Label3, QStringLiteral("50"));
        TrackBar2->setObjectName(QStringLiteral("TrackBar2"));
        connect(TrackBar1, &QSlider::valueChanged, this, [this](int p) {
            Label4->setText(QString::number(contrastLabel(p)));
            m_last = PencilSketchParams::Slider::Contrast;
            refresh();
        });
        connect(TrackBar2, &QSlider::valueChanged, this, [this](int p) {
            Label3->setText(QString::number(lightingLabel(p)));
            m_last = PencilSketchParams::Slider::Lighting;
            refresh();
        });
    }

    QSlider* TrackBar1 = nullptr; // contrast
    QSlider* TrackBar2 = nullptr; // lighting
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    bool holdsBases() const { return EdgeBase || GreyBase; }

  protected:
    void makeBases(const TBitmap32& original) override {
        auto edge = std::make_shared<TBitmap32>(original);
        picsobel(*edge);
        EdgeBase = edge;
        GreyBase = std::make_shared<const TBitmap32>(pencilGreyBase(*edge));
        m_last = PencilSketchParams::Slider::None;
    }
    void freeBases() override {
        EdgeBase.reset();
        GreyBase.reset();
    }
    LiveRenderer::Job currentJob() const override {
        switch (m_last) {
        case PencilSketchParams::Slider::Lighting:
            return [edge = EdgeBase, p = TrackBar2->value()] { return pencilLighting(*edge, p); };
        case PencilSketchParams::Slider::Contrast:
            return [grey = GreyBase, p = TrackBar1->value()] { return pencilContrast(*grey, p); };
        default:
            return [grey = GreyBase] { return *grey; };
        }
    }

  private:
    std::shared_ptr<const TBitmap32> EdgeBase;
    std::shared_ptr<const TBitmap32> GreyBase;
    PencilSketchParams::Slider m_last = PencilSketchParams::Slider::None;
};

// Pen Sketch: the edge sketch cut at the pen pressure, optionally hollowed out.
class TPen_Sketch : public PreviewDialog {
  public:
    TPen_Sketch()
        : PreviewDialog(ForegroundEffect::PenSketch, QStringLiteral("Pen_Sketch"), {549, 602}) {
        TrackBar1 = addSlider(this, QStringLiteral("Pen Pressure:"), 505, 255, 128, Label9,
                              QStringLiteral("128"));
        TrackBar1->setObjectName(QStringLiteral("TrackBar1"));
        CheckBox1 = new QCheckBox(QStringLiteral("Hollow out"), this);
        CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
        CheckBox1->setGeometry(12, 540, 120, 24);
        connect(TrackBar1, &QSlider::valueChanged, this, [this](int p) {
            refresh();
            Label9->setText(QString::number(p));
        });
        connect(CheckBox1, &QCheckBox::toggled, this, [this] { refresh(); });
    }

    QSlider* TrackBar1 = nullptr;
    QLabel* Label9 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    bool holdsBases() const { return bool(EdgeBase); }

  protected:
    void makeBases(const TBitmap32& original) override {
        auto edge = std::make_shared<TBitmap32>(original);
        picsobel(*edge);
        EdgeBase = edge;
    }
    void freeBases() override { EdgeBase.reset(); }
    LiveRenderer::Job currentJob() const override {
        return [edge = EdgeBase,
                params = PenSketchParams{TrackBar1->value(), CheckBox1->isChecked()}] {
            return penSketchThreshold(*edge, params);
        };
    }

  private:
    std::shared_ptr<const TBitmap32> EdgeBase;
};

// Pen & Ink: the photograph cut at a threshold, the inside of every black area cleared.
class TPen_and_Ink : public PreviewDialog {
  public:
    TPen_and_Ink()
        : PreviewDialog(ForegroundEffect::PenAndInk, QStringLiteral("Pen_and_Ink"), {551, 604}) {
        TrackBar1 = addSlider(this, QStringLiteral("Adjust thread:"), 505, 255, 128, Label9,
                              QStringLiteral("128"));
        TrackBar1->setObjectName(QStringLiteral("TrackBar1"));
        CheckBox1 = new QCheckBox(QStringLiteral("Hollow out"), this);
        CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
        CheckBox1->setGeometry(12, 540, 120, 24);
        connect(TrackBar1, &QSlider::valueChanged, this, [this](int p) {
            refresh();
            Label9->setText(QString::number(p));
        });
        connect(CheckBox1, &QCheckBox::toggled, this, [this] { refresh(); });
    }

    QSlider* TrackBar1 = nullptr;
    QLabel* Label9 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    bool holdsBases() const { return bool(m_original); }

  protected:
    // InkBase is made afresh from the untouched picture for every computation, so the
    // dialog keeps that picture while it is open.
    void makeBases(const TBitmap32& original) override {
        m_original = std::make_shared<const TBitmap32>(original);
    }
    void freeBases() override { m_original.reset(); }
    LiveRenderer::Job currentJob() const override {
        return [original = m_original,
                params = PenAndInkParams{TrackBar1->value(), CheckBox1->isChecked()}] {
            TBitmap32 InkBase = *original;
            PictureTwoValue(InkBase, params);
            return penandink(InkBase, params.hollow);
        };
    }

  private:
    std::shared_ptr<const TBitmap32> m_original;
};

// Kryptol: the pen sketch at a fixed pressure, thickened by pen strokes along one of four
// directions. The strokes change the preview picture in place; every threshold (a new
// direction, "Hollow out", opening) discards them.
class TKryptol : public PreviewDialog {
  public:
    TKryptol() : PreviewDialog(ForegroundEffect::Kryptol, QStringLiteral("Kryptol"), {552, 613}) {
        const char* captions[4] = {"///", "\\\\\\", "| | |", "=="};
        for (int d = 0; d < 4; ++d) {
            Direction[d] = new QRadioButton(QString::fromLatin1(captions[d]), this);
            Direction[d]->setObjectName(QStringLiteral("RadioButton%1").arg(d + 1));
            Direction[d]->setGeometry(12 + 70 * d, 505, 64, 24);
            connect(Direction[d], &QRadioButton::toggled, this, [this, d](bool on) {
                if (!on)
                    return;
                KryptolDirection = d + 1;
                threshold();
            });
        }
        Direction[0]->setChecked(true);
        SpeedButton1 = new QToolButton(this);
        SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
        SpeedButton1->setText(QStringLiteral("\u270E"));
        SpeedButton1->setToolTip(QStringLiteral("Kryptol pen"));
        SpeedButton1->setGeometry(300, 503, 32, 28);
        connect(SpeedButton1, &QToolButton::clicked, this, [this] { pen(); });
        CheckBox1 = new QCheckBox(QStringLiteral("Hollow out"), this);
        CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
        CheckBox1->setGeometry(12, 545, 120, 24);
        connect(CheckBox1, &QCheckBox::toggled, this, [this] { threshold(); });
    }

    QRadioButton* Direction[4] = {};
    QToolButton* SpeedButton1 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    int KryptolDirection = 1;
    const TBitmap32& previewPicture() const { return m_picture; }
    bool holdsBases() const { return bool(EdgeBase); }

  protected:
    void makeBases(const TBitmap32& original) override {
        auto edge = std::make_shared<TBitmap32>(original);
        picsobel(*edge);
        EdgeBase = edge;
    }
    void freeBases() override {
        EdgeBase.reset();
        m_picture = TBitmap32();
    }
    LiveRenderer::Job currentJob() const override {
        return [picture = m_picture] { return picture; };
    }
    void firstPreview() override {
        threshold();
        const QSignalBlocker block(Direction[0]);
        for (QRadioButton* b : Direction) {
            const QSignalBlocker blockOne(b);
            b->setChecked(b == Direction[0]);
        }
        KryptolDirection = 1;
    }
    TBitmap32 finalPicture() override { return m_picture; }

  private:
    void threshold() {
        if (!isOpen())
            return;
        BusyCursor busy;
        m_picture = penSketchThreshold(*EdgeBase,
                                       PenSketchParams{kKryptolPressure, CheckBox1->isChecked()});
        showNow(m_picture);
    }
    void pen() {
        if (!isOpen())
            return;
        BusyCursor busy;
        BitmapDilate(m_picture, KryptolDirection);
        showNow(m_picture);
    }

    std::shared_ptr<const TBitmap32> EdgeBase;
    TBitmap32 m_picture;
};

} // namespace quill::app::effects
