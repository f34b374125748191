#include "app/MessageBoxMessages.h"

#include "app/Style.h"

#include <QGuiApplication>
#include <QInputDialog>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QScreen>

namespace app {

namespace {

// A busy pointer left on by the work that raised the message must not hide the box's buttons.
struct NormalPointer {
    int restored = 0;
    NormalPointer() {
        while (QGuiApplication::overrideCursor()) {
            QGuiApplication::restoreOverrideCursor();
            ++restored;
        }
    }
    ~NormalPointer() {
        for (int i = 0; i < restored; ++i)
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    }
};

// At the touch size a long prompt or path would push a box's buttons off a small screen: its
// texts wrap, and it is never larger than the screen it opens on.
void fitOnScreen(QDialog& box, const QWidget* parent) {
    QScreen* screen =
        parent && parent->screen() ? parent->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QSize area = screen->availableGeometry().size();
    const QMargins margins = box.layout() ? box.layout()->contentsMargins() : QMargins();
    for (QLabel* text : box.findChildren<QLabel*>()) {
        text->setWordWrap(true);
        text->setMaximumWidth(area.width() - margins.left() - margins.right());
    }
    box.setMaximumSize(area);
    box.adjustSize();
    if (box.width() > area.width()) box.resize(area.width(), box.height());
}

}  // namespace

int MessageBoxMessages::run(QDialog& box) {
    NormalPointer pointer;
    touchSized(&box, m_model);
    fitOnScreen(box, m_parent);
    const int result = box.exec();
    if (m_parent) {
        m_parent->activateWindow();
        m_parent->raise();
        // Without a window manager nothing keeps a window on top: the touch keyboard is raised
        // above the window again.
        for (QWidget* w : m_parent->findChildren<QWidget*>())
            if (w->isWindow() && w->isVisible() && w->windowFlags() & Qt::WindowStaysOnTopHint)
                w->raise();
    }
    return result;
}

void MessageBoxMessages::inform(const QString& text) {
    QMessageBox box(QMessageBox::Information, m_title, text, QMessageBox::Ok, m_parent);
    run(box);
}

bool MessageBoxMessages::ask(const QString& text) {
    QMessageBox box(QMessageBox::Question, m_title, text, QMessageBox::Yes | QMessageBox::No,
                    m_parent);
    return run(box) == QMessageBox::Yes;
}

QString MessageBoxMessages::askText(const QString& title, const QString& prompt,
                                    const QString& proposed, bool* accepted) {
    QInputDialog box(m_parent);
    box.setWindowTitle(title);
    box.setLabelText(prompt);
    box.setTextValue(proposed);
    const bool ok = run(box) == QDialog::Accepted;
    if (accepted) *accepted = ok;
    return ok ? box.textValue() : QString();
}

}  // namespace app
