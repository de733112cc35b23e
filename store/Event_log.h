#pragma once

#include "store/Operator_Question.h"

#include <QAbstractTableModel>
#include <QMainWindow>

class Event_Store;
class List_Grid;
class QAction;
class QLabel;

// The event ring as table rows, newest first. Texts are made when a cell is shown; a refresh
// only counts the used slots and tells the view what changed.
class Event_List_Model : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit Event_List_Model(const Event_Store& store, QObject* parent = nullptr);

    // Reads Next_Slot and counts the used slots; returns the count.
    int Refresh();
    int Event_Count() const { return count; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    void Set_Rows(int rows);

    const Event_Store& store;
    std::uint32_t next_slot = 0; // as read by the last refresh
    int count = 0;
    int rows = 1; // one empty body row when there is no event
};

// "Event List": every stored event with its status towards the automation software, and the one
// way to erase the store. Created hidden at start-up; hidden, it ignores refresh requests.
class TForm_Events : public QMainWindow
{
    Q_OBJECT
public:
    TForm_Events(Event_Store& store, Ask_Operator ask, QWidget* parent = nullptr);

    void Refresh_Log_GridExecute();
    void Adjust_Grid_SizeExecute();
    void Clear1Click();

    List_Grid* StringGrid_Events;
    QLabel* StatusBar1_Panel_0;
    QAction* Menu_Events_Export;
    QAction* Clear1;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    Event_Store& store;
    Ask_Operator ask;
    Event_List_Model* model;
};
