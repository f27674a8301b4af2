// brindle-cli list [--json] [--password P] ARCHIVE: one line (or JSON object) per
// entry through the catalogue, then totals. A compressed TAR (.tgz, .tar.Z) lists
// the TAR's members. Exit 2 when the archive cannot be listed.
#include <charconv>
#include <cinttypes>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/Printer.h"
#include "engine/vroHelpers.h"
#include "engine/vroUnGZip.h"
#include "engine/vroVireo.h"

namespace cli {

namespace {

struct ListOptions {
    bool json = false;
    std::string password;
    std::string archive;
};

bool ParseListArgs(const std::vector<std::string>& args, ListOptions& o) {
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--json")
            o.json = true;
        else if (args[i] == "--password" && i + 1 < args.size())
            o.password = args[++i];
        else if (o.archive.empty() && !args[i].starts_with("--"))
            o.archive = args[i];
        else
            return false;
    }
    return !o.archive.empty();
}

// Formats whose entries carry no checksum of their data.
bool HasDataCrc(const vro::TVireo& v) {
    switch (v.ArcType()) {
    case vro::atTar:
    case vro::atUue:
    case vro::atCab:
    case vro::atMsGZ: return false;
    case vro::atGZip: return v.EntryInfo.MethodCode == 8;
    default: return true;
    }
}

void PrintJsonEntry(const vro::TVireo& v, bool first) {
    const vro::TEntryInfo& e = v.EntryInfo;
    char crc[16] = "null";
    if (HasDataCrc(v)) std::snprintf(crc, sizeof crc, "\"%08x\"", e.CRC);
    std::printf("%s\n    {\"name\": %s, \"size\": %" PRId64 ", \"packed\": %" PRId64
                ", \"crc\": %s, \"method\": %s, \"encrypted\": %s, \"modified\": \"%s\", "
                "\"attributes\": %u}",
                first ? "" : ",", JsonString(DisplayName(e.FileName)).c_str(), e.UnpackedSize,
                e.PackedSize, crc, JsonString(e.MethodName).c_str(), e.Encrypted ? "true" : "false",
                IsoDateTime(e.DateTime).c_str(), e.ExternalAttr);
}

// Right-aligns the number in a field of the given width.
void AppendNumber(std::string& line, int64_t value, int width) {
    char digits[24];
    const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, value);
    const int length = static_cast<int>(end - digits);
    if (length < width) line.append(width - length, ' ');
    line.append(digits, end);
}

// One table row; built by hand because a directory of many thousand entries
// spends most of its listing time here.
void PrintTableEntry(const vro::TVireo& v, std::string& line) {
    const vro::TEntryInfo& e = v.EntryInfo;
    line.clear();
    AppendNumber(line, e.UnpackedSize, 12);
    line += ' ';
    AppendNumber(line, e.PackedSize, 12);
    line += ' ';
    AppendNumber(line, e.Ratio, 3);
    line += "%  ";
    line += IsoDateTime(e.DateTime);
    line += "  ";
    line += SafeText(e.MethodName);
    if (e.MethodName.size() < 10) line.append(10 - e.MethodName.size(), ' ');
    line += ' ';
    line += SafeText(DisplayName(e.FileName));
    if (e.Encrypted) line += " *";
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stdout);
}

} // namespace

int RunList(const std::vector<std::string>& args) {
    ListOptions o;
    if (!ParseListArgs(args, o)) {
        std::fprintf(stderr, "usage: brindle-cli list [--json] [--password P] ARCHIVE\n");
        return kExitUsage;
    }
    static char outputBuffer[1 << 16];
    std::setvbuf(stdout, outputBuffer, _IOFBF, sizeof outputBuffer);
    vro::TVireo v;
    v.SetFileSpec({"*.*"});
    v.Password = o.password;
    if (!o.password.empty()) v.SetPasswords({o.password});
    v.OnError = [](vro::TZipCommon&, const std::string& fn, const std::string& msgEx,
                   const std::string&, int32_t code) { PrintEngineError(fn, msgEx, code); };
    // Further volumes are taken by the names the set's format gives them.
    v.OnNextVolume = [](vro::TZipCommon&, std::string&, const std::string&, bool exists,
                        bool& cancel) { cancel = !exists; };
    bool first = true;
    std::string line;
    v.OnRead = [&](vro::TZipCommon&, int64_t, int32_t) {
        if (o.json)
            PrintJsonEntry(v, first);
        else
            PrintTableEntry(v, line);
        first = false;
    };

    v.SetArchiveFile(o.archive);
    const vro::TArcType type = v.ArcType();
    std::unique_ptr<vro::TTempFileStream> unpackedTar;
    if (type == vro::atGZip) {
        try {
            unpackedTar = vro::UnpackCompressedTar(o.archive);
        } catch (const vro::EVroError&) {
            // No room for the temporary file: the compressed file is listed itself.
        }
        if (unpackedTar) v.SetArchiveFile(unpackedTar->FileName());
    }
    if (o.json)
        std::printf("{\"archive\": %s, \"type\": \"%s\", \"entries\": [",
                    JsonString(o.archive).c_str(), vro::ArcTypeIdent(type));
    else
        std::printf("%12s %12s %4s  %-19s  %-10s %s\n", "Size", "Packed", "Ratio", "Modified",
                    "Method", "Name");
    const bool listed = v.Activate();
    const uint8_t totalRatio = vro::Ratio(v.TotalPacked, v.TotalUnpacked);
    if (o.json)
        std::printf("%s], \"files\": %d, \"packed_total\": %" PRId64
                    ", \"unpacked_total\": %" PRId64 "}\n",
                    first ? "" : "\n  ", v.FileNum, v.TotalPacked, v.TotalUnpacked);
    else
        std::printf("%12" PRId64 " %12" PRId64 " %3u%%  %d files\n", v.TotalUnpacked, v.TotalPacked,
                    totalRatio, v.FileNum);
    return listed ? kExitOk : kExitUsage;
}

} // namespace cli
