#include "collections/AlbumFile.h"
#include "collections/AlbumList.h"
#include "collections/PlayerModel.h"
#include "collections/SketchList.h"
#include "imaging/JpegCodec.h"

#include <gtest/gtest.h>

#include "CollectionsTestSupport.h"

namespace quill {
namespace {

using quill::testing::TempFolder;

TBitmap32 solid(int w, int h, int shade) {
    return TBitmap32(w, h, makePixel(shade, 255 - shade, shade / 2));
}

// The picture shade of each entry, read back from its top-left pixel.
std::vector<int> shades(const PictureList& list) {
    std::vector<int> out;
    for (int i = 1; i <= list.count(); ++i)
        out.push_back(pixelRed(list.picture(i).pixel(0, 0)));
    return out;
}

TEST(PictureLists, ThumbnailTopsAndIndents) {
    SketchList sketches;
    AlbumList albums;
    for (int i = 0; i < 3; ++i) {
        sketches.add(SharedPicture(solid(4, 4, i)));
        albums.add(SharedPicture(solid(4, 4, i)));
    }
    const int sketchTops[] = {3, 104, 205};
    const int albumTops[] = {3, 66, 129};
    for (int i = 1; i <= 3; ++i) {
        EXPECT_EQ(sketches.thumbTop(i), sketchTops[i - 1]);
        EXPECT_EQ(albums.thumbTop(i), albumTops[i - 1]);
        EXPECT_EQ(sketches.thumbLeft(i), 0);
    }
    // Clicked (0: the empty part of the list), then the thumbnail shown indented and the
    // selection.
    for (auto [clicked, indented, selected] :
         {std::tuple{2, 2, 2}, {3, 3, 3}, {0, 0, 3}, {1, 1, 1}, {1, 1, 1}, {7, 0, 1}}) {
        sketches.select(clicked);
        albums.select(clicked);
        EXPECT_EQ(sketches.indented(), indented);
        EXPECT_EQ(sketches.selected(), selected);
        EXPECT_EQ(albums.selected(), selected);
        for (int i = 1; i <= 3; ++i)
            EXPECT_EQ(std::pair(sketches.thumbLeft(i), albums.thumbLeft(i)),
                      i == indented ? std::pair(10, 7) : std::pair(0, 0));
    }
}

TEST(PictureLists, ContextMenuOpensOnlyOverAThumbnail) {
    SketchList list;
    EXPECT_FALSE(list.armContextMenu(0, true)); // empty list: no menu
    list.add(SharedPicture(solid(2, 2, 1)));
    list.add(SharedPicture(solid(2, 2, 2)));
    for (auto [on, right, opens, selected] : {std::tuple{2, false, false, 0},
                                              {0, true, false, 0},
                                              {2, true, true, 2},
                                              {0, true, false, 2},
                                              {1, true, true, 1}}) {
        EXPECT_EQ(list.armContextMenu(on, right), opens) << on;
        EXPECT_EQ(list.selected(), selected);
    }
}

TEST(PictureLists, DeleteMovesThePicturesUp) {
    struct Case {
        int selected;
        std::vector<int> left;
        bool removed;
    };
    const Case cases[] = {
        {2, {1, 3, 4, 5}, true},
        {1, {2, 3, 4, 5}, true},
        {5, {1, 2, 3, 4}, true},    // the last: only hidden
        {0, {1, 2, 3, 4, 5}, false} // nothing selected yet
    };
    for (const Case& c : cases) {
        SketchList list;
        for (int i = 1; i <= 5; ++i)
            list.add(SharedPicture(solid(3, 3, i)));
        list.select(c.selected);
        EXPECT_EQ(list.deleteSelected(), c.removed);
        EXPECT_EQ(shades(list), c.left);
        EXPECT_EQ(list.selected(), c.selected); // keeps its value
    }
    // After the last was deleted the kept selection names no picture: nothing more goes.
    SketchList list;
    list.add(SharedPicture(solid(3, 3, 1)));
    list.add(SharedPicture(solid(3, 3, 2)));
    list.select(2);
    EXPECT_TRUE(list.deleteSelected());
    EXPECT_FALSE(list.hasSelection());
    EXPECT_FALSE(list.deleteSelected());
    EXPECT_EQ(shades(list), std::vector<int>{1});
    EXPECT_EQ(list.indented(), 0);
}

TEST(PictureLists, SaveAllWritesNumberedJpegs) {
    TempFolder dir;
    struct Case {
        bool album;
        int pictures;
        std::string message;
        std::set<std::string> files;
    };
    const Case cases[] = {{false, 0, kSketchListEmpty, {}},
                          {true, 0, kAlbumListEmpty, {}},
                          {false, 2, kSketchesSaved, {"sketch1.jpg", "sketch2.jpg"}},
                          {true, 3, kScenesSaved, {"scene1.jpg", "scene2.jpg", "scene3.jpg"}}};
    for (const Case& c : cases) {
        dir.clear();
        SketchList sketches;
        AlbumList albums;
        PictureList& list = c.album ? static_cast<PictureList&>(albums) : sketches;
        for (int i = 0; i < c.pictures; ++i)
            list.add(SharedPicture(solid(20 + i, 10, 40 * i)));
        EXPECT_EQ(list.saveAllPrecheck(), c.pictures ? "" : c.message);
        EXPECT_EQ(list.saveAll(dir.path()), c.message);
        EXPECT_EQ(dir.names(), c.files);
        for (int n = 1; n <= c.pictures; ++n) {
            const auto bytes = TempFolder::read(dir.path(list.saveAllName(n)));
            EXPECT_EQ(bytes, encodeJpeg(list.picture(n), 90)) << n;
        }
    }
    EXPECT_STREQ(SketchList().style().folderCaption,
                 "Select a directory to save all sketchs as...");
    EXPECT_STREQ(AlbumList().style().folderCaption, "Select a directory to save all scenes as...");
}

TEST(PictureLists, SaveAllStopsAtAFileThatCannotBeWritten) {
    TempFolder dir;
    std::filesystem::create_directory(dir.path("sketch2.jpg")); // a folder where a file should go
    SketchList list;
    for (int i = 0; i < 3; ++i)
        list.add(SharedPicture(solid(8, 8, i)));
    const std::string message = list.saveAll(dir.path());
    EXPECT_NE(message, kSketchesSaved);
    EXPECT_NE(message.find(dir.path("sketch2.jpg")), std::string::npos) << message;
    EXPECT_EQ(dir.names(), (std::set<std::string>{"sketch1.jpg", "sketch2.jpg"}));
    EXPECT_TRUE(std::filesystem::is_directory(dir.path("sketch2.jpg")));
}

TEST(AlbumMaking, WritesScenesAndTheAlbumInTheWorkingFolder) {
    TempFolder dir;
    AlbumList albums;
    const std::vector<std::uint8_t> player(1000, 0xE5);
    EXPECT_EQ(albums.makeAlbumPrecheck(), kAlbumNoPicture);
    EXPECT_EQ(albums.makeAlbum(dir.path(), player).message, kAlbumNoPicture);
    EXPECT_TRUE(dir.names().empty());

    albums.add(SharedPicture(solid(64, 48, 10)));
    albums.add(SharedPicture(solid(30, 90, 200)));
    EXPECT_EQ(albums.makeAlbumPrecheck(), "");
    AlbumMakeResult r = albums.makeAlbum(dir.path(), player);
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(r.albumPath, dir.path("2.exe"));
    EXPECT_EQ(dir.names(), (std::set<std::string>{"1.jpg", "2.jpg", "2.exe"}));

    const auto bytes = TempFolder::read(r.albumPath);
    EXPECT_EQ(bytes, quill::testing::albumBytes(player, {encodeJpeg(albums.picture(1), 90),
                                                         encodeJpeg(albums.picture(2), 90)}));

    // The user's copy: the extension becomes ".exe"; the working copy stays.
    EXPECT_EQ(copyAlbumTo(r.albumPath, dir.path("holiday.jpg")), "");
    EXPECT_EQ(TempFolder::read(dir.path("holiday.exe")), bytes);
    EXPECT_EQ(copyAlbumTo(r.albumPath, dir.path("mine")), "");
    EXPECT_EQ(TempFolder::read(dir.path("mine.exe")), bytes);
    const std::string failed = copyAlbumTo(r.albumPath, dir.path("no/such/folder/x.exe"));
    EXPECT_NE(failed.find(dir.path("no/such/folder/x.exe")), std::string::npos) << failed;
    EXPECT_EQ(dir.names(),
              (std::set<std::string>{"1.jpg", "2.jpg", "2.exe", "holiday.exe", "mine.exe"}));
}

TEST(AlbumMaking, FailuresLeaveNoBrokenAlbum) {
    TempFolder dir;
    AlbumList albums;
    albums.add(SharedPicture(solid(16, 16, 1)));
    albums.add(SharedPicture(solid(16, 16, 2)));

    // No player in this build: nothing is written at all.
    AlbumMakeResult none = albums.makeAlbum(dir.path(), {});
    EXPECT_FALSE(none.ok);
    EXPECT_EQ(none.message, kNoPlayerMessage);
    EXPECT_TRUE(dir.names().empty());

    // The working folder is gone: the first scene file cannot be written.
    const std::vector<std::uint8_t> player(10, 1);
    AlbumMakeResult gone = albums.makeAlbum(dir.path("recorder"), player);
    EXPECT_FALSE(gone.ok);
    EXPECT_NE(gone.message.find(dir.path("recorder/1.jpg")), std::string::npos) << gone.message;
    EXPECT_NE(gone.message, kAlbumMade);

    // The album's own name is taken by a folder: the scenes are written, no album.
    std::filesystem::create_directory(dir.path("2.exe"));
    AlbumMakeResult blocked = albums.makeAlbum(dir.path(), player);
    EXPECT_FALSE(blocked.ok);
    EXPECT_NE(blocked.message.find(dir.path("2.exe")), std::string::npos) << blocked.message;
    EXPECT_EQ(dir.names(), (std::set<std::string>{"1.jpg", "2.jpg", "2.exe"}));
    EXPECT_TRUE(std::filesystem::is_directory(dir.path("2.exe")));
}

TEST(PlayerLayout, FitsEachSceneIntoTheBox) {
    struct Case {
        int w, h;
        Rect rect;
    };
    const Case cases[] = {
        // 1.333 <= 1.5: 200 high, MulDiv(200, 640, 480) = 266.7 -> 267, then Top 35, Left 0.
        {640, 480, {0, 35, 267, 200}},
        // 2.5: 300 wide, 120 high, top 5 + 40 = 45, then 75.
        {1000, 400, {0, 75, 300, 120}},
        // 1.5 exactly fills the height.
        {300, 200, {0, 35, 300, 200}},
        // Just above 1.5: MulDiv(300, 200, 301) = 199.3 -> 199, top 5 + 0 = 5.
        {301, 200, {0, 35, 300, 199}},
        // Very wide: MulDiv(300, 1, 1000) = 0.3 -> 0, top 5 + 100.
        {1000, 1, {0, 135, 300, 0}},
        // An empty scene keeps the whole box.
        {0, 0, {0, 35, 300, 200}}};
    for (const Case& c : cases)
        EXPECT_EQ(PlayerModel::fitScene(c.w, c.h), c.rect) << c.w << "x" << c.h;
}

TEST(PlayerLayout, StripLeftsBandAndHoles) {
    PlayerModel m;
    m.load({{640, 480}, {640, 480}, {640, 480}});
    ASSERT_EQ(m.count(), 3);
    EXPECT_EQ(m.picture(1).left, 0);
    EXPECT_EQ(m.picture(2).left, 282);
    EXPECT_EQ(m.picture(3).left, 564);
    m.load({{1000, 400}, {640, 480}});
    EXPECT_EQ(m.picture(2).left, 315);
    EXPECT_EQ(m.direction(), 2);
    EXPECT_TRUE(m.timerRunning());

    EXPECT_EQ(PlayerModel::bandRect(1920, 1080), (Rect{0, 403, 1920, 274}));
    EXPECT_EQ(PlayerModel::bandRect(1366, 769), (Rect{0, 247, 1366, 274}));

    for (auto [width, holes] : {std::pair{29, 0u}, {30, 2u}, {59, 2u}, {60, 4u}, {1920, 128u}})
        EXPECT_EQ(PlayerModel::filmHoles(width).size(), holes) << width;
    const auto holes = PlayerModel::filmHoles(90);
    EXPECT_EQ(holes[0], (Rect{5, 10, 20, 15}));
    EXPECT_EQ(holes[1], (Rect{125, 245, 20, 15}));
    EXPECT_EQ(holes[4], (Rect{65, 10, 20, 15}));
    EXPECT_EQ(holes[5], (Rect{185, 245, 20, 15}));
}

TEST(PlayerTimer, MovesThreePixelsAndStopsAtTheEnds) {
    PlayerModel m;
    m.load({{640, 480}, {640, 480}, {640, 480}}); // strip 0 .. 831
    const int window = 800;
    // Moving left until the last picture's right edge (564 + 267 = 831) is below 800:
    // 831 - 3k < 800 first at k = 11, which stops instead of moving.
    int moves = 0;
    while (m.tick(window))
        ++moves;
    EXPECT_EQ(moves, 11);
    EXPECT_EQ(m.picture(1).left, -33);
    EXPECT_FALSE(m.timerRunning());

    // Moving right until picture 1's Left > 0: -33 + 3k > 0 first at k = 12.
    m.moveRight();
    EXPECT_TRUE(m.timerRunning());
    moves = 0;
    while (m.tick(window))
        ++moves;
    EXPECT_EQ(moves, 12);
    EXPECT_EQ(m.picture(1).left, 3);
    EXPECT_EQ(m.picture(3).left, 567);

    // Already in: "Move to right" stops on the next tick without moving.
    m.moveRight();
    EXPECT_FALSE(m.tick(window));
    EXPECT_EQ(m.picture(1).left, 3);
    EXPECT_FALSE(m.timerRunning());
}

TEST(PlayerTimer, PointerHaltsAndResumes) {
    PlayerModel m;
    m.load({{640, 480}, {640, 480}, {640, 480}});
    m.pointerOverPicture(2);
    EXPECT_EQ(m.pointed(), 2);
    EXPECT_FALSE(m.timerRunning());
    EXPECT_FALSE(m.tick(100));
    EXPECT_EQ(m.picture(1).left, 0);
    m.pointerOverWindow();
    EXPECT_TRUE(m.timerRunning());
    EXPECT_TRUE(m.tick(100));
    EXPECT_EQ(m.picture(1).left, -3);
    EXPECT_EQ(m.direction(), 2);

    PlayerModel empty;
    empty.load({});
    EXPECT_FALSE(empty.timerRunning());
    empty.moveLeft();
    empty.pointerOverWindow();
    EXPECT_FALSE(empty.timerRunning());
    EXPECT_FALSE(empty.tick(100));
}

TEST(PlayerView, CentresSmallPicturesOnly) {
    // In a 1000 x 700 view: 686 is not below 685, 951 not below 950.
    for (const Rect& r : {Rect{200, 125, 600, 450}, Rect{0, 0, 951, 686}, Rect{26, 8, 949, 684},
                          Rect{0, 200, 2000, 300}})
        EXPECT_EQ(PlayerModel::viewPlacement(1000, 700, r.width, r.height), r);
}

} // namespace
} // namespace quill
