// `vtm group`: groups tagged sentences into phrases with a grouping transducer (by
// default the bundled English grouper) and writes bracketed text, tsv records or JSON
// lines. Tested in tests/cli/chunk_test.sh; compared with NLTK in
// scripts/test.d/chunk_nltk.sh.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "default_transducer.h"
#include "subcommands.h"
#include "tagged_input.h"
#include "vtmrt.h"

namespace vtm::cli {
namespace {

constexpr const char* kDefaultGrouperName = "english-chunks.vtm";

struct GroupArgs {
  std::string grouper;
  std::vector<std::string> inputs;
  std::string output;
  std::string input_format = "text";
  std::string format = "text";
  bool subgroups = false;
  bool sort = false;
};

std::string ErrorText(int code) {
  char buffer[256] = {0};
  vtm_error_message(code, buffer, sizeof buffer);
  return buffer;
}

void JsonQuoted(const std::string& s, std::string* out) {
  out->push_back('"');
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') {
      out->push_back('\\');
      out->push_back(static_cast<char>(c));
    } else if (c < 0x20) {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
      *out += buffer;
    } else {
      out->push_back(static_cast<char>(c));
    }
  }
  out->push_back('"');
}

class Grouping {
 public:
  Grouping(VtmGrouper grouper, const GroupArgs& args) : grouper_(grouper), args_(args) {}

  // Groups one sentence and appends its output; false when the sentence failed.
  bool Sentence(const TaggedSentence& s, std::size_t number, std::string* out) {
    const int count = static_cast<int>(s.tokens.size());
    int rc = VTM_ERR_INVALID_NUMBER;
    if (s.error.empty()) {
      tags_.clear();
      for (const TaggedToken& t : s.tokens) {
        tags_ += GrouperTag(t.tag);
        tags_.push_back('\0');
      }
      tags_.push_back('\0');
      const std::size_t capacity = 8 * s.tokens.size() + 16;
      if (records_.size() < capacity) records_.resize(capacity), names_.resize(32 * capacity);
      int flags = (args_.subgroups ? VTM_GROUP_SUBGROUPS : 0) | (args_.sort ? VTM_GROUP_SORT : 0);
      rc = vtm_group(tags_.data(), count, flags, records_.data(), static_cast<int>(capacity),
                     names_.data(), static_cast<int>(names_.size()), grouper_);
    }
    const std::string error = !s.error.empty() ? s.error : rc < 0 ? ErrorText(rc) : "";
    if (!error.empty()) {
      std::fprintf(stderr, "vtm group: line %zu: %s\n", s.line, error.c_str());
    }
    const int n = rc < 0 ? 0 : rc;
    if (args_.format == "tsv") {
      Tsv(s, number, n, out);
    } else if (args_.format == "json") {
      Json(s, number, n, error, out);
    } else {
      Bracketed(s, n, out);
    }
    return error.empty();
  }

 private:
  const char* Label(const VtmGroup& g) const { return names_.data() + g.name_offset; }

  std::string Words(const TaggedSentence& s, const VtmGroup& g) const {
    std::string text;
    if (g.token_count < 0) return text;
    for (int i = g.first_token; i < g.first_token + g.token_count; ++i) {
      if (i > g.first_token) text.push_back(' ');
      text += s.tokens[static_cast<std::size_t>(i)].word;
    }
    return text;
  }

  void Tsv(const TaggedSentence& s, std::size_t number, int n, std::string* out) const {
    for (int k = 0; k < n; ++k) {
      const VtmGroup& g = records_[static_cast<std::size_t>(k)];
      *out += std::to_string(number) + '\t' + std::to_string(g.first_token) + '\t' +
              std::to_string(g.token_count) + '\t' + Label(g) + '\t' + Words(s, g) + '\n';
    }
  }

  void Json(const TaggedSentence& s, std::size_t number, int n, const std::string& error,
            std::string* out) const {
    *out += "{\"sentence\":" + std::to_string(number);
    if (!error.empty()) {
      *out += ",\"error\":";
      JsonQuoted(error, out);
    }
    *out += ",\"groups\":[";
    for (int k = 0; k < n; ++k) {
      const VtmGroup& g = records_[static_cast<std::size_t>(k)];
      if (k > 0) out->push_back(',');
      *out += "{\"label\":";
      JsonQuoted(Label(g), out);
      *out += ",\"first\":" + std::to_string(g.first_token) +
              ",\"count\":" + std::to_string(g.token_count) + ",\"text\":";
      JsonQuoted(Words(s, g), out);
      out->push_back('}');
    }
    *out += "]}\n";
  }

  // "[np the/at old/jj man/nn ] ..." with nested groups; groups never closed are left
  // out.
  void Bracketed(const TaggedSentence& s, int n, std::string* out) {
    order_.clear();
    for (int k = 0; k < n; ++k)
      if (records_[static_cast<std::size_t>(k)].token_count >= 0) order_.push_back(k);
    std::stable_sort(order_.begin(), order_.end(), [&](int a, int b) {
      const VtmGroup& x = records_[static_cast<std::size_t>(a)];
      const VtmGroup& y = records_[static_cast<std::size_t>(b)];
      if (x.first_token != y.first_token) return x.first_token < y.first_token;
      return x.token_count > y.token_count;
    });
    std::vector<int> ends;  // open groups' end tokens, innermost last
    std::size_t next = 0;
    bool first = true;
    auto item = [&](const std::string& text) {
      if (!first) out->push_back(' ');
      *out += text;
      first = false;
    };
    const int count = static_cast<int>(s.tokens.size());
    for (int i = 0; i <= count; ++i) {
      while (!ends.empty() && ends.back() <= i) ends.pop_back(), item("]");
      while (next < order_.size() &&
             records_[static_cast<std::size_t>(order_[next])].first_token == i) {
        const VtmGroup& g = records_[static_cast<std::size_t>(order_[next++])];
        item(std::string("[") + Label(g));
        if (g.token_count == 0) {
          item("]");
        } else {
          ends.push_back(g.first_token + g.token_count);
        }
      }
      if (i == count) break;
      const TaggedToken& t = s.tokens[static_cast<std::size_t>(i)];
      item(t.tag.empty() ? t.word : t.word + "/" + t.tag);
    }
    while (!ends.empty()) ends.pop_back(), item("]");
    out->push_back('\n');
  }

  VtmGrouper grouper_;
  const GroupArgs& args_;
  std::string tags_;
  std::vector<VtmGroup> records_;
  std::vector<char> names_;
  std::vector<int> order_;
};

bool ReadAll(const std::string& path, std::string* text) {
  if (path == "-") {
    std::ostringstream s;
    s << std::cin.rdbuf();
    *text = s.str();
    return true;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  *text = s.str();
  return true;
}

int RunGroup(const GroupArgs& args) {
  std::string path = args.grouper.empty() ? FindDefaultData(kDefaultGrouperName) : args.grouper;
  if (path.empty()) {
    std::fprintf(stderr, "vtm group: no grouper given (-g) and the bundled %s is not found\n",
                 kDefaultGrouperName);
    return kExitFailure;
  }
  VtmFsm fsm = vtm_make_fsm(path.c_str());
  if (int code = vtm_object_error_code(fsm); code != 0) {
    std::fprintf(stderr, "vtm group: %s: %s\n", path.c_str(), ErrorText(code).c_str());
    return kExitFailure;
  }
  VtmGrouper grouper = vtm_make_grouper(fsm);
  if (int code = vtm_object_error_code(grouper); code != 0) {
    std::fprintf(stderr, "vtm group: %s: %s\n", path.c_str(), ErrorText(code).c_str());
    vtm_free_fsm(fsm);
    return kExitFailure;
  }
  const TaggedFormat format = args.input_format == "tsv"    ? TaggedFormat::kTsv
                              : args.input_format == "json" ? TaggedFormat::kJson
                                                            : TaggedFormat::kSlash;
  std::FILE* out = stdout;
  if (!args.output.empty() && args.output != "-") {
    out = std::fopen(args.output.c_str(), "wb");
    if (out == nullptr) {
      std::fprintf(stderr, "vtm group: cannot write %s\n", args.output.c_str());
      vtm_free_grouper(grouper);
      vtm_free_fsm(fsm);
      return kExitFailure;
    }
  }
  Grouping grouping(grouper, args);
  std::size_t number = 0, failed = 0;
  int status = kExitOk;
  std::string buffer;
  const std::vector<std::string> inputs =
      args.inputs.empty() ? std::vector<std::string>{"-"} : args.inputs;
  for (const std::string& input : inputs) {
    std::string text;
    if (!ReadAll(input, &text)) {
      std::fprintf(stderr, "vtm group: cannot read %s\n", input.c_str());
      status = kExitFailure;
      continue;
    }
    ReadTagged(text, format, [&](const TaggedSentence& s) {
      if (!grouping.Sentence(s, ++number, &buffer)) ++failed;
      if (buffer.size() >= (1u << 16)) {
        std::fwrite(buffer.data(), 1, buffer.size(), out);
        buffer.clear();
      }
    });
  }
  std::fwrite(buffer.data(), 1, buffer.size(), out);
  if (out != stdout) std::fclose(out);
  vtm_free_grouper(grouper);
  vtm_free_fsm(fsm);
  if (failed > 0) {
    std::fprintf(stderr, "vtm group: %zu of %zu sentences could not be grouped\n", failed, number);
    status = kExitFailure;
  }
  return status;
}

}  // namespace

void AddGroupCommand(CLI::App& app, int* status) {
  auto args = std::make_shared<GroupArgs>();
  CLI::App* cmd = app.add_subcommand(
      "group",
      "Group tagged sentences into phrases (noun, prepositional and verb groups with the "
      "bundled English grouper). Input: one sentence per line of word/tag tokens (as "
      "`vtm tag` writes), or --input tsv (word TAB tag lines, a blank line after each "
      "sentence), or --input json (one JSON array of [word, tag] pairs per line). Tags "
      "that begin with a bracket are renamed -lrb-/-rrb- for the grouper. A sentence that "
      "cannot be grouped (e.g. an unknown tag) is reported and written without groups.");
  cmd->add_option("inputs", args->inputs, "Input files (default: standard input)");
  cmd->add_option("-g,--grouper", args->grouper,
                  "Grouping transducer (default: the bundled English grouper)");
  cmd->add_option("--input", args->input_format, "Input format: text, tsv or json")
      ->check(CLI::IsMember({"text", "tsv", "json"}));
  cmd->add_option("-f,--format", args->format,
                  "Output: text ([np the/at man/nn ]), tsv (sentence, first token, token "
                  "count, label, words) or json")
      ->check(CLI::IsMember({"text", "tsv", "json"}));
  cmd->add_option("-o,--output", args->output, "Output file (default: standard output)");
  cmd->add_flag("--subgroups", args->subgroups,
                "Also group inside every np group of more than one token");
  cmd->add_flag("--sort", args->sort,
                "With --subgroups: records by first token, longer groups first");
  cmd->callback([args, status] { *status = RunGroup(*args); });
}

}  // namespace vtm::cli
