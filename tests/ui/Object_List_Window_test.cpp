#include "store/Supervision_Timer.h"
#include "ui/List_Grid.h"
#include "ui/List_Window_Fixture.h"
#include "ui/Object_List_Window.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPaintEvent>

namespace {

// Counts the paint events a widget gets for an area (the editor's caret repaints its own).
struct Paint_Counter : QObject
{
    Paint_Counter(QWidget* widget, QRect painted)
        : watched(widget)
        , area(painted)
    {
        watched->installEventFilter(this);
    }
    ~Paint_Counter() override { watched->removeEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && static_cast<QPaintEvent*>(event)->region().intersects(area))
            ++Count;
        return false;
    }
    QWidget* watched;
    QRect area;
    int Count = 0;
};

class Object_List_Window_Test : public List_Window_Test
{
protected:
    Object_List_Window_Test() { supervision.Start(); }

    void Show()
    {
        form.show();
        Set_Outer_Width(form, 1000, 500);
        form.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    }

    QString Cell(int row, int column) { return List_Window_Test::Cell(Model(), row, column); }
    List_Grid* Grid() { return Find<List_Grid>(form, "StringGrid_Latest_Events"); }
    QLineEdit* Editor() { return Find<QLineEdit>(form, "Edit_Tmr"); }
    const QAbstractItemModel* Model() { return Grid()->model(); }
    int Rows() { return Model()->rowCount(); }
    QString Status() { return Find<QLabel>(form, "StatusBar1_Panel_0")->text(); }
    void Delete_All() { Find<QAction>(form, "Menu_Delete_Objects")->trigger(); }

    // Clicks a body cell as the operator would (row from 0, under the header).
    void Click(int row, int column)
    {
        List_Grid* grid = Grid();
        grid->scrollTo(grid->model()->index(row, column));
        const QRect cell = grid->visualRect(grid->model()->index(row, column));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    }

    void Fail(std::uint32_t position)
    {
        objects.Set_Ping_Timeout(position, 1);
        for (int tick = 0; tick < 60; ++tick)
            objects.Supervision_Tick();
        ASSERT_NE(objects.Supervision_Flags(position) & Flag_Failed, 0);
    }

    Supervision_Timer supervision {objects, object_changed};
    TForm_Latest_Events form {objects, supervision, Operator(), QStringLiteral("Main Caption")};
};

TEST_F(Object_List_Window_Test, ObjectsFillTheRowsByPosition)
{
    Show();
    EXPECT_EQ(Rows(), 1) << "no object: one empty body row";
    EXPECT_EQ(Cell(0, 1), QString());
    EXPECT_EQ(Status(), QStringLiteral("Number of objects: 0"));
    EXPECT_FALSE(Has_Colour(Cell_Image(Grid(), 0, 10), QColor(64, 64, 64)))
        << "no trash icon on an empty row";

    Add_Object("1111");
    Add_Object("2222");
    Event_Record link_test = Make_Event("3333", 1765262000, "NULL");
    link_test.Signal_Quality = 37;
    objects.Update_Object(link_test, true);
    form.Refresh_ID_List_GridExecute();
    EXPECT_EQ(Rows(), 3);
    EXPECT_EQ(Status(), QStringLiteral("Number of objects: 3"));
    EXPECT_EQ(Cell(0, 1), QStringLiteral("1111")) << "no leading space outside columns 4 and 8";
    EXPECT_EQ(Cell(0, 2), QStringLiteral("01"));
    EXPECT_EQ(Cell(0, 4), QStringLiteral(" 1   401"));
    EXPECT_EQ(Cell(0, 7), QStringLiteral("192.168.100.200"));
    EXPECT_EQ(Cell(0, 8), QString()) << "no signal quality reported";
    EXPECT_EQ(Cell(0, 9), QStringLiteral("70 min"));
    EXPECT_EQ(Cell(2, 4), QStringLiteral(" PING"));
    EXPECT_EQ(Cell(2, 8), QStringLiteral(" 37 %"));
    EXPECT_EQ(Cell(2, 9), QStringLiteral("6 min"));
    EXPECT_EQ(Cell(2, 10), QString());
    const QDateTime local = QDateTime::fromSecsSinceEpoch(1765262000);
    EXPECT_EQ(Cell(1, 0), local.toString(QStringLiteral("HH:mm:ss   yyyy-MM-dd")));
    EXPECT_TRUE(Has_Colour(Cell_Image(Grid(), 0, 10), QColor(64, 64, 64)))
        << "the trash icon is painted on an object's row";
}

TEST_F(Object_List_Window_Test, TrashAsksAndMovesTheRowsBelowUp)
{
    Add_Object("1111");
    Add_Object("2222");
    Add_Object("3333");
    Show();

    answer = false;
    Click(0, 10);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].Text, QStringLiteral("Delete object  1111 ?"));
    EXPECT_EQ(asked[0].Title, QStringLiteral("Main Caption"));
    EXPECT_EQ(asked[0].Buttons, Question_Buttons::Yes_No);
    EXPECT_EQ(Rows(), 3) << "No deletes nothing";

    answer = true;
    Click(0, 10); // the same cell again
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(Rows(), 2);
    EXPECT_EQ(Cell(0, 1), QStringLiteral("2222"));
    EXPECT_EQ(Cell(1, 1), QStringLiteral("3333"));
    EXPECT_EQ(Status(), QStringLiteral("Number of objects: 2"));

    // Deleting the last row must not take the next one as chosen.
    Click(1, 10);
    EXPECT_EQ(asked.size(), 3u);
    EXPECT_EQ(Rows(), 1);
    EXPECT_EQ(Cell(0, 1), QStringLiteral("2222"));
}

TEST_F(Object_List_Window_Test, CellMovesIntoTheTrashColumnNeverAskButDeleteKeyDoes)
{
    Add_Object("1111");
    Add_Object("2222");
    Show();
    answer = true;
    List_Grid* grid = Grid();
    Click(0, 3);
    QTest::keyClick(grid, Qt::Key_End);
    ASSERT_EQ(grid->currentIndex().column(), 10) << "End reaches the trash column";
    QTest::keyClick(grid, Qt::Key_Down);
    ASSERT_EQ(grid->currentIndex().row(), 1);
    Click(0, 9);
    ASSERT_TRUE(Editor()->hasFocus());
    QTest::keyClick(Editor(), Qt::Key_Tab);
    EXPECT_TRUE(asked.empty()) << "no move of the current cell asks";
    EXPECT_EQ(Rows(), 2);

    grid->setCurrentIndex(Model()->index(1, 3));
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_Delete);
    EXPECT_TRUE(asked.empty()) << "Delete asks only on the trash icon";
    grid->setCurrentIndex(Model()->index(1, 10));
    QTest::keyClick(grid, Qt::Key_Delete);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].Text, QStringLiteral("Delete object  2222 ?"));
    EXPECT_EQ(Rows(), 1);
}

TEST_F(Object_List_Window_Test, TimeoutEditorStoresOnEnterOrLeavingAndRevertsOnEscape)
{
    Add_Object("1111");
    Add_Object("2222");
    Show();
    Click(0, 9);
    ASSERT_TRUE(Editor()->isVisible());
    EXPECT_EQ(Editor()->text(), QStringLiteral("70"));
    EXPECT_EQ(Editor()->geometry(), Grid()->visualRect(Model()->index(0, 9)))
        << "the editor sits over its cell";
    EXPECT_TRUE(Editor()->hasFrame());
    EXPECT_NE(Find<QLabel>(form, "Edit_Tmr_Unit"), nullptr);

    Editor()->selectAll();
    QTest::keyClicks(Editor(), QStringLiteral("5x"));
    EXPECT_EQ(Editor()->text(), QStringLiteral("5")) << "digits only";
    EXPECT_EQ(objects.Object(0).Ping_Timeout, 70u) << "typing alone stores nothing";
    QTest::keyClick(Editor(), Qt::Key_Escape);
    EXPECT_FALSE(Editor()->isVisible());
    EXPECT_EQ(objects.Object(0).Ping_Timeout, 70u) << "Escape keeps the old value";
    EXPECT_EQ(Cell(0, 9), QStringLiteral("70 min"));

    Click(0, 9);
    Editor()->selectAll();
    QTest::keyClicks(Editor(), QStringLiteral("5"));
    QTest::keyClick(Editor(), Qt::Key_Return);
    EXPECT_FALSE(Editor()->isVisible());
    EXPECT_EQ(objects.Object(0).Ping_Timeout, 5u);
    EXPECT_EQ(objects.Object(0).Ping_Countdown, 300u);

    // Leaving the editor stores too; a failure meanwhile is painted red at once.
    Click(0, 9);
    Editor()->selectAll();
    QTest::keyClicks(Editor(), QStringLiteral("9"));
    Fail(1);
    QTest::qWait(50); // every paint asked for so far is done
    Paint_Counter paints(Grid()->viewport(), Grid()->visualRect(Model()->index(1, 1)));
    object_changed.Set();
    supervision.Timer_Ping_UpdateTimer();
    ASSERT_TRUE(Editor()->isVisible());
    EXPECT_TRUE(QTest::qWaitFor([&] { return paints.Count > 0; }, 2000)) << "the rows are painted again";
    EXPECT_EQ(Cell_Image(Grid(), 1, 1).pixelColor(1, 8), QColor(255, 0, 0))
        << "failures show under the editor";
    Grid()->setFocus();
    EXPECT_EQ(objects.Object(0).Ping_Timeout, 9u);
    EXPECT_EQ(Cell(0, 9), QStringLiteral("9 min"));
}

TEST_F(Object_List_Window_Test, SearchSortAndFailedFirstActOnTheObjectsTheRowsShow)
{
    Add_Object("1111", 1765262003);
    Add_Object("2222", 1765262001);
    Add_Object("3333", 1765262002);
    Add_Object("3334", 1765262000);
    Fail(2);
    Show();
    Find<QAction>(form, "Menu_Failed_First")->trigger();
    EXPECT_EQ(Column_Texts(Model(), 1), (std::vector<std::string> {"3333", "1111", "2222", "3334"}));
    Click_Header(Grid(), 0);
    EXPECT_EQ(Column_Texts(Model(), 1), (std::vector<std::string> {"3333", "3334", "2222", "1111"}))
        << "failed first, then the oldest message";
    Find<QAction>(form, "Menu_Failed_First")->trigger();
    EXPECT_EQ(Column_Texts(Model(), 1), (std::vector<std::string> {"3334", "2222", "3333", "1111"}));

    // The editor and the trash act on the object of their row, not on the position of the row.
    Click(0, 9);
    Editor()->selectAll();
    QTest::keyClicks(Editor(), QStringLiteral("15"));
    QTest::keyClick(Editor(), Qt::Key_Return);
    EXPECT_EQ(objects.Object(3).Ping_Timeout, 15u) << "3334";
    EXPECT_EQ(objects.Object(0).Ping_Timeout, 70u);

    auto* search = Find<QLineEdit>(form, "Edit_Account_Filter");
    QTest::keyClicks(search, QStringLiteral("333"));
    EXPECT_EQ(Column_Texts(Model(), 1), (std::vector<std::string> {"3334", "3333"}));
    EXPECT_EQ(Status(), QStringLiteral("Number of objects: 4, shown: 2"));
    Click(1, 10);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].Text, QStringLiteral("Delete object  3333 ?"));
    EXPECT_EQ(Column_Texts(Model(), 1), (std::vector<std::string> {"3334"}));
    search->clear();
    EXPECT_EQ(Column_Texts(Model(), 1), (std::vector<std::string> {"3334", "2222", "1111"}));
}

TEST_F(Object_List_Window_Test, SupervisionChangesRefreshTheShownRows)
{
    Show();
    Add_Object("1111");
    supervision.Timer_Ping_UpdateTimer();
    EXPECT_EQ(Rows(), 1) << "nothing signalled: no refresh";
    EXPECT_EQ(Status(), QStringLiteral("Number of objects: 0"));
    object_changed.Set();
    supervision.Timer_Ping_UpdateTimer();
    EXPECT_EQ(Status(), QStringLiteral("Number of objects: 1"));

    Add_Object("2222");
    objects.Set_Ping_Timeout(1, 1);
    for (int tick = 0; tick < 59; ++tick)
        objects.Supervision_Tick();
    supervision.Timer_Ping_UpdateTimer(); // the 60th tick fails object 2222
    EXPECT_NE(objects.Supervision_Flags(1) & Flag_Failed, 0);
    EXPECT_EQ(Status(), QStringLiteral("Number of objects: 2")) << "a failure refreshes by itself";
}

TEST_F(Object_List_Window_Test, AccountLongerThanTheLineSaysWhatIsForwarded)
{
    Add_Object("1234");
    Add_Object("100200");
    Show();
    EXPECT_EQ(Model()->index(0, 1).data(Qt::ToolTipRole), QVariant());
    EXPECT_EQ(Model()->index(1, 1).data(Qt::ToolTipRole).toString(),
        QStringLiteral("Longer than the automation software's line carries: forwarded as 1002"));
    EXPECT_EQ(Cell(1, 1), QStringLiteral("100200"));
}

TEST_F(Object_List_Window_Test, FailedObjectIsRedInEveryColumnAndYellowWhenSelected)
{
    Add_Object("1111");
    Add_Object("2222");
    Fail(1);
    Show();
    List_Grid* grid = Grid();
    const QColor red(255, 0, 0);
    for (int column = 0; column < 11; ++column) {
        const QImage cell = Cell_Image(grid, 1, column);
        EXPECT_EQ(cell.pixelColor(1, cell.height() / 2), red) << "column " << column;
    }
    EXPECT_NE(Cell_Image(grid, 0, 1).pixelColor(1, 8), red) << "a healthy object is not red";
    EXPECT_FALSE(Has_Colour(Cell_Image(grid, 1, 1), Qt::yellow));

    Click(1, 1);
    EXPECT_EQ(Cell_Image(grid, 1, 1).pixelColor(1, 8), red);
    EXPECT_TRUE(Has_Colour(Cell_Image(grid, 1, 1), Qt::yellow)) << "yellow text when selected";
    Click(0, 1);
    EXPECT_EQ(Cell_Image(grid, 0, 1).pixelColor(1, 8), grid->palette().color(QPalette::Highlight))
        << "a selected healthy row is plainly highlighted";
}

TEST_F(Object_List_Window_Test, DeleteAllObjectsAsksAndKeepsTheSupervisionRunning)
{
    Add_Object("1111");
    Add_Object("2222");
    Show();
    answer = false;
    Delete_All();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].Text, QStringLiteral("     Are you sure you want to delete all objects?"));
    EXPECT_EQ(asked[0].Buttons, Question_Buttons::Ok_Cancel);
    EXPECT_EQ(Rows(), 2);

    answer = true;
    Delete_All();
    EXPECT_EQ(Rows(), 1);
    EXPECT_EQ(Cell(0, 1), QString());
    EXPECT_EQ(Status(), QStringLiteral("Number of objects: 0"));
    EXPECT_TRUE(supervision.Active());
}

TEST_F(Object_List_Window_Test, ColumnWidthsFollowTheWindowWidthAndTheScrollBar)
{
    Add_Object("1111");
    Show();
    ASSERT_EQ(form.frameGeometry().width(), 1000);
    EXPECT_EQ(Column_Widths(Grid()), (std::vector<int> {170, 160, 60, 60, 60, 60, 60, 150, 50, 90, 60}));

    for (int i = 0; i < 100; ++i)
        Add_Object("A" + std::to_string(i));
    form.Refresh_ID_List_GridExecute();
    ASSERT_TRUE(Grid()->Vertical_Scroll_Bar_Shown());
    // 985 wide.
    EXPECT_EQ(Column_Widths(Grid()), (std::vector<int> {167, 157, 59, 59, 59, 59, 59, 147, 49, 88, 59}));
}

} // namespace
