// Tagger test fixtures (see tagger_fixtures.h).
#include "support/tagger_fixtures.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "compiler/att_reader.h"
#include "compiler/transducer_builder.h"

namespace vtm::test {
namespace {

std::shared_ptr<compiler::AttTransducer> Att(const std::string& text) {
  auto t = std::make_shared<compiler::AttTransducer>();
  std::string error;
  EXPECT_TRUE(compiler::ReadAtt(text, 0, t.get(), &error)) << error;
  return t;
}

}  // namespace

FsmPtr ClassFsm(const ClassFsmOptions& options, const std::string& name) {
  compiler::BuildOptions o;
  o.inputs.push_back(
      {vtm::kFunctionClassLexicon, "lexicon", Att(compiler::ClassLexiconAtt(options.lexicon))});
  if (options.guesser) {
    compiler::GuesserRules rules = options.rules;
    if (rules.alphabet.empty()) rules.alphabet.push_back('a');
    o.inputs.push_back(
        {vtm::kFunctionClassGuesser, "guesser", Att(compiler::SuffixGuesserAtt(rules))});
  }
  o.language = options.language;
  o.version = options.version;
  compiler::TransducerSpec spec;
  compiler::BuildReport report;
  std::string error;
  EXPECT_TRUE(compiler::BuildTransducer(o, &spec, &report, &error)) << error;
  const std::string path = TempPath(name + ".vtm");
  EXPECT_TRUE(compiler::WriteTransducerFile(path, spec, &error)) << error;
  return Open(path);
}

compiler::TaggerModel FlatModel(const VtmFsmRec* fsm, const std::vector<std::string>& tags,
                                const std::vector<std::string>& class_strings,
                                const std::vector<std::vector<uint32_t>>& members) {
  compiler::TaggerModel m;
  char version[32] = {0};
  vtm_fsm_version(version, sizeof version, const_cast<VtmFsmRec*>(fsm));
  m.version = version;
  m.language = static_cast<uint8_t>(vtm_fsm_language(const_cast<VtmFsmRec*>(fsm)));
  m.tag_names = tags;
  m.class_strings = class_strings;
  m.initial.assign(tags.size(), -1);
  m.transitions.assign(tags.size(), std::vector<int32_t>(tags.size(), -1));
  for (const auto& list : members) {
    m.emissions.emplace_back();
    for (uint32_t t : list) m.emissions.back().push_back({t, -1});
  }
  return m;
}

std::vector<uint8_t> ModelBytes(const compiler::TaggerModel& model) {
  std::vector<uint8_t> bytes;
  std::string error;
  EXPECT_TRUE(compiler::WriteTaggerModel(model, &bytes, &error)) << error;
  return bytes;
}

std::string WriteModel(const std::string& name, const compiler::TaggerModel& model) {
  return WriteBytes(name + ".model", ModelBytes(model));
}

TaggerPtr LoadTagger(const std::string& path, VtmFsmRec* fsm) {
  return TaggerPtr(vtm_make_tagger(path.c_str(), fsm));
}

std::string Joined(const std::vector<std::string>& tokens, bool terminate) {
  std::string text;
  for (const std::string& t : tokens) {
    text.append(t);
    text.push_back('\0');
  }
  if (terminate) text.push_back('\0');
  return text;
}

TagRun Tag(VtmTaggerRec* tagger, VtmTaggerBufferRec* buffer, const std::vector<std::string>& tokens,
           int flags, VtmClientDict dict, int output_size) {
  const std::string text = Joined(tokens);
  std::vector<char> out(static_cast<std::size_t>(output_size) + 1, 'X');
  TagRun run;
  run.rc = vtm_tag_sentence(text.data(), static_cast<int>(tokens.size()), out.data(), output_size,
                            flags, tagger, buffer, dict, 0);
  EXPECT_EQ(out[static_cast<std::size_t>(output_size)], 'X') << "wrote past the output size";
  if (run.rc > 0) {
    const char* p = out.data();
    for (int k = 0; k < run.rc; ++k) {
      run.out.emplace_back(p);
      p += run.out.back().size() + 1;
    }
  }
  return run;
}

KeyTable::KeyTable(const std::vector<std::vector<uint16_t>>& keys) {
  t.heads = static_cast<VtmClassEntry**>(std::calloc(kClassChains, sizeof(VtmClassEntry*)));
  t.entries = static_cast<VtmClassEntry*>(std::calloc(keys.size() + 1, sizeof(VtmClassEntry)));
  t.capacity = static_cast<uint32_t>(keys.size());
  for (std::size_t k = 0; k < keys.size(); ++k) {
    EXPECT_TRUE(ClassTableInsert(&t, keys[k].data(), static_cast<uint32_t>(keys[k].size()),
                                 static_cast<int32_t>(k)));
  }
}

KeyTable::~KeyTable() {
  FreeClassTable(&t);
}

int32_t KeyTable::Nearest(const std::vector<uint16_t>& key) const {
  return ClassTableNearest(t, key.data(), static_cast<uint32_t>(key.size()));
}

}  // namespace vtm::test
