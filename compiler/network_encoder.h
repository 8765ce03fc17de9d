// Network encoder: lays out code-level transducers as the byte network that the walks
// read. Layout: each state's arc list holds its epsilon group, its flag operand group,
// then its symbol arcs (or one direct-index table label when it has many). The target
// of the last arc is placed inline right after its label (depth-first), so a scan
// never has to skip it; in a net laid out for the inverse walk the second-side codes
// after the first-side epsilon get the table instead (the walk seeks its input there); every other
// target is a state reference, 0 for a state without arcs. References are one byte (near table),
// two bytes (far table) or three bytes (absolute); the states referenced most often get the near
// slots, then the far ones.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "code_net.h"

namespace vtm::compiler {

struct EncoderOptions {
  int table_min_symbols = 12;  // states with this many symbol arcs get a table
  int table_min_inputs = 6;    // inverse layout: this many second-side codes read get a table
  std::size_t max_state_table_entries = 20000;  // near + far entries the table area holds
};

struct EncodedNetwork {
  std::vector<uint8_t> bytes;
  std::vector<uint32_t> near_states, far_states;  // locations
  std::vector<uint32_t> starts;                   // per subnet: location of the entry label
  uint8_t near_ref_base = 1, far_ref_base = 1, abs_ref_base = 1;
  // Statistics.
  std::size_t states = 0, arcs = 0, tables = 0, references = 0;
};

// Encodes the subnets with the label codes of `codes`. Fails when the network cannot
// be addressed with the reference bytes that the label base leaves.
bool EncodeNetwork(const std::vector<const CodeNet*>& nets, const CodeAssignment& codes,
                   const EncoderOptions& options, EncodedNetwork* out, std::string* error);

}  // namespace vtm::compiler
