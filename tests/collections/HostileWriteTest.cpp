// Every writer of the program, made to fail: once with a disk that fills up (a small
// file size limit in a child process) and once with a folder that cannot be written.
// Each must say it failed, leave no partial or temporary file behind, and keep an
// existing file byte for byte.
#include "collections/AlbumFile.h"
#include "collections/AlbumList.h"
#include "collections/Publish.h"
#include "collections/SketchList.h"
#include "imaging/OpenRaster.h"
#include "imaging/PictureFile.h"
#include "tests/RandomPictures.h"
#include "tests/collections/CollectionsTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

namespace quill {
namespace {

using quill::testing::albumBytes;
using quill::testing::Bytes;
using quill::testing::fakeJpeg;
using quill::testing::TempFolder;

// A picture that does not compress: every form of it is several kilobytes.
TBitmap32 noisy(int w, int h) {
    return testpictures::randomPicture(w, h, 12345, testpictures::PictureAlpha::Opaque);
}

// A desktop whose every way of setting a wallpaper or mailing succeeds.
class AgreeingDesktop : public DesktopServices {
  public:
    DesktopEnvironment environment() override { return {}; }
    ServiceOutcome portalSetWallpaper(const std::string&) override { return {true, {}}; }
    ServiceOutcome portalComposeEmail(const MailMessage&) override { return {true, {}}; }
    ProgramRun runProgram(const std::vector<std::string>&) override { return {true, 0, {}, {}}; }
};

// One writer: prepare() lays out the folder (the files that must survive), write()
// runs the writer and says whether it reported success. mayRemain are files the writer
// may legitimately leave even when it fails (earlier steps that completed).
struct Writer {
    const char* name;
    std::function<void(const TempFolder& folder)> prepare;
    std::function<bool(const std::string& folder)> write;
    std::set<std::string> mayRemain = {};
};

// A writer of folder/file whose old bytes must survive.
Writer over(const char* name, const std::string& file,
            std::function<bool(const std::string& folder)> write,
            std::set<std::string> mayRemain = {}) {
    return {name,
            [file](const TempFolder& d) {
                d.write(file, {'o', 'l', 'd', '\n'});
            },
            std::move(write), std::move(mayRemain)};
}

std::vector<Writer> writers() {
    std::vector<Writer> list;
    const struct {
        const char* name;
        const char* file;
        PictureFormat format;
    } forms[] = {{"SavePicture JPEG", "out.jpg", PictureFormat::Jpeg},
                 {"SavePicture BMP 24", "out.bmp", PictureFormat::Bmp24},
                 {"SavePicture BMP 32", "out32.bmp", PictureFormat::Bmp32},
                 {"SavePicture PNG", "out.png", PictureFormat::Png},
                 {"SavePicture EMF", "out.emf", PictureFormat::Emf}};
    for (const auto& f : forms)
        list.push_back(over(f.name, f.file, [f](const std::string& d) {
            return SavePicture(noisy(64, 48), d + "/" + f.file, f.format).ok;
        }));
    for (int filter = 1; filter <= 4; ++filter)
        list.push_back(
            over("Save as", std::string("mine") + savePictureFilters()[filter - 1].extension,
                 [filter](const std::string& d) {
                     return savePictureAs(noisy(64, 48), d + "/mine.xyz", filter).written;
                 }));
    list.push_back(over("sketch save all", SketchList().saveAllName(1), [](const std::string& d) {
        SketchList sketches;
        sketches.add(SharedPicture(noisy(64, 48)));
        sketches.add(SharedPicture(noisy(40, 40)));
        return sketches.saveAll(d) == kSketchesSaved;
    }));
    list.push_back(over("album save all", AlbumList().saveAllName(1), [](const std::string& d) {
        AlbumList albums;
        albums.add(SharedPicture(noisy(64, 48)));
        return albums.saveAll(d) == kScenesSaved;
    }));
    // The scenes (a few hundred bytes each) fit under the limit; the album does not.
    list.push_back(over("make album", "2.exe",
                        [](const std::string& d) {
                            AlbumList albums;
                            albums.add(SharedPicture(noisy(4, 4)));
                            albums.add(SharedPicture(noisy(4, 4)));
                            return albums.makeAlbum(d, Bytes(20000, 0x7F)).ok;
                        },
                        {"1.jpg", "2.jpg"}));
    list.push_back(over("album from JPEG bytes", "a.exe", [](const std::string& d) {
        return writeAlbumFromJpegs(d + "/a.exe", Bytes(20000, 0x7F), {fakeJpeg(100, 5)}).ok;
    }));
    const Bytes album = albumBytes(Bytes(64, 0x7F), {fakeJpeg(20000, 0x55)});
    list.push_back({"copy of an album",
                    [album](const TempFolder& d) {
                        d.write("copy.exe", {'o', 'l', 'd'});
                        d.write("made.exe", album);
                    },
                    [](const std::string& d) {
                        return copyAlbumTo(d + "/made.exe", d + "/copy.bin").empty();
                    }});
    list.push_back(
        {"album extract",
         [album](const TempFolder& d) {
             d.write("out/scene1.jpg", {'o', 'l', 'd'});
             d.write("a.exe", album);
         },
         [](const std::string& d) { return extractAlbum(d + "/a.exe", d + "/out").ok; }});
    list.push_back(over("wallpaper.bmp", "wallpaper.bmp", [](const std::string& d) {
        AgreeingDesktop desktop;
        return setAsWallpaper(noisy(64, 48), d, desktop).ok;
    }));
    list.push_back(over("mywork.jpg", "mywork.jpg", [](const std::string& d) {
        AgreeingDesktop desktop;
        return mailToFriend(noisy(64, 48), d, desktop).ok;
    }));
    list.push_back(over("scene file", "scene.ora", [](const std::string& d) {
        OraImage image;
        image.width = image.height = 100;
        image.merged = noisy(100, 100);
        image.layers.push_back({"a", noisy(50, 50), 3, 4, 0.5, true});
        return writeOpenRaster(d + "/scene.ora", image).ok;
    }));
    return list;
}

// What the folder must look like after a failed write: every file it had, unchanged;
// nothing new but the files the writer may leave.
void expectNothingLost(const std::map<std::string, Bytes>& before, const TempFolder& folder,
                       const Writer& w) {
    const auto after = folder.snapshot();
    for (const auto& [name, bytes] : before) {
        auto it = after.find(name);
        ASSERT_NE(it, after.end()) << w.name << ": " << name << " was removed";
        EXPECT_EQ(it->second, bytes) << w.name << ": " << name << " was changed";
    }
    for (const auto& [name, bytes] : after)
        EXPECT_TRUE(before.count(name) || w.mayRemain.count(name))
            << w.name << ": left " << name << " behind";
}

TEST(HostileWrite, AFullDiskLeavesNoPartialFileAndKeepsTheOldOne) {
    for (const Writer& w : writers()) {
        TempFolder dir;
        w.prepare(dir);
        const auto before = dir.snapshot();
        EXPECT_EQ(quill::testing::inChild([&] { return w.write(dir.path()) ? 1 : 0; }, 1024), 0)
            << w.name << " did not report the failure";
        expectNothingLost(before, dir, w);
        // The control: with room to write, the writer succeeds and replaces the old file.
        EXPECT_TRUE(w.write(dir.path())) << w.name;
        EXPECT_NE(dir.snapshot(), before) << w.name << " wrote nothing";
    }
}

TEST(HostileWrite, AFolderThatCannotBeWrittenLeavesEverythingAsItWas) {
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only folders";
    for (const Writer& w : writers()) {
        TempFolder dir;
        w.prepare(dir);
        const auto before = dir.snapshot();
        std::vector<std::string> folders = {dir.path()};
        for (const auto& e : std::filesystem::recursive_directory_iterator(dir.path()))
            if (e.is_directory())
                folders.push_back(e.path().string());
        for (const std::string& f : folders)
            ASSERT_EQ(chmod(f.c_str(), 0555), 0);
        EXPECT_FALSE(w.write(dir.path())) << w.name << " reported success";
        for (const std::string& f : folders)
            chmod(f.c_str(), 0755);
        expectNothingLost(before, dir, w);
    }
}

} // namespace
} // namespace quill
