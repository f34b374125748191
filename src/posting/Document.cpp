#include "posting/Document.h"

#include <memory>

#include "data/Basket.h"
#include "data/Database.h"
#include "data/DatabaseError.h"
#include "data/RetryWhileBusy.h"
#include "data/Transaction.h"

namespace posting {

using data::BusyError;
using data::Database;
using data::DatabaseError;
using data::PendingResult;
using data::Transaction;
namespace basket = data::basket;

namespace {

// What became of an earlier document whose answer was lost, as the journal keeps it.
std::optional<journal::Entry> settledEntry(const DocumentRequest& r, const PendingResult& earlier) {
    if (earlier.message().isEmpty()) return std::nullopt;
    journal::Entry e = r.entry;
    e.event = journal::Event::Settled;
    e.number = earlier.number;
    e.reason = earlier.message();
    return e;
}

// The books the document writes, joined with the journal: a file beside them, or a table of
// the books' own database.
std::unique_ptr<AttachedBooks> joinBooks(const DocumentRequest& r, DocumentWriter& writer) {
    try {
        auto files = r.files;
        const bool journalFile = !r.journalFile.isEmpty();
        if (journalFile) {
            journal::ensureFile(r.journalFile);
            files.emplace_back(QStringLiteral("jr"), r.journalFile);
        }
        auto joined = std::make_unique<AttachedBooks>(r.workingCopy, files);
        if (!journalFile) journal::ensureTable(joined->db());
        return joined;
    } catch (const DatabaseError& e) {
        writer.cannotJoin(e);
        throw;
    }
}

DocumentResult writeOnce(const DocumentRequest& r, DocumentWriter& writer, bool& committed) {
    const std::unique_ptr<AttachedBooks> joined = joinBooks(r, writer);
    AttachedBooks& books = *joined;
    writer.joined(books);

    DocumentResult result;
    // On a server the working copy is not in the books' transaction: the document carries a
    // token that the server keeps with it, so a repeated "Tamam" after a lost answer cannot write
    // it twice.
    QString token;
    bool committing = false;
    try {
        Transaction transaction(books.db());
        // An earlier document whose answer was lost is settled before the lines are read.
        if (books.workingCopyApart())
            result.earlier = data::resolvePendingIn(books.db(), books.workingCopy());
        result.lines = data::enteredLines(books.workingCopy(), r.order);
        // The exact sum of the exact lines: the document equals its lines to the last digit.
        for (const Line& line : result.lines)
            result.total += line.amount;
        if (result.lines.empty() || result.total.isZero()) {
            // A settled document is the journal's even when nothing follows it.
            if (const auto settled = settledEntry(r, result.earlier)) {
                const QStringList moved = journal::write(books, {*settled});
                transaction.commit();
                journal::forget(books.workingCopy(), moved);
            }
            return result;
        }

        QStringList missing;
        writer.find(books, result.lines, missing);
        if (!missing.isEmpty())
            throw DatabaseError(r.nothingWritten + QStringLiteral("; bulunamayan kayıtlar:\n") +
                                missing.mid(0, 12).join(u'\n') +
                                (missing.size() > 12 ? QStringLiteral("\n…") : QString()));

        if (books.workingCopyApart())
            token = data::makePending(books.workingCopy(), result.lines, r.invoice);
        const QString number = writer.write(books, result.lines, result.total);
        std::vector<journal::Entry> entries;
        if (const auto settled = settledEntry(r, result.earlier)) entries.push_back(*settled);
        journal::Entry& entry = entries.emplace_back(r.entry);
        writer.name(entry, number);
        entry.lines = result.lines;
        entry.total = result.total;
        const QStringList moved = journal::write(books, entries);
        // The basket remembers the last document it became, so a terminal started again after
        // a crash can say that its lines were written.
        const QString written =
            (r.invoice ? QStringLiteral("fatura ") : QStringLiteral("belge ")) + number;
        if (books.workingCopyApart()) {
            data::recordPosting(books.db(), token, number);
            committing = true;
            transaction.commit();
            committed = true;
            data::finishPending(books.workingCopy());
            journal::forget(books.workingCopy(), moved);
            basket::noteWritten(books.workingCopy(), written);
        } else {
            // The written lines leave the working set in the same commit: never written twice.
            data::resetEnteredLines(books.db());
            basket::noteWritten(books.db(), written);
            transaction.commit();
        }
    } catch (...) {
        // Rolled back before its commit, the document is known not written; a commit whose
        // answer was lost, or a working copy not reset after it, leaves the token to be resolved.
        if (!token.isEmpty() && !committing) data::dropPendingAfterRollback(books.workingCopy());
        throw;
    }
    result.written = true;
    return result;
}

// A "Tamam" that wrote nothing, kept for the journal with the lines it refused.
void keepRefusal(const DocumentRequest& r, journal::Event event, const QString& reason) noexcept {
    try {
        auto basket = Database::open(r.workingCopy);
        journal::Entry e = r.entry;
        e.event = event;
        e.reason = reason;
        e.lines = data::enteredLines(*basket, r.order);
        for (const Line& line : e.lines)
            e.total += line.amount;
        journal::keep(*basket, e);
    } catch (const DatabaseError&) {
        // The refusal itself is what the operator reads; a basket that cannot keep it says so at
        // the next thing that writes it.
    }
}

}  // namespace

DocumentResult writeDocument(const DocumentRequest& request, DocumentWriter& writer) {
    // A failure after the server's commit refused nothing: the document and its entry are in
    // the books, and settling the lost answer says so.
    bool committed = false;
    try {
        DocumentResult result =
            data::retryWhileBusy(QStringLiteral("Başka bir terminal yazıyor"),
                                 [&] { return writeOnce(request, writer, committed); });
        if (!result.written && result.earlier.state != PendingResult::State::Written)
            keepRefusal(request, journal::Event::Refused,
                        result.lines.empty() ? QStringLiteral("girilmiş satır yok")
                                             : QStringLiteral("satırların toplamı 0"));
        return result;
    } catch (const BusyError& e) {
        if (committed) throw;
        keepRefusal(request, e.givenUp() ? journal::Event::WaitGivenUp : journal::Event::Refused,
                    e.text());
        throw;
    } catch (const DatabaseError& e) {
        if (committed) throw;
        keepRefusal(request,
                    e.answerGivenUp() ? journal::Event::WaitGivenUp : journal::Event::Refused,
                    e.text());
        throw;
    } catch (const std::exception& e) {
        if (committed) throw;
        // A value too large for the books, and the like: refused all the same.
        keepRefusal(request, journal::Event::Refused, QString::fromUtf8(e.what()));
        throw;
    }
}

}  // namespace posting
