#include "ui/Object_List_Window.h"

#include "store/Fixed_Text.h"
#include "store/Object_Table.h"
#include "store/Supervision_Timer.h"
#include "ui/List_Cell_Text.h"
#include "ui/List_Grid.h"
#include "ui/Object_List_Model.h"

#include <QAction>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QRegularExpressionValidator>
#include <QScrollBar>

#include <limits>

namespace {

// Window name, caption, grid name, minimise button, client and least size, scroll bar allowance,
// column widths, count caption.
const List_Window::Shape Objects_Shape {"Form_Latest_Events", "Object List", "StringGrid_Latest_Events",
    false, {777, 366}, {600, 200}, 15, Object_Column_Width, "Number of objects: "};
const QColor Failed_Back(255, 0, 0);
const QColor Failed_Selected_Fore(255, 255, 0);

} // namespace

QPixmap Trash_Icon()
{
    QPixmap icon(16, 16);
    icon.fill(Qt::transparent);
    QPainter painter(&icon);
    const QColor outline(64, 64, 64);
    const QColor body(160, 168, 176);
    painter.setPen(outline);
    painter.setBrush(body);
    painter.drawRect(6, 1, 3, 1); // handle
    painter.drawRect(2, 3, 11, 2); // lid
    painter.drawRect(3, 5, 9, 9); // can
    for (const int x : {5, 7, 10})
        painter.drawLine(x, 7, x, 12);
    return icon;
}

TForm_Latest_Events::TForm_Latest_Events(Object_Table& object_table, Supervision_Timer& supervision_timer,
    Ask_Operator ask_operator, QString caption_of_main_window, QWidget* parent)
    : List_Window(Objects_Shape, new Object_List_Model(object_table), std::move(ask_operator), parent)
    , table(object_table)
    , supervision(supervision_timer)
    , main_caption(std::move(caption_of_main_window))
    , Image_Trash(Trash_Icon())
{
    QAction* delete_all = Add_Menu_Action("Menu_Delete_Objects", QStringLiteral("&Delete all objects"));
    connect(delete_all, &QAction::triggered, this, &TForm_Latest_Events::Menu_Delete_ObjectsClick);
    QAction* failed_first = Add_Menu_Action("Menu_Failed_First", QStringLiteral("&Failed first"));
    failed_first->setCheckable(true);
    connect(failed_first, &QAction::toggled, this, [this, failed_first](bool on) {
        // A menu bar shows no tick: the caption says it.
        failed_first->setText(on ? QStringLiteral("&Failed first (on)") : QStringLiteral("&Failed first"));
        Arrangement_Changing();
        Model->Set_Marked_First(on);
        Refresh_ID_List_GridExecute();
    });

    Grid->setItemDelegate(
        new List_Cell_Delegate([this](int row, bool selected) { return Row_Colours(row, selected); },
            [this](QPainter* painter, const QRect& cell, const QModelIndex& index) {
                Paint_Trash(painter, cell, index);
            },
            Grid));
    connect(Grid->selectionModel(), &QItemSelectionModel::currentChanged, this,
        [this](const QModelIndex& current) {
            if (!Refreshing() && current.isValid())
                StringGrid_Latest_EventsSelectCell(current.column(), current.row() + 1);
        });
    connect(Grid, &List_Grid::Current_Cell_Pressed, this, [this](const QModelIndex& index) {
        StringGrid_Latest_EventsSelectCell(index.column(), index.row() + 1);
    });
    // Deleting takes a deliberate act on the trash icon: a click, or the Delete key on it. Moving the
    // current cell there (Tab, End, an arrow key) only moves it.
    connect(Grid, &QAbstractItemView::clicked, this, &TForm_Latest_Events::Ask_Delete_Object);
    Grid->installEventFilter(this);
    connect(Grid->verticalScrollBar(), &QScrollBar::valueChanged, this, &TForm_Latest_Events::Place_Editor);

    Edit_Tmr = new QLineEdit(Grid->viewport());
    Edit_Tmr->setObjectName(QStringLiteral("Edit_Tmr"));
    // Digits only, stored on Enter or when the editor loses the focus; Escape keeps the old value.
    Edit_Tmr->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,10}")), Edit_Tmr));
    Edit_Tmr->setFrame(true);
    auto* unit = new QLabel(QStringLiteral("min"), Edit_Tmr);
    unit->setObjectName(QStringLiteral("Edit_Tmr_Unit"));
    unit->setAttribute(Qt::WA_TransparentForMouseEvents);
    Edit_Tmr->setTextMargins(0, 0, unit->sizeHint().width() + 2, 0);
    Edit_Tmr->hide();
    Edit_Tmr->installEventFilter(this);
    connect(Edit_Tmr, &QLineEdit::returnPressed, this, [this] {
        Edit_TmrChange();
        Close_Editor();
    });

    Add_Status_Panel("StatusBar1_Panel_0", 1)->setMinimumWidth(50);
    Place_On_Screen();

    connect(&supervision, &Supervision_Timer::Objects_Changed, this, &TForm_Latest_Events::Objects_Changed);
}

bool TForm_Latest_Events::Has_Object(std::uint32_t position) const
{
    return position < Object_Count && table.Object(position).Account_Number[0] != '\0';
}

std::pair<QColor, QColor> TForm_Latest_Events::Row_Colours(int row, bool selected) const
{
    const QPalette& colours = Grid->palette();
    const std::uint32_t position = Model->Slot_Of_Row(row);
    const bool failed = position < Object_Count && (table.Supervision_Flags(position) & Flag_Failed) != 0;
    if (failed)
        return {selected ? Failed_Selected_Fore : colours.color(QPalette::HighlightedText), Failed_Back};
    // The selection in the platform's highlight, plainly visible against the white rows.
    if (selected)
        return {colours.color(QPalette::HighlightedText), colours.color(QPalette::Highlight)};
    return {colours.color(QPalette::Text), colours.color(QPalette::Base)};
}

void TForm_Latest_Events::Paint_Trash(QPainter* painter, const QRect& cell, const QModelIndex& index) const
{
    if (index.column() == Object_Trash_Column && Has_Object(Model->Slot_Of_Row(index.row())))
        painter->drawPixmap(cell.left() + 4, cell.top(), Image_Trash);
}

void TForm_Latest_Events::showEvent(QShowEvent* event)
{
    Edit_Tmr->hide();
    List_Window::showEvent(event);
}

bool TForm_Latest_Events::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Edit_Tmr && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        Close_Editor(); // nothing stored
        return true;
    }
    if (watched == Edit_Tmr && event->type() == QEvent::Resize) {
        auto* unit = Edit_Tmr->findChild<QLabel*>(QStringLiteral("Edit_Tmr_Unit"));
        const QSize size = unit->sizeHint();
        unit->setGeometry(Edit_Tmr->width() - size.width() - 3, (Edit_Tmr->height() - size.height()) / 2,
            size.width(), size.height());
    }
    if (watched == Edit_Tmr && event->type() == QEvent::FocusOut && Edit_Tmr->isVisible()) {
        Edit_TmrChange();
        Edit_TmrExit();
    }
    if (watched == Grid && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        Ask_Delete_Object(Grid->currentIndex());
        return true;
    }
    return List_Window::eventFilter(watched, event);
}

void TForm_Latest_Events::Refresh_ID_List_GridExecute()
{
    Refresh_Rows();
}

int TForm_Latest_Events::Refresh_Model()
{
    const int count = Model->Refresh();
    Grid->viewport()->update();
    return count;
}

bool TForm_Latest_Events::Sortable(int column) const
{
    return column != Object_Trash_Column;
}

void TForm_Latest_Events::Arrangement_Changing()
{
    // The edited value is kept, and the editor does not stay over a row that moves away.
    if (Edit_Tmr->isHidden())
        return;
    Edit_TmrChange();
    Edit_Tmr->hide();
}

void TForm_Latest_Events::Follow(std::uint32_t position)
{
    followed_position = position;
    followed_account = Fixed_Text(table.Object(position).Account_Number);
}

std::uint32_t TForm_Latest_Events::Followed_Slot() const
{
    const auto holds_it = [this](std::uint32_t position) {
        return Has_Object(position) && Fixed_Text(table.Object(position).Account_Number) == followed_account;
    };
    if (holds_it(followed_position))
        return followed_position;
    // A deletion above it moved the object up.
    for (std::uint32_t position = 0; position < Object_Count; ++position)
        if (holds_it(position))
            return position;
    return List_Model::No_Slot;
}

void TForm_Latest_Events::Grid_Adjusted()
{
    Place_Editor();
}

void TForm_Latest_Events::Place_Editor()
{
    if (Edit_Tmr->isHidden() || selected_column != Object_Timeout_Column)
        return;
    Edit_Tmr->setGeometry(
        Grid->visualRect(Model->index(Model->Row_Of_Slot(selected_position), selected_column)));
}

void TForm_Latest_Events::StringGrid_Latest_EventsSelectCell(int column, int row)
{
    const std::uint32_t position = Model->Slot_Of_Row(row - 1);
    selected_position = position;
    selected_column = column;
    // A row without an object has no time-out to edit and nothing to delete.
    if (column == Object_Timeout_Column && Has_Object(position)) {
        {
            const QSignalBlocker quiet(Edit_Tmr);
            Edit_Tmr->setText(QString::number(table.Object(position).Ping_Timeout));
        }
        Edit_Tmr->show();
        Place_Editor();
        Edit_Tmr->setFocus();
        return;
    }
    Edit_Tmr->hide();
}

void TForm_Latest_Events::Ask_Delete_Object(const QModelIndex& index)
{
    const std::uint32_t position = index.isValid() ? Model->Slot_Of_Row(index.row()) : List_Model::No_Slot;
    if (index.column() != Object_Trash_Column || !Has_Object(position))
        return;
    const QString account = Object_Cell_Text(table.Object(position), Object_Account_Column);
    if (!Confirm(QStringLiteral("Delete object  ") + account + QStringLiteral(" ?"), main_caption,
            Question_Buttons::Yes_No))
        return;
    table.Delete_Object(position);
    Refresh_ID_List_GridExecute();
}

void TForm_Latest_Events::Edit_TmrChange()
{
    const QString text = Edit_Tmr->text();
    if (text.isEmpty() || !Has_Object(selected_position))
        return;
    // Ten digits may exceed 32 bits; the table clamps whatever it gets to the largest time-out.
    const qulonglong minutes = text.toULongLong();
    const auto limit = std::numeric_limits<std::uint32_t>::max();
    table.Set_Ping_Timeout(selected_position, minutes > limit ? limit : static_cast<std::uint32_t>(minutes));
}

void TForm_Latest_Events::Edit_TmrExit()
{
    Refresh_ID_List_GridExecute();
}

void TForm_Latest_Events::Close_Editor()
{
    // Hidden first, so the focus leaving it stores nothing more.
    Edit_Tmr->hide();
    Grid->setFocus();
    Refresh_ID_List_GridExecute();
}

void TForm_Latest_Events::Menu_Delete_ObjectsClick()
{
    if (!Confirm(QStringLiteral("     Are you sure you want to delete all objects?"), main_caption,
            Question_Buttons::Ok_Cancel))
        return;
    // The change signal leaves the rows alone under an open editor; the operator asked for them.
    if (supervision.Delete_All_Objects() && !Edit_Tmr->isHidden())
        Refresh_ID_List_GridExecute();
}

void TForm_Latest_Events::Objects_Changed()
{
    // The operator is editing a time-out: the rows are not rebuilt under the editor (closing it
    // rebuilds them), but the shown rows are painted again, so a failure turns red at once.
    if (Edit_Tmr->isHidden())
        Refresh_ID_List_GridExecute();
    else
        Grid->viewport()->update();
}
