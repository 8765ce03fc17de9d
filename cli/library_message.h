// Text of a library error code for the `vtm` subcommands' messages. Tested through the
// subcommands (tests/cli/vtm_cli_test.sh: damaged transducers).
#pragma once

#include <string>

namespace vtm::cli {

// The library's message for `code`; the walk's codes below -60, which the library gives
// no message of its own, get a text that says what happened.
std::string LibraryMessage(int code);

}  // namespace vtm::cli
