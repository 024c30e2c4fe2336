// Every writer of the program, made to fail: once with a disk that fills up (a small
// file size limit in a child process, SIGXFSZ ignored, so a write past it fails with
// EFBIG) and once with a folder that cannot be written. Each must say it failed, leave
// no partial or temporary file behind, and keep an existing file byte for byte.
#include "collections/AlbumFile.h"
#include "collections/AlbumList.h"
#include "collections/Publish.h"
#include "collections/SketchList.h"
#include "imaging/PictureFile.h"
#include "tests/collections/CollectionsTestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quill {
namespace {

using quill::testing::TempFolder;
using Bytes = std::vector<std::uint8_t>;

// A picture that does not compress: every form of it is several kilobytes.
TBitmap32 noisy(int w, int h) {
    TBitmap32 pic(w, h);
    std::uint32_t v = 12345;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            v = v * 1103515245u + 12345u;
            pic.setPixel(x, y, (v >> 8) | 0xFF000000u);
        }
    return pic;
}

// A desktop whose every way of setting a wallpaper or mailing succeeds.
class AgreeingDesktop : public DesktopServices {
  public:
    DesktopEnvironment environment() override { return {}; }
    ServiceOutcome portalSetWallpaper(const std::string&) override { return {true, {}}; }
    ServiceOutcome portalComposeEmail(const MailMessage&) override { return {true, {}}; }
    ProgramRun runProgram(const std::vector<std::string>&) override { return {true, 0, {}, {}}; }
};

// Every file of a folder (and of its folders) with its bytes.
std::map<std::string, Bytes> snapshot(const std::string& folder) {
    std::map<std::string, Bytes> files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(folder))
        if (e.is_regular_file())
            files[std::filesystem::relative(e.path(), folder).string()] =
                TempFolder::read(e.path().string());
    return files;
}

// One writer: prepare() lays out the folder (the files that must survive), write()
// runs the writer and says whether it reported success. newNames are files the writer
// may legitimately leave even when it fails (earlier steps that completed).
struct Writer {
    const char* name;
    std::function<void(const std::string& folder)> prepare;
    std::function<bool(const std::string& folder)> write;
    std::set<std::string> mayRemain = {};
};

const Bytes kOldBytes = {'o', 'l', 'd', ' ', 'f', 'i', 'l', 'e', '\n'};

void writeOld(const std::string& path) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(kOldBytes.data()), kOldBytes.size());
}

// A fake album of one scene: player bytes, then JPEG-marked bytes, length word, count.
Bytes fakeAlbum(std::size_t sceneBytes) {
    Bytes a(64, 0x7F);
    Bytes scene(sceneBytes, 0x55);
    scene[0] = 0xFF;
    scene[1] = 0xD8;
    a.insert(a.end(), scene.begin(), scene.end());
    const std::uint32_t s = std::uint32_t(sceneBytes + 4);
    for (std::uint32_t w : {s, 1u})
        for (int k = 0; k < 4; ++k)
            a.push_back(std::uint8_t(w >> (8 * k)));
    return a;
}

std::vector<Writer> writers() {
    std::vector<Writer> list;
    const struct {
        const char* name;
        const char* file;
        PictureFormat format;
    } forms[] = {
        {"SavePicture JPEG", "out.jpg", PictureFormat::Jpeg},
        {"SavePicture BMP 24", "out.bmp", PictureFormat::Bmp24},
        {"SavePicture BMP 32", "out32.bmp", PictureFormat::Bmp32},
        {"SavePicture PNG", "out.png", PictureFormat::Png},
        {"SavePicture EMF", "out.emf", PictureFormat::Emf},
    };
    for (const auto& f : forms)
        list.push_back({f.name, [f](const std::string& d) { writeOld(d + "/" + f.file); },
                        [f](const std::string& d) {
                            return SavePicture(noisy(64, 48), d + "/" + f.file, f.format).ok;
                        }});
    for (int filter = 1; filter <= 4; ++filter) {
        const std::string ext = savePictureFilters()[std::size_t(filter - 1)].extension;
        list.push_back({"Save as", [ext](const std::string& d) { writeOld(d + "/mine" + ext); },
                        [filter](const std::string& d) {
                            return savePictureAs(noisy(64, 48), d + "/mine.xyz", filter).written;
                        }});
    }
    list.push_back({"sketch save all",
                    [](const std::string& d) { writeOld(d + "/" + SketchList().saveAllName(1)); },
                    [](const std::string& d) {
                        SketchList sketches;
                        sketches.add(SharedPicture(noisy(64, 48)));
                        sketches.add(SharedPicture(noisy(40, 40)));
                        return sketches.saveAll(d) == kSketchesSaved;
                    }});
    list.push_back({"album save all",
                    [](const std::string& d) { writeOld(d + "/" + AlbumList().saveAllName(1)); },
                    [](const std::string& d) {
                        AlbumList albums;
                        albums.add(SharedPicture(noisy(64, 48)));
                        return albums.saveAll(d) == kScenesSaved;
                    }});
    // The scenes (a few hundred bytes each) fit under the limit; the album does not.
    list.push_back({"make album",
                    [](const std::string& d) { writeOld(d + "/2.exe"); },
                    [](const std::string& d) {
                        AlbumList albums;
                        albums.add(SharedPicture(noisy(4, 4)));
                        albums.add(SharedPicture(noisy(4, 4)));
                        const Bytes player(20000, 0x7F);
                        return albums.makeAlbum(d, player).ok;
                    },
                    {"1.jpg", "2.jpg"}});
    list.push_back({"album from JPEG bytes", [](const std::string& d) { writeOld(d + "/a.exe"); },
                    [](const std::string& d) {
                        const Bytes player(20000, 0x7F);
                        Bytes jpeg(100, 0x55);
                        jpeg[0] = 0xFF;
                        jpeg[1] = 0xD8;
                        return writeAlbumFromJpegs(d + "/a.exe", player, {jpeg}).ok;
                    }});
    list.push_back({"copy of an album",
                    [](const std::string& d) {
                        writeOld(d + "/copy.exe");
                        const Bytes album = fakeAlbum(20000);
                        std::ofstream(d + "/made.exe", std::ios::binary)
                            .write(reinterpret_cast<const char*>(album.data()),
                                   std::streamsize(album.size()));
                    },
                    [](const std::string& d) {
                        return copyAlbumTo(d + "/made.exe", d + "/copy.bin").empty();
                    }});
    list.push_back(
        {"album extract",
         [](const std::string& d) {
             writeOld(d + "/out/scene1.jpg");
             const Bytes album = fakeAlbum(20000);
             std::ofstream(d + "/a.exe", std::ios::binary)
                 .write(reinterpret_cast<const char*>(album.data()), std::streamsize(album.size()));
         },
         [](const std::string& d) { return extractAlbum(d + "/a.exe", d + "/out").ok; }});
    list.push_back({"wallpaper.bmp", [](const std::string& d) { writeOld(d + "/wallpaper.bmp"); },
                    [](const std::string& d) {
                        AgreeingDesktop desktop;
                        return setAsWallpaper(noisy(64, 48), d, desktop).ok;
                    }});
    list.push_back({"mywork.jpg", [](const std::string& d) { writeOld(d + "/mywork.jpg"); },
                    [](const std::string& d) {
                        AgreeingDesktop desktop;
                        return mailToFriend(noisy(64, 48), d, desktop).ok;
                    }});
    return list;
}

// Runs the writer in a child whose files may not grow past limit bytes; the child's
// exit code: 0 it reported failure, 1 it reported success, 2 it threw.
int runWithFileSizeLimit(const Writer& w, const std::string& folder, rlim_t limit) {
    const pid_t pid = fork();
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit r{limit, limit};
        if (setrlimit(RLIMIT_FSIZE, &r) != 0)
            _exit(3);
        int code = 2;
        try {
            code = w.write(folder) ? 1 : 0;
        } catch (...) {
        }
        _exit(code);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

// What the folder must look like after a failed write: every file it had, unchanged;
// nothing new but the files the writer may leave.
void expectNothingLost(const std::map<std::string, Bytes>& before, const std::string& folder,
                       const Writer& w) {
    const auto after = snapshot(folder);
    for (const auto& [name, bytes] : before) {
        auto it = after.find(name);
        ASSERT_NE(it, after.end()) << w.name << ": " << name << " was removed";
        EXPECT_EQ(it->second, bytes) << w.name << ": " << name << " was changed";
    }
    for (const auto& [name, bytes] : after) {
        if (!before.count(name)) {
            EXPECT_TRUE(w.mayRemain.count(name)) << w.name << ": left " << name << " behind";
        }
    }
}

TEST(HostileWrite, EveryWriterWorksWithRoomToWrite) {
    // The control: without a limit each writer succeeds and replaces the old file, so
    // the failures below come from the limit, not from the writer.
    for (const Writer& w : writers()) {
        TempFolder dir;
        w.prepare(dir.path());
        const auto before = snapshot(dir.path());
        EXPECT_TRUE(w.write(dir.path())) << w.name;
        EXPECT_NE(snapshot(dir.path()), before) << w.name << " wrote nothing";
    }
}

TEST(HostileWrite, AFullDiskLeavesNoPartialFileAndKeepsTheOldOne) {
    for (const Writer& w : writers()) {
        TempFolder dir;
        w.prepare(dir.path());
        const auto before = snapshot(dir.path());
        EXPECT_EQ(runWithFileSizeLimit(w, dir.path(), 1024), 0)
            << w.name << " did not report the failure";
        expectNothingLost(before, dir.path(), w);
    }
}

TEST(HostileWrite, AFolderThatCannotBeWrittenLeavesEverythingAsItWas) {
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only folders";
    for (const Writer& w : writers()) {
        TempFolder dir;
        w.prepare(dir.path());
        const auto before = snapshot(dir.path());
        std::vector<std::string> folders = {dir.path()};
        for (const auto& e : std::filesystem::recursive_directory_iterator(dir.path()))
            if (e.is_directory())
                folders.push_back(e.path().string());
        for (const std::string& f : folders)
            ASSERT_EQ(chmod(f.c_str(), 0555), 0);
        EXPECT_FALSE(w.write(dir.path())) << w.name << " reported success";
        for (const std::string& f : folders)
            chmod(f.c_str(), 0755);
        expectNothingLost(before, dir.path(), w);
    }
}

} // namespace
} // namespace quill
