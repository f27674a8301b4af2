// Builds small stored ZIP archives byte by byte for tests, with the fields tests
// like to vary (names, flags, attributes, extra fields, comments), so a fixture
// shows exactly the case it guards. Layouts from the ZIP application note.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/Bytes.h"

namespace testing_support {

struct ZipEntrySpec {
    std::string name;
    std::string data; // stored as is (method 0)
    uint16_t flags = 0;
    uint32_t externalAttr = 0x20;      // DOS archive bit; 0x10 for a directory
    uint16_t versionMadeBy = 20;       // MS-DOS host, version 2.0
    std::string extra;                 // the same in the local and central header
    std::string comment;               // central header only
    uint32_t dosDateTime = 0x52CF6479; // 2021-06-15 12:35:50
    uint32_t crc = 0;                  // stored CRC; 0 computes it from data
    uint16_t method = 0;               // method field only: data is written as given
    int64_t unpackedSize = -1;         // -1: the size of data
};

class ZipBuilder {
public:
    ZipBuilder& Add(ZipEntrySpec e) {
        entries_.push_back(std::move(e));
        return *this;
    }
    ZipBuilder& Comment(std::string c) {
        comment_ = std::move(c);
        return *this;
    }

    std::string Build() const {
        std::string locals, centrals;
        for (const ZipEntrySpec& e : entries_) {
            const uint32_t offset = static_cast<uint32_t>(locals.size());
            const uint32_t crc = e.crc ? e.crc : Crc32(e.data);
            const uint32_t unpacked = e.unpackedSize < 0 ? e.data.size() : e.unpackedSize;
            locals += Le32(0x04034B50) + Le16(20) + Le16(e.flags) + Le16(e.method) +
                      Le32(e.dosDateTime) + Le32(crc) + Le32(e.data.size()) + Le32(unpacked) +
                      Le16(e.name.size()) + Le16(e.extra.size()) + e.name + e.extra + e.data;
            centrals += Le32(0x02014B50) + Le16(e.versionMadeBy) + Le16(20) + Le16(e.flags) +
                        Le16(e.method) + Le32(e.dosDateTime) + Le32(crc) + Le32(e.data.size()) +
                        Le32(unpacked) + Le16(e.name.size()) + Le16(e.extra.size()) +
                        Le16(e.comment.size()) + Le16(0) + Le16(0) + Le32(e.externalAttr) +
                        Le32(offset) + e.name + e.extra + e.comment;
        }
        return locals + centrals + Le32(0x06054B50) + Le16(0) + Le16(0) + Le16(entries_.size()) +
               Le16(entries_.size()) + Le32(centrals.size()) + Le32(locals.size()) +
               Le16(comment_.size()) + comment_;
    }

    static uint32_t Crc32(const std::string& data) {
        uint32_t crc = 0xFFFFFFFF;
        for (unsigned char c : data) {
            crc ^= c;
            for (int k = 0; k < 8; ++k)
                crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
        }
        return ~crc;
    }

private:
    std::vector<ZipEntrySpec> entries_;
    std::string comment_;
};

} // namespace testing_support
