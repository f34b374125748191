#pragma once

#include <QString>
#include <stdexcept>

namespace data {

/// The one error the data layer throws; its text is meant for the operator.
class DatabaseError : public std::runtime_error {
  public:
    explicit DatabaseError(const QString& text, bool answerGivenUp = false);
    QString text() const { return m_text; }
    /// The operator gave up waiting for the server's answer: nothing failed that could be named.
    bool answerGivenUp() const { return m_answerGivenUp; }

  private:
    QString m_text;
    bool m_answerGivenUp;
};

/// What a writer waits for when another holds the books.
inline const QString BooksBusyText = QStringLiteral("Başka bir terminal yazıyor");

/// Another connection holds what a statement needs (a file's write lock, a server row lock):
/// the work may be run again once it is free. `givenUp` when the wait was already watched and
/// given up, so it is not to be run again.
class BusyError : public DatabaseError {
  public:
    BusyError(const QString& text, const QString& awaited, bool givenUp)
        : DatabaseError(text), m_awaited(awaited), m_givenUp(givenUp) {}
    /// In Turkish, what is awaited ("Başka bir terminal yazıyor").
    QString awaited() const { return m_awaited; }
    bool givenUp() const { return m_givenUp; }

  private:
    QString m_awaited;
    bool m_givenUp;
};

}  // namespace data
