#pragma once

#include "StatsTable.h"

#include <QAbstractTableModel>
#include <QFont>

// A table of the statistics in a list: every cell in its Italian form, numbers on the right,
// the totals in bold. Cells are turned into text only when shown.
class StatsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    void setTable(stats::Table table);
    const stats::Table& table() const { return m_table; }
    // The text of a cell as shown.
    QString text(int row, int column) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;

private:
    stats::Table m_table;
};
