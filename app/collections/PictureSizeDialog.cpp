#include "app/collections/PictureSizeDialog.h"

#include "app/collections/PublishDialog.h"
#include "app/platform/Platform.h"
#include "scene/Scene.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace quill::app {

TImage_size::TImage_size(Document& document, Platform& platform, std::function<void()> sceneChanged,
                         QWidget* parent)
    : QDialog(parent,
              Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_document(document), m_platform(platform), m_sceneChanged(std::move(sceneChanged)) {
    setObjectName(QStringLiteral("TImage_size"));
    setFixedSize(303, 181);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor::fromRgb(kSkyBlue));
    setPalette(pal);

    auto label = [this](const char* text, int x, int y) {
        auto* l = new QLabel(QString::fromLatin1(text), this);
        l->move(x, y);
        return l;
    };
    label("Width:", 24, 22);
    m_edit1 = new QLineEdit(this);
    m_edit1->setObjectName(QStringLiteral("Edit1"));
    m_edit1->setGeometry(80, 18, 121, 23);
    label("Pixels", 212, 22);
    label("Height:", 24, 56);
    m_edit2 = new QLineEdit(this);
    m_edit2->setObjectName(QStringLiteral("Edit2"));
    m_edit2->setGeometry(80, 52, 121, 23);
    label("Pixels", 212, 56);

    m_check = new QCheckBox(QStringLiteral("Hold in width and height"), this);
    m_check->setObjectName(QStringLiteral("CheckBox1"));
    m_check->setGeometry(24, 88, 190, 22);
    m_check->setChecked(true);

    QFont big = font();
    big.setPixelSize(16);
    m_minus = new QPushButton(QStringLiteral("-"), this);
    m_minus->setGeometry(228, 86, 25, 25);
    m_minus->setFont(big);
    m_plus = new QPushButton(QStringLiteral("+"), this);
    m_plus->setGeometry(258, 86, 25, 25);
    m_plus->setFont(big);

    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setGeometry(56, 132, 81, 27);
    m_ok->setAutoDefault(false);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setGeometry(166, 132, 81, 27);
    m_cancel->setAutoDefault(false);

    m_edit1->installEventFilter(this);
    m_edit2->installEventFilter(this);
    connect(m_minus, &QPushButton::clicked, this, [this] { step(false); });
    connect(m_plus, &QPushButton::clicked, this, [this] { step(true); });
    connect(m_ok, &QPushButton::clicked, this, &TImage_size::okClicked);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::hide);
}

void TImage_size::toModel() {
    m_model.Edit1 = m_edit1->text().toStdString();
    m_model.Edit2 = m_edit2->text().toStdString();
    m_model.CheckBox1 = m_check->isChecked();
}

void TImage_size::fromModel() {
    m_edit1->setText(QString::fromStdString(m_model.Edit1));
    m_edit2->setText(QString::fromStdString(m_model.Edit2));
    setWindowTitle(QString::fromStdString(m_model.caption));
}

void TImage_size::openFor(int sizeMode) {
    m_model.SizeMode = sizeMode;
    m_model.show(m_document.scene());
    fromModel();
    show();
    raise();
    activateWindow();
}

void TImage_size::step(bool up) {
    toModel();
    const std::string message = up ? m_model.plus() : m_model.minus();
    if (!message.empty()) {
        m_platform.showMessage(this, QString::fromStdString(message));
        return;
    }
    fromModel();
}

void TImage_size::okClicked() {
    toModel();
    const std::string message = m_model.ok(m_document);
    if (!message.empty()) {
        m_platform.showMessage(this, QString::fromStdString(message));
        return;
    }
    hide();
    if (m_sceneChanged)
        m_sceneChanged();
}

bool TImage_size::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == m_edit1 || watched == m_edit2) && event->type() == QEvent::KeyRelease) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) {
            toModel();
            if (watched == m_edit1)
                m_model.edit1Released(m_document.scene());
            else
                m_model.edit2Released(m_document.scene());
            // Only the other edit changes; the one being typed in keeps its cursor.
            QLineEdit* other = watched == m_edit1 ? m_edit2 : m_edit1;
            const std::string& value = watched == m_edit1 ? m_model.Edit2 : m_model.Edit1;
            if (other->text().toStdString() != value)
                other->setText(QString::fromStdString(value));
        }
    }
    if ((watched == m_edit1 || watched == m_edit2) && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            okClicked();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TImage_size::keyPressEvent(QKeyEvent* event) {
    // Enter acts as OK only in the edits; Escape closes as Cancel does.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        return;
    QDialog::keyPressEvent(event);
}

} // namespace quill::app
