// The engine of `vtm lookup` and `vtm generate`: reads one word per line, looks every
// word up in a loaded transducer (on N threads sharing it, output kept in input order)
// and prints the results in the peers' form or as JSON lines.
#pragma once

#include <cstddef>
#include <string>

#include "vtmrt.h"

namespace vtm::cli {

struct WordTask {
  const char* command = "lookup";  // subcommand name, for messages
  VtmFsm fsm = nullptr;            // shared by every thread; only read
  VtmClientDict dict = nullptr;    // consulted first by the modes that do; may be null
  int mode = 2;                    // lookup mode of vtm_lookup_with_transduction
  bool json = false;               // one JSON object per line instead of the peers' form
  int threads = 1;
  // Output memo per thread (output_cache.h): at most this many distinct lines, and
  // cache_bytes bytes of lines and output; 0 entries turns it off.
  std::size_t cache_entries = 0;
  std::size_t cache_bytes = 0;
};

// Looks up every line of the open file descriptor `fd` (`name` is used in messages) and
// writes the results to standard output. Returns 0 when every line could be looked up,
// 1 when a line was rejected (not UTF-8, a character outside code page 1252, too long),
// a lookup failed, or reading or writing failed; each such case is reported on stderr.
int RunWordStream(const WordTask& task, int fd, const std::string& name);

}  // namespace vtm::cli
