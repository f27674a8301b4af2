#include "engine/vroZipPassword.h"

#include <sys/random.h>

#include <random>

namespace vro {

namespace {

constexpr uint16_t kSizesAfterDataFlag = 0x0008;

// Fresh random bytes for every header: a repeated header lets known-plaintext
// attacks reuse work across entries.
void FillRandom(uint8_t* data, size_t n) {
    size_t done = 0;
    while (done < n) {
        const ssize_t got = ::getrandom(data + done, n - done, 0);
        if (got <= 0) break;
        done += static_cast<size_t>(got);
    }
    if (done < n) {
        std::random_device device;
        for (; done < n; ++done)
            data[done] = static_cast<uint8_t>(device());
    }
}

} // namespace

bool ZipPasswordMatches(TZipCipher& cipher, const TZipEncryptionHeader& header, uint16_t flags,
                        const std::string& password, uint32_t dosDateTime, uint32_t crc) {
    if (password.empty()) return false;
    TZipEncryptionHeader plain = header;
    cipher.Init(password);
    cipher.Decrypt(plain.data(), plain.size());
    const uint8_t check = (flags & kSizesAfterDataFlag) ? static_cast<uint8_t>(dosDateTime >> 8)
                                                        : static_cast<uint8_t>(crc >> 24);
    return plain[kZipEncryptionHeaderSize - 1] == check;
}

TZipEncryptionHeader MakeZipEncryptionHeader(TZipCipher& cipher, const std::string& password,
                                             uint32_t crc) {
    TZipEncryptionHeader header;
    FillRandom(header.data(), 10);
    header[10] = static_cast<uint8_t>(crc >> 16);
    header[11] = static_cast<uint8_t>(crc >> 24);
    cipher.Init(password);
    cipher.Encrypt(header.data(), header.size());
    return header;
}

} // namespace vro
