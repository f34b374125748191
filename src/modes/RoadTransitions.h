#pragma once

#include <QString>

#include "modes/RoadState.h"

namespace modes {

// The road's moves. Each takes the state and returns the next one; the window changes its
// state only through these and then renders it.

/// Another work kind: no operation, the mode panel open.
RoadState chooseKind(RoadState road, WorkKind kind);
/// An operation box ticked or cleared: ticked, the mode panel makes way for the entry. Either way
/// the number box takes a quantity again.
RoadState tickOperation(RoadState road, Operation operation, bool ticked);
/// The working set is being made again: nothing can be booked until it is ready.
RoadState releaseWorkingSet(RoadState road);
/// The working set is ready for `target`, the list's entry `index`.
RoadState workingSetReady(RoadState road, const QString& target, int index);
/// No working set could be prepared for the chosen entry: there is no target.
RoadState targetFailed(RoadState road);
/// A search found the account titled `title`. In account work it is the account "Tamam" writes
/// to (the working set is the same company's); in warehouse work the branch stays the target.
RoadState accountFound(RoadState road, const QString& title);
/// The target's books are missing: no operation is chosen.
RoadState booksMissing(RoadState road);
/// A panel opens over the entry screen.
RoadState openPanel(RoadState road, RoadState::Panel panel);
/// The totals, the balance or the label preview close; after the totals, the mode panel opens.
RoadState closePanel(RoadState road);
/// "Geri": back to the mode panel.
RoadState backToModes(RoadState road);
/// "Tamam" writes the books: busy while it does.
RoadState writing(RoadState road, bool busy);
/// What a "Tamam" starts in this state: the totals' document, or nothing while one is being
/// written or no totals are open (a second tap, a key after the totals closed).
enum class Confirm { Nothing, Posting, Invoice };
Confirm confirmable(const RoadState& road);
/// A document was written: its operation is done, the next is chosen afresh.
RoadState documentWritten(RoadState road);
/// What the last action did or why it was refused.
RoadState tell(RoadState road, const QString& outcome);
/// The first activation's set-up begins.
RoadState activate(RoadState road);
/// "Fiyat" (or the list's price header) asks for a price; a booking or another operation ends it.
RoadState askPrice(RoadState road, bool price);
/// A write failed: its answer may have been lost. `known` later: the server said what became of
/// it, so the lines may change again.
RoadState answerLost(RoadState road);
RoadState answerSettled(RoadState road, bool known);
/// The totals open with `total` over the entered lines; no stray scan is counted yet.
RoadState showTotals(RoadState road, bool invoice, core::Money total);
/// Characters typed while a panel has the keys (a stray scan), or its Enter taken.
RoadState typedOnPanel(RoadState road, bool typed);
/// The balance panel opens saying `balance`.
RoadState showBalance(RoadState road, const QString& balance);
/// The label preview opens for the shown card, its barcode still to be filled in.
RoadState showLabel(RoadState road, const QString& name, const QString& price);
/// The barcode under the label, as the operator or the card gave it.
RoadState labelBarcode(RoadState road, const QString& barcode);
/// The number box holds a number other than 0 (OK books it), or 0.
RoadState numberTyped(RoadState road, bool typed);
/// A working copy is being made (its progress shows), or is done.
RoadState copying(RoadState road, bool copying);
/// The first target's company has no stock: no sale is offered to it.
RoadState stockless(RoadState road, bool noStock);
/// The company name the label prints.
RoadState labelCompany(RoadState road, const QString& company);

}  // namespace modes
