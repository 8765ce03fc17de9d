// Command-line splitter of the server library: one command line into words, in place,
// by the quoting rules of a Windows command line (see corvane.h).
#include "corvane.h"

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

}  // namespace

extern "C" CORVANE_API int parseCmdLine(char* cmdLine, int* wordCount, char** words, int maxWords,
                                        int flags) {
  int count = 0;
  const bool unquote = (flags & CORVANE_CMDLINE_UNQUOTE) != 0;
  char* in = cmdLine;
  // The write position never passes the read position: unquoting only drops bytes.
  while (in != nullptr && count < maxWords) {
    while (IsBlank(*in)) ++in;
    if (*in == '\0') break;
    char* out = in;
    words[count++] = out;
    bool grouped = false;
    while (*in != '\0' && (grouped || !IsBlank(*in))) {
      if (*in == '\\') {
        char* run = in;
        while (*in == '\\') ++in;
        const long slashes = in - run;
        if (!unquote) {
          while (run < in) *out++ = *run++;
          if (*in == '"' && slashes % 2 == 1) *out++ = *in++;  // escaped quote, no toggle
        } else if (*in == '"') {
          for (long i = 0; i < slashes / 2; ++i) *out++ = '\\';
          if (slashes % 2 == 1) *out++ = *in++;  // literal quote
        } else {
          for (long i = 0; i < slashes; ++i) *out++ = '\\';
        }
      } else if (*in == '"') {
        if (grouped && in[1] == '"') {
          if (!unquote) *out++ = *in;
          *out++ = '"';
          in += 2;
        } else {
          grouped = !grouped;
          if (!unquote) *out++ = '"';
          ++in;
        }
      } else {
        *out++ = *in++;
      }
    }
    const bool more = *in != '\0';
    *out = '\0';  // may overwrite the separator at `in` itself when nothing was dropped
    if (more) ++in;
  }
  if (wordCount != nullptr) *wordCount = count;
  return count;
}
