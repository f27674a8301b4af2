// Display names, identifiers and the fixed type sets of TArcType. The display
// names are shown in list columns that expect exactly 10 characters each.
#include "engine/vroTypes.h"

namespace vro {

// Every name is 10 characters; the MsGZ name ends in a tab, not a space.
const std::array<const char*, kArcTypeCount> ArcTypeNames = {
    "Not avail.", "Unsupport.",  "File Error", "Unknown   ", "ACE       ", "ARC       ",
    "ARC SFX   ", "ARJ       ",  "ARJ SFX   ", "BH        ", "BH  SFX   ", "CAB       ",
    "GZip      ", "HA        ",  "Java JAR  ", "LHA       ", "LHA SFX   ", "LZH       ",
    "LZH SFX   ", "MsGZ     \t", "PAK       ", "PAK SFX   ", "RAR       ", "RAR SFX   ",
    "TAR       ", "UUE       ",  "ZIP       ", "ZIP SFX   ", "Zip MVol  ", "ZOO       ",
};

namespace {

constexpr const char* kArcTypeIdents[kArcTypeCount] = {
    "atNA",     "atUnsupported", "atFileOpenErr", "atUnknown", "atACE",    "atArc",
    "atArcExe", "atArj",         "atArjExe",      "atBh",      "atBhExe",  "atCab",
    "atGZip",   "atHa",          "atJar",         "atLha",     "atLhaExe", "atLzh",
    "atLzhExe", "atMsGZ",        "atPak",         "atPakExe",  "atRar",    "atRarExe",
    "atTar",    "atUue",         "atZip",         "atZipExe",  "atZipMV",  "atZoo",
};

} // namespace

const char* ArcTypeIdent(TArcType t) {
    return t < kArcTypeCount ? kArcTypeIdents[t] : "";
}

// Values past the last enumerator count as recognised: the sets are defined by
// what they leave out, so an unknown value is not silently refused.
bool IsRecognised(TArcType t) {
    return t != atNA && t != atUnsupported && t != atFileOpenErr && t != atUnknown;
}

bool IsExtractable(TArcType t) {
    return IsRecognised(t) && t != atHa && t != atMsGZ && t != atPak && t != atPakExe;
}

bool IsTestable(TArcType t) {
    return IsExtractable(t) && t != atCab && t != atUue && t != atZipMV;
}

} // namespace vro
