#pragma once

#include <QFont>
#include <QSize>

namespace layout {

/// The lowest capitals, in device pixels, that an operator reads at arm's length on a shop
/// screen of 1024 × 768.
inline constexpr double ReadableCapHeight = 12;

/// The smallest window side, in device pixels, on which the whole floor holds: the smallest
/// screen the terminal is made for. A smaller window lowers it in proportion, or its captions
/// could not fit their controls.
inline constexpr int SmallestScreenSide = 600;

/// The floor for a window of `deviceSize` pixels.
double readableCapHeight(const QSize& deviceSize);

/// `font` at `points`, or at the least size whose capitals are `minCapPixels` device pixels high
/// on a screen of `devicePixelRatio`.
QFont readableFont(QFont font, double points, double devicePixelRatio, double minCapPixels);

}  // namespace layout
