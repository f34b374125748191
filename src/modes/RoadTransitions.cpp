#include "modes/RoadTransitions.h"

#include <utility>

namespace modes {

namespace {

// The moves that only set one of the state's values.
template <auto Field, class Value>
RoadState with(RoadState road, Value value) {
    road.*Field = std::move(value);
    return road;
}

}  // namespace

RoadState chooseKind(RoadState road, WorkKind kind) {
    road.kind = kind;
    road.operation = Operation::None;
    road.modePanel = true;
    road.saleHidden = false;
    return road;
}

RoadState tickOperation(RoadState road, Operation operation, bool ticked) {
    road.operation = ticked ? operation : Operation::None;
    road.modePanel = !ticked;
    road.priceEntry = false;
    return road;
}

RoadState releaseWorkingSet(RoadState road) {
    road.usable = false;
    return road;
}

RoadState workingSetReady(RoadState road, const QString& target, int index) {
    road.usable = true;
    road.target = target;
    road.targetIndex = index;
    return road;
}

RoadState targetFailed(RoadState road) {
    road.usable = false;
    road.target.clear();
    road.targetIndex = -1;
    return road;
}

RoadState accountFound(RoadState road, const QString& title) {
    if (road.kind == WorkKind::Account && road.usable) road.target = title;
    return road;
}

RoadState booksMissing(RoadState road) {
    road = targetFailed(road);
    road.operation = Operation::None;
    road.modePanel = true;
    return road;
}

RoadState openPanel(RoadState road, RoadState::Panel panel) {
    road.panel = panel;
    return road;
}

RoadState closePanel(RoadState road) {
    const bool totals =
        road.panel == RoadState::Panel::Totals || road.panel == RoadState::Panel::InvoiceTotals;
    road.panel = RoadState::Panel::Entry;
    if (totals) road.modePanel = true;
    return road;
}

RoadState backToModes(RoadState road) {
    road.modePanel = true;
    return road;
}

RoadState writing(RoadState road, bool busy) {
    road.busy = busy;
    return road;
}

Confirm confirmable(const RoadState& road) {
    if (road.busy) return Confirm::Nothing;
    if (road.panel == RoadState::Panel::Totals) return Confirm::Posting;
    if (road.panel == RoadState::Panel::InvoiceTotals) return Confirm::Invoice;
    return Confirm::Nothing;
}

RoadState documentWritten(RoadState road) {
    road.operation = Operation::None;
    return road;
}

RoadState tell(RoadState road, const QString& outcome) {
    road.outcome = outcome;
    return road;
}

RoadState activate(RoadState road) {
    return with<&RoadState::started>(road, true);
}

RoadState askPrice(RoadState road, bool price) {
    return with<&RoadState::priceEntry>(road, price);
}

RoadState answerLost(RoadState road) {
    return with<&RoadState::answerLost>(road, true);
}

RoadState answerSettled(RoadState road, bool known) {
    return with<&RoadState::answerLost>(road, !known);
}

RoadState showTotals(RoadState road, bool invoice, core::Money total) {
    road.panel = invoice ? RoadState::Panel::InvoiceTotals : RoadState::Panel::Totals;
    road.total = total;
    road.typedOnPanel = false;
    // The entry screen's last word is not the totals' own.
    road.outcome.clear();
    return road;
}

RoadState typedOnPanel(RoadState road, bool typed) {
    return with<&RoadState::typedOnPanel>(road, typed);
}

RoadState showBalance(RoadState road, const QString& balance) {
    road.panel = RoadState::Panel::Balance;
    road.balance = balance;
    return road;
}

RoadState showLabel(RoadState road, const QString& name, const QString& price) {
    road.panel = RoadState::Panel::Label;
    road.label.name = name;
    road.label.price = price;
    road.label.barcode.clear();
    return road;
}

RoadState labelBarcode(RoadState road, const QString& barcode) {
    road.label.barcode = barcode;
    return road;
}

RoadState numberTyped(RoadState road, bool typed) {
    return with<&RoadState::quantityTyped>(road, typed);
}

RoadState copying(RoadState road, bool copying) {
    return with<&RoadState::copying>(road, copying);
}

RoadState stockless(RoadState road, bool noStock) {
    return with<&RoadState::saleHidden>(road, noStock);
}

RoadState labelCompany(RoadState road, const QString& company) {
    road.label.company = company;
    return road;
}

}  // namespace modes
