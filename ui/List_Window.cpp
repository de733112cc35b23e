#include "ui/List_Window.h"

#include "ui/List_Grid.h"
#include "ui/List_Model.h"

#include <QAction>
#include <QGuiApplication>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>

namespace {

Qt::WindowFlags Window_Flags(bool minimize_button)
{
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
        | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint;
    if (minimize_button)
        flags |= Qt::WindowMinimizeButtonHint;
    return flags;
}

} // namespace

List_Window::List_Window(
    const Shape& window_shape, List_Model* model, Ask_Operator ask_operator, QWidget* parent)
    : QMainWindow(parent, Window_Flags(window_shape.Minimize_Button))
    , shape(window_shape)
    , ask(std::move(ask_operator))
{
    setObjectName(QString::fromLatin1(shape.Object_Name));
    setWindowTitle(QString::fromLatin1(shape.Caption));
    setAttribute(Qt::WA_QuitOnClose, false);
    setFont(List_Window_Font(font()));

    menuBar()->setObjectName(QStringLiteral("MainMenu1"));

    auto* client = new QWidget(this);
    setCentralWidget(client);
    model->setParent(this);
    Grid = new List_Grid(client);
    Grid->setObjectName(QString::fromLatin1(shape.Grid_Name));
    Grid->setModel(model);

    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    bar->setSizeGripEnabled(false);
}

QAction* List_Window::Add_Menu_Action(const char* name, const QString& text)
{
    QAction* action = menuBar()->addAction(text);
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

QLabel* List_Window::Add_Status_Panel(const char* name, int stretch)
{
    auto* panel = new QLabel(statusBar());
    panel->setObjectName(QString::fromLatin1(name));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    statusBar()->addWidget(panel, stretch);
    if (count_panel == nullptr)
        count_panel = panel;
    return panel;
}

void List_Window::Place_On_Screen()
{
    resize(shape.Client.width(), menuBar()->sizeHint().height() + shape.Client.height());
    setMinimumSize(shape.Minimum);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void List_Window::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    Refresh_Rows();
}

void List_Window::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    Adjust_Grid_SizeExecute();
}

void List_Window::Refresh_Rows()
{
    // A hidden window costs nothing when the store changes; showing it rebuilds the table.
    if (!isVisible())
        return;
    const int count = Refresh_Model();
    count_panel->setText(QString::fromLatin1(shape.Count_Caption) + QString::number(count));
    Adjust_Grid_SizeExecute();
}

void List_Window::Adjust_Grid_SizeExecute()
{
    // The grid reaches down to the status bar.
    Grid->resize(Grid->width(), centralWidget()->height());
    int width = frameGeometry().width();
    if (Grid->Vertical_Scroll_Bar_Shown())
        width -= shape.Scroll_Bar_Allowance;
    Grid->setGeometry(0, 0, width, centralWidget()->height());
    const int columns = Grid->model()->columnCount();
    for (int column = 0; column < columns; ++column)
        Grid->setColumnWidth(column, shape.Column_Width(width, column));
    Grid_Adjusted();
}

bool List_Window::Confirm(const QString& text, const QString& title, Question_Buttons buttons)
{
    return ask && ask(this, text, title, buttons);
}
