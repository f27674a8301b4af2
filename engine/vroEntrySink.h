// A decoder's output sink for one extracted entry: every piece goes through the
// component's WriteBlock (which adds it to the CRC register of the entry's kind).
// A short write raises inside WriteBlock; the error is kept and the sink refuses
// further pieces, so the decoder unwinds normally, and the extractor raises it
// again afterwards with RaiseIfFailed. Decoders never see an exception.
#pragma once

#include <optional>

#include "engine/vroBase.h"
#include "engine/vroCodec.h"
#include "engine/vroErrors.h"

namespace vro {

class TEntrySink {
public:
    TEntrySink(TReadWriteObj& owner, platform::TStream& out, TCrcKind crc)
        : output_([this, &owner, &out, crc](const uint8_t* data, size_t size) {
              if (error_) return false;
              try {
                  // WriteBlock changes the bytes only when asked to decipher them.
                  owner.WriteBlock(&out, nullptr, true, static_cast<int64_t>(size), crc, false,
                                   const_cast<uint8_t*>(data));
                  return true;
              } catch (const EVroError& e) {
                  error_ = e;
                  return false;
              }
          }) {}
    TEntrySink(const TEntrySink&) = delete;
    TEntrySink& operator=(const TEntrySink&) = delete;

    const TCodecOutput& Output() const { return output_; }
    void RaiseIfFailed() const {
        if (error_) throw *error_;
    }

private:
    std::optional<EVroError> error_;
    TCodecOutput output_;
};

} // namespace vro
