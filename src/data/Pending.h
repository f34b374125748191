#pragma once

#include <QString>
#include <optional>
#include <vector>

namespace data {
class Database;
}

namespace data {

struct Line;

/// What became of a posting or invoice whose answer from the server never came.
struct PendingResult {
    enum class State {
        None,        // nothing was pending
        Written,     // it is in the books: its lines left the working set
        NotWritten,  // it is not: its lines stay to be posted again
        Unknown,     // the server could not say (unreachable): everything is kept as it was
    };
    State state = State::None;
    QString number;  // Written: the document number, or the invoice key (S00003)
    bool invoice = false;
    QString cause;  // Unknown: why the server could not be asked
    /// The text for the operator ("Önceki işlem yazılmış: belge 261"); empty for None.
    QString message() const;
};

/// True while a posting or invoice made on a server from this working copy waits to be resolved:
/// its lines must not change until resolvePending has said what became of it.
bool hasPending(const QString& workingCopy);

/// Asks the server (once every writer before us is done) whether the pending posting or invoice
/// was written. Written takes exactly the lines it covered out of the working set, never more;
/// NotWritten keeps them; either drops the token. Unknown keeps everything.
PendingResult resolvePending(const QString& serverPath, const QString& workingCopy);

// The pieces the posting and the invoice use, on their server transaction (held from begin()).

/// Resolves a pending token against `server`, inside the caller's transaction.
PendingResult resolvePendingIn(Database& server, Database& workingCopy);
/// Makes the token of the posting about to be written and keeps with it exactly `lines`; it is
/// committed to the working copy before the server's transaction writes anything.
QString makePending(Database& workingCopy, const std::vector<Line>& lines, bool invoice);
/// Stores the token with the posting, in the posting's transaction.
void recordPosting(Database& server, const QString& token, const QString& number);
/// After the server's commit: the covered lines leave the working set and the token goes.
void finishPending(Database& workingCopy);
/// The server's transaction was rolled back before its commit: the token goes, the lines stay.
void dropPending(Database& workingCopy);
/// dropPending while another error is on its way to the operator: if the working copy cannot be
/// written either, the token stays and the next resolve finds it not written.
void dropPendingAfterRollback(Database& workingCopy) noexcept;

}  // namespace data
