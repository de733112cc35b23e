#include "DC09_Codec_Test_Util.h"

#include "receiver/Account_Choice.h"
#include "receiver/Account_Table.h"
#include "receiver/DC09_Parse.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace dc09_test;

namespace {

const std::string Key256 = "000102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1F";

std::vector<Account_Row> Rows_Of(const std::string& text, std::vector<Account_Line_Fault>& faults)
{
    return Parse_Account_File(text, faults);
}

struct Parsed_With_Table
{
    DC09_Outcome Outcome;
    DC09_Frame Frame;
    Account_Refusal Refusal;
    DC09_Reply Reply;
};

// One message through the table as the receiver port takes it: parse, reply, refusal.
Parsed_With_Table Receive(const Account_Table* table, std::string text, std::uint8_t settings_mode = 0,
    const Key& settings_key = Counting_Key())
{
    Account_Choice choice(table, settings_mode, settings_key.data());
    Parsed_With_Table result {};
    result.Outcome = DC09_Parse(text.data(), text.size(), choice.Chooser(), result.Frame);
    result.Reply = DC09_Choose_Reply(result.Outcome, choice.Aes_Mode, false);
    result.Refusal = choice.Refused(result.Reply, result.Frame);
    return result;
}

std::string Clear_From(const std::string& account)
{
    Test_Message message;
    message.account = account;
    message.content = "#" + account + "|1401 01 001]";
    return Build_Clear_Frame(message);
}

std::string Encrypted_From(const std::string& account, int mode, const Key& key)
{
    Test_Message message;
    message.token = "*ADM-CID";
    message.account = account;
    message.content = "#" + account + "|1401 01 001]";
    return Build_Encrypted_Frame(message, mode, key);
}

} // namespace

TEST(Account_File_Text, GoodLinesBecomeRowsAndBadLinesAreReportedByNumberWithoutTheirText)
{
    const std::string text = "# account,mode,key\n"
                             "\n"
                             "1234,aes256,"
        + Key256
        + "\n"
          "  abcdef , CLEAR ,\r\n"
          "*,refuse,\n"
          "5678,clear\n"
          "12,clear,\n" // too short
          "12345678901234567,clear,\n" // too long
          "12G4,clear,\n" // not hexadecimal
          "9999,aes512,\n" // no such mode
          "9999,aes128,00112233\n" // short key
          "9999,aes128,00112233445566778899AABBCCDDEEFFXX\n" // extra digits
          "9999,clear,0011\n" // clear takes no key
          "9999,clear,,\n" // four fields
          "9999\n"
          "ABCDEF,aes128,00112233445566778899aabbccddeeff\n"; // second row
    std::vector<Account_Line_Fault> faults;
    const std::vector<Account_Row> rows = Rows_Of(text, faults);

    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].Account_Text(), "1234");
    EXPECT_EQ(rows[0].Mode, Account_Mode::Aes256);
    EXPECT_EQ(rows[0].Key[0], 0x00);
    EXPECT_EQ(rows[0].Key[31], 0x1F);
    EXPECT_EQ(rows[1].Account_Text(), "ABCDEF") << "kept in upper case";
    EXPECT_EQ(rows[1].Mode, Account_Mode::Clear);
    EXPECT_TRUE(rows[2].Is_Default());
    EXPECT_EQ(rows[2].Mode, Account_Mode::Refuse);
    EXPECT_EQ(rows[3].Account_Text(), "5678");

    std::vector<std::size_t> lines;
    for (const Account_Line_Fault& fault : faults) {
        lines.push_back(fault.Line);
        EXPECT_EQ(fault.Reason.find("0011"), std::string::npos) << "a reason never quotes a key";
    }
    EXPECT_EQ(lines, (std::vector<std::size_t> {7, 8, 9, 10, 11, 12, 13, 14, 15, 16}));
    EXPECT_NE(faults.back().Reason.find("row already"), std::string::npos);
}

TEST(Account_File_Text, WrittenFileReadsBackAsTheSameRows)
{
    std::vector<Account_Line_Fault> faults;
    const std::vector<Account_Row> rows = Rows_Of(
        "1234,aes256," + Key256 + "\n5678,clear,\n00FF,aes192," + Key256.substr(0, 48) + "\n*,refuse,\n",
        faults);
    ASSERT_EQ(rows.size(), 4u);
    const std::string written = Format_Account_File(rows);
    EXPECT_NE(written.find("1234,aes256," + Key256 + "\n"), std::string::npos);
    EXPECT_NE(written.find("5678,clear,\n"), std::string::npos);
    const std::vector<Account_Row> again = Rows_Of(written, faults);
    EXPECT_TRUE(faults.empty());
    ASSERT_EQ(again.size(), rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(std::memcmp(&again[i], &rows[i], sizeof(Account_Row)), 0) << i;
}

TEST(Account_Table_Look_Up, OwnRowWithoutRegardToCaseThenStarRowThenNone)
{
    std::vector<Account_Line_Fault> faults;
    const Account_Table with_star(
        Rows_Of("AB12,clear,\n*,refuse,\n1234,aes128," + Key256.substr(0, 32) + "\n", faults));
    ASSERT_NE(with_star.Find("ab12"), nullptr);
    EXPECT_EQ(with_star.Find("ab12")->Account_Text(), "AB12");
    EXPECT_EQ(with_star.Find("1234")->Mode, Account_Mode::Aes128);
    EXPECT_TRUE(with_star.Find("9999")->Is_Default());
    EXPECT_TRUE(with_star.Find("AB123")->Is_Default()) << "no prefix match";
    EXPECT_TRUE(with_star.Find("AB1")->Is_Default());
    EXPECT_TRUE(with_star.Find("12345678901234567")->Is_Default());
    EXPECT_EQ(with_star.Size(), 3u);

    const Account_Table without_star(Rows_Of("AB12,clear,\n", faults));
    EXPECT_EQ(without_star.Find("9999"), nullptr);
}

TEST(Account_Table_Look_Up, TenThousandRowsAreEachFound)
{
    std::vector<Account_Row> rows(10000);
    for (std::size_t i = 0; i < rows.size(); ++i)
        ASSERT_TRUE(Store_Account(std::to_string(100000 + i * 7), rows[i]));
    const Account_Table table(rows);
    for (std::size_t i = 0; i < rows.size(); ++i)
        ASSERT_EQ(table.Find(std::to_string(100000 + i * 7)), &*table.Find(rows[i].Account_Text()));
    EXPECT_EQ(table.Find("100001"), nullptr);
}

TEST(Account_Choice_Parse, RowPicksTheCipherAndRefusesWhatItDoesNotAllow)
{
    Key row_key = Counting_Key();
    row_key[0] = 0x5A;
    Key settings_key = Counting_Key();
    std::vector<Account_Line_Fault> faults;
    const Account_Table table(
        Rows_Of("1234,aes256," + Hex_Upper({reinterpret_cast<const char*>(row_key.data()), 32})
                + "\n5678,clear,\nDEAD,refuse,\n*,refuse,\n",
            faults));

    // The row's key opens the message although the settings hold another one.
    Parsed_With_Table got = Receive(&table, Encrypted_From("1234", 3, row_key), 3, settings_key);
    EXPECT_EQ(got.Outcome, DC09_Outcome::AcceptedEncrypted);
    EXPECT_EQ(got.Reply, DC09_Reply::Encrypted_Ack);
    EXPECT_STREQ(got.Frame.Event, "1401");

    got = Receive(&table, Clear_From("5678"), 3, settings_key);
    EXPECT_EQ(got.Reply, DC09_Reply::Ack) << "a clear account sends clear while the settings encrypt";
    EXPECT_EQ(got.Refusal, Account_Refusal::None);

    got = Receive(&table, Clear_From("1234"));
    EXPECT_EQ(got.Reply, DC09_Reply::Duh);
    EXPECT_EQ(got.Refusal, Account_Refusal::Clear_For_Encrypted);
    EXPECT_STREQ(got.Frame.Account, "1234") << "the DUH echoes the header";
    EXPECT_STREQ(got.Frame.Event, "") << "refused before its data was read";

    got = Receive(&table, Encrypted_From("5678", 3, row_key));
    EXPECT_EQ(got.Refusal, Account_Refusal::Encrypted_For_Clear);

    got = Receive(&table, Encrypted_From("1234", 3, settings_key));
    EXPECT_EQ(got.Reply, DC09_Reply::Duh);
    EXPECT_EQ(got.Refusal, Account_Refusal::Wrong_Key);

    got = Receive(&table, Clear_From("9999"));
    EXPECT_EQ(got.Refusal, Account_Refusal::Unknown_Account);
    got = Receive(&table, Clear_From("DEAD"));
    EXPECT_EQ(got.Reply, DC09_Reply::Duh);
    EXPECT_EQ(got.Refusal, Account_Refusal::Refused_Account);

    // Garbage is still no frame at all, whatever the table says.
    std::string broken = Clear_From("9999");
    broken[3] = broken[3] == '0' ? '1' : '0';
    EXPECT_EQ(Receive(&table, broken).Reply, DC09_Reply::None);
}

TEST(Account_Choice_Parse, UnlistedAccountsFollowTheSettingsWithoutAStarRow)
{
    std::vector<Account_Line_Fault> faults;
    const Account_Table table(Rows_Of("5678,clear,\n", faults));
    for (const Account_Table* in_force : {static_cast<const Account_Table*>(nullptr), &table}) {
        Parsed_With_Table got = Receive(in_force, Encrypted_From("9999", 3, Counting_Key()), 3);
        EXPECT_EQ(got.Reply, DC09_Reply::Encrypted_Ack);
        got = Receive(in_force, Clear_From("9999"), 3);
        EXPECT_EQ(got.Reply, DC09_Reply::Duh);
        EXPECT_EQ(got.Refusal, Account_Refusal::None) << "the settings' refusal is not a row's";
        EXPECT_EQ(Receive(in_force, Clear_From("9999"), 0).Reply, DC09_Reply::Ack);
    }
}
