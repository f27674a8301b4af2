// The catalogue's run: refusals, the common preparation, the generic header loop
// and the closing steps. Header reads go through a read-ahead window.
#include "engine/vroVireo.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "engine/vroHelpers.h"
#include "platform/FileSystem.h"
#include "platform/HostHooks.h"

namespace vro {

namespace {

constexpr int32_t kDefaultCommentWindow = 32000;
constexpr int32_t kMinCommentWindow = 2000;
constexpr int32_t kMaxCommentWindow = 32767;
constexpr size_t kLargestBlock = 512; // TAR's; every other header block is smaller

} // namespace

TVireo::TVireo() {
    TvroMain::SetZipCmntBufSize(kDefaultCommentWindow);
}
TVireo::~TVireo() = default;

void TVireo::SetZipCmntBufSize(int32_t value) {
    TvroMain::SetZipCmntBufSize(std::clamp(value, kMinCommentWindow, kMaxCommentWindow));
}

// ---------------------------------------------------------------------------
// Reading through the read-ahead window

int64_t TVireo::ReadSomeAt(int64_t pos, void* buffer, int64_t n) {
    return ahead_.ReadSomeAt(pos, buffer, n);
}

bool TVireo::ReadAt(int64_t pos, void* buffer, int64_t n) {
    return ReadSomeAt(pos, buffer, n) == n;
}

void TVireo::VolumeChanged() {
    ahead_.Attach(&ArcFile);
    EndPosition = ArchiveSize;
}

// ---------------------------------------------------------------------------
// Reporting

void TVireo::NameRead(const std::string& name) {
    if (OnReadFile) OnReadFile(*this, name);
}

void TVireo::SetSizes(int64_t packed, int64_t unpacked) {
    EntryInfo.PackedSize = packed;
    EntryInfo.UnpackedSize = unpacked;
    EntryInfo.Ratio = Ratio(packed, unpacked);
}

void TVireo::ReportEntry(int64_t offset, bool counted) {
    if (counted) {
        ++FileNum;
        TotalPacked += EntryInfo.PackedSize;
        TotalUnpacked += EntryInfo.UnpackedSize;
    }
    if (OnReadBegin) OnReadBegin(*this);
    OnRead(*this, offset, FileNum);
    if (OnReadEnd) OnReadEnd(*this);
}

// ---------------------------------------------------------------------------
// The run

bool TVireo::CheckBeforeRun() {
    const std::string& fn = ArchiveFile();
    if (!platform::FileExists(fn)) RaiseError(E_FILENOTFOUND, fn, {}, "0");
    if (!OnRead) RaiseError(E_REQUIREDEVENT, fn, "OnRead", "0");
    const TArcType t = ArcType();
    if (t == atNA || t == atUnknown || t == atUnsupported) RaiseError(E_UNKNOWNTYPE, fn, {}, "0");
    if (t == atFileOpenErr) RaiseError(E_FILENOTFOUND, fn, {}, "0");
    return true;
}

void TVireo::OpenArchive() {
    if (!ArcFile.Open(ArchiveFile(), platform::FileMode::Read)) RaiseError(E_FREAD, ArchiveFile());
    ArchiveSize = ArcFile.Size();
    if (ArchiveSize < 0) RaiseError(E_FREAD, ArchiveFile());
    VolumeChanged();
    if (OnActivate) OnActivate(*this);
}

void TVireo::ClearEntryInfo() {
    FileNum = 0;
    TotalPacked = TotalUnpacked = 0;
    TotalRatio = 0;
    EntryInfo.PackedSize = EntryInfo.UnpackedSize = 0;
    EntryInfo.CRC = 0;
    EntryInfo.Ratio = 0;
    EntryInfo.DateTime = 0;
    EntryInfo.MethodName.clear();
}

// Reads one header block after another and hands each to the walk, which moves
// Position past the entry. Ends at the volume's end, on a short read, or on Cancel.
void TVireo::RunLoop(TCatalogueWalk& walk) {
    Block.assign(std::max<size_t>(kLargestBlock, BlockSize), 0);
    Position = ReadPosition - 1;
    while (BlockSize > 0 && Position + BlockSize < EndPosition && !Cancel()) {
        platform::ProcessMessages();
        ReadPosition = Position + 1;
        if (static_cast<size_t>(BlockSize) > Block.size()) Block.resize(BlockSize);
        BlockRead = ReadSomeAt(Position, Block.data(), BlockSize);
        if (BlockRead == 0) break;
        std::fill(Block.begin() + BlockRead, Block.end(), 0);
        Position += BlockRead;
        FileComment.clear();
        EntryInfo.DeflateOption = 0;
        walk.Step(*this);
    }
}

void TVireo::CloseRun() {
    Position = EndPosition = 0;
    BlockSize = 0;
    BlockRead = 0;
    ahead_.Drop();
    if (OnDeactivate) OnDeactivate(*this);
    if (ArcFile.IsOpen() && !ArcFile.Close()) ReportError(E_CLOSE, ArchiveFile());
    Timer().Stop();
    if (OnElapsedTime) OnElapsedTime(*this, Timer().ElapsedTime());
}

bool TVireo::Activate() {
    BeginRun();
    EntryInfo.VolumeName = ArchiveFile();
    if (ArchiveFile().empty()) return false;
    try {
        CheckBeforeRun();
    } catch (const EVroError&) {
        return false;
    }

    bool walked = false;
    try {
        std::unique_ptr<TCatalogueWalk> walk = MakeCatalogueWalk(ArcType());
        if (!walk) RaiseError(E_UNKNOWNTYPE, ArchiveFile(), {}, "0");
        OpenArchive();
        ClearEntryInfo();
        DeriveVolumeNumbering(); // a set is walked from its first volume every run
        ReadPosition = StartOffset;
        EndPosition = ArchiveSize;
        BlockSize = 0;
        walk->Prepare(*this);
        if (OnElapsedTime) Timer().Start();
        RunLoop(*walk);
        if (OnTotals) {
            TotalRatio = Ratio(TotalPacked, TotalUnpacked);
            OnTotals(*this, FileNum);
        }
        walked = true;
    } catch (const EVroError&) {
        // Already reported through OnError when it was raised.
    } catch (const std::bad_alloc&) {
        ReportError(E_OUTOFMEMORY, ArchiveFile());
    }
    CloseRun();
    return walked;
}

} // namespace vro
