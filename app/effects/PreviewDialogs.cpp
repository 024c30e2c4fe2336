#include "app/effects/PreviewDialogs.h"

#include "app/Icons.h"
#include "effects/EdgeSketch.h"
#include "effects/Kryptol.h"
#include "effects/PenAndInk.h"
#include "effects/PenSketch.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QToolButton>

#include <new>
#include <utility>

namespace quill::app::effects {

// ---- PreviewDialog ------------------------------------------------------------------------

PreviewDialog::PreviewDialog(const EffectDescription& effect, QSize size) : m_effect(effect) {
    const QString caption = QString::fromStdString(effect.dialogCaption);
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
    m_computing = new QLabel(QStringLiteral("Computing preview\u2026"), m_area);
    m_computing->setObjectName(QStringLiteral("ComputingPreview"));
    m_computing->setAlignment(Qt::AlignCenter);
    m_computing->setAutoFillBackground(true);
    m_computing->setFrameShape(QFrame::StyledPanel);
    m_computing->adjustSize();
    m_computing->resize(m_computing->width() + 24, m_computing->height() + 12);
    m_computing->move((kPreviewAreaWidth - m_computing->width()) / 2, 8);
    m_computing->hide();
    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QStringLiteral("Button1"));
    m_ok->setGeometry(size.width() - 90, size.height() - 38, 75, 28);
    connect(m_ok, &QPushButton::clicked, this, [this] { okClicked(); });
    m_renderer.onReady = [this](const LiveRenderer::Result& r) {
        if (!m_open)
            return;
        showPicture(r.shown);
        if (m_renderer.isNewest(r.id)) {
            m_previewWaits = false;
            showComputing();
        }
    };
}

void PreviewDialog::open(const SharedPicture& original) {
    opened();
    ++m_opening;
    m_open = true;
    m_ready = false;
    m_queuedWork = 1; // the base pictures
    m_previewWaits = false;
    // Nothing is shown before the first preview: the untouched picture is not the effect.
    m_preview->clear();
    const Rect fit = fitPreview(original->width(), original->height());
    m_preview->setGeometry(fit.left, fit.top, fit.width, fit.height);
    m_renderer.setShownSize(QSize(fit.width, fit.height));
    showComputing();
    show();
    raise();
    const int opening = m_opening;
    m_work->runWork(
        QString::fromStdString(m_effect.caption),
        [this, opening, original]() -> LongWork::Finish {
            std::shared_ptr<Bases> bases;
            try {
                bases = std::make_shared<Bases>(makeBases(*original));
            } catch (const std::bad_alloc&) {
                return [this, opening] {
                    if (opening == m_opening && m_open)
                        basesFailed();
                };
            }
            return [this, opening, bases] {
                if (opening != m_opening || !m_open)
                    return; // closed, or opened anew, while they were made
                takeBases(std::move(*bases));
                m_ready = true;
                --m_queuedWork;
                firstPreview();
                showComputing();
            };
        },
        LongWork::Input::LetThrough);
}

void PreviewDialog::basesFailed() {
    m_open = false;
    ++m_opening;
    freeBases();
    m_preview->clear();
    m_computing->hide();
    hide();
    if (onFailed)
        onFailed();
}

void PreviewDialog::showComputing() {
    m_computing->setVisible(m_open && (m_queuedWork > 0 || m_previewWaits));
    m_computing->raise();
}

void PreviewDialog::refresh() {
    if (!m_open || !m_ready)
        return; // the first preview follows the base pictures
    m_renderer.request(currentJob());
    m_previewWaits = true;
    showComputing();
}

void PreviewDialog::queuePreviewWork(std::function<LiveRenderer::Job()> prepare,
                                     std::function<void(TBitmap32)> take) {
    const int opening = m_opening;
    ++m_queuedWork;
    showComputing();
    m_work->run(
        QString::fromStdString(m_effect.caption),
        [this, opening, prepare, take]() -> LongWork::Work {
            if (opening != m_opening)
                return {};
            LiveRenderer::Job job = prepare();
            if (!job) {
                --m_queuedWork;
                showComputing();
                return {};
            }
            return [this, opening, job, take]() -> LongWork::Finish {
                auto picture = std::make_shared<TBitmap32>(job());
                return [this, opening, picture, take] {
                    if (opening != m_opening || !m_open)
                        return;
                    --m_queuedWork;
                    take(std::move(*picture));
                    showComputing();
                };
            };
        },
        LongWork::Input::LetThrough); // the sliders keep moving meanwhile
}

void PreviewDialog::showPicture(const QImage& image) {
    m_preview->setPixmap(QPixmap::fromImage(image));
}

void PreviewDialog::showNow(const TBitmap32& picture) {
    showPicture(previewImage(picture, m_preview->size()));
}

void PreviewDialog::done(int r) {
    if (m_open)
        finish();
    QDialog::done(r);
}

void PreviewDialog::okClicked() {
    if (!m_open)
        return;
    // The settings and the picture are those of the controls once every earlier piece of
    // the dialog's work is done; the full-size picture is computed on the worker (or is
    // the newest preview, when that is finished already).
    const int opening = m_opening;
    m_work->run(QString::fromStdString(m_effect.caption), [this, opening]() -> LongWork::Work {
        if (opening != m_opening || !m_open || !m_ready)
            return {};
        const EffectSettings settings = currentSettings();
        return [this, opening, settings, job = currentJob()]() -> LongWork::Finish {
            auto result = std::make_shared<SharedPicture>(m_renderer.finalResult(job));
            return [this, opening, settings, result] {
                if (opening != m_opening || !m_open)
                    return; // closed by its close box meanwhile: nothing is handed back
                if (onHandBack && !(*result)->empty())
                    onHandBack(settings, std::move(*result));
                accept();
            };
        };
    });
}

void PreviewDialog::finish() {
    m_open = false;
    m_ready = false;
    ++m_opening;
    m_renderer.reset();
    freeBases();
    m_preview->clear();
    m_preview->setGeometry(0, 0, kPreviewAreaWidth, kPreviewAreaHeight);
    m_computing->hide();
    if (onClosed)
        onClosed();
}

QSlider* addSlider(QWidget* parent, const QString& caption, int top,
                   const EffectParameter& parameter, QLabel*& valueLabel,
                   const QString& startText) {
    auto* label = new QLabel(caption, parent);
    label->setGeometry(12, top, 90, 24);
    auto* slider = new QSlider(Qt::Horizontal, parent);
    slider->setObjectName(QString::fromStdString(parameter.control));
    slider->setRange(int(parameter.minimum), int(parameter.maximum));
    slider->setValue(int(parameter.defaultValue));
    slider->setGeometry(104, top, 330, 24);
    valueLabel = new QLabel(startText, parent);
    valueLabel->setGeometry(442, top, 40, 24);
    return slider;
}

// ---- Pencil Sketch --------------------------------------------------------------------------

TBack_and_White_Sketch::TBack_and_White_Sketch()
    : PreviewDialog(*findEffect("pencil-sketch"), {549, 600}) {
    TrackBar1 = addSlider(this, QStringLiteral("Contrast:"), 500, *effect().parameter("contrast"),
                          Label4, QStringLiteral("50"));
    TrackBar2 = addSlider(this, QStringLiteral("Lighting:"), 530, *effect().parameter("lighting"),
                          Label3, QStringLiteral("50"));
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

PreviewDialog::Bases TBack_and_White_Sketch::makeBases(const TBitmap32& original) const {
    auto edge = std::make_shared<TBitmap32>(original);
    picsobel(*edge);
    return {edge, std::make_shared<const TBitmap32>(pencilGreyBase(*edge))};
}

void TBack_and_White_Sketch::takeBases(Bases bases) {
    EdgeBase = std::move(bases[0]);
    GreyBase = std::move(bases[1]);
}

void TBack_and_White_Sketch::opened() {
    m_last = PencilSketchParams::Slider::None;
}

void TBack_and_White_Sketch::freeBases() {
    EdgeBase.reset();
    GreyBase.reset();
}

LiveRenderer::Job TBack_and_White_Sketch::currentJob() const {
    switch (m_last) {
    case PencilSketchParams::Slider::Lighting:
        return [edge = EdgeBase, p = TrackBar2->value()] { return pencilLighting(*edge, p); };
    case PencilSketchParams::Slider::Contrast:
        return [grey = GreyBase, p = TrackBar1->value()] { return pencilContrast(*grey, p); };
    default:
        return [grey = GreyBase] { return *grey; };
    }
}

EffectSettings TBack_and_White_Sketch::currentSettings() const {
    EffectSettings s;
    if (m_last == PencilSketchParams::Slider::Lighting)
        s.integers["lighting"] = TrackBar2->value();
    else if (m_last == PencilSketchParams::Slider::Contrast)
        s.integers["contrast"] = TrackBar1->value();
    return s;
}

// ---- Pen Sketch and Pen & Ink ----------------------------------------------------------------

ThresholdDialog::Setup ThresholdDialog::penSketch() {
    Setup s;
    s.effect = findEffect("pen-sketch");
    s.slider = s.effect->parameter("pressure");
    s.size = {549, 602};
    s.sliderCaption = QStringLiteral("Pen Pressure:");
    s.makeBase = [](const TBitmap32& original) {
        TBitmap32 edge = original;
        picsobel(edge);
        return edge;
    };
    s.render = [](const TBitmap32& edge, int threshold, bool hollow) {
        return penSketchThreshold(edge, PenSketchParams{threshold, hollow});
    };
    return s;
}

ThresholdDialog::Setup ThresholdDialog::penAndInk() {
    Setup s;
    s.effect = findEffect("pen-and-ink");
    s.slider = s.effect->parameter("threshold");
    s.size = {551, 604};
    s.sliderCaption = QStringLiteral("Adjust thread:");
    s.makeBase = [](const TBitmap32& original) { return original; };
    s.render = [](const TBitmap32& original, int threshold, bool hollow) {
        const PenAndInkParams params{threshold, hollow};
        TBitmap32 InkBase = original;
        PictureTwoValue(InkBase, params);
        return penandink(InkBase, params.hollow);
    };
    return s;
}

ThresholdDialog::ThresholdDialog(Setup setup)
    : PreviewDialog(*setup.effect, setup.size), m_setup(std::move(setup)) {
    TrackBar1 = addSlider(this, m_setup.sliderCaption, 505, *m_setup.slider, Label9,
                          QString::number(m_setup.slider->defaultValue));
    CheckBox1 = new QCheckBox(QStringLiteral("Hollow out"), this);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setGeometry(12, 540, 120, 24);
    connect(TrackBar1, &QSlider::valueChanged, this, [this](int p) {
        refresh();
        Label9->setText(QString::number(p));
    });
    connect(CheckBox1, &QCheckBox::toggled, this, [this] { refresh(); });
}

PreviewDialog::Bases ThresholdDialog::makeBases(const TBitmap32& original) const {
    return {std::make_shared<const TBitmap32>(m_setup.makeBase(original))};
}

void ThresholdDialog::takeBases(Bases bases) {
    m_base = std::move(bases[0]);
}

void ThresholdDialog::freeBases() {
    m_base.reset();
}

LiveRenderer::Job ThresholdDialog::currentJob() const {
    return [base = m_base, render = m_setup.render, threshold = TrackBar1->value(),
            hollow = CheckBox1->isChecked()] { return render(*base, threshold, hollow); };
}

EffectSettings ThresholdDialog::currentSettings() const {
    EffectSettings s;
    s.integers[m_setup.slider->name] = TrackBar1->value();
    if (CheckBox1->isChecked())
        s.flags.insert("hollow");
    return s;
}

// ---- Kryptol --------------------------------------------------------------------------------

TKryptol::TKryptol() : PreviewDialog(*findEffect("kryptol"), {552, 613}) {
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
    SpeedButton1->setIcon(glyphIcon(Glyph::Pen));
    SpeedButton1->setToolTip(QStringLiteral("Kryptol pen"));
    SpeedButton1->setGeometry(300, 503, 32, 28);
    connect(SpeedButton1, &QToolButton::clicked, this, [this] { pen(); });
    CheckBox1 = new QCheckBox(QStringLiteral("Hollow out"), this);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setGeometry(12, 545, 120, 24);
    connect(CheckBox1, &QCheckBox::toggled, this, [this] { threshold(); });
}

PreviewDialog::Bases TKryptol::makeBases(const TBitmap32& original) const {
    auto edge = std::make_shared<TBitmap32>(original);
    picsobel(*edge);
    return {edge};
}

void TKryptol::takeBases(Bases bases) {
    EdgeBase = std::move(bases[0]);
}

void TKryptol::freeBases() {
    EdgeBase.reset();
    m_picture.reset();
}

const TBitmap32& TKryptol::previewPicture() const {
    static const TBitmap32 none;
    return m_picture ? *m_picture : none;
}

LiveRenderer::Job TKryptol::currentJob() const {
    return [picture = m_picture] { return picture ? *picture : TBitmap32(); };
}

EffectSettings TKryptol::currentSettings() const {
    EffectSettings s;
    s.integers["direction"] = KryptolDirection;
    s.integers["strokes"] = m_strokes;
    if (CheckBox1->isChecked())
        s.flags.insert("hollow");
    return s;
}

void TKryptol::firstPreview() {
    threshold();
    const QSignalBlocker block(Direction[0]);
    for (QRadioButton* b : Direction) {
        const QSignalBlocker blockOne(b);
        b->setChecked(b == Direction[0]);
    }
    KryptolDirection = 1;
}

void TKryptol::showStrokes(TBitmap32 picture, int strokes) {
    m_picture = std::make_shared<const TBitmap32>(std::move(picture));
    m_strokes = strokes;
    showNow(*m_picture);
}

void TKryptol::threshold() {
    if (!ready())
        return;
    const bool hollow = CheckBox1->isChecked();
    queuePreviewWork(
        [this, hollow]() -> LiveRenderer::Job {
            return [edge = EdgeBase, hollow] {
                return penSketchThreshold(*edge, PenSketchParams{kKryptolPressure, hollow});
            };
        },
        [this](TBitmap32 picture) { showStrokes(std::move(picture), 0); });
}

void TKryptol::pen() {
    if (!ready())
        return;
    // A stroke thickens the picture as the strokes asked for before it have left it.
    const int direction = KryptolDirection;
    queuePreviewWork(
        [this, direction]() -> LiveRenderer::Job {
            if (!m_picture)
                return {};
            return [picture = m_picture, direction] {
                TBitmap32 thicker = *picture;
                BitmapDilate(thicker, direction);
                return thicker;
            };
        },
        [this](TBitmap32 picture) { showStrokes(std::move(picture), m_strokes + 1); });
}

} // namespace quill::app::effects
