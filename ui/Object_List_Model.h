#pragma once

#include "ui/List_Model.h"

class Object_Table;

// The object table as rows, one per position, up to the last used one.
class Object_List_Model : public List_Model
{
    Q_OBJECT
public:
    explicit Object_List_Model(const Object_Table& table, QObject* parent = nullptr);

    // Counts the used positions and tells the view what changed; returns the count.
    int Refresh();

    // An account longer than the forwarded line's account field has a tip on its cell saying what
    // the automation software receives instead.
    QVariant data(const QModelIndex& index, int role) const override;

private:
    QString Cell_Text(int row, int column) const override;

    const Object_Table& table;
};
