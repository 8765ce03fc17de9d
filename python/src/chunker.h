// vtmrt.Chunker: running text or HTML into tagged sentences and their phrases, the
// whole chain of `vtm chunk` (its token stream, sentence limits, tagging sessions and
// group writer) over a Tokenizer, a Tagger and a Grouper. Tested by
// python/tests/test_chunk.py.
#pragma once

#include <pybind11/pybind11.h>

#include <memory>
#include <shared_mutex>

#include "grouper.h"
#include "pool.h"
#include "sentence_chunker.h"
#include "tagger.h"
#include "tokenizer.h"

namespace vtm::py {

class Chunker {
 public:
  // Each of `tokenizer`, `tagger`, `grouper`: an object of that class, kept open by the
  // chunker, or None for a new one on the bundled English data (closed with the chunker).
  Chunker(pybind11::object tokenizer, pybind11::object tagger, pybind11::object grouper,
          bool subgroups, bool sort);
  ~Chunker();
  Chunker(const Chunker&) = delete;
  Chunker& operator=(const Chunker&) = delete;

  // The sentences of `text` as a list of vtmrt.ChunkedSentence, numbered from
  // `first_sentence` in their JSON form.
  pybind11::list Chunk(pybind11::handle text, bool html, long long first_sentence);
  // The JSON lines of the same sentences (what their to_json() objects are written from,
  // as `vtm chunk -f json` writes them, each ended by LF), without making any record.
  pybind11::bytes ChunkJson(pybind11::handle text, bool html, long long first_sentence);
  // Writes the same lines to `file` (an object with a binary write(), such as
  // open(path, "wb") gives) in pieces, through memory reused from call to call; `fields`
  // (bytes or None): JSON members ("name":value,...) put first in every line's object.
  // Returns the number of lines written.
  std::size_t WriteJson(pybind11::handle file, pybind11::handle text, bool html,
                        long long first_sentence, pybind11::handle fields);
  // Frees the chunker's work objects and closes the parts it made. Idempotent.
  void Close();
  bool closed();

 private:
  struct Chunked;
  // Runs the chain over `text` into *out: the JSON lines and errors of its sentences and,
  // with `records`, their words, tags and groups. Raises for a closed part, a failing
  // tokenizer or a bad argument; gives the token stream's messages as TextWarning.
  void Run(pybind11::handle text, bool html, long long first_sentence, bool records, Chunked* out);

  std::shared_mutex lock_;
  bool closed_ = false;
  std::shared_ptr<Tokenizer> tokenizer_;
  std::shared_ptr<Tagger> tagger_;
  std::shared_ptr<Grouper> grouper_;
  bool made_tokenizer_ = false, made_tagger_ = false, made_grouper_ = false;
  cli::GroupOptions options_;
  Pool<cli::SentenceChunker> chunkers_;
  Pool<Chunked> results_;
};

}  // namespace vtm::py
