// `vtm tokenize`: running text or HTML into tokens, printed one per line (tsv or JSON)
// or as sentences of space-separated tokens. Tested by tests/cli/tokenize_test.sh.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "loaded_tokenizer.h"
#include "subcommands.h"
#include "token/tokenizer.h"
#include "token_stream.h"
#include "word_command.h"

namespace vtm::cli {
namespace {

struct TokenizeArgs {
  std::string transducer;
  std::string tags;
  std::vector<std::string> inputs;
  bool html = false;
  bool line_paragraph = false;
  bool sentences = false;
  bool split_words = false;
  std::string format = "tsv";
};

int Run(const TokenizeArgs& args) {
  LoadedTokenizer loaded;
  if (!loaded.Open("tokenize", args.transducer, "-t", args.tags, "--tags", args.html))
    return kExitFailure;
  TokenTask task;
  task.tokenizer = loaded.tokenizer();
  task.flags =
      (args.html ? VTM_TOKENIZE_HTML : 0) | (args.line_paragraph ? VTM_TOKENIZE_LINE_PARAGRAPH : 0);
  task.split_words = args.split_words ? &vtm::SplitChunk : nullptr;
  task.format = args.sentences          ? TokenFormat::kSentences
                : args.format == "json" ? TokenFormat::kJson
                                        : TokenFormat::kTsv;
  return ForEachInput("tokenize", args.inputs, [&task](int fd, const std::string& name) {
    return RunTokenStream(task, fd, name);
  });
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
  cmd->add_flag("--split-words", args->split_words,
                "Hand plain words to the transducer too, as it does with chunks (for "
                "conventions that split some plain words, as en-ptb splits gonna and "
                "cannot)");
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
