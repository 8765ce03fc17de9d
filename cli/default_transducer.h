// Where `vtm lookup` and `vtm generate` find the bundled English transducer when no -t
// is given: beside the executable's prefix (<dir of vtm>/../share/vtmrt, the same place
// in the build tree and in an installation), then the configured install prefix.
#pragma once

#include <string>
#include <vector>

namespace vtm::cli {

// The file name of the bundled transducer.
inline constexpr const char* kDefaultTransducerName = "english.vtm";

// Places searched, in order.
std::vector<std::string> DefaultTransducerCandidates();

// The first candidate that exists, or "" when none does.
std::string FindDefaultTransducer();

// The same search for another bundled data file (e.g. "english-chunks.vtm").
std::string FindDefaultData(const std::string& name);

// The file `given` when not empty, else the bundled file `bundled`; "" when neither,
// after "vtm COMMAND: no WHAT given and no bundled BUNDLED in:" and the places searched
// on stderr.
std::string ResolveData(const char* command, const std::string& given, const char* bundled,
                        const char* what);

}  // namespace vtm::cli
