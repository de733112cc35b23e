#pragma once

#include "ui/List_Model.h"

class Object_Table;

// The object table as rows, one per position up to the last used one in the store's own order.
// Marked records are the failed objects.
class Object_List_Model : public List_Model
{
    Q_OBJECT
public:
    explicit Object_List_Model(const Object_Table& table, QObject* parent = nullptr);

    // An account longer than the forwarded line's account field has a tip on its cell saying what
    // the automation software receives instead.
    QVariant data(const QModelIndex& index, int role) const override;

private:
    Store_Reading Read_Store() override;
    std::uint32_t Natural_Slot(int row) const override;
    int Natural_Row(std::uint32_t slot) const override;
    bool Slot_Used(std::uint32_t slot) const override;
    std::string_view Slot_Account(std::uint32_t slot) const override;
    int Compare_Slots(std::uint32_t a, std::uint32_t b, int column) const override;
    bool Marked(std::uint32_t slot) const override;
    QString Cell_Text(std::uint32_t slot, int column) const override;

    const Object_Table& table;
};
