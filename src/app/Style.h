#pragma once

#include <QString>

namespace app {

/// The look of the touch screen: large, high-contrast controls with clear pressed states.
QString terminalStyleSheet();

}  // namespace app
