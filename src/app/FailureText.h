#pragma once

#include <QString>
#include <exception>

#include "data/DatabaseError.h"

namespace app {

/// What the operator reads of an error that ended a handler's work; never empty.
inline QString failureText(const std::exception& e) {
    if (const auto* db = dynamic_cast<const data::DatabaseError*>(&e))
        if (!db->text().trimmed().isEmpty()) return db->text();
    const QString what = QString::fromUtf8(e.what()).trimmed();
    return what.isEmpty() ? QStringLiteral("Beklenmeyen bir hata oluştu; hiçbir şey yazılmadı.")
                          : what;
}

}  // namespace app
