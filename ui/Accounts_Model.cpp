#include "ui/Accounts_Model.h"

#include <cstring>

Accounts_Model::Accounts_Model(QObject* parent)
    : QAbstractTableModel(parent)
{ }

void Accounts_Model::Set_Rows(std::vector<Account_Row> rows_)
{
    beginResetModel();
    rows = std::move(rows_);
    endResetModel();
}

int Accounts_Model::Find(const Account_Row& row) const
{
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (std::memcmp(rows[i].Account, row.Account, sizeof row.Account) == 0)
            return static_cast<int>(i);
    return -1;
}

int Accounts_Model::Put(int index, const Account_Row& row)
{
    if (index < 0 || index >= static_cast<int>(rows.size())) {
        const int added = static_cast<int>(rows.size());
        beginInsertRows({}, added, added);
        rows.push_back(row);
        endInsertRows();
        return added;
    }
    rows[static_cast<std::size_t>(index)] = row;
    emit dataChanged(this->index(index, 0), this->index(index, Column_Count - 1));
    return index;
}

void Accounts_Model::Remove(int index)
{
    if (index < 0 || index >= static_cast<int>(rows.size()))
        return;
    beginRemoveRows({}, index, index);
    rows.erase(rows.begin() + index);
    endRemoveRows();
}

int Accounts_Model::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows.size());
}

int Accounts_Model::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : Column_Count;
}

QVariant Accounts_Model::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= static_cast<int>(rows.size()))
        return {};
    const Account_Row& row = rows[static_cast<std::size_t>(index.row())];
    switch (index.column()) {
    case Account_Column:
        return QString::fromLatin1(
            row.Account_Text().data(), static_cast<qsizetype>(row.Account_Text().size()));
    case Mode_Column:
        return QString::fromLatin1(
            Account_Mode_Name(row.Mode).data(), static_cast<qsizetype>(Account_Mode_Name(row.Mode).size()));
    case Key_Column:
        // The grid never shows a key; the edit field below it does, behind its Show box.
        return Account_Aes_Mode(row.Mode) != 0 ? QStringLiteral("********") : QString();
    default:
        return {};
    }
}

QVariant Accounts_Model::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return {};
    switch (section) {
    case Account_Column:
        return QStringLiteral("Account");
    case Mode_Column:
        return QStringLiteral("Mode");
    case Key_Column:
        return QStringLiteral("Key");
    default:
        return {};
    }
}
