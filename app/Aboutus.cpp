#include "app/Aboutus.h"

#include "app/SplashForm.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPixmap>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace quill::app {

TAboutus::TAboutus(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("TAboutus"));
    setWindowTitle(QStringLiteral("About Quillmark"));
    setFixedSize(445, 350);

    auto* layout = new QVBoxLayout(this);
    auto* icon = new QLabel(this);
    icon->setPixmap(QPixmap::fromImage(
        TSplashForm::emblem().scaled(110, 96, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    icon->setAlignment(Qt::AlignCenter);
    layout->addWidget(icon);

    auto* text = new QTextBrowser(this);
    text->setObjectName(QStringLiteral("aboutText"));
    text->setReadOnly(true);
    text->setOpenExternalLinks(false);
    text->setPlainText(aboutText());
    layout->addWidget(text, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    layout->addWidget(buttons);
}

QString TAboutus::aboutText() {
    return QStringLiteral(
        "Quillmark\n"
        "Version 4.65\n"
        "Released 6 December 2026\n"
        "\n"
        "Combine photographs into scenes and turn photographs into drawings and "
        "paintings: layers with soft-edged masks and transparency, photo effects, "
        "background effects, frames, sketch-list and album-list.\n"
        "\n"
        "Quillmark team\n"
        "Mail: hello@quillmark.example\n"
        "Web: https://quillmark.example\n");
}

} // namespace quill::app
