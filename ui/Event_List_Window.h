#pragma once

#include "ui/List_Window.h"

#include <QColor>
#include <QModelIndex>

#include <utility>

class QPainter;
class Event_Store;

// "Event List": every stored event with its status towards the automation software, and the one
// way to erase the store. Created hidden at start-up; hidden, it ignores refresh requests.
class TForm_Events : public List_Window
{
    Q_OBJECT
public:
    TForm_Events(Event_Store& store, Ask_Operator ask, QWidget* parent = nullptr);

    void Refresh_Log_GridExecute();
    // "Export": the shown rows, header first, as CSV in `path`; false (and nothing half written
    // left as the file) when it cannot be written.
    bool Export_Rows(const QString& path);

private:
    void Follow(std::uint32_t slot) override;
    std::uint32_t Followed_Slot() const override;
    void Clear1Click();
    void Menu_Events_ExportClick();
    // Row colours by the kind of report; a marker on a "Pending" event.
    std::pair<QColor, QColor> Row_Colours(int row, bool selected) const;
    void Paint_Pending_Marker(QPainter* painter, const QRect& cell, const QModelIndex& index) const;

    Event_Store& store;
    // The chosen event: its slot, and the slot's generation, which any later event there changes.
    std::uint32_t followed_slot = 0;
    std::uint32_t followed_generation = 0;
};
