// `vtm complete`: prefix (or, with --skip, infix) completion. Reads one fragment per line
// and prints the words of the transducer's expansion function that hold it, one per
// line, in the transducer's order. The results come page by page through a fixed-size
// output buffer and the library's continuation, so any number of them passes through
// --page bytes of memory (a page too small for a single word is doubled for it).
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "default_transducer.h"
#include "library_message.h"
#include "line_reader.h"
#include "subcommands.h"
#include "text_edges.h"
#include "vtmrt.h"

namespace vtm::cli {
namespace {

struct CompleteArgs {
  std::string transducer;  // empty: the bundled English transducer
  int skip = 0;
  int min_length = 0;
  int max_length = 100;
  long long limit = 1000000;  // words listed per fragment; 0: no limit
  int page = 4096;
};

// Sizes of the lookup buffer: a fragment and a word of up to 1023 codes, and 4096
// pending alternatives.
constexpr int kCodedBytes = 1024;
constexpr int kStackEntries = 4096;
// A page grows (doubling) up to this size when a single word does not fit it.
constexpr std::size_t kLargestPage = std::size_t{1} << 24;

// Returned by CompleteOne when a fragment's listing reached --limit.
constexpr int kLimitReached = 1;

// Prints every completion of one fragment (cp1252) as UTF-8 lines, at most args.limit
// of them; returns 0, kLimitReached or the library's error code.
int CompleteOne(const std::string& fragment, const CompleteArgs& args, VtmLookupBuffer buffer,
                VtmFsm fsm, std::vector<char>& page, std::string& out) {
  bool continuing = false;
  long long listed = 0;
  for (;;) {
    const int r = vtmExpandByteStringPartialWord(
        continuing ? nullptr : fragment.c_str(), page.data(), static_cast<int>(page.size()), buffer,
        args.skip, args.min_length, args.max_length, continuing ? 1 : 0, 0, fsm);
    if (r == VTM_ERR_CLIENT_BUFFER_TOO_SMALL && page.size() < kLargestPage) {
      // One word longer than the page: the same step continues with a larger page.
      page.resize(2 * page.size());
      continuing = true;
      continue;
    }
    if (r < 0 && r != VTM_ERR_MORE_RESULTS) return r;
    int count = vtmLookupBufferResultCount(buffer);
    const bool cut = args.limit > 0 && listed + count > args.limit;
    if (cut) count = static_cast<int>(args.limit - listed);
    listed += count;
    const char* at = page.data();
    for (int k = 0; k < count; ++k) {
      const std::string word(at);
      AppendCodePageAsUtf8(word, &out);
      out += '\n';
      at += word.size() + 1;
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    out.clear();
    if (cut) return kLimitReached;
    if (r != VTM_ERR_MORE_RESULTS) return 0;
    continuing = true;
  }
}

int RunComplete(const CompleteArgs& args) {
  std::string path = args.transducer;
  if (path.empty()) {
    path = FindDefaultTransducer();
    if (path.empty()) {
      std::fprintf(stderr, "vtm complete: no -t given and no bundled English transducer\n");
      return kExitFailure;
    }
  }
  VtmFsm fsm = vtmOpenLexicalTransducer(path.c_str());
  if (int code = vtm_object_error_code(fsm); code != 0) {
    std::fprintf(stderr, "vtm complete: %s: %s\n", path.c_str(), LibraryMessage(code).c_str());
    return kExitFailure;
  }
  std::unique_ptr<VtmFsmRec, void (*)(VtmFsm)> fsm_owner(fsm, vtmCloseLexicalTransducer);
  VtmLookupBuffer buffer = vtmMakeLookupBuffer(kCodedBytes, kCodedBytes, kStackEntries, 0, 0, 0);
  if (vtm_object_error_code(buffer) != 0) {
    std::fprintf(stderr, "vtm complete: no memory for the lookup buffer\n");
    return kExitFailure;
  }
  std::unique_ptr<VtmLookupBufferRec, void (*)(VtmLookupBuffer)> buffer_owner(buffer,
                                                                              vtmFreeLookupBuffer);
  std::vector<char> page(static_cast<std::size_t>(args.page));
  std::string fragment, out;
  int status = kExitOk;
  // Problems with one line are reported by line number (the line itself may be huge or
  // binary) and the line is skipped.
  auto reject = [&status](std::size_t line_no, const std::string& why) {
    std::fprintf(stderr, "vtm complete: stdin:%zu: %s\n", line_no, why.c_str());
    status = kExitFailure;
  };
  LineReader reader(0);
  std::vector<std::string_view> lines;
  std::vector<std::size_t> too_long;
  std::size_t line_no = 0;
  while (reader.Next(&lines, &too_long)) {
    std::size_t skip = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      ++line_no;
      if (skip < too_long.size() && too_long[skip] == i) {
        ++skip;
        reject(line_no, "line longer than 1 MiB, skipped");
        continue;
      }
      std::string_view line = lines[i];
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      // The library reads a fragment up to its first NUL: cutting it there would list
      // the words of a shorter fragment.
      if (const std::size_t nul = line.find('\0'); nul != std::string_view::npos) {
        reject(line_no, "a NUL byte at byte " + std::to_string(nul + 1) + ", skipped");
        continue;
      }
      std::size_t where = 0;
      if (const EdgeStatus edge = Utf8ToCodePage(line, &fragment, &where);
          edge != EdgeStatus::kOk) {
        reject(line_no, edge == EdgeStatus::kInvalidUtf8
                            ? "invalid UTF-8 at byte " + std::to_string(where + 1)
                            : "character at byte " + std::to_string(where + 1) +
                                  " is not in Windows code page 1252");
        continue;
      }
      const int r = CompleteOne(fragment, args, buffer, fsm, page, out);
      if (r == VTM_ERR_CHAR_NOT_IN_ALPHABET) continue;  // no word holds such a fragment
      if (r == VTM_ERR_INVALID_FUNCTION) {
        std::fprintf(stderr, "vtm complete: %s has no expansion function (1)\n", path.c_str());
        return kExitFailure;
      }
      if (r == kLimitReached) {
        reject(line_no,
               "more than " + std::to_string(args.limit) + " words; the listing was cut (--limit)");
      } else if (r < 0) {
        reject(line_no, LibraryMessage(r));
      }
    }
  }
  if (reader.failed()) {
    std::fprintf(stderr, "vtm complete: stdin: read error: %s\n", std::strerror(errno));
    return kExitFailure;
  }
  return status;
}

}  // namespace

void AddCompleteCommand(CLI::App& app, int* status) {
  auto args = std::make_shared<CompleteArgs>();
  CLI::App* cmd = app.add_subcommand(
      "complete",
      "Complete word fragments: reads one fragment per line (UTF-8) from standard input and "
      "prints every word of the transducer's expansion function (1) that begins with it, or "
      "that holds it after --skip letters, one per line.");
  cmd->add_option("-t,--transducer", args->transducer,
                  "Transducer file (default: the bundled English transducer)");
  cmd->add_option("--skip", args->skip, "Letters before the fragment (0: prefix completion)")
      ->check(CLI::NonNegativeNumber);
  cmd->add_option("--min", args->min_length, "Shortest word listed, in letters")
      ->check(CLI::NonNegativeNumber);
  cmd->add_option("--max", args->max_length,
                  "Words of this many letters or more are not listed (bounds the search; "
                  "default 100)")
      ->check(CLI::NonNegativeNumber);
  cmd->add_option("--limit", args->limit,
                  "Most words listed for one fragment (default 1000000; 0: no limit). A "
                  "listing cut here is reported and makes the exit status 1: a lexicon whose "
                  "words have no end (a damaged or cyclic transducer) ends all the same")
      ->check(CLI::NonNegativeNumber);
  cmd->add_option("--page", args->page,
                  "Bytes of the output buffer the results come through, page by page "
                  "(doubled for a word that does not fit)")
      ->check(CLI::Range(2, 1 << 24));
  cmd->callback([args, status] { *status = RunComplete(*args); });
}

}  // namespace vtm::cli
