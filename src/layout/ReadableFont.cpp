#include "layout/ReadableFont.h"

#include <QFontMetricsF>
#include <QSize>
#include <algorithm>

namespace layout {

double readableCapHeight(const QSize& deviceSize) {
    const int side = std::min(deviceSize.width(), deviceSize.height());
    return ReadableCapHeight * std::clamp(double(side) / SmallestScreenSide, 0.0, 1.0);
}

QFont readableFont(QFont font, double points, double devicePixelRatio, double minCapPixels) {
    const double ratio = devicePixelRatio > 0 ? devicePixelRatio : 1;
    // Capitals as drawn in device pixels: the font at the device's size, hinted there.
    const auto capAt = [&font, ratio](double size) {
        QFont device = font;
        device.setPointSizeF(size * ratio);
        return QFontMetricsF(device).capHeight();
    };
    const double cap = capAt(points);
    double size = points;
    if (cap > 0 && cap < minCapPixels) {
        // Capitals grow with the size, but hinting rounds them: from the estimate, the least
        // size in quarter points whose capitals are high enough.
        size = points * minCapPixels / cap;
        for (int step = 0; step < 40 && capAt(size) < minCapPixels; ++step)
            size += 0.25;
        for (int step = 0; step < 40 && size - 0.25 > points && capAt(size - 0.25) >= minCapPixels;
             ++step)
            size -= 0.25;
    }
    font.setPointSizeF(size);
    return font;
}

}  // namespace layout
