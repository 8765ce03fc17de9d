// Chunk grammars compiled to grouping transducers: the grammar notation and its
// refusals, and the chunking of hand-picked tag sequences where the rule semantics
// matter (rule order, stages, references to earlier labels, first match in backtracking
// priority rather than the longest, no match across or inside chunks).
#include "compiler/chunk_grammar.h"

#include <gtest/gtest.h>

#include "support/chunk_fixtures.h"

namespace vtm::test {
namespace {

const std::vector<std::string> kTags{"at", "jj", "nn", "nns", "vb", "in", "rb", "pp$", "cd"};

TEST(ChunkGrammar, EnglishStyleStagesAndReferences) {
  ChunkGrouper g = CompileChunks(
      "NP: {<at|pp\\$|cd>*<jj.*>*<nn.*>+}\n"
      "PP: {<in><NP>}\n"
      "VP: {<vb><rb>*}\n",
      kTags);
  ASSERT_EQ(g.error, "");
  EXPECT_EQ(Chunks(g, "at jj nn vb in pp$ nns rb"), "np 0 3; vp 3 1; pp 4 3; np 5 2");
  EXPECT_EQ(Chunks(g, "vb rb rb nn"), "vp 0 3; np 3 1");
  EXPECT_EQ(Chunks(g, ""), "");
  EXPECT_EQ(Chunks(g, "in in"), "");
}

TEST(ChunkGrammar, FirstMatchInPriorityOrderNotTheLongest) {
  // The left alternative matches first and wins although the right one is longer.
  ChunkGrouper alt = CompileChunks("X: {<at>|<at><nn>}", kTags);
  ASSERT_EQ(alt.error, "");
  EXPECT_EQ(Chunks(alt, "at nn"), "x 0 1");
  // A lazy repetition stops as early as it can.
  ChunkGrouper lazy = CompileChunks("X: {<jj>+?}", kTags);
  EXPECT_EQ(Chunks(lazy, "jj jj jj"), "x 0 1; x 1 1; x 2 1");
  // Greedy repetition gives back one token when the rest needs it.
  ChunkGrouper greedy = CompileChunks("X: {<jj|nn>*<nn><jj>?}", kTags);
  EXPECT_EQ(Chunks(greedy, "jj nn nn jj nn"), "x 0 5");
  EXPECT_EQ(Chunks(greedy, "jj nn nn jj vb"), "x 0 4");
}

TEST(ChunkGrammar, RulesOfAStageNeverMatchAcrossOrInsideEarlierChunks) {
  ChunkGrouper g = CompileChunks(
      "N: {<nn>}\n"
      "   {<jj><nn>}\n"
      "   {<jj><jj>}\n",
      kTags);
  ASSERT_EQ(g.error, "");
  // "jj nn" cannot take the nn chunked by the first rule.
  EXPECT_EQ(Chunks(g, "jj nn"), "n 1 1");
  EXPECT_EQ(Chunks(g, "jj jj jj nn"), "n 0 2; n 3 1");
}

TEST(ChunkGrammar, RefusalsNameLineAndColumn) {
  std::vector<compiler::ChunkStage> stages;
  std::string error;
  auto refuse = [&](const std::string& text) {
    error.clear();
    EXPECT_FALSE(compiler::ParseChunkGrammar(text, &stages, &error)) << text;
    return error;
  };
  EXPECT_EQ(refuse("{<nn>}"),
            "line 1, column 1: a rule before the first stage label (such as NP:)");
  EXPECT_EQ(refuse("NP: {<nn>*}"),
            "line 1, column 5: pattern {<nn>*} matches the empty tag sequence (it would make "
            "empty chunks)");
  EXPECT_EQ(refuse("NP: {<nn>}\n  {<jj><nn}"), "line 2, column 8: unclosed '<'");
  EXPECT_EQ(refuse("NP: {<nn>}\n  }<jj>{"),
            "line 2, column 3: only chunk rules {...} are supported (no chink, split or merge "
            "rules)");
  EXPECT_EQ(refuse("NP: {<[a>}"), "line 1, column 7: bad regular expression '[a'");
  EXPECT_EQ(refuse("NP: {<nn>**}"), "line 1, column 11: multiple repeat");
  EXPECT_EQ(refuse("NP: {(<nn>}"), "line 1, column 6: missing ')'");
  EXPECT_EQ(refuse("NP: {<nn>.}"),
            "line 1, column 10: unexpected '.': outside <...> only groups, '|' and repetitions "
            "are allowed");
  EXPECT_EQ(refuse("# nothing\n"), "line 1, column 1: the grammar has no chunk rule");
  // Comments and blank lines are fine; a stage without rules is skipped.
  EXPECT_TRUE(compiler::ParseChunkGrammar("# c\nA:\nNP: {<nn>}  # nouns\n\n", &stages, &error));
  ASSERT_EQ(stages.size(), 1u);
  EXPECT_EQ(stages[0].label, "NP");
}

}  // namespace
}  // namespace vtm::test

namespace vtm::test {
namespace {

// A sub-pass over a long np: its coded tags and its one result outgrow the starting
// work areas (512 coded bytes, 128 stack entries), which grow until every inner group
// is found; with too small a record array the sub-pass's result is left out.
TEST(ChunkGrammar, LongNounPhrasesGrowTheSubpassAreas) {
  ChunkGrouper g = CompileChunks("NP: {<jj|nn>+}", kTags, "A: {<jj><nn>}");
  ASSERT_EQ(g.error, "");
  for (int pairs : {2, 100, 300, 1000}) {
    std::vector<std::string> tags;
    std::string want = "np 0 " + std::to_string(2 * pairs);
    for (int k = 0; k < pairs; ++k) {
      tags.push_back("jj");
      tags.push_back("nn");
      want += "; a " + std::to_string(2 * k) + " 2";
    }
    EXPECT_EQ(Show(Group(g.grouper.get(), tags, VTM_GROUP_SUBGROUPS, 2048, 8192)), want);
    EXPECT_EQ(Show(Group(g.grouper.get(), tags, VTM_GROUP_SUBGROUPS, pairs, 8192)),
              "np 0 " + std::to_string(2 * pairs));
  }
}

}  // namespace
}  // namespace vtm::test
