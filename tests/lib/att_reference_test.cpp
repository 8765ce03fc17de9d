// The reference interpreter used by the differential tests: its own results on
// transducers whose languages are known.
#include "support/att_reference.h"

#include <gtest/gtest.h>

#include <random>

#include "compiler/att_reader.h"

namespace vtm::test {
namespace {

using Set = std::set<std::string>;

AttReference Ref(const std::string& att) {
  AttReference r;
  std::string error;
  EXPECT_TRUE(r.Parse(att, 0, &error)) << error;
  return r;
}

TEST(AttReference, LooksUpBothWaysWithTagsAndEpsilons) {
  AttReference r =
      Ref("0\t1\tc\tc\n1\t2\ta\ta\n2\t3\tt\tt\n3\t4\t@0@\t<n>\n4\t5\t@0@\t<sg>\n5\n"
          "3\t6\ts\t<n>\n6\t5\t@0@\t<pl>\n2\t7\tt\td\n7\n");
  EXPECT_EQ(r.Lookup("cat"), (Set{"cat[n][sg]", "cad"}));
  EXPECT_EQ(r.Lookup("cats"), (Set{"cat[n][pl]"}));
  EXPECT_EQ(r.Lookup("ca"), Set{});
  EXPECT_EQ(r.Lookup("cax"), Set{});  // x is not in the alphabet
  EXPECT_EQ(r.Inverse("cat[n][pl]"), (Set{"cats"}));
  EXPECT_EQ(r.Inverse("cad"), (Set{"cat"}));
  EXPECT_FALSE(r.last_incomplete());
}

TEST(AttReference, FlagsUnifyAndClear) {
  // a sets F=1 or F=2; b requires F=1; c clears F and then requires F=2.
  AttReference r =
      Ref("0\t1\t@U.F.one@\t@U.F.one@\n0\t1\t@U.F.two@\t@U.F.two@\n1\t2\ta\tA\n"
          "2\t3\tb\tB\n3\t4\t@U.F.one@\t@U.F.one@\n4\n"
          "2\t5\tc\tC\n5\t6\t@C.F@\t@C.F@\n6\t7\t@U.F.two@\t@U.F.two@\n7\n"
          "2\t8\td\tD\n8\t9\t@U.F.two@\t@U.F.two@\n9\n");
  EXPECT_EQ(r.Lookup("ab"), (Set{"AB"}));
  EXPECT_EQ(r.Lookup("ac"), (Set{"AC"}));
  EXPECT_EQ(r.Lookup("ad"), (Set{"AD"}));  // only through F=two
  EXPECT_EQ(r.Inverse("AB"), (Set{"ab"}));
}

TEST(AttReference, EndsOnLoopsThatWriteWithoutReading) {
  AttReference r = Ref("0\t0\t@0@\tx\n0\t1\ta\ta\n1\n");
  r.limits.max_output_symbols = 5;
  Set results = r.Lookup("a");
  EXPECT_TRUE(r.last_incomplete());
  EXPECT_TRUE(results.count("a") && results.count("xxxxa")) << results.size();
  EXPECT_EQ(r.Inverse("xxa"), (Set{"a"}));
}

TEST(RandomAtt, MakesParsableTransducersWithoutSilentCycles) {
  std::mt19937 rng(7);
  for (int i = 0; i < 50; ++i) {
    RandomAttOptions o;
    o.cyclic = true;
    o.flag = 0.2;
    o.input_epsilon = o.output_epsilon = 0.3;
    o.states = 1 + i % 6;
    std::string att = RandomAtt(o, rng);
    compiler::AttTransducer t;
    std::string error;
    ASSERT_TRUE(compiler::ReadAtt(att, 0, &t, &error)) << error << "\n" << att;
    EXPECT_EQ(t.state_numbers[t.start], 0u);
    for (const auto& arc : t.arcs) {
      if (t.state_numbers[arc.dst] > t.state_numbers[arc.src]) continue;
      EXPECT_NE(t.symbols[arc.in], "@0@") << att;
      EXPECT_NE(t.symbols[arc.out], "@0@") << att;
    }
  }
}

}  // namespace
}  // namespace vtm::test
