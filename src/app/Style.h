#pragma once

#include <QString>

namespace app {

/// The look of the touch screen: large, high-contrast controls with clear pressed states.
QString terminalStyleSheet();

/// Loads Qt's own Turkish texts; false when the system has none.
bool installTurkishTranslations();

}  // namespace app
