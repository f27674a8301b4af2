// The engine's numbered errors. A run raises EVroError at the failure point; the
// component's public run operation catches it, reports it through OnError with the
// same code, and returns.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace vro {

enum TErrorCode : int32_t {
    E_BADHEADER = 25108,
    E_BADBLOCK = 25109,
    E_BADHUFFMANCODE = 25120,
    E_INCORRECTBITS = 25134,
    E_BROKENCHAIN = 25135,
    E_WRITE = 25136,
    E_CLOSE = 25137,
    E_INCOMPLETECODESET = 25138,
    E_CORRUPTINPUT = 25139,
    E_CREATEDIR = 25150,
    E_CRCERROR = 25151,
    E_INVALIDTREE = 25152,
    E_UNABLETOCREATEDIR = 25153,
    E_DISKFULL = 25156,
    E_NOTACCESSIBLE = 25157,
    E_EOFNOTFOUND = 25158,
    E_UNEXPECTEDEOL = 25167,
    E_EOLNOTFOUND = 25168,
    E_SAMEFILENAMES = 25171,
    E_FILENOTFOUND = 25172,
    E_FOPEN = 25235,
    E_FREAD = 25236,
    E_HEADERCRC = 25237,
    E_HEADERID = 25238,
    E_LINEBEFOREBEGIN = 25240,
    E_INVALIDARCTYPE = 25242,
    E_INVALIDFILENAME = 25243,
    E_BADLENGTHS = 25247,
    E_INCONSISTENTLOCAL = 25248,
    E_MAXVOLUMES = 25250,
    E_OUTOFMEMORY = 25253,
    E_UNRARNOTFOUND = 25258,
    E_CABINETNOTFOUND = 25259,
    E_ACENOTFOUND = 25260,
    E_MULTIPARTGZIP = 25262,
    E_REQUIREDEVENT = 25270,
    E_PASSWORDPROTECTED = 25290,
    E_SEEK = 25291,
    E_AMBIGUOUSTREE = 25292,
    E_STACKOVERFLOW = 25297,
    E_UNSUPPORTEDMETHOD = 25301,
    E_UNKNOWNTYPE = 25302,
    E_USERABORT = 25400,
    E_VERSION = 25402,
    E_INVALIDPASSWORD = 26517,
    E_PASSWORDFAILED = 26522,
};

// The message of a code; empty for a code the engine does not know.
const char* ErrorMessage(int32_t code);

class EVroError : public std::runtime_error {
public:
    EVroError(int32_t code, std::string fileName = {}, std::string msgEx = {},
              std::string volumeId = {});
    int32_t Code;
    std::string FileName;
    std::string MsgEx;
    std::string VolumeID;
};

// Ends the whole run rather than one entry (a password the host could not give,
// the user's abort). It has been reported already when it is thrown.
class ERunEnded : public EVroError {
public:
    using EVroError::EVroError;
};

} // namespace vro
