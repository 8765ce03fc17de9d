// Tagger model file writer (see tagger_model.h).
#include "tagger_model.h"

#include <algorithm>
#include <fstream>

namespace vtm::compiler {
namespace {

constexpr uint32_t kEndOfFileWord = 2147483647;

void Word(std::vector<uint8_t>* out, uint32_t w) {
  for (int k = 0; k < 4; ++k) out->push_back(static_cast<uint8_t>(w >> (8 * k)));
}

bool Score(std::vector<uint8_t>* out, int32_t s, std::string* error) {
  if (static_cast<uint32_t>(s) == kEndOfFileWord) {
    *error = "the score 2147483647 cannot be stored";
    return false;
  }
  Word(out, static_cast<uint32_t>(s));
  return true;
}

bool String(std::vector<uint8_t>* out, const std::string& text, const char* what,
            std::string* error) {
  if (text.size() > 255 || text.find('\0') != std::string::npos ||
      text.find('\xFF') != std::string::npos) {
    *error = std::string(what) + " \"" + text + "\": at most 255 bytes, no NUL or 0xFF byte";
    return false;
  }
  out->insert(out->end(), text.begin(), text.end());
  out->push_back(0);
  return true;
}

}  // namespace

bool WriteTaggerModel(const TaggerModel& m, std::vector<uint8_t>* bytes, std::string* error) {
  const std::size_t tags = m.tag_names.size();
  const std::size_t classes = m.emissions.size();
  if (tags == 0 || tags > 32767 || classes == 0 || classes > 65535) {
    *error = "a model needs 1 to 32767 tags and 1 to 65535 classes";
    return false;
  }
  if (m.class_strings.size() > classes || m.initial.size() != tags ||
      m.transitions.size() != tags) {
    *error = "class strings, initial scores or transition rows do not match the counts";
    return false;
  }
  if (m.version.size() > 31 || m.version.find('\n') != std::string::npos ||
      m.version.find('\0') != std::string::npos) {
    *error = "version text: at most 31 bytes, no newline";
    return false;
  }
  if (m.comment.find('\0') != std::string::npos) {
    *error = "the comment cannot hold a NUL byte";
    return false;
  }
  uint32_t max_class = m.max_class_size;
  for (const auto& e : m.emissions) {
    if (m.max_class_size == 0) max_class = std::max<uint32_t>(max_class, e.size());
    if (e.empty() || e.size() > 255 || e.size() > max_class) {
      *error = "every class needs 1 to 255 member tags, at most max_class_size";
      return false;
    }
  }
  std::vector<uint8_t>& out = *bytes;
  // assign() rather than clear() and insert(): g++ 12 at -O2 misreads the latter as an
  // overflow of the 12-byte allocation (-Warray-bounds, -Wstringop-overflow).
  const uint8_t header[12] = {0, 0, 0, 0, kTaggerModelFileType, 0, 0, m.language, 0, 0, 0, 0};
  out.assign(header, header + 12);
  out.insert(out.end(), m.version.begin(), m.version.end());
  out.push_back('\n');
  out.insert(out.end(), m.comment.begin(), m.comment.end());
  out.push_back(0);
  if (m.reserved == kEndOfFileWord || max_class == kEndOfFileWord) {
    *error = "the word 2147483647 cannot be stored";
    return false;
  }
  Word(&out, m.reserved);
  Word(&out, max_class);
  Word(&out, static_cast<uint32_t>(tags));
  Word(&out, static_cast<uint32_t>(classes));
  for (const std::string& name : m.tag_names) {
    if (!String(&out, name, "tag name", error)) return false;
  }
  out.push_back(0);
  uint64_t brackets = 0;
  for (const std::string& text : m.class_strings) {
    if (text.empty()) {
      *error = "a class string cannot be empty";
      return false;
    }
    if (!String(&out, text, "class string", error)) return false;
    brackets += static_cast<uint64_t>(std::count(text.begin(), text.end(), '['));
  }
  out.push_back(0);
  Word(&out, static_cast<uint32_t>(tags));
  for (int32_t s : m.initial) {
    if (!Score(&out, s, error)) return false;
  }
  for (const auto& row : m.transitions) {
    if (row.size() > tags) {
      *error = "a transition row is longer than the tag count";
      return false;
    }
    Word(&out, static_cast<uint32_t>(row.size()));
    for (int32_t s : row) {
      if (!Score(&out, s, error)) return false;
    }
  }
  uint64_t entries = 0;
  for (const auto& e : m.emissions) {
    Word(&out, static_cast<uint32_t>(e.size()));
    for (std::size_t j = 0; j < e.size(); ++j) {
      if (e[j].first >= tags || (j > 0 && e[j].first <= e[j - 1].first)) {
        *error = "emission tags must be tag numbers in ascending order";
        return false;
      }
      Word(&out, e[j].first);
      if (!Score(&out, e[j].second, error)) return false;
    }
    entries += e.size();
  }
  // The reader sizes its emission storage by the "[" count of the class strings.
  if (entries > brackets) {
    *error = "the classes have more emission entries than their strings have tags";
    return false;
  }
  return true;
}

bool WriteTaggerModelFile(const std::string& path, const TaggerModel& model, std::string* error) {
  std::vector<uint8_t> bytes;
  if (!WriteTaggerModel(model, &bytes, error)) return false;
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  file.close();
  if (!file) {
    *error = "cannot write " + path;
    return false;
  }
  return true;
}

}  // namespace vtm::compiler
