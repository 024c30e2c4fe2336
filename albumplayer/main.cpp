// quillmark-player: shows the scenes appended to its own program file as a film strip.

#include "albumplayer/PlayerWindow.h"
#include "app/ProgramStart.h"
#include "collections/AlbumFile.h"
#include "imaging/JpegCodec.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace {

QImage toImage(const quill::TBitmap32& picture) {
    if (picture.empty())
        return {};
    QImage image(picture.width(), picture.height(), QImage::Format_ARGB32);
    for (int y = 0; y < picture.height(); ++y)
        std::memcpy(image.scanLine(y), picture.row(y), picture.strideBytes());
    return image;
}

int refuse(const QString& text) {
    // Also for a player started from a terminal.
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Photo Album Player"), text,
                    QMessageBox::Ok);
    box.exec();
    return 1;
}

} // namespace

int main(int argc, char* argv[]) {
    const int status = quill::app::readCommandLine(
        argc, argv,
        {"quillmark-player", "[OPTION]...",
         "Quillmark's album player: shows the scenes of the album it carries.", false});
    if (status >= 0)
        return status;
    QApplication app(argc, argv);
    std::error_code ec;
    std::string file = std::filesystem::read_symlink("/proc/self/exe", ec).string();
    if (file.empty())
        file = "/proc/self/exe";

    // The player as built, with nothing appended: its file ends where its image does
    // (its last bytes could otherwise pass for an album of no scenes).
    const std::uintmax_t size = std::filesystem::file_size(file, ec);
    const std::uint64_t image = quill::elfImageEnd(file);
    if (!ec && image != 0 && size <= image)
        return refuse(QStringLiteral("This album player holds no album."));

    const quill::AlbumIndex index = quill::readAlbumIndex(file);
    if (!index.ok())
        return refuse(QString::fromStdString(index.error));
    if (index.scenes.empty())
        return refuse(QStringLiteral("This album holds no scenes."));

    // Scene k decoded at full size; a scene that cannot be read gives a null image.
    auto decode = [file, scenes = index.scenes](int k) {
        const quill::AlbumScene& s = scenes[std::size_t(k - 1)];
        std::vector<std::uint8_t> bytes;
        if (!quill::readFileRange(file, s.offset, s.length, bytes))
            return QImage();
        return toImage(quill::decodeJpeg(bytes.data(), bytes.size()).picture);
    };

    // The strip keeps each scene only at the size it is shown, so a long album of
    // large photographs does not fill the memory.
    std::vector<quill::PlayerScene> scenes;
    scenes.reserve(index.scenes.size());
    for (int k = 1; k <= int(index.scenes.size()); ++k) {
        const QImage full = decode(k);
        quill::PlayerScene scene;
        scene.width = full.width();
        scene.height = full.height();
        if (!full.isNull()) {
            const quill::Rect r = quill::PlayerModel::fitScene(scene.width, scene.height);
            scene.strip = full.scaled(std::max(1, r.width), std::max(1, r.height),
                                      Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        }
        scenes.push_back(std::move(scene));
    }

    quill::PlayerWindow window(std::move(scenes), decode);
    window.show();
    return app.exec();
}
