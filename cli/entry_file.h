// Loading a client dictionary entry file written in UTF-8 (the HTML tag dictionary of
// the tokenizer, the --dict of `vtm lookup`), shared by the command line and the Python
// package. Tested by tests/cli/vtm_cli_test.sh (--dict) and python/tests/test_tokenizer.py.
#pragma once

#include <string>

#include "vtmrt.h"

namespace vtm::cli {

// Loads the entries of `path` into `dict`. False with "<path>: <reason>" in *error.
bool LoadEntryFile(const std::string& path, VtmClientDict dict, std::string* error);

}  // namespace vtm::cli
