#include "invoicing/CreateInvoice.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlQuery>
#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

#include "core/Clock.h"
#include "core/DateFormat.h"
#include "data/Database.h"
#include "data/DatabaseError.h"
#include "data/FilePaths.h"
#include "data/Names.h"
#include "data/RetryWhileBusy.h"
#include "data/ServerBooks.h"
#include "data/Statement.h"
#include "invoicing/InvoiceNumber.h"
#include "modes/Targets.h"
#include "posting/BookRows.h"
#include "posting/Counters.h"
#include "posting/Pending.h"

namespace invoicing {

namespace n = data::names;
using posting::Account;
using posting::Line;

namespace {

// Every company's invoice database in the data directory: they share one number sequence.
QStringList invoiceDatabases(const QString& serverPath) {
    const QString folder = data::resolvePath(modes::dataDirectory(serverPath));
    QStringList files;
    for (const QString& name : QDir(folder).entryList(QDir::Files))
        if (name.endsWith(QStringLiteral("Fatura.mdb"), Qt::CaseInsensitive))
            files << QDir(folder).filePath(name);
    return files;
}

// `path` is a book of the company whose accounts are at `accounts`.
bool bookExists(const QString& path, const QString& accounts) {
    if (!data::isServerPath(path))
        return data::databaseKind(data::resolvePath(path)) != data::DatabaseKind::Missing;
    const auto server = data::parseServerPath(path);
    QSqlQuery found = data::Database::openPrivate(accounts)->query(
        QStringLiteral("SELECT 1 FROM pg_namespace WHERE nspname = ?"),
        {server ? server->schema() : QString()});
    return found.next();
}

// One company's books: the invoice, its lines and every movement and debit of it.
std::unique_ptr<posting::AttachedBooks> attachBooks(const InvoiceRequest& r) {
    const QString invoices = r.serverPath + n::files::Fatura;
    try {
        return std::make_unique<posting::AttachedBooks>(
            r.workingCopy, std::vector<std::pair<QString, QString>>{
                               {QStringLiteral("sc"), r.serverPath + n::files::Cari},
                               {QStringLiteral("ss"), r.serverPath + n::files::Stok},
                               {QStringLiteral("si"), r.serverPath + n::files::Index},
                               {QStringLiteral("sf"), invoices}});
    } catch (const data::DatabaseError&) {
        if (!bookExists(invoices, r.serverPath + n::files::Cari))
            throw data::DatabaseError(
                QStringLiteral("Fatura yazılmadı: %1 firmasının fatura dosyası bulunamadı: %2")
                    .arg(modes::companyOf(r.serverPath),
                         data::isServerPath(invoices) ? invoices : data::resolvePath(invoices)));
        throw;
    }
}

}  // namespace

namespace {

InvoiceResult writeOnce(const InvoiceRequest& r) {
    // Books on a server keep the number in their own row, drawn inside the invoice's transaction.
    const bool server = data::isServerPath(r.serverPath);
    std::optional<InvoiceNumberLock> numbering;
    if (!server) numbering.emplace(numberFilePath(r.serverPath), invoiceDatabases(r.serverPath));

    const std::unique_ptr<posting::AttachedBooks> attached = attachBooks(r);
    posting::AttachedBooks& books = *attached;
    data::Database* db = &books.db();
    auto fileOf = [&books](const QString& alias) { return books.fileOf(alias); };
    const QString sc = books.qualifier(QStringLiteral("sc"));
    const QString ss = books.qualifier(QStringLiteral("ss"));
    const QString si = books.qualifier(QStringLiteral("si"));
    const QString sf = books.qualifier(QStringLiteral("sf"));

    InvoiceResult result;
    // On a server the token the invoice leaves there settles a "Tamam" whose answer was lost.
    QString token;
    bool committing = false;
    db->begin();
    try {
        if (server) result.earlier = posting::resolvePendingIn(*db, books.workingCopy());
        const std::vector<Line> lines =
            posting::enteredLines(books.workingCopy(), posting::LineOrder::ByName);
        // The invoice is what its lines add up to, nothing more.
        core::Money total;
        core::Money vat;
        for (const Line& line : lines) {
            total += line.amount;
            vat += line.vat;
        }
        result.total = total.toDouble();
        result.vat = vat.toDouble();
        result.lines = static_cast<int>(lines.size());
        if (lines.empty() || total.isZero()) {
            db->rollback();
            return result;
        }

        QStringList missing;
        std::optional<Account> customer = posting::findAccount(
            *db, sc, QStringLiteral("Unvan"), r.customerTitle, fileOf(QStringLiteral("sc")));
        if (!customer)
            missing << QStringLiteral("\"%1\" cari kartı (%2)")
                           .arg(r.customerTitle, fileOf(QStringLiteral("sc")));
        std::optional<Account> vatAccount;
        if (vat > core::Money()) {
            vatAccount = posting::findAccount(*db, sc, QStringLiteral("CariKod"),
                                              QStringLiteral("=110"), fileOf(QStringLiteral("sc")));
            if (!vatAccount)
                missing
                    << QStringLiteral("\"=110\" KDV hesabı (%1)").arg(fileOf(QStringLiteral("sc")));
        }
        QHash<QString, posting::Card> cards =
            posting::findCards(*db, ss, lines, fileOf(QStringLiteral("ss")), missing);
        if (!missing.isEmpty())
            throw data::DatabaseError(QStringLiteral("Fatura yazılmadı; bulunamayan kayıtlar:\n") +
                                      missing.mid(0, 12).join(u'\n'));

        if (server) token = posting::makePending(books.workingCopy(), lines, true);
        const QDateTime at = r.clock->now();
        const QString year = QString::number(at.date().year());
        result.number = numbering ? numbering->number() : drawServerInvoiceNumber(*db);
        result.key = QStringLiteral("S") + result.number;
        result.documentNumber = posting::DrawNumber(*db, si, false, year);
        const QString invoiceTime = core::storedDateTime(at);
        const QString linePattern = core::patternWithSeparators(QStringLiteral("dd/MM/yyyy HH:mm"));
        const QString movementText = result.key + QStringLiteral(" Nolu Satış Faturası ile ");

        data::Statement invoiceLine(
            *db,
            QStringLiteral(
                "INSERT INTO %1.FatHareket (FatHarNo, FatGirisCikis, FatCari, FatStok, Stok, "
                "FatAciklama, FatMiktar, FatFiyat, FatTutar, DigerId, Nerde, FatTotal, FatKdv, "
                "Birim, SeriNoDiger, Barkod, Tarih, KdvSi, Yeni) "
                "VALUES (?, 0, ?, ?, ?, ?, ?, ?, ?, ?, 'F', ?, ?, ?, ?, ?, ?, ?, 1)")
                .arg(sf));
        data::Statement movement(
            *db,
            QStringLiteral(
                "INSERT INTO %1.StokHareket (StokHarKod, Tarih, Aciklama, Fiyat, Miktar, Tutar, "
                "GirisCikis, Carisi, DigerId, Nerde, StokAd, SeriNoDiger, Unvan, KdvTut, Birim, "
                "Yeni, Sube, Server) VALUES (?, ?, ?, ?, ?, ?, 'Satış', ?, ?, 'F', ?, ?, ?, ?, ?, "
                "1, NULL, 0)")
                .arg(ss));
        posting::CardWriter cardWriter(*db, ss);
        const QStringList serials =
            posting::DrawNumbers(*db, si, true, year, static_cast<int>(lines.size()));
        for (size_t l = 0; l < lines.size(); ++l) {
            const Line& line = lines[l];
            const QString& serial = serials[static_cast<qsizetype>(l)];
            const QVariantList lineValues = {result.key,
                                             customer->code,
                                             line.code,
                                             line.name,
                                             line.name,
                                             line.quantity.toDouble(),
                                             line.price.toDouble(),
                                             line.amount.toDouble(),
                                             result.documentNumber,
                                             result.total,
                                             line.vatRate.toDouble(),
                                             line.unit,
                                             serial,
                                             line.barcode,
                                             r.clock->now().toString(linePattern),
                                             line.vat.toDouble()};
            for (int i = 0; i < lineValues.size(); ++i)
                invoiceLine.bind(i + 1, lineValues[i]);
            invoiceLine.run();
            const QVariantList movementValues = {
                line.code,
                invoiceTime,
                result.number + QStringLiteral(" Nolu Satış Faturası ile"),
                line.price.toDouble(),
                line.quantity.toDouble(),
                line.amount.toDouble(),
                customer->code,
                result.documentNumber,
                line.name,
                serial,
                customer->title,
                line.vat.toDouble(),
                line.unit};
            for (int i = 0; i < movementValues.size(); ++i)
                movement.bind(i + 1, movementValues[i]);
            movement.run();
            posting::Card& card = cards[line.code];
            card.totals.add(false, line.quantity, line.amount);
            cardWriter.store(card);
        }

        db->query(QStringLiteral("INSERT INTO %1.Faturalar (FaturaNo, FatTarih, FatCari, Nakit, "
                                 "DigerId, Unvan, FatTop, FatKdvTut, Toplam, Gurup, KdvHarDahil) "
                                 "VALUES (?, ?, ?, 1, ?, ?, ?, ?, ?, ?, 0)")
                      .arg(sf),
                  {result.key, core::storedDate(at.date()), customer->code, result.documentNumber,
                   r.customerTitle, result.total, result.vat, result.total, customer->group});
        db->query(QStringLiteral("INSERT INTO %1.CariHareket (CariHarKod, Tarih, Aciklama, Borc, "
                                 "Carisi, DigerId, Nerde, Unvan, Yeni, Server) "
                                 "VALUES (?, ?, ?, ?, ?, ?, 'F', ?, 1, 0)")
                      .arg(sc),
                  {customer->code, invoiceTime, movementText, result.total, customer->code,
                   result.documentNumber, customer->title});
        posting::storeBalance(*db, sc, *customer, true, total);
        if (vat > core::Money()) {
            db->query(
                QStringLiteral("INSERT INTO %1.CariHareket (CariHarKod, Tarih, Aciklama, Borc, "
                               "Carisi, DigerId, Nerde, Yeni, Sube, Server) "
                               "VALUES ('=110', ?, ?, ?, '=110', ?, 'F', 1, NULL, 0)")
                    .arg(sc),
                {invoiceTime, movementText, result.vat, result.documentNumber});
            posting::storeBalance(*db, sc, *vatAccount, true, vat);
        }
        if (server) {
            posting::recordPosting(*db, token, result.key);
            committing = true;
            db->commit();
            posting::finishPending(books.workingCopy());
        } else {
            posting::resetEnteredLines(*db);
            db->commit();
        }
    } catch (...) {
        if (db->inTransaction()) db->rollback();
        // Known not written unless the commit itself went unanswered.
        if (!token.isEmpty() && !committing) posting::dropPendingAfterRollback(books.workingCopy());
        throw;
    }
    result.written = true;
    if (!numbering) return result;
    try {
        numbering->commit();
    } catch (const data::DatabaseError& e) {
        // The invoice stands; the next one still takes the number after it from the books.
        result.warning = e.text();
    }
    return result;
}

}  // namespace

InvoiceResult createInvoice(const InvoiceRequest& r) {
    // All or nothing: behind another terminal's write the whole of it is tried again, for as
    // long as the operator waits.
    return data::retryWhileBusy(QStringLiteral("Başka bir terminal yazıyor"),
                                [&r] { return writeOnce(r); });
}

}  // namespace invoicing
