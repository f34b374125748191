#pragma once

#include <QString>

namespace data {

/// A data control's record source taken apart: a table name, or "Select * FROM t [Where …]
/// [Order By …]" as the terminal writes them. Where and order are already in SQLite's dialect.
struct RecordSource {
    QString table;
    QString where;    // empty: all rows
    QString orderBy;  // empty: table order

    /// Throws DatabaseError for a source the terminal does not write.
    static RecordSource parse(const QString& source);
};

}  // namespace data
