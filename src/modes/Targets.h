#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "modes/WorkKind.h"

namespace data {
class Recordset;
}

namespace modes {

/// Titles of the accounts of the work kind's group ("Şube" or "Müşteri"), in the recordset's
/// order (the accounts' codes), compared exactly.
QStringList targetTitles(data::Recordset& accounts, WorkKind kind);

/// The data directory of a server path: everything up to and including "RezoruviZada" and the
/// separator behind it. Without that folder name, the path less its company number.
QString dataDirectory(const QString& serverPath);
/// The server path of another company of the same books, with the path's options kept.
QString companyPath(const QString& serverPath, const QString& company);
/// The two-digit company a server path names.
QString companyOf(const QString& serverPath);

/// The company number of a branch by its place in the target list: 0 is "02".
QString branchCompany(int listIndex);

/// The balance panel's text of the account titled `title`: its balance grouped with two decimals
/// and " Alacaklı" or " Boçlu". Empty when no account has that title.
std::optional<QString> balanceText(data::Recordset& accounts, const QString& title);

}  // namespace modes
