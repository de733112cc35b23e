#include "ui/Event_List_Window.h"

#include "store/Event_Store.h"
#include "store/Fixed_Text.h"
#include "ui/Event_Kind.h"
#include "ui/Event_List_Model.h"
#include "ui/List_Cell_Text.h"
#include "ui/List_Grid.h"
#include "ui/Message_Box.h"

#include <QAction>
#include <QFileDialog>
#include <QLabel>
#include <QPainter>
#include <QSaveFile>

#include <functional>

namespace {

// Window name, caption, grid name, minimise button, client and least size, scroll bar allowance,
// column widths, count caption.
const List_Window::Shape Events_Shape {"Form_Events", "Event List", "StringGrid_Events", true, {874, 511},
    {800, 200}, 25, Event_Column_Width, "Events received: "};
const QColor Alarm_Back(255, 190, 190);
const QColor Restore_Back(200, 240, 200);
const QColor Trouble_Back(255, 230, 160);
const QColor Link_Test_Fore(128, 128, 128);
const QColor Pending_Marker(255, 140, 0);

} // namespace

TForm_Events::TForm_Events(Event_Store& event_store, Ask_Operator ask_operator, QWidget* parent)
    : List_Window(Events_Shape, new Event_List_Model(event_store), std::move(ask_operator), parent)
    , store(event_store)
{
    QAction* export_rows = Add_Menu_Action("Menu_Events_Export", QStringLiteral("E&xport"));
    connect(export_rows, &QAction::triggered, this, &TForm_Events::Menu_Events_ExportClick);
    QAction* clear = Add_Menu_Action("Clear1", QStringLiteral("&Clear Events"));
    connect(clear, &QAction::triggered, this, &TForm_Events::Clear1Click);

    Grid->setItemDelegate(
        new List_Cell_Delegate([this](int row, bool selected) { return Row_Colours(row, selected); },
            [this](QPainter* painter, const QRect& cell, const QModelIndex& index) {
                Paint_Pending_Marker(painter, cell, index);
            },
            Grid));

    Add_Status_Panel("StatusBar1_Panel_0", 0)->setFixedWidth(200);
    Add_Status_Panel("StatusBar1_Panel_1", 1)->setMinimumWidth(50);
    Place_On_Screen();
}

void TForm_Events::Refresh_Log_GridExecute()
{
    Refresh_Rows();
}

void TForm_Events::Follow(std::uint32_t slot)
{
    followed_slot = slot;
    followed_generation = store.Generation(slot);
}

std::uint32_t TForm_Events::Followed_Slot() const
{
    // An event that left the ring (its slot written again) takes the selection with it.
    return store.Generation(followed_slot) == followed_generation ? followed_slot : List_Model::No_Slot;
}

std::pair<QColor, QColor> TForm_Events::Row_Colours(int row, bool selected) const
{
    const QPalette& colours = Grid->palette();
    if (selected)
        return {colours.color(QPalette::HighlightedText), colours.color(QPalette::Highlight)};
    const QColor text = colours.color(QPalette::Text);
    const std::uint32_t slot = Model->Slot_Of_Row(row);
    if (slot == List_Model::No_Slot)
        return {text, colours.color(QPalette::Base)};
    switch (Event_Kind_Of(Fixed_Text(store.Slot(slot).Qualifier_Event))) {
    case Event_Kind::Alarm:
        return {text, Alarm_Back};
    case Event_Kind::Restore:
        return {text, Restore_Back};
    case Event_Kind::Trouble:
        return {text, Trouble_Back};
    case Event_Kind::Link_Test:
        return {Link_Test_Fore, colours.color(QPalette::Base)};
    case Event_Kind::Other:
        break;
    }
    return {text, colours.color(QPalette::Base)};
}

void TForm_Events::Paint_Pending_Marker(QPainter* painter, const QRect& cell, const QModelIndex& index) const
{
    // "Pending": not yet taken by the automation software. An orange bar at the status cell's left.
    const std::uint32_t slot = Model->Slot_Of_Row(index.row());
    if (index.column() != Event_Status_Column || slot == List_Model::No_Slot)
        return;
    if (Status_Text(store.Slot(slot)) == "Pending")
        painter->fillRect(QRect(cell.left() + 1, cell.top() + 1, 5, cell.height() - 2), Pending_Marker);
}

namespace {

// One CSV field: the cell's text without its padding, quoted when it holds a separator or a quote.
QString Csv_Field(const QString& text)
{
    QString field = text.simplified();
    if (field.contains(QLatin1Char(',')) || field.contains(QLatin1Char('"'))) {
        field.replace(QStringLiteral("\""), QStringLiteral("\"\""));
        field = QLatin1Char('"') + field + QLatin1Char('"');
    }
    return field;
}

} // namespace

bool TForm_Events::Export_Rows(const QString& path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    const int columns = Model->columnCount();
    const auto write_row = [&file, columns](const std::function<QString(int)>& cell) {
        QStringList fields;
        for (int column = 0; column < columns; ++column)
            fields << Csv_Field(cell(column));
        file.write((fields.join(QLatin1Char(',')) + QLatin1Char('\n')).toUtf8());
    };
    write_row([](int column) { return Event_List_Header(column); });
    // The rows as shown: sorted and left out as the operator chose.
    for (int row = 0; row < Model->rowCount(); ++row)
        if (Model->Row_Has_Record(row))
            write_row([this, row](int column) { return Model->index(row, column).data().toString(); });
    return file.commit();
}

void TForm_Events::Menu_Events_ExportClick()
{
    // Without a display there is nobody to choose a file (tests call Export_Rows with a path).
    if (!Has_Real_Display())
        return;
    const QString path = QFileDialog::getSaveFileName(
        this, QStringLiteral("Export"), QStringLiteral("events.csv"), QStringLiteral("CSV files (*.csv)"));
    if (path.isEmpty())
        return;
    if (!Export_Rows(path))
        Message_Box(this, QStringLiteral("Cannot write file \"%1\".").arg(path), windowTitle(),
            Box_Buttons::Ok, Box_Icon::Error);
}

void TForm_Events::Clear1Click()
{
    if (!Confirm(QStringLiteral("     Are you sure you want to delete all events?"),
            QStringLiteral("Clear Events"), Question_Buttons::Ok_Cancel))
        return;
    // Nothing at all happens when the event file has gone.
    if (!store.Clear_Events())
        return;
    Refresh_Log_GridExecute();
}
