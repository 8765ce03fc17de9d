// `vtm chunk`: running text or HTML in, phrases out. One process tokenizes (the token
// stream of `vtm tokenize --sentences`, 64 KiB pieces), tags (as `vtm tag`) and groups
// (as `vtm group`) with the bundled English data unless other files are given, so its
// output is that of `vtm tokenize --sentences | vtm tag | vtm group`. Tested by
// tests/cli/chunk_command_test.sh (exact output, bad input) and
// tests/cli/chunk_pipeline_test.sh (against the three commands on real text).
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "chunk_pipeline.h"
#include "default_transducer.h"
#include "group_writer.h"
#include "library_message.h"
#include "loaded_tokenizer.h"
#include "sentence_tagger.h"
#include "subcommands.h"
#include "token_stream.h"
#include "word_command.h"

namespace vtm::cli {
namespace {

struct ChunkArgs {
  std::vector<std::string> inputs;
  std::string tokenizer, html_tags, tag_transducer, tag_model, grouper;
  bool html = false;
  bool line_paragraph = false;
  std::string case_mode = "auto";
  bool multiword = false;
  std::string format = "text";
  bool subgroups = false;
  bool sort = false;
  int threads = 1;
};

// The grouping transducer and its grouper.
class LoadedGrouper {
 public:
  ~LoadedGrouper() {
    vtm_free_grouper(grouper_);
    vtm_free_fsm(fsm_);
  }
  bool Open(const std::string& given) {
    const std::string path = ResolveData("chunk", given, kDefaultGrouperName, "-g");
    if (path.empty()) return false;
    fsm_ = vtm_make_fsm(path.c_str());
    int code = vtm_object_error_code(fsm_);
    if (code == 0) {
      grouper_ = vtm_make_grouper(fsm_);
      code = vtm_object_error_code(grouper_);
      if (code != 0) grouper_ = nullptr;
    } else {
      fsm_ = nullptr;
    }
    if (code != 0)
      std::fprintf(stderr, "vtm chunk: %s: %s\n", path.c_str(), LibraryMessage(code).c_str());
    return code == 0;
  }
  VtmGrouper grouper() const { return grouper_; }

 private:
  VtmFsm fsm_ = nullptr;
  VtmGrouper grouper_ = nullptr;
};

int RunChunk(const ChunkArgs& args) {
  LoadedTokenizer tokenizer;
  if (!tokenizer.Open("chunk", args.tokenizer, "--tokenizer", args.html_tags, "--html-tags",
                      args.html))
    return kExitFailure;
  const std::string transducer =
      ResolveData("chunk", args.tag_transducer, kDefaultTagTransducer, "--tagger");
  if (transducer.empty()) return kExitFailure;
  const std::string model = ResolveData("chunk", args.tag_model, kDefaultTagModel, "-m");
  if (model.empty()) return kExitFailure;
  LoadedTagger tagger;
  std::string error;
  if (!tagger.Open(transducer, model, &error)) {
    std::fprintf(stderr, "vtm chunk: %s\n", error.c_str());
    return kExitFailure;
  }
  LoadedGrouper grouper;
  if (!grouper.Open(args.grouper)) return kExitFailure;

  ChunkSetup setup;
  setup.tagger = tagger.tagger();
  setup.tag_flags = TagCaseFlags(args.case_mode) | (args.multiword ? VTM_TAG_MULTIWORD : 0);
  setup.grouper = grouper.grouper();
  setup.group.format = GroupFormatNamed(args.format);
  setup.group.subgroups = args.subgroups;
  setup.group.sort = args.sort;
  setup.threads = args.threads;
  ChunkPipeline pipeline(setup);

  TokenTask task;
  task.command = "chunk";
  task.tokenizer = tokenizer.tokenizer();
  task.flags =
      (args.html ? VTM_TOKENIZE_HTML : 0) | (args.line_paragraph ? VTM_TOKENIZE_LINE_PARAGRAPH : 0);
  task.format = TokenFormat::kSentences;
  task.max_sentence_tokens = kMaxSentenceTokens;
  task.max_sentence_bytes = kMaxSentenceBytes;
  const std::string* input = nullptr;
  task.sentence_sink = [&](std::string_view sentence) { return pipeline.Add(sentence, *input); };
  int status = ForEachInput("chunk", args.inputs, [&](int fd, const std::string& name) {
    input = &name;
    const int read = RunTokenStream(task, fd, name);
    return pipeline.EndInput() ? read : kExitFailure;
  });
  if (!pipeline.Finish()) status = kExitFailure;
  if (pipeline.failed() > 0) {
    std::fprintf(stderr, "vtm chunk: %zu of %zu sentences could not be tagged or grouped\n",
                 pipeline.failed(), pipeline.sentences());
    status = kExitFailure;
  }
  return status;
}

}  // namespace

void AddChunkCommand(CLI::App& app, int* status) {
  auto args = std::make_shared<ChunkArgs>();
  CLI::App* cmd = app.add_subcommand(
      "chunk",
      "Find phrases in running text or HTML: tokenizes it into sentences, tags them and "
      "groups them into noun, prepositional and verb groups, with the bundled English data "
      "(the output of `vtm tokenize --sentences | vtm tag | vtm group`).\nInput is UTF-8 "
      "(invalid UTF-8 and characters outside code page 1252 are read as spaces, reported, "
      "and make the exit status 1).");
  cmd->add_option("FILE", args->inputs, "Input files (default: standard input; - too)");
  cmd->add_flag("--html", args->html, "The input is HTML: tags break sentences, not words");
  cmd->add_flag("--line-paragraph", args->line_paragraph,
                "A single line break already ends a paragraph (and a sentence)");
  cmd->add_option("-f,--format", args->format,
                  "Output: text ([np the/at man/nn ]), tsv (sentence, first token, token "
                  "count, label, words) or json (one object per sentence)")
      ->check(CLI::IsMember({"text", "tsv", "json"}));
  cmd->add_flag("--subgroups", args->subgroups,
                "Also group inside every np group of more than one token");
  cmd->add_flag("--sort", args->sort,
                "With --subgroups: records by first token, longer groups first");
  cmd->add_option("-j,--threads", args->threads,
                  "Threads that tag and group (the output keeps the input order)")
      ->check(CLI::Range(1, 64));
  cmd->add_option("--tokenizer", args->tokenizer,
                  "Tokenizer transducer (default: the bundled en-brown)");
  cmd->add_option("--html-tags", args->html_tags,
                  "HTML tag dictionary entry file (default in --html mode: the bundled "
                  "html-tags.txt)");
  cmd->add_option("--tagger", args->tag_transducer,
                  "Tagger class transducer (default: the bundled English tagger's)");
  cmd->add_option("-m,--model", args->tag_model, "Tagger model (default: the bundled English one)");
  cmd->add_option("-g,--grouper", args->grouper,
                  "Grouping transducer (default: the bundled English grouper)");
  cmd->add_option("--case", args->case_mode, "Case handling of the tagger, as vtm tag --case")
      ->check(CLI::IsMember({"auto", "exact", "lower", "upper"}));
  cmd->add_flag("--multiword", args->multiword,
                "Recognise multi-word tokens (their words stay inside one group)");
  cmd->callback([args, status] { *status = RunChunk(*args); });
}

}  // namespace vtm::cli
