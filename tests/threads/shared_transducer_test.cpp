// Eight threads share one loaded transducer: each runs analysis, generation and completion
// (its own lookup buffer) over the same words, again and again, and every answer must equal
// the one computed by a single thread beforehand. Built under ThreadSanitizer by the `tsan`
// preset (scripts/test.d/tsan.sh), where any data race fails the run; in the other builds it
// checks the answers alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "compiler/transducer_builder.h"
#include "vtmrt.h"

namespace vtm {
namespace {

// A small lexicon with ambiguity, non-identity pairs and tags: analysis (function 12),
// generation (23) and completion over its surface side (1) are compiled from it.
constexpr const char* kLexicon =
    "0\t1\th\th\n1\t2\to\to\n2\t3\tu\tu\n3\t4\ts\ts\n4\t5\te\te\n5\t6\t@0@\t<n>\n6\t99\t@0@\t<sg>\n"
    "4\t7\te\te\n7\t8\ts\t<n>\n8\t99\t@0@\t<pl>\n"
    "4\t9\te\te\n9\t10\ts\t<vblex>\n10\t11\t@0@\t<pri>\n11\t99\t@0@\t<p3>\n"
    "0\t20\tr\tr\n20\t21\ta\tu\n21\t22\tn\tn\n22\t23\t@0@\t<vblex>\n23\t99\t@0@\t<past>\n"
    "20\t28\tu\tu\n28\t29\tn\tn\n29\t99\t@0@\t<vblex>\n29\t40\tn\t@0@\n40\t41\ti\t@0@\n"
    "41\t42\tn\t@0@\n42\t43\tg\t<vblex>\n43\t99\t@0@\t<ger>\n"
    "0\t30\tc\tc\n30\t31\ta\ta\n31\t32\tt\tt\n32\t33\t@0@\t<n>\n33\t99\t@0@\t<sg>\n"
    "32\t34\ts\t<n>\n34\t99\t@0@\t<pl>\n"
    "99\n";

const std::vector<std::string> kWords = {"house", "houses", "ran", "running", "run",
                                         "cat",   "cats",   "dog", "hous",    ""};
const std::vector<std::string> kPrefixes = {"", "h", "ru", "ca", "x"};

constexpr int kThreads = 8;
constexpr int kRounds = 60;

std::vector<std::string> Split(const char* buffer, int count) {
  std::vector<std::string> out;
  for (int k = 0; k < count; ++k) {
    out.emplace_back(buffer);
    buffer += out.back().size() + 1;
  }
  return out;
}

struct Answers {
  std::vector<std::vector<std::string>> analyses;     // per word
  std::vector<std::vector<std::string>> generations;  // per word: of its analyses, in order
  std::vector<std::vector<std::string>> completions;  // per prefix
  bool operator==(const Answers&) const = default;
};

std::vector<std::string> Lookup(const std::string& text, int mode, VtmFsm fsm) {
  char out[4096];
  const int n = vtmLookupByteString(text.c_str(), out, sizeof out, mode, fsm);
  if (n < 0) return {"error " + std::to_string(n)};
  return Split(out, n);
}

// Pages through a small output so that the continuation kept in the buffer is used.
std::vector<std::string> Complete(const std::string& prefix, VtmLookupBuffer buffer, VtmFsm fsm) {
  std::vector<std::string> words;
  char page[24];
  bool more = false;
  for (;;) {
    const int r = vtmExpandByteStringPartialWord(more ? nullptr : prefix.c_str(), page, sizeof page,
                                                 buffer, 0, 0, 40, more ? 1 : 0, 0, fsm);
    if (r < 0 && r != VTM_ERR_MORE_RESULTS) {
      words.push_back("error " + std::to_string(r));
      return words;
    }
    for (const std::string& w : Split(page, vtmLookupBufferResultCount(buffer))) words.push_back(w);
    if (r != VTM_ERR_MORE_RESULTS) return words;
    more = true;
  }
}

Answers Compute(VtmFsm fsm, VtmLookupBuffer buffer) {
  Answers a;
  for (const std::string& w : kWords) {
    a.analyses.push_back(Lookup(w, VTM_MODE_ANALYZE, fsm));
    std::vector<std::string> generated;
    for (const std::string& analysis : a.analyses.back()) {
      for (const std::string& g : Lookup(analysis, VTM_MODE_GENERATE, fsm)) generated.push_back(g);
    }
    a.generations.push_back(generated);
  }
  for (const std::string& p : kPrefixes) a.completions.push_back(Complete(p, buffer, fsm));
  return a;
}

TEST(Threads, EightThreadsShareOneTransducer) {
  auto att = std::make_shared<compiler::AttTransducer>();
  std::string error;
  ASSERT_TRUE(compiler::ReadAtt(kLexicon, 0, att.get(), &error)) << error;
  compiler::BuildOptions options;
  for (int function : {12, 23, 1}) options.inputs.push_back({function, "lexicon", att});
  compiler::TransducerSpec spec;
  compiler::BuildReport report;
  ASSERT_TRUE(compiler::BuildTransducer(options, &spec, &report, &error)) << error;
  const std::string path = std::string(VTM_TEST_TMPDIR) + "/threads.vtm";
  ASSERT_TRUE(compiler::WriteTransducerFile(path, spec, &error)) << error;
  VtmFsm fsm = vtm_make_fsm(path.c_str());
  ASSERT_EQ(vtm_object_error_code(fsm), 0);

  VtmLookupBuffer own = vtmMakeLookupBuffer(64, 64, 64, 0, 0, 0);
  const Answers expected = Compute(fsm, own);
  vtmFreeLookupBuffer(own);
  // The reference itself is meaningful: the words are known, generated back, completed.
  ASSERT_EQ(expected.analyses[0], (std::vector<std::string>{"house[n][sg]"}));
  ASSERT_EQ(expected.analyses[3], (std::vector<std::string>{"run[vblex][ger]"}));
  ASSERT_EQ(expected.analyses[2], (std::vector<std::string>{"run[vblex][past]"}));
  ASSERT_EQ(expected.generations[2], (std::vector<std::string>{"ran"}));
  std::vector<std::string> ru = expected.completions[2];
  std::sort(ru.begin(), ru.end());
  ASSERT_EQ(ru, (std::vector<std::string>{"run", "running"}));

  std::vector<int> compared(kThreads, 0);
  std::vector<int> differing(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      VtmLookupBuffer buffer = vtmMakeLookupBuffer(64, 64, 64, 0, 0, 0);
      for (int round = 0; round < kRounds; ++round) {
        differing[t] += !(Compute(fsm, buffer) == expected);
        ++compared[t];
      }
      vtmFreeLookupBuffer(buffer);
    });
  }
  for (std::thread& t : threads) t.join();
  vtm_free_fsm(fsm);
  int total = 0;
  int wrong = 0;
  for (int t = 0; t < kThreads; ++t) {
    total += compared[t];
    wrong += differing[t];
  }
  EXPECT_EQ(total, kThreads * kRounds);
  EXPECT_EQ(wrong, 0);
}

}  // namespace
}  // namespace vtm
