#include "base/Log_Writer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace {

QDateTime Local(int year, int month, int day, int hour, int minute, int second)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second));
}

class Log_Writer_Test : public ::testing::Test
{
protected:
    QTemporaryDir Folder;
    std::string Settings_Folder = QString(Folder.path() + QStringLiteral("/")).toStdString();
    QDateTime Now = Local(2026, 12, 8, 10, 15, 2);
    Log_Writer Writer {Settings_Folder, [this] { return Now; }, nullptr};

    QByteArray File_Bytes(const std::string& name) const
    {
        QFile file(QString::fromStdString(Settings_Folder + name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
};

TEST_F(Log_Writer_Test, LineGoesToTheMonthlyFileWithCrLf)
{
    EXPECT_EQ(Writer.Current_Log_File(), "");
    Writer.Log_Message("Program closed");

    EXPECT_EQ(Writer.Current_Log_File(), Settings_Folder + "tarvel_2026_12.log");
    EXPECT_EQ(File_Bytes("tarvel_2026_12.log"), QByteArray("08.12.2026 10:15:02  Program closed\r\n"));
}

TEST_F(Log_Writer_Test, LinesAreAppendedInTimeOrderAndHandedToEverySink)
{
    std::vector<std::pair<std::string, Log_Colour>> view;
    std::vector<QByteArray> file_seen_by_reload;
    Writer.Attach_Sink([&](const std::string& line, Log_Colour colour) { view.emplace_back(line, colour); });
    // A reload hook reads the file: the line must already be in it.
    Writer.Attach_Sink([&](const std::string&, Log_Colour) {
        file_seen_by_reload.push_back(File_Bytes("tarvel_2026_12.log"));
    });

    Writer.Log_Message("first");
    Now = Now.addSecs(1);
    Writer.Log_Message("second", Log_Red);

    ASSERT_EQ(view.size(), 2u);
    EXPECT_EQ(view[0], std::make_pair(std::string("08.12.2026 10:15:02  first"), Log_Black));
    EXPECT_EQ(view[1], std::make_pair(std::string("08.12.2026 10:15:03  second"), Log_Red));
    const QByteArray both("08.12.2026 10:15:02  first\r\n08.12.2026 10:15:03  second\r\n");
    EXPECT_EQ(File_Bytes("tarvel_2026_12.log"), both);
    ASSERT_EQ(file_seen_by_reload.size(), 2u);
    EXPECT_EQ(file_seen_by_reload[1], both);
}

TEST_F(Log_Writer_Test, DetachedSinkHearsNothingMore)
{
    int calls = 0;
    const auto id = Writer.Attach_Sink([&](const std::string&, Log_Colour) { ++calls; });
    Writer.Log_Message("one");
    Writer.Detach_Sink(id);
    Writer.Log_Message("two");
    EXPECT_EQ(calls, 1);
}

TEST_F(Log_Writer_Test, MonthRollsOverOnTheFirstSecondOfTheNewMonth)
{
    Now = Local(2026, 8, 31, 23, 59, 59);
    Writer.Log_Message("last of August");
    Now = Now.addSecs(1);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(Settings_Folder + "tarvel_2026_09.log")));
    Writer.Log_Message("first of September");

    EXPECT_EQ(File_Bytes("tarvel_2026_08.log"), QByteArray("31.08.2026 23:59:59  last of August\r\n"));
    EXPECT_EQ(File_Bytes("tarvel_2026_09.log"), QByteArray("01.09.2026 00:00:00  first of September\r\n"));
    EXPECT_EQ(Writer.Current_Log_File(), Settings_Folder + "tarvel_2026_09.log");
}

TEST_F(Log_Writer_Test, JanuaryAndDecemberGiveTwoDigitMonths)
{
    Now = Local(2027, 1, 5, 8, 0, 0);
    Writer.Log_Message("january");
    EXPECT_EQ(Writer.Current_Log_File(), Settings_Folder + "tarvel_2027_01.log");
    Now = Local(2027, 12, 5, 8, 0, 0);
    Writer.Log_Message("december");
    EXPECT_EQ(Writer.Current_Log_File(), Settings_Folder + "tarvel_2027_12.log");
    EXPECT_EQ(Log_Writer::Log_File_Name("/x/", 987, 3), "/x/tarvel_0987_03.log");
}

TEST_F(Log_Writer_Test, UnopenableFileStillFeedsTheSinks)
{
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(Settings_Folder + "tarvel_2026_12.log")));
    std::vector<std::string> view;
    Writer.Attach_Sink([&](const std::string& line, Log_Colour) { view.push_back(line); });

    Writer.Log_Message("still shown");

    EXPECT_EQ(view, std::vector<std::string> {"08.12.2026 10:15:02  still shown"});
    EXPECT_EQ(Writer.Current_Log_File(), Settings_Folder + "tarvel_2026_12.log");
}

TEST_F(Log_Writer_Test, ClearEmptiesOnlyTheCurrentMonth)
{
    EXPECT_FALSE(Writer.Clear_Current_Log_File());

    Now = Local(2026, 11, 30, 12, 0, 0);
    Writer.Log_Message("november");
    Now = Local(2026, 12, 1, 12, 0, 0);
    Writer.Log_Message("december 1");
    Writer.Log_Message("december 2");

    EXPECT_TRUE(Writer.Clear_Current_Log_File());
    EXPECT_EQ(File_Bytes("tarvel_2026_12.log"), QByteArray());
    EXPECT_EQ(File_Bytes("tarvel_2026_11.log"), QByteArray("30.11.2026 12:00:00  november\r\n"));

    Writer.Log_Message("after clear");
    EXPECT_EQ(File_Bytes("tarvel_2026_12.log"), QByteArray("01.12.2026 12:00:00  after clear\r\n"));
}

TEST_F(Log_Writer_Test, FullMonthKeepsOnlyErrorLinesAfterOneNotice)
{
    std::vector<std::string> view;
    Writer.Attach_Sink([&](const std::string& line, Log_Colour) { view.push_back(line); });
    const std::string prefix = "08.12.2026 10:15:02  ";
    const std::string line = prefix + "Unrecognised data\r\n";
    Writer.Set_File_Limit(static_cast<std::int64_t>(3 * line.size()));
    for (int i = 0; i < 10; ++i)
        Writer.Log_Message("Unrecognised data");
    Writer.Log_Message("Receiver port error. 24", Log_Red);
    Writer.Log_Message("Unrecognised data");

    const std::string notice = prefix + "Log file reached its size limit of "
        + std::to_string(3 * line.size())
        + " bytes for this month: only error lines are written to it from now on\r\n";
    const std::string expected = line + line + line + notice + prefix + "Receiver port error. 24\r\n";
    EXPECT_EQ(File_Bytes("tarvel_2026_12.log"), QByteArray::fromStdString(expected));
    EXPECT_EQ(view.size(), 12u) << "the view still gets every line";

    // A new month starts a new file with room again.
    Now = Local(2027, 1, 1, 0, 0, 0);
    Writer.Log_Message("Program closed");
    EXPECT_EQ(File_Bytes("tarvel_2027_01.log"), QByteArray("01.01.2027 00:00:00  Program closed\r\n"));
}

TEST(Log_Writer_Echo_Test, EveryLineIsEchoedForServiceUse)
{
    QTemporaryDir folder;
    std::FILE* echo = std::tmpfile();
    ASSERT_NE(echo, nullptr);
    {
        Log_Writer writer(
            QString(folder.path() + QStringLiteral("/")).toStdString(),
            [] { return Local(2026, 3, 4, 5, 6, 7); }, echo);
        writer.Log_Message("Serial Port Error: 5", Log_Red);
    }
    std::rewind(echo);
    char text[128] = {};
    const std::size_t length = std::fread(text, 1, sizeof text - 1, echo);
    std::fclose(echo);
    EXPECT_EQ(std::string(text, length), "04.03.2026 05:06:07  Serial Port Error: 5\n");
}

} // namespace
