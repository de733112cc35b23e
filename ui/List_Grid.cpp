#include "ui/List_Grid.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

namespace {

// A small triangle in the top right corner of a header cell: pointing up for ascending order.
void Paint_Sort_Arrow(QPainter* painter, const QRect& inside, Qt::SortOrder order, const QColor& colour)
{
    const int right = inside.right() - 2;
    const int top = inside.top() + 3;
    const QPolygon arrow = order == Qt::AscendingOrder
        ? QPolygon({QPoint(right - 6, top + 4), QPoint(right, top + 4), QPoint(right - 3, top)})
        : QPolygon({QPoint(right - 6, top), QPoint(right, top), QPoint(right - 3, top + 4)});
    painter->setPen(Qt::NoPen);
    painter->setBrush(colour);
    painter->drawPolygon(arrow);
}

class List_Header : public QHeaderView
{
public:
    explicit List_Header(QWidget* parent)
        : QHeaderView(Qt::Horizontal, parent)
    {
        setSectionsClickable(false); // the window makes them clickable for sorting
        setHighlightSections(false);
        setSectionResizeMode(QHeaderView::Fixed);
        setMinimumSectionSize(0);
        setFixedHeight(2 * List_Grid::Row_Height);
    }

protected:
    void paintSection(QPainter* painter, const QRect& rect, int section) const override
    {
        const QPalette& colours = palette();
        painter->save();
        // Raised frame of width 1: light top and left, shadow bottom and right.
        painter->setPen(colours.color(QPalette::Light));
        painter->drawLine(rect.topLeft(), rect.topRight());
        painter->drawLine(rect.topLeft(), rect.bottomLeft());
        painter->setPen(colours.color(QPalette::Dark));
        painter->drawLine(rect.bottomLeft(), rect.bottomRight());
        painter->drawLine(rect.topRight(), rect.bottomRight());
        const QRect inside = rect.adjusted(1, 1, -1, -1);
        painter->fillRect(inside, colours.color(QPalette::Button));
        painter->setPen(colours.color(QPalette::ButtonText));
        const QString text = model() ? model()->headerData(section, Qt::Horizontal).toString() : QString();
        painter->drawText(inside.adjusted(2, 0, 0, 0), Qt::AlignCenter | Qt::TextWordWrap, text);
        if (isSortIndicatorShown() && sortIndicatorSection() == section)
            Paint_Sort_Arrow(painter, inside, sortIndicatorOrder(), colours.color(QPalette::ButtonText));
        painter->restore();
    }
};

} // namespace

List_Grid::List_Grid(QWidget* parent)
    : QTableView(parent)
{
    setHorizontalHeader(new List_Header(this));
    verticalHeader()->hide();
    verticalHeader()->setMinimumSectionSize(0);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(Row_Height);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setShowGrid(true);
    setWordWrap(false);
    setCornerButtonEnabled(false);
}

bool List_Grid::Vertical_Scroll_Bar_Shown()
{
    // The bar follows the row count only once the view has laid itself out again.
    updateGeometries();
    return verticalScrollBar()->maximum() > verticalScrollBar()->minimum();
}

void List_Grid::mousePressEvent(QMouseEvent* event)
{
    const QModelIndex before = currentIndex();
    QTableView::mousePressEvent(event);
    const QModelIndex pressed = indexAt(event->position().toPoint());
    if (pressed.isValid() && pressed == before && currentIndex() == before)
        emit Current_Cell_Pressed(pressed);
}

QFont List_Window_Font(QFont font)
{
    font.setPixelSize(11);
    const QString sample = QStringLiteral("Receiver Number");
    if (QFontMetrics(font).horizontalAdvance(sample) > 5 * sample.size())
        font.setStretch(QFont::Condensed);
    return font;
}

void Paint_Body_Cell(
    QPainter* painter, const QRect& cell, const QString& text, const QColor& fore, const QColor& back)
{
    painter->fillRect(cell, back);
    painter->setPen(fore);
    painter->drawText(cell.adjusted(2, 0, 0, 0), Qt::AlignCenter | Qt::TextSingleLine, text);
}

List_Cell_Delegate::List_Cell_Delegate(Colours colours_, Extra extra_, QObject* parent)
    : QStyledItemDelegate(parent)
    , colours(std::move(colours_))
    , extra(std::move(extra_))
{ }

void List_Cell_Delegate::paint(
    QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const bool selected = (option.state & QStyle::State_Selected) != 0;
    const auto [fore, back] = colours(index.row(), selected);
    painter->save();
    painter->setFont(option.font);
    Paint_Body_Cell(painter, option.rect, index.data().toString(), fore, back);
    if (extra)
        extra(painter, option.rect, index);
    painter->restore();
}
