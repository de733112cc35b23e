#pragma once

#include "ui/List_Model.h"
#include "ui/List_Window.h"

#include <QPixmap>

#include <string>

class Object_Table;
class QLineEdit;
class Supervision_Timer;

// "Object List": one row per supervised account, failed ones in red (and first, when asked), with
// the in-place time-out editor and deletion. The supervision runs without it; the window shows
// what it changed.
class TForm_Latest_Events : public List_Window
{
    Q_OBJECT
public:
    TForm_Latest_Events(Object_Table& table, Supervision_Timer& supervision, Ask_Operator ask,
        QString main_caption, QWidget* parent = nullptr);

    void Refresh_ID_List_GridExecute();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int Refresh_Model() override;
    void Grid_Adjusted() override;
    bool Sortable(int column) const override;
    void Arrangement_Changing() override;
    void Follow(std::uint32_t slot) override;
    std::uint32_t Followed_Slot() const override;
    void StringGrid_Latest_EventsSelectCell(int column, int row);
    void Ask_Delete_Object(const QModelIndex& index);
    void Edit_TmrChange();
    void Edit_TmrExit();
    void Close_Editor();
    void Menu_Delete_ObjectsClick();
    void Objects_Changed();

    std::pair<QColor, QColor> Row_Colours(int row, bool selected) const;
    void Paint_Trash(QPainter* painter, const QRect& cell, const QModelIndex& index) const;
    void Place_Editor();
    bool Has_Object(std::uint32_t position) const;

    Object_Table& table;
    Supervision_Timer& supervision;
    QString main_caption;
    QLineEdit* Edit_Tmr;
    QPixmap Image_Trash;
    // The cell last chosen: its object's position and its column.
    std::uint32_t selected_position = List_Model::No_Slot;
    int selected_column = -1;
    // The chosen object, found again by its account when deletions move it up.
    std::uint32_t followed_position = 0;
    std::string followed_account;
};

// The 16 x 16 trash can painted into the last column of every object's row.
QPixmap Trash_Icon();
