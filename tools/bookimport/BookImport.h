#pragma once

#include <QString>
#include <functional>

namespace data {

/// Moves a data directory of SQLite books ("01Cari.mdb", "01Stok.mdb", …, "FatNo.txt") onto a
/// PostgreSQL server at "postgresql://HOST[:PORT]/DATABASE": every company file becomes a schema
/// of its tables, every row is copied with its key, amounts become exact decimals of four places,
/// date-times become timestamp(0) and the invoice's day a date (a text no date reading takes, or a
/// number field's text that is no number, stops the import, naming table, row, field and value),
/// and the invoice number moves into the one row of "terminal.fatno". A company file must hold
/// its kind's tables (by its name's ending: Cari, Stok, Fatura, Index) and no other kind's main
/// table. All in one transaction: when the server already holds books, or anything fails, nothing
/// is written. Throws DatabaseError.
struct ImportCount {
    int files = 0;
    int tables = 0;
    qint64 rows = 0;
};
ImportCount importBooks(const QString& dataDirectory, const QString& serverUrl,
                        const std::function<void(const QString&)>& progress = {});

/// The server schema of the terminal's own tables: "fatno", the one row of the invoice number
/// ("FatNo.txt" on files), and "postings", the postings already written.
inline constexpr const char* TerminalSchema = "terminal";

}  // namespace data
