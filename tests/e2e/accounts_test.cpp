// accounts.csv against the running receiver: a key and a policy per account, refusals logged,
// the file taken up again when it changes.

#include "tests/e2e/E2E_Common.h"

#include <QFile>

#include <cstdio>

namespace {

Test_Message Message_From(const std::string& account, const std::string& sequence, bool encrypted)
{
    Test_Message message;
    message.token = encrypted ? "*ADM-CID" : "ADM-CID";
    message.sequence = sequence;
    message.account = account;
    message.content = "#" + account + "|1401 01 001]";
    return message;
}

class Accounts : public ::testing::Test
{
protected:
    void Start(const std::string& table, const Settings_Record& settings = Receiver_Settings())
    {
        ASSERT_TRUE(m_runner.Write_Data_File("accounts.csv", table));
        ASSERT_TRUE(m_runner.Start_Receiver(settings)) << m_runner.Standard_Error();
        ASSERT_TRUE(m_client.Connect(m_runner.Port()));
    }

    std::string Token_Of(const std::string& frame, int aes_mode = 0, const Test_Key& key = {})
    {
        const Test_Reply reply = Decode_Reply(m_client.Exchange(frame), aes_mode, key);
        EXPECT_EQ(reply.problem, "");
        return reply.token;
    }

    // Replaces the file the way an editor saving atomically does: a new file renamed over it.
    void Replace_Table(const std::string& table)
    {
        ASSERT_TRUE(m_runner.Write_Data_File("accounts.csv.new", table));
        ASSERT_EQ(std::rename(m_runner.Data_Path("accounts.csv.new").c_str(),
                      m_runner.Data_Path("accounts.csv").c_str()),
            0);
    }

    // Sends a clear message of `account` until it gets `token` (at most 5 s); the last token.
    std::string Wait_For_Token(const std::string& account, const std::string& token)
    {
        std::string got;
        for (int attempt = 0; attempt < 50 && got != token; ++attempt) {
            if (attempt > 0)
                QThread::msleep(100);
            got = Token_Of(Build_Clear_Frame(Message_From(account, "0100", false)));
        }
        return got;
    }

    Program_Runner m_runner;
    DC09_Test_Client m_client;
};

TEST_F(Accounts, MixedFleetGetsItsOwnRepliesAndOnlyAcceptedAccountsAreStored)
{
    const Test_Key key = Key_Of_Hex("00112233445566778899AABBCCDDEEFF0123456789ABCDEF0123456789ABCDEF");
    const Test_Key settings_key = Test_Key_Bytes(3);
    // The settings encrypt with another key: the rows decide for every account.
    Start("# the station's fleet\n"
          "1234,aes256,00112233445566778899aabbccddeeff0123456789ABCDEF0123456789ABCDEF\n"
          "5678,clear,\n"
          "*,refuse,\n",
        Receiver_Settings(3, settings_key));

    EXPECT_EQ(Token_Of(Build_Encrypted_Frame(Message_From("1234", "0001", true), 3, key), 3, key), "*ACK");
    EXPECT_EQ(Token_Of(Build_Clear_Frame(Message_From("5678", "0002", false))), "ACK");
    EXPECT_EQ(Token_Of(Build_Clear_Frame(Message_From("1234", "0003", false))), "DUH");
    EXPECT_EQ(Token_Of(Build_Clear_Frame(Message_From("9999", "0004", false))), "DUH");
    EXPECT_EQ(Token_Of(Build_Encrypted_Frame(Message_From("9999", "0005", true), 3, settings_key)), "DUH");
    EXPECT_EQ(Token_Of(Build_Encrypted_Frame(Message_From("1234", "0006", true), 3, settings_key)), "DUH");
    EXPECT_EQ(Token_Of(Build_Encrypted_Frame(Message_From("5678", "0007", true), 3, key)), "DUH");

    const auto store = Wait_For_Next_Slot(m_runner, 2);
    ASSERT_TRUE(store);
    QThread::msleep(300);
    const auto later = Read_Event_Store(m_runner);
    ASSERT_TRUE(later);
    EXPECT_EQ(Used_Event_Count(*later), 2u);
    EXPECT_EQ(Fixed_Text(later->Slot[0].Account_Number), "1234");
    EXPECT_EQ(Fixed_Text(later->Slot[1].Account_Number), "5678");
    const std::vector<Object_Record> objects = Wait_For_Objects(m_runner, 2);
    EXPECT_EQ(Used_Object_Count(objects), 2u) << "a refused account never gets an object";

    EXPECT_NE(Find_Log_Line(m_runner, "refused for account 1234 from IP: 127.0.0.1"), "");
    EXPECT_NE(Find_Log_Line(m_runner, "clear message for an encrypted account"), "");
    EXPECT_NE(Find_Log_Line(m_runner, "account 9999 from IP: 127.0.0.1, port: "), "");
    EXPECT_NE(Find_Log_Line(m_runner, ": unknown account"), "");
    EXPECT_NE(Find_Log_Line(m_runner, ": wrong key"), "");
    EXPECT_NE(Find_Log_Line(m_runner, ": encrypted message for a clear account"), "");
    const std::string log = m_runner.Standard_Error() + m_runner.Read_Log_Files();
    EXPECT_EQ(log.find("00112233445566778899"), std::string::npos) << "no key in the log";
    EXPECT_EQ(log.find("00112233445566778899AABB"), std::string::npos);
}

TEST_F(Accounts, RefusalsOfOneAccountAreLoggedOnceAMinute)
{
    Start("*,refuse,\n");
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(Token_Of(Build_Clear_Frame(Message_From("9999", "0001", false))), "DUH");
    EXPECT_EQ(Token_Of(Build_Clear_Frame(Message_From("8888", "0002", false))), "DUH");
    QThread::msleep(200);
    std::size_t lines_9999 = 0;
    for (const std::string& line : m_runner.Log_Lines())
        lines_9999 += line.find("refused for account 9999") != std::string::npos ? 1 : 0;
    EXPECT_EQ(lines_9999, 1u);
    EXPECT_NE(Find_Log_Line(m_runner, "refused for account 8888"), "");
}

TEST_F(Accounts, MalformedLineIsLoggedAndAChangedFileIsTakenUpWithoutRestart)
{
    Start("5678,clear,\n"
          "5678;clear\n"
          "1234,aes256,0011\n"
          "*,refuse,\n");
    EXPECT_NE(Find_Log_Line(m_runner, "accounts.csv line 2 ignored"), "");
    const std::string line3 = Find_Log_Line(m_runner, "accounts.csv line 3 ignored");
    EXPECT_NE(line3, "");
    EXPECT_EQ(line3.find("0011"), std::string::npos);
    EXPECT_EQ(Token_Of(Build_Clear_Frame(Message_From("5678", "0001", false))), "ACK");
    EXPECT_EQ(Token_Of(Build_Clear_Frame(Message_From("9999", "0002", false))), "DUH");

    // Renamed over the old file, as an atomic save does, then changed in place, then removed.
    Replace_Table("*,clear,\n");
    EXPECT_EQ(Wait_For_Token("9999", "ACK"), "ACK");
    Replace_Table("*,refuse,\n");
    EXPECT_EQ(Wait_For_Token("9999", "DUH"), "DUH") << "the file renamed in is watched again";
    {
        QFile file(QString::fromStdString(m_runner.Data_Path("accounts.csv")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("9999,clear,\n*,refuse,\n");
    }
    EXPECT_EQ(Wait_For_Token("9999", "ACK"), "ACK");
    EXPECT_EQ(Token_Of(Build_Clear_Frame(Message_From("5678", "0003", false))), "DUH");
    ASSERT_EQ(std::remove(m_runner.Data_Path("accounts.csv").c_str()), 0);
    EXPECT_EQ(Wait_For_Token("5678", "ACK"), "ACK") << "without the file the settings apply";
}

TEST_F(Accounts, FileThatCannotBeTakenKeepsTheTableInForce)
{
    Start("*,refuse,\n");
    EXPECT_EQ(Token_Of(Build_Clear_Frame(Message_From("9999", "0001", false))), "DUH");
    // Larger than any honest table: refused like an unreadable file, whatever its lines say.
    Replace_Table("*,clear,\n" + std::string(17 * 1024 * 1024, '#'));
    ASSERT_TRUE(m_runner.Wait_For_Log("accounts.csv is larger than", 3000));
    EXPECT_EQ(Token_Of(Build_Clear_Frame(Message_From("9999", "0002", false))), "DUH");
}

} // namespace
