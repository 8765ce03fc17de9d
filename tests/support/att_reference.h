// Reference interpreter over AT&T transducer text, for differential tests of compiled
// transducers: lookup (input matched against the first side of each arc, second side
// written) and inverse lookup (the other way round), with flag diacritics, as result
// sets. It reads the AT&T text with a small reader of its own (tab-separated fields)
// and gives symbols the compiler's meaning (characters in Windows-1252, multi-character
// symbols are tags written "[name]" in text), and walks the AT&T graph itself,
// by a depth-first search over (state, input position, flag values) that visits each
// configuration at most once per output, so it ends on every transducer: outputs
// longer than a bound are cut off, and the result set is then marked incomplete.
#pragma once

#include <cstdint>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace vtm::test {

struct ReferenceLimits {
  std::size_t max_output_symbols = 64;  // outputs longer than this are not followed
  std::size_t max_steps = 2'000'000;    // configurations expanded per query
};

// The bounds the compiler tests give the reference over small random transducers
// (test::RandomAtt): enough for every path they compare, cheap on cyclic ones.
inline constexpr ReferenceLimits kRandomAttLimits{24, 100'000};

class AttReference {
 public:
  explicit AttReference(ReferenceLimits bounds = {}) : limits(bounds) {}

  // Parses AT&T text (UTF-8; `section` chooses one of several transducers separated by
  // "--" lines, 0 requires exactly one). False and *error on bad input. Characters
  // outside Windows-1252 are refused.
  bool Parse(std::string_view att, int section, std::string* error);

  // Results of looking up `text` (Windows-1252 bytes, tags written "[name]"): the
  // second sides of all accepting paths whose first side spells `text`.
  std::set<std::string> Lookup(std::string_view text) const { return Run(text, false); }
  // The first sides of all accepting paths whose second side spells `text`.
  std::set<std::string> Inverse(std::string_view text) const { return Run(text, true); }
  // True when the last query hit a limit (its result set may lack strings).
  bool last_incomplete() const { return incomplete_; }

  // Texts of random accepting paths: their first sides (second sides with `second`).
  std::vector<std::string> SampleTexts(std::mt19937& rng, int count, bool second) const;

  ReferenceLimits limits;

 private:
  struct Arc {
    uint32_t dst;
    int32_t in, out;  // symbol ids; -1 epsilon
  };
  struct Sym {
    enum Kind { kChar, kTag, kFlag, kOther } kind;
    std::string text;  // char byte or tag name
    char op = 0;       // flag: 'U' or 'C'
    int feature = 0, value = 0;
  };
  std::set<std::string> Run(std::string_view text, bool inverse) const;
  bool Tokenize(std::string_view text, std::vector<int32_t>* out) const;
  std::string Render(int32_t symbol) const;

  std::vector<std::vector<Arc>> arcs_;
  std::vector<uint8_t> final_;
  std::vector<uint8_t> live_;  // a final state can be reached from it
  uint32_t start_ = 0;
  std::vector<Sym> syms_;
  int features_ = 0;
  mutable bool incomplete_ = false;
};

// Options of the random transducer generator.
struct RandomAttOptions {
  int states = 8;
  int arcs = 16;
  std::vector<std::string> chars = {"a", "b", "c"};  // UTF-8 single characters
  std::vector<std::string> tags;                     // e.g. "<n>", "+Pl"
  double input_epsilon = 0.1;                        // probability of an empty first side
  double output_epsilon = 0.1;                       // probability of an empty second side
  double non_identity = 0.3;                         // probability that the second side differs
  double flag = 0.0;                                 // probability of a flag arc (@U.F.V@ or @C.F@)
  int flag_features = 2;
  int flag_values = 2;
  bool cyclic = false;  // allow arcs back to earlier states (never silent ones)
  double final_probability = 0.3;
  int wide_states = 0;  // states that get an arc for every character
};

// A random AT&T transducer. Arcs that go back (cyclic) carry characters on both sides,
// so no cycle is silent on either side.
std::string RandomAtt(const RandomAttOptions& options, std::mt19937& rng);

}  // namespace vtm::test
