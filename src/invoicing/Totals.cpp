#include "invoicing/Totals.h"

#include <QSqlQuery>

#include "core/Money.h"
#include "core/NumberFormat.h"
#include "data/DataControl.h"
#include "data/Database.h"
#include "data/Names.h"

namespace invoicing {

namespace s = data::names::stok;

std::optional<core::Money> openLines(data::DataControl& temp) {
    temp.setRecordSource(data::sources::EnteredByName);
    data::RefreshData(temp);
    if (temp.recordset().RecordCount() == 0) {
        temp.setRecordSource(data::sources::FullList);
        data::RefreshData(temp);
        return std::nullopt;
    }
    // The same rows as the lines shown: hidden cards are no lines and add nothing.
    QSqlQuery q = temp.database()->query(
        QStringLiteral("select GirenTutar FROM StokKartlar Where StokGizle=0 And KalanB<>0"));
    // Each line holds an exact four-decimal amount: added as such, the total shown is the one
    // "Tamam" writes, where a sum of binary fractions could round to another cent.
    core::Money total;
    while (q.next())
        total += core::Money::fromDouble(q.value(0).toDouble());
    q.finish();
    return total;
}

QString totalCaption(core::Money total, bool invoice) {
    return QStringLiteral("Toplam = ") +
           (invoice ? total.toString() : total.toString(QLocale(), 2, true));
}

LabelPreview labelPreview(data::DataControl& temp) {
    data::Recordset& rs = temp.recordset();
    LabelPreview p;
    if (!rs.hasCurrent()) return p;
    p.name = rs.field(s::StokAdi).toString();
    p.price = core::standardNumber(rs.field(s::Fiyat).toDouble()) + QStringLiteral(" TL.");
    p.barcode = rs.field(s::Barkod).toString();
    return p;
}

}  // namespace invoicing
