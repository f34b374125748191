#pragma once

#include <QString>

class QWidget;

namespace app {

/// The look of the touch screen: large, high-contrast controls with clear pressed states.
QString terminalStyleSheet();

/// Gives a dialog the window's reading size: its text takes `model`'s font and its buttons take
/// `model`'s font and size (a touch-sized button of the window), whatever the window's size.
void touchSized(QWidget* dialog, const QWidget* model);

/// Loads Qt's own Turkish texts; false when the system has none.
bool installTurkishTranslations();

}  // namespace app
