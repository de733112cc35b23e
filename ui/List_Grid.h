#pragma once

#include <QHeaderView>
#include <QStyledItemDelegate>
#include <QTableView>

#include <functional>

// The look the two list windows share: a header row twice the body row height with raised frames
// and wrapped, centred captions; body rows of 18 pixels on one line, centred, with grid lines;
// whole-row selection and only a vertical scroll bar.
class List_Grid : public QTableView
{
    Q_OBJECT
public:
    static constexpr int Row_Height = 18;

    explicit List_Grid(QWidget* parent = nullptr);

    // Whether the vertical scroll bar is shown for the rows the model has now.
    bool Vertical_Scroll_Bar_Shown();

signals:
    // A press on the cell that was already the current one: the operator chose it again.
    void Current_Cell_Pressed(const QModelIndex& index);

protected:
    void mousePressEvent(QMouseEvent* event) override;
};

// The windows' font: a small dialog face of about five pixels per character, condensed where the
// platform's face is wider, so the captions fit the narrow columns.
QFont List_Window_Font(QFont font);

// Paints a body cell: the whole cell in `back`, the text on one line, centred in the cell with
// its left edge 2 pixels in.
void Paint_Body_Cell(
    QPainter* painter, const QRect& cell, const QString& text, const QColor& fore, const QColor& back);

// A delegate whose colours come from the window: fore and back colour for a row and whether it is
// selected.
class List_Cell_Delegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using Colours = std::function<std::pair<QColor, QColor>(int row, bool selected)>;
    using Extra = std::function<void(QPainter* painter, const QRect& cell, const QModelIndex& index)>;

    List_Cell_Delegate(Colours colours, Extra extra, QObject* parent);

    void paint(
        QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    Colours colours;
    Extra extra;
};
