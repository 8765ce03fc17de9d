// Script host of the installed-file tools: starts the interpreter carried by the server
// library `corvane` and runs the program's main module from the stored-module table that
// is linked into each program. The programs differ only in that table.
//
// Exit status: 0 when the main module ran without an exception, 1 when an exception
// escaped it (printed with its traceback on standard error); after an interactive session
// (PYTHONINSPECT on a terminal), 0 or 1 by that session's result.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "corvane.h"

// The program's stored modules; the list ends with an entry whose name is null.
extern "C" const struct _frozen vtm_stored_modules[];

// Start of the program's image, which stands for its instance handle.
extern "C" char __executable_start;

namespace {

constexpr int kMaxWords = 20;

bool EnvSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

// Appends one word so that the command-line splitter gives it back unchanged.
void AppendQuoted(std::string& line, const std::string& word) {
  if (!line.empty()) line += ' ';
  if (!word.empty() && word.find_first_of(" \t\n\v\"") == std::string::npos) {
    line += word;
    return;
  }
  line += '"';
  size_t slashes = 0;
  for (char c : word) {
    if (c == '\\') {
      ++slashes;
      continue;
    }
    // Backslashes before a quote are doubled, and the quote itself escaped.
    line.append(c == '"' ? 2 * slashes + 1 : slashes, '\\');
    line += c;
    slashes = 0;
  }
  line.append(2 * slashes, '\\');  // before the closing quote
  line += '"';
}

// The script's argument list: the command line's words, the program name first.
PyObject* MakeArgumentList(char** words, int wordCount) {
  PyObject* list = PyList_New(0);
  if (list == nullptr) return nullptr;
  for (int i = 0; i < wordCount; ++i) {
    PyObject* item = PyUnicode_DecodeFSDefault(words[i]);
    if (item == nullptr || PyList_Append(list, item) < 0) {
      Py_XDECREF(item);
      Py_DECREF(list);
      return nullptr;
    }
    Py_DECREF(item);
  }
  return list;
}

}  // namespace

int main(int argc, char** argv) {
  HInstance = &__executable_start;

  // The system hands the words over already split; they are joined back into a command
  // line, program name first, and split by the library, so the word limit (which counts the
  // program name) and the quoting rules are the same as on a system that hands over a single
  // command line.
  std::string line;
  AppendQuoted(line, argc > 0 && argv[0] != nullptr ? argv[0] : "");
  for (int i = 1; i < argc; ++i) AppendQuoted(line, argv[i]);
  char* words[kMaxWords] = {};
  int wordCount = 0;
  parseCmdLine(line.data(), &wordCount, words, kMaxWords, CORVANE_CMDLINE_UNQUOTE);

  const bool inspect = EnvSet("PYTHONINSPECT");
  const bool unbuffered = EnvSet("PYTHONUNBUFFERED");
  if (unbuffered) {
    std::setvbuf(stdin, nullptr, _IONBF, 0);
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    std::setvbuf(stderr, nullptr, _IONBF, 0);
  }
  // The interpreter reads none of the PYTHON* variables itself: the host honours the two
  // above and nothing else. So PYTHONPATH or PYTHONHOME cannot put modules from elsewhere
  // in place of the ones the tool was built with, and PYTHONINSPECT does not keep the
  // interpreter from ending on SystemExit: a script's SystemExit ends the program with its
  // status, and so does sys.exit() typed in the interactive session below.
  Py_IgnoreEnvironmentFlag = 1;
  Py_UnbufferedStdioFlag = unbuffered ? 1 : 0;

  PyImport_FrozenModules = vtm_stored_modules;
  Py_Initialize();
  // sys.argv is set directly: unlike PySys_SetArgv this adds no directory to the module
  // search path, from which a planted file could shadow a standard module.
  PyObject* arguments = MakeArgumentList(words, wordCount);
  if (arguments == nullptr || PySys_SetObject("argv", arguments) < 0) {
    Py_FatalError("cannot set the argument list");
  }
  Py_DECREF(arguments);

  int status = 0;
  const int ran = PyImport_ImportFrozenModule("__main__");
  if (ran == 0) Py_FatalError("__main__ not frozen");
  if (ran < 0) {
    PyErr_Print();
    status = 1;
  }
  if (inspect && isatty(fileno(stdin))) status = PyRun_AnyFile(stdin, "<stdin>") != 0 ? 1 : 0;
  Py_Finalize();
  return status;
}
