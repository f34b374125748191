#pragma once

#include <QString>

#include "core/Money.h"
#include "data/Pending.h"

namespace core {
class Clock;
}

namespace posting {

struct DocumentRequest;

/// What one "Tamam" on the account totals screen posts.
struct PostingRequest {
    bool warehouse = false;  // warehouse work (a branch) or account work (a customer)
    bool sale = false;       // the sale box is ticked; anything else posts a purchase
    QString serverPath;      // the books the working set was prepared for
    QString workingCopy;
    QString targetTitle;   // the target box's text
    int targetIndex = -1;  // its place in the list (warehouse work: 0 is branch 02)
    const core::Clock* clock = nullptr;
    int terminal = 0;  // the journal names the terminal that wrote it
};

struct PostingResult {
    bool posted = false;  // false: the lines add up to 0 and nothing was written
    QString documentNumber;
    core::Money total;
    int lines = 0;
    /// On a server: what became of an earlier "Tamam" whose answer was lost, resolved first.
    /// Written: its lines left the working set, and only lines booked after it were posted now,
    /// in a document of their own. The window shows earlier.message() when it is not empty.
    data::PendingResult earlier;
};

/// Posts the working set's entered lines: the account movement and balance of each side and one
/// stock movement and card update per line; in warehouse work the branch's books against "Merkez"
/// and the head office's books against the branch's "ŞubeNN" account, in account work the
/// customer in the server's books. A transfer's one document number is drawn free in both
/// companies' series (both counters advance to it). Every file involved, the counters and the reset
/// of the working copy are written in one transaction: all of it is committed, or on any error (a
/// missing account or card, which is named, a locked file, a broken counter) none of it, and the
/// error is thrown as DatabaseError. On a server, the books commit first and the working copy is
/// reset after; the posting's token, kept in both with exactly the lines it covers, makes a repeat
/// after a lost answer harmless: a pending token is resolved first (as resolvePending does), and
/// the server being unreachable for that stops the posting with everything kept.
PostingResult postWorkingSet(const PostingRequest& request);

/// The head office's server path for a server path: its data directory and company "01".
QString headOfficePath(const QString& serverPath);

/// A document's journal entry as far as its road names it (who, when, what, whose books), and
/// where it goes: the journal file beside the books on files, the server's own otherwise.
void journalRoad(DocumentRequest& request, const QString& serverPath, int terminal,
                 const core::Clock& clock, const QString& work, const QString& operation,
                 const QString& target, const QStringList& companies);

}  // namespace posting
