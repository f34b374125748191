#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <optional>
#include <vector>

namespace entry {

/// The record source sorted by one field: everything up to " ORDER BY" (any case) is kept and
/// the old order replaced, or the order is appended when there was none.
QString sortedSource(const QString& source, const QString& field, bool descending);

/// Whole rows a vertical drag moves: Int(d / h + 0.49), d = origin − release (up is positive).
int dragRows(qreal distance, qreal rowHeight);

/// Where a drag of `rows` from `position` lands in `count` records (clamped to first and last).
int dragTarget(int position, int rows, int count);

/// Screen measures (pixels, twips, a font's widths) are qreal, Qt's own; values of the books are
/// core::Money.

/// One grid column as the layout files keep it.
struct ColumnLayout {
    qreal widthTwips = 0;
    bool visible = true;
};

/// Layout file text: one "width,#TRUE#" or "width,#FALSE#" line per column, CR LF, the width in
/// the shortest text that gives its single-precision value back.
QByteArray writeGridLayout(const std::vector<ColumnLayout>& columns);

/// Reads a layout file line by line (CR LF, LF or CR); a line that cannot be read is empty in the
/// result, so the column keeps what it had. Negative widths are unreadable; huge ones are capped.
std::vector<std::optional<ColumnLayout>> readGridLayout(const QByteArray& text);

/// A header caption centred with spaces: left-aligned columns get the spaces before it,
/// right-aligned after, centred ones nothing. Widths in one unit (the header font's).
QString centredCaption(const QString& caption, qreal columnWidth, qreal textWidth, qreal spaceWidth,
                       int alignment);

}  // namespace entry
