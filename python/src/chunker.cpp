// A chunk call holds the chunker, tokenizer, tagger and grouper open (in that order)
// and, with the GIL released, runs the token stream of `vtm chunk` over the text, then
// tags and groups each sentence with a SentenceChunker from the chunker's pool, keeping
// the words, tags, groups and JSON line of each sentence compactly; the Python objects
// are made afterwards with the GIL.
#include "chunker.h"

#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "errors.h"
#include "records.h"
#include "text.h"
#include "transducer.h"

namespace vtm::py {

namespace pyb = pybind11;

namespace {

struct ChunkedGroup {
  int first, count;
  std::size_t label;  // index in Chunked::labels
};

}  // namespace

// The sentences of one call, their parts one after another. write_json() takes one from
// the chunker's pool and clears it, so that a worker writing file after file reuses the
// same memory instead of mapping megabytes afresh for every file.
struct Chunker::Chunked {
  std::string sentences;                // the token stream's sentence lines
  std::vector<std::size_t> ends;        // where each of them ends
  std::string piece;                    // write_json's output piece
  std::string words, tags;              // each ended by a NUL
  std::vector<std::size_t> token_ends;  // tokens up to each sentence's end
  std::vector<ChunkedGroup> groups;
  std::vector<std::size_t> group_ends;  // groups up to each sentence's end
  std::vector<std::string> labels;      // distinct labels
  std::string json;                     // the JSON lines
  std::vector<std::size_t> json_ends;
  std::vector<std::string> errors;    // per sentence, "" when none
  std::vector<std::string> messages;  // from the token stream
  std::size_t tokens = 0;

  void Clear() {
    sentences.clear();
    ends.clear();
    piece.clear();
    words.clear();
    tags.clear();
    token_ends.clear();
    groups.clear();
    group_ends.clear();
    labels.clear();
    json.clear();
    json_ends.clear();
    errors.clear();
    messages.clear();
    tokens = 0;
  }
};

Chunker::Chunker(pyb::object tokenizer, pyb::object tagger, pyb::object grouper, bool subgroups,
                 bool sort) {
  options_.format = cli::GroupFormat::kJson;
  options_.subgroups = subgroups;
  options_.sort = sort;
  auto take = [](pyb::object given, const char* what, const char* type, auto* slot, bool* made) {
    using T = typename std::remove_reference_t<decltype(*slot)>::element_type;
    if (given.is_none()) {
      *made = true;
      return;
    }
    if (!pyb::isinstance<T>(given))
      Raise(VTM_ERR_NULL_OBJECT,
            std::string(what) + " must be a vtmrt." + type + " or None, not " +
                Py_TYPE(given.ptr())->tp_name,
            kArgumentTypeError);
    *slot = given.cast<std::shared_ptr<T>>();
  };
  take(tokenizer, "tokenizer", "Tokenizer", &tokenizer_, &made_tokenizer_);
  take(tagger, "tagger", "Tagger", &tagger_, &made_tagger_);
  take(grouper, "grouper", "Grouper", &grouper_, &made_grouper_);
  // The bundled parts, made after the given ones are checked.
  if (made_tokenizer_) tokenizer_ = std::make_shared<Tokenizer>(pyb::none(), pyb::none());
  if (made_tagger_) tagger_ = std::make_shared<Tagger>(pyb::none(), pyb::none(), "auto", false);
  if (made_grouper_) grouper_ = std::make_shared<Grouper>(pyb::none());
}

Chunker::~Chunker() {
  Close();
}

void Chunker::Close() {
  std::unique_lock lock(lock_, std::defer_lock);
  LockWithoutGil(lock);
  chunkers_.Clear();
  results_.Clear();
  if (closed_) return;
  closed_ = true;
  if (made_tokenizer_) tokenizer_->Close();
  if (made_tagger_) tagger_->Close();
  if (made_grouper_) grouper_->Close();
}

bool Chunker::closed() {
  std::shared_lock lock(lock_);
  return closed_;
}

void Chunker::Run(pyb::handle text, bool html, long long first_sentence, bool records,
                  Chunked* out) {
  if (first_sentence < 0)
    Raise(VTM_ERR_INVALID_NUMBER, "first_sentence must not be negative", kArgumentError);
  const std::string_view utf8 = TokenizableText(text);
  Chunked& got = *out;
  const char* closed = nullptr;
  int code = 0;
  {
    pyb::gil_scoped_release nogil;
    std::shared_lock lock(lock_);
    Tokenizer::Use tokenizer(*tokenizer_);
    Tagger::Reader tagger(*tagger_);
    Grouper::Use grouper(*grouper_);
    if (closed_) {
      closed = "chunker";
    } else if (!tokenizer.open()) {
      closed = "tokenizer";
    } else if (tagger.tagger() == nullptr) {
      closed = "tagger";
    } else if (grouper.grouper() == nullptr) {
      closed = grouper.grouper_closed() ? "grouper" : "transducer";
    } else if (tokenizer.tokenizer() == nullptr) {
      code = tokenizer.code();
    } else {
      // The sentences, as `vtm tokenize --sentences` writes them.
      std::string& sentences = got.sentences;
      std::vector<std::size_t>& ends = got.ends;
      cli::TokenTask task;
      task.command = "chunk";
      task.tokenizer = tokenizer.tokenizer();
      task.flags = html ? VTM_TOKENIZE_HTML : 0;
      task.format = cli::TokenFormat::kSentences;
      task.max_sentence_tokens = cli::kMaxSentenceTokens;
      task.max_sentence_bytes = cli::kMaxSentenceBytes;
      task.sentence_sink = [&](std::string_view s) {
        sentences.append(s);
        ends.push_back(sentences.size());
        return true;
      };
      task.message_sink = [&got](const std::string& m) { got.messages.push_back(m); };
      cli::RunTokenText(task, utf8, "text");

      cli::ChunkSetup setup;
      setup.tagger = tagger.tagger();
      setup.tag_flags = tagger_->flags();
      setup.grouper = grouper.grouper();
      setup.group = options_;
      Taken<cli::SentenceChunker> chunker(
          chunkers_, [&] { return std::make_unique<cli::SentenceChunker>(setup); });
      std::unordered_map<std::string, std::size_t> label_index;
      std::size_t from = 0;
      for (std::size_t k = 0; k < ends.size(); ++k) {
        const std::string_view line(sentences.data() + from, ends[k] - from);
        from = ends[k];
        got.errors.push_back(
            chunker.get()->Sentence(line, static_cast<std::size_t>(first_sentence) + k, &got.json));
        got.json_ends.push_back(got.json.size());
        if (!records) continue;
        const cli::TaggedSentence& s = chunker.get()->sentence();
        for (const cli::TaggedToken& t : s.tokens) {
          got.words.append(t.word).push_back('\0');
          got.tags.append(t.tag).push_back('\0');
        }
        got.tokens += s.tokens.size();
        got.token_ends.push_back(got.tokens);
        const cli::GroupWriter& writer = chunker.get()->writer();
        for (int g = 0; g < writer.group_count(); ++g) {
          const VtmGroup& group = writer.group(g);
          auto [it, added] = label_index.try_emplace(writer.label(group), got.labels.size());
          if (added) got.labels.emplace_back(writer.label(group));
          got.groups.push_back({group.first_token, group.token_count, it->second});
        }
        got.group_ends.push_back(got.groups.size());
      }
    }
  }
  if (closed != nullptr) Transducer::RaiseClosed(closed);
  if (code != 0) Raise(code);
  WarnMessages(got.messages);
}

pyb::bytes Chunker::ChunkJson(pyb::handle text, bool html, long long first_sentence) {
  Chunked got;
  Run(text, html, first_sentence, false, &got);
  return pyb::bytes(got.json);
}

std::size_t Chunker::WriteJson(pyb::handle file, pyb::handle text, bool html,
                               long long first_sentence, pyb::handle fields) {
  std::string_view head;
  if (!fields.is_none()) {
    if (!PyBytes_Check(fields.ptr()))
      Raise(VTM_ERR_NULL_OBJECT,
            std::string("fields must be bytes or None, not ") + Py_TYPE(fields.ptr())->tp_name,
            kArgumentTypeError);
    char* data = nullptr;
    Py_ssize_t size = 0;
    PyBytes_AsStringAndSize(fields.ptr(), &data, &size);
    head = std::string_view(data, static_cast<std::size_t>(size));
    if (head.find_first_of("\n\r") != std::string_view::npos)
      Raise(VTM_ERR_NULL_OBJECT, "fields must not hold a line break", kArgumentError);
  }
  if (!pyb::hasattr(file, "write"))
    Raise(VTM_ERR_NULL_OBJECT,
          std::string("file must have a write() method; a ") + Py_TYPE(file.ptr())->tp_name +
              " has none",
          kArgumentTypeError);
  const pyb::object write = file.attr("write");
  Taken<Chunked> taken(results_, [] { return std::make_unique<Chunked>(); });
  Chunked& got = *taken.get();
  got.Clear();
  Run(text, html, first_sentence, false, &got);

  // Pieces of at most about 32 KiB, each passed as a bytes object of its own: small
  // enough that the allocator reuses their memory from one piece to the next even where
  // it hands freed memory back to the system early (as Dask's workers are set up to).
  constexpr std::size_t kPiece = 32 * 1024;
  std::string& piece = got.piece;
  auto flush = [&] {
    std::size_t from = 0;
    while (from < piece.size()) {
      const pyb::object written = write(pyb::bytes(piece.data() + from, piece.size() - from));
      // A raw file may take less than it is given; a buffered one takes everything.
      if (written.is_none() || !PyLong_Check(written.ptr())) break;
      const long long n = written.cast<long long>();
      if (n <= 0) Raise(VTM_ERR_IO, "the file's write() took nothing");
      from += static_cast<std::size_t>(n);
    }
    piece.clear();
  };
  std::size_t from = 0;
  for (const std::size_t end : got.json_ends) {
    const std::string_view line(got.json.data() + from, end - from);
    from = end;
    if (head.empty() || line.size() < 2 || line[0] != '{') {
      piece.append(line);
    } else {
      // "{" fields "," and the rest of the record; an empty record gets no comma.
      piece.push_back('{');
      piece.append(head);
      if (line[1] != '}') piece.push_back(',');
      piece.append(line.substr(1));
    }
    if (piece.size() >= kPiece) flush();
  }
  flush();
  return got.json_ends.size();
}

pyb::list Chunker::Chunk(pyb::handle text, bool html, long long first_sentence) {
  Chunked got;
  Run(text, html, first_sentence, true, &got);
  const pyb::handle sentence_type = RecordType("ChunkedSentence");
  const pyb::handle group_type = RecordType("Group");
  const pyb::str tokens_slot("tokens"), groups_slot("groups"), json_slot("_json"),
      error_slot("error");
  // From here on only C calls (see CollectorPause): no Python code runs.
  CollectorPause pause;
  std::vector<pyb::object> labels;
  for (const std::string& l : got.labels) labels.push_back(FromCodePage(l));
  // One str per distinct tag; the keys view got.tags, which outlives the map.
  std::unordered_map<std::string_view, pyb::object> tags;
  const std::size_t n = got.token_ends.size();
  pyb::list result(n);
  const char* word = got.words.data();
  const char* tag = got.tags.data();
  std::size_t token = 0, group = 0, json_from = 0;
  for (std::size_t k = 0; k < n; ++k) {
    pyb::list tokens(got.token_ends[k] - token);
    for (std::size_t i = 0; token < got.token_ends[k]; ++token, ++i) {
      const std::size_t wn = std::strlen(word), tn = std::strlen(tag);
      auto [it, added] = tags.try_emplace(std::string_view(tag, tn));
      if (added) it->second = FromCodePage({tag, tn});
      PyObject* w = PyUnicode_DecodeUTF8(word, static_cast<Py_ssize_t>(wn), "replace");
      PyList_SET_ITEM(tokens.ptr(), i, NewPair(w, it->second.inc_ref().ptr()));
      word += wn + 1;
      tag += tn + 1;
    }
    pyb::list groups(got.group_ends[k] - group);
    for (std::size_t i = 0; group < got.group_ends[k]; ++group, ++i) {
      const ChunkedGroup& g = got.groups[group];
      PyList_SET_ITEM(groups.ptr(), i,
                      NewTupleOf(group_type, {labels[g.label].inc_ref().ptr(),
                                              PyLong_FromLong(g.first), PyLong_FromLong(g.count)})
                          .release()
                          .ptr());
    }
    pyb::bytes json(got.json.data() + json_from, got.json_ends[k] - json_from);
    json_from = got.json_ends[k];
    const std::string& error = got.errors[k];
    pyb::object error_object =
        error.empty() ? pyb::object(pyb::none()) : pyb::object(pyb::str(error));
    PyList_SET_ITEM(result.ptr(), k,
                    NewSlotted(sentence_type, {{tokens_slot, tokens.ptr()},
                                               {groups_slot, groups.ptr()},
                                               {json_slot, json.ptr()},
                                               {error_slot, error_object.ptr()}})
                        .release()
                        .ptr());
  }
  return result;
}

}  // namespace vtm::py
