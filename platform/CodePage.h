// OEM and "ANSI" code pages. ANSI is UTF-8 on this host; OEM is CP437 unless set
// otherwise. Names in DOS-era archives are OEM bytes; the engine keeps UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Selects the OEM code page (437 by default; 850, 852 and 866 are known too).
// Returns false and keeps the current one for an unknown number.
bool SetOemCodePage(int codePage);
int OemCodePage();

// OEM bytes to UTF-8. Every byte maps to one character.
std::string OemToAnsi(std::string_view oem);
// UTF-8 to OEM bytes; characters the code page lacks become "?". Invalid UTF-8
// bytes are taken as Latin-1 so nothing is dropped silently.
std::string AnsiToOem(std::string_view ansi);

// Double-byte test: 0 single-byte character, 1 lead byte, 2 trail byte. The code
// pages used here are single-byte, so the answer is always 0.
int ByteType(std::string_view text, size_t index);
bool IsDoubleByteSystem();

} // namespace platform
