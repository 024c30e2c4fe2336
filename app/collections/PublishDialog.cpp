#include "app/collections/PublishDialog.h"

#include "app/Icons.h"
#include "app/effects/EffectsSupport.h"
#include "app/platform/Platform.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPrintDialog>
#include <QPrinter>
#include <QScrollArea>
#include <QToolButton>

namespace quill::app {

namespace {

QString fromStd(const std::string& s) {
    return QString::fromStdString(s);
}

QImage toImage(const TBitmap32& picture) {
    if (picture.empty())
        return {};
    return QImage(picture.row(0), picture.width(), picture.height(), picture.width() * 4,
                  QImage::Format_RGB32)
        .copy();
}

} // namespace

QString savePictureThroughChooser(QWidget* parent, Platform& platform, const TBitmap32& picture) {
    const SaveChoice choice =
        platform.chooseFileToSave(parent, QStringLiteral("Save as"), QString(),
                                  qtNameFilters(fromStd(savePictureFilterText())));
    if (choice.name.isEmpty())
        return {};
    const SaveAsResult result =
        savePictureAs(picture, QFile::encodeName(choice.name).toStdString(), choice.filter);
    if (!result.written && !result.message.empty()) {
        platform.showMessage(parent, fromStd(result.message));
        return fromStd(result.message);
    }
    return {};
}

TSave_As::TSave_As(Platform& platform, DesktopServices& desktop,
                   std::function<QString()> workingFolder, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint |
                          Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_platform(platform), m_desktop(&desktop), m_workingFolder(std::move(workingFolder)) {
    setObjectName(QStringLiteral("TSave_As"));
    setWindowTitle(QStringLiteral("Publish your work..."));
    setFixedSize(420, 316);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor::fromRgb(kSkyBlue));
    setPalette(pal);

    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("ScrollBox1"));
    m_scroll->setGeometry(8, 8, 321, 297);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* inner = new QWidget;
    inner->resize(321, 297);
    m_scroll->setWidget(inner);
    m_image = new QLabel(inner);
    m_image->setObjectName(QStringLiteral("Image1"));
    m_image->setScaledContents(true);

    struct Spec {
        int top;
        const char* hint;
        Glyph glyph;
    };
    const Spec specs[5] = {{24, "Save as", Glyph::Save},
                           {80, "Print", Glyph::Print},
                           {136, "Set as wallpaper", Glyph::Wallpaper},
                           {192, "Mail to friend", Glyph::Mail},
                           {248, "Close", Glyph::Close}};
    for (int k = 0; k < 5; ++k) {
        auto* b = new QToolButton(this);
        b->setGeometry(352, specs[k].top, 41, 41);
        b->setToolTip(QString::fromLatin1(specs[k].hint));
        b->setIcon(glyphIcon(specs[k].glyph));
        b->setIconSize(QSize(24, 24));
        b->setAutoRaise(true);
        m_buttons[k] = b;
    }
    // The close button's caption, read by screen readers; its icon is the green X.
    m_buttons[4]->setText(QStringLiteral("X"));
    connect(m_buttons[0], &QToolButton::clicked, this, &TSave_As::saveAs);
    connect(m_buttons[1], &QToolButton::clicked, this, &TSave_As::print);
    connect(m_buttons[2], &QToolButton::clicked, this, &TSave_As::setAsWallpaper);
    connect(m_buttons[3], &QToolButton::clicked, this, &TSave_As::mailToFriend);
    connect(m_buttons[4], &QToolButton::clicked, this, &QDialog::hide);
}

void TSave_As::showWith(const TBitmap32& scene) {
    m_work.Assign(scene);
    const Rect r =
        publishPreviewRect(m_scroll->width(), m_scroll->height(), m_work.width(), m_work.height());
    // Shrunk to the control here: a 100-megapixel scene copied whole into a pixmap took
    // over a second and was shrunk again at every paint.
    m_image->setPixmap(QPixmap::fromImage(effects::previewImage(m_work, QSize(r.width, r.height))));
    m_image->setGeometry(r.left, r.top, r.width, r.height);
    show();
    raise();
}

QString TSave_As::folder() {
    const QString f = m_workingFolder ? m_workingFolder() : QString();
    if (!f.isEmpty())
        QDir().mkpath(f);
    return f;
}

void TSave_As::saveAs() {
    savePictureThroughChooser(this, m_platform, m_work);
}

void TSave_As::print() {
    if (m_work.empty() || m_work.width() == 0 || m_work.height() == 0) {
        m_platform.showMessage(this, QString::fromLatin1(kNothingToPrint));
        return;
    }
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QString message = printOn(printer);
    if (!message.isEmpty())
        m_platform.showMessage(this, message);
}

QString TSave_As::printOn(QPrinter& printer) {
    const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
    const auto place = printPlacement(m_work.width(), m_work.height(), page.width(), page.height());
    if (!place)
        return QString::fromLatin1(kNothingToPrint);
    QPainter painter;
    if (!painter.begin(&printer))
        return QStringLiteral("The printer could not be started.");
    painter.drawImage(QRect(place->left, place->top, place->width, place->height), toImage(m_work));
    if (!painter.end())
        return QStringLiteral("The printer could not finish the page.");
    return {};
}

void TSave_As::setAsWallpaper() {
    const PublishMessage m =
        quill::setAsWallpaper(m_work, QFile::encodeName(folder()).toStdString(), *m_desktop);
    if (m.text.empty())
        return;
    if (m.title.empty())
        m_platform.showMessage(this, fromStd(m.text));
    else
        m_platform.showMessage(this, fromStd(m.text), fromStd(m.title));
}

void TSave_As::mailToFriend() {
    const PublishMessage m =
        quill::mailToFriend(m_work, QFile::encodeName(folder()).toStdString(), *m_desktop);
    if (!m.text.empty())
        m_platform.showMessage(this, fromStd(m.text));
}

} // namespace quill::app
