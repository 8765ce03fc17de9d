// Transducer building: the file's tables and network as the loader sees them, shared
// and projected subnets, and refusals with line-numbered messages.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "compiler/att_reader.h"
#include "compiler/file_writer.h"
#include "compiler/network_stats.h"
#include "compiler/transducer_builder.h"
#include "fst/fsm.h"
#include "vtmrt.h"

namespace vtm::compiler {
namespace {

std::shared_ptr<AttTransducer> Att(const std::string& text) {
  auto t = std::make_shared<AttTransducer>();
  std::string error;
  EXPECT_TRUE(ReadAtt(text, 0, t.get(), &error)) << error;
  return t;
}

std::string BuildError(const std::string& text, int function = kFunctionAnalysis,
                       bool drop = false) {
  BuildOptions o;
  o.inputs.push_back({function, "in.att", Att(text)});
  o.drop_unmappable = drop;
  TransducerSpec spec;
  BuildReport report;
  std::string error;
  EXPECT_FALSE(BuildTransducer(o, &spec, &report, &error)) << text;
  return error;
}

struct Built {
  VtmFsmRec* fsm = nullptr;
  BuildReport report;
  ~Built() { vtm_free_fsm(fsm); }
};

void BuildAndLoad(BuildOptions o, const std::string& name, Built* out) {
  TransducerSpec spec;
  std::string error;
  ASSERT_TRUE(BuildTransducer(o, &spec, &out->report, &error)) << error;
  std::string path = std::string(VTM_TEST_TMPDIR) + "/" + name + ".vtm";
  ASSERT_TRUE(WriteTransducerFile(path, spec, &error)) << error;
  out->fsm = vtm_make_fsm(path.c_str());
  ASSERT_EQ(vtm_object_error_code(out->fsm), 0);
}

const char* kHouse =
    "0\t1\th\th\n1\t2\to\to\n2\t3\tu\tu\n3\t4\ts\ts\n4\t5\te\te\n5\t6\t@0@\t<n>\n"
    "6\t7\t@0@\t[sg]\n7\n4\t8\te\te\n8\t9\ts\t<n>\n9\t7\t@0@\t+PL\n";

TEST(BuildTransducer, WritesTagsSpecialCodesFunctionsAndAWalkableNetwork) {
  auto att = Att(kHouse);
  BuildOptions o;
  o.inputs = {{kFunctionAnalysis, "a", att},
              {kFunctionGeneration, "a", att},
              {kFunctionExpansion, "a", att}};
  o.language = 7;
  o.char_encoding = 3;
  o.creation_date = 123456;
  o.copyright = "(c) test\r\nline two";
  o.version = "4.5.6";
  Built b;
  BuildAndLoad(o, "house", &b);
  VtmFsmRec* f = b.fsm;
  EXPECT_EQ(vtm_fsm_language(f), 7);
  EXPECT_EQ(vtm_fsm_char_encoding(f), 3);
  EXPECT_EQ(vtm_fsm_creation_date(f), 123456u);
  char text[300];
  ASSERT_EQ(vtm_fsm_copyright(text, sizeof text, f), 0);
  EXPECT_STREQ(text, "(c) test line two");
  ASSERT_EQ(vtm_fsm_version(text, sizeof text, f), 0);
  EXPECT_STREQ(text, "4.5.6");
  // Generation is laid out for the inverse walk, expansion is a projection: each of the
  // three functions has a subnet of its own.
  EXPECT_NE(FsmFunctionSubnet(f, 12), FsmFunctionSubnet(f, 23));
  EXPECT_NE(FsmFunctionSubnet(f, 1), FsmFunctionSubnet(f, 12));
  EXPECT_NE(FsmFunctionSubnet(f, 1), FsmFunctionSubnet(f, 23));
  EXPECT_EQ(FsmFunctionSubnet(f, 27), kNoSubnet);
  EXPECT_EQ(f->header.subnet_count, 3);
  for (const char* tag : {"n", "sg", "+PL"}) EXPECT_NE(FsmTagCode(f, tag, strlen(tag)), 0) << tag;
  EXPECT_EQ(FsmTagCode(f, "pl", 2), 0);
  EXPECT_NE(f->tagsep_code, 0);
  EXPECT_EQ(f->tb_code, 1);  // no token boundary symbol
  for (int s = 0; s < 3; ++s) {
    NetworkStats stats = CountNetwork(*f, s);
    EXPECT_TRUE(stats.complete) << stats.problem;
    EXPECT_GT(stats.arcs, 8u);
  }
  EXPECT_EQ(b.report.tags, 3u);
  EXPECT_EQ(b.report.chars, 5u);
}

TEST(BuildTransducer, EveryLabelBaseGivesALoadableCompleteNetwork) {
  std::string att;
  // 60 characters and 30 tags: small label bases need escapes.
  const std::string letters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  for (std::size_t i = 0; i < letters.size(); ++i)
    att += "0\t" + std::to_string(i % 7 + 1) + "\t" + letters[i] + "\t" + letters[i] + "\n";
  for (int t = 0; t < 30; ++t)
    att += std::to_string(t % 7 + 1) + "\t9\t@0@\t<t" + std::to_string(t) + ">\n";
  att += "9\n";
  for (int lb : {16, 32, 64, 128, 200}) {
    BuildOptions o;
    o.inputs = {{kFunctionAnalysis, "a", Att(att)}};
    o.label_base = lb;
    o.encoder.table_min_symbols = 4;
    Built b;
    BuildAndLoad(o, "base" + std::to_string(lb), &b);
    ASSERT_NE(b.fsm, nullptr);
    EXPECT_EQ(b.fsm->header.label_base, lb);
    NetworkStats stats = CountNetwork(*b.fsm, 0);
    EXPECT_TRUE(stats.complete) << lb << ": " << stats.problem;
    EXPECT_GE(stats.tables, 1u) << lb;              // the start state, and escape fan-outs
    EXPECT_GT(b.report.escaped_symbols, 0u) << lb;  // 90 symbols never fit unescaped
  }
}

TEST(BuildTransducer, RefusesWhatTheFormatCannotHoldWithTheLine) {
  EXPECT_EQ(BuildError("0\t1\ta\tʼ\n1\n"),
            "in.att: line 1: character U+02BC ('ʼ') has no Windows-1252 code");
  EXPECT_EQ(BuildError("0\t1\t@U.F.V@\ta\n1\n"),
            "in.att: line 1: a flag diacritic must stand on both sides of its arc "
            "('@U.F.V@' : 'a')");
  std::string values =
      "0\t1\t@U.F.A@\t@U.F.A@\n0\t1\t@U.F.B@\t@U.F.B@\n"
      "0\t1\t@U.F.C@\t@U.F.C@\n0\t1\t@U.F.D@\t@U.F.D@\n1\n";
  EXPECT_NE(BuildError(values).find("line 4: flag feature 'F' gets a value 'D'"),
            std::string::npos);
  std::string features;
  for (int f = 0; f < 9; ++f)
    features += "0\t1\t@C.F" + std::to_string(f) + "@\t@C.F" + std::to_string(f) + "@\n";
  EXPECT_NE(BuildError(features + "1\n").find("line 9: flag feature 'F8' is one more than"),
            std::string::npos);
  std::string tags;
  for (int t = 0; t <= 1009; ++t) tags += "0\t1\t@0@\t<t" + std::to_string(t) + ">\n";
  EXPECT_NE(BuildError(tags + "1\n").find("line 1010: tag 't1009' is one more than the 1009"),
            std::string::npos);
  // Cycles that read nothing would make the walks run forever.
  EXPECT_NE(BuildError("0\t1\ta\ta\n1\t2\t@0@\tx\n2\t1\t@0@\ty\n2\n")
                .find("on a cycle of arcs whose input side is empty"),
            std::string::npos);
  EXPECT_NE(BuildError("0\t1\ta\ta\n1\t1\tx\t@0@\n1\n", kFunctionGeneration)
                .find("output side is empty (epsilon or flags); inverse lookup"),
            std::string::npos);
}

TEST(BuildTransducer, DropsUnmappableArcsOnlyWhenAskedAndCountsThem) {
  BuildOptions o;
  auto att = Att("0\t1\ta\tʼ\n0\t1\tb\tb\n1\t2\tʼ\tc\n1\n2\n");
  o.inputs = {{kFunctionAnalysis, "a", att}, {kFunctionExpansion, "a", att}};
  o.drop_unmappable = true;
  Built b;
  BuildAndLoad(o, "drop", &b);
  EXPECT_EQ(b.report.dropped_arcs, 2u);
  EXPECT_EQ(b.report.chars, 1u);  // only b is left
}

TEST(BuildTransducer, ProjectionKeepsCyclesThatAreSilentOnTheOutputSideOnly) {
  // x:0 loops are fine for lookup and for the (one-sided) expansion subnet.
  BuildOptions o;
  o.inputs = {{kFunctionTokenizing, "t", Att("0\t0\tx\t@0@\n0\t1\ty\ty\n1\n")},
              {kFunctionExpansion, "t", Att("0\t0\tx\t@0@\n0\t1\ty\ty\n1\n")}};
  Built b;
  BuildAndLoad(o, "silent", &b);
  EXPECT_EQ(vtm_fsm_capabilities(b.fsm), 0x004u + 0x080u);
}

}  // namespace
}  // namespace vtm::compiler
