#include "modes/RoadState.h"

namespace modes {

namespace {

bool saleOrPurchase(const RoadState& s) {
    return s.operation == Operation::Sale || s.operation == Operation::Purchase;
}

}  // namespace

bool invoiceAllowed(const RoadState& s) {
    // A sales invoice is a sale: never from a count, nor from lines booked at purchase prices.
    return s.usable && s.kind == WorkKind::Account && s.operation != Operation::Count &&
           s.operation != Operation::Purchase;
}

bool labelAllowed(const RoadState& s) {
    return s.usable && s.kind == WorkKind::Warehouse && s.operation == Operation::Sale;
}

bool postingAllowed(const RoadState& s) {
    return s.usable && saleOrPurchase(s);
}

RoadControls roadControls(const RoadState& s) {
    RoadControls c;
    const bool warehouse = s.kind == WorkKind::Warehouse;
    if (s.operation == Operation::None) {
        c.operationVisible = {true, warehouse, true};
        c.modePanelShown = true;
    } else {
        c.operationVisible[static_cast<int>(s.operation)] = true;
    }
    const bool label = warehouse && s.operation == Operation::Sale;
    c.documentCaption = label ? QStringLiteral("Barkod") : QStringLiteral("Fatura");
    // In account work the invoice button steps aside while the sale box is ticked.
    c.documentVisible =
        s.usable && (label || (invoiceAllowed(s) && s.operation != Operation::Sale));
    c.updateVisible = postingAllowed(s);
    // Warehouse work books only for an operation; account work without one is the invoice road.
    c.bookingEnabled = s.usable && (!warehouse || s.operation != Operation::None);
    // A count has no price to correct; sales, purchases and the invoice road do.
    c.priceVisible = c.bookingEnabled && s.operation != Operation::Count;
    // A branch without stock has no sale to offer.
    if (s.saleHidden) c.operationVisible[static_cast<int>(Operation::Sale)] = false;
    c.modesVisible = s.modePanel || c.modePanelShown;
    c.okVisible = s.quantityTyped;
    // The balance panel lies over the entry: nothing under it is taken away or left.
    c.deleteEnabled = c.bookingEnabled && s.panel != RoadState::Panel::Balance;
    c.backEnabled = s.panel != RoadState::Panel::Balance;
    c.updateEnabled = s.started && !s.busy;
    c.confirmEnabled = !s.busy;
    return c;
}

}  // namespace modes
