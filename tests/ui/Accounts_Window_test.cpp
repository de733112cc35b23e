#include "ui/Accounts_Window.h"

#include "base/Log_Writer.h"
#include "receiver/Account_File.h"
#include "ui/Message_Box.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

const char* const Key128 = "00112233445566778899AABBCCDDEEFF";

class Accounts_Window_Test : public ::testing::Test
{
protected:
    QTemporaryDir Folder;
    std::unique_ptr<Log_Writer> Log;
    std::unique_ptr<Account_File> File;
    std::unique_ptr<Accounts_Window> Window;

    std::string Path() const { return Folder.path().toStdString() + "/accounts.csv"; }

    void Start(const QByteArray& text)
    {
        ASSERT_TRUE(Folder.isValid());
        QFile file(QString::fromStdString(Path()));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        file.close();
        Log = std::make_unique<Log_Writer>(Folder.path().toStdString() + "/", Log_Writer::Clock {}, nullptr);
        File = std::make_unique<Account_File>(Path(), *Log);
        File->Start();
        Window = std::make_unique<Accounts_Window>(*File);
        Window->Show_File();
        Window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Window.get()));
    }

    void TearDown() override
    {
        Set_Message_Box_Hook({});
        if (Window)
            Window->hide();
    }

    template<typename Control> Control* Find(const char* name) const
    {
        auto* control = Window->findChild<Control*>(QLatin1String(name));
        EXPECT_NE(control, nullptr) << name;
        return control;
    }

    QString Cell(int row, int column) const
    {
        auto* grid = Find<QTableView>("Grid_Accounts");
        return grid->model()->data(grid->model()->index(row, column)).toString();
    }

    int Row_Count() const { return Find<QTableView>("Grid_Accounts")->model()->rowCount(); }

    void Fill_Editor(const QString& account, int mode, const QString& key)
    {
        Find<QLineEdit>("Edit_Account")->clear();
        QTest::keyClicks(Find<QLineEdit>("Edit_Account"), account);
        Find<QComboBox>("ComboBox_Mode")->setCurrentIndex(mode);
        Find<QLineEdit>("Edit_Key")->clear();
        QTest::keyClicks(Find<QLineEdit>("Edit_Key"), key);
    }

    void Click(const char* name) { QTest::mouseClick(Find<QPushButton>(name), Qt::LeftButton); }

    std::string File_Text() const
    {
        QFile file(QString::fromStdString(Path()));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll().toStdString();
    }
};

TEST_F(Accounts_Window_Test, SavesWhatItShowsAndTheReceiverTakesItUpAtOnce)
{
    Start("5678,clear,\n*,refuse,\n1111,clear,\n");
    ASSERT_EQ(Row_Count(), 3);
    EXPECT_EQ(Cell(0, 0), QStringLiteral("5678"));
    EXPECT_EQ(Cell(1, 1), QStringLiteral("refuse"));
    EXPECT_FALSE(Find<QPushButton>("Button_Save")->isEnabled()) << "nothing to save yet";

    Fill_Editor(QStringLiteral("abcd"), 1, QString::fromLatin1(Key128));
    Click("Button_Add");
    ASSERT_EQ(Row_Count(), 4);
    EXPECT_EQ(Cell(3, 0), QStringLiteral("ABCD"));
    EXPECT_EQ(Cell(3, 2), QStringLiteral("********")) << "the grid masks the key";

    // Row 0 becomes a refused account; the refused row 2 goes after the question is answered Yes.
    Find<QTableView>("Grid_Accounts")->selectRow(0);
    EXPECT_EQ(Find<QLineEdit>("Edit_Account")->text(), QStringLiteral("5678"));
    Find<QComboBox>("ComboBox_Mode")->setCurrentIndex(4);
    Click("Button_Edit");
    Find<QTableView>("Grid_Accounts")->selectRow(2);
    Message_Box_Request asked {};
    Set_Message_Box_Hook([&asked](const Message_Box_Request& request) {
        asked = request;
        return Box_Answer::Yes;
    });
    Click("Button_Delete");
    EXPECT_EQ(asked.Default_Answer, Box_Answer::No);
    EXPECT_TRUE(asked.Text.contains(QStringLiteral("1111")));
    ASSERT_EQ(Row_Count(), 3);

    Click("Button_Save");
    std::vector<Account_Line_Fault> faults;
    const std::vector<Account_Row> saved = Parse_Account_File(File_Text(), faults);
    EXPECT_TRUE(faults.empty());
    ASSERT_EQ(static_cast<int>(saved.size()), Row_Count());
    for (int row = 0; row < Row_Count(); ++row) {
        EXPECT_EQ(
            QString::fromLatin1(saved[static_cast<std::size_t>(row)].Account_Text().data()), Cell(row, 0));
        EXPECT_EQ(QString::fromLatin1(Account_Mode_Name(saved[static_cast<std::size_t>(row)].Mode).data()),
            Cell(row, 1));
    }
    EXPECT_NE(File_Text().find(std::string("ABCD,aes128,") + Key128 + "\n"), std::string::npos);
    struct stat status
    {
    };
    ASSERT_EQ(::stat(Path().c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u) << "the file holds keys";

    // Without waiting for the watch: the table in force is the one just saved.
    ASSERT_TRUE(File->Table());
    EXPECT_EQ(File->Table()->Find("5678")->Mode, Account_Mode::Refuse);
    EXPECT_EQ(File->Table()->Find("1111")->Mode, Account_Mode::Refuse) << "deleted: the * row applies";
    EXPECT_EQ(File->Table()->Find("abcd")->Key[15], 0xFF);
    EXPECT_FALSE(Find<QPushButton>("Button_Save")->isEnabled());
}

TEST_F(Accounts_Window_Test, DestructiveActionsTakeNoAsTheirDefaultAnswer)
{
    Start("5678,clear,\n");
    Find<QTableView>("Grid_Accounts")->selectRow(0);
    Click("Button_Delete"); // offscreen: the box takes its default answer
    EXPECT_EQ(Row_Count(), 1);

    Fill_Editor(QStringLiteral("1234"), 0, QString());
    Click("Button_Add");
    ASSERT_EQ(Row_Count(), 2);
    Window->close();
    EXPECT_TRUE(Window->isVisible()) << "unsaved rows are not dropped without a Yes";
    EXPECT_EQ(File_Text(), "5678,clear,\n");
}

TEST_F(Accounts_Window_Test, KeyFieldIsMaskedAndWrittenAsTextOrHex)
{
    Start("");
    auto* key = Find<QLineEdit>("Edit_Key");
    Find<QComboBox>("ComboBox_Mode")->setCurrentIndex(1);
    EXPECT_EQ(key->echoMode(), QLineEdit::Password);
    QTest::mouseClick(Find<QCheckBox>("CheckBox_Show_Key"), Qt::LeftButton);
    EXPECT_EQ(key->echoMode(), QLineEdit::Normal);

    QTest::mouseClick(Find<QRadioButton>("RadioButton_Key_Text"), Qt::LeftButton);
    QTest::keyClicks(key, QStringLiteral("abc"));
    QTest::mouseClick(Find<QRadioButton>("RadioButton_Key_Hex"), Qt::LeftButton);
    EXPECT_EQ(key->text(), QStringLiteral("616263"));
    QTest::mouseClick(Find<QRadioButton>("RadioButton_Key_Text"), Qt::LeftButton);
    EXPECT_EQ(key->text(), QStringLiteral("abc"));

    // A short hex key is refused, a text key of up to 16 characters is padded with zeros.
    Fill_Editor(QStringLiteral("1234"), 1, QStringLiteral("abc"));
    Click("Button_Add");
    ASSERT_EQ(Row_Count(), 1);
    Find<QTableView>("Grid_Accounts")->selectRow(0);
    QTest::mouseClick(Find<QRadioButton>("RadioButton_Key_Hex"), Qt::LeftButton);
    Fill_Editor(QStringLiteral("5678"), 3, QStringLiteral("0011"));
    Click("Button_Add");
    EXPECT_EQ(Row_Count(), 1);
    EXPECT_TRUE(Last_Message_Box().Text.contains(QStringLiteral("64 hexadecimal digits")));
    Click("Button_Save");
    EXPECT_NE(File_Text().find("1234,aes128,61626300000000000000000000000000\n"), std::string::npos);
}

} // namespace
