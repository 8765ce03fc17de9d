// Chunk grammars for `vtm build` (see chunk_build.h).
#include "chunk_build.h"

#include <set>
#include <sstream>

#include "chunk_fst.h"
#include "chunk_grammar.h"

namespace vtm::cli {
bool ReadTagList(const std::string& path, const std::string& text, std::vector<std::string>* tags,
                 std::string* error) {
  std::istringstream in(text);
  std::set<std::string> seen(tags->begin(), tags->end());
  int number = 0;
  for (std::string line; std::getline(in, line);) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    auto fail = [&](const std::string& why) {
      *error = path + ": line " + std::to_string(number) + ": " + why;
      return false;
    };
    if (line.find_first_of(" \t") != std::string::npos) return fail("a tag holds whitespace");
    if (line[0] == '(' || line[0] == ')') {
      return fail("tag '" + line + "' begins with a bracket, which marks group labels");
    }
    if (line[0] == '_')
      return fail("tag '" + line + "' begins with '_', which marks skipped tokens");
    if (line.size() > 61 || line.find(']') != std::string::npos) {
      return fail("tag '" + line + "' is longer than 61 bytes or holds ']'");
    }
    if (seen.insert(line).second) tags->push_back(line);
  }
  if (tags->empty()) {
    *error = path + ": no tags";
    return false;
  }
  return true;
}

bool CompileChunkGrammar(const std::string& path, const std::string& text,
                         const std::vector<std::string>& tags,
                         std::shared_ptr<compiler::AttTransducer>* att, std::string* error) {
  std::vector<compiler::ChunkStage> stages;
  auto out = std::make_shared<compiler::AttTransducer>();
  if (!compiler::ParseChunkGrammar(text, &stages, error) ||
      !compiler::ChunkGrammarTransducer(stages, tags, out.get(), error)) {
    *error = path + ": " + *error;
    return false;
  }
  *att = std::move(out);
  return true;
}

}  // namespace vtm::cli
