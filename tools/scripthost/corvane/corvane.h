// Interface of the server's main library as the script host sees it: the program's
// instance handle, the command-line splitter, and the embedded interpreter, whose own
// start-up operations (Py_Initialize, PyImport_FrozenModules, ...) the library exports
// under the interpreter's names and whose declarations come from the interpreter's header.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#define CORVANE_API __attribute__((visibility("default")))

#ifdef __cplusplus
extern "C" {
#endif

// The running program's instance handle; the host sets it before anything else.
CORVANE_API extern void* HInstance;

// Flag for parseCmdLine: strip the quoting and backslash escapes from each word.
#define CORVANE_CMDLINE_UNQUOTE 1

// Splits `cmdLine` in place into at most `maxWords` words by the quoting rules of a
// Windows command line: words are separated by spaces and tabs; double quotes group
// text containing them; 2n backslashes before a quote give n backslashes and the quote
// opens or closes a group, 2n+1 give n backslashes and a literal quote; "" inside a group
// is a literal quote; other backslashes are literal. Without CORVANE_CMDLINE_UNQUOTE in
// `flags` the words keep their quotes and backslashes as written. Words past `maxWords`
// are dropped. Stores the word pointers (into `cmdLine`) in `words`, their number in
// `*wordCount`, and returns that number.
CORVANE_API int parseCmdLine(char* cmdLine, int* wordCount, char** words, int maxWords, int flags);

#ifdef __cplusplus
}
#endif
