#include "receiver/Account_Choice.h"

#include "store/Fixed_Text.h"

std::string_view Account_Refusal_Text(Account_Refusal refusal)
{
    switch (refusal) {
    case Account_Refusal::None:
        break;
    case Account_Refusal::Unknown_Account:
        return "unknown account";
    case Account_Refusal::Refused_Account:
        return "account refused";
    case Account_Refusal::Clear_For_Encrypted:
        return "clear message for an encrypted account";
    case Account_Refusal::Encrypted_For_Clear:
        return "encrypted message for a clear account";
    case Account_Refusal::Wrong_Key:
        return "wrong key";
    }
    return {};
}

Account_Choice::Account_Choice(
    const Account_Table* table, std::uint8_t settings_mode, const std::uint8_t* settings_key)
    : Table(table)
    , Settings_Mode(settings_mode)
    , Settings_Key(settings_key)
    , Aes_Mode(settings_mode)
    , Key32(settings_key)
{ }

DC09_Cipher_Choice Account_Choice::Choose(void* context, const DC09_Frame& header)
{
    auto& choice = *static_cast<Account_Choice*>(context);
    choice.Row = choice.Table != nullptr ? choice.Table->Find(Fixed_Text(header.Account)) : nullptr;
    if (choice.Row == nullptr)
        return {choice.Aes_Mode, choice.Key32, false};

    const bool encrypted = DC09_Is_Encrypted(header.Kind);
    choice.Aes_Mode = Account_Aes_Mode(choice.Row->Mode);
    choice.Key32 = choice.Row->Key;
    if (choice.Row->Mode == Account_Mode::Refuse)
        choice.Refusal
            = choice.Row->Is_Default() ? Account_Refusal::Unknown_Account : Account_Refusal::Refused_Account;
    else if (choice.Row->Mode == Account_Mode::Clear && encrypted)
        choice.Refusal = Account_Refusal::Encrypted_For_Clear;
    else if (choice.Row->Mode != Account_Mode::Clear && !encrypted)
        choice.Refusal = Account_Refusal::Clear_For_Encrypted;
    return {choice.Aes_Mode, choice.Key32, choice.Refusal != Account_Refusal::None};
}

Account_Refusal Account_Choice::Refused(DC09_Reply reply, const DC09_Frame& frame) const
{
    if (Row == nullptr || reply != DC09_Reply::Duh)
        return Account_Refusal::None;
    if (Refusal != Account_Refusal::None)
        return Refusal;
    // The row's cipher opened nothing that reads as a message.
    return DC09_Is_Encrypted(frame.Kind) ? Account_Refusal::Wrong_Key : Account_Refusal::None;
}
