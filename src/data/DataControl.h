#pragma once

#include <QObject>
#include <QString>
#include <memory>

#include "data/Recordset.h"

namespace data {

class Database;

/// A database path and a record source (a table name or a SELECT text); Refresh() opens them and
/// gives a fresh recordset. Screens observe it through `refreshed`.
class DataControl : public QObject {
    Q_OBJECT
  public:
    explicit DataControl(const QString& name, QObject* parent = nullptr);

    QString databaseName() const { return m_databaseName; }
    void setDatabaseName(const QString& path) { m_databaseName = path; }
    QString recordSource() const { return m_recordSource; }
    void setRecordSource(const QString& source) { m_recordSource = source; }

    /// Binds the file for reading only (a placeholder that must stay clean).
    void setReadOnly(bool readOnly) { m_readOnly = readOnly; }
    bool readOnly() const { return m_readOnly; }

    /// Opens the database (if needed) and runs the record source again. Throws DatabaseError.
    void Refresh();
    /// Releases the recordset and the database connection.
    void Close();
    /// Tells the screens that rows of the current recordset changed (after an edit or delete).
    void notifyRowsChanged();

    bool isOpen() const { return m_recordset != nullptr; }
    /// The current recordset; throws DatabaseError when the control is not open.
    Recordset& recordset();
    std::shared_ptr<Database> database() const { return m_database; }

  Q_SIGNALS:
    /// A new recordset replaced the old one (or the control was closed).
    void refreshed();

  private:
    QString m_databaseName;
    QString m_recordSource;
    std::shared_ptr<Database> m_database;
    std::unique_ptr<Recordset> m_recordset;
    bool m_readOnly = false;
};

/// Reopens the control's recordset and walks to its first record, so the record count is complete
/// and the current record is the first. Errors reach the caller.
void RefreshData(DataControl& control);

}  // namespace data
