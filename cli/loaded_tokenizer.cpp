// Opening the tokenizer and its HTML tag dictionary (see loaded_tokenizer.h).
#include "loaded_tokenizer.h"

#include <cstdio>

#include "default_transducer.h"
#include "library_message.h"
#include "word_command.h"

namespace vtm::cli {

LoadedTokenizer::~LoadedTokenizer() {
  vtm_free_tokenizer(tokenizer_);
  vtm_free_client_dict(dict_);
  vtm_free_fsm(fsm_);
}

bool LoadedTokenizer::Open(const char* command, const std::string& transducer,
                           const char* transducer_option, const std::string& tags,
                           const char* tags_option, bool html) {
  const std::string path = ResolveData(command, transducer, kDefaultTokenizer, transducer_option);
  if (path.empty()) return false;
  std::string tags_path;
  if (html || !tags.empty()) {
    tags_path = ResolveData(command, tags, kDefaultHtmlTags, tags_option);
    if (tags_path.empty()) return false;
  }
  vtm_init_library();
  fsm_ = vtm_make_fsm(path.c_str());
  int code = vtm_object_error_code(fsm_);
  if (code < 0) {
    std::fprintf(stderr, "vtm %s: %s: %s\n", command, path.c_str(), LibraryMessage(code).c_str());
    fsm_ = nullptr;
    return false;
  }
  if (!tags_path.empty()) {
    dict_ = vtm_make_client_dict(0, 0);
    if (vtm_object_error_code(dict_) < 0) {
      dict_ = nullptr;
      return false;
    }
    if (LoadDictionary(command, tags_path, dict_) != 0) return false;
  }
  tokenizer_ = vtm_make_tokenizer(fsm_, 0, dict_);
  code = vtm_object_error_code(tokenizer_);
  if (code < 0) {
    std::fprintf(stderr, "vtm %s: %s: %s\n", command, path.c_str(), LibraryMessage(code).c_str());
    tokenizer_ = nullptr;
    return false;
  }
  return true;
}

}  // namespace vtm::cli
