#pragma once

#include <QDialog>
#include <QPointer>
#include <QWidget>

#include "core/Messages.h"

namespace app {

/// Messages shown as message boxes with the application's title.
class MessageBoxMessages final : public core::Messages {
  public:
    explicit MessageBoxMessages(QString title) : m_title(std::move(title)) {}
    /// The window the boxes belong to, and the control whose font and size they read at.
    void setParent(QWidget* parent, const QWidget* model = nullptr) {
        m_parent = parent;
        m_model = model;
    }

    void inform(const QString& text) override;
    bool ask(const QString& text) override;
    QString askText(const QString& title, const QString& prompt, const QString& proposed,
                    bool* accepted) override;

  private:
    QString m_title;
    QPointer<QWidget> m_parent;
    QPointer<const QWidget> m_model;
    /// Runs a box and gives the keyboard back to the window, which a kiosk without a window
    /// manager would not do.
    int run(QDialog& box);
};

}  // namespace app
