// `vtm group`: groups tagged sentences into phrases with a grouping transducer (by
// default the bundled English grouper) and writes bracketed text, tsv records or JSON
// lines. Tested in tests/cli/chunk_test.sh; compared with NLTK in
// scripts/test.d/chunk_nltk.sh.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "default_transducer.h"
#include "group_writer.h"
#include "library_message.h"
#include "subcommands.h"
#include "vtmrt.h"

namespace vtm::cli {
namespace {

struct GroupArgs {
  std::string grouper;
  std::vector<std::string> inputs;
  std::string output;
  std::string input_format = "text";
  std::string format = "text";
  bool subgroups = false;
  bool sort = false;
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
    std::fprintf(stderr, "vtm group: %s: %s\n", path.c_str(), LibraryMessage(code).c_str());
    return kExitFailure;
  }
  VtmGrouper grouper = vtm_make_grouper(fsm);
  if (int code = vtm_object_error_code(grouper); code != 0) {
    std::fprintf(stderr, "vtm group: %s: %s\n", path.c_str(), LibraryMessage(code).c_str());
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
  GroupOptions options;
  options.format = GroupFormatNamed(args.format);
  options.subgroups = args.subgroups;
  options.sort = args.sort;
  GroupWriter writer(grouper, options);
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
      const std::string error = writer.Sentence(s, ++number, &buffer);
      if (!error.empty()) {
        std::fprintf(stderr, "vtm group: line %zu: %s\n", s.line, error.c_str());
        ++failed;
      }
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
