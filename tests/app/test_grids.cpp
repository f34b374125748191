// The grids and the proportional layout on the real window.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QFontMetricsF>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTableView>
#include <QTest>
#include <QWheelEvent>

#include "app/FormFixture.h"
#include "data/DataControl.h"
#include "data/Database.h"
#include "entry/NumberBox.h"
#include "support/FileSizeLimit.h"

using namespace testing_support;

namespace {

class GridTest : public WindowTest {
  protected:
    data::DataControl* temp() { return c<data::DataControl>("DataTemp"); }
    void clickHeader(QTableView* grid, int column) {
        QHeaderView* h = grid->horizontalHeader();
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {},
                          QPoint(h->sectionViewportPosition(column) + 5, h->height() / 2));
    }
    static void wheelDown(QTableView* grid) {
        QWheelEvent down(QPointF(50, 50), grid->mapToGlobal(QPointF(50, 50)), QPoint(),
                         QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(grid->viewport(), &down);
    }
};

}  // namespace

// Header taps sort both grids in turn up and down; drags and the wheel move, even over no rows.
TEST_F(GridTest, HeaderTapsSortAndDragsAndTheWheelMove) {
    start();
    auto* grid = c<QTableView>("DBGrid1");
    QWidget* view = grid->viewport();
    data::Recordset& rs = temp()->recordset();
    const int unit = c<QLabel>("Label7")->height();
    QTest::mousePress(view, Qt::LeftButton, {}, QPoint(50, 5 * unit + 10));
    QTest::mouseMove(view, QPoint(50, 2 * unit + 10));
    QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(50, 2 * unit + 10));  // up by 3 rows
    EXPECT_EQ(rs.AbsolutePosition(), 5 + 3);
    wheelDown(grid);
    EXPECT_EQ(rs.AbsolutePosition(), 9);
    EXPECT_EQ(c<QLineEdit>("Text1")->text(), rs.field(u"StokAdi"_s).toString());

    QTest::keyClick(f.get(), Qt::Key_F3);  // a count: the grid lists cards by code
    auto sorted = [&](const QString& field, bool ascending) {
        data::Recordset& r = temp()->recordset();  // the count made a new one
        for (int i = 1; i < r.RecordCount(); ++i) {
            const double a = r.fieldAt(i - 1, field).toDouble(), b = r.fieldAt(i, field).toDouble();
            if (ascending ? a > b : a < b) return false;
        }
        return r.RecordCount() > 1;
    };
    clickHeader(grid, 2);  // "Miktar"
    EXPECT_TRUE(sorted(u"KalanB"_s, true));
    EXPECT_EQ(c<entry::NumberBox>("Text2")->text(), u"Miktar"_s);  // feedback
    clickHeader(c<QTableView>("DBGrid2"), 1);  // the other grid continues the alternation
    EXPECT_TRUE(sorted(u"Fiyat2"_s, false));
    clickHeader(grid, 4);  // "Fiyat": the next entry is a price
    EXPECT_TRUE(sorted(u"Fiyat2"_s, true));
    EXPECT_TRUE(c<entry::NumberBox>("Text2")->isPriceEntry());

    data::Database::open(f->workingCopyPath())->execute(u"DELETE FROM StokKartlar"_s);
    data::RefreshData(*temp());
    QTest::mousePress(view, Qt::LeftButton, {}, QPoint(50, 200));
    QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(50, 20));
    wheelDown(grid);
    EXPECT_TRUE(messages.said.isEmpty()) << said();
}

TEST_F(GridTest, ColumnLayoutsAreSavedPerSituationAndRestoredAtTheNextStart) {
    start();
    auto* grid = c<QTableView>("DBGrid1");
    QWidget* header = grid->horizontalHeader()->viewport();
    const QString file2 = program.filePath(u"ZarvoGrd2.Dat"_s);
    // The program's own resizes, after a tap on a header, save nothing.
    QTest::mouseClick(header, Qt::LeftButton, {}, QPoint(20, 5));
    QTest::keyClick(f.get(), Qt::Key_F2);
    grid->horizontalHeader()->resizeSection(0, 120);
    EXPECT_FALSE(QFile::exists(file2));
    auto operatorResize = [&](int column, int width) {  // as the operator drags a column edge
        QTest::mousePress(header, Qt::LeftButton, {}, QPoint(5, 5));
        grid->horizontalHeader()->resizeSection(column, width);
        QTest::mouseRelease(header, Qt::LeftButton, {}, QPoint(5, 5));
    };
    operatorResize(0, 250);
    const QByteArray saved = readFile(file2);
    // SATIŞ hides the price column; it keeps a width in the file.
    EXPECT_TRUE(saved.endsWith(",#FALSE#\r\n") && !saved.endsWith("\n0,#FALSE#\r\n"));
    c<QCheckBox>("Check1(0)")->setChecked(false);
    c<QCheckBox>("Check1(1)")->setChecked(true);  // count mode writes its own file
    operatorResize(4, 180);
    EXPECT_TRUE(QFile::exists(program.filePath(u"ZarvoGrd1.Dat"_s)));
    EXPECT_EQ(readFile(file2), saved);

    // A full disk while saving: the operator is told, and the last good layout stays whole.
    {
        const FileSizeLimit disk(8);
        operatorResize(4, 150);
    }
    EXPECT_EQ(readFile(program.filePath(u"ZarvoGrd1.Dat"_s)).count("\r\n"), 5);
    ASSERT_EQ(messages.said.size(), 1) << said();
    EXPECT_TRUE(messages.said[0].startsWith(u"Sütun düzeni kaydedilemedi: "_s +
                                            program.filePath(u"ZarvoGrd1.Dat"_s)));
    f->close();

    writeFile(program.filePath(u"ZarvoGrd3.Dat"_s), "garbage\r\n1215,#FALSE#\r\n1e30,#TRUE#\r\n");
    writeFile(program.filePath(u"ZarvoGrd2.Dat"_s),
              saved.left(saved.lastIndexOf("\n", saved.size() - 3) + 1) +
                  QByteArray::number(qRound(150 * 1440.0 / grid->logicalDpiX())) + ",#FALSE#\r\n");
    start();
    EXPECT_EQ(c<QTableView>("DBGrid1")->columnWidth(0), 250);
    // A column hidden in the file comes back at its saved width when a count shows it.
    QTest::keyClick(f.get(), Qt::Key_F3);
    EXPECT_EQ(c<QTableView>("DBGrid1")->columnWidth(4), 150);
    // A width beyond any screen takes what the other columns leave: all of them stay in view.
    auto* grid2 = c<QTableView>("DBGrid2");
    for (int column = 0; column < grid2->model()->columnCount(); ++column)
        EXPECT_LE(grid2->columnViewportPosition(column) + grid2->columnWidth(column),
                  grid2->viewport()->width())
            << column;
}

// Controls and fonts scale from the designed size, never from the last one.
TEST_F(GridTest, EveryCaptionFitsAtAnySizeAndFontsScaleFromTheDesignedSize) {
    start();
    // A sale's entry screen, with a long word in the strip.
    QTest::keyClick(f.get(), Qt::Key_F2);
    scan(u"OLMAYAN ÜRÜN ADI 1234567890"_s);
    auto* text1 = c<QLineEdit>("Text1");
    f->resize(1024, 768);
    const QRect text1At = text1->geometry();
    const double font = text1->font().pointSizeF();
    f->resize(2048, 1536);
    EXPECT_NEAR(text1->font().pointSizeF(), font * 2, 0.01);
    // At any size every caption fits its control; from 600x600 up no capitals are below 12 px.
    for (const QSize size : {QSize(400, 600), QSize(420, 900), QSize(800, 600), QSize(600, 768),
                             QSize(600, 1024), QSize(1024, 768), QSize(3840, 2160)}) {
        f->resize(size);
        const std::string at = std::to_string(size.width()) + "x" + std::to_string(size.height());
        const bool floored = size.width() >= 600 && size.height() >= 600;
        for (QWidget* w : f->findChildren<QWidget*>()) {
            auto* b = qobject_cast<QAbstractButton*>(w);
            auto* l = qobject_cast<QLabel*>(w);
            auto* g = qobject_cast<QTableView*>(w);
            const QString caption = b ? b->text() : l ? l->text() : QString();
            // A screen reader says a word the operator knows, not the system's name ("Text1").
            if ((w->isVisibleTo(f.get()) || qobject_cast<QMenu*>(w)) &&
                !w->objectName().isEmpty() && !w->objectName().startsWith(u"qt_"_s)) {
                EXPECT_FALSE(w->accessibleName().isEmpty() ||
                             w->accessibleName() == w->objectName())
                    << w->objectName().toStdString() << " is read as '"
                    << w->accessibleName().toStdString() << "'";
            }
            // Parked out of view (the focus sink, the wheel receiver): nothing to read.
            const bool inView = QRect(w->mapTo(f.get(), QPoint()), w->size()).intersects(f->rect());
            if (!w->isVisibleTo(f.get()) || !inView ||
                !(g || qobject_cast<QLineEdit*>(w) || !caption.isEmpty()))
                continue;
            const std::string name = w->objectName().toStdString() + " at " + at;
            for (const QFont& font : g ? QList<QFont>{g->font(), g->horizontalHeader()->font()}
                                       : QList<QFont>{w->font()})
                EXPECT_TRUE(!floored || QFontMetricsF(font).capHeight() >= 12) << name;
            if (caption.isEmpty()) continue;
            const QFontMetrics metrics(w->font());
            if (l && l->wordWrap()) {  // wrapped: every line in sight
                EXPECT_LE(l->heightForWidth(l->width()), l->height()) << name;
                continue;
            }
            QStyleOptionButton option;
            option.initFrom(w);
            const QRect room =
                qobject_cast<QCheckBox*>(w)
                    ? w->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, w)
                : l ? l->contentsRect()
                    : w->rect();
            EXPECT_LE(metrics.horizontalAdvance(caption), room.width()) << name;
            EXPECT_LE(metrics.capHeight() + metrics.descent(), room.height()) << name;
        }
    }
    f->resize(30, 20);  // and back: nothing drifts
    f->resize(1024, 768);
    EXPECT_EQ(text1->geometry(), text1At);
    EXPECT_DOUBLE_EQ(text1->font().pointSizeF(), font);
}
