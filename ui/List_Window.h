#pragma once

#include "ui/Operator_Question.h"

#include <QMainWindow>

#include <cstdint>

class List_Grid;
class List_Model;
class QAction;
class QLabel;
class QLineEdit;

// What the Event List and the Object List share: a window that stays on top and does not end the
// program when closed, the small list font, a menu bar, one grid filling the client area down to
// the status bar, and rows that are rebuilt only while the window is shown.
class List_Window : public QMainWindow
{
    Q_OBJECT
public:
    struct Shape
    {
        const char* Object_Name;
        const char* Caption;
        const char* Grid_Name;
        bool Minimize_Button;
        QSize Client; // below the menu bar
        QSize Minimum;
        // A grid that shows its scroll bar gives this much of the window's width to it.
        int Scroll_Bar_Allowance;
        int (*Column_Width)(int width, int column);
        const char* Count_Caption; // before the count in the first status bar panel
    };

    void Adjust_Grid_SizeExecute();
    // A click on a column's header.
    void Sort_By_Column(int column);

protected:
    List_Window(const Shape& shape, List_Model* model, Ask_Operator ask, QWidget* parent);

    QAction* Add_Menu_Action(const char* name, const QString& text);
    // A sunken status bar panel; `stretch` 1 takes the width the others leave.
    QLabel* Add_Status_Panel(const char* name, int stretch);
    // Sized to the client area under the menu bar and centred on the screen.
    void Place_On_Screen();

    // While the window is shown: the model rebuilt and its count in the first panel.
    void Refresh_Rows();
    virtual int Refresh_Model();
    // After the columns got their widths.
    virtual void Grid_Adjusted() { }
    virtual bool Sortable(int /*column*/) const { return true; }
    // Before a new sort or filter moves the rows.
    virtual void Arrangement_Changing() { }
    // The record of a chosen row is remembered; after a refresh the window asks where it is now
    // (No_Slot once it is gone).
    virtual void Follow(std::uint32_t slot) = 0;
    virtual std::uint32_t Followed_Slot() const = 0;
    // True while a refresh moves the current cell: no choice of the operator's.
    bool Refreshing() const { return refreshing; }

    bool Confirm(const QString& text, const QString& title, Question_Buttons buttons);

    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

    List_Grid* Grid = nullptr;
    List_Model* Model = nullptr;

private:
    void Follow_Current(const QModelIndex& current);

    const Shape shape;
    Ask_Operator ask;
    QLabel* count_panel = nullptr;
    QLineEdit* account_filter = nullptr;
    bool refreshing = false;
    bool following = false;
};
