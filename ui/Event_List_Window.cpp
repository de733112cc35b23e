#include "ui/Event_List_Window.h"

#include "store/Event_Store.h"
#include "ui/Event_List_Model.h"
#include "ui/List_Cell_Text.h"
#include "ui/List_Grid.h"

#include <QAction>
#include <QLabel>

namespace {

// Window name, caption, grid name, minimise button, client and least size, scroll bar allowance,
// column widths, count caption.
const List_Window::Shape Events_Shape {"Form_Events", "Event List", "StringGrid_Events", true, {874, 511},
    {800, 200}, 25, Event_Column_Width, "Events received: "};

} // namespace

TForm_Events::TForm_Events(Event_Store& event_store, Ask_Operator ask_operator, QWidget* parent)
    : List_Window(Events_Shape, new Event_List_Model(event_store), std::move(ask_operator), parent)
    , store(event_store)
    , model(static_cast<Event_List_Model*>(Grid->model()))
{
    Add_Menu_Action("Menu_Events_Export", QStringLiteral("E&xport"))->setEnabled(false);
    QAction* clear = Add_Menu_Action("Clear1", QStringLiteral("&Clear Events"));
    connect(clear, &QAction::triggered, this, &TForm_Events::Clear1Click);

    Grid->setItemDelegate(new List_Cell_Delegate(
        [this](int, bool selected) {
            const QPalette& colours = Grid->palette();
            return selected
                ? std::pair {colours.color(QPalette::HighlightedText), colours.color(QPalette::Highlight)}
                : std::pair {colours.color(QPalette::Text), colours.color(QPalette::Base)};
        },
        {}, Grid));

    Add_Status_Panel("StatusBar1_Panel_0", 0)->setFixedWidth(200);
    Add_Status_Panel("StatusBar1_Panel_1", 1)->setMinimumWidth(50);
    Place_On_Screen();
}

void TForm_Events::Refresh_Log_GridExecute()
{
    Refresh_Rows();
}

int TForm_Events::Refresh_Model()
{
    return model->Refresh();
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
