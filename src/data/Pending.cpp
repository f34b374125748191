#include "data/Pending.h"

#include <QSqlQuery>
#include <QUuid>

#include "data/Books.h"
#include "data/Database.h"
#include "data/DatabaseError.h"
#include "data/Dialect.h"
#include "data/Names.h"
#include "data/Transaction.h"

namespace data {

namespace {

// The working copy is the terminal's own file: tables of its own may live there.
const QString TokenTable = QStringLiteral("TerminalPending");
const QString LinesTable = QStringLiteral("TerminalPendingLines");

struct Token {
    QString token;
    bool invoice = false;
};

std::optional<Token> pendingToken(Database& wc) {
    if (!wc.dialect().hasTable(wc, TokenTable)) return std::nullopt;
    QSqlQuery q = wc.query(QStringLiteral("SELECT Token, Kind FROM %1 LIMIT 1").arg(TokenTable));
    std::optional<Token> token;
    if (q.next()) token = Token{q.value(0).toString(), q.value(1).toString() == u"invoice"};
    q.finish();
    return token;
}

std::optional<QString> postedUnder(Database& server, const QString& token) {
    QSqlQuery q = server.query(
        QStringLiteral("SELECT number FROM terminal.postings WHERE token = ?"), {token});
    std::optional<QString> number;
    if (q.next()) number = q.value(0).toString();
    q.finish();
    return number;
}

// Runs `work` in one transaction of the working copy.
template <typename Work>
void inTransaction(Database& wc, Work work) {
    Transaction transaction(wc);
    work();
    transaction.commit();
}

void clearToken(Database& wc) {
    wc.query(QStringLiteral("DELETE FROM %1").arg(TokenTable));
    wc.query(QStringLiteral("DELETE FROM %1").arg(LinesTable));
}

}  // namespace

QString PendingResult::message() const {
    switch (state) {
        case State::None:
            return QString();
        case State::Written:
            return QStringLiteral("Önceki işlem yazılmış: %1 %2")
                .arg(invoice ? QStringLiteral("fatura") : QStringLiteral("belge"), number);
        case State::NotWritten:
            return QStringLiteral("Önceki işlem yazılmamış; satırlar duruyor.");
        case State::Unknown:
            return QStringLiteral(
                       "Önceki işlemin yazılıp yazılmadığı öğrenilemedi; satırlar "
                       "değiştirilemez: %1")
                .arg(cause);
    }
    return QString();
}

bool hasPending(const QString& workingCopy) {
    auto wc = Database::open(workingCopy);
    return pendingToken(*wc).has_value();
}

PendingResult resolvePending(const QString& serverPath, const QString& workingCopy) {
    PendingResult result;
    try {
        auto wc = Database::open(workingCopy);
        if (!pendingToken(*wc)) return result;
        auto server = Database::openPrivate(serverPath + names::files::Cari);
        // Beginning waits for every writer of the books: a posting still committing has ended.
        Transaction reading(*server);
        result = resolvePendingIn(*server, *wc);
    } catch (const DatabaseError& e) {
        result = PendingResult{PendingResult::State::Unknown, QString(), false, e.text()};
    }
    return result;
}

PendingResult resolvePendingIn(Database& server, Database& wc) {
    PendingResult result;
    const std::optional<Token> token = pendingToken(wc);
    if (!token) return result;
    result.invoice = token->invoice;
    if (const auto number = postedUnder(server, token->token)) {
        finishPending(wc);
        result.state = PendingResult::State::Written;
        result.number = *number;
    } else {
        dropPending(wc);
        result.state = PendingResult::State::NotWritten;
    }
    return result;
}

QString makePending(Database& wc, const std::vector<Line>& lines, bool invoice) {
    const QString token = QUuid::createUuid().toString(QUuid::WithoutBraces);
    inTransaction(wc, [&] {
        wc.query(QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (Token TEXT, Kind TEXT)")
                     .arg(TokenTable));
        wc.query(QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (Card INTEGER, StokKod TEXT, "
                                "KalanB REAL, GirenTutar REAL, Kar REAL)")
                     .arg(LinesTable));
        clearToken(wc);
        wc.query(QStringLiteral("INSERT INTO %1 (Token, Kind) VALUES (?, ?)").arg(TokenTable),
                 {token, invoice ? QStringLiteral("invoice") : QStringLiteral("posting")});
        for (const Line& line : lines)
            wc.query(QStringLiteral("INSERT INTO %1 (Card, StokKod, KalanB, GirenTutar, Kar) "
                                    "VALUES (?, ?, ?, ?, ?)")
                         .arg(LinesTable),
                     {line.row, line.code, line.quantity.toDouble(), line.amount.toDouble(),
                      line.vat.toDouble()});
    });
    return token;
}

void recordPosting(Database& server, const QString& token, const QString& number) {
    server.query(QStringLiteral("INSERT INTO terminal.postings (token, number) VALUES (?, ?)"),
                 {token, number});
}

void finishPending(Database& wc) {
    inTransaction(wc, [&] {
        // Each covered line loses exactly what was posted of it: what was booked on it since
        // stays, to be posted in a document of its own.
        QSqlQuery q = wc.query(
            QStringLiteral("SELECT p.Card, p.KalanB, p.GirenTutar, p.Kar, s.KalanB, s.GirenTutar, "
                           "s.Kar FROM %1 p JOIN main.Basket s ON s.rowid = p.Card AND "
                           "s.StokKod = p.StokKod")
                .arg(LinesTable));
        struct Left {
            qint64 card;
            Quantity quantity;
            Money amount, vat;
        };
        std::vector<Left> left;
        auto money = [&q](int i) { return Money::fromDouble(q.value(i).toDouble()); };
        while (q.next()) {
            const Quantity quantity = Quantity::fromDouble(q.value(4).toDouble()) -
                                      Quantity::fromDouble(q.value(1).toDouble());
            if (quantity.isZero())
                left.push_back({q.value(0).toLongLong(), Quantity(), Money(), Money()});
            else
                left.push_back(
                    {q.value(0).toLongLong(), quantity, money(5) - money(2), money(6) - money(3)});
        }
        q.finish();
        for (const Left& l : left) {
            // A line posted in full leaves the basket, as the lines of a document on files do.
            if (l.quantity.isZero())
                wc.query(QStringLiteral("DELETE FROM main.Basket WHERE rowid = ?"), {l.card});
            else
                wc.query(QStringLiteral("UPDATE main.Basket SET KalanB = ?, GirenTutar = ?, "
                                        "Kar = ? WHERE rowid = ?"),
                         {l.quantity.toDouble(), l.amount.toDouble(), l.vat.toDouble(), l.card});
        }
        clearToken(wc);
    });
}

void dropPending(Database& wc) {
    if (!pendingToken(wc)) return;
    inTransaction(wc, [&] { clearToken(wc); });
}

void dropPendingAfterRollback(Database& wc) noexcept {
    try {
        dropPending(wc);
    } catch (const DatabaseError&) {
        // The first error is the one reported; the token left is resolved as not written.
    }
}

}  // namespace data
