#include "receiver/Account_Table.h"

#include "base/Ascii.h"
#include "receiver/DC09_Cipher.h"
#include "receiver/DC09_Hex.h"

#include <algorithm>
#include <cstring>

namespace {

// The file is written by people: hexadecimal digits in either case, blanks around fields.
int Hex_Value(char c)
{
    return DC09_Hex_Value(Ascii_Upper(c));
}

std::string_view Trimmed(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool Parse_Mode(std::string_view text, Account_Mode& mode)
{
    for (const Account_Mode candidate : {Account_Mode::Clear, Account_Mode::Aes128, Account_Mode::Aes192,
             Account_Mode::Aes256, Account_Mode::Refuse}) {
        const std::string_view name = Account_Mode_Name(candidate);
        if (text.size() == name.size()
            && std::equal(text.begin(), text.end(), name.begin(),
                [](char a, char b) { return Ascii_Upper(a) == Ascii_Upper(b); })) {
            mode = candidate;
            return true;
        }
    }
    return false;
}

bool Parse_Key(std::string_view text, std::size_t key_length, std::uint8_t* key)
{
    if (text.size() != 2 * key_length)
        return false;
    for (std::size_t i = 0; i < key_length; ++i) {
        const int high = Hex_Value(text[2 * i]);
        const int low = Hex_Value(text[2 * i + 1]);
        if (high < 0 || low < 0)
            return false;
        key[i] = static_cast<std::uint8_t>(high * 16 + low);
    }
    return true;
}

bool Account_Less(const Account_Row& a, const Account_Row& b)
{
    return std::memcmp(a.Account, b.Account, sizeof a.Account) < 0;
}

} // namespace

std::string_view Account_Mode_Name(Account_Mode mode)
{
    switch (mode) {
    case Account_Mode::Clear:
        return "clear";
    case Account_Mode::Aes128:
        return "aes128";
    case Account_Mode::Aes192:
        return "aes192";
    case Account_Mode::Aes256:
        return "aes256";
    case Account_Mode::Refuse:
        return "refuse";
    }
    return {};
}

std::uint8_t Account_Aes_Mode(Account_Mode mode)
{
    switch (mode) {
    case Account_Mode::Aes128:
        return 1;
    case Account_Mode::Aes192:
        return 2;
    case Account_Mode::Aes256:
        return 3;
    case Account_Mode::Clear:
    case Account_Mode::Refuse:
        break;
    }
    return 0;
}

std::string_view Account_Row::Account_Text() const
{
    return {Account, ::strnlen(Account, sizeof Account)};
}

bool Store_Account(std::string_view text, Account_Row& row)
{
    std::memset(row.Account, 0, sizeof row.Account);
    if (text == "*") {
        row.Account[0] = '*';
        return true;
    }
    if (text.size() < 3 || text.size() > Account_Row::Longest_Account
        || !std::all_of(text.begin(), text.end(), [](char c) { return Hex_Value(c) >= 0; }))
        return false;
    std::transform(text.begin(), text.end(), row.Account, Ascii_Upper);
    return true;
}

bool Parse_Account_Line(std::string_view line, Account_Row& row, std::string& reason)
{
    row = Account_Row {};
    std::string_view fields[3];
    std::size_t count = 0;
    while (count < 3) {
        const std::size_t comma = line.find(',');
        fields[count++] = Trimmed(line.substr(0, comma));
        if (comma == std::string_view::npos)
            break;
        line.remove_prefix(comma + 1);
        if (count == 3) {
            reason = "more than three fields";
            return false;
        }
    }
    if (count < 2) {
        reason = "expected account,mode,key";
        return false;
    }
    if (!Store_Account(fields[0], row)) {
        reason = "the account must be 3 to 16 hexadecimal digits or *";
        return false;
    }
    if (!Parse_Mode(fields[1], row.Mode)) {
        reason = "the mode must be clear, aes128, aes192, aes256 or refuse";
        return false;
    }
    const std::uint8_t aes_mode = Account_Aes_Mode(row.Mode);
    if (aes_mode == 0) {
        if (!fields[2].empty()) {
            reason = "clear and refuse rows take no key";
            return false;
        }
        return true;
    }
    const std::size_t key_length = DC09_Key_Length(aes_mode);
    if (!Parse_Key(fields[2], key_length, row.Key)) {
        reason = "the key must be " + std::to_string(2 * key_length) + " hexadecimal digits for "
            + std::string(Account_Mode_Name(row.Mode));
        std::memset(row.Key, 0, sizeof row.Key);
        return false;
    }
    return true;
}

std::vector<Account_Row> Parse_Account_File(std::string_view text, std::vector<Account_Line_Fault>& faults)
{
    std::vector<Account_Row> rows;
    std::vector<std::size_t> numbers; // each row's line number
    std::size_t number = 0;
    while (!text.empty()) {
        ++number;
        const std::size_t end = text.find('\n');
        const std::string_view line = Trimmed(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.empty() || line.front() == '#')
            continue;
        Account_Row row;
        std::string reason;
        if (!Parse_Account_Line(line, row, reason)) {
            faults.push_back({number, std::move(reason)});
            continue;
        }
        rows.push_back(row);
        numbers.push_back(number);
    }

    // A second row for an account is ignored like a malformed line; the first one stays.
    std::vector<std::size_t> order(rows.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(),
        [&rows](std::size_t a, std::size_t b) { return Account_Less(rows[a], rows[b]); });
    std::vector<bool> repeated(rows.size(), false);
    for (std::size_t i = 1; i < order.size(); ++i)
        if (!Account_Less(rows[order[i - 1]], rows[order[i]]))
            repeated[order[i]] = true;
    std::vector<Account_Row> kept;
    kept.reserve(rows.size());
    std::vector<Account_Line_Fault> repeats;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (repeated[i])
            repeats.push_back({numbers[i], "the account has a row already"});
        else
            kept.push_back(rows[i]);
    }
    // Faults in line order.
    faults.insert(faults.end(), repeats.begin(), repeats.end());
    std::stable_sort(faults.begin(), faults.end(),
        [](const Account_Line_Fault& a, const Account_Line_Fault& b) { return a.Line < b.Line; });
    return kept;
}

std::string Format_Account_File(const std::vector<Account_Row>& rows)
{
    std::string text = "# account,mode,key\n"
                       "# mode: clear, aes128, aes192, aes256 or refuse; the key in hexadecimal, empty\n"
                       "# for clear and refuse. The row \"*\" applies to every account without a row.\n";
    for (const Account_Row& row : rows) {
        text += row.Account_Text();
        text += ',';
        text += Account_Mode_Name(row.Mode);
        text += ',';
        const std::uint8_t aes_mode = Account_Aes_Mode(row.Mode);
        if (aes_mode != 0)
            for (std::size_t i = 0; i < DC09_Key_Length(aes_mode); ++i) {
                text += "0123456789ABCDEF"[row.Key[i] >> 4];
                text += "0123456789ABCDEF"[row.Key[i] & 15];
            }
        text += '\n';
    }
    return text;
}

Account_Table::Account_Table(std::vector<Account_Row> rows_)
    : rows(std::move(rows_))
{
    const auto star
        = std::find_if(rows.begin(), rows.end(), [](const Account_Row& row) { return row.Is_Default(); });
    if (star != rows.end()) {
        default_row = *star;
        has_default = true;
        rows.erase(star);
    }
    // Rows come from Parse_Account_File or the editor, both of which keep accounts unique.
    std::sort(rows.begin(), rows.end(), Account_Less);
}

const Account_Row* Account_Table::Find(std::string_view account) const
{
    const Account_Row* fallback = has_default ? &default_row : nullptr;
    if (account.size() > Account_Row::Longest_Account || rows.empty())
        return fallback;
    Account_Row probe;
    std::transform(account.begin(), account.end(), probe.Account, Ascii_Upper);
    const auto place = std::lower_bound(rows.begin(), rows.end(), probe, Account_Less);
    if (place != rows.end() && !Account_Less(probe, *place))
        return &*place;
    return fallback;
}
