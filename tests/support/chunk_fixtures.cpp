// Groupers compiled from chunk grammars (see chunk_fixtures.h).
#include "support/chunk_fixtures.h"

#include <memory>
#include <sstream>

#include "compiler/chunk_fst.h"
#include "compiler/transducer_builder.h"

namespace vtm::test {

ChunkGrouper CompileChunks(const std::string& grammar, const std::vector<std::string>& tags,
                           const std::string& subgrammar) {
  ChunkGrouper g;
  compiler::BuildOptions options;
  for (int function : {kFunctionGrouper, kFunctionGrouper2}) {
    const std::string& text = function == kFunctionGrouper ? grammar : subgrammar;
    if (text.empty()) continue;
    std::vector<compiler::ChunkStage> stages;
    auto att = std::make_shared<compiler::AttTransducer>();
    if (!compiler::ParseChunkGrammar(text, &stages, &g.error) ||
        !compiler::ChunkGrammarTransducer(stages, tags, att.get(), &g.error)) {
      return g;
    }
    options.inputs.push_back({function, std::to_string(function), att});
  }
  compiler::TransducerSpec spec;
  compiler::BuildReport report;
  if (!compiler::BuildTransducer(options, &spec, &report, &g.error)) return g;
  g.fsm = Open(WriteSpec("chunks.vtm", spec));
  g.grouper.reset(vtm_make_grouper(g.fsm.get()));
  return g;
}

std::string Chunks(const ChunkGrouper& g, const std::string& tags, int flags) {
  std::istringstream in(tags);
  std::vector<std::string> list;
  for (std::string t; in >> t;) list.push_back(t);
  return Show(Group(g.grouper.get(), list, flags, 256, 4096));
}

}  // namespace vtm::test
