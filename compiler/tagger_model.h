// The tagger model file writer: the first-order model that the runtime tagger loads
// beside its class transducer. Numbers are little-endian 32-bit words; the version line
// must equal the class transducer's version text and the language byte its language.
// Tested in tests/lib/tagger_model_test.cpp (written files loaded by the runtime).
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace vtm::compiler {

inline constexpr uint8_t kTaggerModelFileType = 14;

struct TaggerModel {
  uint8_t language = 0;
  std::string version = "1.0";  // the class transducer's version text (at most 31 bytes)
  std::string comment;          // any bytes but NUL
  uint32_t reserved = 0;
  // The model's tags (their names are what tagging writes) and its classes: class k is
  // keyed by class_strings[k], bracketed tag symbols of the class transducer ("[nn][vb]").
  std::vector<std::string> tag_names;
  std::vector<std::string> class_strings;
  std::vector<int32_t> initial;                   // per tag
  std::vector<std::vector<int32_t>> transitions;  // row t: t after tags 0 .. size-1
  // Per class: (tag, score) pairs, tags ascending.
  std::vector<std::vector<std::pair<uint32_t, int32_t>>> emissions;
  // 0: the largest class's size.
  uint32_t max_class_size = 0;
};

// Serialises `model`; false (with *error) when it cannot be read back as written.
bool WriteTaggerModel(const TaggerModel& model, std::vector<uint8_t>* bytes, std::string* error);
bool WriteTaggerModelFile(const std::string& path, const TaggerModel& model, std::string* error);

}  // namespace vtm::compiler
