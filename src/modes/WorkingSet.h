#pragma once

#include <QString>

namespace modes {

/// Removes the working copy's cards that carry an entered quantity (a change of work kind).
/// Nothing happens when there is no working copy yet.
void dropEnteredCards(const QString& workingCopy);

/// Prepares a fresh working copy for sale or purchase: the book quantity moves to KalanA, entered
/// quantities, amounts and VAT amounts go to 0, the shown price becomes the purchase price
/// (purchase) or the sale price, and the copy's stock movements are emptied. One pass over the
/// cards, all or nothing.
void resetWorkingCopy(const QString& workingCopy, bool purchase);

/// Whether another program holds the working copy open (its lock file is there, alive, and not
/// this process's own).
bool workingCopyHeld(const QString& workingCopy);

/// The lock file of a working copy ("Temp1.ldb" beside "Temp1.Mdb").
QString lockFileOf(const QString& workingCopy);

}  // namespace modes
