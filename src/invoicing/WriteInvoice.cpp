#include "invoicing/WriteInvoice.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

#include "core/Clock.h"
#include "core/DateFormat.h"
#include "data/Database.h"
#include "data/DatabaseError.h"
#include "data/Dialect.h"
#include "data/FilePaths.h"
#include "data/Names.h"
#include "invoicing/InvoiceNumber.h"
#include "modes/Targets.h"
#include "modes/WorkKind.h"
#include "posting/Balance.h"
#include "posting/Counters.h"
#include "posting/Document.h"
#include "posting/Posting.h"

namespace invoicing {

namespace n = data::names;
using data::Account;
using data::AttachedBooks;
using data::Line;

namespace {

// Every company's invoice database in the data directory: they share one number sequence.
QStringList invoiceDatabases(const QString& serverPath) {
    const QString folder = data::resolvePath(modes::dataDirectory(serverPath));
    QStringList files;
    for (const QString& name : QDir(folder).entryList(QDir::Files))
        if (name.endsWith(n::files::Fatura, Qt::CaseInsensitive))
            files << QDir(folder).filePath(name);
    return files;
}

// An invoice inside the frame every document shares: one company's books, the invoice, its lines
// and every movement and debit of it.
class InvoiceWriter final : public posting::DocumentWriter {
  public:
    InvoiceWriter(const InvoiceRequest& r, InvoiceResult& result) : m_r(r), m_result(result) {}

    // Where the books' engine keeps the number: a row drawn inside the invoice's transaction, or
    // the number file, held from before the transaction to the end.
    void joined(AttachedBooks& books) override {
        m_numbering.reset();
        if (!books.dialect().invoiceNumberInBooks())
            m_numbering.emplace(numberFilePath(m_r.serverPath), invoiceDatabases(m_r.serverPath));
    }

    void cannotJoin(const data::DatabaseError&) override {
        const QString invoices = m_r.serverPath + n::files::Fatura;
        if (!data::booksExist(invoices))
            throw data::DatabaseError(
                QStringLiteral("Fatura yazılmadı: %1 firmasının fatura dosyası bulunamadı: %2")
                    .arg(modes::companyOf(m_r.serverPath), data::shownPath(invoices)));
    }

    void find(AttachedBooks& books, const std::vector<Line>& lines, QStringList& missing) override {
        m_vat = core::Money();
        for (const Line& line : lines)
            m_vat += line.vat;
        m_customer = data::findAccount(books, Sc, n::cari::Unvan, m_r.customerTitle);
        if (!m_customer)
            missing << QStringLiteral("\"%1\" cari kartı (%2)")
                           .arg(m_r.customerTitle, books.shownFile(Sc));
        m_vatAccount.reset();
        if (m_vat > core::Money()) {
            m_vatAccount = data::findAccount(books, Sc, n::cari::CariKod, QStringLiteral("=110"));
            if (!m_vatAccount)
                missing << QStringLiteral("\"=110\" KDV hesabı (%1)").arg(books.shownFile(Sc));
        }
        m_cards = data::findCards(books, Ss, lines, missing);
    }

    QString write(AttachedBooks& books, const std::vector<Line>& lines, core::Money total) override;
    void name(data::journal::Entry& entry, const QString&) const override {
        entry.number = m_result.documentNumber;
        entry.invoice = m_result.key;
    }

    std::optional<InvoiceNumberLock>& numbering() { return m_numbering; }

  private:
    const QString Sc = QStringLiteral("sc"), Ss = QStringLiteral("ss"), Si = QStringLiteral("si"),
                  Sf = QStringLiteral("sf");
    const InvoiceRequest& m_r;
    InvoiceResult& m_result;
    std::optional<InvoiceNumberLock> m_numbering;
    std::optional<Account> m_customer, m_vatAccount;
    core::Money m_vat;  // the lines' VAT, added up when they are read
    QHash<QString, data::Card> m_cards;
};

QString InvoiceWriter::write(AttachedBooks& books, const std::vector<Line>& lines,
                             core::Money total) {
    InvoiceResult& result = m_result;
    const Account& customer = *m_customer;
    const core::Money vat = m_vat;
    result.total = total;
    result.vat = vat;
    const QDateTime at = m_r.clock->now();
    const QString year = QString::number(at.date().year());
    result.number = m_numbering ? m_numbering->number() : drawServerInvoiceNumber(books);
    result.key = QStringLiteral("S") + result.number;
    result.documentNumber = posting::DrawNumber(books, {Si}, false, year);
    const QString invoiceTime = core::storedDateTime(at);
    const QString linePattern = core::patternWithSeparators(QStringLiteral("dd/MM/yyyy HH:mm"));
    const QString movementText = result.key + QStringLiteral(" Nolu Satış Faturası ile ");

    namespace fh = n::fatHar;
    data::RowWriter invoiceLines(
        books, Sf, n::FatHareket,
        {fh::FatHarNo, fh::FatGirisCikis, fh::FatCari, fh::FatStok, fh::Stok, fh::FatAciklama,
         fh::FatMiktar, fh::FatFiyat, fh::FatTutar, fh::DigerId, fh::Nerde, fh::FatTotal,
         fh::FatKdv, fh::Birim, fh::SeriNoDiger, fh::Barkod, fh::Tarih, fh::KdvSi, fh::Yeni});
    namespace sh = n::stokHar;
    data::RowWriter movements(
        books, Ss, n::StokHareket,
        {sh::StokHarKod, sh::Tarih, sh::Aciklama, sh::Fiyat, sh::Miktar, sh::Tutar, sh::GirisCikis,
         sh::Carisi, sh::DigerId, sh::Nerde, sh::StokAd, sh::SeriNoDiger, sh::Unvan, sh::KdvTut,
         sh::Birim, sh::Yeni, sh::Sube, sh::Server});
    data::CardWriter cardWriter(books, Ss);
    const QStringList serials =
        posting::DrawNumbers(books, Si, true, year, static_cast<int>(lines.size()));
    for (size_t l = 0; l < lines.size(); ++l) {
        const Line& line = lines[l];
        const QString& serial = serials[static_cast<qsizetype>(l)];
        invoiceLines.add({result.key, 0, customer.code, line.code, line.name, line.name,
                          data::stored(line.quantity), data::stored(line.price),
                          data::stored(line.amount), result.documentNumber, QStringLiteral("F"),
                          data::stored(total), data::stored(line.vatRate), line.unit, serial,
                          line.barcode, m_r.clock->now().toString(linePattern),
                          data::stored(line.vat), 1});
        movements.add({line.code, invoiceTime,
                       result.number + QStringLiteral(" Nolu Satış Faturası ile"),
                       data::stored(line.price), data::stored(line.quantity),
                       data::stored(line.amount), QStringLiteral("Satış"), customer.code,
                       result.documentNumber, QStringLiteral("F"), line.name, serial,
                       customer.title, data::stored(line.vat), line.unit, 1, QVariant(), 0});
        data::Card& card = m_cards[line.code];
        card.totals.add(false, line.quantity, line.amount);
        cardWriter.store(card);
    }

    namespace f = n::fatura;
    data::RowWriter(books, Sf, n::Faturalar,
                    {f::FaturaNo, f::FatTarih, f::FatCari, f::Nakit, f::DigerId, f::Unvan,
                     f::FatTop, f::FatKdvTut, f::Toplam, f::Gurup, f::KdvHarDahil})
        .add({result.key, core::storedDate(at.date()), customer.code, 1, result.documentNumber,
              m_r.customerTitle, data::stored(total), data::stored(vat), data::stored(total),
              customer.group, 0});
    namespace ch = n::cariHar;
    data::RowWriter(books, Sc, n::CariHareket,
                    {ch::CariHarKod, ch::Tarih, ch::Aciklama, ch::Borc, ch::Carisi, ch::DigerId,
                     ch::Nerde, ch::Unvan, ch::Yeni, ch::Server})
        .add({customer.code, invoiceTime, movementText, data::stored(total), customer.code,
              result.documentNumber, QStringLiteral("F"), customer.title, 1, 0});
    posting::storeBalance(books, Sc, *m_customer, true, total);
    if (vat > core::Money()) {
        data::RowWriter(books, Sc, n::CariHareket,
                        {ch::CariHarKod, ch::Tarih, ch::Aciklama, ch::Borc, ch::Carisi, ch::DigerId,
                         ch::Nerde, ch::Yeni, ch::Sube, ch::Server})
            .add({QStringLiteral("=110"), invoiceTime, movementText, data::stored(vat),
                  QStringLiteral("=110"), result.documentNumber, QStringLiteral("F"), 1, QVariant(),
                  0});
        posting::storeBalance(books, Sc, *m_vatAccount, true, vat);
    }
    return result.key;
}

}  // namespace

InvoiceResult writeInvoice(const InvoiceRequest& r) {
    posting::DocumentRequest request;
    request.workingCopy = r.workingCopy;
    request.files = {{QStringLiteral("sc"), r.serverPath + n::files::Cari},
                     {QStringLiteral("ss"), r.serverPath + n::files::Stok},
                     {QStringLiteral("si"), r.serverPath + n::files::Index},
                     {QStringLiteral("sf"), r.serverPath + n::files::Fatura}};
    request.order = data::LineOrder::ByName;
    request.invoice = true;
    request.nothingWritten = QStringLiteral("Fatura yazılmadı");
    posting::journalRoad(request, r.serverPath, r.terminal, *r.clock,
                         modes::workName(modes::WorkKind::Account), QStringLiteral("Fatura"),
                         r.customerTitle, {modes::companyOf(r.serverPath)});
    InvoiceResult result;
    InvoiceWriter writer(r, result);
    const posting::DocumentResult written = posting::writeDocument(request, writer);
    result.written = written.written;
    result.lines = static_cast<int>(written.lines.size());
    result.earlier = written.earlier;
    if (!result.written) {
        // The invoice is what its lines add up to, nothing more: nothing numbered or kept.
        result.total = written.total;
        result.number.clear();
        result.key.clear();
        result.documentNumber.clear();
        return result;
    }
    try {
        if (writer.numbering()) writer.numbering()->commit();
    } catch (const data::DatabaseError& e) {
        // The invoice stands; the next one still takes the number after it from the books.
        result.warning = e.text();
    }
    return result;
}

}  // namespace invoicing
