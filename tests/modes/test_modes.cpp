#include <gtest/gtest.h>
#include <QFile>
#include <QSysInfo>
#include <functional>
#include "modes/KeyRoute.h"
#include "modes/RoadState.h"
#include "modes/RoadTransitions.h"
#include "modes/StatusLine.h"

#include "core/LockFiles.h"
#include "data/Database.h"
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
    QString copy() {
        const QString path = books.dir() + u"/Temp1.Mdb"_s;
        QFile::remove(path);
        QFile::copy(books.file("02", "Stok"), path);
        return path;
    }
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

TEST_F(ModesTest, TheWorkingCopyIsResetEmptiedOfEnteredCardsAndHeldOnlyByALiveProcess) {
    const QString wc = copy();
    data::Database::open(wc)->execute(
        u"UPDATE StokKartlar SET GirenTutar=7, Kar=1.26 WHERE StokKod='ST000001'"_s);
    const double bookQty = number(wc, u"SELECT KalanB FROM StokKartlar WHERE StokKod='ST000002'"_s);
    modes::resetWorkingCopy(wc, false);
    EXPECT_EQ(number(wc, u"SELECT KalanA FROM StokKartlar WHERE StokKod='ST000002'"_s), bookQty);
    EXPECT_EQ(
        count(wc, u"SELECT count(*) FROM StokKartlar WHERE KalanB<>0 OR GirenTutar<>0 OR Kar<>0"_s),
        0);
    EXPECT_EQ(count(wc, u"SELECT count(*) FROM StokKartlar WHERE Fiyat2<>Fiyat"_s), 0);
    modes::resetWorkingCopy(wc, true);
    EXPECT_EQ(count(wc, u"SELECT count(*) FROM StokKartlar WHERE Fiyat2<>gFiyat"_s), 0);
    // The book quantity has moved on: a second reset copies the (now 0) KalanB.
    EXPECT_EQ(count(wc, u"SELECT count(*) FROM StokKartlar WHERE KalanA<>0"_s), 0);
    EXPECT_EQ(count(wc, u"SELECT count(*) FROM StokHareket"_s), 0);

    data::Database::open(wc)->execute(
        u"UPDATE StokKartlar SET KalanB=1 WHERE StokKod<'ST000010'"_s);
    const int withQty = count(wc, u"SELECT count(*) FROM StokKartlar WHERE KalanB<>0"_s);
    const int all = count(wc, u"SELECT count(*) FROM StokKartlar"_s);
    modes::dropEnteredCards(wc);
    EXPECT_EQ(count(wc, u"SELECT count(*) FROM StokKartlar"_s), all - withQty);

    // The copy is held only by a live process: not by our own lock left from an earlier binding,
    // a process that is gone, or the old engine's lock file; process 1 is always running.
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

// Which key does what depends on the open panel alone: a scan never confirms the totals, and the
// search box books behind the balance panel but not behind the totals.
TEST(KeyRoute, KeysFollowTheOpenPanel) {
    using modes::KeyAction;
    using modes::KeyTarget;
    using modes::RoadKey;
    using Panel = modes::RoadState::Panel;
    struct Case {
        Panel panel;
        KeyTarget target;
        RoadKey key;
        bool typed, searchEmpty;
        KeyAction action;
    };
    const Case cases[] = {
        {Panel::Entry, KeyTarget::SearchBox, RoadKey::Enter, false, false, KeyAction::Search},
        {Panel::Entry, KeyTarget::SearchBox, RoadKey::Enter, false, true, KeyAction::None},
        {Panel::Entry, KeyTarget::SearchBox, RoadKey::Escape, false, false, KeyAction::ClearSearch},
        {Panel::Entry, KeyTarget::SearchBox, RoadKey::PageDown, false, false, KeyAction::PageDown},
        {Panel::Totals, KeyTarget::SearchBox, RoadKey::Printable, false, false, KeyAction::Swallow},
        {Panel::Totals, KeyTarget::SearchBox, RoadKey::Enter, true, false, KeyAction::RefuseScan},
        {Panel::InvoiceTotals, KeyTarget::Panel, RoadKey::Enter, false, true,
         KeyAction::ConfirmTotals},
        {Panel::Totals, KeyTarget::Panel, RoadKey::Escape, false, true, KeyAction::CancelTotals},
        {Panel::Balance, KeyTarget::SearchBox, RoadKey::Enter, false, false, KeyAction::Search},
        {Panel::Balance, KeyTarget::SearchBox, RoadKey::Escape, false, false,
         KeyAction::CloseBalance},
        {Panel::Balance, KeyTarget::Panel, RoadKey::Enter, false, true, KeyAction::CloseBalance},
        {Panel::Label, KeyTarget::SearchBox, RoadKey::Escape, false, false, KeyAction::CloseLabel},
        {Panel::Label, KeyTarget::Panel, RoadKey::Enter, false, true, KeyAction::Ignore},
    };
    for (const Case& c : cases) {
        modes::RoadState road;
        road.panel = c.panel;
        EXPECT_EQ(modes::routeKey(road, c.target, c.key, c.typed, c.searchEmpty), c.action)
            << int(c.panel) << '/' << int(c.target) << '/' << int(c.key) << '/' << c.typed;
    }
}

// The road's moves as one walk: after each, what the state holds.
TEST(RoadTransitions, ASaleToACustomerFromKindToWrittenDocument) {
    using modes::Operation;
    using Panel = modes::RoadState::Panel;
    using Move = std::function<modes::RoadState(modes::RoadState)>;
    struct Step {
        const char* name;
        Move move;
        Operation operation;
        bool modePanel, usable;
        Panel panel;
        const char* target;  // what "Tamam" writes to
    };
    const auto ticked = [](Operation o, bool on) {
        return [o, on](modes::RoadState r) { return modes::tickOperation(r, o, on); };
    };
    const auto found = [](modes::RoadState r) {
        return modes::accountFound(r, u"ÇELİK KARDEŞLER"_s);
    };
    const Step steps[] = {
        {"kind", [](auto r) { return modes::chooseKind(r, modes::WorkKind::Account); },
         Operation::None, true, false, Panel::Entry, ""},
        {"sale", ticked(Operation::Sale, true), Operation::Sale, false, false, Panel::Entry, ""},
        {"found early", found, Operation::Sale, false, false, Panel::Entry, ""},  // nothing ready
        {"ready", [](auto r) { return modes::workingSetReady(r, u"ÖZTÜRK MARKET"_s, 1); },
         Operation::Sale, false, true, Panel::Entry, "ÖZTÜRK MARKET"},
        {"balance", [](auto r) { return modes::openPanel(r, Panel::Balance); }, Operation::Sale,
         false, true, Panel::Balance, "ÖZTÜRK MARKET"},
        // Closing the balance goes on with the entry, not back to the modes.
        {"kapat", modes::closePanel, Operation::Sale, false, true, Panel::Entry, "ÖZTÜRK MARKET"},
        // An account a search finds is the one the totals name and "Tamam" writes to.
        {"found", found, Operation::Sale, false, true, Panel::Entry, "ÇELİK KARDEŞLER"},
        {"totals", [](auto r) { return modes::openPanel(r, Panel::Totals); }, Operation::Sale,
         false, true, Panel::Totals, "ÇELİK KARDEŞLER"},
        {"written", modes::documentWritten, Operation::None, false, true, Panel::Totals,
         "ÇELİK KARDEŞLER"},
        // Closing the totals opens the modes for the next operation.
        {"closed", modes::closePanel, Operation::None, true, true, Panel::Entry, "ÇELİK KARDEŞLER"},
        {"again", ticked(Operation::Purchase, true), Operation::Purchase, false, true, Panel::Entry,
         "ÇELİK KARDEŞLER"},
        {"cleared", ticked(Operation::Purchase, false), Operation::None, true, true, Panel::Entry,
         "ÇELİK KARDEŞLER"},
        {"release", modes::releaseWorkingSet, Operation::None, true, false, Panel::Entry,
         "ÇELİK KARDEŞLER"},
        // A preparation that fails leaves no target to write to.
        {"failed", modes::targetFailed, Operation::None, true, false, Panel::Entry, ""},
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
        // "Tamam" starts a document from the totals only, and never a second while one runs.
        EXPECT_EQ(modes::confirmable(road),
                  road.panel == Panel::Totals ? modes::Confirm::Posting : modes::Confirm::Nothing);
        EXPECT_EQ(modes::confirmable(modes::writing(road, true)), modes::Confirm::Nothing);
        // The strip names whose books are written only while there is a target.
        EXPECT_EQ(modes::roadStatus(road, u"01"_s, u"Merkez"_s).endsWith(u"Hedef yok"_s),
                  road.target.isEmpty() || !road.usable);
    }
    EXPECT_TRUE(modes::writing(road, true).busy);
    // In warehouse work the branch stays the target whatever account a search finds.
    road = modes::workingSetReady(modes::chooseKind(road, modes::WorkKind::Warehouse),
                                  u"KADIKÖY ŞUBESİ"_s, 0);
    EXPECT_EQ(found(road).target, u"KADIKÖY ŞUBESİ"_s);
}
