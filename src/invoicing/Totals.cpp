#include "invoicing/Totals.h"

#include <QSqlQuery>

#include "core/Money.h"
#include "core/NumberFormat.h"
#include "data/DataControl.h"
#include "data/Database.h"
#include "data/Names.h"

namespace invoicing {

namespace s = data::names::stok;

std::optional<double> openLines(data::DataControl& temp) {
    temp.setRecordSource(data::sources::EnteredByName);
    data::RefreshData(temp);
    if (temp.recordset().RecordCount() == 0) {
        temp.setRecordSource(data::sources::FullList);
        data::RefreshData(temp);
        return std::nullopt;
    }
    // The same rows as the lines shown: hidden cards are no lines and add nothing.
    QSqlQuery q = temp.database()->query(
        QStringLiteral("select sum(GirenTutar) FROM StokKartlar Where StokGizle=0 And KalanB<>0"));
    // The lines hold exact four-decimal amounts; their sum is taken back to four decimals, so
    // the total shown is the one "Tamam" writes.
    const double total = q.next() ? core::Money::fromDouble(q.value(0).toDouble()).toDouble() : 0.0;
    q.finish();
    return total;
}

QString totalCaption(double total, bool invoice) {
    return QStringLiteral("Toplam = ") +
           (invoice ? core::generalNumber(total) : core::standardNumber(total));
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
