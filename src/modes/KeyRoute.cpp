#include "modes/KeyRoute.h"

namespace modes {

KeyAction routeKey(const RoadState& road, KeyTarget target, RoadKey key, bool typedOnPanel,
                   bool searchEmpty) {
    using Panel = RoadState::Panel;
    const bool totals = road.panel == Panel::Totals || road.panel == Panel::InvoiceTotals;
    const KeyAction close = road.panel == Panel::Label     ? KeyAction::CloseLabel
                            : road.panel == Panel::Balance ? KeyAction::CloseBalance
                                                           : KeyAction::Ignore;
    if (target == KeyTarget::SearchBox && !totals) {
        switch (key) {
            case RoadKey::Enter:
                return searchEmpty ? KeyAction::None : KeyAction::Search;
            case RoadKey::Escape:
                return road.panel == Panel::Entry ? KeyAction::ClearSearch : close;
            case RoadKey::Up:
                return KeyAction::RowUp;
            case RoadKey::Down:
                return KeyAction::RowDown;
            case RoadKey::PageUp:
                return KeyAction::PageUp;
            case RoadKey::PageDown:
                return KeyAction::PageDown;
            default:
                return KeyAction::None;
        }
    }
    switch (key) {
        case RoadKey::Escape:
            return totals ? KeyAction::CancelTotals : close;
        case RoadKey::Enter:
            // The Enter that ends a scan typed onto a panel never confirms it.
            if (typedOnPanel) return KeyAction::RefuseScan;
            if (totals) return KeyAction::ConfirmTotals;
            return road.panel == Panel::Balance ? KeyAction::CloseBalance : KeyAction::Ignore;
        case RoadKey::Printable:
            return KeyAction::Swallow;
        default:
            return KeyAction::None;
    }
}

bool pressable(const RoadState& road, RoadButton button) {
    using Panel = RoadState::Panel;
    const RoadControls c = roadControls(road);
    switch (button) {
        case RoadButton::Sale:
        case RoadButton::Count:
        case RoadButton::Purchase:
            return c.modesVisible && c.operationVisible[static_cast<int>(button)];
        case RoadButton::Ok:
            return c.okVisible;
        case RoadButton::Delete:
            return c.deleteEnabled;
        case RoadButton::Update:
            return c.updateVisible && c.updateEnabled;
        case RoadButton::Document:
            return c.documentVisible;
        case RoadButton::Back:
            return c.backEnabled;
        case RoadButton::Confirm:
            return c.confirmEnabled &&
                   (road.panel == Panel::Totals || road.panel == Panel::InvoiceTotals);
        case RoadButton::Keyboard:
            return true;
        case RoadButton::Price:
            return c.priceVisible;
        case RoadButton::Exit:
            return c.modesVisible;
        case RoadButton::Print:
            return road.panel == Panel::Label;
    }
    return false;
}

}  // namespace modes
