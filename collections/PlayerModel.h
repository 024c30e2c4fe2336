#pragma once

#include "collections/Browser.h"

#include <vector>

namespace quill {

// The album player's window and film strip without widgets.
class PlayerModel {
  public:
    static constexpr int kBandHeight = 274;
    static constexpr int kTickMilliseconds = 20;
    static constexpr int kStepPixels = 3;
    static constexpr int kGap = 15; // between neighbouring pictures of the strip

    // The band: Left 0, the screen's width, Top = half the screen height minus half
    // the band's height (integer halves).
    static Rect bandRect(int screenWidth, int screenHeight);

    // The film holes, 20 x 15 each: for i = 1, 2, ... while 30 i <= width, one at
    // (5 + 30 (i - 1), 10) and one at (125 + 30 (i - 1), 245), in that order.
    static std::vector<Rect> filmHoles(int windowWidth);

    // A decoded W x H scene fitted into the 300 x 200 box at (5, 5) (ratio W / H up to
    // 1.5 fills the height, else the width; MulDiv, integer halves), then moved 30 down
    // and to Left 0. An empty scene keeps the whole box.
    static Rect fitScene(int width, int height);

    // Where the view window puts a picture of the given size in a client area of the
    // given size: (0, 0), centred vertically when its height < view height - 15 and
    // horizontally when its width < view width - 50 (integer halves).
    static Rect viewPlacement(int viewWidth, int viewHeight, int pictureWidth, int pictureHeight);

    // Loads the scenes' sizes in album order and lays the strip out: picture k's Left is
    // picture k-1's Left + Width + 15. Direction 2 (left); the timer runs when there is
    // a scene.
    void load(const std::vector<std::pair<int, int>>& sceneSizes);

    int count() const { return int(m_pictures.size()); }
    // Picture k (1-based).
    const Rect& picture(int k) const { return m_pictures.at(std::size_t(k - 1)); }

    int direction() const { return m_direction; } // 1 right, 2 left
    bool timerRunning() const { return m_timer; }
    int pointed() const { return m_pointed; }

    void moveRight(); // "Move to right": direction 1, timer on when there is a scene
    void moveLeft();  // "Move to left": direction 2, likewise

    // One timer tick in a window of the given width. Moving right it stops when
    // picture 1's Left > 0, else every Left grows by 3; moving left it stops when the
    // last picture's right edge < the window width, else every Left shrinks by 3.
    // Returns true when the pictures moved.
    bool tick(int windowWidth);

    // The pointer over picture k: it becomes the pointed scene and the strip halts.
    void pointerOverPicture(int k);
    // The pointer over the band itself: the strip moves again (when there is a scene).
    void pointerOverWindow();

  private:
    std::vector<Rect> m_pictures;
    int m_direction = 2;
    bool m_timer = false;
    int m_pointed = 0;
};

} // namespace quill
