#pragma once

#include <QString>

namespace modes {

/// Whose goods are handled: the company's branches, or its customers.
enum class WorkKind { Warehouse = 0, Account = 1 };

/// What is recorded; the values are the indexes of the operation boxes.
enum class Operation { None = -1, Sale = 0, Count = 1, Purchase = 2 };

/// The names the journal gives them, as the mode panel captions them.
inline QString workName(WorkKind kind) {
    return kind == WorkKind::Warehouse ? QStringLiteral("Depo") : QStringLiteral("Cari");
}
inline QString operationName(Operation operation) {
    switch (operation) {
        case Operation::Sale:
            return QStringLiteral("Satış");
        case Operation::Count:
            return QStringLiteral("Sayım");
        case Operation::Purchase:
            return QStringLiteral("Alış");
        case Operation::None:
            break;
    }
    return QString();
}

}  // namespace modes
