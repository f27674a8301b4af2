// Moving a catalogue walk onto the next file of a multi-file set, shared by the
// RAR walk (volumes) and the cabinet walk (cabinet sets): both find the next
// file's name themselves, ask the host for it, then reopen the archive file on it.
#pragma once

#include <string>

#include "engine/vroVireo.h"

namespace vro::walk {

// Asks for the next file of the set by name (the host may change the name or
// refuse) and reopens the catalogue's archive file on it: a file that cannot be
// closed is a fatal "Error closing file", one that cannot be opened a fatal
// "Error reading file or unexpected end of file" after the first file is reopened.
// False when the host refused; the walk then ends where it is.
inline bool MoveToNextFile(TVireo& v, std::string& name) {
    const std::string volumeId = std::to_string(v.VolumeNumber);
    if (!v.RequestNextVolume(name, v.VolumeNumber)) return false;
    if (!v.ArcFile.Close()) v.RaiseError(E_CLOSE, name, {}, volumeId);
    if (!v.ArcFile.Open(name, platform::FileMode::Read)) {
        v.ArcFile.Open(v.ArchiveFile(), platform::FileMode::Read);
        v.RaiseError(E_FREAD, name);
    }
    v.ArchiveSize = v.ArcFile.Size();
    v.EntryInfo.VolumeName = name;
    v.VolumeChanged();
    return true;
}

} // namespace vro::walk
