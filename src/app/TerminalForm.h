#pragma once

#include <QHash>
#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>
#include <optional>

#include "app/AppEnvironment.h"
#include "core/Money.h"
#include "data/Basket.h"
#include "data/Journal.h"
#include "data/Pending.h"
#include "entry/ScaleLabel.h"
#include "layout/ResizeFrm.h"
#include "modes/KeyRoute.h"
#include "modes/RoadState.h"

class QAbstractButton;
class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QTableView;

namespace core {
class Clock;
class Messages;
}  // namespace core
namespace data {
class DataControl;
class Database;
}  // namespace data
namespace entry {
class NumberBox;
}
namespace labels {
class LabelView;
}

namespace app {

class Settings;
class WaitPanel;

/// What the main window needs from outside: where it runs, how it talks to the operator, where
/// its settings live, and the start-up choices (Ctrl held, --server-path).
struct TerminalContext {
    AppEnvironment env;
    core::Messages* messages = nullptr;
    core::Clock* clock = nullptr;
    Settings* settings = nullptr;
    std::function<bool()> ctrlHeld;
    std::optional<QString> serverPathOverride;
    QString reportFolder;     // count-difference reports; empty: the platform's default
    QString desktopFolder;    // where the report's link goes; empty: the user's desktop
    QString labelPdfFolder;   // print labels as PDF files here instead of on the printer
    bool fullScreen = false;  // a kiosk: the window fills its screen, the placement is not applied
};

/// The terminal's one screen. It owns the controls and the data controls, wires their events to
/// the rules and shows the results; the rules themselves live in the subsystem libraries.
class TerminalForm : public QMainWindow {
    Q_OBJECT
  public:
    explicit TerminalForm(TerminalContext context, QWidget* parent = nullptr);
    ~TerminalForm() override;

    /// Start-up: terminal number, lock files, server path, working copy, bindings. Returns false
    /// when the books cannot be reached and the program must end.
    bool Form_Load();
    /// The set-up of the first activation; does nothing once it has run (Command4 enabled).
    void Form_Activate();

    QString serverPath() const { return m_serverPath; }
    int terminalNumber() const { return m_terminalNumber; }
    QString workingCopyPath() const;
    QString flagText() const { return m_flagText; }
    /// A touch-sized button of the window: dialogs read at its font and size.
    const QWidget* touchButtonModel() const;

    /// "Server İp" from the pop-up menu.
    void SrvIp_Click();

    // The operator's road; each runs as the control's event would.
    void SbCr_Click(int index);
    void Check1_Click(int index);
    void Combo1_Click();
    void Text1_Search();
    void Command1_Click(int index);
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void FatCmd_Click();
    void Command6_Click();
    /// "Fiyat": the next entry in the number box sets the current line's price.
    void PriceCmd_Click();
    void Command7_Click();
    void Command8_Click(int index);

    core::Money WorkingSetTotal() const { return m_road.total; }
    const modes::RoadState& roadState() const { return m_road; }
    int workKind() const { return static_cast<int>(m_road.kind); }

  protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;

  private:
    void buildControls();
    void buildEntryRow(QWidget* form);
    void buildBottomAndModes(QWidget* form);
    void buildTotals(QWidget* form);
    void buildLabelPreview(QWidget* form);
    void buildMenus();
    void wireRoad();
    void wireFocus();
    void wireKeys();
    void addShortcut(const QKeySequence& key, QAbstractButton* button, const QString& name,
                     modes::RoadButton which);
    bool operationTicked() const;
    /// The only place that shows, hides, enables, ticks or captions the road's controls: all of
    /// it follows from the road state.
    void render();
    /// The parts of render that change only with what they show: the list's columns, the target
    /// box, the number box's kind of entry, the label preview.
    void renderChanged(const std::optional<modes::RoadState>& before);
    bool warehouseWork() const { return m_road.kind == modes::WorkKind::Warehouse; }
    bool totalsOpen() const {
        return m_road.panel == modes::RoadState::Panel::Totals ||
               m_road.panel == modes::RoadState::Panel::InvoiceTotals;
    }
    void releaseWorkingCopy();
    void markWorkingCopyHeld();
    void bindWorkingCopy(const QString& source);
    void bindServerControls();
    void openTotals(bool invoice);
    /// The chosen entry's working set could not be made: no target, and the strip says so.
    void targetNotPrepared(const QString& title);
    /// The label preview's barcode became `barcode`: drawn, and a code that cannot be drawn said.
    void labelBarcodeChanged(const QString& barcode);
    void Command5_Click(int index);
    /// "Tamam" on the account totals screen; false when nothing could be written.
    bool postWorkingSet();
    /// "Tamam" on the invoice screen; false when nothing could be written.
    bool CreateInvoice();
    /// What a document's writing gives back to the frame both "Tamam"s share.
    struct DocumentWrite {
        bool written = false;
        data::PendingResult earlier;  // an earlier write whose answer was lost, settled first
        int lines = 0;
    };
    /// Writes a document behind the wait panel (`invoice`: an invoice, else a posting) and ends
    /// its operation; `written` says what was written. False when nothing could be written.
    bool writeDocument(bool invoice, const std::function<DocumentWrite()>& write,
                       const std::function<void()>& written);
    /// Settles a posting or invoice whose answer was lost, before the entered lines change:
    /// asks the server, tells the operator what became of it and brings the working copy up to
    /// date. False while the server cannot say (the lines must stay as they are).
    bool settlePendingDocument();
    /// "Tamam" found nothing to write: says why; false (the totals stay).
    bool nothingWritten(int lines);
    /// After a failed "Tamam": resolves a lost answer at once; true when nothing is left to post.
    bool afterFailedWrite(bool invoice);
    /// A journal entry of the road the operator is on, or of the road a basket was entered on.
    data::journal::Entry journalEntry(data::journal::Event event, const QString& reason) const;
    data::journal::Entry journalEntry(const data::basket::Road& road) const;
    /// Keeps what never reached the books for the journal: it goes there with the next document
    /// or at the next target choice.
    void keepInJournal(data::journal::Event event, const QString& reason,
                       std::vector<data::Line> lines = {});
    /// Moves the kept entries into the journal beside the books (a target choice, closing).
    void flushJournal();
    void showCurrentRecord();
    /// Shows what "Tamam" will do and the last action's outcome (or refusal) in the strip.
    void renderStatus();
    void say(const QString& outcome);
    /// The grid's name column takes the room the other visible columns leave.
    void refitNameColumn(QTableView* grid);
    // Grids: sorting, touch scrolling, wheel steps and saved column layouts.
    void headerClicked(QTableView* grid, int column);
    void sortBy(QTableView* grid, int column);
    void dragScroll(QTableView* grid, double releaseY);
    void wheelStep(int steps);
    void columnResized(QTableView* grid, int column, int newSize);
    void centreCaptions(QTableView* grid);
    int columnWidth(QTableView* grid, int column);
    /// Keeps the grid's columns, but the name, as proportions of the grid's reference width.
    void rememberColumns(QTableView* grid);
    void saveLayout(QTableView* grid);
    void loadLayout(const QString& number, QTableView* grid);
    QString layoutFile(const QString& number) const;
    bool gridEvent(QTableView* grid, QEvent* e);
    void Form_Resize();
    void openKeyboard();
    void closeKeyboard();
    /// The keyboard between the entry row and the mode panel; the item grid shows its rows below.
    void shareScreenWithKeyboard();
    /// The status strip as high as its text needs, taking the room from the rows above it.
    void fitStatusStrip();
    void gridPressed();
    void gridRowChanged(int row);
    void moveGridRow(int step);
    /// Does what the road's key rule says of a key in the search box or on an open panel; false
    /// when the key is not the road's.
    bool routeKey(QKeyEvent* e, bool searchBox);
    void Form_QueryUnload();
    void Form_Unload();
    /// Makes `target` afresh from `source`; false (told to the operator) when it could not.
    bool CopyDatabaseFile(const QString& source, const QString& target);
    /// The local file holding the cards of the stock book `source`: the file itself, or for
    /// books on a server a cache made from its cards once in a run. Empty when it failed (told).
    void readWrittenCards();
    QString cardsFile(const QString& source);
    /// The target's cards as a local file and their name order; nothing when they could not be
    /// read or the operator gave their preparation up.
    std::optional<std::pair<QString, QString>> openCards(const QString& title,
                                                         const QString& source,
                                                         data::basket::View view);
    /// What opening the basket over the cards found of the lines an earlier run left.
    struct BasketStart {
        bool restored = false;    // they are this road's and stay
        int givenUp = 0;          // lines of another road, given up
        bool otherBooks = false;  // those lines were of other books
    };
    /// Opens the basket over the cards for the list's entry `index` and binds the data controls.
    BasketStart startBasket(int index, const QString& title, const QString& cards,
                            const QString& order, data::basket::View view);
    /// A restart's basket is back: its account and row again, and the operator told.
    void basketRestored();
    /// The basket of an earlier run comes back with its road, or nothing when there is none.
    bool restoreBasket();
    /// The target list of a work kind; the first entry is chosen without preparing it.
    QStringList fillTargets(int kind);
    /// The item grid's columns for a ticked operation.
    void showOperationColumns(int index);
    void restorePlacement();
    void savePlacement();
    /// Runs one event handler; any error is shown to the operator and the screen stays usable.
    void guarded(const std::function<void()>& handler);
    double twipsPerPixel() const;

    TerminalContext m_context;
    QString m_serverPath;
    QString m_launchServerPath;  // the books the terminal started on, whatever target came later
    int m_terminalNumber = 1;
    QString m_flagText;  // "HeadClick" while a grid header is being clicked
    bool m_activated = false;
    bool m_painted = false;  // the window has been painted once
    modes::RoadState m_road;
    std::optional<modes::RoadState> m_rendered;     // what the controls show now
    bool m_rowPick = false;                         // a row of DBGrid1 was picked by hand
    entry::ScaleFormats m_scaleFormats;             // the shop's scale label formats
    std::optional<entry::ScaleLabel> m_scaleLabel;  // the label the next booking books
    QStringList m_branchTitles;                     // the head office's branches, company 02 first
    bool m_syncingGrid = false;  // the grid follows the recordset, not the other way round
    double m_dragOrigin = 0;
    QWidget* Form1 = nullptr;                  // the touch keyboard window
    bool m_keyboardOverGrids = false;          // the keyboard sits over the grids' upper rows
    QString m_ownLock;                         // the lock file we wrote for the working copy
    std::shared_ptr<data::Database> m_basket;  // the basket with the target's cards attached
    QString m_cardsSource;  // the stock file the list's cards come from (on a server: kept here)
    std::optional<data::basket::Road> m_restoring;  // the road a restart brings back
    bool m_sortDescending = false;  // the next header sort's direction, shared by both grids
    bool m_layoutBusy = false;      // the program, not the operator, is resizing columns
    bool m_headerPressed = false;   // the operator's finger or mouse is on a grid header
    QPoint m_pressPosition;
    layout::ResizeFrm m_resize;
    std::unique_ptr<WaitPanel> m_waitPanel;       // says what a handler waits for, offers "Vazgeç"
    std::unique_ptr<core::Messages> m_afterWait;  // every message, with the wait panel put away
    QHash<QWidget*, double> m_referenceFonts;
    QSize m_referenceText1Size;
    // Each grid's columns at its reference width; the name column takes what they leave.
    struct GridFit {
        int nameColumn = 0;
        int referenceWidth = 0;
        QHash<int, double> columns;
    };
    QHash<QTableView*, GridFit> m_fits;

    // Data controls, named after their tables.
    data::DataControl* DataCari = nullptr;
    data::DataControl* DataCariHar = nullptr;
    data::DataControl* DataStok = nullptr;
    data::DataControl* DataStokHar = nullptr;
    data::DataControl* DataFatura = nullptr;
    data::DataControl* DataFatHar = nullptr;
    data::DataControl* IndexPrimary = nullptr;
    data::DataControl* IndexSecondary = nullptr;
    data::DataControl* DataTemp = nullptr;

    // Controls, named as the system names them.
    QLabel* Label1 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label7 = nullptr;
    QComboBox* Combo1 = nullptr;
    QLineEdit* Text1 = nullptr;
    entry::NumberBox* Text2 = nullptr;
    QLineEdit* TextSet = nullptr;
    QComboBox* cmbMouseWheel = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* PriceCmd = nullptr;
    QPushButton* Command3 = nullptr;
    QPushButton* Command4 = nullptr;
    QPushButton* Command6 = nullptr;
    QPushButton* FatCmd = nullptr;
    std::array<QPushButton*, 2> Command1{};
    QTableView* DBGrid1 = nullptr;
    QProgressBar* CopyProgress = nullptr;
    QLabel* StatusStrip = nullptr;
    QLabel* TotalsRoad = nullptr;    // the operation and target beside Label3
    QLabel* TotalsStatus = nullptr;  // what the last action on the totals did or why it was refused

    QFrame* Frame1 = nullptr;
    std::array<QCheckBox*, 3> Check1{};

    QFrame* Frame2 = nullptr;
    QLabel* Label2 = nullptr;
    QPushButton* Command7 = nullptr;

    QFrame* Frame3 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QTableView* DBGrid2 = nullptr;
    std::array<QPushButton*, 2> Command8{};

    QFrame* Frame4 = nullptr;
    QLineEdit* Text3 = nullptr;
    labels::LabelView* Picture1 = nullptr;
    std::array<QLabel*, 4> Label8{};
    QLabel* Image1 = nullptr;
    std::array<QPushButton*, 2> Command5{};

    QMenu* Menupop = nullptr;
    QAction* SrvIp = nullptr;
    QMenu* MnPop = nullptr;
    std::array<QAction*, 2> SbCr{};
};

}  // namespace app
