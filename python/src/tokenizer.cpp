// Tokenizing runs the token stream of `vtm tokenize` over the str's UTF-8 bytes with the
// GIL released, collects the tokens compactly and then makes the Token objects, whose
// offsets are converted from UTF-8 bytes to code points (the str's indices). Every
// character was checked first to be in Windows-1252, so the stream drops nothing.
#include "tokenizer.h"

#include <cstring>
#include <unordered_map>

#include "entry_file.h"
#include "errors.h"
#include "loaded_tokenizer.h"
#include "records.h"
#include "text.h"
#include "transducer.h"

namespace vtm::py {

namespace pyb = pybind11;

namespace {

// Tokens as the stream hands them over, their texts one after another.
struct Collected {
  std::vector<uint64_t> starts, ends;
  std::vector<uint32_t> classes;
  std::vector<uint8_t> normalized;
  std::string texts;
  std::vector<std::size_t> text_ends;
  std::vector<std::size_t> sentence_ends;  // token counts at each sentence end
  std::vector<std::string> messages;

  void Add(const cli::StreamToken& t) {
    starts.push_back(t.start);
    ends.push_back(t.end);
    classes.push_back(t.classes);
    normalized.push_back(t.normalized);
    texts.append(t.text);
    text_ends.push_back(texts.size());
  }
};

// Converts UTF-8 byte offsets of `utf8`, asked for in (mostly) rising order, to code
// point offsets.
class CodePoints {
 public:
  explicit CodePoints(std::string_view utf8, bool ascii) : utf8_(utf8), ascii_(ascii) {}
  std::size_t At(uint64_t byte) {
    if (ascii_) return static_cast<std::size_t>(byte);
    if (byte < byte_) byte_ = 0, point_ = 0;
    for (; byte_ < byte && byte_ < utf8_.size(); ++byte_)
      if ((static_cast<unsigned char>(utf8_[byte_]) & 0xC0) != 0x80) ++point_;
    return point_;
  }

 private:
  std::string_view utf8_;
  bool ascii_;
  std::size_t byte_ = 0, point_ = 0;
};

}  // namespace

std::string_view TokenizableText(pyb::handle text) {
  std::string checked;
  ToCodePage(text, "text", &checked);  // raises for what Windows-1252 cannot hold
  Py_ssize_t size = 0;
  const char* utf8 = PyUnicode_AsUTF8AndSize(text.ptr(), &size);
  if (utf8 == nullptr) throw pyb::error_already_set();
  return {utf8, static_cast<std::size_t>(size)};
}

void WarnMessages(const std::vector<std::string>& messages) {
  if (messages.empty()) return;
  pyb::object category = pyb::module_::import("vtmrt.errors").attr("TextWarning");
  for (const std::string& m : messages) {
    if (PyErr_WarnEx(category.ptr(), m.c_str(), 2) != 0) throw pyb::error_already_set();
  }
}

Tokenizer::Tokenizer(pyb::object path, pyb::object html_tags) {
  pyb::object data = pyb::module_::import("vtmrt._data").attr("default_data");
  if (path.is_none()) path = data(cli::kDefaultTokenizer);
  if (html_tags.is_none()) html_tags = data(cli::kDefaultHtmlTags);
  const std::string file = FilePath(path, "path", &path_);
  std::string tags_shown;
  const std::string tags = FilePath(html_tags, "html_tags", &tags_shown);
  int code = 0;
  std::string error;
  {
    pyb::gil_scoped_release nogil;
    fsm_ = vtm_make_fsm(file.c_str());
    code = vtm_object_error_code(fsm_);
    if (code == 0) {
      if (!(vtm_fsm_capabilities(fsm_) & 0x004)) code = VTM_ERR_INVALID_FUNCTION;
    }
    if (code == 0) {
      dict_ = vtm_make_client_dict(0, 0);
      code = vtm_object_error_code(dict_);
      if (code == 0 && !cli::LoadEntryFile(tags, dict_, &error)) code = VTM_ERR_BAD_FILE;
    }
  }
  if (code != 0) {
    // A failed make returns an error object, which is not freed.
    if (vtm_object_error_code(fsm_) == 0) vtm_free_fsm(fsm_);
    if (dict_ != nullptr && vtm_object_error_code(dict_) == 0) vtm_free_client_dict(dict_);
    fsm_ = nullptr;
    dict_ = nullptr;
    Raise(code, error.empty() ? path_ : error);
  }
}

Tokenizer::~Tokenizer() {
  Close();
}

void Tokenizer::Close() {
  std::unique_lock lock(lock_, std::defer_lock);
  LockWithoutGil(lock);
  tokenizers_.Clear();
  vtm_free_client_dict(dict_);
  vtm_free_fsm(fsm_);
  dict_ = nullptr;
  fsm_ = nullptr;
}

bool Tokenizer::closed() {
  std::shared_lock lock(lock_);
  return fsm_ == nullptr;
}

Tokenizer::Use::Use(Tokenizer& owner)
    : lock_(owner.lock_),
      open_(owner.fsm_ != nullptr),
      taken_(owner.tokenizers_, [&]() -> std::unique_ptr<TokenizerHandle> {
        if (!open_) return nullptr;
        VtmTokenizer t = vtm_make_tokenizer(owner.fsm_, 0, owner.dict_);
        code_ = vtm_object_error_code(t);
        if (code_ != 0) return nullptr;
        return std::make_unique<TokenizerHandle>(t);
      }) {}

void Tokenizer::RaiseUse(const Use& use) {
  if (!use.open()) Transducer::RaiseClosed("tokenizer");
  Raise(use.code());
}

pyb::list Tokenizer::Tokenize(pyb::handle text, bool html) {
  return Run(text, html, false);
}

pyb::list Tokenizer::Sentences(pyb::handle text, bool html) {
  return Run(text, html, true);
}

pyb::list Tokenizer::Run(pyb::handle text, bool html, bool sentences) {
  const std::string_view utf8 = TokenizableText(text);
  const bool ascii = PyUnicode_IS_ASCII(text.ptr());
  Collected got;
  bool open = true;
  int code = 0;
  {
    pyb::gil_scoped_release nogil;
    Use use(*this);
    open = use.open();
    code = use.code();
    if (use.tokenizer() != nullptr) {
      cli::TokenTask task;
      task.tokenizer = use.tokenizer();
      task.flags = html ? VTM_TOKENIZE_HTML : 0;
      task.format = cli::TokenFormat::kRecords;
      task.token_sink = [&got, sentences](const cli::StreamToken& t) {
        if (!sentences || t.in_sentence) got.Add(t);
        return true;
      };
      if (sentences) {
        task.sentence_sink = [&got](std::string_view) {
          got.sentence_ends.push_back(got.starts.size());
          return true;
        };
      }
      task.message_sink = [&got](const std::string& m) { got.messages.push_back(m); };
      cli::RunTokenText(task, utf8, "text");
    }
  }
  if (!open) Transducer::RaiseClosed("tokenizer");
  if (code != 0) Raise(code);
  WarnMessages(got.messages);

  const pyb::handle token = RecordType("Token");
  const pyb::handle token_class = RecordType("TokenClass");
  // The class flags (enum members, made by Python code) before the collector's pause.
  std::unordered_map<uint32_t, pyb::object> classes;
  for (const uint32_t c : got.classes) {
    auto [it, added] = classes.try_emplace(c);
    if (added) it->second = token_class(c);
  }
  CollectorPause pause;
  CodePoints points(utf8, ascii);
  const std::size_t n = got.starts.size();
  std::vector<pyb::object> tokens(n);
  std::size_t from = 0;
  for (std::size_t k = 0; k < n; ++k) {
    const std::string_view piece(got.texts.data() + from, got.text_ends[k] - from);
    from = got.text_ends[k];
    pyb::str text_object(piece.data(), piece.size());
    const std::size_t start = points.At(got.starts[k]);
    const std::size_t end = points.At(got.ends[k]);
    tokens[k] = NewTupleOf(
        token, {text_object.inc_ref().ptr(), PyLong_FromSize_t(start), PyLong_FromSize_t(end),
                classes[got.classes[k]].inc_ref().ptr(),
                (got.normalized[k] ? pyb::handle(text_object) : pyb::none()).inc_ref().ptr()});
  }
  auto slice = [&tokens](std::size_t a, std::size_t b) {
    pyb::list list(b - a);
    for (std::size_t k = a; k < b; ++k)
      PyList_SET_ITEM(list.ptr(), k - a, tokens[k].release().ptr());
    return list;
  };
  if (!sentences) return slice(0, n);
  pyb::list result(got.sentence_ends.size());
  std::size_t at = 0;
  for (std::size_t s = 0; s < got.sentence_ends.size(); ++s) {
    PyList_SET_ITEM(result.ptr(), s, slice(at, got.sentence_ends[s]).release().ptr());
    at = got.sentence_ends[s];
  }
  return result;
}

}  // namespace vtm::py
