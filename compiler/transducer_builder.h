// The compiler proper: AT&T transducers, one per function number, in; the description
// of a transducer file (for the file writer) out. Chooses the label base, the label
// codes and the reference split that give the smallest file.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "att_reader.h"
#include "file_writer.h"
#include "network_encoder.h"

namespace vtm::compiler {

struct BuildInput {
  int function = 0;
  std::string name;  // for messages (file name or "stdin")
  std::shared_ptr<const AttTransducer> att;
};

struct BuildOptions {
  std::vector<BuildInput> inputs;
  uint8_t language = 0;
  uint8_t char_encoding = 0;
  uint32_t creation_date = 0;
  std::string copyright;  // cp1252 bytes, CR LF line breaks, at most 255
  std::string version;    // version text, e.g. "1.0"
  bool drop_unmappable = false;
  int label_base = 0;  // 0: try several and keep the smallest file
  // Text (cp1252 bytes) whose character frequencies order the label codes; empty: the
  // frequencies on the transducers' arcs (code_assignment.h, WeightBySample).
  std::string code_sample;
  // With a code sample: instead of ranking every sample character first, take them one
  // at a time, most frequent first, and keep each only when the file stays no larger
  // than the one ranked by arc counts alone (frequent text characters lose their escape
  // codes where the layout has room, while the symbols that fill the arcs keep theirs).
  bool code_sample_fit = false;
  // Insertions (arcs that write without reading) moved onto the input symbols after
  // them, in subnets read by the lookup walk alone (read_ahead.h).
  bool read_ahead_insertions = false;
  EncoderOptions encoder;
  std::function<void(const std::string&)> progress;  // may be empty
};

struct FunctionReport {
  int function;
  int subnet;
  std::size_t states, arcs;  // symbol level, after trimming and tag-run splitting
};

struct BuildReport {
  std::size_t dropped_arcs = 0;
  int label_base = 0;
  std::size_t network_bytes = 0, code_states = 0, code_arcs = 0, tables = 0;
  std::size_t near_states = 0, far_states = 0;
  std::size_t chars = 0, tags = 0, escaped_symbols = 0;
  std::size_t insertions_moved = 0;    // by read_ahead_insertions
  std::string sample_characters_kept;  // by code_sample_fit, in the order kept (cp1252)
  std::vector<FunctionReport> functions;
};

bool BuildTransducer(const BuildOptions& options, TransducerSpec* spec, BuildReport* report,
                     std::string* error);

}  // namespace vtm::compiler
