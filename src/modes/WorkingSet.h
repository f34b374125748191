#pragma once

#include <QString>
#include <memory>

#include "data/Basket.h"

namespace modes {

/// An empty basket on the cards of the stock book `source`, for a road without a screen (tools,
/// tests, benchmarks): a server's cards are first read into a file beside the basket. The cards'
/// name order is the one the baskets of that folder share (orderFileOf).
std::shared_ptr<data::Database> openBasket(const QString& basket, const QString& source,
                                           data::basket::View view);

/// The name order file of the stock file `cards` shared by the terminals working in `folder`, as
/// the window names it: one per cards file, made by the first and found by the others.
QString orderFileOf(const QString& folder, const QString& cards);

/// Whether another program holds the working copy open (its lock file is there, alive, and not
/// this process's own).
bool workingCopyHeld(const QString& workingCopy);

/// The lock file of a working copy ("Temp1.ldb" beside "Temp1.Mdb").
QString lockFileOf(const QString& workingCopy);

}  // namespace modes
