#include "invoicing/Totals.h"

#include "core/Money.h"
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
    // The price the grid shows and a sale books, every decimal of it.
    p.price = core::Money::fromStored(rs.field(s::Fiyat))
                  .value_or(core::Money())
                  .toString(QLocale(), 2, true) +
              QStringLiteral(" TL.");
    p.barcode = rs.field(s::Barkod).toString();
    return p;
}

}  // namespace invoicing
