// The engine's shared vocabulary: archive types with their display names and type
// sets, the option enumerations components publish, and the per-entry record
// through which the current entry reaches event handlers.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace vro {

// Day-count date value: whole days since 1899-12-30, fraction = time of day.
using TDateTime = double;
inline constexpr TDateTime kDosEpochDate = 29221.0; // 1980-01-01 00:00:00
inline constexpr uint32_t kNoArchiveDate = 29221;   // ArchiveDate when unreadable

// Declaration order is the numeric value (one byte).
enum TArcType : uint8_t {
    atNA,
    atUnsupported,
    atFileOpenErr,
    atUnknown,
    atACE,
    atArc,
    atArcExe,
    atArj,
    atArjExe,
    atBh,
    atBhExe,
    atCab,
    atGZip,
    atHa,
    atJar,
    atLha,
    atLhaExe,
    atLzh,
    atLzhExe,
    atMsGZ,
    atPak,
    atPakExe,
    atRar,
    atRarExe,
    atTar,
    atUue,
    atZip,
    atZipExe,
    atZipMV,
    atZoo,
};
inline constexpr int kArcTypeCount = atZoo + 1;

// Display names, each exactly 10 characters ("MsGZ" ends in a tab).
extern const std::array<const char*, kArcTypeCount> ArcTypeNames;
// The enumerator's own name ("atZipExe"), as the CLI prints it.
const char* ArcTypeIdent(TArcType t);

bool IsRecognised(TArcType t);  // all but atNA, atUnsupported, atFileOpenErr, atUnknown
bool IsExtractable(TArcType t); // recognised, minus HA, MsGZ, PAK and PAK SFX
bool IsTestable(TArcType t);    // extractable, minus CAB, UUE and spanned ZIP

enum TCompressMethod : uint8_t {
    cmStore,
    cmDeflate,
    cmFuse,
    cmFrozen1,
    cmFrozen5,
    cmMsZip,
    cmLzx,
    cmQuantum,
    cmUUEncode,
    cmXXEncode,
    cmTarred,
    cmGzipTar
};
enum TDeflateType : uint8_t { dtDeflateS, dtDeflateF, dtDeflateN, dtDeflateX };
enum TDateAttribute : uint8_t { daFileDate, daSysDate, daMaxFileDate };
enum TStoredDirNames : uint8_t {
    sdNone,
    sdAbsolute,
    sdAbsoluteNoDrv,
    sdRelative,
    sdRelativeStoreStart
};
enum TSwitch : uint8_t { swAdd, swMove, swDelete, swRead };
enum TProgressNotify : uint8_t { Five, Ten, Fifteen, Twenty, TwentyFive };
enum TCpuType : uint8_t { cptAuto, cpt80286, cpt80386, cpt80486 };
enum TOutArcMethod : uint8_t { amCreateNew, amAddToArc };
enum TOutArcType : uint8_t { tyBh, tyCab, tyLzh, tyZip, tyTar, tyGzipTar, tyJar };
enum TCompressionType : uint8_t { ctStore, ctMsZip, ctLzx };
enum TNextVolumeName : uint8_t { nvChangeFilename, nvChangeExt };

// The current entry of an engine component, filled before OnRead / OnBegin.
// Sizes are 64-bit inside the engine; the formats' own fields keep their widths.
struct TEntryInfo {
    std::string FileName; // ANSI, "\" separators, directories keep a trailing "\"
    int64_t PackedSize = 0;
    int64_t UnpackedSize = 0;
    uint8_t Ratio = 0;
    uint32_t CRC = 0;
    TDateTime DateTime = 0;
    bool Encrypted = false;
    int16_t MethodCode = 0;
    std::string MethodName;
    uint8_t DeflateOption = 0;
    int16_t VersionMadeBy = 0;
    int16_t VersionNeeded = 0;
    int16_t InternalAttr = 0;
    uint32_t ExternalAttr = 0; // DOS attribute bits
    std::string VolumeName;
};

} // namespace vro
