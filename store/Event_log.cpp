#include "store/Event_log.h"

#include "store/Atomic_Bits.h"
#include "store/Event_Store.h"
#include "store/List_Cell_Text.h"
#include "store/List_Grid.h"

#include <QAction>
#include <QGuiApplication>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>

namespace {

constexpr int Client_Width = 874;
constexpr int Client_Height = 511;
// A grid that shows its scroll bar gives this much of the window's width to it.
constexpr int Scroll_Bar_Allowance = 25;

} // namespace

Event_List_Model::Event_List_Model(const Event_Store& event_store, QObject* parent)
    : QAbstractTableModel(parent)
    , store(event_store)
{ }

int Event_List_Model::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : rows;
}

int Event_List_Model::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : Event_List_Columns;
}

QVariant Event_List_Model::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    return Event_List_Header(section);
}

QVariant Event_List_Model::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid())
        return {};
    const Event_Record& record = store.Slot(Event_Slot_Of_Row(next_slot, index.row()));
    // A free slot has no row of its own: its place stays empty.
    if (Load_Bits(record.Status) == 0)
        return QString();
    return Event_Cell_Text(record, index.column());
}

int Event_List_Model::Refresh()
{
    next_slot = store.Next_Slot() % Event_Slot_Count;
    int used = 0;
    for (std::uint32_t slot = 0; slot < Event_Slot_Count; ++slot)
        used += store.Status(slot) != 0 ? 1 : 0;
    count = used;
    Set_Rows(used > 0 ? used : 1);
    emit dataChanged(index(0, 0), index(rows - 1, Event_List_Columns - 1));
    return count;
}

void Event_List_Model::Set_Rows(int wanted)
{
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
}

TForm_Events::TForm_Events(Event_Store& event_store, Ask_Operator ask_operator, QWidget* parent)
    : QMainWindow(parent,
        Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
            | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint)
    , store(event_store)
    , ask(std::move(ask_operator))
{
    setObjectName(QStringLiteral("Form_Events"));
    setWindowTitle(QStringLiteral("Event List"));
    setAttribute(Qt::WA_QuitOnClose, false);
    setFont(List_Window_Font(font()));

    QMenuBar* menu = menuBar();
    menu->setObjectName(QStringLiteral("MainMenu1"));
    Menu_Events_Export = menu->addAction(QStringLiteral("Export"));
    Menu_Events_Export->setObjectName(QStringLiteral("Menu_Events_Export"));
    Menu_Events_Export->setEnabled(false);
    Clear1 = menu->addAction(QStringLiteral("Clear Events"));
    Clear1->setObjectName(QStringLiteral("Clear1"));
    connect(Clear1, &QAction::triggered, this, &TForm_Events::Clear1Click);

    auto* client = new QWidget(this);
    setCentralWidget(client);
    model = new Event_List_Model(store, this);
    StringGrid_Events = new List_Grid(client);
    StringGrid_Events->setObjectName(QStringLiteral("StringGrid_Events"));
    StringGrid_Events->setModel(model);
    StringGrid_Events->setItemDelegate(new List_Cell_Delegate(
        [this](int, bool selected) {
            const QPalette& colours = StringGrid_Events->palette();
            return selected
                ? std::pair {colours.color(QPalette::HighlightedText), colours.color(QPalette::Highlight)}
                : std::pair {colours.color(QPalette::Text), colours.color(QPalette::Base)};
        },
        {}, StringGrid_Events));

    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    bar->setSizeGripEnabled(false);
    StatusBar1_Panel_0 = new QLabel(bar);
    StatusBar1_Panel_0->setObjectName(QStringLiteral("StatusBar1_Panel_0"));
    StatusBar1_Panel_0->setFixedWidth(200);
    auto* panel_1 = new QLabel(bar);
    panel_1->setObjectName(QStringLiteral("StatusBar1_Panel_1"));
    panel_1->setMinimumWidth(50);
    for (QLabel* panel : {StatusBar1_Panel_0, panel_1})
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    bar->addWidget(StatusBar1_Panel_0);
    bar->addWidget(panel_1, 1);

    resize(Client_Width, menu->sizeHint().height() + Client_Height);
    setMinimumSize(800, 200);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TForm_Events::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    Refresh_Log_GridExecute();
}

void TForm_Events::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    Adjust_Grid_SizeExecute();
}

void TForm_Events::Refresh_Log_GridExecute()
{
    // A hidden window costs nothing when events arrive; showing it rebuilds the table.
    if (!isVisible())
        return;
    const int count = model->Refresh();
    StatusBar1_Panel_0->setText(QStringLiteral("Events received: ") + QString::number(count));
    Adjust_Grid_SizeExecute();
}

void TForm_Events::Adjust_Grid_SizeExecute()
{
    // The grid reaches down to the status bar.
    StringGrid_Events->resize(StringGrid_Events->width(), centralWidget()->height());
    int width = frameGeometry().width();
    if (StringGrid_Events->Vertical_Scroll_Bar_Shown())
        width -= Scroll_Bar_Allowance;
    StringGrid_Events->setGeometry(0, 0, width, centralWidget()->height());
    for (int column = 0; column < Event_List_Columns; ++column)
        StringGrid_Events->setColumnWidth(column, Event_Column_Width(width, column));
}

void TForm_Events::Clear1Click()
{
    if (!ask
        || !ask(this, QStringLiteral("     Are you sure you want to delete all events?"),
            QStringLiteral("Clear Events"), Question_Buttons::Ok_Cancel))
        return;
    // Nothing at all happens when the event file has gone.
    if (!store.Clear_Events())
        return;
    Refresh_Log_GridExecute();
}
