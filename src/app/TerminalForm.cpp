#include "app/TerminalForm.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QTableView>

#include "app/CompanyFile.h"
#include "app/CountReport.h"
#include "app/FailureText.h"
#include "app/Placement.h"
#include "app/Settings.h"
#include "app/Style.h"
#include "app/WaitPanel.h"
#include "core/Clock.h"
#include "core/LockFiles.h"
#include "core/Messages.h"
#include "core/Waiting.h"
#include "data/Basket.h"
#include "data/DataControl.h"
#include "data/Database.h"
#include "data/DatabaseError.h"
#include "data/Names.h"
#include "data/Pending.h"
#include "data/ServerBooks.h"
#include "entry/NumberBox.h"
#include "entry/RecordsetModel.h"
#include "filecopy/CopyDatabaseFile.h"
#include "labels/LabelView.h"
#include "modes/RoadTransitions.h"
#include "modes/Targets.h"

namespace app {

namespace {

namespace n = data::names;

const QString ConnectionFailed =
    QStringLiteral("RezoruviZada Directory ile Bağlantı kurulamadı...");
const QString CopyFailed = QStringLiteral("Kopyalama Yapılamadı");

// Names a control as the system names it; screen readers and UI automation find it by its caption
// (controls without one get the operator's word for them in buildMenus).
template <class W>
W* named(W* widget, const QString& name, const QString& caption, const QRect& geometry) {
    widget->setObjectName(name);
    widget->setAccessibleName(caption.trimmed().isEmpty() ? name : caption.trimmed());
    widget->setGeometry(geometry);
    return widget;
}

void setPointSize(QWidget* w, double points, bool bold = false) {
    QFont f = w->font();
    f.setPointSizeF(points);
    f.setBold(bold);
    w->setFont(f);
}

QPushButton* button(QWidget* parent, const QString& name, const QString& caption, const QRect& r,
                    double points = 16) {
    auto* b = named(new QPushButton(caption, parent), name, caption, r);
    setPointSize(b, points, true);
    b->setFocusPolicy(Qt::NoFocus);  // a tap must not pull the caret out of the search box
    return b;
}

QLabel* label(QWidget* parent, const QString& name, const QString& caption, const QRect& r,
              double points = 14, bool bold = false) {
    auto* l = named(new QLabel(caption, parent), name, caption, r);
    setPointSize(l, points, bold);
    return l;
}

QTableView* grid(QWidget* parent, const QString& name, const QRect& r) {
    auto* g = named(new QTableView(parent), name, QString(), r);
    g->setSelectionBehavior(QAbstractItemView::SelectRows);
    g->setSelectionMode(QAbstractItemView::SingleSelection);
    g->setEditTriggers(QAbstractItemView::NoEditTriggers);
    g->setAlternatingRowColors(true);
    g->verticalHeader()->setVisible(false);
    g->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    g->verticalHeader()->setDefaultSectionSize(36);
    g->horizontalHeader()->setHighlightSections(false);
    g->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    g->setWordWrap(false);
    setPointSize(g, 13);
    QFont header = g->horizontalHeader()->font();
    header.setPointSizeF(10);
    header.setBold(true);
    g->horizontalHeader()->setFont(header);
    return g;
}

// The window's area. A caption whose text changed asks it to lay out again: the status strip's
// new text may need more lines than its row holds.
class FormArea : public QWidget {
  public:
    using QWidget::QWidget;
    std::function<void()> textChanged;

  protected:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::LayoutRequest && textChanged) textChanged();
        return QWidget::event(e);
    }
};

}  // namespace

TerminalForm::TerminalForm(TerminalContext context, QWidget* parent)
    : QMainWindow(parent), m_context(std::move(context)) {
    setObjectName(QStringLiteral("TerminalForm"));
    setWindowTitle(m_context.env.executableName);
    setStyleSheet(terminalStyleSheet());

    auto control = [this](const QString& name) { return new data::DataControl(name, this); };
    DataCari = control(QStringLiteral("DataCari"));
    DataCariHar = control(QStringLiteral("DataCariHar"));
    DataStok = control(QStringLiteral("DataStok"));
    DataStokHar = control(QStringLiteral("DataStokHar"));
    DataFatura = control(QStringLiteral("DataFatura"));
    DataFatHar = control(QStringLiteral("DataFatHar"));
    IndexPrimary = control(QStringLiteral("IndexPrimary"));
    IndexSecondary = control(QStringLiteral("IndexSecondary"));
    DataTemp = control(QStringLiteral("DataTemp"));

    buildControls();
    // The wait panel's button looks and reads as the totals screen's "Vazgeç" does.
    m_waitPanel = std::make_unique<WaitPanel>(this, Command8[0]);
    if (m_context.messages) {
        m_afterWait = std::make_unique<AfterWaitMessages>(*m_waitPanel, *m_context.messages);
        m_context.messages = m_afterWait.get();
    }
    buildMenus();
    wireRoad();
    // What the controls show at first is the initial state's, drawn as every later state is.
    m_road = modes::labelCompany(m_road, DefaultCompanyName);
    render();
    // The designed layout is the reference every later size is scaled from.
    m_resize.registerForm(centralWidget(), QSize(1024, 768));
    for (QWidget* w : std::initializer_list<QWidget*>{Text1,
                                                      Text2,
                                                      Combo1,
                                                      Check1[0],
                                                      Check1[1],
                                                      Check1[2],
                                                      Command4,
                                                      Command1[0],
                                                      Command1[1],
                                                      Label1,
                                                      Label2,
                                                      Label3,
                                                      Label4,
                                                      Label5,
                                                      Label6,
                                                      Command2,
                                                      Command3,
                                                      Command6,
                                                      Command7,
                                                      Command8[0],
                                                      Command8[1],
                                                      FatCmd,
                                                      StatusStrip,
                                                      PriceCmd,
                                                      TotalsRoad,
                                                      TotalsStatus,
                                                      DBGrid1,
                                                      DBGrid2,
                                                      DBGrid1->horizontalHeader(),
                                                      DBGrid2->horizontalHeader(),
                                                      Combo1->lineEdit()})
        m_referenceFonts.insert(w, w->font().pointSizeF());
    m_referenceText1Size = Text1->size();
    m_fits[DBGrid1] = {1, DBGrid1->width(), {}};
    m_fits[DBGrid2] = {0, DBGrid2->width(), {}};
    for (QTableView* grid : {DBGrid1, DBGrid2})
        rememberColumns(grid);
}

TerminalForm::~TerminalForm() {
    // The keyboard goes with the window; it has no room left to give back.
    if (Form1) Form1->disconnect(this);
}

void TerminalForm::buildControls() {
    auto* form = new FormArea(this);
    form->textChanged = [this] { fitStatusStrip(); };
    form->setObjectName(QStringLiteral("FormArea"));
    setCentralWidget(form);
    resize(1024, 768);

    buildEntryRow(form);
    buildBottomAndModes(form);
    buildTotals(form);
    buildLabelPreview(form);

    // Parked out of view: the focus sink and the wheel receiver.
    TextSet = named(new QLineEdit(form), QStringLiteral("TextSet"), QString(), {-2000, 0, 20, 20});
    cmbMouseWheel = named(new QComboBox(form), QStringLiteral("cmbMouseWheel"), QString(),
                          {-2000, 40, 100, 30});
}

// Which of these controls shows, and with which caption, is render's to say.
void TerminalForm::buildEntryRow(QWidget* form) {
    // Top bar: work kind, target, keyboard, terminal number.
    Label5 = label(form, QStringLiteral("Label5"), QStringLiteral("Depo İşlemleri"),
                   {8, 8, 230, 52}, 16, true);
    Label5->setWordWrap(true);  // a narrow window puts the work kind on two lines, still legible
    Label5->setAlignment(Qt::AlignCenter);
    Label5->setProperty("role", QStringLiteral("kind"));
    Combo1 = named(new QComboBox(form), QStringLiteral("Combo1"), QString(), {246, 8, 470, 52});
    setPointSize(Combo1, 16);
    Combo1->setMaxVisibleItems(12);
    Command6 = button(form, QStringLiteral("Command6"), QString(), {724, 8, 80, 52}, 22);
    Command6->setText(QStringLiteral("⌨"));
    Command6->setToolTip(QStringLiteral("Klavye"));
    Label6 = label(form, QStringLiteral("Label6"), QString(), {812, 8, 204, 52}, 16, true);
    Label6->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    // Entry row: search box, number box, OK and SİL.
    Label1 = label(form, QStringLiteral("Label1"), QStringLiteral("Barkod / Stok Adı"),
                   {10, 64, 596, 22}, 10);
    Text1 = named(new QLineEdit(form), QStringLiteral("Text1"), QString(), {8, 88, 488, 56});
    // Corrects the current line's price: the next entry in the number box is a price.
    PriceCmd =
        button(form, QStringLiteral("PriceCmd"), QStringLiteral("Fiyat"), {504, 88, 104, 56});
    setPointSize(Text1, 20);
    Text2 =
        named(new entry::NumberBox(form), QStringLiteral("Text2"), QString(), {616, 88, 180, 56});
    setPointSize(Text2, 20);
    Command2 = button(form, QStringLiteral("Command2"), QStringLiteral("OK"), {804, 88, 100, 56});
    Command2->setProperty("role", QStringLiteral("confirm"));
    Command3 = button(form, QStringLiteral("Command3"), QStringLiteral("SİL"), {912, 88, 104, 56});
    Command3->setProperty("role", QStringLiteral("danger"));

    // The item grid; Label7's height is its row unit for touch scrolling.
    DBGrid1 = grid(form, QStringLiteral("DBGrid1"), {8, 152, 1008, 522});
    using F = entry::GridColumn::Format;
    DBGrid1->setModel(new entry::RecordsetModel(
        DataTemp,
        {{QStringLiteral("Barkod"), n::stok::Barkod, F::Text},
         {QString(21, u' ') + QStringLiteral("Stok Adı"), n::stok::StokAdi, F::Text},
         {QStringLiteral("Miktar"), n::stok::KalanB, F::GeneralNumber},
         {QStringLiteral("Fazla"), n::stok::KalanA, F::GeneralNumber},
         {QStringLiteral("Fiyat"), n::stok::Fiyat2, F::Money}},
        DBGrid1));
    DBGrid1->setColumnWidth(0, 190);
    DBGrid1->setColumnWidth(1, 446);
    DBGrid1->setColumnWidth(2, 110);
    DBGrid1->setColumnWidth(3, 110);
    DBGrid1->setColumnWidth(4, 130);
    Label7 = label(form, QStringLiteral("Label7"), QString(), {-1000, 152, 40, 36});
    Label7->setVisible(false);  // never shown: only its height counts
}

void TerminalForm::buildBottomAndModes(QWidget* form) {
    // Bottom bar.
    Command1[0] =
        button(form, QStringLiteral("Command1(0)"), QStringLiteral("Geri"), {8, 684, 200, 76}, 18);
    CopyProgress = named(new QProgressBar(form), QStringLiteral("CopyProgress"),
                         QStringLiteral("Kopyalama"), {216, 700, 376, 44});
    CopyProgress->setRange(0, 100);
    // What "Tamam" will do (work, operation, target, whose books) and what the last action did.
    StatusStrip = label(form, QStringLiteral("StatusStrip"), QString(), {216, 684, 376, 76}, 11);
    StatusStrip->setWordWrap(true);
    StatusStrip->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    CopyProgress->raise();
    Command4 = button(form, QStringLiteral("Command4"), QStringLiteral("Güncelle"),
                      {600, 684, 200, 76}, 18);
    Command4->setProperty("role", QStringLiteral("confirm"));
    FatCmd =
        button(form, QStringLiteral("FatCmd"), QStringLiteral("Fatura"), {816, 684, 200, 76}, 18);

    // Mode panel: the operation boxes and the exit.
    Frame1 = named(new QFrame(form), QStringLiteral("Frame1"), QString(), {8, 470, 1008, 204});
    Frame1->setProperty("role", QStringLiteral("panel"));
    const QStringList operations = {QStringLiteral("SATIŞ"), QStringLiteral("SAYIM"),
                                    QStringLiteral("ALIŞ")};
    for (int i = 0; i < 3; ++i) {
        Check1[i] = named(new QCheckBox(operations[i], Frame1), QStringLiteral("Check1(%1)").arg(i),
                          operations[i], {16 + i * 264, 24, 248, 156});
        setPointSize(Check1[i], 24, true);
        Check1[i]->setFocusPolicy(Qt::NoFocus);
    }
    Command1[1] = button(Frame1, QStringLiteral("Command1(1)"), QStringLiteral("Çıkış"),
                         {808, 24, 184, 156}, 20);
    Command1[1]->setProperty("role", QStringLiteral("danger"));

    // Balance panel of a customer.
    Frame2 = named(new QFrame(form), QStringLiteral("Frame2"), QString(), {212, 230, 600, 300});
    Frame2->setProperty("role", QStringLiteral("overlay"));
    Label2 = label(Frame2, QStringLiteral("Label2"), QString(), {24, 40, 552, 120}, 26, true);
    Label2->setAlignment(Qt::AlignCenter);
    Command7 = button(Frame2, QStringLiteral("Command7"), QStringLiteral("Kapat"),
                      {200, 196, 200, 76}, 18);
}

void TerminalForm::buildTotals(QWidget* form) {
    using F = entry::GridColumn::Format;
    // Totals frame.
    Frame3 = named(new QFrame(form), QStringLiteral("Frame3"), QString(), {8, 64, 1008, 696});
    Frame3->setProperty("role", QStringLiteral("overlay"));
    Label3 = label(Frame3, QStringLiteral("Label3"), QString(), {16, 8, 600, 44}, 18, true);
    TotalsRoad =
        label(Frame3, QStringLiteral("TotalsRoad"), QString(), {420, 8, 572, 44}, 14, true);
    TotalsRoad->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    DBGrid2 = grid(Frame3, QStringLiteral("DBGrid2"), {16, 56, 976, 496});
    // The strip lies under the totals: what a key or scan did here is said on the panel itself.
    TotalsStatus =
        label(Frame3, QStringLiteral("TotalsStatus"), QString(), {16, 556, 976, 32}, 12, false);
    DBGrid2->setModel(new entry::RecordsetModel(
        DataTemp,
        {{QStringLiteral("Stok Adı"), n::stok::StokAdi, F::Text},
         // The price the line was booked at: a purchase's is the purchase price.
         {QStringLiteral("Fiyat"), n::stok::Fiyat2, F::Money},
         {QStringLiteral("Miktar"), n::stok::KalanB, F::GeneralNumber},
         {QStringLiteral("Tutar"), n::stok::GirenTutar, F::Money}},
        DBGrid2));
    DBGrid2->setColumnWidth(0, 476);
    DBGrid2->setColumnWidth(1, 160);
    DBGrid2->setColumnWidth(2, 150);
    DBGrid2->setColumnWidth(3, 170);
    Label4 = label(Frame3, QStringLiteral("Label4"), QStringLiteral("Toplam "), {16, 592, 520, 88},
                   22, true);
    Command8[0] = button(Frame3, QStringLiteral("Command8(0)"), QStringLiteral("Vazgeç"),
                         {576, 600, 200, 80}, 18);
    Command8[1] = button(Frame3, QStringLiteral("Command8(1)"), QStringLiteral("Tamam"),
                         {792, 600, 200, 80}, 18);
    Command8[1]->setProperty("role", QStringLiteral("confirm"));
}

void TerminalForm::buildLabelPreview(QWidget* form) {
    // Price label preview.
    Frame4 = named(new QFrame(form), QStringLiteral("Frame4"), QString(), {212, 152, 600, 420});
    Frame4->setProperty("role", QStringLiteral("overlay"));
    Text3 = named(new QLineEdit(Frame4), QStringLiteral("Text3"), QString(), {24, 20, 552, 44});
    setPointSize(Text3, 14);
    Picture1 = named(new labels::LabelView(Frame4), QStringLiteral("Picture1"), QString(),
                     {24, 76, 552, 241});  // 4535 × 1984 twips, shown enlarged
    const std::array<QRect, 4> labelRects = {QRect{53, 34, 164, 28}, QRect{173, 74, 5, 24},
                                             QRect{202, 100, 93, 30}, QRect{106, 6, 86, 28}};
    for (int i = 0; i < 4; ++i) {
        Label8[i] = label(Picture1, QStringLiteral("Label8(%1)").arg(i), QString(), labelRects[i],
                          i == 2 ? 18 : 15.75);
        Label8[i]->setAlignment(i == 2 ? (Qt::AlignRight | Qt::AlignVCenter) : Qt::AlignCenter);
    }
    // The captions hold the label's texts for whoever reads them; the picture draws them.
    for (QLabel* caption : Label8)
        caption->setVisible(false);
    Image1 = named(new QLabel(Picture1), QStringLiteral("Image1"), QString(), {208, 60, 90, 39});
    Command5[0] = button(Frame4, QStringLiteral("Command5(0)"), QStringLiteral("Kapat"),
                         {104, 332, 184, 76}, 18);
    Command5[1] = button(Frame4, QStringLiteral("Command5(1)"), QStringLiteral("Yaz"),
                         {312, 332, 184, 76}, 18);
    Command5[1]->setProperty("role", QStringLiteral("confirm"));
}

void TerminalForm::buildMenus() {
    Menupop = new QMenu(this);
    Menupop->setObjectName(QStringLiteral("Menupop"));
    SrvIp = Menupop->addAction(QStringLiteral("Server İp"));
    SrvIp->setObjectName(QStringLiteral("SrvIp"));
    connect(SrvIp, &QAction::triggered, this, [this] { guarded([this] { SrvIp_Click(); }); });

    MnPop = new QMenu(this);
    MnPop->setObjectName(QStringLiteral("MnPop"));
    const QStringList kinds = {QStringLiteral("Depo"), QStringLiteral("Cari")};
    for (int i = 0; i < 2; ++i) {
        SbCr[i] = MnPop->addAction(kinds[i]);
        SbCr[i]->setObjectName(QStringLiteral("SbCr(%1)").arg(i));
        SbCr[i]->setCheckable(true);
    }

    // What a screen reader says for the controls without a caption, or whose caption is a sign
    // or a short word: the operator's words. The object names stay the system's.
    const std::initializer_list<std::pair<QWidget*, const char*>> spoken = {
        {centralWidget(), "Terminal"},
        {Text1, "Barkod / Stok Adı"},
        {Text2, "Miktar"},
        {Combo1, "Hedef"},
        {Command6, "Klavye"},
        {Command2, "Miktarı işle"},
        {Command3, "Satırı sil"},
        {PriceCmd, "Fiyat gir"},
        {DBGrid1, "Stok listesi"},
        {DBGrid2, "Seçilenler"},
        {Frame1, "İşlem seçimi"},
        {Frame2, "Cari bakiyesi"},
        {Label2, "Bakiye"},
        {Frame3, "Toplamlar"},
        {Label3, "Toplamlar"},
        {TotalsRoad, "Yapılacak işlem"},
        {TotalsStatus, "Son işlem"},
        {StatusStrip, "Durum"},
        {Frame4, "Fiyat etiketi"},
        {Text3, "Etiket barkodu"},
        {Picture1, "Etiket önizlemesi"},
        {Label8[0], "Etiketteki stok adı"},
        {Label8[1], "Etiket notu"},
        {Label8[2], "Etiketteki fiyat"},
        {Label8[3], "Firma adı"},
        {Image1, "Yerli üretim"},
        {Label7, "Satır yüksekliği"},
        {TextSet, "Odak alanı"},
        {cmbMouseWheel, "Fare tekerleği"},
        {Menupop, "Ayarlar menüsü"},
        {MnPop, "İş türü menüsü"},
    };
    for (const auto& [widget, name] : spoken)
        widget->setAccessibleName(QString::fromUtf8(name));
    Command6->setAccessibleDescription(QStringLiteral("Dokunmatik klavyeyi açar veya kapatır"));
}

const QWidget* TerminalForm::touchButtonModel() const {
    return Command8[0];
}

QString TerminalForm::workingCopyPath() const {
    return app::workingCopyPath(m_context.env, m_terminalNumber);
}

void TerminalForm::guarded(const std::function<void()>& handler) {
    QString failure;
    {
        const core::WaitObserverScope watch(m_waitPanel.get());
        try {
            handler();
        } catch (const std::exception& e) {
            failure = failureText(e);
        } catch (...) {
            failure = QStringLiteral("Beklenmeyen bir hata oluştu; hiçbir şey yazılmadı.");
        }
    }
    // The work that waited is over: the panel goes, whether or not there is a message to show.
    m_waitPanel->done();
    if (!failure.isEmpty()) m_context.messages->inform(failure);
}

bool TerminalForm::CopyDatabaseFile(const QString& source, const QString& target) {
    CopyProgress->setValue(0);
    // A window not yet shown has no progress to show.
    m_road = modes::copying(m_road, isVisible());
    render();
    const auto result = filecopy::copyDatabaseFile(
        source, target, m_context.messages,
        [this](int percent) {
            // Painted only when its figure changes: not at every block of a large file.
            if (!m_road.copying || percent == CopyProgress->value()) return;
            CopyProgress->setValue(percent);
            CopyProgress->repaint();
        },
        [](bool busy) {
            if (busy)
                QGuiApplication::setOverrideCursor(Qt::WaitCursor);
            else
                QGuiApplication::restoreOverrideCursor();
        });
    m_road = modes::copying(m_road, false);
    render();
    // The operator is told which file failed and why (a full disk, a server that refused).
    if (!result.ok) {
        const QString why = result.cause.isEmpty() ? result.errMsg : result.cause;
        m_context.messages->inform(why.isEmpty() ? CopyFailed : CopyFailed + u'\n' + why);
    }
    return result.ok;
}

bool TerminalForm::Form_Load() {
    const AppEnvironment& env = m_context.env;
    m_terminalNumber = app::terminalNumber(env.executableName);
    render();  // the terminal's number, in the top bar

    deleteStaleLockFiles(env.workFolder);

    if (m_context.serverPathOverride) {
        m_serverPath = *m_context.serverPathOverride;
    } else if (m_context.ctrlHeld && m_context.ctrlHeld()) {
        m_serverPath = DefaultServerPath;
    } else {
        m_serverPath =
            m_context.settings->GetSetting(SettingsSection, KeyServerPath, DefaultServerPath);
    }

    m_launchServerPath = m_serverPath;

    DataCari->setDatabaseName(m_serverPath + n::files::Cari);
    DataCari->setRecordSource(data::sources::CariByCode);
    try {
        data::RefreshData(*DataCari);
    } catch (const data::DatabaseError&) {
        m_context.messages->inform(ConnectionFailed);
        return false;
    }

    // The basket of the last run stays; a lost answer to its last "Tamam" is settled before any
    // of its lines may change.
    try {
        data::basket::ensureFile(workingCopyPath());
        if (data::hasPending(workingCopyPath())) m_road = modes::answerLost(m_road);
    } catch (const data::DatabaseError& e) {
        m_context.messages->inform(e.text());
    }

    DataCariHar->setDatabaseName(m_serverPath + n::files::Cari);
    DataCariHar->setRecordSource(n::CariHareket);
    DataStok->setDatabaseName(m_serverPath + n::files::Stok);
    DataStok->setRecordSource(n::StokKartlar);
    DataStokHar->setDatabaseName(m_serverPath + n::files::Stok);
    DataStokHar->setRecordSource(n::StokHareket);
    DataFatura->setDatabaseName(m_serverPath + n::files::Fatura);
    DataFatura->setRecordSource(n::Faturalar);
    DataFatHar->setDatabaseName(m_serverPath + n::files::Fatura);
    DataFatHar->setRecordSource(n::FatHareket);
    IndexPrimary->setDatabaseName(m_serverPath + n::files::Index);
    IndexPrimary->setRecordSource(n::Tarih);
    IndexSecondary->setDatabaseName(m_serverPath + n::files::Index);
    IndexSecondary->setRecordSource(n::Mdbindex);
    DataTemp->setDatabaseName(placeholderPath(env));
    DataTemp->setRecordSource(n::StokKartlar);
    DataTemp->setReadOnly(true);  // until a working copy is prepared: never written

    // A control that cannot be bound stays without data; the operator is told which, once.
    QStringList failed;
    for (data::DataControl* c : {DataTemp, DataCari, DataCariHar, DataStokHar, DataFatura,
                                 DataFatHar, IndexPrimary, IndexSecondary}) {
        try {
            data::RefreshData(*c);
        } catch (const data::DatabaseError& e) {
            failed << e.text();
        }
    }
    if (!failed.isEmpty()) {
        m_context.messages->inform(QStringLiteral("Bazı veritabanları açılamadı:\n") +
                                   failed.join(u'\n'));
    }
    return true;
}

void TerminalForm::Form_Activate() {
    // Once only: a later activation must not remake the working copy under the entered lines.
    if (m_road.started) return;
    m_road = modes::activate(m_road);
    // A kiosk has no window manager to give the window the keyboard: it takes it, so a scan or a
    // function key works before the first tap.
    activateWindow();
    guarded([this] { restorePlacement(); });
    const int workKind =
        m_context.settings->GetSetting(SettingsSection, KeyWorkKind, QStringLiteral("0")).toInt();
    Settings& settings = *m_context.settings;
    m_scaleFormats = entry::ScaleFormats::load(
        {[&settings](const QString& k) {
             return settings.GetSetting(entry::ScaleSection, k, QString());
         },
         [&settings](const QString& k, const QString& v) {
             return settings.SaveSetting(entry::ScaleSection, k, v);
         }});
    bool restored = false;
    guarded([this, workKind, &restored] {
        restored = restoreBasket();
        if (restored) return;
        // The lines of the last run were written: the start says which document they became,
        // unless they went into other books than these (the number would name another document).
        const auto basket =
            data::Database::open(workingCopyPath(), data::Database::Durability::Full);
        const auto road = data::basket::savedRoad(*basket);
        const QString written =
            road && modes::dataDirectory(road->serverPath) == modes::dataDirectory(m_serverPath)
                ? data::basket::lastWritten(*basket)
                : QString();
        SbCr_Click(workKind == 1 ? 1 : 0);
        if (!written.isEmpty() && m_road.outcome.isEmpty())
            say(QStringLiteral("Son yazılan: %1").arg(written));
    });
    guarded([this, restored] {
        data::RefreshData(*DataStok);
        // A restored basket's search box names its row (see Combo1_Click).
        if (restored) return;
        data::Recordset& rs = DataStok->recordset();
        if (rs.hasCurrent()) Text1->setText(rs.field(n::stok::StokAdi).toString());
    });
    guarded([this] {
        loadLayout(QStringLiteral("2"), DBGrid1);
        loadLayout(QStringLiteral("3"), DBGrid2);
        for (QTableView* grid : {DBGrid1, DBGrid2})
            rememberColumns(grid);
    });
    cmbMouseWheel->clear();
    cmbMouseWheel->addItems({QStringLiteral("Up"), QStringLiteral("Idle"), QStringLiteral("Down")});
    cmbMouseWheel->setCurrentIndex(1);
    const CompanyName company = readOrCreateCompanyName(m_context.env.workFolder);
    if (company.name) {
        m_road = modes::labelCompany(m_road, *company.name);
        render();
    }
    if (!company.error.isEmpty()) m_context.messages->inform(company.error);
    m_flagText.clear();
    m_activated = true;
    // The shown name is selected, so the first scan replaces it instead of adding to it.
    Text1->setFocus(Qt::OtherFocusReason);
    Text1->selectAll();
}

double TerminalForm::twipsPerPixel() const {
    const double dpi = logicalDpiX();
    return dpi > 0 ? 1440.0 / dpi : 15.0;
}

void TerminalForm::restorePlacement() {
    Settings& s = *m_context.settings;
    auto read = [&s](const QString& name) {
        return s.ReadRegistryText(Settings::Root::CurrentUser, PropertiesKey, name);
    };
    QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    // Without a window manager nobody else gives a full-screen window the screen's size.
    if (m_context.fullScreen) {
        if (screen) setGeometry(screen->geometry());
        return;
    }
    const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    const QString top = read(QStringLiteral("TerTop"));
    if (!top.isEmpty()) {
        const double tpp = twipsPerPixel();
        const int y = qRound(top.toDouble() / tpp);
        const int x = qRound(read(QStringLiteral("TerLeft")).toDouble() / tpp);
        const int w = qRound(read(QStringLiteral("TerWidth")).toDouble() / tpp);
        const int h = qRound(read(QStringLiteral("TerHeight")).toDouble() / tpp);
        const QRect saved(x, y, w, h);
        // A placement from another screen layout must not put the window out of reach: it goes
        // on the monitor of the window's desktop it overlaps most, and no part of it is off it.
        QScreen* on = nullptr;
        int overlap = 0;
        for (QScreen* sc : screen ? screen->virtualSiblings() : QGuiApplication::screens()) {
            const QRect common = sc->availableGeometry().intersected(saved);
            if (common.width() * common.height() > overlap) {
                overlap = common.width() * common.height();
                on = sc;
            }
        }
        if (w >= 200 && h >= 150 && on) {
            const QRect placed = placedOnScreen(saved, on->availableGeometry());
            const int extraW = frameGeometry().width() - width();
            const int extraH = frameGeometry().height() - height();
            move(placed.topLeft());
            resize(placed.width() - extraW, placed.height() - extraH);
            return;
        }
    }
    // A screen smaller than the design gets the window scaled down to fit it.
    QRect frame = frameGeometry();
    if (frame.width() > available.width() || frame.height() > available.height()) {
        resize(std::min(width(), available.width() - (frame.width() - width())),
               std::min(height(), available.height() - (frame.height() - height())));
        frame = frameGeometry();
    }
    move(available.x() + (available.width() - frame.width()) / 2,
         available.y() + (available.height() - frame.height()) / 2);
}

void TerminalForm::savePlacement() {
    Settings& s = *m_context.settings;
    const double tpp = twipsPerPixel();
    const QRect frame = frameGeometry();
    auto write = [&](const QString& name, int pixels) {
        s.WriteRegistryText(Settings::Root::CurrentUser, PropertiesKey, name,
                            QString::number(qRound(pixels * tpp)));
    };
    write(QStringLiteral("TerTop"), frame.y());
    write(QStringLiteral("TerLeft"), frame.x());
    write(QStringLiteral("TerWidth"), frame.width());
    write(QStringLiteral("TerHeight"), frame.height());
}

void TerminalForm::SrvIp_Click() {
    if (m_serverPath.isEmpty()) m_serverPath = DefaultServerPath;
    // The stored path is proposed, not the branch warehouse work moved to: confirming the
    // proposal must not make that branch the start company for good.
    const QString proposed =
        m_context.settings->GetSetting(SettingsSection, KeyServerPath, m_launchServerPath);
    bool accepted = false;
    const QString answer = m_context.messages->askText(
        QStringLiteral("Ana Makina İp Numarası"),
        QStringLiteral("Ip Numarası Giriniz..\n\n( \\\\127.0.0.1\\RezoruviZada\\01 ) Gibi") +
            QStringLiteral("\n\nYolun sonundaki iki rakam şirketi gösterir; önerilen yol %1 "
                           "numaralı şirketin defterleri.")
                .arg(modes::companyOf(proposed)),
        proposed, &accepted);
    const QString path = answer.trimmed();
    // Cancel or a blank answer keeps the books in use; an empty path would point every later
    // file name at the program's current folder.
    if (!accepted || path.isEmpty()) return;
    m_serverPath = path;
    if (!m_context.settings->SaveSetting(SettingsSection, KeyServerPath, path))
        m_context.messages->inform(QStringLiteral("Sunucu yolu kaydedilemedi."));
}

bool TerminalForm::event(QEvent* e) {
    const bool handled = QMainWindow::event(e);
    // The window is painted before the activation's work begins, so the operator never looks at
    // a black window; the first painting counts as an activation even where no window manager
    // activates windows.
    const bool painting = e->type() == QEvent::UpdateRequest || e->type() == QEvent::Paint;
    if (painting && !m_painted) {
        m_painted = true;
        QMetaObject::invokeMethod(this, &TerminalForm::Form_Activate, Qt::QueuedConnection);
    } else if (e->type() == QEvent::WindowActivate && m_painted) {
        QMetaObject::invokeMethod(this, &TerminalForm::Form_Activate, Qt::QueuedConnection);
    }
    return handled;
}

void TerminalForm::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::RightButton) {
        Menupop->popup(e->globalPosition().toPoint());
        return;
    }
    QMainWindow::mousePressEvent(e);
}

void TerminalForm::closeEvent(QCloseEvent* e) {
    Form_QueryUnload();
    Form_Unload();
    e->accept();
}

void TerminalForm::Form_QueryUnload() {
    // What the journal still waits for goes beside the books before the terminal stops.
    if (m_basket) flushJournal();
    // Closing after a count keeps what was found; closing never stops here.
    if (!(m_road.operation == modes::Operation::Count) || !m_road.usable) return;
    guarded([this] {
        data::RefreshData(*DataTemp);
        const std::vector<CountDifference> cards = countDifferences(DataTemp->recordset());
        if (cards.empty()) return;
        const QString folder =
            m_context.reportFolder.isEmpty() ? defaultReportFolder() : m_context.reportFolder;
        const QString desktop =
            m_context.desktopFolder.isEmpty()
                ? QStandardPaths::writableLocation(QStandardPaths::DesktopLocation)
                : m_context.desktopFolder;
        const QString error = writeCountReport(
            folder, desktop, m_road.target,
            reportBlock(m_context.clock ? m_context.clock->now() : QDateTime::currentDateTime(),
                        cards));
        if (!error.isEmpty()) m_context.messages->inform(error);
    });
}

void TerminalForm::Form_Unload() {
    // A window that never came up has no placement of the operator's to keep.
    if (m_activated) guarded([this] { savePlacement(); });
    for (data::DataControl* c : {DataTemp, DataCari, DataCariHar, DataStok, DataStokHar, DataFatura,
                                 DataFatHar, IndexPrimary, IndexSecondary})
        c->Close();
    if (core::lockOwnedByThisProcess(m_ownLock)) QFile::remove(m_ownLock);
}

}  // namespace app
