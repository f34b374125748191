#include "Catalogue.h"

#include <cmath>

namespace demobooks {

namespace {

struct Product {
    const char* name;
    const char* unit;
    double price;
    double vat;
    std::vector<const char*> sizes;
};

const std::vector<Product>& products() {
    static const std::vector<Product> list = {
        {"TOZ ŞEKER", "Paket", 38.0, 1, {"1 KG", "3 KG", "5 KG"}},
        {"KÜP ŞEKER", "Paket", 30.0, 1, {"500 GR", "1 KG"}},
        {"SİYAH ÇAY", "Paket", 85.0, 1, {"500 GR", "1 KG", "2 KG"}},
        {"TÜRK KAHVESİ", "Paket", 45.0, 1, {"100 GR", "250 GR"}},
        {"AYÇİÇEK YAĞI", "Şişe", 70.0, 1, {"1 LT", "2 LT", "5 LT"}},
        {"ZEYTİNYAĞI", "Şişe", 180.0, 1, {"500 ML", "1 LT", "2 LT"}},
        {"BALDO PİRİNÇ", "Paket", 55.0, 1, {"1 KG", "2,5 KG"}},
        {"PİLAVLIK BULGUR", "Paket", 28.0, 1, {"1 KG", "2,5 KG"}},
        {"KIRMIZI MERCİMEK", "Paket", 40.0, 1, {"1 KG"}},
        {"NOHUT", "Paket", 48.0, 1, {"1 KG"}},
        {"SPAGETTİ MAKARNA", "Paket", 14.0, 1, {"500 GR"}},
        {"BUĞDAY UNU", "Paket", 20.0, 1, {"1 KG", "5 KG"}},
        {"TAM YAĞLI SÜT", "Adet", 28.0, 1, {"1 LT"}},
        {"YOĞURT", "Kova", 45.0, 1, {"1 KG", "2 KG"}},
        {"BEYAZ PEYNİR", "Paket", 120.0, 1, {"500 GR", "1 KG"}},
        {"KAŞAR PEYNİRİ", "Paket", 110.0, 1, {"250 GR", "500 GR"}},
        {"TEREYAĞI", "Paket", 115.0, 1, {"250 GR", "500 GR"}},
        {"YUMURTA", "Koli", 45.0, 1, {"10'LU", "15'Lİ", "30'LU"}},
        {"SUCUK", "Paket", 140.0, 1, {"250 GR", "500 GR"}},
        {"SİYAH ZEYTİN", "Kavanoz", 90.0, 1, {"500 GR", "1 KG"}},
        {"SÜZME BAL", "Kavanoz", 160.0, 1, {"450 GR", "850 GR"}},
        {"TAHİN", "Kavanoz", 75.0, 1, {"300 GR"}},
        {"ÜZÜM PEKMEZİ", "Kavanoz", 65.0, 1, {"700 GR"}},
        {"DOMATES SALÇASI", "Teneke", 55.0, 1, {"830 GR", "1650 GR"}},
        {"KREMALI BİSKÜVİ", "Paket", 12.0, 10, {"PAKET", "AİLE BOYU"}},
        {"SÜTLÜ ÇİKOLATA", "Adet", 25.0, 10, {"80 GR"}},
        {"FINDIKLI GOFRET", "Adet", 8.0, 10, {"36 GR"}},
        {"PATATES CİPSİ", "Paket", 35.0, 10, {"SÜPER BOY"}},
        {"MADEN SUYU", "Adet", 6.0, 10, {"200 ML", "6'LI"}},
        {"KOLA", "Şişe", 15.0, 10, {"330 ML", "1 LT", "2,5 LT"}},
        {"VİŞNE SUYU", "Adet", 12.0, 10, {"200 ML", "1 LT"}},
        {"İÇME SUYU", "Şişe", 5.0, 10, {"0,5 LT", "1,5 LT", "5 LT"}},
        {"TOZ DETERJAN", "Paket", 180.0, 20, {"4 KG", "9 KG"}},
        {"BULAŞIK DETERJANI", "Şişe", 55.0, 20, {"750 ML", "1,5 LT"}},
        {"ÇAMAŞIR SUYU", "Şişe", 30.0, 20, {"1 LT", "3,5 LT"}},
        {"TUVALET KAĞIDI", "Paket", 110.0, 20, {"12'Lİ", "32'Lİ"}},
        {"KAĞIT HAVLU", "Paket", 85.0, 20, {"6'LI"}},
        {"ŞAMPUAN", "Şişe", 75.0, 20, {"400 ML"}},
        {"GÜL SABUNU", "Paket", 45.0, 20, {"4'LÜ"}},
        {"DİŞ MACUNU", "Adet", 40.0, 20, {"75 ML"}},
        {"ISLAK MENDİL", "Paket", 30.0, 20, {"100'LÜ"}},
        {"KALEM PİL", "Paket", 60.0, 20, {"4'LÜ"}},
    };
    return list;
}

const std::vector<const char*>& brands() {
    static const std::vector<const char*> list = {"YAYLA",   "BEREKET", "BAHAR",  "GÜNEŞ",
                                                  "DOĞA",    "KÖYÜM",   "LEZZET", "SOFRA",
                                                  "ÇİFTLİK", "ANADOLU", "EGE",    "TOROS"};
    return list;
}

// Goods sold by weight from the scale: their barcode is the scale's prefix and item number, so the
// item number on a label finds the card (prefix 27 and 28 weigh, 29 prices). A label of nothing
// weighed is never a card's own barcode: it would book a whole unit.
struct Weighed {
    int index;
    const char* name;
    const char* labelHead;  // prefix and five-digit item number
    double price;
};

const std::vector<Weighed>& weighed() {
    static const std::vector<Weighed> list = {
        {30, "BEYAZ PEYNİR", "2700031", 240.0},
        {31, "DANA KIYMA", "2800032", 520.0},
        {32, "DÖKME SİYAH ZEYTİN", "2900033", 150.0},
    };
    return list;
}

QString ean(const QString& body) {
    return body + QString::number(eanCheckDigit(body));
}

double round2(double v) {
    return std::round(v * 100.0) / 100.0;
}

}  // namespace

std::vector<Item> makeCatalogue(int count) {
    struct Combo {
        int product, size, brand;
    };
    std::vector<Combo> combos;
    const auto& ps = products();
    const auto& bs = brands();
    for (int b = 0; b < static_cast<int>(bs.size()); ++b)
        for (int p = 0; p < static_cast<int>(ps.size()); ++p)
            for (int s = 0; s < static_cast<int>(ps[p].sizes.size()); ++s)
                combos.push_back({p, s, b});
    // A fixed shuffle, so the first items are a mix of products rather than one brand.
    quint32 seed = 20240601u;
    for (size_t i = combos.size() - 1; i > 0; --i) {
        seed = seed * 1664525u + 1013904223u;
        std::swap(combos[i], combos[seed % (i + 1)]);
    }

    std::vector<Item> items;
    items.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        const Combo& c = combos[static_cast<size_t>(i) % combos.size()];
        const Product& p = ps[static_cast<size_t>(c.product)];
        const int round = i / static_cast<int>(combos.size());
        Item item;
        item.code = QStringLiteral("ST%1").arg(i + 1, 6, 10, QLatin1Char('0'));
        item.name = QString::fromUtf8(bs[static_cast<size_t>(c.brand)]) + u' ' +
                    QString::fromUtf8(p.name) + u' ' +
                    QString::fromUtf8(p.sizes[static_cast<size_t>(c.size)]);
        // Past the distinct combinations, later rounds are further models of the same goods.
        if (round > 0) item.name += QStringLiteral(" M%1").arg(round);
        item.barcode = ean(QStringLiteral("869%1").arg(i + 1, 9, 10, QLatin1Char('0')));
        if (i % 25 == 3)
            item.barcode2 = ean(QStringLiteral("868%1").arg(i + 1, 9, 10, QLatin1Char('0')));
        if (i % 50 == 7)
            item.barcode3 = ean(QStringLiteral("2%1").arg(i % 1000000, 6, 10, QLatin1Char('0')));
        item.unit = QString::fromUtf8(p.unit);
        const double sizeFactor = 1.0 + 0.8 * c.size;
        const double brandFactor = 0.85 + 0.05 * (c.brand % 8);
        item.price = round2(p.price * sizeFactor * brandFactor + 0.25 * round);
        item.purchasePrice = round2(item.price * 0.75);
        item.vat = p.vat;
        item.hidden = (i % 40 == 39);
        for (const Weighed& w : weighed()) {
            if (w.index != i) continue;
            item.name = QString::fromUtf8(w.name);
            item.unit = QStringLiteral("Kg");
            item.barcode = QString::fromLatin1(w.labelHead);
            item.barcode2.clear();
            item.barcode3.clear();
            item.price = w.price;
            item.purchasePrice = round2(w.price * 0.75);
            item.vat = 1;
        }
        items.push_back(item);
    }
    return items;
}

}  // namespace demobooks
