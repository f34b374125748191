#include <gtest/gtest.h>
#include <QLabel>
#include <QWidget>

#include "layout/ResizeFrm.h"

using namespace Qt::StringLiterals;

TEST(ResizeFrm, ScalesFromTheReferenceInWholePercent) {
    EXPECT_EQ(layout::ResizeFrm::scaled(QRect(10, 20, 30, 40), 200, 100), QRect(20, 20, 60, 40));
    EXPECT_EQ(layout::ResizeFrm::scaled(QRect(10, 20, 30, 40), 100, 200), QRect(10, 40, 30, 80));
    EXPECT_EQ(layout::ResizeFrm::scaled(QRect(7, 7, 7, 7), 150, 150),
              QRect(10, 10, 10, 10));  // rounded down
    const QRect parked = layout::ResizeFrm::scaled(QRect(-2000, 0, 100, 30), 187, 187);
    EXPECT_LT(parked.right(), 0);
    EXPECT_LT(layout::ResizeFrm::scaled(QRect(-2000, 0, 100, 30), 40, 40).right(), 0);
}

TEST(ResizeFrm, RepeatedResizesReturnToTheReference) {
    QWidget form;
    form.resize(400, 300);
    auto* box = new QLabel(u"x"_s, &form);
    box->setObjectName(u"Label1"_s);
    box->setGeometry(40, 30, 120, 60);
    auto* parked = new QLabel(&form);
    parked->setObjectName(u"TextSet"_s);
    parked->setGeometry(-500, 10, 50, 20);
    layout::ResizeFrm engine;
    engine.registerForm(&form, form.size());
    for (const QSize& size :
         {QSize(800, 600), QSize(37, 19), QSize(0, 0), QSize(1920, 1080), QSize(400, 300)}) {
        form.resize(size);
        engine.resizeForm(&form, &form);
        EXPECT_LT(parked->geometry().right(), 0) << size.width();
    }
    EXPECT_EQ(box->geometry(), QRect(40, 30, 120, 60));
    form.resize(800, 600);
    engine.resizeForm(&form, &form);
    EXPECT_EQ(engine.horizontalPercentage(&form), 200);
    EXPECT_EQ(box->geometry(), QRect(80, 60, 240, 120));
}
