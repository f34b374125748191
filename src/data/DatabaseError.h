#pragma once

#include <QString>
#include <stdexcept>

namespace data {

/// The one error the data layer throws; its text is meant for the operator.
class DatabaseError : public std::runtime_error {
  public:
    explicit DatabaseError(const QString& text);
    QString text() const { return m_text; }

  private:
    QString m_text;
};

}  // namespace data
