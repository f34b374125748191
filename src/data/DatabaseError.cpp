#include "data/DatabaseError.h"

namespace data {

DatabaseError::DatabaseError(const QString& text)
    : std::runtime_error(text.toStdString()), m_text(text) {}

}  // namespace data
