// String resources of a Windows executable, read from the file's own resource
// directory (no loader involved): self-extractor stubs keep the offset of their
// archive in a string table.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

class TStream;

// The string with the given identifier from the executable's RT_STRING tables, as
// UTF-8; empty when the file is not a PE image, has no such string, or any
// structure on the way points outside the file. Reads only the headers and the
// one table it needs.
std::string LoadPeString(TStream& file, uint32_t id);

} // namespace platform
