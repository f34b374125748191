#include "data/Statement.h"

#include <sqlite3.h>
#include <QSqlError>
#include <QSqlQuery>

#include "data/Database.h"
#include "data/DatabaseError.h"

namespace data {

Statement::Statement(Database& db, const QString& sql) : m_db(db), m_sql(sql) {
    if (db.engine() == Database::Engine::PostgreSQL) {
        m_query = &db.prepared(sql);
        return;
    }
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(db.handle(), text.constData(), static_cast<int>(text.size()), &m_stmt,
                           nullptr) != SQLITE_OK)
        db.raise(QStringLiteral("Sorgu hazırlanamadı"),
                 QString::fromUtf8(sqlite3_errmsg(db.handle())),
                 QString::number(sqlite3_errcode(db.handle())), sql);
}

Statement::~Statement() {
    sqlite3_finalize(m_stmt);
}

Statement& Statement::bind(int index, const QVariant& value) {
    if (m_query) {
        m_query->bindValue(index - 1, value);
        return *this;
    }
    int rc = SQLITE_OK;
    switch (value.typeId()) {
        case QMetaType::UnknownType:
            rc = sqlite3_bind_null(m_stmt, index);
            break;
        case QMetaType::Double:
        case QMetaType::Float:
            rc = sqlite3_bind_double(m_stmt, index, value.toDouble());
            break;
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::UInt:
        case QMetaType::ULongLong:
        case QMetaType::Bool:
            rc = sqlite3_bind_int64(m_stmt, index, value.toLongLong());
            break;
        default: {
            if (value.isNull()) {
                rc = sqlite3_bind_null(m_stmt, index);
                break;
            }
            const QByteArray text = value.toString().toUtf8();
            rc = sqlite3_bind_text(m_stmt, index, text.constData(), static_cast<int>(text.size()),
                                   SQLITE_TRANSIENT);
        }
    }
    if (rc != SQLITE_OK) throw DatabaseError(QStringLiteral("Değer bağlanamadı: %1").arg(m_sql));
    return *this;
}

void Statement::run() {
    if (m_query) {
        const bool ok = m_query->exec();
        const QSqlError why = m_query->lastError();
        m_query->finish();
        if (!ok)
            m_db.raise(QStringLiteral("Sorgu çalıştırılamadı"), why.text(), why.nativeErrorCode(),
                       m_sql);
        return;
    }
    const int rc = sqlite3_step(m_stmt);
    sqlite3_reset(m_stmt);
    if (rc != SQLITE_DONE && rc != SQLITE_ROW)
        m_db.raise(QStringLiteral("Sorgu çalıştırılamadı"),
                   QString::fromUtf8(sqlite3_errmsg(m_db.handle())), QString::number(rc), m_sql);
}

}  // namespace data
