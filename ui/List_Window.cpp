#include "ui/List_Window.h"

#include "ui/List_Grid.h"
#include "ui/List_Model.h"

#include <QAction>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QScreen>
#include <QShortcut>
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
    Model = model;

    QHeaderView* header = Grid->horizontalHeader();
    header->setSectionsClickable(true);
    connect(header, &QHeaderView::sectionClicked, this, &List_Window::Sort_By_Column);
    connect(
        Grid->selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex& index) {
            if (!refreshing)
                Follow_Current(index);
        });

    // The menu bar places its corner widget by its size hint, so the field sits in a box that
    // hints its width.
    auto* corner = new QWidget(menuBar());
    auto* corner_layout = new QHBoxLayout(corner);
    corner_layout->setContentsMargins(0, 0, 4, 0);
    account_filter = new QLineEdit(corner);
    account_filter->setObjectName(QStringLiteral("Edit_Account_Filter"));
    account_filter->setPlaceholderText(QStringLiteral("Account"));
    account_filter->setToolTip(QStringLiteral("Show only the accounts that contain this text (Ctrl+F)"));
    account_filter->setClearButtonEnabled(true);
    account_filter->setFixedWidth(140);
    corner_layout->addWidget(account_filter);
    menuBar()->setCornerWidget(corner, Qt::TopRightCorner);
    connect(account_filter, &QLineEdit::textChanged, this, [this](const QString& text) {
        Arrangement_Changing();
        Model->Set_Account_Filter(text);
        Refresh_Rows();
    });
    auto* find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, [this] {
        account_filter->setFocus();
        account_filter->selectAll();
    });

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
    // The chosen record keeps the selection wherever its row went; once it is gone, so is the
    // selection.
    const QModelIndex current = Grid->currentIndex();
    refreshing = true;
    const int count = Refresh_Model();
    if (current.isValid() && following) {
        const std::uint32_t slot = Followed_Slot();
        const int row = slot == List_Model::No_Slot ? -1 : Model->Row_Of_Slot(slot);
        if (row >= 0 && row != current.row())
            Grid->setCurrentIndex(Model->index(row, current.column()));
        else if (row < 0) {
            Grid->clearSelection();
            following = false;
        }
    }
    refreshing = false;
    QString text = QString::fromLatin1(shape.Count_Caption) + QString::number(count);
    if (Model->Filtered())
        text += QStringLiteral(", shown: ") + QString::number(Model->Shown_Count());
    count_panel->setText(text);
    Adjust_Grid_SizeExecute();
}

int List_Window::Refresh_Model()
{
    return Model->Refresh();
}

void List_Window::Follow_Current(const QModelIndex& current)
{
    const std::uint32_t slot = current.isValid() ? Model->Slot_Of_Row(current.row()) : List_Model::No_Slot;
    following = slot != List_Model::No_Slot;
    if (following)
        Follow(slot);
}

void List_Window::Sort_By_Column(int column)
{
    if (!Sortable(column))
        return;
    Arrangement_Changing();
    // Ascending, descending, then the store's own order again.
    if (Model->Sort_Column() != column)
        Model->Set_Sort(column, Qt::AscendingOrder);
    else if (Model->Sort_Order() == Qt::AscendingOrder)
        Model->Set_Sort(column, Qt::DescendingOrder);
    else
        Model->Set_Sort(List_Model::No_Sort, Qt::AscendingOrder);
    QHeaderView* header = Grid->horizontalHeader();
    header->setSortIndicatorShown(Model->Sort_Column() != List_Model::No_Sort);
    header->setSortIndicator(column, Model->Sort_Order());
    Refresh_Rows();
    if (Grid->currentIndex().isValid() && Grid->selectionModel()->hasSelection())
        Grid->scrollTo(Grid->currentIndex());
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
