#include "app/WaitPanel.h"

#include "app/Style.h"

#include <QApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace app {

namespace {
// A waiter asks every few milliseconds; a call after this long belongs to a new wait.
constexpr qint64 NewWaitAfterMs = 1500;
}  // namespace

WaitPanel::WaitPanel(QWidget* window, QWidget* model) : m_window(window), m_model(model) {}

WaitPanel::~WaitPanel() {
    hide();
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
    cancel->setObjectName(QStringLiteral("WaitCancel"));
    cancel->setAccessibleName(cancel->text());
    QObject::connect(cancel, &QPushButton::clicked, m_dialog, [this] { m_givenUp = true; });
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
        m_dialog->hide();
        m_dialog->deleteLater();
        m_dialog = nullptr;
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
