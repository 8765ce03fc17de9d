// Text of a library error code (library_message.h).
#include "library_message.h"

#include "vtmrt.h"

namespace vtm::cli {

std::string LibraryMessage(int code) {
  if (code == VTM_ERR_WALK_LIMIT) {
    return "the walk over the network took more steps than a sound transducer needs; the "
           "transducer is damaged";
  }
  char text[256] = {0};
  if (vtm_error_message(code, text, sizeof text) < 0) return "error " + std::to_string(code);
  return text;
}

}  // namespace vtm::cli
