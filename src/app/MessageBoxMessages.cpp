#include "app/MessageBoxMessages.h"

#include <QGuiApplication>
#include <QInputDialog>
#include <QMessageBox>

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

}  // namespace

void MessageBoxMessages::inform(const QString& text) {
    NormalPointer pointer;
    QMessageBox::information(m_parent, m_title, text, QMessageBox::Ok);
}

bool MessageBoxMessages::ask(const QString& text) {
    NormalPointer pointer;
    return QMessageBox::question(m_parent, m_title, text, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

QString MessageBoxMessages::askText(const QString& title, const QString& prompt,
                                    const QString& proposed, bool* accepted) {
    NormalPointer pointer;
    bool ok = false;
    const QString text =
        QInputDialog::getText(m_parent, title, prompt, QLineEdit::Normal, proposed, &ok);
    if (accepted) *accepted = ok;
    return ok ? text : QString();
}

}  // namespace app
