#pragma once

#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

#include "data/Books.h"
#include "data/Journal.h"
#include "data/Pending.h"

namespace data {
class DatabaseError;
}

namespace posting {

using core::Money;
using data::AttachedBooks;
using data::Line;
using data::LineOrder;
namespace journal = data::journal;

/// One kind of document written from the working set's entered lines: a posting or an invoice.
class DocumentWriter {
  public:
    virtual ~DocumentWriter() = default;
    /// Once the books are joined, before the transaction begins (to take a lock of its own).
    virtual void joined(AttachedBooks&) {}
    /// The books could not be joined: may throw a clearer error than `error`.
    virtual void cannotJoin(const data::DatabaseError&) {}
    /// Reads every row the document writes; adds each one missing, named, to `missing`.
    virtual void find(AttachedBooks& books, const std::vector<Line>& lines,
                      QStringList& missing) = 0;
    /// Writes the document of `lines`, which add up to `total`; returns the number the books
    /// carry it under.
    virtual QString write(AttachedBooks& books, const std::vector<Line>& lines, Money total) = 0;
    /// Names the document written under `number` in its journal entry.
    virtual void name(journal::Entry& entry, const QString& number) const { entry.number = number; }
};

struct DocumentRequest {
    QString workingCopy;
    std::vector<std::pair<QString, QString>> files;  // alias and path of each book written
    LineOrder order = LineOrder::ByCode;
    bool invoice = false;
    QString nothingWritten;  // the missing rows' heading: "Hiçbir şey yazılmadı"
    /// The journal entry of the document, its road filled in (the frame adds the rest), and on
    /// files the journal beside the books.
    journal::Entry entry;
    QString journalFile;
};

struct DocumentResult {
    bool written = false;  // false: the lines add up to 0 and nothing was written
    std::vector<Line> lines;
    Money total;
    /// On a server: what became of an earlier document whose answer was lost, resolved first.
    data::PendingResult earlier;
};

/// The one frame of every document: join every book involved, begin, settle an earlier document
/// whose answer was lost (server), read the entered lines, check every row they need exists,
/// write, commit, and take the lines out of the working set. Files commit the working copy's
/// reset in the same transaction; a server commits first and resets the working copy after, the
/// document's token (kept in both with exactly its lines) making a repeat after a lost answer
/// harmless. On any error nothing is written and it is thrown as DatabaseError. Behind another
/// terminal's write the whole of it is tried again, for as long as the operator waits. The
/// document's journal entry, and the entries the basket kept, commit with it; a refusal (lines
/// adding up to nothing, a missing row, an error, a wait given up) is kept in the basket.
DocumentResult writeDocument(const DocumentRequest& request, DocumentWriter& writer);

}  // namespace posting
