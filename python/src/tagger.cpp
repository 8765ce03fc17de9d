// Tokens are checked and converted to Windows-1252 with the GIL held, then tagged with
// it released by a tagging session taken from the tagger's pool (a session owns a
// tagger buffer, which serves one thread at a time).
#include "tagger.h"

#include <cstring>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "errors.h"
#include "records.h"
#include "text.h"
#include "transducer.h"

namespace vtm::py {

namespace pyb = pybind11;

namespace {

// The tagger buffer's limits.
constexpr std::size_t kMaxTokens = 100000;
constexpr std::size_t kMaxChars = 1000000;

// One sentence's tokens: the str objects and their cp1252 texts, each ended by a NUL.
struct Sentence {
  std::vector<pyb::object> words;
  std::string joined;
  std::string tags;  // the tags, each ended by a NUL
  int code = 0;
  std::string error;
};

void ReadSentence(pyb::handle tokens, const std::string& what, Sentence* s) {
  if (PyUnicode_Check(tokens.ptr()) || PyBytes_Check(tokens.ptr()))
    Raise(VTM_ERR_NULL_OBJECT,
          what + " must be a list of str, not a single " + Py_TYPE(tokens.ptr())->tp_name,
          kArgumentTypeError);
  if (!PyObject_HasAttrString(tokens.ptr(), "__iter__"))
    Raise(VTM_ERR_NULL_OBJECT,
          what + " must be an iterable of str, not " + Py_TYPE(tokens.ptr())->tp_name,
          kArgumentTypeError);
  std::string word;
  for (pyb::handle item : pyb::iter(tokens)) {
    const std::string name = what + "[" + std::to_string(s->words.size()) + "]";
    ToCodePage(item, name.c_str(), &word);
    s->words.push_back(pyb::reinterpret_borrow<pyb::object>(item));
    s->joined.append(word);
    s->joined.push_back('\0');
  }
  if (s->words.size() > kMaxTokens || s->joined.size() > kMaxChars)
    Raise(VTM_ERR_INVALID_NUMBER,
          what + ": a sentence takes at most 100000 tokens and 1000000 bytes", kCapacityError);
}

// Tags a sentence with a session. No GIL.
void TagOne(cli::TaggingSession* session, int flags, Sentence* s) {
  const int count = static_cast<int>(s->words.size());
  const int r = session->TagJoined(s->joined, count, flags, &s->error);
  if (r < 0) {
    s->code = r == -1 ? VTM_ERR_NO_MEMORY : r;
    return;
  }
  const char* tag = session->tags();
  for (int k = 0; k < count; ++k) {
    const std::size_t n = std::strlen(tag);
    s->tags.append(tag, n + 1);
    tag += n + 1;
  }
}

// Runs TagOne over `sentences` with a pooled session; false when the tagger is closed.
bool TagAll(Tagger& owner, Pool<cli::TaggingSession>& pool, std::vector<Sentence>* sentences) {
  pyb::gil_scoped_release nogil;
  Tagger::Reader reader(owner);
  if (reader.tagger() == nullptr) return false;
  Taken<cli::TaggingSession> session(
      pool, [&] { return std::make_unique<cli::TaggingSession>(reader.tagger()); });
  for (Sentence& s : *sentences) TagOne(session.get(), owner.flags(), &s);
  return true;
}

void CheckTagged(const Sentence& s, const std::string& what) {
  if (s.code != 0) Raise(s.code, what + ": " + s.error);
}

// The (word, tag) pairs of a tagged sentence, one str per distinct tag (in *tags, whose
// keys view the sentences' tags). Runs no Python code.
using TagStrs = std::unordered_map<std::string_view, pyb::object>;
pyb::list Pairs(const Sentence& s, TagStrs* tags) {
  pyb::list pairs(s.words.size());
  const char* tag = s.tags.data();
  for (std::size_t k = 0; k < s.words.size(); ++k) {
    const std::size_t n = std::strlen(tag);
    auto [it, added] = tags->try_emplace(std::string_view(tag, n));
    if (added) it->second = FromCodePage({tag, n});
    PyList_SET_ITEM(pairs.ptr(), k,
                    NewPair(s.words[k].inc_ref().ptr(), it->second.inc_ref().ptr()));
    tag += n + 1;
  }
  return pairs;
}

}  // namespace

Tagger::Tagger(pyb::object classes, pyb::object model, const std::string& case_mode,
               bool multiword) {
  if (case_mode != "auto" && case_mode != "exact" && case_mode != "lower" && case_mode != "upper")
    Raise(VTM_ERR_INVALID_NUMBER, "case must be auto, exact, lower or upper", kArgumentError);
  if (classes.is_none() != model.is_none())
    Raise(VTM_ERR_NULL_OBJECT, "give both classes and model, or neither", kArgumentError);
  if (classes.is_none()) {
    pyb::object data = pyb::module_::import("vtmrt._data").attr("default_data");
    classes = data(cli::kDefaultTagTransducer);
    model = data(cli::kDefaultTagModel);
  }
  std::string shown;
  const std::string classes_path = FilePath(classes, "classes", &shown);
  const std::string model_path = FilePath(model, "model", &shown);
  flags_ = cli::TagCaseFlags(case_mode) | (multiword ? VTM_TAG_MULTIWORD : 0);
  auto loaded = std::make_unique<cli::LoadedTagger>();
  std::string error;
  bool opened;
  {
    pyb::gil_scoped_release nogil;
    opened = loaded->Open(classes_path, model_path, &error);
  }
  if (!opened) {
    const int code = loaded->code() != 0 ? loaded->code() : VTM_ERR_BAD_FILE;
    loaded.reset();
    Raise(code, error);
  }
  loaded_ = std::move(loaded);
}

Tagger::~Tagger() {
  Close();
}

void Tagger::Close() {
  std::unique_lock lock(lock_, std::defer_lock);
  LockWithoutGil(lock);
  sessions_.Clear();
  loaded_.reset();
}

bool Tagger::closed() {
  std::shared_lock lock(lock_);
  return loaded_ == nullptr;
}

pyb::list Tagger::Tag(pyb::handle tokens) {
  std::vector<Sentence> one(1);
  ReadSentence(tokens, "tokens", &one[0]);
  if (!TagAll(*this, sessions_, &one)) Transducer::RaiseClosed("tagger");
  CheckTagged(one[0], "tokens");
  TagStrs tags;
  return Pairs(one[0], &tags);
}

pyb::list Tagger::TagSents(pyb::handle sentences) {
  if (PyUnicode_Check(sentences.ptr()) || !PyObject_HasAttrString(sentences.ptr(), "__iter__"))
    Raise(VTM_ERR_NULL_OBJECT,
          std::string("sentences must be an iterable of lists of str, not ") +
              Py_TYPE(sentences.ptr())->tp_name,
          kArgumentTypeError);
  std::vector<Sentence> all;
  for (pyb::handle tokens : pyb::iter(sentences)) {
    all.emplace_back();
    ReadSentence(tokens, "sentences[" + std::to_string(all.size() - 1) + "]", &all.back());
  }
  if (!TagAll(*this, sessions_, &all)) Transducer::RaiseClosed("tagger");
  for (std::size_t k = 0; k < all.size(); ++k)
    CheckTagged(all[k], "sentences[" + std::to_string(k) + "]");
  CollectorPause pause;
  TagStrs tags;
  pyb::list result(all.size());
  for (std::size_t k = 0; k < all.size(); ++k)
    PyList_SET_ITEM(result.ptr(), k, Pairs(all[k], &tags).release().ptr());
  return result;
}

pyb::list Tagger::Tags() {
  std::vector<std::string> names;
  {
    Reader reader(*this);
    if (reader.tagger() == nullptr) Transducer::RaiseClosed("tagger");
    names = loaded_->TagNames();
  }
  pyb::list list;
  for (const std::string& n : names) list.append(FromCodePage(n));
  return list;
}

}  // namespace vtm::py
