// The traditional ZIP cipher (the "ZipCrypto" stream cipher of the ZIP application
// note): three 32-bit keys stirred by CRC-32, seeded from the password. Weak, but
// it is what ZIP, JAR and BH archives of this era use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vro {

class TZipCipher {
public:
    // Resets the keys to their fixed start and feeds the password through them.
    void Init(std::string_view password);
    void Decrypt(uint8_t* data, size_t n);
    void Encrypt(uint8_t* data, size_t n);

private:
    uint8_t KeyStreamByte() const;
    void UpdateKeys(uint8_t plain);

    uint32_t key0_ = 0, key1_ = 0, key2_ = 0;
};

} // namespace vro
