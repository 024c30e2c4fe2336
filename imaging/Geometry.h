#pragma once

#include <algorithm>

namespace quill {

// A rectangle by its left, top, width and height: controls on the canvas and in panels,
// thumbnails in their boxes, rectangles of scene pixels.
struct Rect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    int right() const { return left + width; }  // one past the last column
    int bottom() const { return top + height; } // one past the last row
    bool empty() const { return width <= 0 || height <= 0; }
    bool contains(int x, int y) const {
        return x >= left && x < right() && y >= top && y < bottom();
    }
    bool operator==(const Rect&) const = default;

    // The smallest rectangle holding both (an empty rectangle adds nothing).
    Rect united(const Rect& o) const {
        if (o.empty())
            return *this;
        if (empty())
            return o;
        return fromEdges(std::min(left, o.left), std::min(top, o.top), std::max(right(), o.right()),
                         std::max(bottom(), o.bottom()));
    }
    // The common part (empty when they do not meet).
    Rect intersected(const Rect& o) const {
        const int l = std::max(left, o.left), t = std::max(top, o.top);
        const int r = std::min(right(), o.right()), b = std::min(bottom(), o.bottom());
        if (l >= r || t >= b)
            return {};
        return fromEdges(l, t, r, b);
    }
    static Rect fromEdges(int left, int top, int right, int bottom) {
        return {left, top, right - left, bottom - top};
    }
};

struct Point {
    int x = 0;
    int y = 0;
    bool operator==(const Point&) const = default;
};

} // namespace quill
