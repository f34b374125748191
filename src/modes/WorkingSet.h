#pragma once

#include <QString>
#include <memory>

#include "data/Basket.h"

namespace modes {

/// An empty basket on the cards of the stock book `source`, for a road without a screen (tools,
/// tests, benchmarks): a server's cards are first read into a file beside the basket.
std::shared_ptr<data::Database> openBasket(const QString& basket, const QString& source,
                                           data::basket::View view);

/// Whether another program holds the working copy open (its lock file is there, alive, and not
/// this process's own).
bool workingCopyHeld(const QString& workingCopy);

/// The lock file of a working copy ("Temp1.ldb" beside "Temp1.Mdb").
QString lockFileOf(const QString& workingCopy);

}  // namespace modes
