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
    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QStringLiteral("Button1"));
    m_ok->setGeometry(size.width() - 90, size.height() - 38, 75, 28);
    connect(m_ok, &QPushButton::clicked, this, [this] { okClicked(); });
    m_renderer.onReady = [this](const LiveRenderer::Result& r) {
        if (m_open)
            showPicture(r.shown);
    };
}

void PreviewDialog::open(const TBitmap32& original) {
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

void PreviewDialog::settle() {
    m_renderer.finalResult([] { return TBitmap32(); });
    QCoreApplication::processEvents();
}

TBitmap32 PreviewDialog::finalPicture() {
    return m_renderer.finalResult(currentJob());
}

void PreviewDialog::refresh() {
    if (m_open)
        m_renderer.request(currentJob());
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
    TBitmap32 result;
    {
        BusyCursor busy;
        result = finalPicture();
    }
    if (onHandBack && !result.empty())
        onHandBack(currentSettings(), result);
    accept();
}

void PreviewDialog::finish() {
    m_open = false;
    m_renderer.reset();
    freeBases();
    m_preview->clear();
    m_preview->setGeometry(0, 0, kPreviewAreaWidth, kPreviewAreaHeight);
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

void TBack_and_White_Sketch::makeBases(const TBitmap32& original) {
    auto edge = std::make_shared<TBitmap32>(original);
    picsobel(*edge);
    EdgeBase = edge;
    GreyBase = std::make_shared<const TBitmap32>(pencilGreyBase(*edge));
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

void ThresholdDialog::makeBases(const TBitmap32& original) {
    m_base = std::make_shared<const TBitmap32>(m_setup.makeBase(original));
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

void TKryptol::makeBases(const TBitmap32& original) {
    auto edge = std::make_shared<TBitmap32>(original);
    picsobel(*edge);
    EdgeBase = edge;
}

void TKryptol::freeBases() {
    EdgeBase.reset();
    m_picture = TBitmap32();
}

LiveRenderer::Job TKryptol::currentJob() const {
    return [picture = m_picture] { return picture; };
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

void TKryptol::threshold() {
    if (!isOpen())
        return;
    BusyCursor busy;
    m_picture =
        penSketchThreshold(*EdgeBase, PenSketchParams{kKryptolPressure, CheckBox1->isChecked()});
    m_strokes = 0;
    showNow(m_picture);
}

void TKryptol::pen() {
    if (!isOpen())
        return;
    BusyCursor busy;
    BitmapDilate(m_picture, KryptolDirection);
    ++m_strokes;
    showNow(m_picture);
}

} // namespace quill::app::effects
