#pragma once

#include "receiver/DC09_Frame.h"

#include <cstddef>
#include <cstdint>

// Parses one DC-09 message out of the bytes of one socket read. `text` holds `length` bytes; a zero
// byte among them ends the text early. The parse works in place (encrypted data is decoded and
// deciphered over its hexadecimal text), touches nothing outside [text, text + length) whatever the
// length field, hexadecimal text or extended data say, and never allocates. Bytes before the first
// line feed and after the frame's carriage return are ignored.
//
// aes_mode and key32 (32 bytes) are the receiver's cipher settings, used for the encrypted kinds.
// `frame` is reset first; on Unrecognised or Rejected it holds what was read before the failure.
DC09_Outcome DC09_Parse(
    char* text, std::size_t length, std::uint8_t aes_mode, const std::uint8_t* key32, DC09_Frame& frame);

// The cipher settings for one message, chosen from its header (kind, receiver, line, account) once
// the header has been read and before any data is deciphered. Refuse ends the parse there with
// Rejected, so a refused message costs no deciphering.
struct DC09_Cipher_Choice
{
    std::uint8_t Aes_Mode = 0;
    const std::uint8_t* Key32 = nullptr;
    bool Refuse = false;
};

struct DC09_Cipher_Chooser
{
    DC09_Cipher_Choice (*Choose)(void* context, const DC09_Frame& header);
    void* Context;
};

// As above, with the cipher chosen per message.
DC09_Outcome DC09_Parse(
    char* text, std::size_t length, const DC09_Cipher_Chooser& chooser, DC09_Frame& frame);
