#include "store/Id_list.h"

#include "store/Atomic_Bits.h"
#include "store/List_Cell_Text.h"
#include "store/List_Grid.h"
#include "store/Object_Table.h"

#include <QAction>
#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QTimer>

#include <limits>

namespace {

constexpr int Client_Width = 777;
constexpr int Client_Height = 366;
constexpr int Scroll_Bar_Allowance = 15;
const QColor Failed_Back(255, 0, 0);
const QColor Failed_Selected_Fore(255, 255, 0);
const QColor Selected_Back(250, 250, 250);

} // namespace

Object_List_Model::Object_List_Model(const Object_Table& object_table, QObject* parent)
    : QAbstractTableModel(parent)
    , table(object_table)
{ }

int Object_List_Model::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : rows;
}

int Object_List_Model::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : Object_List_Columns;
}

QVariant Object_List_Model::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    return Object_List_Header(section);
}

QVariant Object_List_Model::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid())
        return {};
    const Object_Record& record = table.Object(static_cast<std::uint32_t>(index.row()));
    if (record.Last_Time == 0)
        return QString();
    return Object_Cell_Text(record, index.column());
}

int Object_List_Model::Refresh()
{
    int used = 0;
    int last_used = -1;
    for (std::uint32_t position = 0; position < Object_Count; ++position) {
        if (table.Object(position).Last_Time != 0) {
            ++used;
            last_used = static_cast<int>(position);
        }
    }
    const int wanted = last_used + 1 > 0 ? last_used + 1 : 1;
    // Rows come and go at the end, so the selected row and the scroll position stay where they are.
    if (wanted > rows) {
        beginInsertRows({}, rows, wanted - 1);
        rows = wanted;
        endInsertRows();
    } else if (wanted < rows) {
        beginRemoveRows({}, wanted, rows - 1);
        rows = wanted;
        endRemoveRows();
    }
    emit dataChanged(index(0, 0), index(rows - 1, Object_List_Columns - 1));
    return used;
}

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

TForm_Latest_Events::TForm_Latest_Events(Object_Table& object_table, Auto_Reset_Event& object_changed,
    Ask_Operator ask_operator, QString caption_of_main_window, QWidget* parent)
    : QMainWindow(parent,
        Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
            | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint)
    , Image_Trash(Trash_Icon())
    , table(object_table)
    , changed(object_changed)
    , ask(std::move(ask_operator))
    , main_caption(std::move(caption_of_main_window))
{
    setObjectName(QStringLiteral("Form_Latest_Events"));
    setWindowTitle(QStringLiteral("Object List"));
    setAttribute(Qt::WA_QuitOnClose, false);
    setFont(List_Window_Font(font()));

    QMenuBar* menu = menuBar();
    menu->setObjectName(QStringLiteral("MainMenu1"));
    Menu_Delete_Objects = menu->addAction(QStringLiteral("Delete all objects"));
    Menu_Delete_Objects->setObjectName(QStringLiteral("Menu_Delete_Objects"));
    connect(Menu_Delete_Objects, &QAction::triggered, this, &TForm_Latest_Events::Menu_Delete_ObjectsClick);

    auto* client = new QWidget(this);
    setCentralWidget(client);
    model = new Object_List_Model(table, this);
    StringGrid_Latest_Events = new List_Grid(client);
    StringGrid_Latest_Events->setObjectName(QStringLiteral("StringGrid_Latest_Events"));
    StringGrid_Latest_Events->setModel(model);
    StringGrid_Latest_Events->setItemDelegate(
        new List_Cell_Delegate([this](int row, bool selected) { return Row_Colours(row, selected); },
            [this](QPainter* painter, const QRect& cell, const QModelIndex& index) {
                Paint_Trash(painter, cell, index);
            },
            StringGrid_Latest_Events));
    connect(StringGrid_Latest_Events->selectionModel(), &QItemSelectionModel::currentChanged, this,
        [this](const QModelIndex& current) {
            if (!refreshing && current.isValid())
                StringGrid_Latest_EventsSelectCell(current.column(), current.row() + 1);
        });
    connect(
        StringGrid_Latest_Events, &List_Grid::Current_Cell_Pressed, this, [this](const QModelIndex& index) {
            StringGrid_Latest_EventsSelectCell(index.column(), index.row() + 1);
        });
    connect(StringGrid_Latest_Events->verticalScrollBar(), &QScrollBar::valueChanged, this,
        &TForm_Latest_Events::Place_Editor);

    Edit_Tmr = new QLineEdit(StringGrid_Latest_Events->viewport());
    Edit_Tmr->setObjectName(QStringLiteral("Edit_Tmr"));
    // Digits only: every change is stored at once, so no other character may reach the text.
    Edit_Tmr->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,10}")), Edit_Tmr));
    Edit_Tmr->setFrame(false);
    Edit_Tmr->hide();
    Edit_Tmr->installEventFilter(this);
    connect(Edit_Tmr, &QLineEdit::textChanged, this, &TForm_Latest_Events::Edit_TmrChange);

    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    bar->setSizeGripEnabled(false);
    StatusBar1_Panel_0 = new QLabel(bar);
    StatusBar1_Panel_0->setObjectName(QStringLiteral("StatusBar1_Panel_0"));
    StatusBar1_Panel_0->setMinimumWidth(50);
    StatusBar1_Panel_0->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    bar->addWidget(StatusBar1_Panel_0, 1);

    resize(Client_Width, menu->sizeHint().height() + Client_Height);
    setMinimumSize(600, 200);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    Timer_Ping_Update = new QTimer(this);
    Timer_Ping_Update->setObjectName(QStringLiteral("Timer_Ping_Update"));
    Timer_Ping_Update->setInterval(1000);
    connect(Timer_Ping_Update, &QTimer::timeout, this, &TForm_Latest_Events::Timer_Ping_UpdateTimer);
    Timer_Ping_Update->start();
}

bool TForm_Latest_Events::Has_Object(int row) const
{
    return row >= 0 && row < static_cast<int>(Object_Count)
        && table.Object(static_cast<std::uint32_t>(row)).Account_Number[0] != '\0';
}

std::pair<QColor, QColor> TForm_Latest_Events::Row_Colours(int row, bool selected) const
{
    const QPalette& colours = StringGrid_Latest_Events->palette();
    const bool failed = row >= 0 && row < static_cast<int>(Object_Count)
        && (table.Supervision_Flags(static_cast<std::uint32_t>(row)) & Flag_Failed) != 0;
    if (failed)
        return {selected ? Failed_Selected_Fore : colours.color(QPalette::HighlightedText), Failed_Back};
    return {colours.color(QPalette::Text), selected ? Selected_Back : colours.color(QPalette::Base)};
}

void TForm_Latest_Events::Paint_Trash(QPainter* painter, const QRect& cell, const QModelIndex& index) const
{
    if (index.column() == Object_Trash_Column && Has_Object(index.row()))
        painter->drawPixmap(cell.left() + 4, cell.top(), Image_Trash);
}

void TForm_Latest_Events::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    Edit_Tmr->hide();
    Refresh_ID_List_GridExecute();
}

void TForm_Latest_Events::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    Adjust_Grid_SizeExecute();
}

bool TForm_Latest_Events::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Edit_Tmr && event->type() == QEvent::FocusOut)
        Edit_TmrExit();
    return QMainWindow::eventFilter(watched, event);
}

void TForm_Latest_Events::Refresh_ID_List_GridExecute()
{
    if (!isVisible())
        return;
    refreshing = true;
    const int count = model->Refresh();
    refreshing = false;
    StatusBar1_Panel_0->setText(QStringLiteral("Number of objects: ") + QString::number(count));
    StringGrid_Latest_Events->viewport()->update();
    Adjust_Grid_SizeExecute();
}

void TForm_Latest_Events::Adjust_Grid_SizeExecute()
{
    StringGrid_Latest_Events->resize(StringGrid_Latest_Events->width(), centralWidget()->height());
    int width = frameGeometry().width();
    if (StringGrid_Latest_Events->Vertical_Scroll_Bar_Shown())
        width -= Scroll_Bar_Allowance;
    StringGrid_Latest_Events->setGeometry(0, 0, width, centralWidget()->height());
    for (int column = 0; column < Object_List_Columns; ++column)
        StringGrid_Latest_Events->setColumnWidth(column, Object_Column_Width(width, column));
    Place_Editor();
}

void TForm_Latest_Events::Place_Editor()
{
    if (Edit_Tmr->isHidden() || selected_column != Object_Timeout_Column)
        return;
    Edit_Tmr->setGeometry(
        StringGrid_Latest_Events->visualRect(model->index(selected_row - 1, selected_column)));
}

void TForm_Latest_Events::StringGrid_Latest_EventsSelectCell(int column, int row)
{
    selected_row = row;
    selected_column = column;
    const int position = row - 1;
    // A row without an object has no time-out to edit and nothing to delete.
    if (column == Object_Timeout_Column && Has_Object(position)) {
        {
            const QSignalBlocker quiet(Edit_Tmr);
            Edit_Tmr->setText(
                QString::number(table.Object(static_cast<std::uint32_t>(position)).Ping_Timeout));
        }
        Edit_TmrChange();
        Edit_Tmr->show();
        Place_Editor();
        Edit_Tmr->setFocus();
        return;
    }
    Edit_Tmr->hide();
    if (column != Object_Trash_Column || !Has_Object(position))
        return;
    const QString account = Object_Cell_Text(table.Object(static_cast<std::uint32_t>(position)), 1);
    if (!ask
        || !ask(this, QStringLiteral("Delete object  ") + account + QStringLiteral(" ?"), main_caption,
            Question_Buttons::Yes_No))
        return;
    table.Delete_Object(static_cast<std::uint32_t>(position));
    Refresh_ID_List_GridExecute();
}

void TForm_Latest_Events::Edit_TmrChange()
{
    const QString text = Edit_Tmr->text();
    if (text.isEmpty() || !Has_Object(selected_row - 1))
        return;
    // Ten digits may exceed 32 bits; the table clamps whatever it gets to the largest time-out.
    const qulonglong minutes = text.toULongLong();
    const auto limit = std::numeric_limits<std::uint32_t>::max();
    table.Set_Ping_Timeout(static_cast<std::uint32_t>(selected_row - 1),
        minutes > limit ? limit : static_cast<std::uint32_t>(minutes));
}

void TForm_Latest_Events::Edit_TmrExit()
{
    Refresh_ID_List_GridExecute();
}

void TForm_Latest_Events::Menu_Delete_ObjectsClick()
{
    if (!ask
        || !ask(this, QStringLiteral("     Are you sure you want to delete all objects?"), main_caption,
            Question_Buttons::Ok_Cancel))
        return;
    // No countdown may run while the table is emptied.
    Timer_Ping_Update->stop();
    if (table.Delete_All_Objects())
        Refresh_ID_List_GridExecute();
    Timer_Ping_Update->start();
}

void TForm_Latest_Events::Timer_Ping_UpdateTimer()
{
    const bool failed = table.Supervision_Tick();
    // The operator is editing a time-out: the table is not rebuilt under the editor.
    if (!Edit_Tmr->isHidden())
        return;
    if (changed.Try_Take() || failed)
        Refresh_ID_List_GridExecute();
}
