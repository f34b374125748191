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

}  // namespace modes
