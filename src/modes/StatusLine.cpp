#include "modes/StatusLine.h"

namespace modes {

namespace {

// As the operation boxes caption them.
QString boxCaption(Operation operation) {
    switch (operation) {
        case Operation::Sale:
            return QStringLiteral("SATIŞ");
        case Operation::Count:
            return QStringLiteral("SAYIM");
        case Operation::Purchase:
            return QStringLiteral("ALIŞ");
        case Operation::None:
            break;
    }
    return QStringLiteral("İşlem seçilmedi");
}

}  // namespace

QString operationAndTarget(const RoadState& road) {
    const QString operation = boxCaption(road.operation);
    return road.usable && !road.target.isEmpty() ? operation + QStringLiteral(" → ") + road.target
                                                 : operation;
}

QString roadStatus(const RoadState& road, const QString& company, const QString& companyName) {
    const QString kind = workName(road.kind);
    // Without a prepared target "Tamam" writes nowhere: no books are named.
    if (!road.usable || road.target.isEmpty())
        return QStringLiteral("%1 · %2 · Hedef yok").arg(kind, operationAndTarget(road));
    return QStringLiteral("%1 · %2 · Defter: %3 %4")
        .arg(kind, operationAndTarget(road), company, companyName);
}

QString companyName(const QString& company, const QStringList& branchTitles) {
    if (company == QStringLiteral("01")) return QStringLiteral("Merkez");
    const int branch = company.toInt() - 2;
    if (branch >= 0 && branch < branchTitles.size()) return branchTitles[branch];
    return QStringLiteral("Şube ") + company;
}

}  // namespace modes
