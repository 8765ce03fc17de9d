// Trie networks and the page-by-page expansion runner (see expand_fixtures.h).
#include "support/expand_fixtures.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>

namespace vtm::test {

std::vector<uint8_t> WordCodes(const std::string& word) {
  std::vector<uint8_t> codes;
  for (char c : word) {
    if (c >= 'A' && c <= 'Z') {
      codes.push_back(kEsc);
      codes.push_back(C(static_cast<char>(c - 'A' + 'a')));
    } else {
      codes.push_back(C(c));
    }
  }
  return codes;
}

namespace {

struct TrieNode {
  bool final = false;
  std::map<uint8_t, std::unique_ptr<TrieNode>> arcs;
};

void EmitList(const TrieNode& node, std::vector<uint8_t>& net) {
  if (node.arcs.empty()) {
    net.push_back(0);
    return;
  }
  std::size_t k = 0;
  for (const auto& [code, child] : node.arcs) {
    ++k;
    net.push_back(Lb(code, child->final, k < node.arcs.size()));
    EmitList(*child, net);
  }
}

// Length in symbols: one per letter (a capital's escape code does not count).
int SymbolLength(const std::string& word) {
  return static_cast<int>(word.size());
}

}  // namespace

std::vector<uint8_t> TrieNetwork(const std::vector<std::string>& words) {
  TrieNode root;
  for (const std::string& word : words) {
    TrieNode* node = &root;
    for (uint8_t code : WordCodes(word)) {
      auto& next = node->arcs[code];
      if (!next) next = std::make_unique<TrieNode>();
      node = next.get();
    }
    node->final = true;
  }
  std::vector<uint8_t> net = {Lb(kEps, root.final)};
  EmitList(root, net);
  return net;
}

std::vector<std::string> Expected(const std::vector<std::string>& words,
                                  const std::string& fragment, int skip, int min_length,
                                  int max_length) {
  std::vector<std::string> out;
  for (const std::string& word : words) {
    const int length = SymbolLength(word);
    if (length < min_length || length >= max_length) continue;
    // An empty fragment is matched at once, whatever the skip count.
    if (fragment.empty()) skip = 0;
    if (word.size() < static_cast<std::size_t>(skip) + fragment.size()) continue;
    if (word.compare(static_cast<std::size_t>(skip), fragment.size(), fragment) != 0) continue;
    out.push_back(word);
  }
  return out;
}

std::vector<Page> ExpandPages(const VtmFsmRec* fsm, const std::string& fragment,
                              const ExpandCall& call, int page_size) {
  VtmLookupBuffer buffer =
      vtmMakeLookupBuffer(call.coded_input, call.coded_output, call.stack_entries, 0, 0, 0);
  EXPECT_EQ(vtm_object_error_code(buffer), 0);
  std::vector<Page> pages;
  auto* fsm_handle = const_cast<VtmFsmRec*>(fsm);
  for (int k = 0; k < 100000; ++k) {
    std::vector<char> output(static_cast<std::size_t>(page_size) + 1, 'X');
    Page page;
    page.rc = vtmExpandByteStringPartialWord(k == 0 ? fragment.c_str() : nullptr, output.data(),
                                             page_size, buffer, call.skip, call.min_length,
                                             call.max_length, k == 0 ? 0 : 1, 0, fsm_handle);
    page.cursor = vtmLookupBufferCursor(buffer);
    page.result_count = vtmLookupBufferResultCount(buffer);
    // The output's last byte, and anything past it, is never written.
    if (page_size > 0) {
      EXPECT_EQ(output[static_cast<std::size_t>(page_size) - 1], 'X');
    }
    EXPECT_EQ(output[static_cast<std::size_t>(page_size)], 'X');
    int at = 0;
    for (int r = 0; r < page.result_count && at < page_size; ++r) {
      page.results.emplace_back(output.data() + at);
      at += static_cast<int>(page.results.back().size()) + 1;
    }
    if (page.rc >= 0 || page.rc == VTM_ERR_MORE_RESULTS) {
      EXPECT_EQ(at, page.cursor);
    }
    pages.push_back(page);
    if (page.rc != VTM_ERR_MORE_RESULTS) break;
  }
  vtmFreeLookupBuffer(buffer);
  return pages;
}

std::vector<std::string> Concatenate(const std::vector<Page>& pages) {
  std::vector<std::string> all;
  for (const Page& page : pages) all.insert(all.end(), page.results.begin(), page.results.end());
  return all;
}

}  // namespace vtm::test
