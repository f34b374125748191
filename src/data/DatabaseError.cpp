#include "data/DatabaseError.h"

namespace data {

DatabaseError::DatabaseError(const QString& text, bool answerGivenUp)
    : std::runtime_error(text.toStdString()), m_text(text), m_answerGivenUp(answerGivenUp) {}

}  // namespace data
