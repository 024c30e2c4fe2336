#include "collections/PlayerModel.h"

#include "imaging/Rounding.h"

namespace quill {

Rect PlayerModel::bandRect(int screenWidth, int screenHeight) {
    return {0, screenHeight / 2 - kBandHeight / 2, screenWidth, kBandHeight};
}

std::vector<Rect> PlayerModel::filmHoles(int windowWidth) {
    std::vector<Rect> holes;
    for (int i = 1; 30 * i <= windowWidth; ++i) {
        holes.push_back({5 + 30 * (i - 1), 10, 20, 15});
        // The lower row starts right of the buttons.
        holes.push_back({125 + 30 * (i - 1), 245, 20, 15});
    }
    return holes;
}

Rect PlayerModel::fitScene(int width, int height) {
    Rect r{5, 5, 300, 200};
    if (width > 0 && height > 0) {
        // W / H <= 1.5, exactly.
        if (2 * std::int64_t(width) <= 3 * std::int64_t(height)) {
            r.height = 200;
            r.width = int(mulDiv(200, width, height));
            r.left = 5 + (300 - r.width) / 2;
            r.top = 5;
        } else {
            r.width = 300;
            r.height = int(mulDiv(300, height, width));
            r.top = 5 + (200 - r.height) / 2;
            r.left = 5;
        }
    }
    r.top += 30;
    r.left = 0;
    return r;
}

Rect PlayerModel::viewPlacement(int viewWidth, int viewHeight, int pictureWidth,
                                int pictureHeight) {
    Rect r{0, 0, pictureWidth, pictureHeight};
    if (pictureHeight < viewHeight - 15)
        r.top = viewHeight / 2 - pictureHeight / 2;
    if (pictureWidth < viewWidth - 50)
        r.left = viewWidth / 2 - pictureWidth / 2;
    return r;
}

void PlayerModel::load(const std::vector<std::pair<int, int>>& sceneSizes) {
    m_pictures.clear();
    for (auto [w, h] : sceneSizes)
        m_pictures.push_back(fitScene(w, h));
    for (std::size_t k = 1; k < m_pictures.size(); ++k)
        m_pictures[k].left = m_pictures[k - 1].left + m_pictures[k - 1].width + kGap;
    m_direction = 2;
    m_timer = !m_pictures.empty();
    m_pointed = 0;
}

void PlayerModel::moveRight() {
    m_direction = 1;
    m_timer = !m_pictures.empty();
}

void PlayerModel::moveLeft() {
    m_direction = 2;
    m_timer = !m_pictures.empty();
}

bool PlayerModel::tick(int windowWidth) {
    if (!m_timer || m_pictures.empty()) {
        m_timer = false;
        return false;
    }
    int step;
    if (m_direction == 1) {
        if (m_pictures.front().left > 0) {
            m_timer = false;
            return false;
        }
        step = kStepPixels;
    } else {
        const Rect& last = m_pictures.back();
        if (last.left + last.width < windowWidth) {
            m_timer = false;
            return false;
        }
        step = -kStepPixels;
    }
    for (Rect& p : m_pictures)
        p.left += step;
    return true;
}

void PlayerModel::pointerOverPicture(int k) {
    if (k < 1 || k > count())
        return;
    m_pointed = k;
    m_timer = false;
}

void PlayerModel::pointerOverWindow() {
    if (!m_pictures.empty())
        m_timer = true;
}

} // namespace quill
