#include "data/Recordset.h"

#include <sqlite3.h>
#include <QSqlQuery>
#include <QSqlRecord>

#include "data/Database.h"
#include "data/DatabaseError.h"

namespace data {

namespace {

[[noreturn]] void noCurrentRecord() {
    throw DatabaseError(QStringLiteral("Geçerli kayıt yok."));
}

}  // namespace

Recordset::Recordset(std::shared_ptr<Database> db, const QString& source)
    : m_db(std::move(db)), m_sourceText(source), m_source(RecordSource::parse(source)) {
    QSqlQuery info = m_db->query(
        QStringLiteral("SELECT name, dflt_value FROM pragma_table_info(?)"), {m_source.table});
    QStringList defaults;
    while (info.next()) {
        m_columns << info.value(0).toString();
        defaults << info.value(1).toString();
    }
    info.finish();
    if (m_columns.isEmpty())
        throw DatabaseError(
            QStringLiteral("Tablo bulunamadı: %1 (%2)").arg(m_source.table, m_db->path()));
    for (int i = 0; i < m_columns.size(); ++i) {
        m_columnIndex.insert(m_columns[i].toLower(), i);
        // A new row shows the table's defaults before it is stored, as the old engine did.
        QVariant value;
        if (!defaults[i].isEmpty()) {
            QSqlQuery q = m_db->query(QStringLiteral("SELECT ") + defaults[i]);
            if (q.next()) value = q.value(0);
            q.finish();
        }
        m_defaults.append(value);
    }
    Requery();
}

QString Recordset::whereClause(const QString& extra) const {
    QStringList parts;
    if (!m_source.where.isEmpty()) parts << u'(' + m_source.where + u')';
    if (!extra.isEmpty()) parts << u'(' + extra + u')';
    return parts.isEmpty() ? QString()
                           : QStringLiteral(" WHERE ") + parts.join(QStringLiteral(" AND "));
}

QString Recordset::orderClause() const {
    // rowid breaks ties so the order is the same on every read.
    return m_source.orderBy.isEmpty()
               ? QStringLiteral(" ORDER BY rowid")
               : QStringLiteral(" ORDER BY ") + m_source.orderBy + QStringLiteral(", rowid");
}

void Recordset::Requery() {
    m_mode = Mode::None;
    m_buffer.clear();
    m_cache.clear();
    m_keys.clear();
    m_keyIndex.clear();
    m_keyIndexValid = false;
    QSqlQuery q = m_db->query(QStringLiteral("SELECT rowid FROM \"%1\"").arg(m_source.table) +
                              whereClause() + orderClause());
    while (q.next())
        m_keys.push_back(q.value(0).toLongLong());
    q.finish();
    m_pos = m_keys.empty() ? -1 : 0;
    m_currentDeleted = false;
    m_noMatch = false;
}

void Recordset::MoveFirst() {
    if (m_keys.empty()) noCurrentRecord();
    m_pos = 0;
    m_currentDeleted = false;
}

void Recordset::MoveLast() {
    if (m_keys.empty()) noCurrentRecord();
    m_pos = RecordCount() - 1;
    m_currentDeleted = false;
}

void Recordset::MoveNext() {
    if (m_currentDeleted) {
        // The position already names the record after the deleted one.
        m_currentDeleted = false;
        return;
    }
    if (isEOF()) noCurrentRecord();
    ++m_pos;
}

void Recordset::MovePrevious() {
    if (m_currentDeleted)
        m_currentDeleted = false;
    else if (isBOF())
        noCurrentRecord();
    --m_pos;
}

void Recordset::setAbsolutePosition(int position) {
    if (position < 0 || position >= RecordCount())
        throw DatabaseError(QStringLiteral("Geçersiz kayıt konumu: %1").arg(position));
    m_pos = position;
    m_currentDeleted = false;
}

void Recordset::FindFirst(const Criteria& criteria) {
    QSqlQuery q =
        m_db->query(QStringLiteral("SELECT rowid FROM \"%1\"").arg(m_source.table) +
                        whereClause(criteria.sql()) + orderClause() + QStringLiteral(" LIMIT 1"),
                    criteria.params());
    const bool found = q.next();
    const qint64 key = found ? q.value(0).toLongLong() : 0;
    q.finish();
    m_noMatch = true;
    if (!found) return;
    if (!m_keyIndexValid) {
        m_keyIndex.clear();
        m_keyIndex.reserve(static_cast<qsizetype>(m_keys.size()));
        for (int i = 0; i < RecordCount(); ++i)
            m_keyIndex.insert(m_keys[i], i);
        m_keyIndexValid = true;
    }
    const auto it = m_keyIndex.constFind(key);
    if (it == m_keyIndex.constEnd()) return;  // added after this keyset was read
    m_pos = it.value();
    m_currentDeleted = false;
    m_noMatch = false;
}

int Recordset::fieldIndex(const QString& name) const {
    const auto it = m_columnIndex.constFind(name.toLower());
    if (it == m_columnIndex.constEnd())
        throw DatabaseError(QStringLiteral("Alan bulunamadı: %1 (%2)").arg(name, m_source.table));
    return it.value();
}

const Recordset::Row& Recordset::row(qint64 key) const {
    if (const Row* cached = m_cache.object(key)) return *cached;
    QSqlQuery& q =
        m_db->prepared(QStringLiteral("SELECT * FROM \"%1\" WHERE rowid = ?").arg(m_source.table));
    q.bindValue(0, key);
    if (!q.exec()) throw DatabaseError(QStringLiteral("Kayıt okunamadı (%1)").arg(m_db->path()));
    auto* r = new Row;
    if (q.next()) {
        r->reserve(m_columns.size());
        for (int i = 0; i < m_columns.size(); ++i)
            r->append(q.value(i));
    } else {
        // Deleted by someone else since the keys were read: the old engine shows it as #Deleted.
        q.finish();
        delete r;
        throw DatabaseError(QStringLiteral("Kayıt silinmiş."));
    }
    q.finish();
    m_cache.insert(key, r);
    return *r;
}

void Recordset::requireCurrent() const {
    if (!hasCurrent()) noCurrentRecord();
}

QVariant Recordset::field(const QString& name) const {
    const int index = fieldIndex(name);
    if (m_mode != Mode::None) {
        const auto it = m_buffer.constFind(index);
        if (it != m_buffer.constEnd()) return it.value();
        if (m_mode == Mode::Add) return m_defaults[index];
    }
    requireCurrent();
    return row(m_keys[m_pos])[index];
}

QVariant Recordset::fieldAt(int position, const QString& name) const {
    const int index = fieldIndex(name);
    if (position < 0 || position >= RecordCount())
        throw DatabaseError(QStringLiteral("Geçersiz kayıt konumu: %1").arg(position));
    return row(m_keys[position])[index];
}

void Recordset::setField(const QString& name, const QVariant& value) {
    const int index = fieldIndex(name);
    if (m_mode == Mode::None)
        throw DatabaseError(QStringLiteral("Kayıt düzenlemeye açılmadan alan yazılamaz."));
    m_buffer.insert(index, value);
}

void Recordset::AddNew() {
    m_mode = Mode::Add;
    m_buffer.clear();
}

void Recordset::Edit() {
    requireCurrent();
    m_mode = Mode::Edit;
    m_buffer.clear();
}

void Recordset::CancelUpdate() {
    m_mode = Mode::None;
    m_buffer.clear();
}

void Recordset::Update() {
    if (m_mode == Mode::None)
        throw DatabaseError(QStringLiteral("Kayıt düzenlemeye açılmadan saklanamaz."));
    QStringList names;
    QVariantList values;
    for (auto it = m_buffer.constBegin(); it != m_buffer.constEnd(); ++it) {
        names << quoteField(m_columns[it.key()]);
        values << it.value();
    }
    const QString table = u'"' + m_source.table + u'"';
    if (m_mode == Mode::Edit) {
        const qint64 key = m_keys[m_pos];
        if (!names.isEmpty()) {
            QStringList sets;
            for (const QString& n : names)
                sets << n + QStringLiteral(" = ?");
            values << key;
            m_db->query(QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?")
                            .arg(table, sets.join(QStringLiteral(", "))),
                        values);
        }
        m_cache.remove(key);
    } else {
        if (names.isEmpty()) {
            m_db->query(QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(table));
        } else {
            m_db->query(
                QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                    .arg(table, names.join(QStringLiteral(", ")),
                         QStringList(names.size(), QStringLiteral("?")).join(QStringLiteral(", "))),
                values);
        }
        const qint64 key = sqlite3_last_insert_rowid(m_db->handle());
        // A new row joins the end of the keyset; the current record stays where it was.
        const bool wasEOF = !m_keys.empty() && m_pos >= RecordCount();
        m_keys.push_back(key);
        if (m_keyIndexValid) m_keyIndex.insert(key, RecordCount() - 1);
        if (wasEOF) m_pos = RecordCount();
    }
    m_mode = Mode::None;
    m_buffer.clear();
}

void Recordset::Delete() {
    requireCurrent();
    if (m_mode != Mode::None) CancelUpdate();
    const qint64 key = m_keys[m_pos];
    m_db->query(QStringLiteral("DELETE FROM \"%1\" WHERE rowid = ?").arg(m_source.table), {key});
    m_cache.remove(key);
    m_keys.erase(m_keys.begin() + m_pos);
    m_keyIndexValid = false;
    m_currentDeleted = true;
}

}  // namespace data
