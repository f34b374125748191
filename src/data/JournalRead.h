#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <optional>
#include <vector>

#include "data/Journal.h"

namespace data::journal {

/// Which entries a reading lists: whole days from `from` to `to` (each inclusive, each optional)
/// and one terminal.
struct Filter {
    std::optional<QDate> from, to;
    std::optional<int> terminal;
};

/// A disagreement between the journal and the books.
struct Finding {
    enum class Kind {
        DocumentWithoutEntry,  // a document of the books in the period that no entry records
        EntryWithoutDocument,  // a listed document entry whose document a company lacks
    };
    Kind kind = Kind::DocumentWithoutEntry;
    QString company;  // "02"
    QString number;   // the document's DigerId
    QDateTime at;     // the document's date, or the entry's time
};

struct Reading {
    std::vector<Entry> entries;     // in time order, then by id
    std::vector<Finding> findings;  // by company, then by number
};

/// Reads the journal of the books at `location` and checks it against the companies' documents.
/// `location` is a data directory of files (ending in a separator) or a server's database,
/// "postgresql://HOST[:PORT]/DATABASE" with its options. Nothing is written: files are opened
/// read-only, the server is read in one read-only transaction. A journal not made yet has no
/// entries. Throws DatabaseError when the books cannot be read or hold no company.
Reading read(const QString& location, const Filter& filter);

}  // namespace data::journal
