// Transducer files for tests, made with the file writer: a small valid description to
// start from, writing it to a temporary file, and loading it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "compiler/file_writer.h"
#include "fst/fsm.h"

namespace vtm::test {

// A valid transducer: copyright "Test", version "2.2", an 8-bit char map for 'a'..'c',
// one subnet serving function 12 over a two-byte network, a "*DIACRITICS*" table with
// TB and EOS, and no TAGMODE table.
compiler::TransducerSpec BasicSpec();

// A fresh path in the test temporary directory (the file is removed by the next call
// with the same name, not at exit).
std::string TempPath(const std::string& name);

// Writes bytes / a laid-out description to a temporary file; returns its path.
std::string WriteBytes(const std::string& name, const std::vector<uint8_t>& bytes);
std::string WriteSpec(const std::string& name, const compiler::TransducerSpec& spec,
                      compiler::Layout* layout = nullptr);
// Lays out a description (the test fails when it cannot be written).
std::vector<uint8_t> LayOut(const compiler::TransducerSpec& spec,
                            compiler::Layout* layout = nullptr);

struct FsmCloser {
  void operator()(VtmFsmRec* fsm) const { vtm_free_fsm(fsm); }
};
using FsmPtr = std::unique_ptr<VtmFsmRec, FsmCloser>;

// Loads a file; the handle may be an error object (the deleter ignores those).
FsmPtr Open(const std::string& path);
// Error code of loading `bytes` from a file (0 when it loads).
int LoadCode(const std::vector<uint8_t>& bytes);

}  // namespace vtm::test
