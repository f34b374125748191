#pragma once

#include "modes/RoadState.h"

namespace modes {

/// The keys the road routes itself (function keys are shortcuts of their buttons).
enum class RoadKey { Escape, Enter, Up, Down, PageUp, PageDown, Printable, Other };

/// What a key does where it arrives.
enum class KeyAction {
    None,         // not the road's: the box that has the focus takes it
    Ignore,       // taken and dropped
    Search,       // the search box's Enter: look the text up and book it
    ClearSearch,  // Escape in the search box: clear the search and the quantity
    RowUp,        // pick the grid row above, below, a page up or down
    RowDown,
    PageUp,
    PageDown,
    CancelTotals,   // "Vazgeç"
    ConfirmTotals,  // "Tamam"
    CloseBalance,   // "Kapat" of the balance panel
    CloseLabel,     // "Kapat" of the label preview
    RefuseScan,     // a scan's Enter over a panel: beep, say so, confirm nothing
    Swallow,        // a scan's characters over a panel: beep, remember them
};

/// Where a key arrived: the search box, or an open panel itself.
enum class KeyTarget { SearchBox, Panel };

/// `typedOnPanel`: characters were typed while a panel had the keys (a stray scan), so its Enter
/// must not confirm anything. `searchEmpty`: the search box holds no text. Over the totals the
/// search box gets no scan: its keys are the panel's.
KeyAction routeKey(const RoadState& road, KeyTarget target, RoadKey key, bool typedOnPanel,
                   bool searchEmpty);

/// The buttons and boxes a function key presses.
enum class RoadButton {
    Sale,
    Count,
    Purchase,  // the operation boxes, in Operation order
    Ok,
    Delete,
    Update,
    Document,
    Back,
    Confirm,
    Keyboard,
    Price,
    Exit,
    Print
};

/// A key presses its button only where the state shows the button and lets it be pressed.
bool pressable(const RoadState& road, RoadButton button);

}  // namespace modes
