// `vtm build`: compiles AT&T transducers (one per function number) into a transducer
// file.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "chunk_build.h"
#include "cp1252.h"
#include "subcommands.h"
#include "transducer_builder.h"

namespace vtm::cli {
namespace {

struct BuildArgs {
  std::string output;
  std::map<int, std::string> files;  // function -> path
  std::vector<std::string> function_specs;
  int section = 0;
  int language = 0;
  int encoding = 0;
  std::string date;
  std::string copyright;
  std::string version_text = "1.0";
  bool drop_unmappable = false;
  bool quiet = false;
  bool verbose = false;
  int label_base = 0;
  int table_arcs = 12;
  bool read_ahead = false;
  bool sample_fit = false;
  std::vector<std::string> code_samples;        // texts whose character frequencies order the codes
  std::string chunk_grammar, chunk_subgrammar;  // functions 62, 63 from grammars
  std::vector<std::string> tag_files;           // their tag alphabet: the union of these lists
};

bool ReadText(const std::string& path, std::string* text, std::string* error) {
  if (path == "-") {
    std::ostringstream s;
    s << std::cin.rdbuf();
    *text = s.str();
    return true;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot open " + path;
    return false;
  }
  std::ostringstream s;
  s << in.rdbuf();
  *text = s.str();
  return true;
}

// Appends the cp1252 bytes of a UTF-8 sample text; characters that cp1252 lacks are
// left out (a sample only ranks characters). False for text that is not UTF-8.
bool AppendSample(const std::string& utf8, std::string* sample) {
  for (std::size_t pos = 0; pos < utf8.size();) {
    const std::optional<char32_t> cp = compiler::DecodeUtf8(utf8, &pos);
    if (!cp) return false;
    if (const std::optional<unsigned char> b = compiler::ToCp1252(*cp)) sample->push_back(char(*b));
  }
  return true;
}

// Seconds since 1970 from "now", a number, or YYYY-MM-DD (midnight UTC).
bool ParseDate(const std::string& text, uint32_t* out, std::string* error) {
  if (text.empty()) {
    const char* epoch = std::getenv("SOURCE_DATE_EPOCH");
    if (epoch && *epoch) return ParseDate(epoch, out, error);
    *out = static_cast<uint32_t>(std::time(nullptr));
    return true;
  }
  char* end = nullptr;
  unsigned long long n = std::strtoull(text.c_str(), &end, 10);
  if (*end == 0 && n <= 0xFFFFFFFFull && text.find('-') == std::string::npos) {
    *out = static_cast<uint32_t>(n);
    return true;
  }
  int y, m, d;
  char extra;
  if (std::sscanf(text.c_str(), "%4d-%2d-%2d%c", &y, &m, &d, &extra) == 3 && m >= 1 && m <= 12 &&
      d >= 1 && d <= 31 && y >= 1970 && y <= 2105) {
    // Days from civil (proleptic Gregorian), for UTC midnight.
    y -= m <= 2;
    long era = y / 400, yoe = y - era * 400;
    long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    long days = era * 146097 + doe - 719468;
    *out = static_cast<uint32_t>(days * 86400);
    return true;
  }
  *error = "--date: '" + text + "' is neither seconds since 1970 nor YYYY-MM-DD";
  return false;
}

bool ValidVersion(const std::string& v) {
  if (v.empty() || v.size() > 64 || v.find('.') == std::string::npos) return false;
  for (char c : v)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_' && c != '/' &&
        c != '.')
      return false;
  return true;
}

int RunBuild(const BuildArgs& args) {
  using Clock = std::chrono::steady_clock;
  const auto started = Clock::now();
  auto elapsed = [&] { return std::chrono::duration<double>(Clock::now() - started).count(); };
  auto fail = [](const std::string& message) {
    std::fprintf(stderr, "vtm build: %s\n", message.c_str());
    return kExitFailure;
  };
  auto usage = [](const std::string& message) {
    std::fprintf(stderr, "vtm build: %s\n", message.c_str());
    return kExitUsage;
  };

  std::map<int, std::string> files = args.files;
  for (const std::string& spec : args.function_specs) {
    auto eq = spec.find('=');
    const std::string number = spec.substr(0, eq);
    char* end = nullptr;
    long f = std::strtol(number.c_str(), &end, 10);
    if (eq == std::string::npos || eq == 0 || *end != 0 || f < 1 || f > kMaxFunction ||
        eq + 1 == spec.size())
      return usage("--function expects NUMBER=FILE with a number from 1 to " +
                   std::to_string(kMaxFunction) + ", got '" + spec + "'");
    if (!files.emplace(static_cast<int>(f), spec.substr(eq + 1)).second)
      return usage("function " + std::to_string(f) + " is given twice");
  }
  const bool chunks = !args.chunk_grammar.empty() || !args.chunk_subgrammar.empty();
  if (files.empty() && !chunks) return usage("no input: give at least one function's AT&T file");
  if ((!args.chunk_grammar.empty() && files.count(kFunctionGrouper)) ||
      (!args.chunk_subgrammar.empty() && files.count(kFunctionGrouper2)))
    return usage("a chunk grammar and an AT&T file are given for the same function");
  if (chunks && args.tag_files.empty())
    return usage("chunk grammars need the tag list (--tags FILE)");

  compiler::BuildOptions options;
  options.language = static_cast<uint8_t>(args.language);
  options.char_encoding = static_cast<uint8_t>(args.encoding);
  options.drop_unmappable = args.drop_unmappable;
  options.label_base = args.label_base;
  options.encoder.table_min_symbols = args.table_arcs;
  options.read_ahead_insertions = args.read_ahead;
  options.code_sample_fit = args.sample_fit;
  if (args.sample_fit && args.code_samples.empty())
    return usage("--code-sample-fit needs a --code-sample");
  std::string error;
  if (!ParseDate(args.date, &options.creation_date, &error)) return usage(error);
  if (!ValidVersion(args.version_text))
    return usage(
        "--version-text must be 1 to 64 letters, digits, '-', '_', '/' or '.', "
        "with at least one '.'");
  auto copyright = compiler::Utf8ToCp1252(args.copyright);
  if (!copyright) return usage("--copyright holds characters outside Windows-1252");
  for (char c : *copyright) {
    if (c == '\n')
      options.copyright += "\r\n";
    else if (c != '\r')
      options.copyright += c;
  }
  if (options.copyright.size() > 255)
    return usage("--copyright is longer than 255 bytes (line breaks count two)");
  options.version = args.version_text;
  for (const std::string& path : args.code_samples) {
    std::string text;
    if (!ReadText(path, &text, &error)) return fail(error);
    if (!AppendSample(text, &options.code_sample))
      return fail(path + ": the code sample is not UTF-8 text");
  }
  if (!args.quiet) {
    options.progress = [&](const std::string& step) {
      if (elapsed() >= 1.0)
        std::fprintf(stderr, "vtm build: [%.1f s] %s\n", elapsed(), step.c_str());
    };
  }

  // Read each distinct file once; functions naming the same file share its transducer.
  std::map<std::string, std::shared_ptr<const compiler::AttTransducer>> loaded;
  for (auto& [f, path] : files) {
    auto it = loaded.find(path);
    if (it == loaded.end()) {
      std::string text;
      if (!ReadText(path, &text, &error)) return fail(error);
      auto att = std::make_shared<compiler::AttTransducer>();
      if (!compiler::ReadAtt(text, args.section, att.get(), &error))
        return fail((path == "-" ? std::string("stdin") : path) + ": " + error);
      it = loaded.emplace(path, att).first;
    }
    options.inputs.push_back({f, path == "-" ? "stdin" : path, it->second});
  }

  if (chunks) {
    std::vector<std::string> tags;
    std::string text;
    for (const std::string& list : args.tag_files) {
      if (!ReadText(list, &text, &error) || !ReadTagList(list, text, &tags, &error))
        return fail(error);
    }
    for (const auto& [f, path] : {std::pair{kFunctionGrouper, args.chunk_grammar},
                                  std::pair{kFunctionGrouper2, args.chunk_subgrammar}}) {
      if (path.empty()) continue;
      std::shared_ptr<compiler::AttTransducer> att;
      if (!ReadText(path, &text, &error) || !CompileChunkGrammar(path, text, tags, &att, &error))
        return fail(error);
      options.inputs.push_back({f, path, att});
    }
  }

  compiler::TransducerSpec spec;
  compiler::BuildReport report;
  if (!compiler::BuildTransducer(options, &spec, &report, &error)) return fail(error);
  compiler::Layout layout;
  if (!compiler::WriteTransducerFile(args.output, spec, &error, &layout)) return fail(error);
  if (report.dropped_arcs)
    std::fprintf(stderr, "vtm build: dropped %zu arcs with characters outside Windows-1252\n",
                 report.dropped_arcs);
  std::size_t file_size = layout.network + spec.network.size();
  if (args.verbose) {
    std::fprintf(stderr,
                 "vtm build: %s: %zu bytes (network %zu), label base %d, %zu code states, "
                 "%zu code arcs, %zu tables, %zu near and %zu far states, %zu characters, "
                 "%zu tags, %zu escaped symbols\n",
                 args.output.c_str(), file_size, report.network_bytes, report.label_base,
                 report.code_states, report.code_arcs, report.tables, report.near_states,
                 report.far_states, report.chars, report.tags, report.escaped_symbols);
    if (args.read_ahead)
      std::fprintf(stderr, "vtm build:   %zu insertions read ahead\n", report.insertions_moved);
    if (args.sample_fit)
      std::fprintf(stderr, "vtm build:   %zu sample characters without escapes: %s\n",
                   report.sample_characters_kept.size(), report.sample_characters_kept.c_str());
    for (const auto& fr : report.functions)
      std::fprintf(stderr, "vtm build:   function %d: subnet %d, %zu states, %zu arcs\n",
                   fr.function, fr.subnet, fr.states, fr.arcs);
  }
  if (!args.quiet && elapsed() >= 1.0)
    std::fprintf(stderr, "vtm build: wrote %s (%zu bytes) in %.1f s\n", args.output.c_str(),
                 file_size, elapsed());
  return kExitOk;
}

}  // namespace

void AddBuildCommand(CLI::App& app, int* status) {
  auto args = std::make_shared<BuildArgs>();
  CLI::App* cmd = app.add_subcommand(
      "build",
      "Compile AT&T transducers (as written by foma, HFST, lttoolbox) into a transducer "
      "file.\nEach input serves one function number. Input files are UTF-8; characters are "
      "stored in Windows-1252. Multi-character symbols are tags (<n> and [n] give the tag n). "
      "Weights are ignored. The analysis, generation and stemming transducers all take the "
      "surface form on their input side (generation runs them inversely). The expansion "
      "transducer is projected on its input side. FILE may be - for standard input.");
  cmd->add_option("-o,--output", args->output, "Transducer file to write")->required();
  cmd->add_option("--expansion", args->files[kFunctionExpansion],
                  "AT&T file for function 1 (partial-word expansion)");
  cmd->add_option("--analysis", args->files[kFunctionAnalysis],
                  "AT&T file for function 12 (analysis)");
  cmd->add_option("--generation", args->files[kFunctionGeneration],
                  "AT&T file for function 23 (generation)");
  cmd->add_option("--stemming", args->files[kFunctionStemming],
                  "AT&T file for function 27 (stemming)");
  cmd->add_option("--tokenizing", args->files[kFunctionTokenizing],
                  "AT&T file for function 28 (tokenizing)");
  cmd->add_option("--class-lexicon", args->files[kFunctionClassLexicon],
                  "AT&T file for function 60 (tagger class lexicon)");
  cmd->add_option("--class-guesser", args->files[kFunctionClassGuesser],
                  "AT&T file for function 61 (tagger class guesser)");
  cmd->add_option("--grouper", args->files[kFunctionGrouper],
                  "AT&T file for function 62 (grouper)");
  cmd->add_option("--grouper-second", args->files[kFunctionGrouper2],
                  "AT&T file for function 63 (second grouper)");
  cmd->add_option("--chunk-grammar", args->chunk_grammar,
                  "Chunk grammar (NLTK RegexpParser chunk rules) for function 62 (grouper)");
  cmd->add_option("--chunk-subgrammar", args->chunk_subgrammar,
                  "Chunk grammar for function 63 (groups inside np groups)");
  cmd->add_option("--tags", args->tag_files,
                  "Tag list of the chunk grammars (one tag per line; given more than once, "
                  "the union of the lists), e.g. as `vtm tag --list-tags` writes it");
  cmd->add_option("-f,--function", args->function_specs,
                  "NUMBER=FILE: AT&T file for any function number (repeatable)");
  cmd->add_option("--section", args->section,
                  "Take the Nth transducer of inputs that hold several ('--' lines)")
      ->check(CLI::Range(1, 1000000));
  cmd->add_option("--language", args->language, "Language code stored in the file (0-255)")
      ->check(CLI::Range(0, 255));
  cmd->add_option("--encoding", args->encoding,
                  "Character encoding code stored in the file (0-255)")
      ->check(CLI::Range(0, 255));
  cmd->add_option("--date", args->date,
                  "Creation date: seconds since 1970 or YYYY-MM-DD (default: "
                  "$SOURCE_DATE_EPOCH, else now)");
  cmd->add_option("--copyright", args->copyright, "Copyright text (at most 255 bytes)");
  cmd->add_option("--version-text", args->version_text,
                  "Version text of the transducer (default 1.0)");
  cmd->add_flag("--drop-unmappable", args->drop_unmappable,
                "Drop arcs whose characters have no Windows-1252 code (and report how many) "
                "instead of failing");
  cmd->add_option("--label-base", args->label_base,
                  "Lowest label byte, a multiple of 4 (default: the one giving the smallest "
                  "file)")
      ->check(CLI::Range(16, 240));
  cmd->add_option("--table-arcs", args->table_arcs,
                  "States with at least this many symbol arcs get a direct-index table")
      ->check(CLI::Range(2, 1000));
  cmd->add_option("--code-sample", args->code_samples,
                  "Text (UTF-8) whose character frequencies order the label codes, so that "
                  "its frequent characters need no escape codes (default: their frequency "
                  "on the arcs); may be repeated");
  cmd->add_flag("--code-sample-fit", args->sample_fit,
                "With --code-sample: give the sample's characters codes without escapes one "
                "at a time, most frequent first, keeping each only while the file stays no "
                "larger than without the sample (the symbols that fill the arcs keep their "
                "cheap codes)");
  cmd->add_flag("--read-ahead-insertions", args->read_ahead,
                "Move arcs that write without reading input onto the input symbols after "
                "them, so that lookup meets an insertion (a tokenizer's space) when it reads "
                "the next symbol instead of trying it first before every symbol; for "
                "transducers read by lookup alone (such as tokenizers), where the first "
                "result then stays the same if each input has one output");
  cmd->add_flag("-q,--quiet", args->quiet, "No progress messages");
  cmd->add_flag("-v,--verbose", args->verbose, "Print statistics of the built file");
  cmd->callback([args, status] {
    // Options left empty were not given.
    for (auto it = args->files.begin(); it != args->files.end();)
      it = it->second.empty() ? args->files.erase(it) : std::next(it);
    *status = RunBuild(*args);
  });
}

}  // namespace vtm::cli
