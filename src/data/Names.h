#pragma once

#include <QString>

// Tables and fields of the accounting package's databases, spelled as the package spells them.
namespace data::names {

inline const QString StokKartlar = QStringLiteral("StokKartlar");
inline const QString StokHareket = QStringLiteral("StokHareket");
inline const QString CariKartlar = QStringLiteral("CariKartlar");
inline const QString CariHareket = QStringLiteral("CariHareket");
inline const QString Faturalar = QStringLiteral("Faturalar");
inline const QString FatHareket = QStringLiteral("FatHareket");
inline const QString Tarih = QStringLiteral("Tarih");
inline const QString Mdbindex = QStringLiteral("Mdbindex");

namespace stok {
inline const QString StokKod = QStringLiteral("StokKod");
inline const QString StokAdi = QStringLiteral("StokAdi");
inline const QString Barkod = QStringLiteral("Barkod");
inline const QString Barkod2 = QStringLiteral("Barkod2");
inline const QString Barkod3 = QStringLiteral("Barkod3");
inline const QString Birim = QStringLiteral("Birim");
inline const QString Fiyat = QStringLiteral("Fiyat");
inline const QString gFiyat = QStringLiteral("gFiyat");
inline const QString Fiyat2 = QStringLiteral("Fiyat2");
inline const QString GirenMik = QStringLiteral("GirenMik");
inline const QString CikanMik = QStringLiteral("CikanMik");
inline const QString GirenTutar = QStringLiteral("GirenTutar");
inline const QString CikanTutar = QStringLiteral("CikanTutar");
inline const QString KalanB = QStringLiteral("KalanB");
inline const QString KalanA = QStringLiteral("KalanA");
inline const QString Kdv = QStringLiteral("Kdv");
inline const QString Kar = QStringLiteral("Kar");
inline const QString StokGizle = QStringLiteral("StokGizle");
}  // namespace stok

namespace cari {
inline const QString CariKod = QStringLiteral("CariKod");
inline const QString Unvan = QStringLiteral("Unvan");
inline const QString Gurup = QStringLiteral("Gurup");
inline const QString Telefon = QStringLiteral("Telefon");
inline const QString VergiNo = QStringLiteral("VergiNo");
inline const QString Yetkili = QStringLiteral("Yetkili");
inline const QString Borc = QStringLiteral("Borc");
inline const QString Alacak = QStringLiteral("Alacak");
inline const QString Bakiye = QStringLiteral("Bakiye");
inline const QString Hesap = QStringLiteral("Hesap");
}  // namespace cari

/// Fields that hold a name: wherever the terminal orders by one, it is Turkish alphabetical order.
inline bool isName(const QString& field) {
    return field.compare(stok::StokAdi, Qt::CaseInsensitive) == 0 ||
           field.compare(cari::Unvan, Qt::CaseInsensitive) == 0;
}

namespace files {
inline const QString Cari = QStringLiteral("Cari.mdb");
inline const QString Stok = QStringLiteral("Stok.mdb");
inline const QString StokCopy = QStringLiteral("Stok.Mdb");
inline const QString Fatura = QStringLiteral("Fatura.mdb");
inline const QString Index = QStringLiteral("Index.mdb");
}  // namespace files

}  // namespace data::names

// Record sources and statements the terminal issues, as it writes them.
namespace data::sources {
inline const QString CariByCode = QStringLiteral("Select * FROM CariKartlar Order By CariKod Asc");
inline const QString CountList = QStringLiteral(
    "Select * FROM StokKartlar Where StokGizle=False and KalanB+KalanA<>0 Order By StokKod Asc");
inline const QString FullList =
    QStringLiteral("Select * From StokKartlar Where StokGizle=False Order By StokAdi Asc");
inline const QString EnteredByCode = QStringLiteral(
    "Select * FROM StokKartlar Where StokGizle=False And KalanB<>0 Order By StokKod Asc");
inline const QString EnteredByName = QStringLiteral(
    "Select * From StokKartlar Where StokGizle=False And KalanB<>0 Order By StokAdi Asc");
}  // namespace data::sources
