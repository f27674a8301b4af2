#include "engine/vroErrors.h"

#include <algorithm>
#include <iterator>

namespace vro {

namespace {

struct MessageEntry {
    int32_t code;
    const char* text;
};

// Sorted by code. The texts are shown to users exactly as they stand.
constexpr MessageEntry kMessages[] = {
    {E_BADHEADER, "Bad file header"},
    {E_BADBLOCK, "Bad block"},
    {E_BADHUFFMANCODE, "Bad Huffman code"},
    {E_INCORRECTBITS, "Incorrect number of bits"},
    {E_BROKENCHAIN, "Broken multi-volume chain"},
    {E_WRITE, "Error writing to file"},
    {E_CLOSE, "Error closing file"},
    {E_INCOMPLETECODESET, "Incomplete code set"},
    {E_CORRUPTINPUT, "Corrupt input"},
    {E_CREATEDIR, "Error creating dir"},
    {E_CRCERROR, "File fails CRC check"},
    {E_INVALIDTREE, "File contains invalid decode tree"},
    {E_UNABLETOCREATEDIR, "Unable to create directory"},
    {E_DISKFULL, "Disk full"},
    {E_NOTACCESSIBLE, "is not accessible."},
    {E_EOFNOTFOUND, "EOF not found"},
    {E_UNEXPECTEDEOL, "Unexpected end of line"},
    {E_EOLNOTFOUND, "EOL not found"},
    {E_SAMEFILENAMES, "Same input and output file-names"},
    {E_FILENOTFOUND, "File not found"},
    {E_FOPEN, "Error opening file"},
    {E_FREAD, "Error reading file or unexpected end of file"},
    {E_HEADERCRC, "Header CRC error"},
    {E_HEADERID, "Header ID error"},
    {E_LINEBEFOREBEGIN, "Line found before 'BEGIN'"},
    {E_INVALIDARCTYPE, "Invalid or unsupported archive type for this operation"},
    {E_INVALIDFILENAME, "Invalid file name"},
    {E_BADLENGTHS, "Bad lengths"},
    {E_INCONSISTENTLOCAL, "Inconsistant local header"},
    {E_MAXVOLUMES, "Maximum volumes 999"},
    {E_OUTOFMEMORY, "Out of memory"},
    {E_UNRARNOTFOUND, "Unrar.dll not found"},
    {E_CABINETNOTFOUND, "Cabinet.dll not found"},
    {E_ACENOTFOUND, "Ace.dll not found"},
    {E_MULTIPARTGZIP, "Multi-Part GZIP files not supported"},
    {E_REQUIREDEVENT, "Required event not assigned"},
    {E_PASSWORDPROTECTED, "Password protected"},
    {E_SEEK, "Seek error"},
    {E_AMBIGUOUSTREE, "Ambiguous Shannon-Fano decode tree encountered"},
    {E_STACKOVERFLOW, "Stack overflow"},
    {E_UNSUPPORTEDMETHOD, "Unsupported compression method"},
    {E_UNKNOWNTYPE, "Unknown file type"},
    {E_USERABORT, "User Aborted"},
    {E_VERSION, "Version error"},
    {E_INVALIDPASSWORD, "Invalid password"},
    {E_PASSWORDFAILED, "Password failed"},
};

} // namespace

const char* ErrorMessage(int32_t code) {
    auto it = std::lower_bound(std::begin(kMessages), std::end(kMessages), code,
                               [](const MessageEntry& e, int32_t c) { return e.code < c; });
    return it != std::end(kMessages) && it->code == code ? it->text : "";
}

EVroError::EVroError(int32_t code, std::string fileName, std::string msgEx, std::string volumeId)
    : std::runtime_error(ErrorMessage(code)), Code(code), FileName(std::move(fileName)),
      MsgEx(std::move(msgEx)), VolumeID(std::move(volumeId)) {}

} // namespace vro
