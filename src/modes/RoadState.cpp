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
    return c;
}

}  // namespace modes
