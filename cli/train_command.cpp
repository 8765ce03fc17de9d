// `vtm train`: trains a part-of-speech tagger from tagged corpora (one sentence per line,
// "word/tag" tokens) and writes its class transducer and model file.
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>

#include "subcommands.h"
#include "tagger_trainer.h"

namespace vtm::cli {
namespace {

struct TrainArgs {
  std::vector<std::string> corpora;
  std::string model;
  std::string transducer;
  int language = 0;
  std::string version_text = "1.0";
  std::string copyright;
  std::string case_mode = "auto";
  int identity_symbols = 600;
  int max_suffix = 5;
  bool quiet = false;
};

int CaseFlags(const std::string& mode) {
  if (mode == "exact") return 1;
  if (mode == "lower") return 2;
  if (mode == "upper") return 4;
  return 7;
}

int RunTrain(const TrainArgs& args) {
  const auto started = std::chrono::steady_clock::now();
  std::vector<compiler::TaggedSentence> corpus;
  std::string error;
  for (const std::string& path : args.corpora) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "vtm train: cannot open %s\n", path.c_str());
      return kExitFailure;
    }
    if (!compiler::ReadTaggedCorpus(in, path, &corpus, &error)) {
      std::fprintf(stderr, "vtm train: %s\n", error.c_str());
      return kExitFailure;
    }
  }
  compiler::TrainOptions options;
  options.language = static_cast<uint8_t>(args.language);
  options.version = args.version_text;
  options.copyright = args.copyright;
  options.creation_date = 0;
  options.case_flags = CaseFlags(args.case_mode);
  options.identity_symbols = args.identity_symbols;
  options.max_suffix = args.max_suffix;
  if (!args.quiet) {
    options.progress = [started](const std::string& text) {
      const double s =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
      std::fprintf(stderr, "vtm train: %6.1f s  %s\n", s, text.c_str());
    };
  }
  compiler::TrainReport report;
  if (!compiler::TrainTagger(corpus, options, args.transducer, args.model, &report, &error)) {
    std::fprintf(stderr, "vtm train: %s\n", error.c_str());
    return kExitFailure;
  }
  if (!args.quiet) {
    const double s =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::fprintf(stderr,
                 "vtm train: %zu sentences, %zu tokens, %zu tags, %zu words, %zu suffix rules, "
                 "%zu classes; transducer %zu bytes, model %zu bytes; %.1f s\n",
                 report.sentences, report.tokens, report.tags, report.words, report.rules,
                 report.classes, report.transducer_bytes, report.model_bytes, s);
  }
  return kExitOk;
}

}  // namespace

void AddTrainCommand(CLI::App& app, int* status) {
  auto args = std::make_shared<TrainArgs>();
  CLI::App* cmd = app.add_subcommand(
      "train",
      "Train a part-of-speech tagger from tagged corpora (UTF-8, one sentence per line, "
      "tokens word/tag separated by spaces): writes a class transducer and a model file");
  cmd->add_option("corpus", args->corpora, "Tagged corpus files")->required();
  cmd->add_option("-m,--model", args->model, "Model file to write")->required();
  cmd->add_option("-t,--transducer", args->transducer, "Class transducer file to write")
      ->required();
  cmd->add_option("--language", args->language, "Language code of both files (0-255)")
      ->check(CLI::Range(0, 255));
  cmd->add_option("--version-text", args->version_text,
                  "Version text of the transducer, which the model repeats");
  cmd->add_option("--copyright", args->copyright, "Copyright text of the transducer");
  cmd->add_option("--case", args->case_mode,
                  "Case handling the classes are learnt for (as vtm tag --case)")
      ->check(CLI::IsMember({"auto", "exact", "lower", "upper"}));
  cmd->add_option("--identities", args->identity_symbols,
                  "Identity symbols that give frequent ambiguous words and suffix rules a "
                  "class of their own")
      ->check(CLI::Range(0, 700));
  cmd->add_option("--max-suffix", args->max_suffix, "Longest suffix rule of the guesser")
      ->check(CLI::Range(0, 10));
  cmd->add_flag("-q,--quiet", args->quiet, "No progress on standard error");
  cmd->callback([args, status] { *status = RunTrain(*args); });
}

}  // namespace vtm::cli
