#include "engine/vroZipCrypt.h"

#include "engine/vroCrc.h"

namespace vro {

void TZipCipher::Init(std::string_view password) {
    key0_ = 0x12345678, key1_ = 0x23456789, key2_ = 0x34567890;
    for (char c : password)
        UpdateKeys(static_cast<uint8_t>(c));
}

uint8_t TZipCipher::KeyStreamByte() const {
    const uint32_t t = (key2_ | 2) & 0xFFFF;
    return static_cast<uint8_t>((t * (t ^ 1)) >> 8);
}

void TZipCipher::UpdateKeys(uint8_t plain) {
    key0_ = Crc32Byte(key0_, plain);
    key1_ = (key1_ + (key0_ & 0xFF)) * 134775813 + 1;
    key2_ = Crc32Byte(key2_, static_cast<uint8_t>(key1_ >> 24));
}

void TZipCipher::Decrypt(uint8_t* data, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        data[i] ^= KeyStreamByte();
        UpdateKeys(data[i]);
    }
}

void TZipCipher::Encrypt(uint8_t* data, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        const uint8_t plain = data[i];
        data[i] ^= KeyStreamByte();
        UpdateKeys(plain);
    }
}

} // namespace vro
