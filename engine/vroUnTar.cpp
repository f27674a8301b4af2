#include "engine/vroUnTar.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "engine/vroExtractors.h"
#include "engine/vroHelpers.h"
#include "engine/vroOutputName.h"
#include "engine/vroTarHeader.h"
#include "platform/FileSystem.h"

namespace vro {

namespace {

namespace fs = std::filesystem;

constexpr int32_t kNoStoredAttributes = 0x20;
constexpr uint32_t kPermissionBits = 0777; // setuid, setgid and sticky are never restored
constexpr uint32_t kOwnerReadWrite = 0600;

int64_t RoundToBlocks(int64_t size) {
    return (size + tar::kBlockSize - 1) / tar::kBlockSize * tar::kBlockSize;
}

bool IsZeroBlock(const uint8_t* block) {
    return std::all_of(block, block + tar::kBlockSize, [](uint8_t b) { return b == 0; });
}

enum class TMemberKind { File, Directory, HardLink, SymLink, Special, Unsupported };

TMemberKind KindOf(char type) {
    switch (type) {
    case '1': return TMemberKind::HardLink;
    case '2': return TMemberKind::SymLink;
    case '3':
    case '4':
    case '6': return TMemberKind::Special; // devices and FIFOs
    case '5': return TMemberKind::Directory;
    case 'S': return TMemberKind::Unsupported; // GNU sparse: the data alone is not the file
    default: return TMemberKind::File;         // '0', NUL, '7' and unknown types, as tar does
    }
}

uint32_t MemberDosDateTime(const uint8_t* block) {
    const TTarNumber time = TarNumber(block + tar::kTime, tar::kTimeLength);
    return time.Digits ? platform::UnixToDosDateTime(static_cast<std::time_t>(time.Value)) : 0;
}

// The stored name as the engine keeps it: "\" separators (the bytes are kept,
// today's writers store UTF-8).
std::string EngineName(std::string name) {
    std::replace(name.begin(), name.end(), '/', '\\');
    return name;
}

} // namespace

void TUnTAR::ExtractEntries() {
    members_.clear();
    links_.clear();
    directories_.clear();
    Scan();
    ArchiveRemaining = ArchiveTotal;
    for (const std::string& dir : directories_)
        if (!Cancel()) MakeDirectory(dir);
    for (size_t i = 0; i < SelectedEntries.size() && !Cancel(); ++i)
        ExtractMember(SelectedEntries[i], members_[i]);
    // Links last: a link made earlier could redirect a later member's file.
    for (const TLink& link : links_)
        if (!Cancel()) MakeLink(link);
}

// Header after header from the start; the zero blocks at the end, a block that is
// no header or data said to run past the end of the file end the walk.
void TUnTAR::Scan() {
    TTarNames names;
    uint8_t block[tar::kBlockSize];
    int64_t pos = 0;
    bool stop = false;
    while (!Cancel() && !stop && pos + tar::kBlockSize <= ArchiveSize) {
        if (ArcFile.Seek(pos, platform::SeekOrigin::Begin) != pos ||
            ArcFile.Read(block, sizeof block) != sizeof block)
            break;
        if (!TarChecksumMatches(block)) {
            if (!IsZeroBlock(block)) ReportError(E_BADHEADER, ArchiveFile(), "header checksum");
            break;
        }
        const int64_t dataStart = pos + tar::kBlockSize;
        const char type = static_cast<char>(block[tar::kTypeFlag]);
        const int64_t recordSize = TarNumber(block + tar::kSize, tar::kSizeLength).Value;
        const auto readData = [&](int64_t size) {
            std::string data(static_cast<size_t>(std::min(size, ArchiveSize - dataStart)), '\0');
            ArcFile.Seek(dataStart, platform::SeekOrigin::Begin);
            const int64_t got = ArcFile.Read(data.data(), static_cast<int64_t>(data.size()));
            data.resize(static_cast<size_t>(std::max<int64_t>(got, 0)));
            return data;
        };
        if (names.TakeRecord(type, recordSize, readData)) {
            pos = dataStart + RoundToBlocks(recordSize);
            continue;
        }
        const std::string name = EngineName(names.TakeName(block));
        const std::string target = names.TakeLinkName(block);
        const int64_t size = names.TakeSize(block);
        if (name.empty()) break;
        if (size > ArchiveSize - dataStart) {
            ReportError(E_BADHEADER, name, "member data runs past the end of the archive");
            break;
        }
        pos = dataStart + RoundToBlocks(size);

        const TMemberKind kind = KindOf(type);
        const uint32_t dosDate = MemberDosDateTime(block);
        if (kind == TMemberKind::Directory) {
            if (SpecMatch(name, false)) directories_.push_back(name);
        } else if (kind == TMemberKind::HardLink || kind == TMemberKind::SymLink) {
            if (SpecMatch(name, true))
                links_.push_back({name, target, kind == TMemberKind::SymLink});
        } else if (kind == TMemberKind::Unsupported) {
            if (SpecMatch(name, true)) ReportError(E_UNSUPPORTEDMETHOD, name, "sparse member");
        } else if (kind == TMemberKind::File) {
            const TSelectedEntry entry{0,
                                       0,
                                       pos - RoundToBlocks(size) - tar::kBlockSize,
                                       size,
                                       size,
                                       0,
                                       kNoStoredAttributes};
            const size_t before = SelectedEntries.size();
            stop = SelectEntry(name, entry, dosDate);
            if (SelectedEntries.size() != before) {
                const auto mode =
                    static_cast<uint32_t>(TarNumber(block + tar::kMode, tar::kModeLength).Value);
                members_.push_back({name, mode, dosDate});
            }
        }
    }
}

void TUnTAR::ExtractMember(const TSelectedEntry& entry, const TMember& member) {
    if (ArcFile.Seek(entry.HeaderOffset + tar::kBlockSize, platform::SeekOrigin::Begin) !=
        entry.HeaderOffset + tar::kBlockSize)
        return ReportError(E_SEEK, ArchiveFile());
    std::string name = member.Name;
    BuildOutputName(name);
    if (!BeginEntry(name, DosToDateTime(member.DosDateTime))) return;
    bool complete = false;
    try {
        if (!CreateOutputFile(name)) RaiseError(E_FOPEN, ArchiveFile());
        StartEntryProgress(entry.PackedSize, ArchiveTotal);
        CopyStored(false, crcNone);
        if (EntryRemaining > 0 && !Cancel())
            RaiseError(E_FREAD, name, "the archive ends inside the member");
        complete = !Cancel();
    } catch (const EVroError&) {
        // Reported when raised; this member fails, the next one goes on.
    }
    FinishEntry(kNoStoredAttributes, member.DosDateTime);
    if (complete && !Testing()) {
        std::error_code ec;
        fs::permissions(OutputName,
                        static_cast<fs::perms>((member.Mode & kPermissionBits) | kOwnerReadWrite),
                        ec);
    }
    ReportEnd(complete, name);
}

void TUnTAR::MakeDirectory(const std::string& name) {
    if (Testing() || !UseStoredDirs) return;
    BuildOutputName(name);
    if (OutputName.empty() || !NoLinksBelow(ExtractDir, OutputName)) return;
    ForceDirectories(OutputName);
}

// A link is made only when what it points to lies inside the extraction folder,
// judged from where the link itself is placed; anything else is reported and
// skipped. No link is made through another link.
void TUnTAR::MakeLink(const TLink& link) {
    if (Testing()) return;
    BuildOutputName(link.Name);
    const std::string linkPath = OutputName;
    const auto refuse = [&](const char* why) { ReportError(E_INVALIDFILENAME, link.Name, why); };
    if (linkPath.empty() || linkPath.ends_with('/')) return refuse("no name to link");
    if (!NoLinksBelow(ExtractDir, linkPath)) return refuse("a symbolic link is in the way");
    std::error_code ec;
    if (fs::exists(fs::symlink_status(linkPath, ec))) return refuse("a file of that name exists");
    ForceDirectories(fs::path(linkPath).parent_path().string());

    const fs::path root = fs::path(ExtractDir).lexically_normal();
    if (link.Symbolic) {
        if (link.Target.empty() || link.Target.front() == '/')
            return refuse("link target outside the folder");
        const fs::path resolved =
            (fs::path(linkPath).parent_path() / link.Target).lexically_normal();
        const fs::path inside = resolved.lexically_relative(root);
        if (inside.empty() || *inside.begin() == "..")
            return refuse("link target outside the folder");
        fs::create_symlink(link.Target, linkPath, ec);
    } else {
        const TOutputPath target = SafeOutputPath(ExtractDir, EngineName(link.Target), true);
        if (target.ClimbedOut || target.Path.empty() || !NoLinksBelow(ExtractDir, target.Path))
            return refuse("link target outside the folder");
        fs::create_hard_link(target.Path, linkPath, ec);
        if (ec) fs::copy_file(target.Path, linkPath, ec);
    }
    if (ec) ReportError(E_FOPEN, link.Name, ec.message());
}

std::unique_ptr<TUnBase> MakeTarExtractor() {
    return std::make_unique<TUnTAR>();
}

} // namespace vro
