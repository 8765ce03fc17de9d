// Fuzz target of the tagger model loader: every input is written to a file and loaded
// against the class transducer named by FUZZ_TAGGER_FSM; a model that loads is checked
// for the loader's promises and then tags a few sentences.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "require.h"
#include "scratch_dir.h"
#include "tagger/tagger.h"
#include "vtmrt.h"

namespace {

using vtm::fuzz::Require;

VtmFsm g_fsm = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const char* path = std::getenv("FUZZ_TAGGER_FSM");
  g_fsm = vtm_make_fsm(path != nullptr ? path : "class.vtm");
  Require(vtm_object_error_code(g_fsm) == 0, "FUZZ_TAGGER_FSM names a class transducer");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string name = vtm::fuzz::ScratchDir() + "/model.XXXXXX";
  int fd = mkstemp(name.data());
  if (fd < 0) return 0;
  if (write(fd, data, size) != static_cast<ssize_t>(size)) {
    close(fd);
    unlink(name.c_str());
    return 0;
  }
  close(fd);
  VtmTagger t = vtm_make_tagger(name.c_str(), g_fsm);
  unlink(name.c_str());
  const int code = vtm_object_error_code(t);
  if (code != 0) {
    Require(code < 0, "a failure is a negative code");
    return 0;
  }
  Require(t->tag_count > 0 && t->class_count > 0, "counts");
  for (uint32_t c = 0; c < t->class_count; ++c) {
    Require(t->class_sizes[c] >= 1 && t->class_sizes[c] <= t->max_class_size, "class size");
    for (uint32_t j = 0; j < t->class_sizes[c]; ++j) {
      Require(t->class_tags[c][j] >= 0 && t->class_tags[c][j] < t->tag_count, "member tag");
    }
  }
  for (int k = 0; k < t->tag_count; ++k) {
    Require(t->transition_lengths[k] >= 0 && t->transition_lengths[k] <= t->tag_count, "row");
  }
  if (t->max_class_size <= 4096) {
    VtmTaggerBuffer b = vtmMakeTaggerBuffer(16, 64, t);
    if (vtm_object_error_code(b) == 0) {
      static const char tokens[] = "The\0dog\0barks\0in\0spite\0of\0NATO\0quickly\0";
      char out[512];
      for (int flags : {1, 7, 15}) {
        const int r = vtm_tag_sentence(tokens, 8, out, sizeof out, flags, t, b, nullptr, 0);
        Require(r == 8 || r < 0, "result is the count or an error");
      }
      vtmFreeTaggerBuffer(b);
    }
  }
  vtm_free_tagger(t);
  return 0;
}
