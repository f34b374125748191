#pragma once

#include <QCache>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <memory>
#include <string_view>
#include <vector>

#include "data/Criteria.h"
#include "data/RecordSource.h"

namespace data {

class Database;

/// A keyset cursor over a record source: the ordered row keys are read once, field values are
/// fetched by key when asked (with a small cache), so a large table costs little memory. Offers
/// what the terminal needs of a recordset: find, moves, positions, add/edit/update/delete.
class Recordset {
  public:
    Recordset(std::shared_ptr<Database> db, const QString& source);

    const QString& source() const { return m_sourceText; }
    const RecordSource& parsedSource() const { return m_source; }
    Database& database() const { return *m_db; }

    /// Reads the keys again; the current record becomes the first.
    void Requery();
    /// Like Requery, but keeps the keys read before when nothing since can have changed which rows
    /// belong to the recordset or their order (no other connection wrote, and our own writes only
    /// touched fields the record source does not look at).
    void Refresh();

    int RecordCount() const {
        return m_order.isEmpty() ? static_cast<int>(m_keys.size()) : m_orderCount;
    }
    bool isBOF() const { return RecordCount() == 0 || m_pos < 0; }
    bool isEOF() const { return RecordCount() == 0 || m_pos >= RecordCount(); }
    bool hasCurrent() const { return !isBOF() && !isEOF() && !m_currentDeleted; }

    void MoveFirst();
    void MoveLast();
    void MoveNext();
    void MovePrevious();

    /// 0-based position of the current record; -1 when there is none.
    int AbsolutePosition() const { return hasCurrent() ? m_pos : -1; }
    void setAbsolutePosition(int position);

    /// Makes the first record (in this recordset's order) that matches the current one.
    void FindFirst(const Criteria& criteria);
    bool NoMatch() const { return m_noMatch; }

    /// A field of the current record (the edit buffer while editing). Field names ignore case.
    QVariant field(const QString& name) const;
    void setField(const QString& name, const QVariant& value);
    /// A field of the record at a position, without moving (for grids).
    QVariant fieldAt(int position, const QString& name) const;

    void AddNew();
    void Edit();
    void Update();
    void CancelUpdate();
    /// Deletes the current record; until the next move there is no current record.
    void Delete();

    bool isEditing() const { return m_mode != Mode::None; }
    const QStringList& fieldNames() const { return m_columns; }
    int fieldIndex(const QString& name) const;

  private:
    enum class Mode { None, Edit, Add };
    using Row = QVector<QVariant>;

    // Folded values of one field in keyset order ("\x01" + UTF-8, empty for Null), packed in one
    // buffer: a million cards cost a few bytes each beyond their text. Kept while the keyset is
    // valid.
    struct FoldedColumn {
        QByteArray bytes;
        std::vector<quint32> ends;     // value i is bytes [ends[i - 1], ends[i])
        std::vector<quint32> firstOf;  // open addressing: the first position of each value
        bool hashed = false;
        std::vector<int> sorted;  // positions ordered by value, for prefix searches
        bool isSorted = false;
        std::string_view value(size_t i) const {
            const quint32 begin = i ? ends[i - 1] : 0;
            return {bytes.constData() + begin, ends[i] - begin};
        }
    };

    bool keysStillValid() const;
    /// The order file of the connection when it gives this recordset's rows and their order
    /// (the visible cards by name); empty: the keys are read into memory.
    QString orderFor() const;
    /// The key of the row at a position, and the position of a key (-1: not in the recordset).
    qint64 keyAt(int position) const;
    int positionOf(qint64 key) const;
    /// The first position, in this recordset's order, whose searched field matches; -2 when the
    /// order file cannot answer.
    int findInOrder(const Criteria::TextTest& test) const;
    bool sourceMentions(int column) const;
    void noteOwnWrite(bool harmless);
    qint64 dataVersion() const;
    FoldedColumn* foldedColumn(int column);
    int findInMemory(const Criteria::TextTest& test);

    void requireCurrent() const;
    const Row& row(qint64 key) const;
    /// `wholeRead`: every key is read, none looked for.
    QString orderClause(bool wholeRead = false) const;
    QString whereClause(const QString& extra = QString()) const;

    std::shared_ptr<Database> m_db;
    QString m_sourceText;
    RecordSource m_source;
    QStringList m_columns;
    QString m_rowSql;
    QHash<QString, int> m_columnIndex;
    Row m_defaults;
    QVector<bool> m_columnInSource;  // fields the where or order clause looks at

    std::vector<qint64> m_keys;
    QString m_order;  // the order file's alias, when the keys come from it
    bool m_orderDescending = false;
    int m_orderCount = 0;
    mutable std::vector<qint64> m_window;  // keys read from the order file around the last ask
    mutable int m_windowStart = 0;
    // Positions by key, built on the first find after a requery.
    mutable std::vector<quint32> m_keyIndex;
    mutable bool m_keyIndexValid = false;
    int m_pos = -1;
    bool m_currentDeleted = false;
    bool m_noMatch = false;

    Mode m_mode = Mode::None;
    QHash<int, QVariant> m_buffer;
    mutable QCache<qint64, Row> m_cache{512};

    qint64 m_changesAtRead = 0;
    qint64 m_versionAtRead = 0;
    qint64 m_ownHarmless = 0;
    bool m_keysDirty = false;
    QHash<int, FoldedColumn> m_folded;
};

}  // namespace data
