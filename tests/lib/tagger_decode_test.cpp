// Viterbi decoding against a deliberately simple reference: 64-bit scores with the same
// saturation, every previous member tried (a missing transition is skipped rather than
// ending the loop), first member kept on ties. Random models with extreme scores (to
// reach the saturation and the wrap), random transition row lengths, and random
// sentences of words whose lexicon classes are the model's classes.
#include <gtest/gtest.h>

#include <climits>
#include <random>

#include "support/tagger_fixtures.h"

namespace vtm {
namespace {

constexpr int kTags = 12;
constexpr int kWords = 24;

int64_t RefAdd(int64_t a, int64_t b) {
  int64_t s = a + b;
  if (s > INT32_MAX) s -= int64_t{1} << 32;  // the 32-bit sum of two positive scores
  if (s >= 0 || s < INT32_MIN) return INT32_MIN;
  return s;
}

// Tags (numbers) of the best path through the given classes.
std::vector<uint32_t> ReferenceViterbi(const compiler::TaggerModel& m,
                                       const std::vector<int>& classes) {
  const std::size_t n = classes.size();
  std::vector<std::vector<int64_t>> score(n);
  std::vector<std::vector<std::size_t>> back(n);
  for (std::size_t t = 0; t < n; ++t) {
    const auto& members = m.emissions[classes[t]];
    for (std::size_t j = 0; j < members.size(); ++j) {
      const uint32_t u = members[j].first;
      if (t == 0) {
        score[0].push_back(RefAdd(m.initial[u], members[j].second));
        back[0].push_back(0);
        continue;
      }
      int64_t best = INT32_MIN;
      std::size_t from = 0;
      const auto& prev = m.emissions[classes[t - 1]];
      for (std::size_t i = 0; i < prev.size(); ++i) {
        const uint32_t p = prev[i].first;
        if (p >= m.transitions[u].size()) continue;
        const int64_t s = RefAdd(score[t - 1][i], m.transitions[u][p]);
        if (s > best) {
          best = s;
          from = i;
        }
      }
      score[t].push_back(RefAdd(best, members[j].second));
      back[t].push_back(from);
    }
  }
  std::vector<uint32_t> tags(n);
  std::size_t j = 0;
  int64_t best = INT32_MIN;
  for (std::size_t k = 0; k < score[n - 1].size(); ++k) {
    if (score[n - 1][k] > best) best = score[n - 1][k], j = k;
  }
  for (std::size_t t = n; t-- > 0;) {
    tags[t] = m.emissions[classes[t]][j].first;
    j = back[t][j];
  }
  return tags;
}

int32_t RandomScore(std::mt19937& rng) {
  switch (rng() % 8) {
    case 0:
      return INT32_MIN + static_cast<int32_t>(rng() % 1000);
    case 1:
      return -static_cast<int32_t>(rng() % 0x40000000) - 0x30000000;
    case 2:
      return static_cast<int32_t>(rng() % 3) - 1;  // -1, 0, 1
    case 3:
      return -static_cast<int32_t>(rng() % 4);  // many ties
    default:
      return -1 - static_cast<int32_t>(rng() % 20000);
  }
}

TEST(TaggerDecode, LibraryAgainstReferenceViterbi) {
  std::mt19937 rng(2024);
  // Word k's tags: a random non-empty subset of the tags (word 0: the tag t0 alone).
  std::vector<std::vector<uint32_t>> sets(kWords);
  compiler::ClassEntries lexicon;
  std::vector<std::string> names;
  for (int t = 0; t < kTags; ++t) names.push_back(std::string(1, static_cast<char>('A' + t)));
  std::vector<std::string> class_strings;
  for (int k = 0; k < kWords; ++k) {
    std::set<uint32_t> s;
    if (k == 0) s.insert(0);
    const int size = k == 0 ? 0 : 1 + static_cast<int>(rng() % 6);
    while (static_cast<int>(s.size()) < size) s.insert(rng() % kTags);
    sets[k].assign(s.begin(), s.end());
    std::string word = "w" + std::to_string(k);
    std::string key;
    for (uint32_t t : sets[k]) {
      lexicon[word].push_back(names[t]);
      key += "[" + names[t] + "]";
    }
    // Equal sets are one class; later words with a set seen before are not added again.
    if (std::find(class_strings.begin(), class_strings.end(), key) == class_strings.end()) {
      class_strings.push_back(key);
    }
  }
  test::ClassFsmOptions o;
  o.lexicon = lexicon;
  test::FsmPtr fsm = test::ClassFsm(o, "decode");
  ASSERT_EQ(vtm_object_error_code(fsm.get()), 0);
  std::vector<std::vector<uint32_t>> members;
  std::vector<int> class_of_word(kWords);
  for (int k = 0; k < kWords; ++k) {
    std::string key;
    for (uint32_t t : sets[k]) key += "[" + names[t] + "]";
    class_of_word[k] = static_cast<int>(std::find(class_strings.begin(), class_strings.end(), key) -
                                        class_strings.begin());
  }
  for (const std::string& key : class_strings) {
    for (int k = 0; k < kWords; ++k) {
      if (class_of_word[k] == static_cast<int>(members.size())) {
        members.push_back(sets[k]);
        break;
      }
    }
    (void)key;
  }
  int sentences = 0;
  int tokens = 0;
  for (int round = 0; round < 150; ++round) {
    compiler::TaggerModel m = test::FlatModel(fsm.get(), names, class_strings, members);
    for (auto& s : m.initial) s = RandomScore(rng);
    for (auto& row : m.transitions) {
      row.resize(rng() % 4 == 0 ? rng() % (kTags + 1) : kTags);
      for (auto& s : row) s = RandomScore(rng);
    }
    for (auto& e : m.emissions) {
      for (auto& [t, s] : e) s = RandomScore(rng);
    }
    test::TaggerPtr tagger = test::LoadTagger(test::WriteModel("decode", m), fsm.get());
    ASSERT_EQ(vtm_object_error_code(tagger.get()), 0);
    test::BufferPtr buffer(vtm_make_tagger_buffer(40, 400, tagger.get()));
    for (int k = 0; k < 20; ++k) {
      const int length = 1 + static_cast<int>(rng() % 30);
      std::vector<std::string> words;
      std::vector<int> classes;
      for (int x = 0; x < length; ++x) {
        const int w = static_cast<int>(rng() % kWords);
        words.push_back("w" + std::to_string(w));
        classes.push_back(class_of_word[w]);
      }
      test::TagRun run = test::Tag(tagger.get(), buffer.get(), words, VTM_TAG_CASE_EXACT);
      ASSERT_EQ(run.rc, length);
      const std::vector<uint32_t> expected = ReferenceViterbi(m, classes);
      for (int x = 0; x < length; ++x) {
        ASSERT_EQ(run.out[x], names[expected[x]])
            << "round " << round << " sentence " << k << " position " << x;
      }
      ++sentences;
      tokens += length;
    }
  }
  EXPECT_EQ(sentences, 150 * 20);
  std::printf("decoding vs reference: %d sentences, %d tokens compared\n", sentences, tokens);
}

// Class numbers run up to 65535: a model with more than 32768 classes decodes the
// classes above 32767 as it does the others. Sixteen tags give a class for every
// non-empty tag set (class k is the set of the bits of k + 1), whose only member is
// tag (k + 1) % 16; each word's tag set is the class it must decode as, and each
// sentence repeats its word so that the token cache answers the second one.
TEST(TaggerDecode, ClassNumbersAbove32767) {
  const std::vector<std::string> names = {"T0", "T1", "T2",  "T3",  "T4",  "T5",  "T6",  "T7",
                                          "T8", "T9", "T10", "T11", "T12", "T13", "T14", "T15"};
  const std::vector<int> masks = {1, 0x7FFF, 0x8000, 0x8001, 0xBEEF, 0xFFFF};
  auto tags_of = [&](int mask) {
    std::vector<std::string> tags;
    for (int t = 0; t < 16; ++t) {
      if (mask & (1 << t)) tags.push_back(names[t]);
    }
    return tags;
  };
  test::ClassFsmOptions o;
  o.lexicon["all"] = names;
  for (std::size_t w = 0; w < masks.size(); ++w) {
    o.lexicon[std::string(1, static_cast<char>('b' + w))] = tags_of(masks[w]);
  }
  test::FsmPtr fsm = test::ClassFsm(o, "manyclasses");
  ASSERT_EQ(vtm_object_error_code(fsm.get()), 0);
  std::vector<std::string> classes;
  std::vector<std::vector<uint32_t>> members;
  for (int mask = 1; mask <= 0xFFFF; ++mask) {
    std::string key;
    for (const std::string& tag : tags_of(mask)) key.append(1, '[').append(tag).append(1, ']');
    classes.push_back(key);
    members.push_back({static_cast<uint32_t>(mask % 16)});
  }
  const compiler::TaggerModel m = test::FlatModel(fsm.get(), names, classes, members);
  test::TaggerPtr tagger = test::LoadTagger(test::WriteModel("manyclasses", m), fsm.get());
  ASSERT_EQ(vtm_object_error_code(tagger.get()), 0);
  ASSERT_EQ(tagger->class_count, 0xFFFF);
  test::BufferPtr buffer(vtm_make_tagger_buffer(4, 16, tagger.get()));
  ASSERT_EQ(vtm_object_error_code(buffer.get()), 0);
  for (std::size_t w = 0; w < masks.size(); ++w) {
    const std::string word(1, static_cast<char>('b' + w));
    const std::string tag = names[masks[w] % 16];
    test::TagRun run = test::Tag(tagger.get(), buffer.get(), {word, word}, VTM_TAG_CASE_EXACT);
    ASSERT_EQ(run.rc, 2) << word;
    EXPECT_EQ(run.out, (std::vector<std::string>{tag, tag})) << "class " << masks[w] - 1;
  }
}

}  // namespace
}  // namespace vtm
