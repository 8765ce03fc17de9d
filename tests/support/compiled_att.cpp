// AT&T text compiled and loaded, and lookup result sets (see compiled_att.h).
#include "support/compiled_att.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "compiler/att_reader.h"
#include "compiler/transducer_builder.h"
#include "support/att_reference.h"
#include "vtmrt.h"

namespace vtm::test {

FsmPtr CompileAtt(const std::string& att, const std::string& file_name,
                  const CompileAttOptions& options, std::string* refusal) {
  auto t = std::make_shared<compiler::AttTransducer>();
  std::string error;
  if (!compiler::ReadAtt(att, 0, t.get(), &error)) {
    ADD_FAILURE() << error << "\n" << att;
    return FsmPtr(nullptr);
  }
  compiler::BuildOptions build;
  build.inputs.push_back({options.function, file_name, t});
  if (options.generation) build.inputs.push_back({kFunctionGeneration, file_name, t});
  build.label_base = options.label_base;
  build.encoder.table_min_symbols = options.table_min_symbols;
  build.encoder.table_min_inputs = options.table_min_inputs;
  build.code_sample = options.code_sample;
  build.read_ahead_insertions = options.read_ahead_insertions;
  build.code_sample_fit = options.code_sample_fit;
  compiler::TransducerSpec spec;
  compiler::BuildReport report;
  if (!compiler::BuildTransducer(build, &spec, &report, &error)) {
    if (refusal != nullptr) {
      *refusal = error;
    } else {
      ADD_FAILURE() << error << "\n" << att;
    }
    return FsmPtr(nullptr);
  }
  FsmPtr fsm = Open(WriteSpec(file_name, spec));
  if (vtm_object_error_code(fsm.get()) != 0) {
    ADD_FAILURE() << "compiled file does not load: " << vtm_object_error_code(fsm.get());
    return FsmPtr(nullptr);
  }
  return fsm;
}

std::set<std::string> LookupSet(VtmFsm fsm, const std::string& text, int mode, int* rc) {
  std::vector<char> out(1 << 12);
  for (;;) {
    *rc = vtm_lookup_with_transduction(text.data(), static_cast<int>(text.size()), out.data(),
                                       static_cast<int>(out.size()), mode, fsm, nullptr, 0);
    if (*rc != VTM_ERR_OUTPUT_TOO_LONG || out.size() >= (1u << 24)) break;
    out.resize(out.size() * 2);
  }
  std::set<std::string> results;
  std::size_t at = 0;
  for (int k = 0; k < *rc; ++k) {
    std::string r(out.data() + at);
    at += r.size() + 1;
    results.insert(r);
  }
  return results;
}

int CompareLookups(VtmFsm fsm, const AttReference& ref, const std::vector<std::string>& texts,
                   const std::string& what) {
  int compared = 0;
  for (const std::string& text : texts) {
    if (text.size() > 10) continue;
    const std::set<std::string> expected = ref.Lookup(text);
    if (ref.last_incomplete() || expected.size() > 300) continue;
    int rc = 0;
    const std::set<std::string> got = LookupSet(fsm, text, VTM_MODE_ANALYZE, &rc);
    EXPECT_GE(rc, 0) << text;
    ++compared;
    EXPECT_EQ(got, expected) << "lookup of '" << text << "' in " << what;
    if (rc < 0 || got != expected) break;
  }
  return compared;
}

}  // namespace vtm::test
