#include "ui/Event_Kind.h"
#include "ui/Event_List_Window.h"
#include "ui/Event_Names.h"
#include "ui/List_Grid.h"
#include "ui/List_Window_Fixture.h"

#include <QAction>
#include <QDateTime>
#include <QFile>
#include <QLabel>
#include <QLineEdit>

#include <algorithm>
#include <cstring>
#include <filesystem>

namespace {

class Event_List_Window_Test : public List_Window_Test
{
protected:
    void Show()
    {
        form.show();
        Set_Outer_Width(form, 1000, 600);
    }

    QString Cell(int row, int column) { return List_Window_Test::Cell(Model(), row, column); }
    List_Grid* Grid() { return Find<List_Grid>(form, "StringGrid_Events"); }
    QAction* Action(const char* name) { return Find<QAction>(form, name); }
    const QAbstractItemModel* Model() { return Grid()->model(); }
    int Rows() { return Model()->rowCount(); }
    QString Status() { return Find<QLabel>(form, "StatusBar1_Panel_0")->text(); }

    void Append(const std::string& account, const char* qualifier_event = "1401", int signal_quality = 255)
    {
        Event_Record record = Make_Event(account, 1765262000, qualifier_event);
        record.Signal_Quality = signal_quality;
        events.Append_Event(record);
    }

    TForm_Events form {events, Operator()};
};

TEST_F(Event_List_Window_Test, TheSelectionFollowsItsEventAsNewOnesArrive)
{
    Append("A0");
    Append("A1");
    Append("A2");
    Show();
    List_Grid* grid = Grid();
    grid->setCurrentIndex(Model()->index(1, 3));
    ASSERT_EQ(Cell(1, 3), QStringLiteral(" A1"));

    Append("A3");
    Append("A4");
    form.Refresh_Log_GridExecute();
    EXPECT_EQ(grid->currentIndex().row(), 3) << "two new rows above it";
    EXPECT_EQ(Cell(grid->currentIndex().row(), 3), QStringLiteral(" A1"));
    EXPECT_TRUE(grid->selectionModel()->isRowSelected(3, {}));
    EXPECT_FALSE(grid->selectionModel()->isRowSelected(1, {})) << "the highlight did not slide";

    // Once its slot is written again the event is gone, and so is the selection.
    for (int i = 5; i < 4100; ++i)
        Append("A" + std::to_string(i));
    form.Refresh_Log_GridExecute();
    EXPECT_FALSE(grid->selectionModel()->hasSelection());
}

TEST_F(Event_List_Window_Test, HeaderClicksSortAscendingDescendingThenBackAndTheSelectionFollows)
{
    Append("A10", "1130");
    Append("A9", "1401");
    Append("B1", "3130");
    Show();
    List_Grid* grid = Grid();
    grid->setCurrentIndex(Model()->index(0, 3));
    ASSERT_EQ(Cell(0, 3), QStringLiteral(" B1"));

    Click_Header(grid, 3);
    EXPECT_EQ(Column_Texts(Model(), 3), (std::vector<std::string> {"A9", "A10", "B1"}))
        << "digits sort by value";
    EXPECT_TRUE(grid->horizontalHeader()->isSortIndicatorShown());
    EXPECT_EQ(Cell(grid->currentIndex().row(), 3), QStringLiteral(" B1")) << "the selection follows";
    EXPECT_TRUE(grid->selectionModel()->isRowSelected(2, {}));
    Click_Header(grid, 3);
    EXPECT_EQ(Column_Texts(Model(), 3), (std::vector<std::string> {"B1", "A10", "A9"}));

    // New events take their place in the sorted rows.
    Append("A11", "NULL");
    form.Refresh_Log_GridExecute();
    EXPECT_EQ(Column_Texts(Model(), 3), (std::vector<std::string> {"B1", "A11", "A10", "A9"}));

    Click_Header(grid, 3);
    EXPECT_EQ(Column_Texts(Model(), 3), (std::vector<std::string> {"A11", "B1", "A9", "A10"}))
        << "newest first again";
    EXPECT_FALSE(grid->horizontalHeader()->isSortIndicatorShown());

    // By the event's name, an event and its restore together.
    Click_Header(grid, 5);
    EXPECT_EQ(Column_Texts(Model(), 5),
        (std::vector<std::string> {"Burglary", "Burglary restore", "Link test", "Opening by user"}));
}

TEST_F(Event_List_Window_Test, AccountFilterShowsOnlyMatchingRowsAndExportWritesThose)
{
    Append("1234");
    Append("5678");
    Append("12AB");
    Show();
    auto* filter = Find<QLineEdit>(form, "Edit_Account_Filter");
    QTest::keyClicks(filter, QStringLiteral("12a"));
    EXPECT_EQ(Column_Texts(Model(), 3), (std::vector<std::string> {"12AB"})) << "any case";
    EXPECT_EQ(Status(), QStringLiteral("Events received: 3, shown: 1"));

    const QString path = QString::fromStdString(folder.File("shown.csv"));
    ASSERT_TRUE(form.Export_Rows(path));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << "the header and the one shown row";
    EXPECT_TRUE(lines[1].contains(QStringLiteral(",12AB,")));

    filter->setText(QStringLiteral("99"));
    EXPECT_EQ(Rows(), 1);
    EXPECT_EQ(Cell(0, 3), QString()) << "nothing matches: one empty row";
    filter->clear();
    EXPECT_EQ(Column_Texts(Model(), 3), (std::vector<std::string> {"12AB", "5678", "1234"}));
    EXPECT_EQ(Status(), QStringLiteral("Events received: 3"));
}

TEST_F(Event_List_Window_Test, EventNamesReadTheQualifierAndKnowSiaCodes)
{
    EXPECT_EQ(Event_Name("1130"), QStringLiteral("Burglary"));
    EXPECT_EQ(Event_Name("3401"), QStringLiteral("Closing by user"));
    EXPECT_EQ(Event_Name("6110"), QStringLiteral("Fire, previously reported"));
    EXPECT_EQ(Event_Name("1999"), QString()) << "no name for an unknown code";
    EXPECT_EQ(Event_Name("OFT"), QStringLiteral("Fire trouble"));
    EXPECT_EQ(Event_Name("NQQ"), QString());
    EXPECT_EQ(Event_Kind_Of("NFA"), Event_Kind::Alarm);
    EXPECT_EQ(Event_Kind_Of("NBR"), Event_Kind::Restore);
    EXPECT_EQ(Event_Kind_Of("NYT"), Event_Kind::Trouble);
    EXPECT_EQ(Event_Kind_Of("NRP"), Event_Kind::Link_Test);
    EXPECT_EQ(Event_Kind_Of("NOP"), Event_Kind::Other) << "an opening is no alarm";
    EXPECT_EQ(Event_Kind_Of("NCR"), Event_Kind::Other) << "a recent closing is no restore";
}

TEST_F(Event_List_Window_Test, RowsAreColouredByTheKindOfReport)
{
    Append("A0", "1130"); // burglary alarm
    Append("A1", "3130"); // its restore
    Append("A2", "1301"); // AC loss: a trouble
    Append("A3", "NULL"); // link test
    Append("A4", "1401"); // opening
    Show();
    const QColor base = Grid()->palette().color(QPalette::Base);
    const auto back = [this](int row) { return Cell_Image(Grid(), row, 1).pixelColor(1, 8); };
    EXPECT_EQ(back(4), QColor(255, 190, 190)) << "alarm";
    EXPECT_EQ(back(3), QColor(200, 240, 200)) << "restore";
    EXPECT_EQ(back(2), QColor(255, 230, 160)) << "trouble";
    EXPECT_EQ(back(1), base) << "link test: grey text on white";
    const auto darkest = [this](int row) {
        const QImage cell = Cell_Image(Grid(), row, 3);
        int least = 255;
        for (int y = 0; y < cell.height(); ++y)
            for (int x = 0; x < cell.width(); ++x)
                least = std::min(least, qGray(cell.pixel(x, y)));
        return least;
    };
    EXPECT_GT(darkest(1), 90) << "the link test's text is grey";
    EXPECT_LT(darkest(0), 90) << "other text is black";
    EXPECT_EQ(back(0), base) << "an opening is no alarm";
    EXPECT_NE(back(4), back(3)) << "an alarm does not look like its restore";
}

TEST_F(Event_List_Window_Test, NewestEventComesFirstBeforeAndAfterTheRingWraps)
{
    Append("A0");
    Append("A1");
    Append("A2");
    Show();
    EXPECT_EQ(Cell(0, 3), QStringLiteral(" A2")) << "row 1 shows slot Next_Slot - 1";
    EXPECT_EQ(Cell(2, 3), QStringLiteral(" A0"));
    EXPECT_EQ(Rows(), 3) << "one body row per event, under the header row";
    EXPECT_EQ(Status(), QStringLiteral("Events received: 3"));

    // 4106 events in all: slots 0..9 hold the last ten, Next_Slot is 10.
    for (int i = 3; i < 4106; ++i)
        Append("A" + std::to_string(i));
    ASSERT_EQ(events.Next_Slot(), 10u);
    form.Refresh_Log_GridExecute();
    EXPECT_EQ(Rows(), 4096);
    EXPECT_EQ(Status(), QStringLiteral("Events received: 4096"));
    EXPECT_EQ(Cell(0, 3), QStringLiteral(" A4105")) << "row 1: slot 9";
    EXPECT_EQ(Cell(9, 3), QStringLiteral(" A4096")) << "row 10: slot 0";
    EXPECT_EQ(Cell(10, 3), QStringLiteral(" A4095")) << "row 11: slot 4095";
    EXPECT_EQ(Cell(4095, 3), QStringLiteral(" A10")) << "row 4096: slot 10, the oldest";
}

TEST_F(Event_List_Window_Test, CellTextsFollowTheirColumnRules)
{
    const std::int64_t time = 1765262000;
    Append("1234", "1401", 100);
    Append("5678", "NULL", 101);
    Append("9999", "3602", 0);
    Show();

    // Newest first: 9999, 5678, 1234.
    const QDateTime local = QDateTime::fromSecsSinceEpoch(time);
    EXPECT_EQ(Cell(2, 0), QStringLiteral("   ") + local.toString(QStringLiteral("HH:mm:ss yyyy-MM-dd")));
    EXPECT_EQ(Cell(2, 1), QStringLiteral(" 01"));
    EXPECT_EQ(Cell(2, 2), QStringLiteral(" 2"));
    EXPECT_EQ(Cell(2, 4), QStringLiteral(" 1   401"));
    EXPECT_EQ(Cell(2, 5), QStringLiteral("Opening by user")) << "the code's name, qualifier 1 an opening";
    EXPECT_EQ(Cell(2, 6), QStringLiteral(" 01"));
    EXPECT_EQ(Cell(2, 7), QStringLiteral(" 003"));
    EXPECT_EQ(Cell(2, 8), QStringLiteral(" 192.168.100.200"));
    EXPECT_EQ(Cell(2, 9), QStringLiteral("100"));
    EXPECT_EQ(Cell(2, 10), QStringLiteral("Unknown")) << "not yet saved";
    EXPECT_EQ(Cell(1, 4), QStringLiteral(" PING"));
    EXPECT_EQ(Cell(1, 5), QStringLiteral("Link test"));
    EXPECT_EQ(Cell(1, 9), QString()) << "101 is no signal quality";
    EXPECT_EQ(Cell(1, 10), QStringLiteral("Not reportable"));
    EXPECT_EQ(Cell(0, 4), QStringLiteral(" 3   602"));
    EXPECT_EQ(Cell(0, 5), QStringLiteral("Periodic test restore"));
    EXPECT_EQ(Cell(0, 9), QStringLiteral("0"));

    // A full 16-character address is read as 16 characters, never into the next field.
    Event_Record full = Make_Event("1111", time);
    Set_Fixed_Text_Full(full.IP_Address, "123.123.123.123X");
    full.Signal_Quality = 255;
    events.Append_Event(full);
    form.Refresh_Log_GridExecute();
    EXPECT_EQ(Cell(0, 8), QStringLiteral(" 123.123.123.123X"));
    EXPECT_EQ(Cell(0, 9), QString()) << "255 means not reported";

    // An SIA-DCS event shows its function letter and code; a four-digit zone fills its field.
    Event_Record sia = Make_Event("2222", time);
    Set_Fixed_Text(sia.Qualifier_Event, "NBA");
    std::memcpy(sia.Zone_User, "1001", 4);
    sia.Content = Content_Sia_Dcs;
    events.Append_Event(sia);
    form.Refresh_Log_GridExecute();
    EXPECT_EQ(Cell(0, 4), QStringLiteral(" N   BA"));
    EXPECT_EQ(Cell(0, 5), QStringLiteral("Burglary alarm"));
    EXPECT_EQ(Cell(0, 7), QStringLiteral(" 1001"));
}

TEST_F(Event_List_Window_Test, StatusColumnFollowsTheSavePassAndTheAcknowledgement)
{
    Append("1234");
    Show();
    events.Save_New_Events();
    form.Refresh_Log_GridExecute();
    EXPECT_EQ(Cell(0, 10), QStringLiteral("Pending"));
    Event_File_Pass pass;
    ASSERT_FALSE(events.Mark_Event_Reported(pass, 0).Failed());
    pass.Close();
    form.Refresh_Log_GridExecute();
    EXPECT_EQ(Cell(0, 10), QStringLiteral("Reported"));
}

TEST_F(Event_List_Window_Test, ClearEventsAsksAndEmptiesOnlyOnOk)
{
    Append("1234");
    Append("5678");
    Show();

    answer = false;
    Action("Clear1")->trigger();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].Text, QStringLiteral("     Are you sure you want to delete all events?"));
    EXPECT_EQ(asked[0].Title, QStringLiteral("Clear Events"));
    EXPECT_EQ(asked[0].Buttons, Question_Buttons::Ok_Cancel);
    EXPECT_EQ(Rows(), 2) << "Cancel changes nothing";
    EXPECT_EQ(events.Next_Slot(), 2u);

    answer = true;
    Action("Clear1")->trigger();
    EXPECT_EQ(Rows(), 1) << "one empty body row";
    EXPECT_EQ(Cell(0, 3), QString());
    EXPECT_EQ(Cell(0, 10), QString());
    EXPECT_EQ(Status(), QStringLiteral("Events received: 0"));
    EXPECT_EQ(events.Next_Slot(), 0u);
}

TEST_F(Event_List_Window_Test, ClearEventsWithoutTheEventFileDoesNothing)
{
    Append("1234");
    Show();
    std::filesystem::remove(events.File_Path());
    Action("Clear1")->trigger();
    EXPECT_EQ(asked.size(), 1u);
    EXPECT_EQ(Rows(), 1);
    EXPECT_EQ(Cell(0, 3), QStringLiteral(" 1234")) << "not even memory is cleared";
    EXPECT_EQ(Status(), QStringLiteral("Events received: 1"));
}

TEST_F(Event_List_Window_Test, HiddenWindowIgnoresRefreshesAndShowingRebuilds)
{
    Append("1234");
    form.Refresh_Log_GridExecute();
    EXPECT_EQ(Status(), QString()) << "a hidden window does nothing";
    Append("5678");
    Show();
    EXPECT_EQ(Rows(), 2);
    EXPECT_EQ(Cell(0, 3), QStringLiteral(" 5678"));
    EXPECT_EQ(Status(), QStringLiteral("Events received: 2"));
}

TEST_F(Event_List_Window_Test, ColumnWidthsFollowTheWindowWidthAndTheScrollBar)
{
    Append("1234");
    Show();
    ASSERT_EQ(form.frameGeometry().width(), 1000);
    EXPECT_EQ(Column_Widths(Grid()), (std::vector<int> {150, 60, 60, 100, 80, 150, 60, 60, 110, 50, 100}));

    for (int i = 0; i < 200; ++i)
        Append("A" + std::to_string(i));
    form.Refresh_Log_GridExecute();
    ASSERT_TRUE(Grid()->Vertical_Scroll_Bar_Shown());
    // 975 wide: 15 % is 146, 6 % is 58, 10 % is 97, 8 % is 78, 11 % is 107, 5 % is 48.
    EXPECT_EQ(Column_Widths(Grid()), (std::vector<int> {146, 58, 58, 97, 78, 146, 58, 58, 107, 48, 97}));
    EXPECT_EQ(Grid()->width(), 975);
}

TEST_F(Event_List_Window_Test, ExportWritesTheShownRowsAsCsv)
{
    Append("A1", "1130");
    Append("B,2", "NULL", 37);
    Show();
    EXPECT_TRUE(Action("Menu_Events_Export")->isEnabled());
    EXPECT_EQ(Action("Menu_Events_Export")->text(), QStringLiteral("E&xport"));
    const QString path = QString::fromStdString(folder.File("events.csv"));
    ASSERT_TRUE(form.Export_Rows(path));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3) << "the header and one line per shown row";
    EXPECT_TRUE(
        lines[0].startsWith(QStringLiteral("Time Received,Receiver Number,Line Number,Account Number")));
    EXPECT_TRUE(lines[1].contains(QStringLiteral(",\"B,2\",PING,"))) << lines[1].toStdString();
    EXPECT_TRUE(lines[1].contains(QStringLiteral(",37,Not reportable"))) << lines[1].toStdString();
    EXPECT_TRUE(lines[2].contains(QStringLiteral(",A1,1 130,"))) << lines[2].toStdString();
    EXPECT_FALSE(form.Export_Rows(QString::fromStdString(folder.File("missing/events.csv"))));
}

} // namespace
