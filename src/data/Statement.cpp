#include "data/Statement.h"

#include "data/Database.h"
#include "data/Dialect.h"

namespace data {

// The engine is chosen once per statement, not at every row.
Statement::Statement(Database& db, const QString& sql)
    : m_write(db.dialect().prepareWrite(db, sql)) {}

Statement::~Statement() = default;

}  // namespace data
