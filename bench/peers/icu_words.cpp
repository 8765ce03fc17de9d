// Peer for the tokenizer benchmark: ICU's word break iterator over a UTF-8 file, one
// line per word-like segment (offset, length) to standard output, the output shape of
// `vtm tokenize`. Built and run by bench/tokenize_peers.sh.
#include <unicode/brkiter.h>
#include <unicode/utext.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  std::ifstream in(argv[1], std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  const std::string s = text.str();
  UErrorCode status = U_ZERO_ERROR;
  UText* ut = utext_openUTF8(nullptr, s.data(), static_cast<int64_t>(s.size()), &status);
  std::unique_ptr<icu::BreakIterator> words(
      icu::BreakIterator::createWordInstance(icu::Locale::getEnglish(), status));
  if (U_FAILURE(status)) return 1;
  words->setText(ut, status);
  std::string out;
  char line[48];
  int32_t start = words->first();
  for (int32_t end = words->next(); end != icu::BreakIterator::DONE;
       start = end, end = words->next()) {
    if (words->getRuleStatus() == UBRK_WORD_NONE) continue;
    const int n = std::snprintf(line, sizeof line, "%d\t%d\n", start, end - start);
    out.append(line, static_cast<std::size_t>(n));
    if (out.size() > (1 << 16)) {
      std::fwrite(out.data(), 1, out.size(), stdout);
      out.clear();
    }
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  utext_close(ut);
  return 0;
}
