// The 12-byte encryption header of the traditional ZIP cipher: checking a password
// against it, and making one for a new entry.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "engine/vroZipCrypt.h"

namespace vro {

inline constexpr int kZipEncryptionHeaderSize = 12;
using TZipEncryptionHeader = std::array<uint8_t, kZipEncryptionHeaderSize>;

// Restarts the cipher with the password and deciphers a copy of the header. Its
// last byte must be the top byte of the entry's DOS time when the sizes follow the
// data (flag bit 3), else the top byte of its CRC. On success the cipher is ready
// for the entry's data.
bool ZipPasswordMatches(TZipCipher& cipher, const TZipEncryptionHeader& header, uint16_t flags,
                        const std::string& password, uint32_t dosDateTime, uint32_t crc);

// A header for an entry with this CRC: ten bytes from the system's secure random
// source, then the CRC's bits 16-23 and 24-31, all enciphered after a restart
// with the password. The cipher is then ready for the entry's data.
TZipEncryptionHeader MakeZipEncryptionHeader(TZipCipher& cipher, const std::string& password,
                                             uint32_t crc);

} // namespace vro
