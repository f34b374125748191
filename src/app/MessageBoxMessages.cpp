#include "app/MessageBoxMessages.h"

#include "app/Style.h"

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

int MessageBoxMessages::run(QDialog& box) {
    NormalPointer pointer;
    touchSized(&box, m_model);
    const int result = box.exec();
    if (m_parent) {
        m_parent->activateWindow();
        m_parent->raise();
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
