#include "posting/Posting.h"

#include <QHash>
#include <QSqlQuery>
#include <algorithm>
#include <vector>

#include "core/Clock.h"
#include "core/DateFormat.h"
#include "data/Database.h"
#include "data/DatabaseError.h"
#include "data/FilePaths.h"
#include "data/Names.h"
#include "data/RetryWhileBusy.h"
#include "data/Statement.h"
#include "modes/Targets.h"
#include "posting/BookRows.h"
#include "posting/Counters.h"
#include "posting/Pending.h"
#include "posting/StockTotals.h"

namespace posting {

namespace n = data::names;

namespace {

// One side of a posting: the books it writes and the account it writes against.
struct Side {
    QString cari, stok;  // schema aliases
    bool headOffice = false;
    Account account;
    QHash<QString, Card> cards;
};

void writeAccount(data::Database& db, Side& side, bool sale, Money total, const QString& number,
                  const QDateTime& at, const QString& targetCode) {
    // The head office's side of a sale is a purchase for it, and the other way round.
    const bool debit = side.headOffice ? !sale : sale;
    const QString text = debit ? QStringLiteral("Satış ile") : QStringLiteral("Alış ile");
    db.query(QStringLiteral("INSERT INTO %1.CariHareket (CariHarKod, Tarih, Aciklama, %2, Carisi, "
                            "DigerId, Nerde, Sube) VALUES (?, ?, ?, ?, ?, ?, 'S', '01')")
                 .arg(side.cari, debit ? QStringLiteral("Borc") : QStringLiteral("Alacak")),
             {side.headOffice ? side.account.code : targetCode, core::storedDateTime(at), text,
              total.toDouble(), side.headOffice ? side.account.code : side.account.title, number});
    storeBalance(db, side.cari, side.account, debit, total);
}

void writeStock(data::Database& db, Side& side, const std::vector<Line>& lines, bool sale,
                const QString& number, const QDateTime& at, const QString& carisi,
                const QString& title, const QString& branchCode) {
    const bool in = side.headOffice ? sale : !sale;
    const QString direction = in ? QStringLiteral("Alış") : QStringLiteral("Satış");
    // The movement's time is kept to the minute, as a date-time value the engines read as one.
    const QString time = core::storedMinute(at);
    data::Statement insert(
        db,
        QStringLiteral("INSERT INTO %1.StokHareket (StokHarKod, Tarih, Aciklama, Birim, Fiyat, "
                       "Miktar, Tutar, GirisCikis, Carisi, DigerId, Nerde, SatTar, StokAd, "
                       "Unvan, Barkod, Maliyet, Sube) VALUES (?,?,?,?,?,?,?,?,?,?,'C',?,?,?,?,?,?)")
            .arg(side.stok));
    CardWriter cards(db, side.stok);
    const QString satTar = core::storedDateTime(at);
    for (const Line& line : lines) {
        Card& card = side.cards[line.code];
        const QVariantList values = {line.code,
                                     time,
                                     line.name + QStringLiteral(" İle"),
                                     line.unit,
                                     line.price.toDouble(),
                                     line.quantity.toDouble(),
                                     line.amount.toDouble(),
                                     direction,
                                     carisi,
                                     number,
                                     satTar,
                                     card.name,
                                     title,
                                     card.barcode,
                                     card.cost.toDouble(),
                                     branchCode};
        for (int i = 0; i < values.size(); ++i)
            insert.bind(i + 1, values[i]);
        insert.run();
        card.totals.add(in, line.quantity, line.amount);
        cards.store(card);
    }
}

}  // namespace

QString headOfficePath(const QString& serverPath) {
    return modes::companyPath(serverPath, QStringLiteral("01"));
}

namespace {

PostingResult writeOnce(const PostingRequest& r) {
    const QDateTime postingTime = r.clock->now();
    const QString headOffice = headOfficePath(r.serverPath);
    std::vector<std::pair<QString, QString>> files = {
        {QStringLiteral("sc"), r.serverPath + n::files::Cari},
        {QStringLiteral("ss"), r.serverPath + n::files::Stok},
        {QStringLiteral("si"), r.serverPath + n::files::Index}};
    if (r.warehouse) {
        files.emplace_back(QStringLiteral("hc"), headOffice + n::files::Cari);
        files.emplace_back(QStringLiteral("hs"), headOffice + n::files::Stok);
        files.emplace_back(QStringLiteral("hi"), headOffice + n::files::Index);
    }
    AttachedBooks books(r.workingCopy, std::move(files));
    data::Database* db = &books.db();
    auto fileOf = [&books](const QString& alias) { return books.fileOf(alias); };
    auto q = [&books](const char* alias) { return books.qualifier(QLatin1String(alias)); };

    PostingResult result;
    // On a server the working copy is not in the books' transaction: the posting carries a token
    // that the server keeps with it, so a repeated "Tamam" after a lost answer cannot post twice.
    QString token;
    bool committing = false;
    db->begin();
    try {
        // An earlier posting whose answer was lost is settled before the lines are read.
        if (books.onServer()) result.earlier = resolvePendingIn(*db, books.workingCopy());
        const std::vector<Line> lines = enteredLines(books.workingCopy(), LineOrder::ByCode);
        // The exact sum of the exact lines: the debit equals the lines to the last digit.
        Money total;
        for (const Line& line : lines)
            total += line.amount;
        result.total = total.toDouble();
        result.lines = static_cast<int>(lines.size());
        if (lines.empty() || total.isZero()) {
            db->rollback();
            return result;
        }

        QStringList missing;
        const QString targetCode =
            r.warehouse ? QStringLiteral("Şube") + modes::branchCompany(r.targetIndex) : QString();
        Side head{q("sc"), q("ss"), true, {}, {}};
        Side target = r.warehouse ? Side{q("hc"), q("hs"), false, {}, {}}
                                  : Side{q("sc"), q("ss"), false, {}, {}};
        if (r.warehouse) {
            if (auto a = findAccount(*db, head.cari, QStringLiteral("Unvan"),
                                     QStringLiteral("Merkez"), fileOf(QStringLiteral("sc"))))
                head.account = *a;
            else
                missing << QStringLiteral("\"Merkez\" cari kartı (%1)")
                               .arg(fileOf(QStringLiteral("sc")));
            head.cards = findCards(*db, head.stok, lines, fileOf(QStringLiteral("ss")), missing);
        }
        const QString targetFile =
            fileOf(r.warehouse ? QStringLiteral("hc") : QStringLiteral("sc"));
        const auto targetAccount =
            r.warehouse
                ? findAccount(*db, target.cari, QStringLiteral("CariKod"), targetCode, targetFile)
                : findAccount(*db, target.cari, QStringLiteral("Unvan"), r.targetTitle, targetFile);
        if (targetAccount)
            target.account = *targetAccount;
        else
            missing << QStringLiteral("\"%1\" cari kartı (%2)")
                           .arg(r.warehouse ? targetCode : r.targetTitle,
                                fileOf(r.warehouse ? QStringLiteral("hc") : QStringLiteral("sc")));
        target.cards =
            findCards(*db, target.stok, lines,
                      fileOf(r.warehouse ? QStringLiteral("hs") : QStringLiteral("ss")), missing);
        if (!missing.isEmpty()) {
            throw data::DatabaseError(
                QStringLiteral("Hiçbir şey yazılmadı; bulunamayan kayıtlar:\n") +
                missing.mid(0, 12).join(u'\n') +
                (missing.size() > 12 ? QStringLiteral("\n…") : QString()));
        }

        if (books.onServer()) token = makePending(books.workingCopy(), lines, false);
        // A transfer's number names it in both companies' books: free in both series.
        const QStringList counters =
            r.warehouse ? QStringList{q("si"), q("hi")} : QStringList{q("si")};
        result.documentNumber =
            DrawNumber(*db, counters, false, QString::number(postingTime.date().year()));
        if (r.warehouse) {
            writeAccount(*db, head, r.sale, total, result.documentNumber, postingTime, QString());
            writeStock(*db, head, lines, r.sale, result.documentNumber, postingTime,
                       head.account.code, r.targetTitle,
                       QStringLiteral("%1").arg(r.targetIndex + 1, 2, 10, QLatin1Char('0')));
        }
        const QString code = r.warehouse ? targetCode : target.account.code;
        writeAccount(*db, target, r.sale, total, result.documentNumber, r.clock->now(), code);
        writeStock(*db, target, lines, r.sale, result.documentNumber, postingTime, code,
                   r.targetTitle, QString(code).remove(QStringLiteral("Şube")));
        if (books.onServer()) {
            recordPosting(*db, token, result.documentNumber);
            committing = true;
            db->commit();
            finishPending(books.workingCopy());
        } else {
            // The posted lines leave the working set in the same commit: they never post twice.
            resetEnteredLines(*db);
            db->commit();
        }
    } catch (...) {
        if (db->inTransaction()) db->rollback();
        // Rolled back before its commit, the posting is known not written; a commit whose answer
        // was lost, or a working copy not reset after it, leaves the token to be resolved.
        if (!token.isEmpty() && !committing) dropPendingAfterRollback(books.workingCopy());
        throw;
    }
    result.posted = true;
    return result;
}

}  // namespace

PostingResult postWorkingSet(const PostingRequest& r) {
    // All or nothing: behind another terminal's write the whole of it is tried again, for as
    // long as the operator waits.
    return data::retryWhileBusy(QStringLiteral("Başka bir terminal yazıyor"),
                                [&r] { return writeOnce(r); });
}

}  // namespace posting
