// Test helper: looks up every line of standard input (UTF-8) in a transducer file and
// prints "line<TAB>result1|result2|..." with the results in UTF-8, sorted bytewise.
// Usage: vtm_lookup_words FILE MODE   (MODE as for vtm_lookup_with_transduction, e.g. 2
// for analysis, 8 for generation). Lines that cannot be coded in Windows-1252 get no
// results. Exit status 1 when a lookup fails with an error.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "cp1252.h"
#include "vtmrt.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s FILE MODE < lines\n", argv[0]);
    return 2;
  }
  VtmFsm fsm = vtm_make_fsm(argv[1]);
  if (int code = vtm_object_error_code(fsm); code < 0) {
    std::fprintf(stderr, "%s: cannot load (%d)\n", argv[1], code);
    return 1;
  }
  const int mode = std::atoi(argv[2]);
  std::vector<char> buffer(1 << 16);
  std::string line;
  int status = 0;
  while (std::getline(std::cin, line)) {
    std::vector<std::string> results;
    if (auto word = vtm::compiler::Utf8ToCp1252(line); word && !word->empty()) {
      int n;
      while ((n = vtm_lookup_with_transduction(word->c_str(), 2147483647, buffer.data(),
                                               static_cast<int>(buffer.size()), mode, fsm, nullptr,
                                               0)) == -12 &&
             buffer.size() < (1u << 26))
        buffer.resize(buffer.size() * 2);
      if (n < 0) {
        std::fprintf(stderr, "%s: lookup error %d\n", line.c_str(), n);
        status = 1;
        n = 0;
      }
      const char* p = buffer.data();
      for (int i = 0; i < n; ++i) {
        std::string r(p);
        p += r.size() + 1;
        results.push_back(vtm::compiler::Cp1252ToUtf8(r));
      }
    }
    std::sort(results.begin(), results.end());
    std::string out = line + "\t";
    for (std::size_t i = 0; i < results.size(); ++i) out += (i ? "|" : "") + results[i];
    std::puts(out.c_str());
  }
  vtm_free_fsm(fsm);
  return status;
}
