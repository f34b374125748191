#include "data/BookWrite.h"

#include <memory>

#include "data/Basket.h"
#include "data/Database.h"
#include "data/DatabaseError.h"
#include "data/RetryWhileBusy.h"
#include "data/Transaction.h"

namespace data {

namespace {

DocumentResult writeOnce(const DocumentRequest& r, DocumentWriter& writer) {
    std::unique_ptr<AttachedBooks> joined;
    try {
        joined = std::make_unique<AttachedBooks>(r.workingCopy, r.files);
    } catch (const DatabaseError& e) {
        writer.cannotJoin(e);
        throw;
    }
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
        if (books.onServer()) result.earlier = resolvePendingIn(books.db(), books.workingCopy());
        result.lines = enteredLines(books.workingCopy(), r.order);
        // The exact sum of the exact lines: the document equals its lines to the last digit.
        for (const Line& line : result.lines)
            result.total += line.amount;
        if (result.lines.empty() || result.total.isZero()) return result;

        QStringList missing;
        writer.find(books, result.lines, missing);
        if (!missing.isEmpty())
            throw DatabaseError(r.nothingWritten + QStringLiteral("; bulunamayan kayıtlar:\n") +
                                missing.mid(0, 12).join(u'\n') +
                                (missing.size() > 12 ? QStringLiteral("\n…") : QString()));

        if (books.onServer()) token = makePending(books.workingCopy(), result.lines, r.invoice);
        const QString number = writer.write(books, result.lines, result.total);
        // The basket remembers the last document it became, so a terminal started again after
        // a crash can say that its lines were written.
        const QString written =
            (r.invoice ? QStringLiteral("fatura ") : QStringLiteral("belge ")) + number;
        if (books.onServer()) {
            recordPosting(books.db(), token, number);
            committing = true;
            transaction.commit();
            finishPending(books.workingCopy());
            basket::noteWritten(books.workingCopy(), written);
        } else {
            // The written lines leave the working set in the same commit: never written twice.
            resetEnteredLines(books.db());
            basket::noteWritten(books.db(), written);
            transaction.commit();
        }
    } catch (...) {
        // Rolled back before its commit, the document is known not written; a commit whose
        // answer was lost, or a working copy not reset after it, leaves the token to be resolved.
        if (!token.isEmpty() && !committing) dropPendingAfterRollback(books.workingCopy());
        throw;
    }
    result.written = true;
    return result;
}

}  // namespace

DocumentResult writeDocument(const DocumentRequest& request, DocumentWriter& writer) {
    return retryWhileBusy(QStringLiteral("Başka bir terminal yazıyor"),
                          [&] { return writeOnce(request, writer); });
}

}  // namespace data
