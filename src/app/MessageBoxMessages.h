#pragma once

#include <QPointer>
#include <QWidget>

#include "core/Messages.h"

namespace app {

/// Messages shown as message boxes with the application's title.
class MessageBoxMessages final : public core::Messages {
  public:
    explicit MessageBoxMessages(QString title) : m_title(std::move(title)) {}
    void setParent(QWidget* parent) { m_parent = parent; }

    void inform(const QString& text) override;
    bool ask(const QString& text) override;
    QString askText(const QString& title, const QString& prompt, const QString& proposed,
                    bool* accepted) override;

  private:
    QString m_title;
    QPointer<QWidget> m_parent;
};

}  // namespace app
