#pragma once

#include <QString>

namespace core {

/// Every message and question the terminal puts to the operator goes through here, so tests can
/// answer questions and read what was said.
class Messages {
  public:
    virtual ~Messages();
    virtual void inform(const QString& text) = 0;
    /// A yes/no question; true means Yes.
    virtual bool ask(const QString& text) = 0;
    /// An input box; `accepted` is false when the operator cancelled (the result is then empty).
    virtual QString askText(const QString& title, const QString& prompt, const QString& proposed,
                            bool* accepted) = 0;
};

}  // namespace core
