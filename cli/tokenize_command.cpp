// `vtm tokenize`: running text or HTML into tokens, printed one per line (tsv or JSON)
// or as sentences of space-separated tokens. Tested by tests/cli/tokenize_test.sh.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "default_transducer.h"
#include "subcommands.h"
#include "token_stream.h"
#include "word_command.h"

namespace vtm::cli {
namespace {

// Bundled data: the English tokenizer transducers and the HTML tag dictionary.
constexpr const char* kDefaultTokenizer = "en-brown.vtm";
constexpr const char* kDefaultTags = "html-tags.txt";

struct TokenizeArgs {
  std::string transducer;
  std::string tags;
  std::vector<std::string> inputs;
  bool html = false;
  bool line_paragraph = false;
  bool sentences = false;
  std::string format = "tsv";
};

// The file given, else the bundled one; "" (and a message) when neither exists.
std::string Resolve(const std::string& given, const char* bundled, const char* what) {
  if (!given.empty()) return given;
  std::string path = FindDefaultData(bundled);
  if (path.empty()) {
    std::fprintf(stderr, "vtm tokenize: no %s given and no bundled %s in:\n", what, bundled);
    for (const std::string& place : DefaultTransducerCandidates())
      std::fprintf(stderr, "  %s\n", std::filesystem::path(place).parent_path().c_str());
  }
  return path;
}

int Run(const TokenizeArgs& args) {
  const std::string path = Resolve(args.transducer, kDefaultTokenizer, "-t");
  if (path.empty()) return kExitFailure;
  std::string tags_path;
  if (args.html || !args.tags.empty()) {
    tags_path = Resolve(args.tags, kDefaultTags, "--tags");
    if (tags_path.empty()) return kExitFailure;
  }
  vtm_init_library();
  VtmFsm fsm = vtm_make_fsm(path.c_str());
  int code = vtm_object_error_code(fsm);
  if (code < 0) {
    std::fprintf(stderr, "vtm tokenize: %s: %s\n", path.c_str(), LibraryMessage(code).c_str());
    return kExitFailure;
  }
  VtmClientDict dict = nullptr;
  int status = kExitOk;
  if (!tags_path.empty()) {
    dict = vtm_make_client_dict(0, 0);
    if (vtm_object_error_code(dict) < 0 || LoadDictionary("tokenize", tags_path, dict) != 0) {
      if (vtm_object_error_code(dict) < 0) dict = nullptr;
      status = kExitFailure;
    }
  }
  VtmTokenizer tokenizer = nullptr;
  if (status == kExitOk) {
    tokenizer = vtm_make_tokenizer(fsm, 0, dict);
    code = vtm_object_error_code(tokenizer);
    if (code < 0) {
      std::fprintf(stderr, "vtm tokenize: %s: %s\n", path.c_str(), LibraryMessage(code).c_str());
      tokenizer = nullptr;
      status = kExitFailure;
    }
  }
  if (status == kExitOk) {
    TokenTask task;
    task.tokenizer = tokenizer;
    task.flags = (args.html ? VTM_TOKENIZE_HTML : 0) |
                 (args.line_paragraph ? VTM_TOKENIZE_LINE_PARAGRAPH : 0);
    task.format = args.sentences          ? TokenFormat::kSentences
                  : args.format == "json" ? TokenFormat::kJson
                                          : TokenFormat::kTsv;
    status = ForEachInput("tokenize", args.inputs, [&task](int fd, const std::string& name) {
      return RunTokenStream(task, fd, name);
    });
  }
  vtm_free_tokenizer(tokenizer);
  vtm_free_client_dict(dict);
  vtm_free_fsm(fsm);
  return status;
}

}  // namespace

void AddTokenizeCommand(CLI::App& app, int* status) {
  auto args = std::make_shared<TokenizeArgs>();
  CLI::App* cmd = app.add_subcommand(
      "tokenize",
      "Break running text or HTML into tokens: words, punctuation, line and paragraph "
      "breaks and tags.\nInput is UTF-8 (converted to code page 1252 for the tokenizer; "
      "invalid UTF-8 and other characters are read as spaces, reported, and make the exit "
      "status 1). Output (tsv): one token per line: UTF-8 byte offset and length in the "
      "input, class names, and the token's text (its normalized form when the tokenizer "
      "gives one; empty for line breaks).");
  cmd->add_option("-t,--transducer", args->transducer,
                  "Tokenizer transducer (function 28; default: the bundled en-brown)");
  cmd->add_option("--tags", args->tags,
                  "HTML tag dictionary entry file (default in --html mode: the bundled "
                  "html-tags.txt)");
  cmd->add_flag("--html", args->html, "The input is HTML: tags become tokens");
  cmd->add_flag("--line-paragraph", args->line_paragraph,
                "A single line break already ends a paragraph");
  cmd->add_option("--format", args->format,
                  "tsv (default) or json (one object per token: offset, length, classes, "
                  "text and, when normalized, norm)")
      ->check(CLI::IsMember({"tsv", "json"}));
  cmd->add_flag("--sentences", args->sentences,
                "Print one sentence per line, tokens separated by single spaces (a "
                "sentence ends after a sentence-end token or at a paragraph break)");
  cmd->add_option("FILE", args->inputs, "Input files (default: standard input; - too)");
  cmd->callback([args, status] { *status = Run(*args); });
}

}  // namespace vtm::cli
