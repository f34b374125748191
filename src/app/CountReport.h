#pragma once

#include <QDateTime>
#include <QString>
#include <vector>

#include "core/Money.h"

namespace data {
class Recordset;
}

namespace app {

/// One card of the count-difference report: still expected on the shelf, counted beyond the book.
struct CountDifference {
    core::Quantity missing;  // KalanB, under "Eksik"
    core::Quantity excess;   // KalanA, under "Fazla"
    QString name;
};

/// The cards of a count in their recordset's order.
std::vector<CountDifference> countDifferences(data::Recordset& counted);

/// One report block, CR LF line ends: the date and time, a blank line, the header, one line per
/// card (the two numbers right-aligned in 10 characters, longer ones written whole, then two
/// blanks and the name) and a closing blank line.
QString reportBlock(const QDateTime& at, const std::vector<CountDifference>& cards);

/// A title made safe as a file name: no folder separators, reserved characters or "..".
QString safeFileName(const QString& title);

/// Appends the block to `folder`/<title>.txt (the folder is made when missing) and puts a link to
/// that file on the desktop folder: a shell link on Windows, a desktop link file elsewhere.
/// Returns an empty text, or what went wrong.
QString writeCountReport(const QString& folder, const QString& desktop, const QString& title,
                         const QString& block);

/// Where the reports go: "C:\RezoruviZada" on Windows, ~/RezoruviZada elsewhere.
QString defaultReportFolder();

}  // namespace app
