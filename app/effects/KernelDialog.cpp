#include "app/effects/KernelDialog.h"

#include "workspace/Document.h"

#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <string>

namespace quill::app::effects {

TFormOfFringe::TFormOfFringe(const EffectDescription& effect) : m_state(effect) {
    setObjectName(QString::fromStdString(effect.dialogCaption));
    setWindowTitle(QString::fromStdString(effect.dialogCaption));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::WindowStaysOnTopHint);
    setFixedSize(278, 234);
    setAutoFillBackground(true);
    QPalette grey = palette();
    grey.setColor(QPalette::Window, QColor(128, 128, 128));
    setPalette(grey);

    Label1 = new QLabel(QString::fromStdString(effect.dialogBanner), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(8, 10, 262, 20);
    Label1->setAlignment(Qt::AlignCenter);
    for (int i = 0; i < 9; ++i) {
        Edit[i] = new QLineEdit(this);
        Edit[i]->setObjectName(QStringLiteral("Edit%1").arg(i + 1));
        Edit[i]->setToolTip(QStringLiteral("Change the number to get different effect"));
        Edit[i]->setGeometry(44 + 68 * (i % 3), 44 + 34 * (i / 3), 56, 24);
        Edit[i]->setAlignment(Qt::AlignCenter);
    }
    showFields();
    Button1 = new QPushButton(QStringLiteral("Convert"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setToolTip(QStringLiteral("Convert with this setup"));
    Button1->setGeometry(14, 170, 75, 28);
    Button3 = new QPushButton(QStringLiteral("Default"), this);
    Button3->setObjectName(QStringLiteral("Button3"));
    Button3->setToolTip(QStringLiteral("Default setup"));
    Button3->setGeometry(101, 170, 75, 28);
    Button2 = new QPushButton(QStringLiteral("OK"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(188, 170, 75, 28);
    Button2->setEnabled(false);
    connect(Button1, &QPushButton::clicked, this, [this] { convert(false); });
    connect(Button3, &QPushButton::clicked, this, [this] { convert(true); });
    connect(Button2, &QPushButton::clicked, this, [this] {
        if (onOk)
            onOk();
        close();
    });
}

void TFormOfFringe::hideEvent(QHideEvent* event) {
    m_state.closed();
    Button2->setEnabled(false);
    QDialog::hideEvent(event);
}

void TFormOfFringe::showFields() {
    for (int i = 0; i < 9; ++i)
        Edit[i]->setText(QString::fromStdString(m_state.fields[std::size_t(i)]));
}
void TFormOfFringe::convert(bool defaults) {
    for (int i = 0; i < 9; ++i)
        m_state.fields[std::size_t(i)] = Edit[i]->text().toStdString();
    const TBitmap32* picture = original ? original() : nullptr;
    if (!picture) {
        if (defaults) {
            const Kernel3x3 k = m_state.defaults();
            for (std::size_t i = 0; i < 9; ++i)
                m_state.fields[i] = std::to_string(k[i]);
            showFields();
        }
        if (onMessage)
            onMessage(QString::fromLatin1(kHaveNoForeground));
        return;
    }
    KernelDialogState::Conversion c = defaults ? m_state.restoreDefaults() : m_state.convert();
    showFields();
    if (!c.settings) {
        if (onMessage)
            onMessage(QString::fromStdString(c.message));
        return;
    }
    if (onConverted)
        onConverted(*c.settings);
    Button2->setEnabled(m_state.okEnabled());
}

} // namespace quill::app::effects
