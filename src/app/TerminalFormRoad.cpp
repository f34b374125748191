// The operator's road on the main window: work kind, operation, target, lookup, booking, totals.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QShortcut>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QTableView>
#include <utility>

#include "app/CountReport.h"
#include "app/FailureText.h"
#include "app/Settings.h"
#include "app/TerminalForm.h"
#include "app/WaitPanel.h"
#include "core/Clock.h"
#include "core/LockFiles.h"
#include "core/Messages.h"
#include "data/Basket.h"
#include "data/Books.h"
#include "data/CardOrder.h"
#include "data/Criteria.h"
#include "data/DataControl.h"
#include "data/Database.h"
#include "data/DatabaseError.h"
#include "data/Dialect.h"
#include "data/FilePaths.h"
#include "data/Names.h"
#include "data/Pending.h"
#include "data/ServerBooks.h"
#include "data/Transaction.h"
#include "data/WorkingFile.h"
#include "entry/Booking.h"
#include "entry/Lookup.h"
#include "entry/NumberBox.h"
#include "invoicing/InvoiceNumber.h"
#include "invoicing/Totals.h"
#include "invoicing/WriteInvoice.h"
#include "keyboard/KeyboardForm.h"
#include "labels/LabelPrinter.h"
#include "labels/LabelView.h"
#include "modes/KeyRoute.h"
#include "modes/RoadTransitions.h"
#include "modes/StatusLine.h"
#include "modes/Targets.h"
#include "modes/WorkingSet.h"
#include "posting/Posting.h"

namespace app {

namespace n = data::names;

namespace {

const QString BarkodCaption = QStringLiteral("Barkod");
const QString FaturaCaption = QStringLiteral("Fatura");
// Refusals are said in the strip: short enough for its two lines.
const QString NotPrepared =
    QStringLiteral("Hedef hazırlanamadı: işlenmedi. Listeden bir hedef seçiniz.");
// OK books the row the search box names; when they part, the operator is told instead of
// nothing happening.
const QString NotTheRow =
    QStringLiteral("Arama kutusundaki ad seçili satır değil: işlenmedi. Ürünü okutunuz.");

}  // namespace

void TerminalForm::wireRoad() {
    for (int i = 0; i < 2; ++i) {
        connect(SbCr[i], &QAction::triggered, this,
                [this, i] { guarded([this, i] { SbCr_Click(i); }); });
        connect(Command1[i], &QPushButton::clicked, this,
                [this, i] { guarded([this, i] { Command1_Click(i); }); });
        connect(Command8[i], &QPushButton::clicked, this,
                [this, i] { guarded([this, i] { Command8_Click(i); }); });
    }
    for (int i = 0; i < 3; ++i) {
        connect(Check1[i], &QCheckBox::toggled, this,
                [this, i] { guarded([this, i] { Check1_Click(i); }); });
    }
    connect(Combo1, qOverload<int>(&QComboBox::activated), this,
            [this] { guarded([this] { Combo1_Click(); }); });
    connect(Command2, &QPushButton::clicked, this,
            [this] { guarded([this] { Command2_Click(); }); });
    connect(Text2, &entry::NumberBox::enterPressed, this,
            [this] { guarded([this] { Command2_Click(); }); });
    connect(Text2, &entry::NumberBox::valueChanged, this, [this](bool isZero) {
        m_road = modes::numberTyped(m_road, !isZero);
        render();
    });
    // A refused key is said, never only beeped: the operator must know the box is not what was
    // typed.
    connect(Text2, &entry::NumberBox::refused, this, [this](const QString& why) { say(why); });
    // What the quantity box held was not what was typed (a barcode read into it): the next scan
    // goes to the search box.
    connect(Text2, &entry::NumberBox::enterRefused, this, [this] {
        Text2->setText(QStringLiteral("0"));
        Text1->setFocus(Qt::OtherFocusReason);
        Text1->selectAll();
    });
    connect(Command3, &QPushButton::clicked, this,
            [this] { guarded([this] { Command3_Click(); }); });
    connect(Command4, &QPushButton::clicked, this,
            [this] { guarded([this] { Command4_Click(); }); });
    connect(FatCmd, &QPushButton::clicked, this, [this] { guarded([this] { FatCmd_Click(); }); });
    connect(PriceCmd, &QPushButton::clicked, this,
            [this] { guarded([this] { PriceCmd_Click(); }); });
    connect(Command6, &QPushButton::clicked, this,
            [this] { guarded([this] { Command6_Click(); }); });
    connect(Command7, &QPushButton::clicked, this,
            [this] { guarded([this] { Command7_Click(); }); });
    for (int i = 0; i < 2; ++i)
        connect(Command5[i], &QPushButton::clicked, this,
                [this, i] { guarded([this, i] { Command5_Click(i); }); });
    connect(Text3, &QLineEdit::textChanged, this,
            [this](const QString& text) { guarded([this, text] { labelBarcodeChanged(text); }); });
    wireFocus();
    wireKeys();
}

void TerminalForm::wireFocus() {
    // The target box shows any account's title a search finds, but only its list can be picked.
    Combo1->setEditable(true);
    // The styled delegate gives the list's rows the touch-sized height of the style sheet.
    Combo1->setItemDelegate(new QStyledItemDelegate(Combo1));
    // Only the search and number boxes take the keyboard, so a scan lands where it should.
    Combo1->setFocusPolicy(Qt::NoFocus);
    TextSet->setFocusPolicy(Qt::NoFocus);
    cmbMouseWheel->setFocusPolicy(Qt::NoFocus);
    Combo1->lineEdit()->setReadOnly(true);
    Combo1->lineEdit()->setFont(Combo1->font());
    Combo1->lineEdit()->installEventFilter(this);
    Text1->installEventFilter(this);
    Label5->installEventFilter(this);
    Frame2->installEventFilter(this);
    Frame3->installEventFilter(this);
    Frame4->installEventFilter(this);
    Frame3->setFocusPolicy(Qt::StrongFocus);
    DBGrid1->viewport()->installEventFilter(this);
    DBGrid2->viewport()->installEventFilter(this);
    // The grids never take the keyboard: a scan must always land in the search box.
    DBGrid1->setFocusPolicy(Qt::NoFocus);
    DBGrid2->setFocusPolicy(Qt::NoFocus);
    connect(DBGrid1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { gridRowChanged(current.row()); });
    setTabOrder(Text1, Text2);
    for (QTableView* grid : {DBGrid1, DBGrid2}) {
        grid->horizontalHeader()->setSectionsClickable(true);
        connect(grid->horizontalHeader(), &QHeaderView::sectionClicked, this,
                [this, grid](int c) { guarded([this, grid, c] { headerClicked(grid, c); }); });
        connect(grid->horizontalHeader(), &QHeaderView::sectionResized, this,
                [this, grid](int c, int, int newSize) { columnResized(grid, c, newSize); });
        grid->horizontalHeader()->viewport()->installEventFilter(this);
    }
}

void TerminalForm::wireKeys() {
    // Keys for a checkout without a mouse; the captions stay as they are.
    using B = modes::RoadButton;
    addShortcut(Qt::Key_F2, Check1[0], QStringLiteral("SATIŞ"), B::Sale);
    addShortcut(Qt::Key_F3, Check1[1], QStringLiteral("SAYIM"), B::Count);
    addShortcut(Qt::Key_F4, Check1[2], QStringLiteral("ALIŞ"), B::Purchase);
    addShortcut(Qt::Key_F5, Command2, QStringLiteral("OK"), B::Ok);
    addShortcut(Qt::Key_F6, Command3, QStringLiteral("SİL"), B::Delete);
    addShortcut(Qt::Key_F7, Command4, QStringLiteral("Güncelle"), B::Update);
    addShortcut(Qt::Key_F8, FatCmd, QStringLiteral("Fatura / Barkod"), B::Document);
    addShortcut(Qt::Key_F9, Command1[0], QStringLiteral("Geri"), B::Back);
    addShortcut(Qt::Key_F10, Command8[1], QStringLiteral("Tamam"), B::Confirm);
    addShortcut(Qt::Key_F11, Command6, QStringLiteral("Klavye"), B::Keyboard);
    addShortcut(Qt::Key_F12, Command5[1], QStringLiteral("Yaz"), B::Print);
    addShortcut(QKeySequence(Qt::CTRL | Qt::Key_F), PriceCmd, QStringLiteral("Fiyat"), B::Price);
    addShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), Command1[1], QStringLiteral("Çıkış"), B::Exit);
    Command8[0]->setToolTip(QStringLiteral("Vazgeç (Esc)"));
    Command7->setToolTip(QStringLiteral("Kapat (Esc veya Enter)"));
    Command5[0]->setToolTip(QStringLiteral("Kapat (Esc)"));
    auto* targets = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(targets, &QShortcut::activated, this, [this] { Combo1->showPopup(); });
    Combo1->setToolTip(QStringLiteral("Hedef listesi (F1)"));
    for (int i = 0; i < 2; ++i) {
        auto* kind = new QShortcut(QKeySequence(Qt::CTRL | (i == 0 ? Qt::Key_1 : Qt::Key_2)), this);
        connect(kind, &QShortcut::activated, this,
                [this, i] { guarded([this, i] { SbCr_Click(i); }); });
    }
    Label5->setToolTip(QStringLiteral("Dokunun veya sağ tıklayın: Depo (Ctrl+1) / Cari (Ctrl+2)"));
    Text1->setToolTip(
        QStringLiteral("Barkod okutun veya stok adı yazıp Enter'a basın; "
                       "↑/↓ satır seçer, Tab miktar kutusuna geçer"));
    Text2->setToolTip(QStringLiteral("Miktar; Enter veya F5 işler"));
}

void TerminalForm::addShortcut(const QKeySequence& key, QAbstractButton* button,
                               const QString& name, modes::RoadButton which) {
    auto* shortcut = new QShortcut(key, this);
    // The state says whether the button is there to be pressed, not the widget.
    connect(shortcut, &QShortcut::activated, button, [this, button, which] {
        if (modes::pressable(m_road, which)) button->click();
    });
    button->setToolTip(QStringLiteral("%1 (%2)").arg(name, key.toString(QKeySequence::NativeText)));
}

bool TerminalForm::operationTicked() const {
    return m_road.operation != modes::Operation::None;
}

// --- work kind and operation -------------------------------------------------------------

void TerminalForm::SbCr_Click(int index) {
    // Another work kind drops the entered lines: not while a lost posting may still hold them.
    if (!settlePendingDocument()) return;
    const QStringList titles = fillTargets(index);
    // The first target's preparation starts an empty basket anyway.
    if (titles.isEmpty() && m_basket) {
        const auto road = data::basket::savedRoad(*m_basket);
        data::journal::Entry givenUp = journalEntry(road.value_or(data::basket::Road{}));
        givenUp.reason = QStringLiteral("Çalışma türü değişti");
        data::basket::clear(workingCopyPath(), &givenUp);
    } else if (titles.isEmpty()) {
        data::basket::clear(workingCopyPath());
    }
    if (!titles.isEmpty()) Combo1_Click();
    if (!m_context.settings->SaveSetting(SettingsSection, KeyWorkKind, QString::number(index)))
        m_context.messages->inform(QStringLiteral("Çalışma türü kaydedilemedi."));
}

QStringList TerminalForm::fillTargets(int index) {
    m_road = modes::chooseKind(m_road,
                               index == 0 ? modes::WorkKind::Warehouse : modes::WorkKind::Account);
    render();
    const QSignalBlocker block(Combo1);
    Combo1->clear();
    data::RefreshData(*DataCari);
    const QStringList titles = modes::targetTitles(
        DataCari->recordset(), index == 1 ? modes::WorkKind::Account : modes::WorkKind::Warehouse);
    if (index == 0) m_branchTitles = titles;
    if (!titles.isEmpty()) {
        Combo1->addItems(titles);
        Combo1->setCurrentIndex(0);
    }
    return titles;
}

void TerminalForm::showOperationColumns(int index) {
    DBGrid1->model()->setHeaderData(3, Qt::Horizontal,
                                    index == 1 ? QStringLiteral("Fazla") : QStringLiteral("Stok"));
    DBGrid1->setColumnHidden(4, index != 1);
    refitNameColumn(DBGrid1);
}

void TerminalForm::Check1_Click(int index) {
    // The box the operator ticked or cleared is the event's input.
    const bool ticked = Check1[index]->isChecked();
    m_road = modes::tickOperation(m_road, static_cast<modes::Operation>(index), ticked);
    render();
    if (ticked) Combo1_Click();
}

void TerminalForm::render() {
    using Panel = modes::RoadState::Panel;
    renderStatus();
    const std::optional<modes::RoadState> before = std::exchange(m_rendered, m_road);
    const modes::RoadControls c = modes::roadControls(m_road);
    // Every scan sets the number box twice: that alone must not lay out the whole window again.
    if (before) {
        modes::RoadState quantityAside = m_road;
        quantityAside.quantityTyped = before->quantityTyped;
        if (quantityAside == *before) {
            Command2->setVisible(c.okVisible);
            return;
        }
    }
    const QString kind = m_road.kind == modes::WorkKind::Warehouse
                             ? QStringLiteral("Depo İşlemleri")
                             : QStringLiteral("Cari İşlemler");
    Label5->setText(kind);
    Label5->setAccessibleName(kind);
    for (int i = 0; i < 2; ++i)
        SbCr[i]->setChecked(static_cast<int>(m_road.kind) == i);
    for (int i = 0; i < 3; ++i) {
        // Ticked by the state, without running the box's handler again.
        const QSignalBlocker block(Check1[i]);
        Check1[i]->setChecked(m_road.operation == static_cast<modes::Operation>(i));
        Check1[i]->setVisible(c.operationVisible[i]);
    }
    Frame1->setVisible(c.modesVisible);
    FatCmd->setText(c.documentCaption);
    FatCmd->setAccessibleName(c.documentCaption);
    FatCmd->setVisible(c.documentVisible);
    Command4->setVisible(c.updateVisible);
    Command4->setEnabled(c.updateEnabled);
    PriceCmd->setVisible(c.priceVisible);
    Command3->setEnabled(c.deleteEnabled);
    Command1[0]->setEnabled(c.backEnabled);
    Command8[1]->setEnabled(c.confirmEnabled);
    Command2->setVisible(c.okVisible);
    CopyProgress->setVisible(m_road.copying);
    if (m_road.copying) CopyProgress->raise();
    Label2->setText(m_road.balance);
    Label2->setAccessibleName(m_road.balance.isEmpty() ? QStringLiteral("Bakiye") : m_road.balance);
    if (totalsOpen()) {
        const bool invoice = m_road.panel == Panel::InvoiceTotals;
        const QString caption = invoice ? FaturaCaption : QStringLiteral("Cari Hesap");
        const QString total = invoicing::totalCaption(m_road.total, invoice);
        Label3->setText(caption);
        Label3->setAccessibleName(caption);
        Label4->setText(total);
        Label4->setAccessibleName(total);
    }
    const std::array<std::pair<QFrame*, bool>, 3> overlays = {
        std::pair{Frame2, m_road.panel == Panel::Balance},
        {Frame3, totalsOpen()},
        {Frame4, m_road.panel == Panel::Label}};
    for (const auto& [frame, shown] : overlays) {
        if (shown && !frame->isVisible()) frame->raise();
        frame->setVisible(shown);
    }
    renderChanged(before);
}

void TerminalForm::renderChanged(const std::optional<modes::RoadState>& before) {
    // A ticked operation gets its columns in the list; cleared, the list keeps them (and a saved
    // layout keeps what it put there until the next tick).
    if (m_road.operation != modes::Operation::None &&
        (!before || before->operation != m_road.operation))
        showOperationColumns(static_cast<int>(m_road.operation));
    // The target box names the account "Tamam" writes to; without one it keeps the pick.
    if ((!before || before->target != m_road.target) && !m_road.target.isEmpty()) {
        const QSignalBlocker block(Combo1);
        Combo1->setEditText(m_road.target);
    }
    // Cyan for a price, and a price's decimals.
    if (!before || before->priceEntry != m_road.priceEntry) Text2->setPriceEntry(m_road.priceEntry);
    if (!before || before->label != m_road.label) {
        const modes::LabelText& l = m_road.label;
        const std::array<QString, 4> captions = {l.name, l.note, l.price, l.company};
        for (int i = 0; i < 4; ++i)
            Label8[i]->setText(captions[i]);
        Label8[0]->adjustSize();
        Label8[0]->move((Picture1->width() - Label8[0]->width()) / 2, Label8[0]->y());
        const labels::LabelContent content{l.company, l.name, l.note, l.price, l.barcode};
        Picture1->show(content,
                       labels::encodeBarcode(content.barcode, labels::LabelPainter::BarHeight /
                                                                  labels::LabelPainter::Module));
    }
}

void TerminalForm::renderStatus() {
    const QString company = modes::companyOf(m_serverPath);
    const QString road =
        modes::roadStatus(m_road, company, modes::companyName(company, m_branchTitles));
    // A scan must stay quick: a label is laid out again only when its text changes.
    const auto show = [](QLabel* label, const QString& text) {
        if (label->text() == text) return;
        label->setText(text);
        label->setAccessibleName(text);
    };
    show(Label6, QStringLiteral("Terminal %1").arg(m_terminalNumber));
    show(StatusStrip, m_road.outcome.isEmpty() ? road : road + u'\n' + m_road.outcome);
    show(TotalsRoad, modes::operationAndTarget(m_road));
    show(TotalsStatus, totalsOpen() ? m_road.outcome : QString());
}

void TerminalForm::say(const QString& outcome) {
    if (outcome == m_road.outcome) return;
    m_road = modes::tell(m_road, outcome);
    renderStatus();
}

// --- target selection and working set ----------------------------------------------------

void TerminalForm::markWorkingCopyHeld() {
    m_ownLock = modes::lockFileOf(workingCopyPath());
    core::writeLockFile(m_ownLock);
}

void TerminalForm::releaseWorkingCopy() {
    // Until the next preparation succeeds there is nothing to book into.
    m_road = modes::releaseWorkingSet(m_road);
    render();
    DataTemp->Close();
    m_basket.reset();
    // Only our own lock goes; another program's stays and keeps us off its copy.
    if (core::lockOwnedByThisProcess(m_ownLock)) QFile::remove(m_ownLock);
    m_ownLock.clear();
    DataTemp->setDatabaseName(placeholderPath(m_context.env));
    DataTemp->setRecordSource(n::StokKartlar);
    DataTemp->setReadOnly(true);  // the placeholder only fills the grids; it is never written
    try {
        data::RefreshData(*DataTemp);
    } catch (const data::DatabaseError&) {
        // Without the placeholder the grids stay empty until the working copy is bound again.
    }
}

void TerminalForm::bindWorkingCopy(const QString& source) {
    DataTemp->Close();
    DataTemp->setReadOnly(false);
    DataTemp->setDatabaseName(workingCopyPath());
    DataTemp->setRecordSource(source);
    markWorkingCopyHeld();
}

void TerminalForm::bindServerControls() {
    for (data::DataControl* c :
         {DataTemp, DataCari, DataStok, DataCariHar, DataStokHar, IndexPrimary, IndexSecondary})
        c->Close();
    DataTemp->setReadOnly(false);
    DataTemp->setDatabaseName(workingCopyPath());
    if (!modes::workingCopyHeld(workingCopyPath())) markWorkingCopyHeld();
    DataCari->setDatabaseName(m_serverPath + n::files::Cari);
    DataCariHar->setDatabaseName(m_serverPath + n::files::Cari);
    DataStok->setDatabaseName(m_serverPath + n::files::Stok);
    DataStokHar->setDatabaseName(m_serverPath + n::files::Stok);
    IndexPrimary->setDatabaseName(m_serverPath + n::files::Index);
    IndexSecondary->setDatabaseName(m_serverPath + n::files::Index);
    for (data::DataControl* c :
         {DataCari, DataStok, DataCariHar, DataStokHar, IndexPrimary, IndexSecondary})
        data::RefreshData(*c);
}

void TerminalForm::Combo1_Click() {
    const int index = Combo1->currentIndex();
    if (index < 0) return;
    // A new target starts an empty basket: not while a lost posting may still hold its lines.
    if (!settlePendingDocument()) return;
    const QString title = Combo1->itemText(index);
    Text1->clear();
    releaseWorkingCopy();
    // However the preparation fails (an error of any kind included), there is no target.
    auto failed = qScopeGuard([this, title] { targetNotPrepared(title); });

    if (m_road.operation == modes::Operation::None)
        m_road = modes::stockless(
            m_road, index == 0 && DataStok->isOpen() && DataStok->recordset().RecordCount() == 0);

    const QString previous = m_serverPath;
    QString source;
    data::basket::View view = data::basket::View::Sale;
    if (m_road.operation == modes::Operation::Count) {
        source = data::bookFile(modes::companyPath(m_serverPath, modes::branchCompany(index)),
                                n::files::StokCopy);
        view = data::basket::View::Count;
    } else {
        if (warehouseWork())
            m_serverPath = modes::companyPath(m_serverPath, modes::branchCompany(index));
        source = m_serverPath + n::files::StokCopy;
        if (!data::booksExist(source)) {
            // The terminal stays up on the books it had, with no operation chosen.
            m_serverPath = previous;
            failed.dismiss();
            m_context.messages->inform(title + QStringLiteral(" Bilgisi Bulunamadı"));
            m_road = modes::booksMissing(m_road);
            render();
            return;
        }
        if (m_road.operation == modes::Operation::Purchase) view = data::basket::View::Purchase;
    }
    const QString outcome = m_road.outcome;
    const std::optional<std::pair<QString, QString>> cards = openCards(title, source, view);
    if (!cards) {
        // No cards, no road: the books stay those the terminal had.
        m_serverPath = previous;
        return;
    }
    const BasketStart started = startBasket(index, title, cards->first, cards->second, view);
    failed.dismiss();
    m_road = modes::workingSetReady(m_road, title, index);
    flushJournal();
    say(started.givenUp
            ? (started.otherBooks
                   ? QStringLiteral("Önceki sepet başka defterlere ait, geri yüklenmedi (%1 satır)")
                   : QStringLiteral(
                         "Önceki sepet başka bir hedefe aitti, geri yüklenmedi (%1 satır)"))
                  .arg(started.givenUp)
            : outcome);
    render();
    showCurrentRecord();
    Text1->setFocus(Qt::OtherFocusReason);
    if (started.restored) basketRestored();

    if (!m_road.modePanel && m_road.kind == modes::WorkKind::Account) {
        const std::optional<QString> balance = modes::balanceText(DataCari->recordset(), title);
        if (balance) {
            m_road = modes::showBalance(m_road, *balance);
            render();
        }
    }
}

std::optional<std::pair<QString, QString>> TerminalForm::openCards(const QString& title,
                                                                   const QString& source,
                                                                   data::basket::View view) {
    // The window says what it waits for while the cards are opened.
    if (isVisible()) {
        say(QStringLiteral("%1 hazırlanıyor: stok kartları okunuyor…").arg(title));
        StatusStrip->repaint();
    }
    const QString cards = cardsFile(source);
    m_cardsSource = source;
    if (cards.isEmpty()) return std::nullopt;
    // The cards' name order is the terminal's own, made again only when the cards changed, and
    // shared by the terminals of this folder. Its making runs behind the wait panel, which says
    // how far it is and lets the operator give the target up.
    const QString order = modes::orderFileOf(m_context.env.workFolder, cards);
    if (view != data::basket::View::Count) {
        if (isVisible())
            say(QStringLiteral("%1 hazırlanıyor: stok kartları sıralanıyor…").arg(title));
        try {
            m_waitPanel->run(QStringLiteral("Stok kartları hazırlanıyor"),
                             [&] { data::cardorder::prepare(cards, order); });
        } catch (const data::BusyError& e) {
            if (e.givenUp()) return std::nullopt;
        } catch (const data::DatabaseError&) {
            // Without its order file the list is read and sorted whole: slower, the same rows.
        }
    }
    return std::pair{cards, order};
}

TerminalForm::BasketStart TerminalForm::startBasket(int index, const QString& title,
                                                    const QString& cards, const QString& order,
                                                    data::basket::View view) {
    m_basket = data::basket::open(workingCopyPath(), cards, view, order);
    const data::basket::Road road{static_cast<int>(m_road.kind), static_cast<int>(m_road.operation),
                                  index, title, m_serverPath};
    // A restart keeps the lines of the road they were entered on; any other choice starts afresh.
    const bool restored = m_restoring && *m_restoring == road;
    // Lines of other books (the terminal started on another server path) are not theirs: the
    // operator is told they were given up.
    const int givenUp = m_restoring && !restored ? data::basket::summary(*m_basket).lines : 0;
    const bool otherBooks = m_restoring && m_restoring->serverPath != road.serverPath;
    // Until a target is prepared the kept lines wait: a restart whose preparation failed or was
    // given up brings them back at the next choice of their road.
    m_restoring.reset();
    if (!restored) {
        // Lines of another road are given up: the journal keeps them with the road they were on.
        data::journal::Entry givenUp =
            journalEntry(data::basket::savedRoad(*m_basket).value_or(road));
        givenUp.reason = QStringLiteral("Yeni hedef seçildi: ") + title;
        data::basket::start(*m_basket, road, &givenUp);
    }
    if (m_road.operation == modes::Operation::Count) {
        bindWorkingCopy(data::sources::CountList);
    } else {
        DataTemp->setRecordSource(data::sources::FullList);
        bindServerControls();
    }
    data::RefreshData(*DataTemp);
    return {restored, givenUp, otherBooks};
}

void TerminalForm::basketRestored() {
    // The account a search made the target before the restart is the target again.
    const QString account = data::basket::foundAccount(*m_basket);
    if (!account.isEmpty()) {
        m_road = modes::accountFound(m_road, account);
        render();
    }
    // The row shown is the one the search box names, so an OK books on it.
    if (DataTemp->recordset().hasCurrent())
        Text1->setText(DataTemp->recordset().field(n::stok::StokAdi).toString());
    const data::basket::Summary kept = data::basket::summary(*m_basket);
    say(QStringLiteral("Önceki sepet geri yüklendi: %1 satır, %2")
            .arg(kept.lines)
            .arg(kept.total.toString(QLocale(), 2, true)));
}

bool TerminalForm::restoreBasket() {
    std::optional<data::basket::Road> road;
    data::basket::Summary kept;
    {
        data::basket::ensureFile(workingCopyPath());
        auto db = data::Database::open(workingCopyPath(), data::Database::Durability::Full);
        road = data::basket::savedRoad(*db);
        if (road) kept = data::basket::summary(*db);
    }
    if (!road || kept.lines == 0) return false;
    const QStringList titles = fillTargets(road->kind == 1 ? 1 : 0);
    if (road->targetIndex < 0 || road->targetIndex >= titles.size() ||
        titles[road->targetIndex] != road->target) {
        say(QStringLiteral("Önceki sepet geri yüklenemedi: %1 hedef listesinde yok (%2 satır)")
                .arg(road->target)
                .arg(kept.lines));
        return false;
    }
    // The books the lines were entered on, as the target choice left them (account work after
    // a branch keeps the branch's books), when they are in the data directory started on.
    if (modes::dataDirectory(road->serverPath) == modes::dataDirectory(m_serverPath))
        m_serverPath = road->serverPath;
    if (road->operation >= 0 && road->operation <= 2) {
        m_road = modes::tickOperation(m_road, static_cast<modes::Operation>(road->operation), true);
        render();
    }
    {
        const QSignalBlocker block(Combo1);
        Combo1->setCurrentIndex(road->targetIndex);
    }
    m_restoring = road;
    Combo1_Click();
    return true;
}

void TerminalForm::readWrittenCards() {
    // On a server the list shows the terminal's own file of the cards: the cards the document
    // changed are read back into it, so the "Stok" shown is the books' own. Should the server
    // not answer now, the next target choice reads them.
    if (data::cardsReadInPlace(m_cardsSource) || !DataTemp->isOpen()) return;
    try {
        data::refreshWorkingFile(
            m_cardsSource, DataTemp->recordset().database().attachedFile(QStringLiteral("cards")));
        data::RefreshData(*DataTemp);
        showCurrentRecord();
    } catch (const data::DatabaseError&) {
    }
}

QString TerminalForm::cardsFile(const QString& source) {
    if (data::cardsReadInPlace(source)) return data::resolvePath(source);
    // The server's cards are kept in a file of this terminal's own, brought up to date at each
    // target choice by what was written since (the first time, read whole); scans then never
    // wait for the server.
    // Named by the company's schema and, for books of several servers, a digest of the path.
    const QString schema = data::parseServerPath(source)->schema();
    const QByteArray digest =
        QCryptographicHash::hash(source.toLower().toUtf8(), QCryptographicHash::Sha1).toHex();
    const QString cache = QDir(m_context.env.workFolder)
                              .filePath(QStringLiteral("Cards%1-%2-%3.db")
                                            .arg(m_terminalNumber)
                                            .arg(schema, QString::fromLatin1(digest.left(10))));
    if (!CopyDatabaseFile(source, cache)) return QString();
    return cache;
}

void TerminalForm::targetNotPrepared(const QString& title) {
    m_road = modes::targetFailed(m_road);
    say(QStringLiteral("%1 hazırlanamadı: hedef yok, hiçbir şey işlenmez").arg(title));
}

// --- lookup and booking ------------------------------------------------------------------

namespace {

// A company book as the strip names it: its file, or its schema on a server.
QString shownBook(const QString& path) {
    if (const std::optional<data::ServerAddress> server = data::parseServerPath(path))
        return server->schema() + QStringLiteral(" şeması");
    return QFileInfo(path).fileName();
}

}  // namespace

void TerminalForm::Text1_Search() {
    // A lost posting is settled before the scan is looked up, so the scan books afterwards.
    if (!settlePendingDocument()) return;
    const QString text = Text1->text();
    const entry::LookupResult found = entry::lookUp(*DataTemp, *DataCari, text, &m_scaleFormats);
    if (found.kind == entry::LookupResult::Kind::Stock) {
        say(found.said);
        Text1->setText(DataTemp->recordset().field(n::stok::StokAdi).toString());
        // A scale's label books its weight (or what its price buys); any other scan one piece.
        Text2->setText(found.label ? found.label->boxText() : QStringLiteral("1"));
        m_scaleLabel = found.label;
        showCurrentRecord();
        Command2_Click();
    } else if (found.kind == entry::LookupResult::Kind::Account) {
        // In account work the found account is the one "Tamam" writes to, and every caption
        // says so; a branch's transfer stays the branch's.
        m_road = modes::accountFound(m_road, found.accountTitle);
        if (m_basket && m_road.target == found.accountTitle)
            data::basket::saveFoundAccount(*m_basket, found.accountTitle);
        if (m_road.target == found.accountTitle) {
            say(QStringLiteral("Hesap bulundu: %1 — Tamam bu hesaba yazar")
                    .arg(found.accountTitle));
        } else {
            say(QStringLiteral("Hesap bulundu: %1 — hedef değişmedi: %2")
                    .arg(found.accountTitle,
                         m_road.target.isEmpty() ? QStringLiteral("yok") : m_road.target));
        }
        render();
        showCurrentRecord();
        Text1->selectAll();
    } else {
        say(found.said.isEmpty() ? QStringLiteral("Bulunamadı: ") + text : found.said);
        showCurrentRecord();
        // The text stays readable, but the next scan replaces it instead of being appended.
        Text1->selectAll();
        QApplication::beep();
    }
}

void TerminalForm::Command2_Click() {
    // Booked or refused, the boxes are ready for the next scan; a refusal's cause is shown.
    const auto ready = qScopeGuard([this] {
        Text2->setText(QStringLiteral("0"));
        Text1->setFocus(Qt::OtherFocusReason);
        Text1->selectAll();
        m_road = modes::askPrice(m_road, false);
        render();
        showCurrentRecord();
    });
    // Taken at once: a refused booking must not leave a label for a later OK.
    const std::optional<entry::ScaleLabel> label = std::exchange(m_scaleLabel, std::nullopt);
    if (!settlePendingDocument()) return;
    // Warehouse work books only for an operation; account work without one is an invoice.
    // Refusals on the scan road are said in the strip with a beep: a message box would take the
    // next scan's keys and lose its code.
    if (warehouseWork() && !operationTicked()) {
        if (!Text2->quantity().isZero()) {
            say(QStringLiteral("İşlenmedi. Önce SATIŞ, SAYIM veya ALIŞ seçiniz."));
            QApplication::beep();
        }
    } else if (!m_road.usable) {
        if (!Text2->quantity().isZero()) {
            say(NotPrepared);
            QApplication::beep();
        }
    } else if (DataTemp->isOpen()) {
        entry::BookingInput input;
        input.countMode = (m_road.operation == modes::Operation::Count);
        input.purchase = (m_road.operation == modes::Operation::Purchase);
        input.quantity = Text2->quantity();
        input.price = Text2->price();
        input.priceEntry = m_road.priceEntry;
        input.searchText = Text1->text();
        input.booksFile = shownBook(m_serverPath + n::files::Stok);
        if (label) label->applyTo(input);
        entry::Booked booked;
        try {
            // The cards of files are the company's own, read in place: their VAT rate is the
            // card's now. A server's are a cache, so its own card is asked while it answers.
            const bool cached = !data::cardsReadInPlace(m_serverPath) && DataStok->isOpen();
            booked = entry::book(DataTemp->recordset(), cached ? &DataStok->recordset() : nullptr,
                                 input);
        } catch (const data::DatabaseError& e) {
            // Refused on the scan road: said in the strip, so the next scan is not swallowed by
            // a message box.
            say(failureText(e));
            QApplication::beep();
            return;
        }
        if (entry::changed(booked)) DataTemp->notifyRowsChanged();
        QString text = entry::bookingText(booked, input.searchText, input.countMode);
        if (booked == entry::Booked::NotTheCard) text = NotTheRow;
        // A new price is booked: the prompt gives way to what was done.
        if (booked == entry::Booked::Yes && input.priceEntry)
            text = QStringLiteral("Fiyat: %1 — %2")
                       .arg(input.searchText, input.price.toString(QLocale(), 2, true));
        if (!text.isEmpty()) say(text);
        if (!entry::changed(booked) && !text.isEmpty()) QApplication::beep();
    }
}

void TerminalForm::PriceCmd_Click() {
    if (!modes::roadControls(m_road).priceVisible || !DataTemp->recordset().hasCurrent()) {
        QApplication::beep();
        return;
    }
    m_road = modes::askPrice(m_road, true);
    render();
    Text2->setFocus(Qt::OtherFocusReason);
    say(QStringLiteral("Fiyat: %1 için yeni birim fiyatı yazıp OK'a basın")
            .arg(DataTemp->recordset().field(n::stok::StokAdi).toString()));
}

void TerminalForm::Command3_Click() {
    if (!m_road.usable || !DataTemp->isOpen() || !DataTemp->recordset().hasCurrent()) return;
    if (!settlePendingDocument()) return;
    data::Recordset& rs = DataTemp->recordset();
    const QString name = rs.field(n::stok::StokAdi).toString();
    const auto money = [&rs](const QString& field) {
        return core::Money::fromStored(rs.field(field)).value_or(core::Money());
    };
    const core::Quantity quantity =
        core::Quantity::fromStored(rs.field(n::stok::KalanB)).value_or(core::Quantity());
    data::Line removed{rs.field(n::stok::StokKod).toString(),
                       name,
                       {},
                       {},
                       money(n::stok::Fiyat2),
                       quantity,
                       money(n::stok::GirenTutar),
                       {},
                       money(n::stok::Kar)};
    {
        // The line and the journal's word of it go in one commit.
        data::Transaction clearing(*DataTemp->database());
        if (!removed.quantity.isZero())
            keepInJournal(data::journal::Event::Removed, QString(), {removed});
        entry::clearLine(rs, (m_road.operation == modes::Operation::Count));
        clearing.commit();
    }
    DataTemp->notifyRowsChanged();
    say(QStringLiteral("Silindi: %1").arg(name));
    showCurrentRecord();
    Text1->setFocus(Qt::OtherFocusReason);
}

// --- totals and label preview ------------------------------------------------------------

void TerminalForm::openTotals(bool invoice) {
    const std::optional<core::Money> total = invoicing::openLines(*DataTemp);
    showCurrentRecord();
    if (!total) {
        say(QStringLiteral("Girilmiş satır yok"));
        QApplication::beep();
        return;
    }
    m_road = modes::showTotals(m_road, invoice, *total);
    render();
    Frame3->setFocus(Qt::OtherFocusReason);
}

void TerminalForm::Command4_Click() {
    openTotals(false);
}

void TerminalForm::FatCmd_Click() {
    // The state decides, not the caption the button happens to show.
    const modes::RoadControls c = modes::roadControls(m_road);
    if (!c.documentVisible) {
        QApplication::beep();
        return;
    }
    if (c.documentCaption == FaturaCaption) {
        openTotals(true);
        return;
    }
    const invoicing::LabelPreview label = invoicing::labelPreview(*DataTemp);
    m_road = modes::showLabel(m_road, label.name, label.price);
    render();
    // The barcode box is the operator's to correct; it starts with the card's code.
    Text3->clear();
    Text3->setText(label.barcode);
}

void TerminalForm::Command8_Click(int index) {
    if (index == 1) {
        // A second tap while the books are written, or after the totals closed, does nothing.
        const modes::Confirm confirm = modes::confirmable(m_road);
        if (confirm == modes::Confirm::Nothing) return;
        const bool invoice = confirm == modes::Confirm::Invoice;
        if (!(invoice ? modes::invoiceAllowed(m_road) : modes::postingAllowed(m_road))) {
            keepInJournal(data::journal::Event::Refused, NotPrepared);
            m_context.messages->inform(NotPrepared);
            return;
        }
        m_road = modes::writing(m_road, true);
        render();
        // However the writing ends (an error of any kind included), the buttons come back.
        const auto restore = qScopeGuard([this] {
            m_road = modes::writing(m_road, false);
            render();
        });
        const bool done = invoice ? CreateInvoice() : postWorkingSet();
        // A failed posting keeps the totals screen: the lines are still there to try again.
        if (!done) return;
    } else if (m_road.panel == modes::RoadState::Panel::Totals ||
               m_road.panel == modes::RoadState::Panel::InvoiceTotals) {
        keepInJournal(data::journal::Event::Cancelled,
                      QStringLiteral("Toplamlar ekranında Vazgeç"));
    }
    DataTemp->setRecordSource(data::sources::FullList);
    data::RefreshData(*DataTemp);
    showCurrentRecord();
    m_road = modes::closePanel(m_road);
    render();
    Text1->setFocus(Qt::OtherFocusReason);
}

bool TerminalForm::writeDocument(bool invoice, const std::function<DocumentWrite()>& write,
                                 const std::function<void()>& written) {
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const auto restore = qScopeGuard([] { QGuiApplication::restoreOverrideCursor(); });
    DocumentWrite result;
    try {
        m_waitPanel->run(
            invoice ? QStringLiteral("Fatura yazılıyor") : QStringLiteral("Belge yazılıyor"),
            [&] { result = write(); });
    } catch (const std::exception& e) {
        // The lines stay: the operator reads why and may try again.
        m_context.messages->inform(failureText(e));
        return afterFailedWrite(invoice);
    }
    if (!result.earlier.message().isEmpty()) m_context.messages->inform(result.earlier.message());
    if (!result.written && result.earlier.state != data::PendingResult::State::Written)
        return nothingWritten(result.lines);
    if (result.written) written();
    // The written document ends the operation: the next one is chosen afresh.
    m_road = modes::documentWritten(m_road);
    readWrittenCards();
    render();
    return true;
}

bool TerminalForm::postWorkingSet() {
    posting::PostingRequest request;
    request.warehouse = warehouseWork();
    request.sale = m_road.operation == modes::Operation::Sale;
    request.serverPath = m_serverPath;
    request.workingCopy = workingCopyPath();
    // What the totals screen names, never what a list shows.
    request.targetTitle = m_road.target;
    request.targetIndex = m_road.targetIndex;
    request.clock = m_context.clock;
    request.terminal = m_terminalNumber;
    posting::PostingResult result;
    const auto write = [&] {
        result = posting::postWorkingSet(request);
        return DocumentWrite{result.posted, result.earlier, result.lines};
    };
    return writeDocument(false, write, [&] {
        say(QStringLiteral("Belge %1 işlendi — %2 satır, %3")
                .arg(result.documentNumber)
                .arg(result.lines)
                .arg(result.total.toString(QLocale(), 2, true)));
        if (!request.warehouse) return;
        // The data controls follow the head-office side, as the posting left them.
        const QString head = posting::headOfficePath(m_serverPath);
        for (auto [control, file] : {std::pair{DataCari, n::files::Cari},
                                     {DataCariHar, n::files::Cari},
                                     {DataStok, n::files::Stok},
                                     {DataStokHar, n::files::Stok},
                                     {IndexPrimary, n::files::Index},
                                     {IndexSecondary, n::files::Index}}) {
            control->setDatabaseName(head + file);
            guarded([control] { data::RefreshData(*control); });
        }
    });
}

bool TerminalForm::CreateInvoice() {
    invoicing::InvoiceRequest request;
    request.serverPath = m_serverPath;
    request.workingCopy = workingCopyPath();
    request.customerTitle = m_road.target;
    request.clock = m_context.clock;
    request.terminal = m_terminalNumber;
    invoicing::InvoiceResult result;
    const auto write = [&] {
        result = invoicing::writeInvoice(request);
        return DocumentWrite{result.written, result.earlier, result.lines};
    };
    return writeDocument(true, write, [&] {
        say(QStringLiteral("Fatura %1 yazıldı — %2")
                .arg(result.key, result.total.toString(QLocale(), 2, true)));
        // A copy of the last number this user wrote for the company, as the package keeps it.
        m_context.settings->WriteRegistryText(
            Settings::Root::CurrentUser, PropertiesKey,
            modes::companyOf(m_serverPath) + QStringLiteral("FatNo"),
            invoicing::ShiftText(result.number.trimmed()));
        if (!result.warning.isEmpty()) m_context.messages->inform(result.warning);
    });
}

bool TerminalForm::nothingWritten(int lines) {
    // Lines that add up to nothing write nothing: the operator is told why, and the totals stay
    // for a correction or "Vazgeç".
    say(lines == 0 ? QStringLiteral("Hiçbir şey yazılmadı: girilmiş satır yok")
                   : QStringLiteral("Hiçbir şey yazılmadı: %1 satırın toplamı 0").arg(lines));
    QApplication::beep();
    return false;
}

bool TerminalForm::settlePendingDocument() {
    if (!m_road.answerLost) return true;
    data::PendingResult r;
    if (DataTemp->isOpen() && data::hasPending(workingCopyPath()))
        m_waitPanel->run(QStringLiteral("Önceki işlem sunucuya soruluyor"),
                         [&] { r = data::resolvePending(m_serverPath, workingCopyPath()); });
    m_road = modes::answerSettled(m_road, r.state != data::PendingResult::State::Unknown);
    if (r.state != data::PendingResult::State::Unknown && !r.message().isEmpty()) {
        data::journal::Entry settled = journalEntry(data::journal::Event::Settled, r.message());
        settled.number = r.number;
        data::journal::keep(*m_basket, settled);
    }
    if (!r.message().isEmpty()) m_context.messages->inform(r.message());
    if (r.state == data::PendingResult::State::Written) {
        // The lines that posting covered have left the working set; the row the operator is on
        // stays the current one, so what comes next (a scan, a quantity) books where it should.
        data::Recordset& rs = DataTemp->recordset();
        const QVariant code = rs.hasCurrent() ? rs.field(n::stok::StokKod) : QVariant();
        data::RefreshData(*DataTemp);
        if (code.isValid())
            DataTemp->recordset().FindFirst(data::Criteria::equals(n::stok::StokKod, code));
        showCurrentRecord();
    }
    return r.state != data::PendingResult::State::Unknown;
}

bool TerminalForm::afterFailedWrite(bool invoice) {
    // The answer may have been lost after the server's commit: find out at once, so the lines
    // never change while it is unknown whether they are in the books.
    m_road = modes::answerLost(m_road);
    if (!settlePendingDocument() || DataTemp->recordset().RecordCount() == 0) return false;
    if (!invoicing::openLines(*DataTemp)) return true;  // it was written: nothing is left
    openTotals(invoice);
    return false;
}

data::journal::Entry TerminalForm::journalEntry(const data::basket::Road& road) const {
    data::journal::Entry e;
    e.event = data::journal::Event::Abandoned;
    e.at = m_context.clock ? m_context.clock->now() : QDateTime::currentDateTime();
    e.terminal = m_terminalNumber;
    const auto kind = road.kind == 1 ? modes::WorkKind::Account : modes::WorkKind::Warehouse;
    e.work = modes::workName(kind);
    e.operation = modes::operationName(static_cast<modes::Operation>(road.operation));
    e.target = road.target;
    const QString company = modes::companyOf(road.serverPath);
    // A transfer is written in the head office's books too.
    e.books = kind == modes::WorkKind::Warehouse && company != QLatin1String("01")
                  ? company + QStringLiteral(",01")
                  : company;
    return e;
}

data::journal::Entry TerminalForm::journalEntry(data::journal::Event event,
                                                const QString& reason) const {
    data::journal::Entry e = journalEntry(
        data::basket::Road{static_cast<int>(m_road.kind), static_cast<int>(m_road.operation),
                           m_road.targetIndex, m_road.target, m_serverPath});
    if (m_road.panel == modes::RoadState::Panel::InvoiceTotals)
        e.operation = QStringLiteral("Fatura");
    e.event = event;
    e.reason = reason;
    return e;
}

void TerminalForm::keepInJournal(data::journal::Event event, const QString& reason,
                                 std::vector<data::Line> lines) {
    if (!m_basket) return;
    data::journal::Entry e = journalEntry(event, reason);
    e.lines = lines.empty() && event != data::journal::Event::Refused
                  ? data::enteredLines(*m_basket, data::LineOrder::ByName)
                  : std::move(lines);
    for (const data::Line& line : e.lines)
        e.total += line.amount;
    data::journal::keep(*m_basket, e);
}

void TerminalForm::flushJournal() {
    try {
        data::journal::flush(
            workingCopyPath(), m_serverPath,
            data::journal::fileFor(m_serverPath, modes::dataDirectory(m_serverPath)));
    } catch (const data::DatabaseError&) {
        // Books out of reach keep the entries in the basket: they go with the next document.
    }
}

void TerminalForm::labelBarcodeChanged(const QString& barcode) {
    m_road = modes::labelBarcode(m_road, barcode);
    render();
    if (!Picture1->barcode().error.isEmpty()) m_context.messages->inform(Picture1->barcode().error);
}

void TerminalForm::Command5_Click(int index) {
    if (index == 1) {
        // Without a printer (or when asked to) the label becomes a PDF file the operator can print.
        QString pdf;
        if (!m_context.labelPdfFolder.isEmpty() || !labels::hasDefaultPrinter()) {
            const QString folder = m_context.labelPdfFolder.isEmpty()
                                       ? (m_context.reportFolder.isEmpty() ? defaultReportFolder()
                                                                           : m_context.reportFolder)
                                       : m_context.labelPdfFolder;
            QDir().mkpath(folder);
            pdf = QDir(folder).filePath(
                QStringLiteral("Etiket %1.pdf").arg(safeFileName(m_road.label.barcode)));
        }
        const QString error = labels::printLabel(Picture1->content(), Picture1->barcode(), pdf);
        if (!error.isEmpty())
            m_context.messages->inform(error);
        else if (!pdf.isEmpty() && m_context.labelPdfFolder.isEmpty())
            m_context.messages->inform(QStringLiteral("Yazıcı yok; etiket dosyaya yazıldı: ") +
                                       pdf);
        if (error.isEmpty())
            say(pdf.isEmpty()
                    ? QStringLiteral("Etiket yazıcıya gönderildi: %1").arg(m_road.label.barcode)
                    : QStringLiteral("Etiket dosyaya yazıldı: %1").arg(pdf));
    }
    m_road = modes::closePanel(m_road);
    render();
}

// --- navigation --------------------------------------------------------------------------

void TerminalForm::Command1_Click(int index) {
    if (index == 1) {
        close();
        return;
    }
    closeKeyboard();
    m_road = modes::backToModes(m_road);
    render();
}

void TerminalForm::Command6_Click() {
    if (Form1)
        closeKeyboard();
    else
        openKeyboard();
    Text1->setFocus(Qt::OtherFocusReason);
}

void TerminalForm::openKeyboard() {
    auto* keyboard = new keyboard::KeyboardForm(this);
    // Over a full-screen window a window manager or kiosk compositor stacks and places managed
    // windows as it likes (cage centres them and gives them the keys); unmanaged, it stays where
    // it is put, on top, and the scanner's keys still reach the search box.
    if (m_context.fullScreen) keyboard->setWindowFlag(Qt::X11BypassWindowManagerHint);
    Form1 = keyboard;
    // Closed from its own title bar, it gives the room back as the button does.
    keyboard->setAttribute(Qt::WA_DeleteOnClose);
    connect(keyboard, &QObject::destroyed, this, [this] {
        Form1 = nullptr;
        closeKeyboard();
    });
    const QRect area = keyboard->screenArea();
    const QRect frame = frameGeometry();
    // The keyboard's own title bar is taken to be as high as the main window's.
    const int keysHeight = keyboard->preferredSize().height() + frame.height() - height();
    // No room below: the keyboard shares the window's screen over the grids' upper rows; the
    // window keeps its size and its text, which a window squeezed above it would not.
    m_keyboardOverGrids = frame.bottom() + keysHeight > area.bottom();
    if (m_keyboardOverGrids)
        shareScreenWithKeyboard();
    else
        keyboard->placeUnder(frameGeometry());
    keyboard->show();
    // The balance panel, the totals and the label preview take no typing: the keyboard is out of
    // their way.
    if (m_keyboardOverGrids) keyboard->giveWayTo({Frame2, Frame3, Frame4});
}

void TerminalForm::closeKeyboard() {
    if (Form1) {
        QWidget* keyboard = std::exchange(Form1, nullptr);
        keyboard->disconnect(this);
        delete keyboard;
    }
    // The grids get their rows back.
    if (std::exchange(m_keyboardOverGrids, false)) Form_Resize();
}

void TerminalForm::Command7_Click() {
    m_road = modes::closePanel(m_road);
    render();
    Text1->setFocus(Qt::OtherFocusReason);
}

// --- grid --------------------------------------------------------------------------------

void TerminalForm::refitNameColumn(QTableView* grid) {
    const int name = m_fits.value(grid).nameColumn;
    int others = 0;
    for (int c = 0; c < grid->model()->columnCount(); ++c)
        if (c != name && !grid->isColumnHidden(c)) others += grid->columnWidth(c);
    const int scrollBar = grid->verticalScrollBar()->sizeHint().width();
    const bool was = m_layoutBusy;
    m_layoutBusy = true;  // not an operator's resize: nothing to save
    grid->setColumnWidth(
        name, std::max(120, grid->width() - 2 * grid->frameWidth() - others - scrollBar - 2));
    m_layoutBusy = was;
}

void TerminalForm::showCurrentRecord() {
    if (!DataTemp->isOpen()) return;
    const int pos = DataTemp->recordset().AbsolutePosition();
    m_syncingGrid = true;
    for (QTableView* grid : {DBGrid1, DBGrid2}) {
        if (pos < 0 || pos >= grid->model()->rowCount()) {
            grid->clearSelection();
            continue;
        }
        const QModelIndex index = grid->model()->index(pos, 0);
        grid->selectionModel()->setCurrentIndex(
            index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        grid->scrollTo(index);
    }
    m_syncingGrid = false;
}

void TerminalForm::gridPressed() {
    m_rowPick = true;
    if (!DataTemp->isOpen()) return;
    data::Recordset& rs = DataTemp->recordset();
    if (Text1->text().isEmpty() && (m_road.operation == modes::Operation::Sale) && rs.hasCurrent())
        Text1->setText(rs.field(n::stok::StokAdi).toString());
    Text2->setText(QStringLiteral("1"));
}

void TerminalForm::gridRowChanged(int row) {
    if (m_syncingGrid || row < 0 || !DataTemp->isOpen()) return;
    guarded([this, row] {
        data::Recordset& rs = DataTemp->recordset();
        rs.setAbsolutePosition(row);
        m_syncingGrid = true;
        DBGrid2->selectRow(row);
        m_syncingGrid = false;
        if (m_rowPick) {
            m_rowPick = false;
            Text1->setText(rs.field(n::stok::StokAdi).toString());
        }
    });
}

void TerminalForm::moveGridRow(int step) {
    if (!DataTemp->isOpen() || DataTemp->recordset().RecordCount() == 0) return;
    const int count = DataTemp->recordset().RecordCount();
    const int current = std::max(0, DBGrid1->currentIndex().row());
    const int row = std::clamp(current + step, 0, count - 1);
    m_rowPick = true;
    DBGrid1->selectionModel()->setCurrentIndex(
        DBGrid1->model()->index(row, 0),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    DBGrid1->scrollTo(DBGrid1->model()->index(row, 0));
    m_rowPick = false;
    Text2->setText(QStringLiteral("1"));
    Text1->selectAll();
}

// --- keys and mouse ------------------------------------------------------------------------

bool TerminalForm::routeKey(QKeyEvent* e, bool searchBox) {
    using modes::KeyAction;
    using modes::RoadKey;
    const RoadKey key = [e] {
        switch (e->key()) {
            case Qt::Key_Escape:
                return RoadKey::Escape;
            case Qt::Key_Return:
            case Qt::Key_Enter:
                return RoadKey::Enter;
            case Qt::Key_Up:
                return RoadKey::Up;
            case Qt::Key_Down:
                return RoadKey::Down;
            case Qt::Key_PageUp:
                return RoadKey::PageUp;
            case Qt::Key_PageDown:
                return RoadKey::PageDown;
            default:
                return !e->text().isEmpty() && e->text().at(0).isPrint() ? RoadKey::Printable
                                                                         : RoadKey::Other;
        }
    }();
    const KeyAction action =
        modes::routeKey(m_road, searchBox ? modes::KeyTarget::SearchBox : modes::KeyTarget::Panel,
                        key, m_road.typedOnPanel, Text1->text().isEmpty());
    switch (action) {
        case KeyAction::None:
            return false;
        case KeyAction::Ignore:
            break;
        case KeyAction::Search:
            guarded([this] { Text1_Search(); });
            break;
        case KeyAction::ClearSearch:
            Text1->clear();
            Text2->setText(QStringLiteral("0"));
            break;
        case KeyAction::RowUp:
            moveGridRow(-1);
            break;
        case KeyAction::RowDown:
            moveGridRow(1);
            break;
        case KeyAction::PageUp:
            moveGridRow(-10);
            break;
        case KeyAction::PageDown:
            moveGridRow(10);
            break;
        case KeyAction::CancelTotals:
            Command8[0]->click();
            break;
        case KeyAction::ConfirmTotals:
            Command8[1]->click();
            break;
        case KeyAction::CloseBalance:
            Command7->click();
            break;
        case KeyAction::CloseLabel:
            Command5[0]->click();
            break;
        case KeyAction::RefuseScan:
            m_road = modes::typedOnPanel(m_road, false);
            say(QStringLiteral("Okutulan barkod bu ekranda işlenmez"));
            QApplication::beep();
            break;
        case KeyAction::Swallow:
            m_road = modes::typedOnPanel(m_road, true);
            QApplication::beep();
            break;
    }
    return true;
}

bool TerminalForm::eventFilter(QObject* watched, QEvent* e) {
    if (watched == Text1) {
        if (e->type() == QEvent::KeyPress) {
            // Scans do not reach the books behind the totals screen: the rule routes them.
            return routeKey(static_cast<QKeyEvent*>(e), true);
        }
        // A tap into the box that has the caret selects the whole name, as a scan replaces it:
        // a caret put inside the name would split it with the next scan or key.
        if ((e->type() == QEvent::MouseButtonPress || e->type() == QEvent::MouseButtonDblClick ||
             e->type() == QEvent::MouseMove || e->type() == QEvent::MouseButtonRelease) &&
            Text1->hasFocus()) {
            Text1->selectAll();
            return true;
        }
        if (e->type() == QEvent::FocusIn) {
            const auto reason = static_cast<QFocusEvent*>(e)->reason();
            if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
                Text1->clear();
        }
        return false;
    }
    if ((watched == Frame3 || watched == Frame2 || watched == Frame4) &&
        e->type() == QEvent::KeyPress)
        return routeKey(static_cast<QKeyEvent*>(e), false);
    if (watched == Combo1->lineEdit() &&
        (e->type() == QEvent::MouseButtonPress || e->type() == QEvent::MouseButtonRelease)) {
        // A tap opens the list once the finger is lifted: opened on the press, the list would
        // take the release as a pick of whatever row lies under the finger.
        if (e->type() == QEvent::MouseButtonRelease) Combo1->showPopup();
        return true;
    }
    if (watched == Frame2 && e->type() == QEvent::MouseButtonPress) {
        Command7->click();
        return true;
    }
    if (watched == Label5 &&
        (e->type() == QEvent::MouseButtonPress || e->type() == QEvent::MouseButtonRelease)) {
        auto* m = static_cast<QMouseEvent*>(e);
        if (m->button() == Qt::RightButton && e->type() == QEvent::MouseButtonPress)
            MnPop->popup(m->globalPosition().toPoint());
        // A finger can only tap or hold: the lift opens the menu below the label, clear of the
        // finger, so the lift itself picks no entry. A finger slid off the label opens nothing.
        if (m->button() == Qt::LeftButton && e->type() == QEvent::MouseButtonRelease &&
            Label5->rect().contains(m->position().toPoint()))
            MnPop->popup(Label5->mapToGlobal(Label5->rect().bottomLeft()));
        return true;
    }
    for (QTableView* grid : {DBGrid1, DBGrid2})
        if (watched == grid->horizontalHeader()->viewport()) {
            if (e->type() == QEvent::MouseButtonPress) m_headerPressed = true;
            if (e->type() == QEvent::MouseButtonRelease) m_headerPressed = false;
            return false;
        }
    if (watched == DBGrid1->viewport()) return gridEvent(DBGrid1, e);
    if (watched == DBGrid2->viewport()) return gridEvent(DBGrid2, e);
    return QMainWindow::eventFilter(watched, e);
}

}  // namespace app
