// The extractor of GZIP-family files: a gzip file (RFC 1952: one or more members,
// each a header, a DEFLATE stream and a CRC-32/size trailer) or a file of the
// Unix compress utility (LZW). It writes the single file such a file holds; when
// that file is a TAR archive (.tgz, .tar.gz, .tar.Z) it unpacks the archive's
// members instead. The same decoding serves the catalogue (decoded sizes, the
// members of a compressed TAR).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "engine/vroCodec.h"
#include "engine/vroInflate.h"
#include "engine/vroLzw.h"
#include "engine/vroMain.h"
#include "engine/vroUnBase.h"

namespace vro {

// The fixed part and the name of a gzip member header.
struct TGZipHeader {
    uint8_t Method = 0;
    uint8_t Flags = 0;
    uint32_t ModTime = 0; // Unix seconds, 0 when not stored
    std::string Name;     // the stored name (its first 255 bytes), empty when none
};

// How decoding all members of a gzip stream ended.
enum class TGZipResult : uint8_t {
    Done,          // every member decoded and matched its trailer
    BadMagic,      // the stream (or a member) does not start with a gzip magic
    BadMethod,     // a compression method other than deflate
    Encrypted,     // flag bit 5: encrypted, which no writer defines
    Truncated,     // the input ended inside a header or a trailer
    InflateFailed, // the DEFLATE data is damaged (see Inflate)
    CrcMismatch,   // a member's CRC-32 differs from its trailer
    SizeMismatch,  // a member's length (mod 2^32) differs from its trailer
    OutputFailed,  // the sink refused a piece
};

struct TGZipOutcome {
    TGZipResult Result = TGZipResult::Done;
    TInflateResult Inflate = TInflateResult::Done; // for InflateFailed
    uint32_t Members = 0;                          // members decoded completely
    uint64_t Size = 0;                             // bytes passed to the sink
};

// Decodes every member of a gzip stream; bytes after the last member that do not
// start another member are ignored, as gzip does with trailing zeros.
TGZipOutcome DecodeGZip(const TCodecInput& input, const TCodecOutput& output);

// Parses one member header from the start of the input; false when it is not one.
bool ParseGZipHeader(const TCodecInput& input, TGZipHeader& header);

// Decodes a GZIP-family file (gzip or compress) into a temporary file when the
// decoded data is a TAR archive; nullptr otherwise (another file, or damage).
std::unique_ptr<TTempFileStream> UnpackCompressedTar(const std::string& archive);

class TUnGZIP : public TUnBase {
protected:
    void ExtractEntries() override;

private:
    bool ExtractCompressedTar();
    void ExtractSingleFile(uint8_t magic1);
    bool DecodeGZipEntry();
    bool DecodeCompressEntry();
};

} // namespace vro
