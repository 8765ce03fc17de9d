// `vtm build --chunk-grammar/--chunk-subgrammar`: chunk grammars (NLTK RegexpParser
// notation) compiled over a tag list into the grouper's functions 62 and 63. Tested in
// tests/cli/chunk_test.sh.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "att_reader.h"

namespace vtm::cli {

// Reads a tag list (the text of file `path`) and appends the tags not yet in *tags: one
// tag per line; blank lines are ignored.
// Tags may not begin with a bracket (the grouper would take them for labels) or "_", or
// hold whitespace.
bool ReadTagList(const std::string& path, const std::string& text, std::vector<std::string>* tags,
                 std::string* error);

// Compiles the grammar `text` (of file `path`) over `tags`; messages start with the file
// name.
bool CompileChunkGrammar(const std::string& path, const std::string& text,
                         const std::vector<std::string>& tags,
                         std::shared_ptr<compiler::AttTransducer>* att, std::string* error);

}  // namespace vtm::cli
