#pragma once

#include "store/Operator_Question.h"

#include <QAbstractTableModel>
#include <QMainWindow>
#include <QPixmap>

class Auto_Reset_Event;
class List_Grid;
class Object_Table;
class QAction;
class QLabel;
class QLineEdit;
class QTimer;

// The object table as rows, one per position. Texts are made when a cell is shown.
class Object_List_Model : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit Object_List_Model(const Object_Table& table, QObject* parent = nullptr);

    // Counts the used positions and tells the view what changed; returns the count.
    int Refresh();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    const Object_Table& table;
    int rows = 1; // one empty body row when there is no object
};

// "Object List": one row per supervised account, failed ones in red, with the in-place time-out
// editor and deletion. It owns the supervision timer, which runs from start-up to shutdown whether
// the window is shown or not.
class TForm_Latest_Events : public QMainWindow
{
    Q_OBJECT
public:
    TForm_Latest_Events(Object_Table& table, Auto_Reset_Event& object_changed, Ask_Operator ask,
        QString main_caption, QWidget* parent = nullptr);

    void Refresh_ID_List_GridExecute();
    void Adjust_Grid_SizeExecute();
    void StringGrid_Latest_EventsSelectCell(int column, int row);
    void Edit_TmrChange();
    void Edit_TmrExit();
    void Menu_Delete_ObjectsClick();
    void Timer_Ping_UpdateTimer();

    List_Grid* StringGrid_Latest_Events;
    QLineEdit* Edit_Tmr;
    QPixmap Image_Trash;
    QLabel* StatusBar1_Panel_0;
    QAction* Menu_Delete_Objects;
    QTimer* Timer_Ping_Update;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::pair<QColor, QColor> Row_Colours(int row, bool selected) const;
    void Paint_Trash(QPainter* painter, const QRect& cell, const QModelIndex& index) const;
    void Place_Editor();
    bool Has_Object(int row) const;

    Object_Table& table;
    Auto_Reset_Event& changed;
    Ask_Operator ask;
    QString main_caption;
    Object_List_Model* model;
    int selected_row = -1;
    int selected_column = -1;
    // Rows removed by a refresh move the current cell; that is no choice of the operator's.
    bool refreshing = false;
};

// The 16 x 16 trash can painted into the last column of every object's row.
QPixmap Trash_Icon();
