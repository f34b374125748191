#include "app/WaitPanel.h"

#include "app/Style.h"

#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QTimer>
#include <QVBoxLayout>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "data/AnswerWatch.h"

namespace app {

namespace {
// A waiter asks every few milliseconds; a call after this long belongs to a new wait.
constexpr qint64 NewWaitAfterMs = 1500;
// The work's own waits (another terminal's write, a lock), told from its thread to the window's.
class WaitsOfWork final : public core::WaitObserver {
  public:
    bool keepWaiting(const QString& what, std::chrono::milliseconds waited) override {
        std::lock_guard lock(m_mutex);
        m_what = what;
        m_waited = waited;
        m_told.start();
        return !givenUp;
    }
    bool keepWorking(const QString& what, std::chrono::milliseconds running) override {
        return keepWaiting(what, running);
    }
    // What the work waits for now, if it said so lately.
    std::optional<std::pair<QString, std::chrono::milliseconds>> current() {
        std::lock_guard lock(m_mutex);
        if (!m_told.isValid() || m_told.elapsed() > NewWaitAfterMs) return std::nullopt;
        return std::pair{m_what, m_waited};
    }
    // The work has ended: told to the window's thread.
    void finish() {
        {
            std::lock_guard lock(m_mutex);
            finished = true;
        }
        m_ended.notify_all();
    }
    // Waits up to `limit` for the work's end; true when it ended.
    bool waitForEnd(std::chrono::milliseconds limit) {
        std::unique_lock lock(m_mutex);
        return m_ended.wait_for(lock, limit, [this] { return finished.load(); });
    }
    std::atomic<bool> givenUp{false};
    std::atomic<bool> finished{false};

  private:
    std::mutex m_mutex;
    std::condition_variable m_ended;
    QString m_what;
    std::chrono::milliseconds m_waited{0};
    QElapsedTimer m_told;
};

}  // namespace

void WaitPanel::run(const QString& what, const std::function<void()>& work) {
    using namespace std::chrono;
    WaitsOfWork waits;
    data::GiveUp giveUp;
    std::exception_ptr failure;
    QEventLoop loop;
    QElapsedTimer since;
    since.start();
    std::thread worker([&] {
        {
            const core::WaitObserverScope watched(&waits);
            const data::GiveUpScope givenUp(giveUp);
            try {
                work();
            } catch (...) {
                failure = std::current_exception();
            }
        }
        waits.finish();
        QMetaObject::invokeMethod(
            &loop, [] {}, Qt::QueuedConnection);  // wakes the window
    });
    // Should the window's loop throw, the work is given up and waited for before it unwinds.
    const auto joined = qScopeGuard([&] {
        if (!worker.joinable()) return;
        waits.givenUp = true;
        giveUp.giveUp();
        worker.join();
    });
    // Work that ends before the panel would show runs as if on the window's thread: nothing of
    // the window's (a pending activation, a resize) happens in between.
    if (waits.waitForEnd(ShowAfter)) {
        worker.join();
        m_sinceLastCall.invalidate();
        if (failure) std::rethrow_exception(failure);
        return;
    }
    // The panel's seconds run on while nothing else happens.
    QTimer tick;
    tick.start(100);
    m_givenUp = false;
    while (!waits.finished) {
        // Until the panel shows, no tap or key is taken: nothing may change the lines under
        // the work. Once shown, the panel is modal and takes them all.
        loop.processEvents(m_dialog ? QEventLoop::WaitForMoreEvents
                                    : QEventLoop::WaitForMoreEvents |
                                          QEventLoop::ExcludeUserInputEvents);
        if (waits.finished) break;
        const milliseconds waited(since.elapsed());
        if (waited < ShowAfter) continue;
        if (!m_dialog) show();
        if (m_givenUp && !waits.givenUp) {
            waits.givenUp = true;
            giveUp.giveUp();
            m_cancel->setEnabled(false);
        }
        const auto own = waits.current();
        m_text->setText(waits.givenUp ? QStringLiteral("Vazgeçiliyor…")
                                      : QStringLiteral("%1, bekleniyor… %2 sn")
                                            .arg(own ? own->first : what)
                                            .arg((own ? own->second : waited).count() / 1000));
    }
    worker.join();
    hide();
    m_sinceLastCall.invalidate();
    if (failure) std::rethrow_exception(failure);
}

WaitPanel::WaitPanel(QWidget* window, QWidget* model) : m_window(window), m_model(model) {}

WaitPanel::~WaitPanel() {
    hide();
}

bool WaitPanel::keepWorking(const QString& what, std::chrono::milliseconds running) {
    return keepWaiting(what, running);
}

bool WaitPanel::keepWaiting(const QString& what, std::chrono::milliseconds waited) {
    // A new wait starts fresh: the operator's earlier "Vazgeç" ended only that one.
    if (waited < ShowAfter || !m_sinceLastCall.isValid() ||
        m_sinceLastCall.elapsed() > NewWaitAfterMs) {
        if (m_dialog && waited < ShowAfter) hide();
        m_givenUp = false;
    }
    m_sinceLastCall.start();
    if (waited < ShowAfter) return true;
    if (!m_dialog) show();
    m_text->setText(QStringLiteral("%1, bekleniyor… %2 sn").arg(what).arg(waited.count() / 1000));
    // The panel is modal: this lets the window paint and the panel's button work, nothing else.
    QApplication::processEvents(QEventLoop::AllEvents, 20);
    if (m_givenUp) {
        hide();
        return false;
    }
    return true;
}

void WaitPanel::show() {
    m_dialog = new QDialog(m_window, Qt::Dialog | Qt::FramelessWindowHint);
    m_dialog->setObjectName(QStringLiteral("WaitPanel"));
    m_dialog->setAccessibleName(QStringLiteral("Bekleniyor"));
    m_dialog->setWindowModality(Qt::ApplicationModal);
    touchSized(m_dialog, m_model);
    const int margin = m_dialog->font().pointSize();
    auto* layout = new QVBoxLayout(m_dialog);
    layout->setSpacing(margin);
    layout->setContentsMargins(margin, margin, margin, margin);
    m_text = new QLabel(m_dialog);
    m_text->setObjectName(QStringLiteral("WaitText"));
    layout->addWidget(m_text);
    auto* cancel = new QPushButton(QStringLiteral("Vazgeç"), m_dialog);
    m_cancel = cancel;
    cancel->setObjectName(QStringLiteral("WaitCancel"));
    cancel->setAccessibleName(cancel->text());
    QObject::connect(cancel, &QPushButton::clicked, m_dialog, [this] { m_givenUp = true; });
    // Escape gives the wait up as the button does; the panel stays until the work has ended.
    QObject::connect(m_dialog, &QDialog::rejected, m_dialog, [this] {
        m_givenUp = true;
        if (m_dialog) m_dialog->show();
    });
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(cancel);
    row->addStretch();
    layout->addLayout(row);
    // The wait pointer of the work that waits must not hide the button.
    QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
    m_pointerChanged = true;
    m_dialog->adjustSize();
    if (m_window) {
        m_dialog->resize(std::max(m_dialog->width(), m_window->width() * 2 / 3),
                         m_dialog->height());
        m_dialog->move(m_window->geometry().center() - m_dialog->rect().center());
    }
    m_dialog->show();
    m_dialog->raise();
    m_dialog->activateWindow();
}

void WaitPanel::hide() {
    if (m_pointerChanged) {
        QGuiApplication::restoreOverrideCursor();
        m_pointerChanged = false;
    }
    if (m_dialog) {
        // Gone at once, not later: a window going away after the main one took the keys back
        // would take them along.
        m_dialog->hide();
        delete m_dialog;
        m_dialog = nullptr;
        m_cancel = nullptr;
        if (m_window) m_window->activateWindow();
    }
}

void AfterWaitMessages::inform(const QString& text) {
    m_panel.done();
    m_shown.inform(text);
}

bool AfterWaitMessages::ask(const QString& text) {
    m_panel.done();
    return m_shown.ask(text);
}

QString AfterWaitMessages::askText(const QString& title, const QString& prompt,
                                   const QString& proposed, bool* accepted) {
    m_panel.done();
    return m_shown.askText(title, prompt, proposed, accepted);
}

}  // namespace app
