#include <gtest/gtest.h>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

#include "keyboard/KeyboardForm.h"

using namespace Qt::StringLiterals;

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

TEST_F(KeyboardTest, KeysTypeIntoTheFocusedControlWhichKeepsTheFocusAndNumSwitchesToDigits) {
    for (const QChar c : u"şeker ı"_s)
        tap(c);
    EXPECT_EQ(search->text(), u"şeker ı"_s);
    EXPECT_EQ(QApplication::focusWidget(), search);
    EXPECT_FALSE(keys->isActiveWindow());

    quantity->setFocus();
    quantity->setText(u"12"_s);
    tap(u"<--"_s);
    QSignalSpy enter(quantity, &QLineEdit::returnPressed);
    tap(u"Enter"_s);
    EXPECT_EQ(enter.count(), 1);
    EXPECT_EQ(quantity->text(), u"1"_s);
    EXPECT_EQ(search->text(), u"şeker ı"_s);  // the other box got nothing

    // Num and Harf switch the digit row and the space bar.
    search->setFocus();
    search->clear();
    for (const QString& key : {u"Num"_s, u"7"_s, u"0"_s, u"Harf"_s})
        tap(key);
    EXPECT_EQ(search->text(), u"70"_s);
    EXPECT_FALSE(visible(u"1"_s));  // letters again
    EXPECT_TRUE(visible(u" "_s));
    // A press between keys does nothing.
    QTest::mouseClick(keys.get(), Qt::LeftButton, {},
                      QPoint(keys->width() - 2, keys->height() - 2));
    EXPECT_EQ(search->text(), u"70"_s);

    // A message box blocks every key: the keyboard is out of its way until it closes.
    QDialog box(&main);
    bool hiddenForTheBox = false;
    QTimer::singleShot(0, &box, [&] {
        hiddenForTheBox = !keys->isVisible();
        box.reject();
    });
    box.exec();
    EXPECT_TRUE(hiddenForTheBox);
    EXPECT_TRUE(keys->isVisible());
}
