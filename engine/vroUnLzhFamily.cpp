#include "engine/vroUnLzhFamily.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "engine/vroLzh.h"

namespace vro {

namespace {

TLzhResult CopyAll(const TCodecInput& input, const TCodecOutput& output) {
    std::vector<uint8_t> chunk(kCodecWindowSize);
    while (const size_t got = input(chunk.data(), chunk.size()))
        if (!output(chunk.data(), got)) return TLzhResult::OutputFailed;
    return TLzhResult::Done;
}

} // namespace

bool TUnLzhFamily::ReadArchiveAt(int64_t pos, void* buffer, int64_t count) {
    if (pos < 0 || count < 0 || pos + count > ArchiveSize) return false;
    if (ArcFile.Seek(pos, platform::SeekOrigin::Begin) != pos) return false;
    return count == 0 || ArcFile.Read(buffer, count) == count;
}

void TUnLzhFamily::DecodeLzhEntry(TLzhMethod method, bool decrypt, TCrcKind crc,
                                  int64_t unpackedSize, platform::TStream* target) {
    platform::TStream* out = target ? target : &Output();
    const TCodecInput input = EntryInput(decrypt, EntryRemaining);
    // A short write raises inside the sink; it is kept and raised again once the
    // decoder has unwound, so the decoders never see an exception.
    std::optional<EVroError> writeError;
    const TCodecOutput output = [&](const uint8_t* data, size_t size) {
        try {
            WriteBlock(out, nullptr, true, static_cast<int64_t>(size), crc, false,
                       const_cast<uint8_t*>(data));
            return true;
        } catch (const EVroError& e) {
            writeError = e;
            return false;
        }
    };
    const uint64_t size = static_cast<uint64_t>(std::max<int64_t>(0, unpackedSize));
    TLzhResult r = TLzhResult::Done;
    switch (method) {
    case TLzhMethod::Stored: r = CopyAll(input, output); break;
    case TLzhMethod::Dynamic: r = DecodeDynamic(input, output, size); break;
    case TLzhMethod::Lh4:
        r = DecodeStatic(input, output, kLh4Params, TLzhHistory::Blanks, size);
        break;
    case TLzhMethod::Lh5:
        r = DecodeStatic(input, output, kLh5Params, TLzhHistory::Blanks, size);
        break;
    case TLzhMethod::Lh6:
        r = DecodeStatic(input, output, kLh6Params, TLzhHistory::Blanks, size);
        break;
    case TLzhMethod::Lh7:
        r = DecodeStatic(input, output, kLh7Params, TLzhHistory::Blanks, size);
        break;
    case TLzhMethod::ArjStatic:
        r = DecodeStatic(input, output, kArjParams, TLzhHistory::Zeros, size);
        break;
    case TLzhMethod::ArjFast: r = DecodeArjFast(input, output, size); break;
    }
    if (writeError) throw *writeError;
    if (r == TLzhResult::BadHuffmanCode) RaiseError(E_BADHUFFMANCODE, ArchiveFile());
    if (r == TLzhResult::OutputFailed) RaiseError(E_WRITE, OutputName);
}

} // namespace vro
