// Tagger training (compiler/tagger_trainer.cpp), checked through the files it writes as
// the runtime loads them: the corpus reader's refusals and messages, and on random small
// corpora that every score is strictly negative and bounded so that a sentence of 1000
// tokens cannot wrap, that initial and transition scores equal a reference estimator
// written here from counts (deleted interpolation of bigram and unigram estimates), that
// each of those rows is a probability distribution, and that an unambiguous corpus's
// training sentences get their gold tags back, up to a sentence of 1000 tokens.
#include "compiler/tagger_trainer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>
#include <set>
#include <sstream>

#include "support/tagger_fixtures.h"
#include "tagger/tagger.h"

namespace vtm {
namespace {

using compiler::TaggedSentence;
using test::FsmPtr;
using test::TaggerPtr;

constexpr int kScale = 1000;
constexpr int32_t kLowestTrained = -1000000;

// ---- reading corpora ----

struct ReadResult {
  bool ok = false;
  std::vector<TaggedSentence> corpus;
  std::string error;
};

ReadResult Read(const std::string& text) {
  std::istringstream in(text);
  ReadResult r;
  r.ok = compiler::ReadTaggedCorpus(in, "c.tagged", &r.corpus, &r.error);
  return r;
}

TEST(TaggerTrainerRead, MalformedTokensAreRefusedWithTheirLineAndToken) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"a/at b/nn\ndog", "c.tagged:2: token \"dog\" has no \"/\" before its tag"},
      {"the/at dog/", "c.tagged:1: token \"dog/\" has an empty tag"},
      {"\n\n/nn", "c.tagged:3: token \"/nn\" has an empty word"},
      {"x/[nn]", "c.tagged:1: token \"x/[nn]\": a tag has at most 61 bytes"},
      {"x/#3", "c.tagged:1: token \"x/#3\": a tag has at most 61 bytes"},
      {"x/__mwt", "c.tagged:1: token \"x/__mwt\": a tag has at most 61 bytes"},
      {std::string("x/").append(62, 't'),
       std::string("c.tagged:1: token \"x/").append(62, 't').append("\": ")},
      {"x/n\x01", "c.tagged:1: token \"x/n\x01\": a tag has at most 61 bytes"},
      {"ok/nn\n\xC3(/nn", "c.tagged:2: not UTF-8, or a character outside Windows-1252"},
      {"\xE2\x82\xAC/nn \xE4\xB8\x80/nn", "c.tagged:1: not UTF-8, or a character outside"},
  };
  for (const auto& [text, message] : cases) {
    const ReadResult r = Read(text);
    EXPECT_FALSE(r.ok) << text;
    EXPECT_EQ(r.error.rfind(message, 0), 0u) << "input " << text << "\nmessage " << r.error;
  }
}

TEST(TaggerTrainerRead, TokensSplitAtTheLastSlashBlankLinesAndCarriageReturnsDropped) {
  std::string text = "1/2/cd and/cc\r\n\n  x/y/z\xC3\xA9/np$  ";
  text.append(61, 't').append("x/").append(61, 't');
  text.append("\n\xE2\x82\xAC/nns ppss+md/ppss+md");
  const ReadResult r = Read(text);
  ASSERT_TRUE(r.ok) << r.error;
  ASSERT_EQ(r.corpus.size(), 3u);
  ASSERT_EQ(r.corpus[0].size(), 2u);
  EXPECT_EQ(r.corpus[0][0].word, "1/2");
  EXPECT_EQ(r.corpus[0][0].tag, "cd");
  EXPECT_EQ(r.corpus[0][1].tag, "cc");
  ASSERT_EQ(r.corpus[1].size(), 2u);
  EXPECT_EQ(r.corpus[1][0].word, "x/y/z\xE9");  // UTF-8 read as Windows-1252 bytes
  EXPECT_EQ(r.corpus[1][0].tag, "np$");
  EXPECT_EQ(r.corpus[1][1].word, std::string(61, 't') + "x");
  EXPECT_EQ(r.corpus[1][1].tag, std::string(61, 't'));
  ASSERT_EQ(r.corpus[2].size(), 2u);
  EXPECT_EQ(r.corpus[2][0].word, "\x80");
  EXPECT_EQ(r.corpus[2][1].tag, "ppss+md");
}

TEST(TaggerTrainerRead, AnEmptyCorpusIsNotTrained) {
  compiler::TrainOptions o;
  compiler::TrainReport report;
  std::string error;
  EXPECT_FALSE(compiler::TrainTagger({}, o, test::TempPath("empty.vtm"),
                                     test::TempPath("empty.model"), &report, &error));
  EXPECT_EQ(error, "the corpus has no sentence");
}

// ---- training random corpora ----

struct Trained {
  FsmPtr fsm;
  TaggerPtr tagger;
};

Trained Train(const std::vector<TaggedSentence>& corpus) {
  compiler::TrainOptions o;
  o.language = 9;
  o.scale = kScale;
  o.work_path = test::TempPath("trainer.work.vtm");
  const std::string fsm_path = test::TempPath("trainer.vtm");
  const std::string model_path = test::TempPath("trainer.model");
  compiler::TrainReport report;
  std::string error;
  Trained t;
  if (!compiler::TrainTagger(corpus, o, fsm_path, model_path, &report, &error)) {
    ADD_FAILURE() << error;
    return t;
  }
  t.fsm = test::Open(fsm_path);
  t.tagger = test::LoadTagger(model_path, t.fsm.get());
  EXPECT_EQ(vtm_object_error_code(t.tagger.get()), 0);
  return t;
}

// Tags that the generator draws from: Brown-like names, with characters that a tag
// symbol must carry through the coder.
const std::vector<std::string> kTagPool = {"at",      "nn",    "vb",  "jj", "in",
                                           "ppss+md", "-lrb-", "np$", "rb", "cc"};

// A random corpus over `tags` tags; with `unambiguous` every word has one tag.
std::vector<TaggedSentence> RandomCorpus(std::mt19937& rng, bool unambiguous) {
  const int tags = std::uniform_int_distribution<int>(1, static_cast<int>(kTagPool.size()))(rng);
  const int words = std::uniform_int_distribution<int>(1, 30)(rng);
  std::vector<std::string> vocabulary;
  std::set<std::string> taken;
  while (static_cast<int>(vocabulary.size()) < words) {
    std::string w;
    const int length = std::uniform_int_distribution<int>(1, 4)(rng);
    for (int k = 0; k < length; ++k) w.push_back(static_cast<char>('a' + rng() % 5));
    if (taken.insert(w).second) vocabulary.push_back(w);
  }
  std::vector<int> own_tag(vocabulary.size());
  for (int& t : own_tag) t = static_cast<int>(rng() % static_cast<unsigned>(tags));
  std::vector<TaggedSentence> corpus(std::uniform_int_distribution<std::size_t>(1, 25)(rng));
  for (auto& s : corpus) {
    s.resize(std::uniform_int_distribution<std::size_t>(1, 12)(rng));
    for (auto& token : s) {
      const std::size_t w = rng() % vocabulary.size();
      const int t =
          unambiguous ? own_tag[w] : static_cast<int>(rng() % static_cast<unsigned>(tags));
      token = {vocabulary[w], kTagPool[static_cast<std::size_t>(t)]};
    }
  }
  return corpus;
}

// Scores of the reference estimator, by tag name: initial[t] and transition[{p, t}]
// (t after p).
struct Reference {
  std::map<std::string, int32_t> initial;
  std::map<std::pair<std::string, std::string>, int32_t> transition;
};

int32_t RefScore(double p) {
  const double s = std::round(kScale * std::log(p));
  return s >= -1 ? -1 : s <= kLowestTrained ? kLowestTrained : static_cast<int32_t>(s);
}

// Maximum-likelihood bigram and unigram estimates mixed by deleted interpolation: every
// observed bigram votes, with its count, for the estimate that predicts it better once
// that one occurrence is left out; the weights are the votes' shares (the unigram's at
// least 0.001). A tag never followed by another predicts by the unigram alone.
Reference Estimate(const std::vector<TaggedSentence>& corpus) {
  std::map<std::string, double> unigram, first;
  std::map<std::string, std::map<std::string, double>> bigram;
  double tokens = 0;
  for (const auto& s : corpus) {
    first[s[0].tag] += 1;
    for (std::size_t k = 0; k < s.size(); ++k) {
      unigram[s[k].tag] += 1;
      tokens += 1;
      if (k > 0) bigram[s[k - 1].tag][s[k].tag] += 1;
    }
  }
  double votes_bi = 0, votes_uni = 0;
  for (const auto& [p, row] : bigram) {
    double from_p = 0;
    for (const auto& [t, c] : row) from_p += c;
    for (const auto& [t, c] : row) {
      const double bi = from_p > 1 ? (c - 1) / (from_p - 1) : 0;
      const double uni = (unigram[t] - 1) / (tokens - 1);
      (bi > uni ? votes_bi : votes_uni) += c;
    }
  }
  double l1 = votes_bi + votes_uni > 0 ? votes_uni / (votes_bi + votes_uni) : 0;
  if (l1 < 1e-3) l1 = 1e-3;
  const double l2 = 1 - l1;
  Reference r;
  for (const auto& [t, n] : unigram) {
    r.initial[t] = RefScore(l2 * first[t] / static_cast<double>(corpus.size()) + l1 * n / tokens);
    for (const auto& [p, pn] : unigram) {
      double from_p = 0;
      for (const auto& [x, c] : bigram[p]) from_p += c;
      r.transition[{p, t}] = from_p == 0 ? RefScore(n / tokens)
                                         : RefScore(l2 * bigram[p][t] / from_p + l1 * n / tokens);
    }
  }
  return r;
}

// Counts of the model checks.
struct Checked {
  std::size_t scores = 0, estimates = 0, rows = 0;
};

// Every score strictly negative and not below the lowest trained score; the lowest
// possible path score over 1000 tokens stays above the 32-bit lowest score.
void CheckScoresBounded(const VtmTaggerRec& m, Checked* checked) {
  int32_t lowest_step = 0;  // lowest transition (or initial) score
  int32_t lowest_emission = 0;
  for (int t = 0; t < m.tag_count; ++t) {
    EXPECT_LT(m.initial_scores[t], 0);
    EXPECT_GE(m.initial_scores[t], kLowestTrained);
    lowest_step = std::min(lowest_step, m.initial_scores[t]);
    for (int p = 0; p < m.transition_lengths[t]; ++p) {
      EXPECT_LT(m.transition_rows[t][p], 0);
      EXPECT_GE(m.transition_rows[t][p], kLowestTrained);
      lowest_step = std::min(lowest_step, m.transition_rows[t][p]);
      ++checked->scores;
    }
  }
  for (int c = 0; c < m.class_count; ++c) {
    int32_t best = kLowestScore;
    for (uint32_t j = 0; j < m.class_sizes[c]; ++j) {
      EXPECT_LT(m.emission_rows[c][j], 0);
      EXPECT_GE(m.emission_rows[c][j], kLowestTrained);
      lowest_emission = std::min(lowest_emission, m.emission_rows[c][j]);
      best = std::max(best, m.emission_rows[c][j]);
      ++checked->scores;
    }
    EXPECT_EQ(best, -1) << "the best member of a class scores -1";
  }
  EXPECT_GT(1000 * (static_cast<int64_t>(lowest_step) + lowest_emission), int64_t{INT32_MIN});
}

void CheckAgainstReference(const VtmTaggerRec& m, const Reference& ref, Checked* checked) {
  ASSERT_EQ(static_cast<std::size_t>(m.tag_count), ref.initial.size());
  for (int t = 0; t < m.tag_count; ++t) {
    const std::string tag = m.tag_names[t];
    EXPECT_NEAR(m.initial_scores[t], ref.initial.at(tag), 1) << "initial " << tag;
    ++checked->estimates;
    ASSERT_EQ(m.transition_lengths[t], m.tag_count);
    for (int p = 0; p < m.tag_count; ++p) {
      EXPECT_NEAR(m.transition_rows[t][p], ref.transition.at({m.tag_names[p], tag}), 1)
          << tag << " after " << m.tag_names[p];
      ++checked->estimates;
    }
  }
  // Initial scores, and the scores of the tags following each tag, are distributions.
  double sum = 0;
  for (int t = 0; t < m.tag_count; ++t) sum += std::exp(m.initial_scores[t] / double{kScale});
  EXPECT_NEAR(sum, 1.0, 0.01) << "initial";
  ++checked->rows;
  for (int p = 0; p < m.tag_count; ++p) {
    sum = 0;
    for (int t = 0; t < m.tag_count; ++t) sum += std::exp(m.transition_rows[t][p] / double{kScale});
    EXPECT_NEAR(sum, 1.0, 0.01) << "after " << m.tag_names[p];
    ++checked->rows;
  }
}

TEST(TaggerTrainerEstimation, ScoresMatchTheReferenceEstimatorOnRandomCorpora) {
  std::mt19937 rng(1501);
  Checked checked;
  constexpr int kCorpora = 60;
  for (int n = 0; n < kCorpora; ++n) {
    const auto corpus = RandomCorpus(rng, n % 3 == 0);
    const Trained trained = Train(corpus);
    ASSERT_EQ(vtm_object_error_code(trained.tagger.get()), 0) << "corpus " << n;
    SCOPED_TRACE(testing::Message() << "corpus " << n);
    CheckScoresBounded(*trained.tagger, &checked);
    CheckAgainstReference(*trained.tagger, Estimate(corpus), &checked);
  }
  EXPECT_EQ(checked.scores, 4638u);
  EXPECT_EQ(checked.estimates, 2374u);
  EXPECT_EQ(checked.rows, 376u);
}

std::vector<std::string> TagTokens(const Trained& t, const TaggedSentence& s, int flags) {
  std::vector<std::string> words;
  for (const auto& token : s) words.push_back(token.word);
  test::BufferPtr buffer(
      vtmMakeTaggerBuffer(static_cast<int>(s.size()), 16 * 1024, t.tagger.get()));
  EXPECT_EQ(vtm_object_error_code(buffer.get()), 0);
  const test::TagRun run =
      test::Tag(t.tagger.get(), buffer.get(), words, flags, nullptr, 64 * 1024);
  EXPECT_EQ(run.rc, static_cast<int>(s.size()));
  return run.out;
}

std::vector<std::string> Gold(const TaggedSentence& s) {
  std::vector<std::string> tags;
  for (const auto& token : s) tags.push_back(token.tag);
  return tags;
}

TEST(TaggerTrainerEstimation, UnambiguousCorporaGetTheirGoldTagsBack) {
  std::mt19937 rng(77);
  std::size_t sentences = 0;
  constexpr int kCorpora = 40;
  for (int n = 0; n < kCorpora; ++n) {
    const auto corpus = RandomCorpus(rng, true);
    const Trained trained = Train(corpus);
    ASSERT_EQ(vtm_object_error_code(trained.tagger.get()), 0);
    for (const auto& s : corpus) {
      EXPECT_EQ(TagTokens(trained, s, VTM_TAG_CASE_EXACT), Gold(s)) << "corpus " << n;
      ++sentences;
    }
  }
  EXPECT_EQ(sentences, 502u);
}

// A sentence of 1000 tokens that ends with a word whose right tag is decided by the tag
// before it: a path score that wrapped or saturated would leave the first member of the
// last class ("nn" before "vb").
TEST(TaggerTrainerEstimation, ASentenceOf1000TokensKeepsItsBestPath) {
  std::vector<TaggedSentence> corpus;
  for (int k = 0; k < 200; ++k) {
    corpus.push_back({{"the", "at"}, {"dog", "nn"}, {"runs", "vbz"}, {"the", "at"}, {"run", "nn"}});
    corpus.push_back({{"dogs", "nns"}, {"to", "to"}, {"run", "vb"}});
  }
  TaggedSentence rare;
  for (int k = 0; k < 1000; ++k) rare.push_back({k % 2 ? "dogs" : "runs", k % 2 ? "nns" : "vbz"});
  corpus.push_back(rare);
  const Trained trained = Train(corpus);
  ASSERT_EQ(vtm_object_error_code(trained.tagger.get()), 0);
  for (const char* tag : {"nn", "vb"}) {
    TaggedSentence long_one(rare.begin(), rare.end() - 2);
    if (tag == std::string("nn")) {
      long_one.push_back({"the", "at"});
    } else {
      long_one.push_back({"to", "to"});
    }
    long_one.push_back({"run", tag});
    ASSERT_EQ(long_one.size(), 1000u);
    EXPECT_EQ(TagTokens(trained, long_one, VTM_TAG_CASE_EXACT), Gold(long_one)) << tag;
  }
}

}  // namespace
}  // namespace vtm
