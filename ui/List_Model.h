#pragma once

#include <QAbstractTableModel>

// What the two list models share: a fixed set of columns with their captions, and body rows that
// come and go at the end. Texts are made when a cell is shown, so no model keeps a copy of them.
class List_Model : public QAbstractTableModel
{
    Q_OBJECT
public:
    using Header_Text = QString (*)(int column);

    List_Model(int columns, Header_Text header, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    QVariant data(const QModelIndex& index, int role) const override;

protected:
    // The text of a body cell; empty where the row has no record.
    virtual QString Cell_Text(int row, int column) const = 0;
    // Sets the row count (one empty body row when there is none) and tells the view that every
    // cell may have changed.
    void Show_Rows(int wanted);

private:
    const int columns;
    const Header_Text header;
    int rows = 1;
};
