#include "invoicing/Totals.h"

#include "core/Money.h"
#include "core/NumberFormat.h"
#include "data/Books.h"
#include "data/DataControl.h"
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
    return data::enteredTotal(temp);
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
