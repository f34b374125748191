#include <gtest/gtest.h>
#include <QFontMetricsF>
#include <QRect>

#include "layout/ReadableFont.h"
#include "layout/ResizeFrm.h"

TEST(ResizeFrm, ScalesFromTheReferenceInWholePercent) {
    EXPECT_EQ(layout::ResizeFrm::scaled(QRect(10, 20, 30, 40), 200, 100), QRect(20, 20, 60, 40));
    EXPECT_EQ(layout::ResizeFrm::scaled(QRect(10, 20, 30, 40), 100, 200), QRect(10, 40, 30, 80));
    EXPECT_EQ(layout::ResizeFrm::scaled(QRect(7, 7, 7, 7), 150, 150),
              QRect(10, 10, 10, 10));  // rounded down
    EXPECT_LT(layout::ResizeFrm::scaled(QRect(-2000, 0, 100, 30), 187, 187).right(), 0);
    EXPECT_LT(layout::ResizeFrm::scaled(QRect(-2000, 0, 100, 30), 40, 40).right(), 0);
}

// Capitals at the floor in device pixels or just above; a window below 600x600 lowers the floor.
TEST(ReadableFont, NoCapitalsBelowTheFloorAtAnyScale) {
    const struct {
        QSize device;
        double floor;
    } windows[] = {{{1024, 768}, 12},  {{800, 600}, 12},  {{600, 1024}, 12},
                   {{2048, 1536}, 12}, {{420, 900}, 8.4}, {{300, 150}, 3}};
    for (const auto& w : windows)
        EXPECT_DOUBLE_EQ(layout::readableCapHeight(w.device), w.floor) << w.device.width();

    const struct {
        double points, ratio;
        bool raised;
    } cases[] = {{6, 1, true},   {9, 1, true},    {7.5, 1.25, true}, {4, 2, true},
                 {24, 1, false}, {18, 0.5, true}, {12, 2, false}};
    for (const auto& k : cases) {
        SCOPED_TRACE(testing::Message() << k.points << "pt at " << k.ratio);
        const QFont font = layout::readableFont(QFont(), k.points, k.ratio, 12);
        // As drawn: the font at the device's size.
        const auto drawnCap = [&](double points) {
            QFont device = font;
            device.setPointSizeF(points * k.ratio);
            return QFontMetricsF(device).capHeight();
        };
        EXPECT_GE(drawnCap(font.pointSizeF()), 12);
        EXPECT_EQ(font.pointSizeF() > k.points, k.raised);
        if (k.raised) {  // the least, to a step
            EXPECT_LT(drawnCap(font.pointSizeF() - 0.5), 12);
        }
    }
}
