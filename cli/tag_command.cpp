// `vtm tag`: part-of-speech tagging of tokenized sentences with a class transducer and a
// tagger model (by default the bundled English tagger).
//
// Input (UTF-8): one sentence per line with tokens separated by single spaces, as
// `vtm tokenize --sentences` writes them, or --format conll: a token per line (its first
// TAB-separated column) and a blank line after each sentence. Output: word/tag tokens
// (Brown style), TSV (word, TAB, tag; a blank line after each sentence) or JSON lines.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "default_transducer.h"
#include "sentence_tagger.h"
#include "subcommands.h"
#include "vtmrt.h"

namespace vtm::cli {
namespace {

struct TagArgs {
  std::vector<std::string> files;
  std::string model;
  std::string transducer;
  std::string format = "sentences";
  std::string output = "slash";
  std::string case_mode = "auto";
  bool multiword = false;
  bool list_tags = false;
};

void JsonString(const std::string& text, std::string* out) {
  out->push_back('"');
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out->push_back('\\');
      out->push_back(static_cast<char>(c));
    } else if (c < 0x20) {
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\u%04x", c);
      out->append(esc);
    } else {
      out->push_back(static_cast<char>(c));
    }
  }
  out->push_back('"');
}

class Runner {
 public:
  Runner(const TagArgs& args, TaggingSession* tagger) : args_(args), tagger_(tagger) {
    flags_ = TagCaseFlags(args.case_mode) | (args.multiword ? VTM_TAG_MULTIWORD : 0);
  }

  // Tags one sentence given as UTF-8 tokens; writes its output.
  void Sentence(const std::vector<std::string>& words, std::size_t line) {
    std::string error;
    const int r = tagger_->TagWords(words, flags_, &error);
    if (r < 0) {
      std::fprintf(stderr, "vtm tag: line %zu: %s\n", line, error.c_str());
      failed_ = true;
      return;
    }
    Write(words);
  }

  void Finish() {
    std::fwrite(pending_.data(), 1, pending_.size(), stdout);
    pending_.clear();
  }
  bool failed() const { return failed_; }

 private:
  void Write(const std::vector<std::string>& words) {
    const char* tag = tagger_->tags();
    std::string& out = pending_;
    if (args_.output == "json") {
      std::string tokens_json = "{\"tokens\":[", tags_json = "],\"tags\":[";
      for (std::size_t k = 0; k < words.size(); ++k, tag += std::strlen(tag) + 1) {
        if (k > 0) tokens_json.push_back(','), tags_json.push_back(',');
        JsonString(words[k], &tokens_json);
        JsonString(tag, &tags_json);
      }
      out.append(tokens_json).append(tags_json).append("]}\n");
    } else if (args_.output == "tsv") {
      for (std::size_t k = 0; k < words.size(); ++k, tag += std::strlen(tag) + 1) {
        if (words[k].empty()) continue;
        out.append(words[k]).push_back('\t');
        out.append(tag).push_back('\n');
      }
      out.push_back('\n');
    } else {
      bool first = true;
      for (std::size_t k = 0; k < words.size(); ++k, tag += std::strlen(tag) + 1) {
        if (words[k].empty()) continue;
        if (!first) out.push_back(' ');
        first = false;
        out.append(words[k]).push_back('/');
        out.append(tag);
      }
      out.push_back('\n');
    }
    if (out.size() >= (1u << 16)) Finish();
  }

  const TagArgs& args_;
  TaggingSession* tagger_;
  int flags_ = 0;
  bool failed_ = false;
  std::string pending_;
};

bool ReadInput(std::FILE* in, const TagArgs& args, Runner* runner) {
  char* line = nullptr;
  std::size_t capacity = 0;
  std::vector<std::string> words;
  std::size_t number = 0;
  std::size_t sentence_line = 1;
  ssize_t n;
  const bool conll = args.format == "conll";
  while ((n = getline(&line, &capacity, in)) >= 0) {
    ++number;
    std::size_t len = static_cast<std::size_t>(n);
    while (len > 0 && (line[len - 1] == '\n' || line[len - 1] == '\r')) --len;
    if (conll) {
      if (len == 0) {
        if (!words.empty()) runner->Sentence(words, sentence_line);
        words.clear();
        sentence_line = number + 1;
        continue;
      }
      const char* tab = static_cast<const char*>(std::memchr(line, '\t', len));
      words.emplace_back(line, tab ? static_cast<std::size_t>(tab - line) : len);
      continue;
    }
    words.clear();
    if (len > 0) {
      std::size_t start = 0;
      for (std::size_t k = 0; k <= len; ++k) {
        if (k == len || line[k] == ' ') {
          words.emplace_back(line + start, k - start);
          start = k + 1;
        }
      }
    }
    runner->Sentence(words, number);
  }
  if (conll && !words.empty()) runner->Sentence(words, sentence_line);
  std::free(line);
  return true;
}

int RunTag(const TagArgs& args) {
  std::string transducer = args.transducer;
  std::string model = args.model;
  if (transducer.empty()) transducer = FindDefaultData(kDefaultTagTransducer);
  if (model.empty()) model = FindDefaultData(kDefaultTagModel);
  if (transducer.empty() || model.empty()) {
    std::fprintf(stderr,
                 "vtm tag: no bundled English tagger found (%s, %s); give -t TRANSDUCER and "
                 "-m MODEL\n",
                 kDefaultTagTransducer, kDefaultTagModel);
    return kExitUsage;
  }
  LoadedTagger loaded;
  std::string error;
  if (!loaded.Open(transducer, model, &error)) {
    std::fprintf(stderr, "vtm tag: %s\n", error.c_str());
    return kExitFailure;
  }
  if (args.list_tags) {
    for (const std::string& name : loaded.TagNames()) std::printf("%s\n", name.c_str());
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? kExitOk : kExitFailure;
  }
  TaggingSession session(loaded.tagger());
  Runner runner(args, &session);
  std::vector<std::string> files = args.files;
  if (files.empty()) files.push_back("-");
  for (const std::string& path : files) {
    std::FILE* in = path == "-" ? stdin : std::fopen(path.c_str(), "rb");
    if (in == nullptr) {
      std::fprintf(stderr, "vtm tag: cannot open %s\n", path.c_str());
      runner.Finish();
      return kExitFailure;
    }
    ReadInput(in, args, &runner);
    if (in != stdin) std::fclose(in);
  }
  runner.Finish();
  return runner.failed() ? kExitFailure : kExitOk;
}

}  // namespace

void AddTagCommand(CLI::App& app, int* status) {
  auto args = std::make_shared<TagArgs>();
  CLI::App* cmd = app.add_subcommand(
      "tag",
      "Tag tokenized sentences with parts of speech (UTF-8; one sentence per line, tokens "
      "separated by single spaces, or --format conll)");
  cmd->add_option("files", args->files, "Input files (default: standard input)");
  cmd->add_option("-t,--transducer", args->transducer,
                  "Class transducer (default: the bundled English tagger's)");
  cmd->add_option("-m,--model", args->model, "Tagger model (default: the bundled English one)");
  cmd->add_option("--format", args->format,
                  "sentences: a sentence per line; conll: a token per line, blank lines "
                  "between sentences")
      ->check(CLI::IsMember({"sentences", "conll"}));
  cmd->add_option("--output", args->output,
                  "slash: word/tag tokens; tsv: word TAB tag per line; json: one object per "
                  "sentence with \"tokens\" and \"tags\"")
      ->check(CLI::IsMember({"slash", "tsv", "json"}));
  cmd->add_option("--case", args->case_mode,
                  "auto: try other capitalisations at sentence starts and in titles; exact; "
                  "lower: also try a small first letter; upper: also a capital one")
      ->check(CLI::IsMember({"auto", "exact", "lower", "upper"}));
  cmd->add_flag("--multiword", args->multiword,
                "Recognise multi-word tokens; their non-final words get \"__mwt\"");
  cmd->add_flag("--list-tags", args->list_tags,
                "Print the model's tags, one per line (the tag list of a chunk grammar for "
                "`vtm build --tags`), and read no input");
  cmd->callback([args, status] { *status = RunTag(*args); });
}

}  // namespace vtm::cli
