#pragma once

#include <QString>

namespace core {
class Clock;
}

namespace posting {

/// What one "Tamam" on the account totals screen posts.
struct PostingRequest {
    bool warehouse = false;  // warehouse work (a branch) or account work (a customer)
    bool sale = false;       // the sale box is ticked; anything else posts a purchase
    QString serverPath;      // the books the working set was prepared for
    QString workingCopy;
    QString targetTitle;   // the target box's text
    int targetIndex = -1;  // its place in the list (warehouse work: 0 is branch 02)
    const core::Clock* clock = nullptr;
};

struct PostingResult {
    bool posted = false;  // false: the lines add up to 0 and nothing was written
    QString documentNumber;
    double total = 0;
    int lines = 0;
    /// On a server: the lines had been posted by an earlier "Tamam" whose answer was lost; they
    /// left the working set now and nothing new was written.
    bool alreadyPosted = false;
};

/// Posts the working set's entered lines: the account movement and balance of each side and one
/// stock movement and card update per line; in warehouse work the branch's books against "Merkez"
/// and the head office's books against the branch's "ŞubeNN" account, in account work the
/// customer in the server's books. Every file involved, the document counter and the reset of the
/// working copy are written in one transaction: all of it is committed, or on any error (a missing
/// account or card, which is named, a locked file, a broken counter) none of it, and the error is
/// thrown as DatabaseError. On a server, the books commit first and the working copy is reset
/// after; the posting's token, kept in both, makes a repeat after a lost answer harmless.
PostingResult postWorkingSet(const PostingRequest& request);

/// The head office's server path for a server path: its data directory and company "01".
QString headOfficePath(const QString& serverPath);

}  // namespace posting
