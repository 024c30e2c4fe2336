#pragma once

#include "collections/Publish.h"
#include "imaging/Bitmap32.h"

#include <QDialog>
#include <QString>

#include <functional>

class QLabel;
class QPrinter;
class QScrollArea;
class QToolButton;

namespace quill::app {

class Platform;

// The sky blue of the program's dialogs.
inline constexpr unsigned kSkyBlue = 0xA6CAF0; // RGB 166, 202, 240

// "Save as" (savepic1) for any picture: the save chooser with the picture forms, then
// the file in the form of the chosen filter entry, under the chosen name with that
// form's extension ("picture.jpg" with the BMP entry writes "picture.bmp"). Returns
// the message shown, "" when saved or cancelled.
QString savePictureThroughChooser(QWidget* parent, Platform& platform, const TBitmap32& picture);

// The publish dialog: a fitted preview of the scene and five ways out of the program
// (save, print, wallpaper, mail, close).
class TSave_As : public QDialog {
    Q_OBJECT
  public:
    // workingFolder: where wallpaper.bmp and mywork.jpg are written (asked each time).
    TSave_As(Platform& platform, DesktopServices& desktop, std::function<QString()> workingFolder,
             QWidget* parent = nullptr);

    // Takes a copy of the scene picture, fits the preview and shows the dialog.
    void showWith(const TBitmap32& scene);
    const TBitmap32& workingCopy() const { return m_work; }
    void setDesktopServices(DesktopServices& desktop) { m_desktop = &desktop; }

    QLabel* image1() const { return m_image; }
    QScrollArea* scrollBox1() const { return m_scroll; }
    QToolButton* button(int k) const { return m_buttons[k]; } // 0 save .. 4 close

    void saveAs();
    // Runs the print dialog and prints.
    void print();
    // Prints the working copy on printer; returns the message to show ("" = printed).
    QString printOn(QPrinter& printer);
    void setAsWallpaper();
    void mailToFriend();

  private:
    QString folder();

    Platform& m_platform;
    DesktopServices* m_desktop;
    std::function<QString()> m_workingFolder;
    TBitmap32 m_work;
    QScrollArea* m_scroll;
    QLabel* m_image;
    QToolButton* m_buttons[5];
};

} // namespace quill::app
