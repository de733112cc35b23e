#pragma once

#include "receiver/Account_Table.h"
#include "receiver/DC09_Parse.h"
#include "receiver/DC09_Reply.h"

#include <cstdint>
#include <string_view>

// Why a message was refused by its account's row.
enum class Account_Refusal : std::uint8_t {
    None,
    Unknown_Account, // the "*" row refuses accounts without a row
    Refused_Account, // the account's own row refuses it
    Clear_For_Encrypted, // a clear message for an account that encrypts
    Encrypted_For_Clear, // an encrypted message for an account that sends clear
    Wrong_Key // an encrypted message the row's key does not open
};

// "unknown account", "account refused", ...; empty for None.
std::string_view Account_Refusal_Text(Account_Refusal refusal);

// The cipher for one message: the row of the header's account, else the "*" row, else the
// settings' mode and key. Lives on the stack for one message; the table must outlive it.
struct Account_Choice
{
    const Account_Table* Table; // null: no file in force
    std::uint8_t Settings_Mode;
    const std::uint8_t* Settings_Key;

    // Filled when the parse has read the header.
    const Account_Row* Row = nullptr;
    Account_Refusal Refusal = Account_Refusal::None;
    std::uint8_t Aes_Mode = 0;
    const std::uint8_t* Key32 = nullptr;

    Account_Choice(const Account_Table* table, std::uint8_t settings_mode, const std::uint8_t* settings_key);

    DC09_Cipher_Chooser Chooser() { return {&Choose, this}; }
    // Once the reply is chosen: why the row refused the message, None when no row refused it
    // (the settings' rules, or a refusal for its content).
    Account_Refusal Refused(DC09_Reply reply, const DC09_Frame& frame) const;

private:
    static DC09_Cipher_Choice Choose(void* context, const DC09_Frame& header);
};
