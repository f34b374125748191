#pragma once

#include <QRect>

namespace app {

/// Where a window whose frame was `frame` goes on a screen whose free area is `available`: as
/// large as it was but no larger than the area, moved the least way that puts it wholly on it.
/// A placement stored at another scale or on a larger screen stays within reach.
QRect placedOnScreen(const QRect& frame, const QRect& available);

}  // namespace app
