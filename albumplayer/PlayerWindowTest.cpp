// The player's windows on the offscreen platform: a double-click on a scene of the strip
// opens it at full size, and the keyboard closes that view again.
#include "albumplayer/PlayerWindow.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>

#include <gtest/gtest.h>

namespace quill {
namespace {

ViewWindow* shownView() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* view = qobject_cast<ViewWindow*>(widget); view && view->isVisible())
            return view;
    return nullptr;
}

TEST(PlayerView, ADoubleClickedSceneOpensAtFullSizeAndEscapeClosesIt) {
    QImage scene(640, 480, QImage::Format_RGB32);
    scene.fill(Qt::red);
    PlayerWindow player(std::vector<PlayerScene>(2, PlayerScene{640, 480, scene.scaled(267, 200)}),
                        [&](int) { return scene; });
    player.show();
    const Rect first = player.model().picture(1);
    const QPoint centre(first.left + first.width / 2, first.top + first.height / 2);
    struct Case {
        int key;
        bool toViewport; // the key reaches the scrolled area first
        bool closes;
    };
    const Case cases[] = {
        {Qt::Key_Right, false, false}, {Qt::Key_Escape, false, true}, {Qt::Key_Escape, true, true}};
    for (const Case& c : cases) {
        QMouseEvent click(QEvent::MouseButtonDblClick, QPointF(centre),
                          QPointF(player.mapToGlobal(centre)), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(&player, &click);
        ViewWindow* view = shownView();
        ASSERT_NE(view, nullptr) << c.key;
        QKeyEvent press(QEvent::KeyPress, c.key, Qt::NoModifier);
        QApplication::sendEvent(c.toViewport ? view->viewport() : view, &press);
        EXPECT_EQ(view->isVisible(), !c.closes) << c.key << " " << c.toViewport;
    }
    EXPECT_TRUE(player.isVisible());
}

} // namespace
} // namespace quill

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
