#include "modes/Targets.h"

#include "core/NumberFormat.h"
#include "data/Criteria.h"
#include "data/Names.h"
#include "data/Recordset.h"
#include "data/ServerBooks.h"

namespace modes {

namespace n = data::names;

QStringList targetTitles(data::Recordset& accounts, WorkKind kind) {
    const QString group =
        kind == WorkKind::Account ? QStringLiteral("Müşteri") : QStringLiteral("Şube");
    QStringList titles;
    for (int i = 0; i < accounts.RecordCount(); ++i) {
        if (accounts.fieldAt(i, n::cari::Gurup).toString() == group)
            titles << accounts.fieldAt(i, n::cari::Unvan).toString();
    }
    if (accounts.RecordCount() > 0) accounts.MoveFirst();
    return titles;
}

QString dataDirectory(const QString& path) {
    // A server path's options follow the company; they are no part of the directory.
    const QString serverPath = data::splitPathOptions(path).first;
    static const QString folder = QStringLiteral("RezoruviZada");
    const qsizetype at = serverPath.indexOf(folder);
    if (at >= 0 && at + folder.size() < serverPath.size()) {
        const QChar sep = serverPath[at + folder.size()];
        if (sep == u'\\' || sep == u'/') return serverPath.left(at + folder.size() + 1);
    }
    return serverPath.left(std::max<qsizetype>(0, serverPath.size() - 2));
}

QString companyPath(const QString& serverPath, const QString& company) {
    return dataDirectory(serverPath) + company + data::splitPathOptions(serverPath).second;
}

QString companyOf(const QString& serverPath) {
    return data::splitPathOptions(serverPath).first.right(2);
}

QString branchCompany(int listIndex) {
    return QStringLiteral("%1").arg(listIndex + 2, 2, 10, QLatin1Char('0'));
}

std::optional<QString> balanceText(data::Recordset& accounts, const QString& title) {
    accounts.FindFirst(data::Criteria::equals(n::cari::Unvan, title));
    if (accounts.NoMatch()) return std::nullopt;
    const QString side = accounts.field(n::cari::Hesap).toString() == QStringLiteral("Alacak")
                             ? QStringLiteral(" Alacaklı")
                             : QStringLiteral(" Boçlu");
    return core::standardNumber(accounts.field(n::cari::Bakiye).toDouble()) + side;
}

}  // namespace modes
