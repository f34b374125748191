#include "entry/RecordsetModel.h"

#include "core/Money.h"
#include "core/NumberFormat.h"
#include "data/DataControl.h"
#include "data/DatabaseError.h"

namespace entry {

RecordsetModel::RecordsetModel(data::DataControl* control, QVector<GridColumn> columns,
                               QObject* parent)
    : QAbstractTableModel(parent), m_control(control), m_columns(std::move(columns)) {
    connect(control, &data::DataControl::refreshed, this, [this] {
        beginResetModel();
        endResetModel();
    });
}

int RecordsetModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || !m_control || !m_control->isOpen()) return 0;
    return m_control->recordset().RecordCount();
}

int RecordsetModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QVariant RecordsetModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !m_control || !m_control->isOpen()) return {};
    const GridColumn& col = m_columns[index.column()];
    if (role == Qt::TextAlignmentRole) {
        return col.format == GridColumn::Format::Text ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
                                                      : QVariant(Qt::AlignRight | Qt::AlignVCenter);
    }
    if (role != Qt::DisplayRole) return {};
    try {
        const QVariant value = m_control->recordset().fieldAt(index.row(), col.field);
        if (value.isNull()) return QString();
        switch (col.format) {
            case GridColumn::Format::Text:
                return value.toString();
            case GridColumn::Format::GeneralNumber:
                return core::generalNumber(value.toDouble());
            case GridColumn::Format::Standard:
                return core::standardNumber(value.toDouble());
            case GridColumn::Format::Money: {
                // A text where the books hold an amount shows as it is, never as 0,00.
                bool number = false;
                const core::Money amount = core::Money::fromDouble(value.toDouble(&number));
                return number ? amount.toString(QLocale(), 2, true) : value.toString();
            }
        }
    } catch (const data::DatabaseError&) {
        // A row deleted elsewhere since the keys were read shows as the old engine showed it.
        return QStringLiteral("#Deleted");
    }
    return {};
}

QVariant RecordsetModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= m_columns.size()) return {};
    if (role == Qt::DisplayRole) return m_columns[section].caption;
    // Captions sit like their column's values; the layout centres them with spaces.
    if (role == Qt::TextAlignmentRole)
        return m_columns[section].format == GridColumn::Format::Text
                   ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
                   : QVariant(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

bool RecordsetModel::setHeaderData(int section, Qt::Orientation orientation, const QVariant& value,
                                   int role) {
    if (orientation != Qt::Horizontal || role != Qt::EditRole || section < 0 ||
        section >= m_columns.size())
        return false;
    m_columns[section].caption = value.toString();
    Q_EMIT headerDataChanged(orientation, section, section);
    return true;
}

}  // namespace entry
