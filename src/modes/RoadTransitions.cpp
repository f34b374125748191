#include "modes/RoadTransitions.h"

namespace modes {

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

}  // namespace modes
