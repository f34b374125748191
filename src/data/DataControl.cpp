#include "data/DataControl.h"

#include "data/Database.h"
#include "data/DatabaseError.h"

namespace data {

DataControl::DataControl(const QString& name, QObject* parent) : QObject(parent) {
    setObjectName(name);
}

void DataControl::Refresh() {
    try {
        auto db =
            m_readOnly ? Database::openReadOnly(m_databaseName) : Database::open(m_databaseName);
        if (m_recordset && db == m_database && m_recordset->source() == m_recordSource) {
            // Same file and source: the recordset reads its keys again only when it must.
            m_recordset->Refresh();
            Q_EMIT refreshed();
            return;
        }
        // A failed refresh leaves the control closed, never bound to a half-opened source.
        m_recordset.reset();
        m_recordset = std::make_unique<Recordset>(db, m_recordSource);
        m_database = std::move(db);
    } catch (...) {
        m_recordset.reset();
        m_database.reset();
        Q_EMIT refreshed();
        throw;
    }
    Q_EMIT refreshed();
}

void DataControl::notifyRowsChanged() {
    Q_EMIT refreshed();
}

void DataControl::Close() {
    m_recordset.reset();
    m_database.reset();
    Q_EMIT refreshed();
}

Recordset& DataControl::recordset() {
    if (!m_recordset) throw DatabaseError(QStringLiteral("%1 açık değil.").arg(objectName()));
    return *m_recordset;
}

void RefreshData(DataControl& control) {
    control.Refresh();
    Recordset& rs = control.recordset();
    if (!rs.isBOF()) {
        rs.MoveLast();
        if (!rs.isEOF()) rs.MoveFirst();
    }
}

}  // namespace data
