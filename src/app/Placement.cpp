#include "app/Placement.h"

#include <algorithm>

namespace app {

QRect placedOnScreen(const QRect& frame, const QRect& available) {
    if (available.isEmpty()) return frame;
    const int w = std::clamp(frame.width(), 1, available.width());
    const int h = std::clamp(frame.height(), 1, available.height());
    const int x = std::clamp(frame.x(), available.left(), available.right() + 1 - w);
    const int y = std::clamp(frame.y(), available.top(), available.bottom() + 1 - h);
    return {x, y, w, h};
}

}  // namespace app
