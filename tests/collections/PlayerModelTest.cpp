#include "collections/PlayerModel.h"

#include <gtest/gtest.h>

namespace quill {
namespace {

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
