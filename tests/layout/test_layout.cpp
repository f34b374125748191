#include <gtest/gtest.h>
#include <QRect>

#include "layout/ResizeFrm.h"

TEST(ResizeFrm, ScalesFromTheReferenceInWholePercent) {
    EXPECT_EQ(layout::ResizeFrm::scaled(QRect(10, 20, 30, 40), 200, 100), QRect(20, 20, 60, 40));
    EXPECT_EQ(layout::ResizeFrm::scaled(QRect(10, 20, 30, 40), 100, 200), QRect(10, 40, 30, 80));
    EXPECT_EQ(layout::ResizeFrm::scaled(QRect(7, 7, 7, 7), 150, 150),
              QRect(10, 10, 10, 10));  // rounded down
    const QRect parked = layout::ResizeFrm::scaled(QRect(-2000, 0, 100, 30), 187, 187);
    EXPECT_LT(parked.right(), 0);
    EXPECT_LT(layout::ResizeFrm::scaled(QRect(-2000, 0, 100, 30), 40, 40).right(), 0);
}
