#pragma once

#include <QString>
#include <QStringList>

#include "modes/RoadState.h"

namespace modes {

/// What the status strip says of the road, so the operator can tell what "Tamam" will do: the
/// work kind and the ticked operation (or that none is), the target, and whose books are written
/// (`company`, the server path's two-digit company, and its name); with no prepared target, that
/// there is none.
QString roadStatus(const RoadState& road, const QString& company, const QString& companyName);

/// The operation and the target, as the totals screen shows them beside its caption.
QString operationAndTarget(const RoadState& road);

/// A company's name for the strip: "Merkez" for the head office, the branch's title from the
/// head office's list of branches (company 02 first) when known, else "Şube NN".
QString companyName(const QString& company, const QStringList& branchTitles);

}  // namespace modes
