#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// What the station does with the messages of one account.
enum class Account_Mode : std::uint8_t {
    Clear, // clear messages accepted, encrypted ones refused
    Aes128, // that cipher with the row's key; clear messages refused
    Aes192,
    Aes256,
    Refuse // every message answered DUH and not stored
};

// "clear", "aes128", "aes192", "aes256", "refuse": the words of the file.
std::string_view Account_Mode_Name(Account_Mode mode);
// The receiver's aes_mode for a row's mode (0 for Clear and Refuse).
std::uint8_t Account_Aes_Mode(Account_Mode mode);

// One row of accounts.csv. The account is kept in upper case, zero-padded, so that rows compare as
// plain bytes and a header's account only has to be brought to upper case once.
struct Account_Row
{
    static constexpr std::size_t Longest_Account = 16;
    char Account[Longest_Account + 1] = {}; // "*" for the row of every unlisted account
    Account_Mode Mode = Account_Mode::Clear;
    std::uint8_t Key[32] = {}; // the first DC09_Key_Length bytes are used; the rest stay zero

    std::string_view Account_Text() const;
    bool Is_Default() const { return Account[0] == '*'; }
};

// A line of the file that was ignored, and why. The reason never quotes the line: it may hold a key.
struct Account_Line_Fault
{
    std::size_t Line;
    std::string Reason;
};

// Reads one data line ("account,mode,key"); false with the reason when it is malformed.
bool Parse_Account_Line(std::string_view line, Account_Row& row, std::string& reason);
// Checks an account as typed (3 to 16 hexadecimal digits, or "*") and stores it in upper case.
bool Store_Account(std::string_view text, Account_Row& row);

// The rows of the file, in file order. Comment lines (first non-blank character '#') and blank
// lines are skipped; a malformed line, or a second row for an account already listed, is reported
// and ignored while the rest still applies.
std::vector<Account_Row> Parse_Account_File(std::string_view text, std::vector<Account_Line_Fault>& faults);
// The file's text for these rows: a comment head, then one line per row with the key in upper-case
// hexadecimal.
std::string Format_Account_File(const std::vector<Account_Row>& rows);

// The rows as the receive path looks them up: sorted by account, with the "*" row apart. Built
// once per load; a look-up is a binary search over fixed-size rows and never allocates.
class Account_Table
{
public:
    explicit Account_Table(std::vector<Account_Row> rows);

    // The account's own row, else the "*" row, else nullptr (the settings apply). The account is
    // compared without regard to case; one longer than 16 characters has no row of its own.
    const Account_Row* Find(std::string_view account) const;
    std::size_t Size() const { return rows.size() + (has_default ? 1 : 0); }

private:
    std::vector<Account_Row> rows;
    Account_Row default_row;
    bool has_default = false;
};
