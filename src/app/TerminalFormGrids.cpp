// The grids of the main window (sorting, touch scrolling, wheel steps, saved column layouts) and
// the window's proportional layout.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFontMetricsF>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>
#include <QWheelEvent>

#include "app/TerminalForm.h"
#include "core/AtomicFile.h"
#include "data/DataControl.h"
#include "data/DatabaseError.h"
#include "data/Names.h"
#include "entry/GridRules.h"
#include "entry/NumberBox.h"
#include "entry/RecordsetModel.h"
#include "keyboard/KeyboardForm.h"
#include "layout/ReadableFont.h"
#include "modes/RoadTransitions.h"

namespace app {

namespace {

const QString HeadClick = QStringLiteral("HeadClick");

entry::RecordsetModel* modelOf(QTableView* grid) {
    return static_cast<entry::RecordsetModel*>(grid->model());
}

// The narrowest a column may be: its caption, a space either side and the header's own padding.
int captionRoom(const QFontMetricsF& metrics, const QString& caption) {
    return qCeil(metrics.horizontalAdvance(caption + QStringLiteral("  ")) + 14);
}

}  // namespace

// --- sorting -----------------------------------------------------------------------------

void TerminalForm::headerClicked(QTableView* grid, int column) {
    if (grid == DBGrid1 && (column == 2 || column == 4)) {
        // One second of feedback in the number box: which value the next entry is.
        m_flagText = HeadClick;
        Text2->setReformatSuspended(true);
        const QString kept = Text2->text();
        Text2->setAlignment(Qt::AlignCenter);
        // A header tap sorts at once: the road is drawn again only when what it asks changes.
        if (const modes::RoadState next = modes::askPrice(m_road, column == 4); next != m_road) {
            m_road = next;
            render();
        }
        Text2->setText(column == 4 ? QStringLiteral("Fiyat") : QStringLiteral("Miktar"));
        QTimer::singleShot(1000, this, [this, kept] {
            Text2->setText(kept);
            Text2->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            Text2->setReformatSuspended(false);
            m_flagText.clear();
        });
    }
    sortBy(grid, column);
}

void TerminalForm::sortBy(QTableView* grid, int column) {
    if (!DataTemp->isOpen()) return;
    const QString field = modelOf(grid)->column(column).field;
    DataTemp->setRecordSource(
        entry::sortedSource(DataTemp->recordSource(), field, m_sortDescending));
    m_sortDescending = !m_sortDescending;
    data::RefreshData(*DataTemp);
    showCurrentRecord();
}

// --- touch scrolling and the wheel ---------------------------------------------------------

void TerminalForm::dragScroll(QTableView* grid, double releaseY) {
    if (!DataTemp->isOpen()) return;
    data::Recordset& rs = DataTemp->recordset();
    const double distance = m_dragOrigin - releaseY;
    if (rs.RecordCount() == 0 || distance == 0) return;
    // The row unit of each grid, as the screen lays it out.
    const double unit = grid == DBGrid1 ? Label7->height() : Label6->height();
    const int rows = entry::dragRows(distance, unit);
    rs.setAbsolutePosition(
        entry::dragTarget(std::max(0, rs.AbsolutePosition()), rows, rs.RecordCount()));
    showCurrentRecord();
    m_flagText.clear();
    // The search box names the row a drag ends on, so OK books the row the operator sees.
    if (rows != 0 && !totalsOpen() && rs.hasCurrent()) {
        Text1->setText(rs.field(data::names::stok::StokAdi).toString());
        Text1->selectAll();
    }
}

void TerminalForm::wheelStep(int steps) {
    if (!DataTemp->isOpen()) return;
    data::Recordset& rs = DataTemp->recordset();
    if (rs.RecordCount() == 0) return;
    for (int i = 0; i < std::abs(steps); ++i) {
        if (steps < 0) {  // down
            if (rs.isEOF() || rs.AbsolutePosition() == rs.RecordCount() - 1)
                rs.MoveLast();
            else
                rs.MoveNext();
        } else {
            if (rs.isBOF() || rs.AbsolutePosition() == 0)
                rs.MoveFirst();
            else
                rs.MovePrevious();
        }
    }
    showCurrentRecord();
    if (!totalsOpen() && rs.hasCurrent())
        Text1->setText(rs.field(data::names::stok::StokAdi).toString());
}

bool TerminalForm::gridEvent(QTableView* grid, QEvent* e) {
    switch (e->type()) {
        case QEvent::MouseButtonPress: {
            auto* m = static_cast<QMouseEvent*>(e);
            m_pressPosition = m->position().toPoint();
            if (grid == DBGrid1) guarded([this] { gridPressed(); });
            m_dragOrigin = m->position().y();
            return false;
        }
        case QEvent::MouseMove: {
            auto* m = static_cast<QMouseEvent*>(e);
            // Ctrl+Alt and a held button drag the window itself.
            if (grid == DBGrid1 && m->buttons() != Qt::NoButton &&
                m->modifiers() == (Qt::ControlModifier | Qt::AltModifier)) {
                move(pos() + (m->position().toPoint() - m_pressPosition));
                return true;
            }
            // A finger moving over the grid scrolls it on release; it selects nothing meanwhile.
            return m->buttons() != Qt::NoButton;
        }
        case QEvent::MouseButtonRelease:
            guarded([this, grid, e] {
                dragScroll(grid, static_cast<QMouseEvent*>(e)->position().y());
            });
            return false;
        case QEvent::Wheel: {
            const int notches = static_cast<QWheelEvent*>(e)->angleDelta().y() / 120;
            if (notches != 0) guarded([this, notches] { wheelStep(notches); });
            return true;
        }
        default:
            return false;
    }
}

// --- column layouts ------------------------------------------------------------------------

QString TerminalForm::layoutFile(const QString& number) const {
    return QDir(m_context.env.workFolder).filePath(QStringLiteral("ZarvoGrd%1.Dat").arg(number));
}

void TerminalForm::columnResized(QTableView* grid, int column, int newSize) {
    // Only the operator's own drag of a header border is a layout to keep.
    if (m_layoutBusy || !m_headerPressed || newSize == 0) return;
    m_layoutBusy = true;
    if (column == m_fits.value(grid).nameColumn) refitNameColumn(grid);
    guarded([this, grid] { saveLayout(grid); });
    rememberColumns(grid);
    m_layoutBusy = false;
}

int TerminalForm::columnWidth(QTableView* grid, int column) {
    // A hidden column reads as 0 wide; this is the width it comes back with.
    if (!grid->isColumnHidden(column)) return grid->columnWidth(column);
    const bool was = m_layoutBusy;
    m_layoutBusy = true;
    grid->setColumnHidden(column, false);
    const int width = grid->columnWidth(column);
    grid->setColumnHidden(column, true);
    m_layoutBusy = was;
    return width;
}

void TerminalForm::rememberColumns(QTableView* grid) {
    GridFit& fit = m_fits[grid];
    if (fit.referenceWidth <= 0 || grid->width() <= 0) return;
    for (int c = 0; c < grid->model()->columnCount(); ++c)
        if (c != fit.nameColumn)
            fit.columns[c] = columnWidth(grid, c) * double(fit.referenceWidth) / grid->width();
}

void TerminalForm::centreCaptions(QTableView* grid) {
    const QFontMetricsF metrics(grid->horizontalHeader()->font());
    auto* model = modelOf(grid);
    const bool was = m_layoutBusy;
    m_layoutBusy = true;
    for (int c = 0; c < model->columnCount(); ++c) {
        if (grid->isColumnHidden(c)) continue;
        const QString caption =
            model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString().trimmed();
        const int least = captionRoom(metrics, caption);
        if (grid->columnWidth(c) < least) grid->setColumnWidth(c, least);
        const int align = model->column(c).format == entry::GridColumn::Format::Text ? 0 : 1;
        model->setHeaderData(
            c, Qt::Horizontal,
            entry::centredCaption(caption, grid->columnWidth(c), metrics.horizontalAdvance(caption),
                                  metrics.horizontalAdvance(u' '), align),
            Qt::EditRole);
    }
    m_layoutBusy = was;
}

void TerminalForm::saveLayout(QTableView* grid) {
    centreCaptions(grid);
    const double tpp = twipsPerPixel();
    auto* model = modelOf(grid);
    std::vector<entry::ColumnLayout> columns;
    for (int c = 0; c < model->columnCount(); ++c)
        columns.push_back({columnWidth(grid, c) * tpp, !grid->isColumnHidden(c)});
    const QString number = totalsOpen()                                    ? QStringLiteral("3")
                           : (m_road.operation == modes::Operation::Count) ? QStringLiteral("1")
                                                                           : QStringLiteral("2");
    QString error;
    if (!core::writeFileAtomically(layoutFile(number), entry::writeGridLayout(columns), &error))
        throw data::DatabaseError(
            QStringLiteral("Sütun düzeni kaydedilemedi: %1 (%2)").arg(layoutFile(number), error));
}

void TerminalForm::loadLayout(const QString& number, QTableView* grid) {
    QFile file(layoutFile(number));
    if (!file.exists() || !file.open(QIODevice::ReadOnly)) return;
    const auto columns = entry::readGridLayout(file.read(64 * 1024));
    const double tpp = twipsPerPixel();
    auto* model = modelOf(grid);
    m_layoutBusy = true;
    for (int c = 0; c < model->columnCount(); ++c)
        grid->setColumnHidden(c, false);
    // Widths first, for hidden columns too: a column shown later comes back at its saved width.
    // None is wider than the grid.
    const int room = grid->viewport()->width() > 0 ? grid->viewport()->width() : grid->width();
    const double widest = room > 0 ? room : 4000;
    for (int c = 0; c < model->columnCount() && c < static_cast<int>(columns.size()); ++c) {
        if (!columns[c]) continue;  // a line that cannot be read leaves the column as it was
        const int width = qRound(std::min(columns[c]->widthTwips / tpp, widest));
        if (width > 0) grid->setColumnWidth(c, width);
    }
    for (int c = 0; c < model->columnCount() && c < static_cast<int>(columns.size()); ++c)
        if (columns[c]) grid->setColumnHidden(c, !columns[c]->visible);
    // A column as wide as the grid or wider (1e30 in a damaged file) would fill it and push
    // every other column out of sight: it takes what the others leave, at least its caption.
    if (room > 0) {
        const QFontMetricsF metrics(grid->horizontalHeader()->font());
        for (int c = 0; c < model->columnCount(); ++c) {
            if (grid->isColumnHidden(c) || grid->columnWidth(c) < room) continue;
            int others = 0;
            for (int o = 0; o < model->columnCount(); ++o)
                if (o != c && !grid->isColumnHidden(o)) others += grid->columnWidth(o);
            const QString caption =
                model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString().trimmed();
            grid->setColumnWidth(c, std::max(room - others, captionRoom(metrics, caption)));
        }
    }
    centreCaptions(grid);
    m_layoutBusy = false;
}

// --- proportional layout -------------------------------------------------------------------

void TerminalForm::resizeEvent(QResizeEvent* e) {
    QMainWindow::resizeEvent(e);
    Form_Resize();
}

void TerminalForm::Form_Resize() {
    QWidget* root = centralWidget();
    if (!root || !m_resize.registered()) return;
    m_resize.resizeForm(this, root);
    // Fonts follow the search box's size, from the reference sizes: repeated resizes do not
    // drift, and a collapsed window keeps its fonts.
    // The smaller of the two stretches: a narrow, tall window must not give captions wider than
    // their controls.
    if (m_referenceText1Size.isEmpty() || Text1->height() <= 0 || Text1->width() <= 0) return;
    const double tall = double(Text1->height()) / m_referenceText1Size.height();
    const double r = std::min(tall, double(Text1->width()) / m_referenceText1Size.width());
    // No text the operator reads falls below the readable floor, whatever the proportion says.
    const double ratio = devicePixelRatioF();
    const double floor = layout::readableCapHeight(size() * ratio);
    for (auto it = m_referenceFonts.constBegin(); it != m_referenceFonts.constEnd(); ++it)
        it.key()->setFont(layout::readableFont(it.key()->font(), it.value() * r, ratio, floor));
    // The operation boxes' tick and margins shrink with their captions, or a narrow window
    // leaves the caption no room.
    const QString box = QStringLiteral(
                            "QCheckBox { padding-left: %1px; spacing: %2px; }"
                            "QCheckBox::indicator { width: %3px; height: %3px; }")
                            .arg(qRound(18 * r))
                            .arg(qRound(14 * r))
                            .arg(std::max(14, qRound(40 * r)));
    for (QCheckBox* b : Check1)
        b->setStyleSheet(box);
    for (QTableView* grid : {DBGrid1, DBGrid2}) {
        // Rows follow the height, as the labels that give a drag its row unit.
        grid->verticalHeader()->setDefaultSectionSize(std::max(18, qRound(36 * tall)));
    }
    for (QTableView* grid : {DBGrid1, DBGrid2}) {
        const GridFit& fit = m_fits[grid];
        if (fit.referenceWidth <= 0 || grid->width() <= 0) continue;
        m_layoutBusy = true;
        for (auto it = fit.columns.constBegin(); it != fit.columns.constEnd(); ++it)
            grid->setColumnWidth(it.key(), qRound(it.value() * grid->width() / fit.referenceWidth));
        // A barcode is read whole: at the readable size its column takes thirteen digits.
        if (grid == DBGrid1) {
            const int digits =
                qCeil(QFontMetricsF(grid->font()).horizontalAdvance(QString(13, u'8'))) + 12;
            if (grid->columnWidth(0) < digits) grid->setColumnWidth(0, digits);
        }
        refitNameColumn(grid);
        m_layoutBusy = false;
        // The header font has changed with the window: captions are centred for the new widths,
        // and a caption that widened its column took the room from the name, or a narrow window
        // would push the last column out of sight.
        centreCaptions(grid);
        refitNameColumn(grid);
        centreCaptions(grid);
    }
    fitStatusStrip();
    shareScreenWithKeyboard();
}

void TerminalForm::fitStatusStrip() {
    QWidget* form = centralWidget();
    if (!m_resize.registered() || !StatusStrip || form->width() <= 0 || form->height() <= 0) return;
    const int h = m_resize.horizontalPercentage(form), v = m_resize.verticalPercentage(form);
    auto proportional = [&](const QWidget* w) {
        return layout::ResizeFrm::scaled(m_resize.referenceOf(w), h, v);
    };
    // A narrow window wraps the strip's text to more lines than its row holds: the grid and the
    // mode panel above it give it the room, so no line of it is cut.
    const QRect row = proportional(StatusStrip);
    const int needed = StatusStrip->heightForWidth(row.width());
    const int top = std::min(row.top(), row.bottom() + 1 - needed);
    StatusStrip->setGeometry(row.left(), top, row.width(), row.bottom() + 1 - top);
    for (QWidget* above : {static_cast<QWidget*>(DBGrid1), static_cast<QWidget*>(Frame1)}) {
        const QRect now = above->geometry(), designed = proportional(above);
        const int bottom = std::min(designed.bottom(), top - (row.top() - designed.bottom()));
        if (bottom != now.bottom())
            above->setGeometry(now.left(), now.top(), now.width(), bottom + 1 - now.top());
    }
}

void TerminalForm::shareScreenWithKeyboard() {
    auto* keys = qobject_cast<keyboard::KeyboardForm*>(Form1);
    if (!keys || !m_keyboardOverGrids) return;
    QWidget* form = centralWidget();
    // Below the entry row and above the mode panel, which every button of the road sits in or
    // below: the keyboard covers no control the operator taps, only rows of the grids.
    const int gap = std::max(2, form->height() / 128);
    const int top = Text1->geometry().bottom() + 1 + gap;
    const int bottom = Frame1->geometry().top() - gap;
    const QRect placed =
        keys->placeIn(QRect(form->mapToGlobal(QPoint(0, top)), QSize(form->width(), bottom - top)));
    const int below = form->mapFromGlobal(placed.bottomLeft()).y() + 1 + gap;
    // The item grid starts below it, so the row a scan finds is scrolled into sight. (The totals
    // take no typing: the keyboard gives way to them.)
    const QRect r = DBGrid1->geometry();
    if (below > r.top() && below < r.bottom())
        DBGrid1->setGeometry(r.left(), below, r.width(), r.bottom() + 1 - below);
    showCurrentRecord();
}

}  // namespace app
