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

/// A working copy of a company's stock file on a server: a new SQLite file at `target` with the
/// file's tables as the books define them and the stock cards in one streamed read, keys kept.
/// Returns the number of cards copied; throws DatabaseError, leaving no file behind.
qint64 copyToWorkingFile(const QString& serverFile, const QString& target,
                         const std::function<void(int percent)>& progress = {});

/// Brings such a copy up to date: reads only the cards written on the server since the copy was
/// last read (a whole read when there is no copy of these books, or cards were deleted). Returns
/// the number of cards read; throws DatabaseError, leaving no file behind.
qint64 refreshWorkingFile(const QString& serverFile, const QString& target,
                          const std::function<void(int)>& progress = {});

/// The server schema of the terminal's own tables: "fatno", the one row of the invoice number
/// ("FatNo.txt" on files), and "postings", the postings already written.
inline constexpr const char* TerminalSchema = "terminal";

}  // namespace data
