#include <gtest/gtest.h>
#include <QFile>
#include <QSysInfo>
#include <functional>
#include "modes/KeyRoute.h"
#include "modes/RoadState.h"
#include "modes/RoadTransitions.h"
#include "modes/StatusLine.h"

#include <QSqlQuery>
#include "core/LockFiles.h"
#include "core/Waiting.h"
#include "data/CardOrder.h"
#include "data/Criteria.h"
#include "data/Database.h"
#include "data/DatabaseError.h"
#include "data/Names.h"
#include "data/Recordset.h"
#include "modes/Targets.h"
#include "modes/WorkingSet.h"
#include "support/TestSupport.h"

using namespace testing_support;

namespace {

class ModesTest : public ::testing::Test {
  protected:
    TempBooks books{50};
};

}  // namespace

TEST_F(ModesTest, TargetListsInCodeOrderAndBalancesFoundEvenWithApostrophes) {
    data::Recordset cari(data::Database::open(books.file("01", "Cari")), data::sources::CariByCode);
    EXPECT_EQ(modes::targetTitles(cari, modes::WorkKind::Warehouse),
              (QStringList{u"KADIKÖY ŞUBESİ"_s, u"BEŞİKTAŞ ŞUBESİ"_s, u"ÜSKÜDAR ŞUBESİ"_s}));
    const QStringList customers = modes::targetTitles(cari, modes::WorkKind::Account);
    ASSERT_EQ(customers.size(), 12);
    EXPECT_EQ(customers.first(), u"YILMAZ GIDA LTD.ŞTİ."_s);
    EXPECT_TRUE(customers.contains(u"AHMET'İN BAKKALI"_s));
    EXPECT_EQ(modes::balanceText(cari, u"KAYA BAKKALİYESİ"_s), u"1.650,75 Alacaklı"_s);
    EXPECT_EQ(modes::balanceText(cari, u"YILMAZ GIDA LTD.ŞTİ."_s), u"8.500,00 Boçlu"_s);
    EXPECT_EQ(modes::balanceText(cari, u"AHMET'İN BAKKALI"_s), u"560,00 Boçlu"_s);
    EXPECT_EQ(modes::balanceText(cari, u"' OR ''='"_s), std::nullopt);
}

// The name order kept in the terminal's own file gives the same rows, places and finds as the
// whole list read and sorted, in both directions.
TEST_F(ModesTest, TheCardOrderFileListsAndFindsAsTheSortedListDoes) {
    const QString wc = books.dir() + u"/Temp1.Mdb"_s;
    const QString cardsFile = books.file("02", "Stok");
    const QString orderFile = modes::orderFileOf(books.dir(), cardsFile);
    auto basket = modes::openBasket(wc, cardsFile, data::basket::View::Sale);
    // Cards renamed and hidden after the order was made: a name that sorts by the Turkish
    // alphabet (Ç after C) and a hidden card must be in the order made again.
    data::Database::open(cardsFile)->execute(
        u"UPDATE StokKartlar SET StokAdi='ÇAM SAKIZI' WHERE StokKod='ST000009'"_s);
    data::Database::open(cardsFile)->execute(
        u"UPDATE StokKartlar SET StokGizle=1 WHERE StokKod='ST000011'"_s);
    // A basket's own writes wait for no shared file: one that held the cards while it waited for
    // the order another terminal is making would wait for ever on a posting waiting for it.
    {
        auto making = data::Database::openPrivate(orderFile);
        making->query(u"BEGIN IMMEDIATE"_s);
        auto posting = data::Database::openPrivate(cardsFile);
        posting->query(u"BEGIN EXCLUSIVE"_s);
        GiveUpAfter waits(1);
        const core::WaitObserverScope watched(&waits);
        EXPECT_NO_THROW(data::basket::start(*basket, {}));
        EXPECT_EQ(waits.asked, QStringList());
        posting->rollback();
        making->rollback();
    }
    // A making the operator gives up writes nothing that would pass for the new order.
    struct GivingUp final : core::WaitObserver {
        QString told;
        bool keepWaiting(const QString&, std::chrono::milliseconds) override { return true; }
        bool keepWorking(const QString& what, std::chrono::milliseconds) override {
            told = what;
            return false;
        }
    } givingUp;
    {
        const core::WaitObserverScope watched(&givingUp);
        try {
            data::cardorder::prepare(cardsFile, orderFile);
            ADD_FAILURE() << "a making given up went on";
        } catch (const data::BusyError& e) {
            EXPECT_TRUE(e.givenUp());
        }
    }
    EXPECT_TRUE(givingUp.told.startsWith(u"Stok kartları"_s)) << givingUp.told.toStdString();
    auto db = modes::openBasket(wc, cardsFile, data::basket::View::Sale);
    ASSERT_EQ(db->nameOrder(), u"ord"_s);
    using data::Criteria;
    const Criteria finds[] = {Criteria::startsWith(u"StokAdi"_s, u"çam"_s),
                              Criteria::startsWith(u"StokAdi"_s, u"anadolu"_s),
                              Criteria::equals(u"StokKod"_s, u"st000007"_s),
                              Criteria::equals(u"Barkod"_s, u"8690000000067"_s),
                              Criteria::equals(u"StokKod"_s, u"st000011"_s),
                              Criteria::startsWith(u"StokAdi"_s, u"zzz"_s)};
    for (const QString& direction : {u"Asc"_s, u"Desc"_s}) {
        const QString source =
            u"Select * From StokKartlar Where StokGizle=False Order By "
            "StokAdi "_s +
            direction;
        data::Recordset ordered(db, source);
        const QString order = db->nameOrder();
        db->setNameOrder(QString());
        data::Recordset sorted(db, source);
        db->setNameOrder(order);
        ASSERT_EQ(ordered.RecordCount(), sorted.RecordCount());
        for (int i = 0; i < sorted.RecordCount(); ++i)
            ASSERT_EQ(ordered.fieldAt(i, u"StokKod"_s), sorted.fieldAt(i, u"StokKod"_s)) << i;
        for (const Criteria& c : finds) {
            ordered.FindFirst(c);
            sorted.FindFirst(c);
            EXPECT_EQ(ordered.NoMatch(), sorted.NoMatch()) << c.sql().toStdString();
            EXPECT_EQ(ordered.AbsolutePosition(), sorted.AbsolutePosition())
                << c.sql().toStdString() << direction.toStdString();
        }
    }
}

TEST_F(ModesTest, TheBasketHoldsOnlyWhatWasEnteredOverLiveCardsAndSurvivesItsConnection) {
    const QString wc = books.dir() + u"/Temp1.Mdb"_s;
    const QString cardsFile = books.file("02", "Stok");
    const auto value = [](data::Database& db, const QString& sql) {
        QSqlQuery q = db.query(sql);
        return q.next() ? q.value(0) : QVariant();
    };
    {
        auto db = modes::openBasket(wc, cardsFile, data::basket::View::Sale);
        // Nothing entered: the book quantity beside an empty line, at the sale price.
        EXPECT_EQ(value(*db,
                        u"SELECT count(*) FROM StokKartlar WHERE KalanB<>0 OR GirenTutar<>0 "
                        "OR Kar<>0 OR Fiyat2<>Fiyat"_s),
                  0);
        data::Database::open(cardsFile)->execute(
            u"UPDATE StokKartlar SET KalanB=41 WHERE StokKod='ST000002'"_s);
        EXPECT_EQ(value(*db, u"SELECT KalanA FROM StokKartlar WHERE StokKod='ST000002'"_s), 41.0);
        db->execute(
            u"UPDATE StokKartlar SET KalanB=2, GirenTutar=2*Fiyat2 WHERE StokKod "
            "IN ('ST000001', 'ST000003')"_s);
        db->execute(u"UPDATE StokKartlar SET KalanB=KalanB+1 WHERE StokKod='ST000001'"_s);
        EXPECT_EQ(value(*db, u"SELECT count(*) FROM main.Basket"_s), 2);
        EXPECT_EQ(value(*db, u"SELECT KalanB FROM StokKartlar WHERE StokKod='ST000001'"_s), 3.0);
        // The company's cards are only read.
        EXPECT_THROW(db->execute(u"UPDATE cards.StokKartlar SET KalanB=0"_s), data::DatabaseError);
        data::basket::start(*db, {0, 0, 0, u"KADIKÖY ŞUBESİ"_s, books.dir() + u"/02"_s});
        db->execute(u"UPDATE StokKartlar SET KalanB=5 WHERE StokKod='ST000004'"_s);
    }
    // A new connection (a restart) finds the road and the line; a purchase shows purchase prices.
    auto db = data::basket::open(wc, cardsFile, data::basket::View::Purchase);
    ASSERT_TRUE(data::basket::savedRoad(*db));
    EXPECT_EQ(data::basket::savedRoad(*db)->target, u"KADIKÖY ŞUBESİ"_s);
    EXPECT_EQ(data::basket::summary(*db).lines, 1);
    EXPECT_EQ(value(*db, u"SELECT count(*) FROM StokKartlar WHERE KalanB=0 AND Fiyat2<>gFiyat"_s),
              0);
    // A count: what was counted is taken off the book quantity; a card counted in full leaves.
    db = data::basket::open(wc, cardsFile, data::basket::View::Count);
    const QVariant shelf = value(*db, u"SELECT KalanB FROM StokKartlar WHERE StokKod='ST000006'"_s);
    db->execute(u"UPDATE StokKartlar SET KalanB=KalanB-1 WHERE StokKod='ST000006'"_s);
    EXPECT_EQ(value(*db, u"SELECT KalanB FROM StokKartlar WHERE StokKod='ST000006'"_s),
              shelf.toDouble() - 1);
    db->execute(u"DELETE FROM StokKartlar WHERE StokKod='ST000006'"_s);
    EXPECT_EQ(value(*db, u"SELECT count(*) FROM StokKartlar WHERE StokKod='ST000006'"_s), 0);
    data::basket::clear(wc);
    EXPECT_EQ(value(*db, u"SELECT count(*) FROM main.Basket"_s), 0);

    // Held only by a live process (1 always is): not by our own lock, a dead one, the old engine's.
    EXPECT_EQ(modes::lockFileOf(wc), books.dir() + u"/Temp1.ldb"_s);
    EXPECT_FALSE(modes::workingCopyHeld(wc));
    ASSERT_TRUE(core::writeLockFile(modes::lockFileOf(wc)));
    EXPECT_FALSE(modes::workingCopyHeld(wc));
    const QByteArray host = ' ' + QSysInfo::machineHostName().toUtf8();
    for (const auto& [lock, held] : {std::pair{"1" + host, true},
                                     {"2147483600" + host, false},
                                     {QByteArray(64, '\x07'), false}}) {
        writeFile(modes::lockFileOf(wc), lock);
        EXPECT_EQ(modes::workingCopyHeld(wc), held) << lock.toStdString();
    }
}

// What the road offers for each state, as a set of flags so a failing case shows all of them.
TEST(RoadState, ControlsAndWritesFollowTheStateAlone) {
    using modes::Operation;
    using modes::WorkKind;
    const auto shown = [](const modes::RoadState& s) {
        const modes::RoadControls r = modes::roadControls(s);
        QStringList on;
        const std::pair<bool, const char*> flags[] = {
            {r.documentVisible, "document"},   {modes::invoiceAllowed(s), "invoice"},
            {modes::labelAllowed(s), "label"}, {r.updateVisible, "update"},
            {r.bookingEnabled, "booking"},     {r.modePanelShown, "panel"}};
        for (const auto& [set, name] : flags)
            if (set) on << QString::fromLatin1(name);
        return r.documentCaption + u": "_s + on.join(u' ');
    };
    const struct Case {
        WorkKind kind;
        Operation op;
        bool usable;
        const char* shown;
    } cases[] = {
        {WorkKind::Account, Operation::None, true, "Fatura: document invoice booking panel"},
        {WorkKind::Account, Operation::Sale, true, "Fatura: invoice update booking"},
        // A sales invoice is a sale: none from lines booked at purchase prices.
        {WorkKind::Account, Operation::Purchase, true, "Fatura: update booking"},
        // A count never invoices, whatever a button showed before.
        {WorkKind::Warehouse, Operation::Count, true, "Fatura: booking"},
        {WorkKind::Warehouse, Operation::Sale, true, "Barkod: document label update booking"},
        {WorkKind::Warehouse, Operation::None, true, "Fatura: panel"},
        // A failed preparation closes the road.
        {WorkKind::Account, Operation::None, false, "Fatura: panel"},
        {WorkKind::Warehouse, Operation::Sale, false, "Barkod: "},
    };
    for (const Case& c : cases) {
        modes::RoadState s;
        s.kind = c.kind;
        s.operation = c.op;
        s.usable = c.usable;
        EXPECT_EQ(shown(s), QString::fromLatin1(c.shown))
            << int(c.kind) << '/' << int(c.op) << '/' << c.usable;
    }
}

// Keys follow the open panel: a scan never confirms the totals; the search books behind balance.
TEST(KeyRoute, KeysFollowTheOpenPanel) {
    using modes::KeyAction;
    using modes::RoadKey;
    using Panel = modes::RoadState::Panel;
    using enum Panel;
    constexpr auto Box = modes::KeyTarget::SearchBox, Over = modes::KeyTarget::Panel;
    struct Case {
        Panel panel;
        modes::KeyTarget target;
        RoadKey key;
        bool typed, searchEmpty;
        KeyAction action;
    };
    const Case cases[] = {
        {Entry, Box, RoadKey::Enter, false, false, KeyAction::Search},
        {Entry, Box, RoadKey::Enter, false, true, KeyAction::None},
        {Entry, Box, RoadKey::Escape, false, false, KeyAction::ClearSearch},
        {Entry, Box, RoadKey::PageDown, false, false, KeyAction::PageDown},
        {Totals, Box, RoadKey::Printable, false, false, KeyAction::Swallow},
        {Totals, Box, RoadKey::Enter, true, false, KeyAction::RefuseScan},
        {InvoiceTotals, Over, RoadKey::Enter, false, true, KeyAction::ConfirmTotals},
        {Totals, Over, RoadKey::Escape, false, true, KeyAction::CancelTotals},
        {Balance, Box, RoadKey::Enter, false, false, KeyAction::Search},
        {Balance, Box, RoadKey::Escape, false, false, KeyAction::CloseBalance},
        {Balance, Over, RoadKey::Enter, false, true, KeyAction::CloseBalance},
        {Label, Box, RoadKey::Escape, false, false, KeyAction::CloseLabel},
        {Label, Over, RoadKey::Enter, false, true, KeyAction::Ignore},
    };
    for (const Case& c : cases) {
        modes::RoadState road;
        road.panel = c.panel;
        EXPECT_EQ(modes::routeKey(road, c.target, c.key, c.typed, c.searchEmpty), c.action)
            << int(c.panel) << '/' << int(c.target) << '/' << int(c.key) << '/' << c.typed;
    }

    // A function key presses its button only where the state offers it, whatever a widget says.
    using B = modes::RoadButton;
    const auto sale = [](modes::RoadState r) {
        return modes::workingSetReady(modes::tickOperation(r, modes::Operation::Sale, true),
                                      u"KADIKÖY ŞUBESİ"_s, 0);
    };
    const struct Press {
        std::function<modes::RoadState(modes::RoadState)> state;
        B button;
        bool pressed;
    } presses[] = {
        {std::identity{}, B::Sale, true},
        {std::identity{}, B::Exit, true},
        {std::identity{}, B::Ok, false},
        {std::identity{}, B::Document, false},
        {std::identity{}, B::Confirm, false},
        {[](auto r) { return modes::numberTyped(r, true); }, B::Ok, true},
        {[](auto r) { return modes::stockless(r, true); }, B::Sale, false},
        {[](auto r) { return modes::stockless(r, true); }, B::Count, true},
        {sale, B::Sale, false},  // the mode panel made way
        {sale, B::Exit, false},
        {sale, B::Document, true},
        {sale, B::Price, true},
        {sale, B::Update, false},  // not before the first activation
        {[&](auto r) { return modes::activate(sale(r)); }, B::Update, true},
        {[&](auto r) { return modes::writing(modes::activate(sale(r)), true); }, B::Update, false},
        {[&](auto r) { return modes::showTotals(sale(r), false, {}); }, B::Confirm, true},
        {[&](auto r) { return modes::writing(modes::showTotals(sale(r), false, {}), true); },
         B::Confirm, false},
        {[&](auto r) { return modes::showBalance(sale(r), u"1,00"_s); }, B::Delete, false},
        {[&](auto r) { return modes::showBalance(sale(r), u"1,00"_s); }, B::Back, false},
        {[&](auto r) { return modes::showLabel(sale(r), u"ELMA"_s, u"1,00 TL."_s); }, B::Print,
         true},
        {sale, B::Print, false},
    };
    for (const Press& p : presses)
        EXPECT_EQ(modes::pressable(p.state(modes::RoadState{}), p.button), p.pressed)
            << int(p.button) << " in case " << &p - presses;
}

// The road's moves as one walk: after each, what the state holds.
TEST(RoadTransitions, ASaleToACustomerFromKindToWrittenDocument) {
    using enum modes::Operation;
    using Panel = modes::RoadState::Panel;
    using enum Panel;
    using Move = std::function<modes::RoadState(modes::RoadState)>;
    struct Step {
        const char* name;
        Move move;
        modes::Operation operation;
        bool modePanel, usable;
        Panel panel;
        const char* target;          // what "Tamam" writes to
        const char* also = nullptr;  // what else the state holds, where a step says
    };
    const auto also = [](const modes::RoadState& r) {
        QStringList on;
        if (r.priceEntry) on << u"price"_s;
        if (r.answerLost) on << u"lost"_s;
        if (r.typedOnPanel) on << u"typed"_s;
        if (!r.total.isZero()) on << u"total "_s + r.total.toString(QLocale::c());
        if (!r.balance.isEmpty()) on << u"balance "_s + r.balance;
        if (!r.label.name.isEmpty()) on << u"label "_s + r.label.name + u'/' + r.label.barcode;
        return on.join(u' ');
    };
    const auto ticked = [](modes::Operation o, bool on) {
        return [o, on](modes::RoadState r) { return modes::tickOperation(r, o, on); };
    };
    const auto opened = [](Panel p) {
        return [p](modes::RoadState r) { return modes::openPanel(r, p); };
    };
    const auto found = [](modes::RoadState r) {
        return modes::accountFound(r, u"ÇELİK KARDEŞLER"_s);
    };
    const char *market = "ÖZTÜRK MARKET", *celik = "ÇELİK KARDEŞLER";
    const Step steps[] = {
        {"kind", [](auto r) { return modes::chooseKind(r, modes::WorkKind::Account); }, None, true,
         false, Entry, ""},
        {"sale", ticked(Sale, true), Sale, false, false, Entry, ""},
        {"found early", found, Sale, false, false, Entry, ""},  // nothing ready
        {"ready", [](auto r) { return modes::workingSetReady(r, u"ÖZTÜRK MARKET"_s, 1); }, Sale,
         false, true, Entry, market},
        // A write whose answer was lost holds the lines until the server says what became of it.
        {"lost", modes::answerLost, Sale, false, true, Entry, market, "lost"},
        {"unanswered", [](auto r) { return modes::answerSettled(r, false); }, Sale, false, true,
         Entry, market, "lost"},
        {"settled", [](auto r) { return modes::answerSettled(r, true); }, Sale, false, true, Entry,
         market, ""},
        {"balance", opened(Balance), Sale, false, true, Balance, market},
        {"balance said", [](auto r) { return modes::showBalance(r, u"8.500,00 Boçlu"_s); }, Sale,
         false, true, Balance, market, "balance 8.500,00 Boçlu"},
        // Closing the balance goes on with the entry, not back to the modes.
        {"kapat", modes::closePanel, Sale, false, true, Entry, market},
        // An account a search finds is the one the totals name and "Tamam" writes to.
        {"found", found, Sale, false, true, Entry, celik},
        {"totals", opened(Totals), Sale, false, true, Totals, celik},
        // A stray scan on the totals is remembered; the totals opened anew start without it.
        {"stray scan", [](auto r) { return modes::typedOnPanel(r, true); }, Sale, false, true,
         Totals, celik, "typed balance 8.500,00 Boçlu"},
        {"totals anew",
         [](auto r) { return modes::showTotals(r, false, core::Money::fromUnits(125000)); }, Sale,
         false, true, Totals, celik, "total 12.5 balance 8.500,00 Boçlu"},
        {"written", modes::documentWritten, None, false, true, Totals, celik},
        // Closing the totals opens the modes for the next operation.
        {"closed", modes::closePanel, None, true, true, Entry, celik},
        {"price", [](auto r) { return modes::askPrice(r, true); }, None, true, true, Entry, celik,
         "price total 12.5 balance 8.500,00 Boçlu"},
        // Another operation takes a quantity again.
        {"again", ticked(Purchase, true), Purchase, false, true, Entry, celik,
         "total 12.5 balance 8.500,00 Boçlu"},
        {"cleared", ticked(Purchase, false), None, true, true, Entry, celik},
        // The label preview prints what it was opened with and the barcode typed under it.
        {"label", [](auto r) { return modes::showLabel(r, u"ELMA"_s, u"12,50 TL."_s); }, None, true,
         true, Label, celik, "total 12.5 balance 8.500,00 Boçlu label ELMA/"},
        {"barcode", [](auto r) { return modes::labelBarcode(r, u"8690000000012"_s); }, None, true,
         true, Label, celik, "total 12.5 balance 8.500,00 Boçlu label ELMA/8690000000012"},
        {"label closed", modes::closePanel, None, true, true, Entry, celik},
        {"release", modes::releaseWorkingSet, None, true, false, Entry, celik},
        // A preparation that fails leaves no target to write to.
        {"failed", modes::targetFailed, None, true, false, Entry, ""},
    };
    modes::RoadState road;
    road.modePanel = false;
    for (const Step& s : steps) {
        road = s.move(road);
        SCOPED_TRACE(s.name);
        EXPECT_EQ(road.operation, s.operation);
        EXPECT_EQ(road.modePanel, s.modePanel);
        EXPECT_EQ(road.usable, s.usable);
        EXPECT_EQ(road.panel, s.panel);
        EXPECT_EQ(road.target, QString::fromUtf8(s.target));
        if (s.also) {
            EXPECT_EQ(also(road), QString::fromUtf8(s.also));
        }
        // "Tamam" starts a document from the totals only, and never a second while one runs.
        EXPECT_EQ(modes::confirmable(road),
                  road.panel == Panel::Totals ? modes::Confirm::Posting : modes::Confirm::Nothing);
        EXPECT_EQ(modes::confirmable(modes::writing(road, true)), modes::Confirm::Nothing);
        // The strip names whose books are written only while there is a target.
        EXPECT_EQ(modes::roadStatus(road, u"01"_s, u"Merkez"_s).endsWith(u"Hedef yok"_s),
                  road.target.isEmpty() || !road.usable);
    }
    // In warehouse work the branch stays the target whatever account a search finds.
    road = modes::workingSetReady(modes::chooseKind(road, modes::WorkKind::Warehouse),
                                  u"KADIKÖY ŞUBESİ"_s, 0);
    EXPECT_EQ(found(road).target, u"KADIKÖY ŞUBESİ"_s);
}
