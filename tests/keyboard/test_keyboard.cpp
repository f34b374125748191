#include <gtest/gtest.h>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include "keyboard/KeyboardForm.h"

namespace {

class KeyboardTest : public ::testing::Test {
  protected:
    QWidget main;
    QLineEdit* search = new QLineEdit(&main);
    QLineEdit* quantity = new QLineEdit(&main);
    std::unique_ptr<keyboard::KeyboardForm> keys;

    void SetUp() override {
        auto* box = new QVBoxLayout(&main);
        box->addWidget(search);
        box->addWidget(quantity);
        main.show();
        QApplication::setActiveWindow(&main);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
        search->setFocus();
        keys = std::make_unique<keyboard::KeyboardForm>(&main);
        keys->placeUnder(main.frameGeometry());
        keys->show();
    }
    void tap(const QString& caption) {
        QLabel* k = keys->key(caption);
        ASSERT_NE(k, nullptr) << caption.toStdString();
        QTest::mouseClick(keys.get(), Qt::LeftButton, {}, k->geometry().center());
    }
    bool visible(const QString& caption) {
        QLabel* k = keys->key(caption);
        return k && k->geometry().bottom() < keys->height();
    }
};

}  // namespace

TEST_F(KeyboardTest, KeysTypeIntoTheFocusedControlWhichKeepsTheFocus) {
    for (const char* c : {"ş", "e", "k", "e", "r", " ", "ı"})
        tap(QString::fromUtf8(c));
    EXPECT_EQ(search->text(), QStringLiteral("şeker ı"));
    EXPECT_EQ(QApplication::focusWidget(), search);
    EXPECT_FALSE(keys->isActiveWindow());

    quantity->setFocus();
    quantity->setText(QStringLiteral("12"));
    tap(QStringLiteral("<--"));
    EXPECT_EQ(quantity->text(), QStringLiteral("1"));
    QSignalSpy enter(quantity, &QLineEdit::returnPressed);
    tap(QStringLiteral("Enter"));
    EXPECT_EQ(enter.count(), 1);
    EXPECT_EQ(search->text(), QStringLiteral("şeker ı"));  // the other box got nothing
}

TEST_F(KeyboardTest, NumAndHarfSwitchTheDigitRowAndTheSpaceBar) {
    EXPECT_FALSE(visible(QStringLiteral("1")));
    EXPECT_TRUE(visible(QStringLiteral(" ")));
    tap(QStringLiteral("Num"));
    EXPECT_TRUE(keys->digitsShown());
    EXPECT_TRUE(visible(QStringLiteral("1")));
    EXPECT_FALSE(visible(QStringLiteral(" ")));
    EXPECT_NE(keys->key(QStringLiteral("Harf")), nullptr);
    tap(QStringLiteral("7"));
    tap(QStringLiteral("0"));
    EXPECT_EQ(search->text(), QStringLiteral("70"));
    tap(QStringLiteral("Harf"));
    EXPECT_FALSE(visible(QStringLiteral("1")));
    EXPECT_TRUE(visible(QStringLiteral(" ")));
    EXPECT_NE(keys->key(QStringLiteral("Num")), nullptr);
    // A press between keys does nothing.
    QTest::mouseClick(keys.get(), Qt::LeftButton, {},
                      QPoint(keys->width() - 2, keys->height() - 2));
    EXPECT_EQ(search->text(), QStringLiteral("70"));
}
