#include "entry/Lookup.h"

#include "data/Criteria.h"
#include "data/DataControl.h"
#include "data/DatabaseError.h"
#include "data/Names.h"
#include "data/Recordset.h"

namespace entry {

namespace n = data::names;
using data::Criteria;

bool findLabelCard(data::Recordset& temp, const ScaleLabel& label) {
    QString bare = label.itemNumber;
    while (bare.size() > 1 && bare.startsWith(u'0'))
        bare.remove(0, 1);
    const QString head = label.code.left(2 + label.itemNumber.size());
    QString padded = head.leftJustified(12, u'0');
    padded += QString::number(eanCheckDigit(padded));
    QList<Criteria> criteria{Criteria::equals(n::stok::StokKod, label.itemNumber)};
    if (bare != label.itemNumber) criteria.append(Criteria::equals(n::stok::StokKod, bare));
    for (const QString& field : {n::stok::Barkod, n::stok::Barkod2, n::stok::Barkod3}) {
        criteria.append(Criteria::equals(field, head));
        criteria.append(Criteria::equals(field, padded));
    }
    for (const Criteria& c : criteria) {
        temp.FindFirst(c);
        if (!temp.NoMatch()) return true;
    }
    return false;
}

LookupResult lookUp(data::DataControl& temp, data::DataControl& accounts, const QString& text,
                    const ScaleFormats* scale) {
    LookupResult result;
    temp.Refresh();
    data::Recordset& stock = temp.recordset();
    const std::optional<ScaleLabel> label = scale ? readScaleLabel(text, *scale) : std::nullopt;
    // A scale's label of nothing weighed or priced books nothing, even where a card carries
    // that very code as its barcode.
    if (label && label->isZero()) {
        const QString item = findLabelCard(stock, *label)
                                 ? stock.field(n::stok::StokAdi).toString()
                                 : QStringLiteral("ürün ") + label->itemNumber;
        result.said = QStringLiteral("Terazi: %1 %2 — sıfır: hiçbir şey işlenmedi")
                          .arg(label->valueText(), item);
        return result;
    }
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
    if (label) {
        if (!findLabelCard(stock, *label)) {
            result.said = QStringLiteral("Bulunamadı: terazi etiketi %1, ürün %2")
                              .arg(label->code, label->itemNumber);
            return result;
        }
        const QString name = stock.field(n::stok::StokAdi).toString();
        result.said = QStringLiteral("Terazi: %1 %2").arg(label->valueText(), name);
        result.kind = LookupResult::Kind::Stock;
        result.label = label;
        return result;
    }
    try {
        accounts.Refresh();
        data::Recordset& cari = accounts.recordset();
        for (const QString& field : {n::cari::CariKod, n::cari::Unvan, n::cari::Telefon,
                                     n::cari::VergiNo, n::cari::Yetkili}) {
            cari.FindFirst(Criteria::startsWith(field, text));
            if (!cari.NoMatch()) {
                result.kind = LookupResult::Kind::Account;
                result.accountTitle = cari.field(n::cari::Unvan).toString();
                return result;
            }
        }
    } catch (const data::DatabaseError&) {
        // The accounts live in the books (on a server, perhaps out of reach); the cards are in
        // the working copy, so scanning goes on and the miss says what could not be searched.
        result.said = QStringLiteral("Bulunamadı: %1 — hesaplar aranamadı, defterlere ulaşılamıyor")
                          .arg(text);
    }
    return result;
}

}  // namespace entry
