// Tagger training (see tagger_trainer.h).
#include "tagger_trainer.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <unordered_map>

#include "att_reader.h"
#include "class_transducer.h"
#include "cp1252.h"
#include "file_writer.h"
#include "lookup/coding.h"
#include "tagger/letters.h"
#include "tagger/tagger.h"
#include "tagger_model.h"
#include "transducer_builder.h"
#include "vtmrt.h"

namespace vtm::compiler {
namespace {

constexpr int32_t kLowestTrainedScore = -1000000;  // 1000 tokens stay above INT32_MIN
constexpr std::size_t kMaxClassString = 255;
constexpr std::size_t kMaxTagNameBytes = 61;

using Key = std::vector<std::string>;  // symbol names, sorted, distinct

std::string KeyText(const Key& key) {
  std::string text;
  for (const std::string& name : key) {
    text.push_back('[');
    text.append(name);
    text.push_back(']');
  }
  return text;
}

std::string Identity(int n) {
  std::string s(1, '#');
  s.append(std::to_string(n));
  return s;
}

bool ValidTagName(const std::string& tag) {
  if (tag.empty() || tag.size() > kMaxTagNameBytes || tag[0] == '#' || tag == "__mwt") return false;
  for (unsigned char c : tag) {
    if (c <= ' ' || c == '[' || c == ']' || c == 0xFF) return false;
  }
  return true;
}

int32_t Score(double log_p, int scale) {
  const double s = std::round(scale * log_p);
  if (s >= -1) return -1;
  if (s <= kLowestTrainedScore) return kLowestTrainedScore;
  return static_cast<int32_t>(s);
}

struct SuffixRuleStats {
  std::vector<std::pair<int, double>> tags;  // tag, share of the suffix's tokens
};

class Trainer {
 public:
  Trainer(const std::vector<TaggedSentence>& corpus, const TrainOptions& options)
      : corpus_(corpus), o_(options) {}

  bool Run(const std::string& transducer_path, const std::string& model_path, TrainReport* report,
           std::string* error) {
    Count();
    Progress("counted " + std::to_string(tokens_) + " tokens, " + std::to_string(tags_.size()) +
             " tags, " + std::to_string(word_tags_.size()) + " words");
    AssignIdentities();
    MakeRules();
    const std::string work = o_.work_path.empty() ? transducer_path + ".train" : o_.work_path;
    Progress("building the training-pass transducer");
    if (!BuildClassTransducer(false, work, error)) return false;
    Progress("tagging the corpus with it");
    if (!LearnClasses(work, error)) return false;
    std::error_code ignored;
    std::filesystem::remove(work, ignored);
    std::filesystem::remove(work + ".model", ignored);
    Progress("building the class transducer");
    if (!BuildClassTransducer(true, transducer_path, error)) return false;
    Progress("writing the model");
    TaggerModel model;
    if (!MakeModel(transducer_path, &model, error) ||
        !WriteTaggerModelFile(model_path, model, error))
      return false;
    report->sentences = corpus_.size();
    report->tokens = tokens_;
    report->tags = tags_.size();
    report->words = word_tags_.size();
    report->classes = model.emissions.size();
    report->rules = lower_rules_.size() + capital_rules_.size();
    report->transducer_bytes =
        static_cast<std::size_t>(std::filesystem::file_size(transducer_path));
    report->model_bytes = static_cast<std::size_t>(std::filesystem::file_size(model_path));
    return true;
  }

 private:
  void Progress(const std::string& text) {
    if (o_.progress) o_.progress(text);
  }

  int TagIndex(const std::string& tag) {
    auto it = tag_index_.find(tag);
    return it == tag_index_.end() ? -1 : it->second;
  }

  void Count() {
    std::set<std::string> names;
    for (const auto& s : corpus_) {
      for (const auto& t : s) names.insert(t.tag);
    }
    tags_.assign(names.begin(), names.end());
    for (std::size_t k = 0; k < tags_.size(); ++k) tag_index_[tags_[k]] = static_cast<int>(k);
    const std::size_t n = tags_.size();
    tag_count_.assign(n, 0);
    initial_.assign(n, 0);
    bigram_.assign(n, std::vector<int64_t>(n, 0));
    for (const auto& s : corpus_) {
      int prev = -1;
      for (const auto& t : s) {
        const int tag = tag_index_[t.tag];
        ++tag_count_[tag];
        ++word_tags_[t.word][tag];
        ++word_count_[t.word];
        if (prev < 0) {
          ++initial_[tag];
        } else {
          ++bigram_[prev][tag];
        }
        prev = tag;
        ++tokens_;
      }
    }
  }

  // Frequent ambiguous words get an identity symbol of their own, counted per tag set,
  // so that (tag set, identity) keys stay distinct with few symbols.
  void AssignIdentities() {
    std::map<std::vector<int>, std::vector<std::pair<int, std::string>>> by_set;
    for (const auto& [word, tags] : word_tags_) {
      if (tags.size() < 2 || word_count_[word] < 2) continue;
      std::vector<int> set;
      for (const auto& [t, c] : tags) set.push_back(t);
      by_set[set].push_back({-word_count_[word], word});
    }
    for (auto& [set, words] : by_set) {
      std::sort(words.begin(), words.end());
      int& next = next_identity_[set];
      for (const auto& [minus_count, word] : words) {
        if (next >= o_.identity_symbols) break;
        word_identity_[word] = next++;
      }
    }
  }

  void MakeRules() {
    std::map<std::string, std::map<int, int64_t>> lower, capital;
    for (const auto& s : corpus_) {
      for (const auto& t : s) {
        if (word_count_[t.word] > o_.rare_count) continue;
        auto& table = IsCapital(static_cast<uint8_t>(t.word[0])) ? capital : lower;
        const int tag = tag_index_[t.tag];
        const std::size_t longest = std::min<std::size_t>(o_.max_suffix, t.word.size());
        for (std::size_t len = 0; len <= longest; ++len) {
          ++table[t.word.substr(t.word.size() - len)][tag];
        }
      }
    }
    MakeRuleList(lower, &lower_rules_);
    MakeRuleList(capital, &capital_rules_);
  }

  void MakeRuleList(const std::map<std::string, std::map<int, int64_t>>& table,
                    std::vector<std::pair<std::string, SuffixRuleStats>>* rules) {
    for (const auto& [suffix, tags] : table) {
      int64_t total = 0;
      for (const auto& [t, c] : tags) total += c;
      if (!suffix.empty() && total < o_.min_suffix_count) continue;
      std::vector<std::pair<int64_t, int>> order;
      for (const auto& [t, c] : tags) order.push_back({-c, t});
      std::sort(order.begin(), order.end());
      SuffixRuleStats stats;
      for (const auto& [minus_c, t] : order) {
        const double share = static_cast<double>(-minus_c) / static_cast<double>(total);
        if (!stats.tags.empty() && (share < o_.min_guess_share ||
                                    static_cast<int>(stats.tags.size()) >= o_.max_guess_tags)) {
          break;
        }
        stats.tags.push_back({t, share});
      }
      std::sort(stats.tags.begin(), stats.tags.end());
      rules->push_back({suffix, stats});
    }
    // Rules with a tag set of several tags get an identity symbol when one is left.
    for (auto& [suffix, stats] : *rules) {
      std::vector<int> set;
      for (const auto& [t, share] : stats.tags) set.push_back(t);
      Key key;
      for (int t : set) key.push_back(tags_[t]);
      if (set.size() >= 2) {
        int& next = next_identity_[set];
        if (next < o_.identity_symbols) key.push_back(Identity(next++));
      }
      std::sort(key.begin(), key.end());
      rule_keys_[KeyText(key)] = &stats;
      rule_key_list_.push_back(key);
    }
  }

  Key WordKey(const std::string& word) {
    Key key;
    for (const auto& [t, c] : word_tags_[word]) key.push_back(tags_[t]);
    auto it = word_identity_.find(word);
    if (it != word_identity_.end()) key.push_back(Identity(it->second));
    std::sort(key.begin(), key.end());
    return key;
  }

  // The class transducer: every word (with `all_words`) or every word seen more than
  // once, and the suffix guesser.
  bool BuildClassTransducer(bool all_words, const std::string& path, std::string* error) {
    ClassEntries lexicon;
    for (const auto& [word, tags] : word_tags_) {
      if (!all_words && word_count_[word] < 2) continue;
      lexicon[word] = WordKey(word);
    }
    GuesserRules rules;
    std::set<unsigned char> bytes;
    for (const auto& [word, tags] : word_tags_) bytes.insert(word.begin(), word.end());
    for (unsigned char c = 0x21; c < 0x7F; ++c) bytes.insert(c);
    rules.alphabet.assign(bytes.begin(), bytes.end());
    std::size_t index = 0;  // rule_key_list_ holds the lower rules' keys, then the capital
    for (const auto& [suffix, stats] : lower_rules_)
      rules.lower.push_back({suffix, rule_key_list_[index++]});
    for (const auto& [suffix, stats] : capital_rules_) {
      rules.capital.push_back({suffix, rule_key_list_[index++]});
    }
    auto lexicon_att = std::make_shared<AttTransducer>();
    auto guesser_att = std::make_shared<AttTransducer>();
    if (!ReadAtt(ClassLexiconAtt(lexicon), 0, lexicon_att.get(), error) ||
        !ReadAtt(SuffixGuesserAtt(rules), 0, guesser_att.get(), error)) {
      return false;
    }
    BuildOptions b;
    b.inputs = {{kFunctionClassLexicon, "class lexicon", lexicon_att},
                {kFunctionClassGuesser, "class guesser", guesser_att}};
    b.language = o_.language;
    b.version = o_.version;
    b.copyright = o_.copyright;
    b.creation_date = o_.creation_date;
    TransducerSpec spec;
    BuildReport build_report;
    return BuildTransducer(b, &spec, &build_report, error) &&
           WriteTransducerFile(path, spec, error);
  }

  // Member tags of a key, ascending; empty when it names none.
  std::vector<int> Members(const Key& key) {
    std::vector<int> members;
    for (const std::string& name : key) {
      const int t = TagIndex(name);
      if (t >= 0) members.push_back(t);
    }
    std::sort(members.begin(), members.end());
    return members;
  }

  class Observer : public PositionObserver {
   public:
    void StartPass() override { positions.clear(); }
    void Position(int, int first, int, const uint16_t* symbols, uint32_t n, bool) override {
      positions.push_back({first, std::vector<uint16_t>(symbols, symbols + n)});
    }
    std::vector<std::pair<int, std::vector<uint16_t>>> positions;
  };

  // Tags the corpus with the training-pass transducer and a model whose classes are the
  // keys of single lookups, and counts the gold tags of every tag set met.
  bool LearnClasses(const std::string& fsm_path, std::string* error) {
    VtmFsm fsm = vtm_make_fsm(fsm_path.c_str());
    if (vtm_object_error_code(fsm) != 0) {
      *error = "cannot load the training-pass transducer " + fsm_path;
      return false;
    }
    std::unique_ptr<VtmFsmRec, void (*)(VtmFsm)> fsm_owner(fsm, vtm_free_fsm);
    // Names of the symbols of this transducer.
    std::map<uint16_t, std::string> names;
    std::vector<std::string> all = tags_;
    for (int k = 0; k < o_.identity_symbols; ++k) all.push_back(Identity(k));
    for (const std::string& name : all) {
      uint8_t coded[96];
      CoderOptions co;
      co.tags = true;
      const std::string text = KeyText({name});
      if (EncodeText(text.c_str(), kNulTerminated, coded, sizeof coded, co, fsm) < 2) continue;
      uint16_t s[4];
      if (CodesToSymbols(coded + 1, fsm->header.esc_label, s, 4) == 1) names[s[0]] = name;
    }
    TaggerModel provisional = FlatModel(fsm);
    for (const auto& [word, tags] : word_tags_) {
      if (word_count_[word] >= 2) AddClass(&provisional, WordKey(word));
    }
    for (const Key& key : rule_key_list_) AddClass(&provisional, key);
    const std::string model_path = fsm_path + ".model";
    if (!WriteTaggerModelFile(model_path, provisional, error)) return false;
    VtmTagger tagger = vtm_make_tagger(model_path.c_str(), fsm);
    if (vtm_object_error_code(tagger) != 0) {
      *error = "cannot load the training-pass model (code " +
               std::to_string(vtm_object_error_code(tagger)) + ")";
      return false;
    }
    std::unique_ptr<VtmTaggerRec, void (*)(VtmTagger)> tagger_owner(tagger, vtm_free_tagger);
    std::size_t longest = 1, chars = 1;
    for (const auto& s : corpus_) {
      longest = std::max(longest, s.size());
      std::size_t bytes = 0;
      for (const auto& t : s) bytes += t.word.size() + 1;
      chars = std::max(chars, bytes);
    }
    VtmTaggerBuffer buffer =
        vtmMakeTaggerBuffer(static_cast<int>(longest), static_cast<int>(chars), tagger);
    if (vtm_object_error_code(buffer) != 0) {
      *error =
          "cannot make a tagger buffer for sentences of " + std::to_string(longest) + " tokens";
      return false;
    }
    std::unique_ptr<VtmTaggerBufferRec, void (*)(VtmTaggerBuffer)> buffer_owner(
        buffer, vtmFreeTaggerBuffer);
    std::string text;
    std::vector<char> out(chars * 8 + 64);
    Observer observer;
    std::size_t done = 0;
    for (const auto& s : corpus_) {
      text.clear();
      for (const auto& t : s) {
        text.append(t.word);
        text.push_back('\0');
      }
      const int rc = TagSentenceObserved(text.data(), static_cast<int>(s.size()), out.data(),
                                         static_cast<int>(out.size()), o_.case_flags, tagger,
                                         buffer, buffer->title_dict, &observer);
      if (rc < 0) {
        *error = "tagging a training sentence failed with code " + std::to_string(rc);
        return false;
      }
      for (const auto& [first, symbols] : observer.positions) {
        Key key;
        for (uint16_t sym : symbols) {
          auto it = names.find(sym);
          if (it != names.end()) key.push_back(it->second);
        }
        std::sort(key.begin(), key.end());
        key.erase(std::unique(key.begin(), key.end()), key.end());
        ++seen_[KeyText(key)][tag_index_[s[static_cast<std::size_t>(first)].tag]];
        if (!seen_keys_.count(KeyText(key))) seen_keys_[KeyText(key)] = key;
      }
      if (++done % 10000 == 0) Progress("tagged " + std::to_string(done) + " sentences");
    }
    return true;
  }

  TaggerModel FlatModel(VtmFsm fsm) {
    TaggerModel m;
    char version[32] = {0};
    vtm_fsm_version(version, sizeof version, fsm);
    m.version = version;
    m.language = static_cast<uint8_t>(vtm_fsm_language(fsm));
    m.comment = "trained by vtm train";
    m.tag_names = tags_;
    m.initial.assign(tags_.size(), -1);
    m.transitions.assign(tags_.size(), std::vector<int32_t>(tags_.size(), -1));
    m.emissions.clear();
    m.max_class_size = static_cast<uint32_t>(std::min<std::size_t>(
        255, std::max<std::size_t>(tags_.size(), 3 * (o_.max_guess_tags + 1))));
    return m;
  }

  bool AddClass(TaggerModel* m, const Key& key) {
    const std::string text = KeyText(key);
    if (text.size() > kMaxClassString || class_index_.count(text)) return false;
    const std::vector<int> members = Members(key);
    if (members.empty() || members.size() > m->max_class_size) return false;
    class_index_[text] = m->class_strings.size();
    m->class_strings.push_back(text);
    m->emissions.emplace_back();
    for (int t : members) m->emissions.back().push_back({static_cast<uint32_t>(t), -1});
    return true;
  }

  bool MakeModel(const std::string& fsm_path, TaggerModel* m, std::string* error) {
    VtmFsm fsm = vtm_make_fsm(fsm_path.c_str());
    if (vtm_object_error_code(fsm) != 0) {
      *error = "cannot load the class transducer " + fsm_path;
      return false;
    }
    *m = FlatModel(fsm);
    vtm_free_fsm(fsm);
    class_index_.clear();
    // Class 0 answers words that nothing is known about: the guesser's rule for all
    // lower-case words.
    bool zero = false;
    for (std::size_t k = 0; k < lower_rules_.size() && !zero; ++k) {
      if (lower_rules_[k].first.empty()) zero = AddClass(m, rule_key_list_[k]);
    }
    if (!zero) {
      const int top = static_cast<int>(std::max_element(tag_count_.begin(), tag_count_.end()) -
                                       tag_count_.begin());
      AddClass(m, {tags_[static_cast<std::size_t>(top)]});
    }
    std::vector<std::pair<int64_t, std::string>> by_count;
    for (const auto& [text, counts] : seen_) {
      int64_t n = 0;
      for (const auto& [t, c] : counts) n += c;
      by_count.push_back({-n, text});
    }
    std::sort(by_count.begin(), by_count.end());
    for (const auto& [minus_n, text] : by_count) AddClass(m, seen_keys_[text]);
    for (const auto& [word, tags] : word_tags_) AddClass(m, WordKey(word));
    for (const Key& key : rule_key_list_) AddClass(m, key);
    if (m->emissions.size() > 65535) {
      *error = "more than 65535 classes";
      return false;
    }
    Emissions(m);
    Transitions(m);
    return true;
  }

  void Emissions(TaggerModel* m) {
    const double total = static_cast<double>(tokens_);
    for (std::size_t c = 0; c < m->emissions.size(); ++c) {
      auto& row = m->emissions[c];
      const std::string& text = m->class_strings[c];
      std::vector<double> logs;
      auto seen = seen_.find(text);
      auto rule = rule_keys_.find(text);
      for (const auto& [t, score] : row) {
        const double tag_n = static_cast<double>(tag_count_[t]);
        double p;
        if (seen != seen_.end()) {
          auto it = seen->second.find(static_cast<int>(t));
          const double n = it == seen->second.end() ? 0.0 : static_cast<double>(it->second);
          p = (n + 0.1) / (tag_n + 1.0);
        } else if (rule != rule_keys_.end()) {
          double share = 1e-3;
          for (const auto& [rt, s] : rule->second->tags) {
            if (rt == static_cast<int>(t)) share = s;
          }
          p = share / (tag_n / total);
        } else {
          p = 1.0;
        }
        logs.push_back(std::log(p));
      }
      // Only the differences within a class matter: the best member scores -1.
      const double top = *std::max_element(logs.begin(), logs.end());
      for (std::size_t j = 0; j < row.size(); ++j) {
        row[j].second = Score(logs[j] - top - 1.0 / o_.scale, o_.scale);
      }
    }
  }

  // Bigram and unigram estimates mixed by deleted interpolation.
  void Transitions(TaggerModel* m) {
    const std::size_t n = tags_.size();
    const double total = static_cast<double>(tokens_);
    double l1 = 0, l2 = 0;
    std::vector<int64_t> prev_total(n, 0);
    for (std::size_t p = 0; p < n; ++p) {
      for (std::size_t t = 0; t < n; ++t) prev_total[p] += bigram_[p][t];
    }
    for (std::size_t p = 0; p < n; ++p) {
      for (std::size_t t = 0; t < n; ++t) {
        const int64_t c = bigram_[p][t];
        if (c == 0) continue;
        const double bi = prev_total[p] > 1 ? (c - 1.0) / (prev_total[p] - 1.0) : 0.0;
        const double uni = (tag_count_[t] - 1.0) / (total - 1.0);
        (bi > uni ? l2 : l1) += static_cast<double>(c);
      }
    }
    const double sum = l1 + l2 > 0 ? l1 + l2 : 1.0;
    l1 /= sum;
    l2 /= sum;
    if (l1 < 1e-3) l1 = 1e-3, l2 = 1 - l1;
    int64_t starts = 0;
    for (int64_t c : initial_) starts += c;
    m->initial.resize(n);
    m->transitions.assign(n, std::vector<int32_t>(n, -1));
    for (std::size_t t = 0; t < n; ++t) {
      const double uni = static_cast<double>(tag_count_[t]) / total;
      m->initial[t] =
          Score(std::log(l2 * initial_[t] / std::max<double>(1, starts) + l1 * uni), o_.scale);
      for (std::size_t p = 0; p < n; ++p) {
        // A tag never followed by another (only ever last) predicts by the unigram alone,
        // so that the scores after every tag form a distribution.
        if (prev_total[p] == 0) {
          m->transitions[t][p] = Score(std::log(uni), o_.scale);
          continue;
        }
        const double bi = static_cast<double>(bigram_[p][t]) / prev_total[p];
        m->transitions[t][p] = Score(std::log(l2 * bi + l1 * uni), o_.scale);
      }
    }
  }

  const std::vector<TaggedSentence>& corpus_;
  const TrainOptions& o_;
  std::vector<std::string> tags_;
  std::map<std::string, int> tag_index_;
  std::vector<int64_t> tag_count_, initial_;
  std::vector<std::vector<int64_t>> bigram_;
  std::size_t tokens_ = 0;
  std::unordered_map<std::string, std::map<int, int64_t>> word_tags_;
  std::unordered_map<std::string, int64_t> word_count_;
  std::map<std::vector<int>, int> next_identity_;
  std::unordered_map<std::string, int> word_identity_;
  std::vector<std::pair<std::string, SuffixRuleStats>> lower_rules_, capital_rules_;
  std::vector<Key> rule_key_list_;  // lower rules, then capital rules
  std::map<std::string, const SuffixRuleStats*> rule_keys_;
  std::map<std::string, std::map<int, int64_t>> seen_;
  std::map<std::string, Key> seen_keys_;
  std::map<std::string, std::size_t> class_index_;
};

}  // namespace

bool ReadTaggedCorpus(std::istream& in, const std::string& name, std::vector<TaggedSentence>* out,
                      std::string* error) {
  std::string line;
  for (std::size_t number = 1; std::getline(in, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    auto converted = Utf8ToCp1252(line);
    if (!converted) {
      *error =
          name + ":" + std::to_string(number) + ": not UTF-8, or a character outside Windows-1252";
      return false;
    }
    line = std::move(*converted);
    TaggedSentence sentence;
    std::size_t pos = 0;
    while (pos < line.size()) {
      const std::size_t end = std::min(line.find(' ', pos), line.size());
      const std::string token = line.substr(pos, end - pos);
      pos = end + 1;
      if (token.empty()) continue;
      const std::size_t slash = token.rfind('/');
      const std::string where = name + ":" + std::to_string(number) + ": token \"" + token + "\"";
      if (slash == std::string::npos) {
        *error = where + " has no \"/\" before its tag";
        return false;
      }
      TaggedToken t{token.substr(0, slash), token.substr(slash + 1)};
      if (t.word.empty() || t.tag.empty()) {
        *error = where + (t.word.empty() ? " has an empty word" : " has an empty tag");
        return false;
      }
      if (!ValidTagName(t.tag)) {
        *error = where +
                 ": a tag has at most 61 bytes, no brackets, spaces or control "
                 "characters, and is not \"__mwt\" or one beginning with \"#\"";
        return false;
      }
      sentence.push_back(std::move(t));
    }
    if (!sentence.empty()) out->push_back(std::move(sentence));
  }
  return true;
}

bool TrainTagger(const std::vector<TaggedSentence>& corpus, const TrainOptions& options,
                 const std::string& transducer_path, const std::string& model_path,
                 TrainReport* report, std::string* error) {
  *report = TrainReport();
  if (corpus.empty()) {
    *error = "the corpus has no sentence";
    return false;
  }
  Trainer trainer(corpus, options);
  return trainer.Run(transducer_path, model_path, report, error);
}

}  // namespace vtm::compiler
