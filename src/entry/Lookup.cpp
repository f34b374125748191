#include "entry/Lookup.h"

#include "data/Criteria.h"
#include "data/DataControl.h"
#include "data/Names.h"

namespace entry {

namespace n = data::names;
using data::Criteria;

LookupResult lookUp(data::DataControl& temp, data::DataControl& accounts, const QString& text) {
    LookupResult result;
    temp.Refresh();
    data::Recordset& stock = temp.recordset();
    const Criteria stockCriteria[] = {
        Criteria::equals(n::stok::Barkod, text),      Criteria::equals(n::stok::Barkod2, text),
        Criteria::equals(n::stok::Barkod3, text),     Criteria::equals(n::stok::StokKod, text),
        Criteria::startsWith(n::stok::StokAdi, text),
    };
    for (const Criteria& c : stockCriteria) {
        stock.FindFirst(c);
        if (!stock.NoMatch()) {
            result.kind = LookupResult::Kind::Stock;
            return result;
        }
    }
    accounts.Refresh();
    data::Recordset& cari = accounts.recordset();
    for (const QString& field :
         {n::cari::CariKod, n::cari::Unvan, n::cari::Telefon, n::cari::VergiNo, n::cari::Yetkili}) {
        cari.FindFirst(Criteria::startsWith(field, text));
        if (!cari.NoMatch()) {
            result.kind = LookupResult::Kind::Account;
            result.accountTitle = cari.field(n::cari::Unvan).toString();
            return result;
        }
    }
    return result;
}

}  // namespace entry
