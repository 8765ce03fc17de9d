// Fixtures for partial-word expansion and token breaking: a trie network built from a
// word list (the word list is then the test's independent reference), and a runner that
// expands a fragment page by page through a lookup buffer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/lookup_fixtures.h"

namespace vtm::test {

// Codes of a word in the lookup test alphabet: a lower-case letter is its code, a capital
// letter the escape code and then its lower-case code. No NUL.
std::vector<uint8_t> WordCodes(const std::string& word);

// The network of a trie over the words' codes, written inline (no references): the entry
// label (final when "" is a word), then each state's arcs in code order, each arc's target
// list right after it, 0 for a state without arcs.
std::vector<uint8_t> TrieNetwork(const std::vector<std::string>& words);

// Reference: the words (in the given order) that hold `fragment` after exactly `skip`
// symbols and whose length in symbols is in [min_length, max_length). An empty fragment
// is matched before any symbol, so every word within the limits holds it.
std::vector<std::string> Expected(const std::vector<std::string>& words,
                                  const std::string& fragment, int skip, int min_length,
                                  int max_length);

struct ExpandCall {
  int skip = 0;
  int min_length = 0;
  int max_length = 1000;
  int coded_input = 64;
  int coded_output = 64;
  int stack_entries = 64;
};

struct Page {
  int rc = 0;
  int cursor = 0;
  int result_count = 0;
  std::vector<std::string> results;  // result_count texts read from the output
};

// Makes a lookup buffer for `call`, expands `fragment` and continues while the call
// returns VTM_ERR_MORE_RESULTS, with an output of `page_size` bytes each time. Checks on
// every page that nothing is written at or past the output's last byte and that the
// cursor covers exactly the results. Stops at the first other result.
std::vector<Page> ExpandPages(const VtmFsmRec* fsm, const std::string& fragment,
                              const ExpandCall& call, int page_size);

// All results of the pages, in order.
std::vector<std::string> Concatenate(const std::vector<Page>& pages);

}  // namespace vtm::test
