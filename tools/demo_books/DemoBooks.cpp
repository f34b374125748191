#include "DemoBooks.h"

#include <sqlite3.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cmath>
#include <stdexcept>
#include <vector>

#include "Catalogue.h"

namespace demobooks {

const char* const StockSchema = R"(
CREATE TABLE StokKartlar (
    StokKod TEXT, StokAdi TEXT, Barkod TEXT, Barkod2 TEXT, Barkod3 TEXT, Birim TEXT,
    Fiyat REAL DEFAULT 0, gFiyat REAL DEFAULT 0, Fiyat2 REAL DEFAULT 0,
    GirenMik REAL DEFAULT 0, CikanMik REAL DEFAULT 0, GirenTutar REAL DEFAULT 0,
    CikanTutar REAL DEFAULT 0, KalanB REAL DEFAULT 0, KalanA REAL DEFAULT 0,
    Kdv REAL DEFAULT 0, Kar REAL DEFAULT 0, StokGizle INTEGER DEFAULT 0);
CREATE INDEX StokKartlar_StokKod ON StokKartlar(StokKod);
CREATE INDEX StokKartlar_StokAdi ON StokKartlar(StokAdi);
CREATE INDEX StokKartlar_Barkod ON StokKartlar(Barkod);
CREATE INDEX StokKartlar_Barkod2 ON StokKartlar(Barkod2);
CREATE INDEX StokKartlar_Barkod3 ON StokKartlar(Barkod3);
CREATE TABLE StokHareket (
    StokHarKod TEXT, Tarih DATETIME, Aciklama TEXT, Birim TEXT, Fiyat REAL DEFAULT 0,
    Miktar REAL DEFAULT 0, Tutar REAL DEFAULT 0, GirisCikis TEXT, Carisi TEXT, DigerId TEXT,
    Nerde TEXT, SatTar DATETIME, StokAd TEXT, Unvan TEXT, Barkod TEXT, Maliyet REAL DEFAULT 0,
    Sube TEXT, SeriNoDiger TEXT, KdvTut REAL DEFAULT 0, Yeni INTEGER DEFAULT 0,
    Server INTEGER DEFAULT 0);
CREATE INDEX StokHareket_StokHarKod ON StokHareket(StokHarKod);
)";

const char* const AccountSchema = R"(
CREATE TABLE CariKartlar (
    CariKod TEXT, Unvan TEXT, Gurup TEXT, Telefon TEXT, VergiNo TEXT, Yetkili TEXT,
    Borc REAL DEFAULT 0, Alacak REAL DEFAULT 0, Bakiye REAL DEFAULT 0, Hesap TEXT DEFAULT 'Borç');
CREATE INDEX CariKartlar_CariKod ON CariKartlar(CariKod);
CREATE INDEX CariKartlar_Unvan ON CariKartlar(Unvan);
CREATE TABLE CariHareket (
    CariHarKod TEXT, Tarih DATETIME, Aciklama TEXT, Borc REAL DEFAULT 0, Alacak REAL DEFAULT 0,
    Carisi TEXT, DigerId TEXT, Nerde TEXT, Sube TEXT, Unvan TEXT, Yeni INTEGER DEFAULT 0,
    Server INTEGER DEFAULT 0);
CREATE INDEX CariHareket_CariHarKod ON CariHareket(CariHarKod);
)";

const char* const InvoiceSchema = R"(
CREATE TABLE Faturalar (
    FaturaNo TEXT, FatTarih DATE, FatCari TEXT, Nakit INTEGER DEFAULT 0, DigerId TEXT,
    Unvan TEXT, FatTop REAL DEFAULT 0, FatKdvTut REAL DEFAULT 0, Toplam REAL DEFAULT 0,
    Gurup TEXT, KdvHarDahil INTEGER DEFAULT 0);
CREATE INDEX Faturalar_FaturaNo ON Faturalar(FaturaNo);
CREATE TABLE FatHareket (
    FatHarNo TEXT, FatGirisCikis INTEGER DEFAULT 0, FatCari TEXT, FatStok TEXT, Stok TEXT,
    FatAciklama TEXT, FatMiktar REAL DEFAULT 0, FatFiyat REAL DEFAULT 0, FatTutar REAL DEFAULT 0,
    DigerId TEXT, Nerde TEXT, FatTotal REAL DEFAULT 0, FatKdv REAL DEFAULT 0, Birim TEXT,
    SeriNoDiger TEXT, Barkod TEXT, Tarih TEXT, KdvSi REAL DEFAULT 0, Yeni INTEGER DEFAULT 0);
CREATE INDEX FatHareket_FatHarNo ON FatHareket(FatHarNo);
)";

const char* const IndexSchema = R"(
CREATE TABLE Tarih (Tarih TEXT);
CREATE INDEX Tarih_Tarih ON Tarih(Tarih);
CREATE TABLE Mdbindex (Tarih TEXT, Indexi TEXT, Serino TEXT);
CREATE INDEX Mdbindex_Tarih ON Mdbindex(Tarih);
)";

namespace {

struct Account {
    const char* code;
    const char* title;
    const char* group;
    const char* phone;
    const char* taxNo;
    const char* contact;
    double debit;
    double credit;
};

const std::vector<Account>& customers() {
    static const std::vector<Account> list = {
        {"C001", "YILMAZ GIDA LTD.ŞTİ.", "Müşteri", "0216 555 10 01", "9870012345", "Mehmet Yılmaz",
         12500.0, 4000.0},
        {"C002", "ÖZTÜRK MARKET", "Müşteri", "0212 555 10 02", "6540023456", "Ayşe Öztürk", 3200.5,
         3200.5},
        {"C003", "KAYA BAKKALİYESİ", "Müşteri", "0232 555 10 03", "3210034567", "Hasan Kaya", 800.0,
         2450.75},
        {"C004", "ŞAHİN TİCARET", "Müşteri", "0312 555 10 04", "1470045678", "Emine Şahin", 45000.0,
         38000.0},
        {"C005", "ÇELİK KARDEŞLER", "Müşteri", "0224 555 10 05", "2580056789", "İbrahim Çelik", 0.0,
         1500.0},
        {"C006", "DEMİR SÜPERMARKET", "Müşteri", "0242 555 10 06", "3690067890", "Fatma Demir",
         9100.25, 0.0},
        {"C007", "AYDIN ŞARKÜTERİ", "Müşteri", "0262 555 10 07", "7410078901", "Mustafa Aydın",
         1234.5, 0.0},
        {"C008", "ARSLAN TOPTAN GIDA", "Müşteri", "0322 555 10 08", "8520089012", "Zeynep Arslan",
         67000.0, 70250.0},
        {"C009", "AHMET'İN BAKKALI", "Müşteri", "0216 555 10 09", "9630090123", "Ahmet Koç", 560.0,
         0.0},
        {"C010", "KILIÇ MANAV", "Müşteri", "0352 555 10 10", "1590101234", "Elif Kılıç", 0.0, 0.0},
        {"C011", "İSTANBUL GIDA PAZARLAMA", "Müşteri", "0212 555 10 11", "7530112345", "Ömer Güneş",
         21000.0, 19500.0},
        {"C012", "ÜNAL KURUYEMİŞ", "Müşteri", "0442 555 10 12", "4560123456", "Gül Ünal", 300.0,
         975.4},
    };
    return list;
}

const std::vector<Account>& branches() {
    static const std::vector<Account> list = {
        {"Şube02", "KADIKÖY ŞUBESİ", "Şube", "0216 444 00 02", "", "Şube Müdürü", 0, 0},
        {"Şube03", "BEŞİKTAŞ ŞUBESİ", "Şube", "0212 444 00 03", "", "Şube Müdürü", 0, 0},
        {"Şube04", "ÜSKÜDAR ŞUBESİ", "Şube", "0216 444 00 04", "", "Şube Müdürü", 0, 0},
    };
    return list;
}

class Db {
  public:
    explicit Db(const QString& path) {
        QFile::remove(path);
        QFile::remove(path + QStringLiteral("-journal"));
        if (sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db,
                            SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
            const std::string text = m_db ? sqlite3_errmsg(m_db) : "out of memory";
            sqlite3_close(m_db);
            throw std::runtime_error("cannot create " + path.toStdString() + ": " + text);
        }
        exec("PRAGMA journal_mode=DELETE; BEGIN;");
    }
    ~Db() { sqlite3_close(m_db); }
    void exec(const char* sql) {
        char* err = nullptr;
        if (sqlite3_exec(m_db, sql, nullptr, nullptr, &err) != SQLITE_OK) {
            const std::string text = err ? err : "unknown error";
            sqlite3_free(err);
            throw std::runtime_error(text);
        }
    }
    sqlite3_stmt* prepare(const char* sql) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(m_db, sql, -1, &st, nullptr) != SQLITE_OK)
            throw std::runtime_error(sqlite3_errmsg(m_db));
        return st;
    }
    void step(sqlite3_stmt* st) {
        if (sqlite3_step(st) != SQLITE_DONE) throw std::runtime_error(sqlite3_errmsg(m_db));
        sqlite3_reset(st);
    }
    void commit() { exec("COMMIT;"); }

  private:
    sqlite3* m_db = nullptr;
};

void bindText(sqlite3_stmt* st, int i, const QString& text) {
    if (text.isEmpty()) {
        sqlite3_bind_null(st, i);
        return;
    }
    const QByteArray utf8 = text.toUtf8();
    sqlite3_bind_text(st, i, utf8.constData(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
}

double round4(double v) {
    return std::round(v * 10000.0) / 10000.0;
}

// company 0 writes a catalogue without stock (the placeholder); 1..4 give each company its levels.
void writeStock(const QString& path, const std::vector<Item>& items, int company) {
    Db db(path);
    db.exec(StockSchema);
    sqlite3_stmt* st = db.prepare(
        "INSERT INTO StokKartlar (StokKod, StokAdi, Barkod, Barkod2, Barkod3, Birim, Fiyat, gFiyat,"
        " Fiyat2, GirenMik, CikanMik, GirenTutar, CikanTutar, KalanB, KalanA, Kdv, Kar, StokGizle)"
        " VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,0,?)");
    quint32 seed = 7919u * static_cast<quint32>(company + 1);
    for (const Item& item : items) {
        double in = 0, out = 0;
        if (company > 0) {
            seed = seed * 1103515245u + 12345u;
            in = 10 + (seed >> 8) % 190;
            seed = seed * 1103515245u + 12345u;
            // Most cards have stock left; a few have sold more than came in.
            out = ((seed >> 8) % 10 == 0) ? in + 1 + (seed >> 12) % 5
                                          : (seed >> 12) % static_cast<quint32>(in);
        }
        const double kalanB = out > in ? 0 : round4(in - out);
        const double kalanA = out > in ? round4(out - in) : 0;
        bindText(st, 1, item.code);
        bindText(st, 2, item.name);
        bindText(st, 3, item.barcode);
        bindText(st, 4, item.barcode2);
        bindText(st, 5, item.barcode3);
        bindText(st, 6, item.unit);
        sqlite3_bind_double(st, 7, item.price);
        sqlite3_bind_double(st, 8, item.purchasePrice);
        sqlite3_bind_double(st, 9, item.price);
        sqlite3_bind_double(st, 10, in);
        sqlite3_bind_double(st, 11, out);
        sqlite3_bind_double(st, 12, std::round(in * item.purchasePrice * 100) / 100);
        sqlite3_bind_double(st, 13, std::round(out * item.price * 100) / 100);
        sqlite3_bind_double(st, 14, kalanB);
        sqlite3_bind_double(st, 15, kalanA);
        sqlite3_bind_double(st, 16, item.vat);
        sqlite3_bind_int(st, 17, item.hidden ? 1 : 0);
        db.step(st);
    }
    sqlite3_finalize(st);
    db.commit();
}

void writeAccounts(const QString& path, int company) {
    Db db(path);
    db.exec(AccountSchema);
    sqlite3_stmt* st = db.prepare(
        "INSERT INTO CariKartlar (CariKod, Unvan, Gurup, Telefon, VergiNo, Yetkili, Borc, Alacak,"
        " Bakiye, Hesap) VALUES (?,?,?,?,?,?,?,?,?,?)");
    auto add = [&](const Account& a) {
        bindText(st, 1, QString::fromUtf8(a.code));
        bindText(st, 2, QString::fromUtf8(a.title));
        bindText(st, 3, QString::fromUtf8(a.group));
        bindText(st, 4, QString::fromUtf8(a.phone));
        bindText(st, 5, QString::fromUtf8(a.taxNo));
        bindText(st, 6, QString::fromUtf8(a.contact));
        sqlite3_bind_double(st, 7, a.debit);
        sqlite3_bind_double(st, 8, a.credit);
        const bool credit = a.credit > a.debit;
        sqlite3_bind_double(st, 9, credit ? a.credit - a.debit : a.debit - a.credit);
        bindText(st, 10, credit ? QStringLiteral("Alacak") : QStringLiteral("Borç"));
        db.step(st);
    };
    // Every company's books list the branches, so warehouse work offers the same targets
    // whichever company's books are bound; a branch's books also hold the head office.
    if (company != 1)
        add({"M01", "Merkez", "Merkez", "0216 444 00 01", "1112223334", "Genel Müdür", 0, 0});
    for (const Account& a : branches())
        add(a);
    for (const Account& a : customers())
        add(a);
    add({"=110", "HESAPLANAN KDV", "KDV", "", "", "", 0, 0});
    sqlite3_finalize(st);
    db.commit();
}

void writeSchemaOnly(const QString& path, const char* schema) {
    Db db(path);
    db.exec(schema);
    db.commit();
}

}  // namespace

void makeBooks(const QString& dir, const Options& options) {
    const QString dataDir = QDir(dir).filePath(QStringLiteral("RezoruviZada"));
    if (!QDir().mkpath(dataDir))
        throw std::runtime_error("cannot create folder " + dataDir.toStdString());
    const std::vector<Item> items = makeCatalogue(options.items);
    for (int company = 1; company <= 4; ++company) {
        const QString prefix =
            QDir(dataDir).filePath(QStringLiteral("%1").arg(company, 2, 10, QLatin1Char('0')));
        writeAccounts(prefix + QStringLiteral("Cari.mdb"), company);
        writeStock(prefix + QStringLiteral("Stok.mdb"), items, company);
        writeSchemaOnly(prefix + QStringLiteral("Fatura.mdb"), InvoiceSchema);
        writeSchemaOnly(prefix + QStringLiteral("Index.mdb"), IndexSchema);
    }
}

void makePlaceholder(const QString& file, const Options& options) {
    const QString folder = QFileInfo(file).absolutePath();
    if (!QDir().mkpath(folder))
        throw std::runtime_error("cannot create folder " + folder.toStdString());
    writeStock(file, makeCatalogue(options.items), 0);
}

}  // namespace demobooks
