// A lexicon transducer for the lookup benchmarks, made with the transducer file writer:
// generated words, each read as itself followed by EOS:0. The states of the word trie
// are shared where their futures are equal; arc lists with many arcs become
// direct-index tables; other targets are reached by absolute references.
#pragma once

#include <string>
#include <vector>

namespace vtm::bench {

// `count` distinct pseudo-words of 2 to 6 syllables, the same on every run.
std::vector<std::string> LexiconWords(std::size_t count);

// Writes the lexicon transducer of `words` (letters a-z only) to `path`; functions 12
// and 27 are served. Returns the network size in bytes, or 0 on failure.
std::size_t WriteLexicon(const std::vector<std::string>& words, const std::string& path);

}  // namespace vtm::bench

namespace vtm::bench {

// The same words as AT&T text for the compiler: a trie whose word ends lead to one final
// state through 0:+N, so each word is analysed as itself followed by the tag [+N].
std::string LexiconAtt(const std::vector<std::string>& words);

// Compiles `att` for functions 12 and 27 and writes it to `path`. Returns the network
// size in bytes, or 0 on failure.
std::size_t CompileLexicon(const std::string& att, const std::string& path);

}  // namespace vtm::bench
