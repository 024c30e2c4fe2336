#pragma once

#include "FakePlatform.h"
#include "app/MainWindow.h"
#include "app/SceneCanvas.h"
#include "imaging/PictureFile.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <memory>

// A shown main window over a fresh program folder, with a fake platform.
struct WindowFixture {
    QTemporaryDir folder;
    std::shared_ptr<PlatformRecord> record = std::make_shared<PlatformRecord>();
    std::unique_ptr<quill::app::TMyPicture> window;

    WindowFixture()
    {
        window = std::make_unique<quill::app::TMyPicture>(std::make_unique<FakePlatform>(record), folder.path());
        window->show();
        QApplication::processEvents();
    }
    ~WindowFixture()
    {
        if (window)
            window->close();
    }

    quill::MainWindowModel& model() { return window->model(); }
    const quill::Scene& scene() { return window->model().scene(); }
    quill::app::SceneImage* image() { return window->canvas()->image(); }

    // Writes a solid picture as a file in the program folder and returns its path.
    QString writePicture(const QString& name, const quill::TBitmap32& picture,
                         quill::PictureFormat format = quill::PictureFormat::Bmp24)
    {
        const QString path = folder.filePath(name);
        quill::SavePicture(picture, path.toStdString(), format);
        return path;
    }
    // Opens a foreground through the File menu's command, answering the dialog with path.
    void openForeground(const QString& path)
    {
        record->openReplies << path;
        window->openForeground();
    }
};

// Sends a mouse event straight to a widget, with the buttons held stated explicitly.
inline void sendMouse(QWidget* widget, QEvent::Type type, QPoint at, Qt::MouseButton button,
                      Qt::MouseButtons held, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QMouseEvent event(type, QPointF(at), QPointF(widget->mapToGlobal(at)), button, held, modifiers);
    QApplication::sendEvent(widget, &event);
}

inline void sendWheel(QWidget* widget, int delta)
{
    const QPoint at(5, 5);
    QWheelEvent event(QPointF(at), QPointF(widget->mapToGlobal(at)), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &event);
}
