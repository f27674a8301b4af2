// The catalogue: lists any detected archive entry by entry without extracting.
// One generic loop reads fixed-size header blocks from the archive; each format's
// walk (engine/vroWalk*.cpp) parses its block, reads what follows it, reports the
// entry and moves the position past the entry's data.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/vroBase.h"
#include "engine/vroReadAhead.h"

namespace vro {

class TVireo;

// One format's walk. Walks keep their own per-run state (directory prefixes,
// remaining counts) and reach the catalogue only through its walk interface.
class TCatalogueWalk {
public:
    virtual ~TCatalogueWalk() = default;
    // Before the loop (ReadPosition = StartOffset, EndPosition = ArchiveSize):
    // sets BlockSize (0 means the loop does not run) and may move ReadPosition,
    // the 1-based position of the first header. Single-entry formats report here.
    virtual void Prepare(TVireo& v) = 0;
    // One loop turn: the block just read is in v.Block (v.BlockRead bytes, at
    // v.HeaderPosition()), and v.Position is right after it. Parses the header,
    // may report the entry, and moves v.Position past the entry's data, or calls
    // v.EndWalk().
    virtual void Step(TVireo& v) = 0;
};

class TVireo : public TZipCommon {
public:
    TVireo();
    ~TVireo() override;

    // Runs one complete listing. True when the walk ran; false when the listing
    // was refused or an error ended it (the error went to OnError first).
    bool Activate();

    // Clamped to 2000..32767.
    void SetZipCmntBufSize(int32_t value) override;
    bool ShowBlankDirs = false;

    std::function<void(Sender)> OnReadBegin, OnReadEnd;
    std::function<void(Sender, const std::string& Filename)> OnReadFile;
    std::function<void(Sender, int32_t NumFiles)> OnTotals;

    // The current entry's comment (ZIP central directory, ZOO); valid during OnRead.
    std::string FileComment;

    // ---- The walk interface -------------------------------------------------
    int64_t Position = 0;    // 0-based file position of the loop
    int64_t EndPosition = 0; // the current volume's size
    int32_t BlockSize = 0;
    int64_t BlockRead = 0;
    std::vector<uint8_t> Block;
    int64_t HeaderPosition() const { return Position - BlockRead; }

    // Stops the loop after this step.
    void EndWalk() { Position = EndPosition; }
    // Reads exactly n bytes at pos from the open archive; false when short.
    bool ReadAt(int64_t pos, void* buffer, int64_t n);
    // Reads up to n bytes at pos; returns the count (0 at or past the end).
    int64_t ReadSomeAt(int64_t pos, void* buffer, int64_t n);
    // Raises OnReadFile for a header whose name was read.
    void NameRead(const std::string& name);
    // The FileSpec test every walk applies (names-only).
    bool Matches(const std::string& name) const { return SpecMatch(name, true); }
    // Sets both sizes and the ratio of the current entry.
    void SetSizes(int64_t packed, int64_t unpacked);
    // Reports EntryInfo: counts it (unless counted is false), adds it to the
    // totals, raises OnReadBegin, OnRead(offset, FileNum), OnReadEnd.
    void ReportEntry(int64_t offset, bool counted = true);
    // After the archive file was reopened on another volume or disk: drops what was
    // read ahead and takes the new file's size as EndPosition. Position is the walk's.
    void VolumeChanged();

private:
    bool CheckBeforeRun();
    void OpenArchive();
    void RunLoop(TCatalogueWalk& walk);
    void CloseRun();
    void ClearEntryInfo();

    TReadAhead ahead_;
};

// The walk for a detected type; nullptr for types the catalogue cannot list.
std::unique_ptr<TCatalogueWalk> MakeCatalogueWalk(TArcType type);

} // namespace vro
