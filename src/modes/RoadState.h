#pragma once

#include <QString>
#include <array>

#include "core/Money.h"
#include "modes/WorkKind.h"

namespace modes {

/// What the label preview prints: the captions its picture draws and the barcode under them.
struct LabelText {
    QString company;
    QString name;
    QString note;  // empty as designed
    QString price;
    QString barcode;
    bool operator==(const LabelText&) const = default;
};

/// Where the operator is on the road: the handlers change this value, and every button's
/// visibility, caption and enabled state follow from it alone.
struct RoadState {
    /// What lies over the entry screen: nothing, the account's balance, the totals of a posting
    /// or of an invoice, or the label preview.
    enum class Panel { Entry, Balance, Totals, InvoiceTotals, Label };
    WorkKind kind = WorkKind::Warehouse;
    Operation operation = Operation::None;
    /// The working set was prepared for the chosen target and may take bookings.
    bool usable = false;
    /// The account "Tamam" writes to: the title the working set was prepared for, or in account
    /// work the account a search found since. Empty: there is no target.
    QString target;
    /// The prepared target's place in the list (warehouse work: 0 is branch 02).
    int targetIndex = -1;
    Panel panel = Panel::Entry;
    /// The mode panel with the operation boxes is open (hidden once an operation is chosen,
    /// shown again by "Geri", after the totals close and whenever no operation is ticked).
    bool modePanel = true;
    /// The books are being written: the confirm and update buttons wait.
    bool busy = false;
    /// A working copy is being made: its progress shows.
    bool copying = false;
    /// The number box holds a number other than 0: "OK" books it.
    bool quantityTyped = false;
    /// The first target's company has no stock: there is nothing to sell to it.
    bool saleHidden = false;
    /// What the last action did or why it was refused, as the status strip says it.
    QString outcome;
    /// The first activation's set-up has begun: "Güncelle" may open the totals.
    bool started = false;
    /// The next entry in the number box is the current line's price, not a quantity.
    bool priceEntry = false;
    /// A write failed: its answer may have been lost after the server's commit, so the lines
    /// must not change until the server says what became of it.
    bool answerLost = false;
    /// Characters were typed while a panel had the keys (a stray scan): its Enter confirms nothing.
    bool typedOnPanel = false;
    /// The total the totals screen shows.
    core::Money total;
    /// What the balance panel says of the account.
    QString balance;
    LabelText label;
    bool operator==(const RoadState&) const = default;
};

/// What the road's controls show for a state.
struct RoadControls {
    std::array<bool, 3> operationVisible{};  // the operation boxes, in Operation order
    bool modePanelShown = false;             // no operation ticked: the operator must see the boxes
    bool documentVisible = false;            // FatCmd
    QString documentCaption;                 // "Fatura" or "Barkod"
    bool updateVisible = false;              // "Güncelle"
    bool bookingEnabled = false;             // OK, SİL and scans
    bool priceVisible = false;               // "Fiyat": correct a line's price in sale or purchase
    bool modesVisible = false;               // the mode panel with the boxes and "Çıkış"
    bool okVisible = false;                  // OK: the number box holds a number other than 0
    bool deleteEnabled = false;              // SİL
    bool backEnabled = false;                // "Geri"
    bool updateEnabled = false;              // "Güncelle" opens the totals
    bool confirmEnabled = false;             // "Tamam" on the totals
};

RoadControls roadControls(const RoadState& state);

/// An invoice is written only in account work with neither count nor purchase ticked, from a
/// usable working set.
bool invoiceAllowed(const RoadState& state);
/// A shelf label belongs to warehouse sale.
bool labelAllowed(const RoadState& state);
/// Postings ("Tamam" on the account totals) need a sale or purchase on a usable working set.
bool postingAllowed(const RoadState& state);

}  // namespace modes
