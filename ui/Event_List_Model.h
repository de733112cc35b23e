#pragma once

#include "ui/List_Model.h"

#include <cstdint>

class Event_Store;

// The event ring as table rows, newest first in the store's own order. A refresh only counts the
// used slots and tells the view what changed.
class Event_List_Model : public List_Model
{
    Q_OBJECT
public:
    explicit Event_List_Model(const Event_Store& store, QObject* parent = nullptr);

private:
    Store_Reading Read_Store() override;
    std::uint32_t Natural_Slot(int row) const override;
    int Natural_Row(std::uint32_t slot) const override;
    bool Slot_Used(std::uint32_t slot) const override;
    std::string_view Slot_Account(std::uint32_t slot) const override;
    int Compare_Slots(std::uint32_t a, std::uint32_t b, int column) const override;
    QString Cell_Text(std::uint32_t slot, int column) const override;

    const Event_Store& store;
    std::uint32_t next_slot = 0; // as read by the last refresh
};
