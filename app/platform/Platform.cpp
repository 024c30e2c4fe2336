#include "app/platform/Platform.h"

#include "imaging/PictureFile.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>

namespace quill::app {

QString QtPlatform::openPictureFile(QWidget* parent, const QString& caption,
                                    const QStringList& filters) {
    QString selected = filters.isEmpty() ? QString() : filters.first();
    return QFileDialog::getOpenFileName(parent, caption, QString(),
                                        filters.join(QStringLiteral(";;")), &selected);
}

SaveChoice QtPlatform::chooseFileToSave(QWidget* parent, const QString& caption,
                                        const QString& suggestedName, const QStringList& filters) {
    QString selected = filters.isEmpty() ? QString() : filters.first();
    const QString name = QFileDialog::getSaveFileName(
        parent, caption, suggestedName, filters.join(QStringLiteral(";;")), &selected);
    if (name.isEmpty())
        return {};
    // A chooser that reports no filter of the list kept the first one it opened with.
    const qsizetype k = filters.indexOf(selected);
    return {name, k >= 0 ? int(k) + 1 : (filters.isEmpty() ? 0 : 1)};
}

QString QtPlatform::chooseFolder(QWidget* parent, const QString& caption,
                                 const QString& startFolder) {
    return QFileDialog::getExistingDirectory(parent, caption, startFolder);
}

void QtPlatform::showMessage(QWidget* parent, const QString& text) {
    showMessage(parent, text, QApplication::applicationDisplayName());
}

void QtPlatform::showMessage(QWidget* parent, const QString& text, const QString& title) {
    QMessageBox box(parent);
    box.setWindowTitle(title);
    box.setText(text);
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

SaveAnswer QtPlatform::askSaveChanges(QWidget* parent, const QString& text) {
    QMessageBox box(parent);
    box.setWindowTitle(QApplication::applicationDisplayName());
    box.setText(text);
    box.setStandardButtons(QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
    box.setDefaultButton(QMessageBox::Save);
    switch (box.exec()) {
    case QMessageBox::Save:
        return SaveAnswer::Save;
    case QMessageBox::Discard:
        return SaveAnswer::Discard;
    default:
        return SaveAnswer::Cancel;
    }
}

QStringList sceneFileFilters() {
    return {QStringLiteral("Scene files (*.ora *.ORA)")};
}

bool QtPlatform::openUrl(const QUrl& url) {
    return QDesktopServices::openUrl(url);
}

QStringList qtNameFilters(const QString& pairs, bool upperCaseToo) {
    QStringList out;
    const QStringList parts = pairs.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        QStringList patterns;
        for (const QString& p : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QString t = p.trimmed();
            if (t == QLatin1String("*.*")) {
                patterns << QStringLiteral("*");
                continue;
            }
            patterns << t;
            if (upperCaseToo && t.toUpper() != t)
                patterns << t.toUpper();
        }
        if (patterns.isEmpty())
            continue;
        out << QStringLiteral("%1 (%2)").arg(description, patterns.join(QLatin1Char(' ')));
    }
    return out;
}

QStringList openPictureFilters() {
    // "All pictures" first, every form a reader is chosen for; then the program's own
    // list, with PNG added before "All files".
    QStringList every;
    for (const std::string& extension : readablePictureExtensions())
        every << QStringLiteral("*") + QString::fromStdString(extension);
    return qtNameFilters(
        QStringLiteral("All pictures|") + every.join(QLatin1Char(';')) +
            QStringLiteral("|*.jpg|*.jpg|*.jpeg|*.jpeg|*.bmp|*.bmp|*.wmf|*.wmf|*.emf|*.emf|"
                           "*.gif|*.gif|*.png|*.png|All files|*.*"),
        true);
}

} // namespace quill::app
