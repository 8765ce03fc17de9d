// Supervised training of a tagger: from sentences of (word, tag) tokens, the class
// transducer (class lexicon and suffix guesser) and the first-order model file.
//
// Classes are what tagging meets: the trainer tags its own corpus with the runtime
// (words seen once left out of the lexicon, so that the guesser's classes are met as
// unknown words are) and counts, for every tag set that a position resolves from, how
// often each tag was the right one. Frequent ambiguous words and suffix rules carry an
// extra identity symbol ("#n") in their key, which gives them a class of their own.
// Tested by tests/cli/tag_test.sh (vtm train) and scripts/test.d/tag_english.sh (Brown).
#pragma once

#include <cstdint>
#include <functional>
#include <istream>
#include <string>
#include <vector>

namespace vtm::compiler {

struct TaggedToken {
  std::string word;  // cp1252 bytes
  std::string tag;
};
using TaggedSentence = std::vector<TaggedToken>;

// Reads one sentence per line, tokens "word/tag" separated by spaces (the tag is after
// the last "/"); empty lines are skipped. Fails with "name:line: ..." on a token without
// "/", with an empty word or tag, or with a tag that cannot be a tag symbol.
bool ReadTaggedCorpus(std::istream& in, const std::string& name, std::vector<TaggedSentence>* out,
                      std::string* error);

struct TrainOptions {
  uint8_t language = 0;
  std::string version = "1.0";
  std::string copyright;
  uint32_t creation_date = 0;
  int case_flags = 7;             // the tagging flags the classes are learnt for
  int rare_count = 3;             // words seen at most this often teach the guesser
  int max_suffix = 5;             // longest suffix rule
  int min_suffix_count = 4;       // tokens a suffix rule needs
  double min_guess_share = 0.02;  // a guessed tag's least share of its suffix's tokens
  int max_guess_tags = 8;
  int identity_symbols = 600;  // "#n" symbols for own classes
  int scale = 1000;            // score = scale * ln(probability)
  std::string work_path;       // temporary transducer file of the training pass
  std::function<void(const std::string&)> progress;
};

struct TrainReport {
  std::size_t sentences = 0, tokens = 0, tags = 0, words = 0, classes = 0, rules = 0;
  std::size_t transducer_bytes = 0, model_bytes = 0;
};

bool TrainTagger(const std::vector<TaggedSentence>& corpus, const TrainOptions& options,
                 const std::string& transducer_path, const std::string& model_path,
                 TrainReport* report, std::string* error);

}  // namespace vtm::compiler
