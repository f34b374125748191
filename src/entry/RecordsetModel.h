#pragma once

#include <QAbstractTableModel>
#include <QPointer>
#include <QVector>

namespace data {
class DataControl;
}

namespace entry {

/// One column of a data-bound grid.
struct GridColumn {
    /// Money: an amount or price, grouped with two decimals at least, as the totals show it;
    /// GeneralNumber: a quantity, decimals only as needed.
    enum class Format { Text, GeneralNumber, Standard, Money };
    QString caption;
    QString field;
    Format format = Format::Text;
};

/// Shows the current recordset of a data control as a table; rows are read by position only when
/// the view paints them, so a large recordset costs no more than the visible rows.
class RecordsetModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    RecordsetModel(data::DataControl* control, QVector<GridColumn> columns,
                   QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    bool setHeaderData(int section, Qt::Orientation orientation, const QVariant& value,
                       int role) override;

    const GridColumn& column(int index) const { return m_columns[index]; }

  private:
    QPointer<data::DataControl> m_control;
    QVector<GridColumn> m_columns;
};

}  // namespace entry
