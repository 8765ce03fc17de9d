// vtmrt.Tokenizer: running text or HTML into tokens and sentences with a tokenizer
// transducer (by default the bundled en-brown) through the command line's token stream,
// so tokens and sentences are those of `vtm tokenize`. Tested by
// python/tests/test_tokenizer.py.
#pragma once

#include <pybind11/pybind11.h>

#include <memory>
#include <shared_mutex>
#include <string>
#include <vector>

#include "pool.h"
#include "token_stream.h"
#include "vtmrt.h"

namespace vtm::py {

// One library tokenizer: a work object for one thread at a time.
struct TokenizerHandle {
  explicit TokenizerHandle(VtmTokenizer t) : tokenizer(t) {}
  ~TokenizerHandle() { vtm_free_tokenizer(tokenizer); }
  VtmTokenizer tokenizer;
};

// The UTF-8 bytes of a str that can be tokenized (every character in Windows-1252, no
// NUL); raises EncodingError, TextError or ArgumentTypeError otherwise. The bytes belong
// to `text`. Needs the GIL.
std::string_view TokenizableText(pybind11::handle text);

class Tokenizer {
 public:
  // `path`: the tokenizer transducer (None: the bundled en-brown); `html_tags`: the HTML
  // tag dictionary entry file (None: the bundled html-tags.txt).
  Tokenizer(pybind11::object path, pybind11::object html_tags);
  ~Tokenizer();
  Tokenizer(const Tokenizer&) = delete;
  Tokenizer& operator=(const Tokenizer&) = delete;

  // The tokens of `text`, as a list of vtmrt.Token.
  pybind11::list Tokenize(pybind11::handle text, bool html);
  // Its sentences, as lists of vtmrt.Token.
  pybind11::list Sentences(pybind11::handle text, bool html);
  // Frees the tokenizer after the calls running in other threads. Idempotent.
  void Close();
  bool closed();
  const std::string& path() const { return path_; }

  // Holds the tokenizer open and a library tokenizer for this thread while alive;
  // tokenizer() is nullptr once closed, or when none could be made (code() says why).
  // Taken without the GIL.
  class Use {
   public:
    explicit Use(Tokenizer& owner);
    VtmTokenizer tokenizer() const { return taken_.get() ? taken_.get()->tokenizer : nullptr; }
    bool open() const { return open_; }
    int code() const { return code_; }

   private:
    std::shared_lock<std::shared_mutex> lock_;
    bool open_;
    int code_ = 0;
    Taken<TokenizerHandle> taken_;
  };

  // Raises the error of a failed Use (needs the GIL).
  [[noreturn]] static void RaiseUse(const Use& use);

 private:
  pybind11::list Run(pybind11::handle text, bool html, bool sentences);

  std::shared_mutex lock_;
  VtmFsm fsm_ = nullptr;
  VtmClientDict dict_ = nullptr;
  Pool<TokenizerHandle> tokenizers_;
  std::string path_;
};

// Issues the token stream's messages about lost input as vtmrt.TextWarning warnings.
// Needs the GIL.
void WarnMessages(const std::vector<std::string>& messages);

}  // namespace vtm::py
