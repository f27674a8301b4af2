#include "engine/vroMethodNames.h"

#include <array>

namespace vro {

namespace {

std::string Indexed(int32_t method, std::initializer_list<const char*> names) {
    if (method < 0 || method >= static_cast<int32_t>(names.size())) return "Unknown";
    return names.begin()[method];
}

std::string ZipMethod(int32_t method, bool isDirectory, uint8_t deflateOption) {
    if (method == 8) {
        switch (deflateOption) {
        case 6: return "DeflateS";
        case 4: return "DeflateF";
        case 2: return "DeflateX";
        default: return "DeflateN";
        }
    }
    if (method >= 0 && method <= 7)
        return Indexed(method, {"Stored", "Shrunk", "Reduce-1", "Reduce-2", "Reduce-3", "Reduce-4",
                                "Imploded", "Tokened"});
    return isDirectory ? "Dir" : "Unknown";
}

std::string ArcMethod(int32_t method) {
    if (method == 30) return "Dir";
    return Indexed(method,
                   {"Unknown", "Stored", "Stored", "Packed", "Squeezed", "crunched", "crunched",
                    "crunched", "Crunched", "Squashed", "Pack10", "Pack11", "Pack12"});
}

std::string GZipMethod(int32_t method, uint16_t magic) {
    switch (method) {
    case 0: return "Stored";
    case 8: return "Deflate";
    case 144: return "LzwMAGIC";
    }
    if (magic == 0x1E1F) return "PackMAGIC";
    if (magic == 0xA01F) return "LzhMAGIC";
    return "Unknown";
}

std::string HaMethod(int32_t method) {
    switch (method) {
    case 0: return "Cpy";
    case 1: return "Asc";
    case 2: return "HSC";
    case 14: return "Dir";
    case 15: return "Special";
    }
    return "";
}

std::string LhaMethod(int32_t digit) {
    if (digit == '0') return "Stored";
    if (digit >= '1' && digit <= '6') return "Frozen-" + std::string(1, static_cast<char>(digit));
    return "Unknown";
}

std::string RarMethod(int32_t method, bool isDirectory) {
    if (method >= '0' && method <= '5')
        return Indexed(method - '0', {"Stored", "Fastest", "Fast", "Normal", "Good", "Best"});
    return isDirectory ? "Dir" : "Unknown";
}

} // namespace

std::string MethodName(TArcType type, int32_t method, bool isDirectory, uint8_t deflateOption,
                       uint16_t gzipMagic) {
    switch (type) {
    case atZip:
    case atZipExe:
    case atJar:
    case atZipMV: return ZipMethod(method, isDirectory, deflateOption);
    case atArc:
    case atArcExe: return ArcMethod(method);
    case atArj:
    case atArjExe:
        if (method >= 0 && method <= 4)
            return Indexed(method, {"Stored", "Most", "2nd Most", "2nd Fast", "Fastest"});
        return isDirectory ? "Dir" : "Unknown";
    case atBh:
    case atBhExe:
        if (method == 8) return "Deflate";
        return Indexed(method, {"Stored", "Fused", "Deflate"});
    case atCab: return Indexed(method & 0x0F, {"Stored", "MsZIP", "Quantum", "Lzx"});
    case atGZip: return GZipMethod(method, gzipMagic);
    case atHa: return HaMethod(method & 0x0F);
    case atLha:
    case atLhaExe:
    case atLzh:
    case atLzhExe: return LhaMethod(method);
    case atPak:
    case atPakExe:
        return Indexed(method,
                       {"Unknown", "Stored", "Stored", "RLE", "Squeezed", "FIXEDLEN", "FIXEDLEN",
                        "FIXEDLEN", "VARIBLE", "VARIBLE", "Crushed", "Distill"});
    case atRar:
    case atRarExe: return RarMethod(method, isDirectory);
    case atACE: return Indexed(method, {"Fastest", "Fast", "Normal", "Good", "Best", "Lzw"});
    case atTar: return "Tarred";
    case atZoo: return Indexed(method, {"Stored", "Fastest", "Greatest"});
    default: return "Unknown";
    }
}

} // namespace vro
