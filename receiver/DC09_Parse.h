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
