// Host name taken from the output of "ipconfig /all" (used where that command exists).
#pragma once

#include <cstdio>
#include <optional>
#include <string>

namespace corvane {

// Reads at most four lines of `output` (each of at most 1023 bytes, as one fgets call reads
// them) and takes the fourth, or the last one read when the output is shorter. Returns the text
// that starts two characters after the line's first colon, line end included; nothing when no
// line was read or the line has no colon. Reads no further than the fourth line.
std::optional<std::string> HostNameFromIpconfig(std::FILE* output);

}  // namespace corvane
