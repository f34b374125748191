#include "data/Recordset.h"

#include <limits>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <QRegularExpression>
#include <QSqlQuery>
#include <QSqlRecord>
#include <algorithm>

#include "core/TurkishText.h"
#include "data/CardOrder.h"
#include "data/Database.h"
#include "data/DatabaseError.h"
#include "data/Dialect.h"
#include "data/Names.h"

namespace data {

namespace {

constexpr quint32 NoPosition = std::numeric_limits<quint32>::max();

// Open-addressed tables of keyset positions: a few bytes a row, where a hash of nodes costs
// tens at a million cards. Twice as many slots as rows keep the probes short.
void emptyPositions(std::vector<quint32>& table, size_t count) {
    size_t slots = 2;
    while (slots < 2 * count)
        slots <<= 1;
    table.assign(slots, NoPosition);
}

// The slot from `hash` on that holds a position `same` accepts, or the free slot where it goes.
template <class Same>
quint32& positionSlot(std::vector<quint32>& table, size_t hash, Same same) {
    const size_t mask = table.size() - 1;
    size_t h = hash & mask;
    while (table[h] != NoPosition && !same(table[h]))
        h = (h + 1) & mask;
    return table[h];
}

size_t keyHash(qint64 key) {
    const quint64 k = static_cast<quint64>(key) * 0x9E3779B97F4A7C15ULL;
    return static_cast<size_t>(k ^ (k >> 32));
}

[[noreturn]] void noCurrentRecord() {
    throw DatabaseError(QStringLiteral("Geçerli kayıt yok."));
}

bool mentionsWord(const QString& text, const QString& word) {
    const QRegularExpression re(QStringLiteral("(^|[^A-Za-z0-9_])%1($|[^A-Za-z0-9_])")
                                    .arg(QRegularExpression::escape(word)),
                                QRegularExpression::CaseInsensitiveOption);
    return re.match(text).hasMatch();
}

}  // namespace

Recordset::Recordset(std::shared_ptr<Database> db, const QString& source)
    : m_db(std::move(db)), m_sourceText(source), m_source(RecordSource::parse(source)) {
    QStringList defaults;
    try {
        for (const auto& [name, defaultSql] : m_db->columnDefaults(m_source.table)) {
            m_columns << name;
            defaults << defaultSql;
        }
    } catch (const DatabaseError&) {
        throw DatabaseError(
            QStringLiteral("Tablo bulunamadı: %1 (%2)").arg(m_source.table, m_db->path()));
    }
    QStringList quoted;
    for (const QString& c : m_columns)
        quoted << u'"' + c + u'"';
    // Named columns: the server's key column is not one of the books' fields.
    m_rowSql = QStringLiteral("SELECT %1 FROM \"%2\" WHERE rowid = ?")
                   .arg(quoted.join(QStringLiteral(", ")), m_source.table);
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
        m_columnInSource.append(mentionsWord(m_source.where, m_columns[i]) ||
                                mentionsWord(m_source.orderBy, m_columns[i]));
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

QString Recordset::orderClause(bool wholeRead) const {
    // rowid breaks ties so the order is the same on every read.
    if (m_source.orderBy.isEmpty()) return QStringLiteral(" ORDER BY rowid");
    const Dialect& dialect = m_db->dialect();
    QStringList terms = m_source.orderBy.split(u',');
    for (QString& term : terms) {
        term = term.trimmed();
        // Names order in the Turkish alphabet.
        const qsizetype end = term.indexOf(u' ');
        const QString field = term.left(end);
        if (names::isName(field))
            term = dialect.turkishOrder(field) + (end < 0 ? QString() : term.mid(end));
        // Reading every key of a filtered table, the embedded engine would walk the order's index
        // and look up each row for the filter; sorting what the filter leaves is several times
        // quicker on a large table. "+" keeps the column's collation but not its index.
        if (wholeRead && !m_source.where.isEmpty()) term = dialect.unindexedOrder(term);
    }
    return QStringLiteral(" ORDER BY ") + terms.join(QStringLiteral(", ")) +
           QStringLiteral(", rowid");
}

qint64 Recordset::dataVersion() const {
    return m_db->dialect().dataVersion(*m_db).value_or(-1);
}

bool Recordset::keysStillValid() const {
    if (m_keysDirty || m_db->totalChanges() != m_changesAtRead + m_ownHarmless) return false;
    // An engine that does not say whether another terminal wrote since: its keys are read again.
    const qint64 version = dataVersion();
    return version >= 0 && version == m_versionAtRead;
}

void Recordset::noteOwnWrite(bool harmless) {
    if (harmless)
        ++m_ownHarmless;
    else
        m_keysDirty = true;
}

void Recordset::Refresh() {
    if (!m_order.isEmpty()) {
        // The order stands while the connection lives; the cards' values are read again, since
        // they are the company's own as they are now.
        m_mode = Mode::None;
        m_buffer.clear();
        m_cache.clear();
        m_pos = RecordCount() == 0 ? -1 : 0;
        m_currentDeleted = false;
        m_noMatch = false;
        return;
    }
    if (!keysStillValid()) {
        Requery();
        return;
    }
    m_mode = Mode::None;
    m_buffer.clear();
    m_pos = m_keys.empty() ? -1 : 0;
    m_currentDeleted = false;
    m_noMatch = false;
}

void Recordset::Requery() {
    m_folded.clear();
    m_keysDirty = false;
    m_ownHarmless = 0;
    m_versionAtRead = dataVersion();
    m_changesAtRead = m_db->totalChanges();
    m_mode = Mode::None;
    m_buffer.clear();
    m_cache.clear();
    m_keys.clear();
    m_keyIndex.clear();
    m_keyIndexValid = false;
    m_window.clear();
    m_order = orderFor();
    if (!m_order.isEmpty()) {
        m_orderDescending = m_source.orderBy.endsWith(QStringLiteral("desc"), Qt::CaseInsensitive);
        QSqlQuery count =
            m_db->query(QStringLiteral("SELECT count(*) FROM %1.CardOrder").arg(m_order));
        m_orderCount = count.next() ? count.value(0).toInt() : 0;
        count.finish();
        m_pos = m_orderCount == 0 ? -1 : 0;
        m_currentDeleted = false;
        m_noMatch = false;
        return;
    }
    QSqlQuery q = m_db->query(QStringLiteral("SELECT rowid FROM \"%1\"").arg(m_source.table) +
                              whereClause() + orderClause(true));
    while (q.next())
        m_keys.push_back(q.value(0).toLongLong());
    q.finish();
    m_pos = m_keys.empty() ? -1 : 0;
    m_currentDeleted = false;
    m_noMatch = false;
}

QString Recordset::orderFor() const {
    const QString order = m_db->nameOrder();
    if (order.isEmpty() || m_source.table.compare(names::StokKartlar, Qt::CaseInsensitive) != 0)
        return QString();
    // The order file holds exactly the visible cards by name, one way or the other.
    static const QRegularExpression visible(QStringLiteral("^\\(?\\s*StokGizle\\s*=\\s*0\\s*\\)?$"),
                                            QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression byName(QStringLiteral("^StokAdi(\\s+(asc|desc))?$"),
                                           QRegularExpression::CaseInsensitiveOption);
    if (!visible.match(m_source.where).hasMatch() || !byName.match(m_source.orderBy).hasMatch())
        return QString();
    return order;
}

qint64 Recordset::keyAt(int position) const {
    if (m_order.isEmpty()) return m_keys[static_cast<size_t>(position)];
    const int offset = position - m_windowStart;
    if (offset >= 0 && offset < static_cast<int>(m_window.size())) return m_window[offset];
    // The rows around the one asked for: a grid paints its neighbours next.
    constexpr int Before = 32, Window = 128;
    m_windowStart = std::max(0, position - Before);
    m_window.clear();
    QSqlQuery& q = m_db->prepared(
        m_orderDescending
            ? QStringLiteral(
                  "SELECT Card FROM %1.CardOrder WHERE Pos <= ? ORDER BY Pos DESC LIMIT %2")
                  .arg(m_order)
                  .arg(Window)
            : QStringLiteral("SELECT Card FROM %1.CardOrder WHERE Pos >= ? ORDER BY Pos LIMIT %2")
                  .arg(m_order)
                  .arg(Window));
    q.bindValue(0, m_orderDescending ? m_orderCount - m_windowStart : m_windowStart + 1);
    if (!q.exec()) throw DatabaseError(QStringLiteral("Sıra okunamadı (%1)").arg(m_db->path()));
    while (q.next())
        m_window.push_back(q.value(0).toLongLong());
    q.finish();
    if (position - m_windowStart >= static_cast<int>(m_window.size()))
        throw DatabaseError(QStringLiteral("Geçersiz kayıt konumu: %1").arg(position));
    return m_window[position - m_windowStart];
}

int Recordset::positionOf(qint64 key) const {
    if (!m_order.isEmpty()) {
        QSqlQuery& q = m_db->prepared(
            QStringLiteral("SELECT Pos FROM %1.CardOrder WHERE Card = ?").arg(m_order));
        q.bindValue(0, key);
        if (!q.exec()) throw DatabaseError(QStringLiteral("Sıra okunamadı (%1)").arg(m_db->path()));
        const int pos = q.next() ? q.value(0).toInt() : 0;
        q.finish();
        if (pos == 0) return -1;
        return m_orderDescending ? m_orderCount - pos : pos - 1;
    }
    if (!m_keyIndexValid) {
        emptyPositions(m_keyIndex, m_keys.size());
        for (size_t i = 0; i < m_keys.size(); ++i)
            positionSlot(m_keyIndex, keyHash(m_keys[i]), [](quint32) { return false; }) =
                static_cast<quint32>(i);
        m_keyIndexValid = true;
    }
    const quint32 at =
        positionSlot(m_keyIndex, keyHash(key), [this, key](quint32 p) { return m_keys[p] == key; });
    return at == NoPosition ? -1 : static_cast<int>(at);
}

int Recordset::findInOrder(const Criteria::TextTest& test) const {
    const QStringList& fields = cardorder::searchedFields();
    const auto it = std::find_if(fields.begin(), fields.end(), [&test](const QString& f) {
        return f.compare(test.field, Qt::CaseInsensitive) == 0;
    });
    if (it == fields.end()) return -2;
    const int field = static_cast<int>(it - fields.begin());
    const bool prefix = test.kind == Criteria::TextTest::Kind::Prefix;
    QSqlQuery& q = m_db->prepared(
        QStringLiteral("SELECT %1(Pos) FROM %2.CardOrder WHERE %3")
            .arg(m_orderDescending ? QStringLiteral("max") : QStringLiteral("min"), m_order,
                 (prefix ? QStringLiteral("Field%1 >= ? AND Field%1 < ?")
                         : QStringLiteral("Field%1 = ?"))
                     .arg(field)));
    q.bindValue(0, test.folded);
    if (prefix)
        q.bindValue(1, test.folded + QChar(QChar::highSurrogate(0x10FFFF)) +
                           QChar(QChar::lowSurrogate(0x10FFFF)));
    if (!q.exec()) throw DatabaseError(QStringLiteral("Sıra okunamadı (%1)").arg(m_db->path()));
    const QVariant pos = q.next() ? q.value(0) : QVariant();
    q.finish();
    if (pos.isNull()) return -1;
    return m_orderDescending ? m_orderCount - pos.toInt() : pos.toInt() - 1;
}

void Recordset::MoveFirst() {
    if (RecordCount() == 0) noCurrentRecord();
    m_pos = 0;
    m_currentDeleted = false;
}

void Recordset::MoveLast() {
    if (RecordCount() == 0) noCurrentRecord();
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

Recordset::FoldedColumn* Recordset::foldedColumn(int column) {
    auto it = m_folded.find(column);
    if (it != m_folded.end()) return &it.value();
    FoldedColumn folded;
    folded.ends.reserve(m_keys.size());
    QSqlQuery q = m_db->query(QStringLiteral("SELECT rowid, %1 FROM \"%2\"")
                                  .arg(quoteField(m_columns[column]), m_source.table) +
                              whereClause() + orderClause(true));
    size_t i = 0;
    bool aligned = true;
    while (q.next()) {
        if (i >= m_keys.size() || q.value(0).toLongLong() != m_keys[i]) {
            aligned = false;
            break;
        }
        const QVariant v = q.value(1);
        if (!v.isNull()) folded.bytes += '\x01' + core::foldTurkish(v.toString()).toUtf8();
        folded.ends.push_back(static_cast<quint32>(folded.bytes.size()));
        ++i;
    }
    q.finish();
    folded.bytes.squeeze();
#ifdef __GLIBC__
    // The buffer grew by doubling over a million values: the space it grew through goes back to
    // the system rather than staying in the terminal's heap.
    if (folded.bytes.size() > (1 << 20)) malloc_trim(0);
#endif
    // Rows written by someone else since the keys were read: let the engine answer instead.
    if (!aligned || i != m_keys.size()) return nullptr;
    return &m_folded.insert(column, std::move(folded)).value();
}

int Recordset::findInMemory(const Criteria::TextTest& test) {
    FoldedColumn* col = foldedColumn(fieldIndex(test.field));
    if (!col) return -2;
    const QByteArray keyBytes = '\x01' + test.folded.toUtf8();
    const std::string_view key(keyBytes.constData(), static_cast<size_t>(keyBytes.size()));
    const size_t count = col->ends.size();
    if (test.kind == Criteria::TextTest::Kind::Equals) {
        const std::hash<std::string_view> hash;
        if (!col->hashed) {
            emptyPositions(col->firstOf, count);
            for (size_t i = 0; i < count; ++i) {
                const std::string_view v = col->value(i);
                if (v.empty()) continue;
                quint32& slot = positionSlot(col->firstOf, hash(v),
                                             [col, v](quint32 p) { return col->value(p) == v; });
                if (slot == NoPosition) slot = static_cast<quint32>(i);  // the first one stays
            }
            col->hashed = true;
        }
        const quint32 found = positionSlot(col->firstOf, hash(key),
                                           [col, key](quint32 p) { return col->value(p) == key; });
        return found == NoPosition ? -1 : static_cast<int>(found);
    }
    if (!col->isSorted) {
        col->sorted.resize(count);
        for (size_t i = 0; i < count; ++i)
            col->sorted[i] = static_cast<int>(i);
        std::stable_sort(col->sorted.begin(), col->sorted.end(),
                         [col](int a, int b) { return col->value(a) < col->value(b); });
        col->isSorted = true;
    }
    // The values beginning with the key lie together in value order; the first of them in the
    // recordset's order is the smallest position among them.
    auto it = std::lower_bound(col->sorted.begin(), col->sorted.end(), key,
                               [col](int pos, std::string_view k) { return col->value(pos) < k; });
    int best = -1;
    for (; it != col->sorted.end() && col->value(*it).starts_with(key); ++it)
        if (best < 0 || *it < best) best = *it;
    return best;
}

bool Recordset::sourceMentions(int column) const {
    return m_columnInSource[column];
}

void Recordset::FindFirst(const Criteria& criteria) {
    const auto& test = criteria.textTest();
    int found = -2;
    if (test && !m_order.isEmpty())
        found = findInOrder(*test);
    else if (test && keysStillValid())
        found = findInMemory(*test);
    if (found != -2) {
        m_noMatch = found < 0;
        if (found >= 0) {
            m_pos = found;
            m_currentDeleted = false;
        }
        return;
    }
    QSqlQuery q =
        m_db->query(QStringLiteral("SELECT rowid FROM \"%1\"").arg(m_source.table) +
                        whereClause(criteria.sql()) + orderClause() + QStringLiteral(" LIMIT 1"),
                    criteria.params());
    const bool any = q.next();
    const qint64 key = any ? q.value(0).toLongLong() : 0;
    q.finish();
    m_noMatch = true;
    if (!any) return;
    const int at = positionOf(key);
    if (at < 0) return;  // added after this keyset was read
    m_pos = at;
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
    QSqlQuery& q = m_db->prepared(m_rowSql);
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
    return row(keyAt(m_pos))[index];
}

QVariant Recordset::fieldAt(int position, const QString& name) const {
    const int index = fieldIndex(name);
    if (position < 0 || position >= RecordCount())
        throw DatabaseError(QStringLiteral("Geçersiz kayıt konumu: %1").arg(position));
    return row(keyAt(position))[index];
}

void Recordset::setField(const QString& name, const QVariant& value) {
    const int index = fieldIndex(name);
    if (m_mode == Mode::None)
        throw DatabaseError(QStringLiteral("Kayıt düzenlemeye açılmadan alan yazılamaz."));
    m_buffer.insert(index, value);
}

void Recordset::AddNew() {
    // The order file lists the cards themselves: nothing is added to them here.
    if (!m_order.isEmpty())
        throw DatabaseError(QStringLiteral("Bu listeye kayıt eklenemez: %1").arg(m_sourceText));
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
        const qint64 key = keyAt(m_pos);
        if (!names.isEmpty()) {
            QStringList sets;
            for (const QString& n : names)
                sets << n + QStringLiteral(" = ?");
            values << key;
            m_db->query(QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?")
                            .arg(table, sets.join(QStringLiteral(", "))),
                        values);
            bool harmless = true;
            for (auto it = m_buffer.constBegin(); it != m_buffer.constEnd(); ++it) {
                if (sourceMentions(it.key())) harmless = false;
                // An edited searched field is read again at the next search.
                m_folded.remove(it.key());
            }
            noteOwnWrite(harmless);
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
        // The server's key column draws from its own sequence, the embedded engine's is rowid.
        const qint64 key = m_db->dialect().lastKey(*m_db);
        // A new row joins the end of the keyset; the current record stays where it was.
        noteOwnWrite(false);  // a new row may or may not belong to the source: read again
        m_folded.clear();
        const bool wasEOF = !m_keys.empty() && m_pos >= RecordCount();
        m_keys.push_back(key);
        m_keyIndexValid = false;  // built again at the next find
        if (wasEOF) m_pos = RecordCount();
    }
    m_mode = Mode::None;
    m_buffer.clear();
}

void Recordset::Delete() {
    requireCurrent();
    if (!m_order.isEmpty())
        throw DatabaseError(QStringLiteral("Bu listeden kayıt silinemez: %1").arg(m_sourceText));
    if (m_mode != Mode::None) CancelUpdate();
    const qint64 key = m_keys[m_pos];
    m_db->query(QStringLiteral("DELETE FROM \"%1\" WHERE rowid = ?").arg(m_source.table), {key});
    m_cache.remove(key);
    m_keys.erase(m_keys.begin() + m_pos);
    m_folded.clear();    // positions after the row moved up: read again at the next search
    noteOwnWrite(true);  // the keyset already lost the row
    m_keyIndexValid = false;
    m_currentDeleted = true;
}

}  // namespace data
