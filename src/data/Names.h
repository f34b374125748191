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

// StokHareket: one row for each line a document moves.
namespace stokHar {
inline const QString StokHarKod = QStringLiteral("StokHarKod");
inline const QString Tarih = QStringLiteral("Tarih");
inline const QString Aciklama = QStringLiteral("Aciklama");
inline const QString Birim = QStringLiteral("Birim");
inline const QString Fiyat = QStringLiteral("Fiyat");
inline const QString Miktar = QStringLiteral("Miktar");
inline const QString Tutar = QStringLiteral("Tutar");
inline const QString GirisCikis = QStringLiteral("GirisCikis");
inline const QString Carisi = QStringLiteral("Carisi");
inline const QString DigerId = QStringLiteral("DigerId");
inline const QString Nerde = QStringLiteral("Nerde");
inline const QString SatTar = QStringLiteral("SatTar");
inline const QString StokAd = QStringLiteral("StokAd");
inline const QString Unvan = QStringLiteral("Unvan");
inline const QString Barkod = QStringLiteral("Barkod");
inline const QString Maliyet = QStringLiteral("Maliyet");
inline const QString Sube = QStringLiteral("Sube");
inline const QString SeriNoDiger = QStringLiteral("SeriNoDiger");
inline const QString KdvTut = QStringLiteral("KdvTut");
inline const QString Yeni = QStringLiteral("Yeni");
inline const QString Server = QStringLiteral("Server");
}  // namespace stokHar

// CariHareket: one row for each amount a document puts on an account.
namespace cariHar {
inline const QString CariHarKod = QStringLiteral("CariHarKod");
inline const QString Tarih = QStringLiteral("Tarih");
inline const QString Aciklama = QStringLiteral("Aciklama");
inline const QString Borc = QStringLiteral("Borc");
inline const QString Alacak = QStringLiteral("Alacak");
inline const QString Carisi = QStringLiteral("Carisi");
inline const QString DigerId = QStringLiteral("DigerId");
inline const QString Nerde = QStringLiteral("Nerde");
inline const QString Sube = QStringLiteral("Sube");
inline const QString Unvan = QStringLiteral("Unvan");
inline const QString Yeni = QStringLiteral("Yeni");
inline const QString Server = QStringLiteral("Server");
}  // namespace cariHar

// Faturalar: one row for each invoice.
namespace fatura {
inline const QString FaturaNo = QStringLiteral("FaturaNo");
inline const QString FatTarih = QStringLiteral("FatTarih");
inline const QString FatCari = QStringLiteral("FatCari");
inline const QString Nakit = QStringLiteral("Nakit");
inline const QString DigerId = QStringLiteral("DigerId");
inline const QString Unvan = QStringLiteral("Unvan");
inline const QString FatTop = QStringLiteral("FatTop");
inline const QString FatKdvTut = QStringLiteral("FatKdvTut");
inline const QString Toplam = QStringLiteral("Toplam");
inline const QString Gurup = QStringLiteral("Gurup");
inline const QString KdvHarDahil = QStringLiteral("KdvHarDahil");
}  // namespace fatura

// FatHareket: the invoice's lines.
namespace fatHar {
inline const QString FatHarNo = QStringLiteral("FatHarNo");
inline const QString FatGirisCikis = QStringLiteral("FatGirisCikis");
inline const QString FatCari = QStringLiteral("FatCari");
inline const QString FatStok = QStringLiteral("FatStok");
inline const QString Stok = QStringLiteral("Stok");
inline const QString FatAciklama = QStringLiteral("FatAciklama");
inline const QString FatMiktar = QStringLiteral("FatMiktar");
inline const QString FatFiyat = QStringLiteral("FatFiyat");
inline const QString FatTutar = QStringLiteral("FatTutar");
inline const QString DigerId = QStringLiteral("DigerId");
inline const QString Nerde = QStringLiteral("Nerde");
inline const QString FatTotal = QStringLiteral("FatTotal");
inline const QString FatKdv = QStringLiteral("FatKdv");
inline const QString Birim = QStringLiteral("Birim");
inline const QString SeriNoDiger = QStringLiteral("SeriNoDiger");
inline const QString Barkod = QStringLiteral("Barkod");
inline const QString Tarih = QStringLiteral("Tarih");
inline const QString KdvSi = QStringLiteral("KdvSi");
inline const QString Yeni = QStringLiteral("Yeni");
}  // namespace fatHar

// Mdbindex: the document and serial counters, one row for each year (the Tarih table).
namespace mdbindex {
inline const QString Tarih = QStringLiteral("Tarih");
inline const QString Indexi = QStringLiteral("Indexi");
inline const QString Serino = QStringLiteral("Serino");
}  // namespace mdbindex

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
