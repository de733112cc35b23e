#pragma once

#include "receiver/Account_Table.h"

#include <QAbstractTableModel>

#include <vector>

// The account table as the Accounts window edits it: the rows in file order, the key column
// masked. Nothing is written until the window saves.
class Accounts_Model : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { Account_Column, Mode_Column, Key_Column, Column_Count };

    explicit Accounts_Model(QObject* parent = nullptr);

    void Set_Rows(std::vector<Account_Row> rows);
    const std::vector<Account_Row>& Rows() const { return rows; }

    // The row of `account` (compared as stored: upper case), or -1.
    int Find(const Account_Row& row) const;
    // Replaces row `index`, or appends when it is -1; the index of the row.
    int Put(int index, const Account_Row& row);
    void Remove(int index);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    std::vector<Account_Row> rows;
};
