#include "posting/Posting.h"

#include <QHash>
#include <algorithm>
#include <vector>

#include "core/Clock.h"
#include "core/DateFormat.h"
#include "data/DatabaseError.h"
#include "data/Dialect.h"
#include "data/FilePaths.h"
#include "data/Names.h"
#include "data/ServerBooks.h"
#include "modes/Targets.h"
#include "modes/WorkKind.h"
#include "posting/Balance.h"
#include "posting/Counters.h"
#include "posting/Document.h"

namespace posting {

namespace n = data::names;
using core::Money;
using data::Account;
using data::AttachedBooks;
using data::Card;
using data::Line;

namespace {

// One side of a transfer or sale: the books it writes and the account it writes against. In
// warehouse work the branch's own books write against "Merkez", the head office's books against
// the branch's "ŞubeNN" account; in account work the one side is the customer in the company's
// books.
struct Side {
    QString cari, stok;              // aliases of the joined books
    bool againstHeadOffice = false;  // the branch's own books, written against "Merkez"
    Account account;
    QHash<QString, Card> cards;
};

void writeAccount(AttachedBooks& books, Side& side, bool sale, Money total, const QString& number,
                  const QDateTime& at, const QString& targetCode) {
    // The branch's own books see the transfer from the other end: the head office's sale is
    // the branch's purchase, and the other way round.
    const bool debit = side.againstHeadOffice ? !sale : sale;
    const QString text = debit ? QStringLiteral("Satış ile") : QStringLiteral("Alış ile");
    namespace h = n::cariHar;
    data::RowWriter(books, side.cari, n::CariHareket,
                    {h::CariHarKod, h::Tarih, h::Aciklama, debit ? h::Borc : h::Alacak, h::Carisi,
                     h::DigerId, h::Nerde, h::Sube})
        .add({side.againstHeadOffice ? side.account.code : targetCode, core::storedDateTime(at),
              text, data::stored(total),
              side.againstHeadOffice ? side.account.code : side.account.title, number,
              QStringLiteral("S"), QStringLiteral("01")});
    storeBalance(books, side.cari, side.account, debit, total);
}

void writeStock(AttachedBooks& books, Side& side, const std::vector<Line>& lines, bool sale,
                const QString& number, const QDateTime& at, const QString& carisi,
                const QString& title, const QString& branchCode) {
    const bool in = side.againstHeadOffice ? sale : !sale;
    const QString direction = in ? QStringLiteral("Alış") : QStringLiteral("Satış");
    // The movement's time is kept to the minute, as a date-time value the engines read as one.
    const QString time = core::storedMinute(at);
    namespace h = n::stokHar;
    data::RowWriter movements(books, side.stok, n::StokHareket,
                              {h::StokHarKod, h::Tarih, h::Aciklama, h::Birim, h::Fiyat, h::Miktar,
                               h::Tutar, h::GirisCikis, h::Carisi, h::DigerId, h::Nerde, h::SatTar,
                               h::StokAd, h::Unvan, h::Barkod, h::Maliyet, h::Sube});
    data::CardWriter cards(books, side.stok);
    const QString satTar = core::storedDateTime(at);
    for (const Line& line : lines) {
        Card& card = side.cards[line.code];
        movements.add({line.code, time, line.name + QStringLiteral(" İle"), line.unit,
                       data::stored(line.price), data::stored(line.quantity),
                       data::stored(line.amount), direction, carisi, number, QStringLiteral("C"),
                       satTar, card.name, title, card.barcode, data::stored(card.cost),
                       branchCode});
        card.totals.add(in, line.quantity, line.amount);
        cards.store(card);
    }
}

// A posting inside the frame every document shares.
class PostingWriter final : public DocumentWriter {
  public:
    PostingWriter(const PostingRequest& r, PostingResult& result) : m_r(r), m_result(result) {}

    void find(AttachedBooks& books, const std::vector<Line>& lines, QStringList& missing) override {
        m_targetCode = m_r.warehouse
                           ? QStringLiteral("Şube") + modes::branchCompany(m_r.targetIndex)
                           : QString();
        if (m_r.warehouse) {
            if (auto a = data::findAccount(books, m_branchBooks.cari, n::cari::Unvan,
                                           QStringLiteral("Merkez")))
                m_branchBooks.account = *a;
            else
                missing << QStringLiteral("\"Merkez\" cari kartı (%1)")
                               .arg(books.shownFile(m_branchBooks.cari));
            m_branchBooks.cards = data::findCards(books, m_branchBooks.stok, lines, missing);
        }
        const auto account =
            m_r.warehouse
                ? data::findAccount(books, m_target.cari, n::cari::CariKod, m_targetCode)
                : data::findAccount(books, m_target.cari, n::cari::Unvan, m_r.targetTitle);
        if (account)
            m_target.account = *account;
        else
            missing << QStringLiteral("\"%1\" cari kartı (%2)")
                           .arg(m_r.warehouse ? m_targetCode : m_r.targetTitle,
                                books.shownFile(m_target.cari));
        m_target.cards = data::findCards(books, m_target.stok, lines, missing);
    }

    QString write(AttachedBooks& books, const std::vector<Line>& lines, Money total) override {
        const QDateTime at = m_r.clock->now();
        // A transfer's number names it in both companies' books: free in both series.
        const QStringList counters = m_r.warehouse
                                         ? QStringList{QStringLiteral("si"), QStringLiteral("hi")}
                                         : QStringList{QStringLiteral("si")};
        const QString number =
            DrawNumber(books, counters, false, QString::number(at.date().year()));
        m_result.documentNumber = number;
        if (m_r.warehouse) {
            writeAccount(books, m_branchBooks, m_r.sale, total, number, at, QString());
            writeStock(books, m_branchBooks, lines, m_r.sale, number, at,
                       m_branchBooks.account.code, m_r.targetTitle,
                       QStringLiteral("%1").arg(m_r.targetIndex + 1, 2, 10, QLatin1Char('0')));
        }
        const QString code = m_r.warehouse ? m_targetCode : m_target.account.code;
        writeAccount(books, m_target, m_r.sale, total, number, m_r.clock->now(), code);
        writeStock(books, m_target, lines, m_r.sale, number, at, code, m_r.targetTitle,
                   QString(code).remove(QStringLiteral("Şube")));
        return number;
    }

  private:
    const PostingRequest& m_r;
    PostingResult& m_result;
    QString m_targetCode;
    // The branch's own books (warehouse work), and the side the posting is made to: the head
    // office's books against the branch, or the customer in the company's own books.
    Side m_branchBooks{QStringLiteral("sc"), QStringLiteral("ss"), true, {}, {}};
    Side m_target = m_r.warehouse ? Side{QStringLiteral("hc"), QStringLiteral("hs"), false, {}, {}}
                                  : Side{QStringLiteral("sc"), QStringLiteral("ss"), false, {}, {}};
};

}  // namespace

QString headOfficePath(const QString& serverPath) {
    return modes::companyPath(serverPath, QStringLiteral("01"));
}

void journalRoad(DocumentRequest& request, const QString& serverPath, int terminal,
                 const core::Clock& clock, const QString& work, const QString& operation,
                 const QString& target, const QStringList& companies) {
    data::journal::Entry& e = request.entry;
    e.at = clock.now();
    e.terminal = terminal;
    e.work = work;
    e.operation = operation;
    e.target = target;
    e.books = companies.join(u',');
    request.journalFile = data::journal::fileFor(serverPath, modes::dataDirectory(serverPath));
}

PostingResult postWorkingSet(const PostingRequest& r) {
    const QString headOffice = headOfficePath(r.serverPath);
    DocumentRequest request;
    request.workingCopy = r.workingCopy;
    request.files = {{QStringLiteral("sc"), r.serverPath + n::files::Cari},
                     {QStringLiteral("ss"), r.serverPath + n::files::Stok},
                     {QStringLiteral("si"), r.serverPath + n::files::Index}};
    if (r.warehouse) {
        request.files.emplace_back(QStringLiteral("hc"), headOffice + n::files::Cari);
        request.files.emplace_back(QStringLiteral("hs"), headOffice + n::files::Stok);
        request.files.emplace_back(QStringLiteral("hi"), headOffice + n::files::Index);
    }
    request.order = data::LineOrder::ByCode;
    request.nothingWritten = QStringLiteral("Hiçbir şey yazılmadı");
    const QString company = modes::companyOf(r.serverPath);
    journalRoad(
        request, r.serverPath, r.terminal, *r.clock,
        modes::workName(r.warehouse ? modes::WorkKind::Warehouse : modes::WorkKind::Account),
        modes::operationName(r.sale ? modes::Operation::Sale : modes::Operation::Purchase),
        r.targetTitle,
        r.warehouse ? QStringList{company, QStringLiteral("01")} : QStringList{company});
    PostingResult result;
    PostingWriter writer(r, result);
    const DocumentResult written = writeDocument(request, writer);
    result.posted = written.written;
    result.total = written.total;
    result.lines = static_cast<int>(written.lines.size());
    result.earlier = written.earlier;
    if (!result.posted) result.documentNumber.clear();
    return result;
}

}  // namespace posting
