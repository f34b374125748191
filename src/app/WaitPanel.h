#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <QString>
#include <functional>

#include "core/Messages.h"
#include "core/Waiting.h"

class QLabel;
class QPushButton;
class QWidget;

namespace app {

/// Says on screen what the terminal waits for (another terminal's write, the invoice-number
/// lock, the server) and offers "Vazgeç". It shows itself only once a wait lasts long enough to
/// be noticed; while it is up the window keeps painting, and the panel, being modal, takes every
/// tap and key, so nothing can change the lines under the waiting work.
class WaitPanel final : public core::WaitObserver {
  public:
    /// `model`: the control whose font and size the panel's text and button take, so the panel
    /// reads as the rest of the window at any size.
    WaitPanel(QWidget* window, QWidget* model);
    ~WaitPanel() override;
    bool keepWaiting(const QString& what, std::chrono::milliseconds waited) override;
    bool keepWorking(const QString& what, std::chrono::milliseconds running) override;
    /// Runs `work` (which writes or asks the books) on a thread of its own while the window
    /// waits for it, painting: past ShowAfter the panel says what is awaited, `what` or the
    /// work's own wait, with its running seconds, and "Vazgeç" (or Escape) gives the work up,
    /// shutting its server connections at once. Returns when the work has ended, however it
    /// ended; its exception is thrown here. The work opens connections of its own.
    void run(const QString& what, const std::function<void()>& work);
    /// The work that waited is over, however it ended: the panel goes.
    void done() { hide(); }
    /// The panel, while shown (tests press its button).
    QDialog* dialog() const { return m_dialog; }

    /// A wait shorter than this shows nothing.
    static constexpr std::chrono::milliseconds ShowAfter{300};

  private:
    void show();
    void hide();

    QWidget* m_window;
    QWidget* m_model;
    QPointer<QDialog> m_dialog;
    QLabel* m_text = nullptr;
    QPushButton* m_cancel = nullptr;
    bool m_givenUp = false;
    bool m_pointerChanged = false;
    QElapsedTimer m_sinceLastCall;
};

/// The operator's messages with the wait panel put away first: whatever ends a wait (its error,
/// what was written) is read in a box of its own, never behind the panel, however the work that
/// waited reports it.
class AfterWaitMessages final : public core::Messages {
  public:
    AfterWaitMessages(WaitPanel& panel, core::Messages& shown) : m_panel(panel), m_shown(shown) {}
    void inform(const QString& text) override;
    bool ask(const QString& text) override;
    QString askText(const QString& title, const QString& prompt, const QString& proposed,
                    bool* accepted) override;

  private:
    WaitPanel& m_panel;
    core::Messages& m_shown;
};

}  // namespace app
