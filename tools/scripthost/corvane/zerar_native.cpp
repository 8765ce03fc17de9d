// The native module `zerar_native` that the server library adds to its interpreter.
// message_box(text) shows the text in a modal window with an OK button (zenity) when a
// display is available, and writes it with a closing newline to standard output otherwise
// or when the window cannot be shown. It returns once the text has been shown.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "corvane.h"

extern char** environ;

namespace {

bool HasDisplay() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return true;
  }
  return false;
}

// Runs zenity and waits for the user to close it. False when it could not be started or
// reported that it could not open its window (status other than OK or closed).
bool ShowWindow(const std::string& text) {
  std::string shown = text;
  for (char& c : shown) {
    if (c == '\0') c = ' ';  // an argument ends at the first NUL
  }
  char prog[] = "zenity";
  char info[] = "--info";
  char plain[] = "--no-markup";
  char title[] = "--title=Corvane Server";
  char textFlag[] = "--text";
  char* argv[] = {prog, info, plain, title, textFlag, shown.data(), nullptr};
  pid_t pid = 0;
  if (posix_spawnp(&pid, prog, nullptr, nullptr, argv, environ) != 0) return false;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return false;
  }
  // zenity: 0 OK pressed, 1 window closed; anything else is a failure to show.
  return WIFEXITED(status) && (WEXITSTATUS(status) == 0 || WEXITSTATUS(status) == 1);
}

// Calls `object.method(arg)`, or `object.method()` without `arg`; false with the
// exception set when it raised.
bool CallMethod(PyObject* object, const char* method, PyObject* arg = nullptr) {
  PyObject* name = PyUnicode_FromString(method);
  if (name == nullptr) return false;
  PyObject* result = arg != nullptr ? PyObject_CallMethodOneArg(object, name, arg)
                                    : PyObject_CallMethodNoArgs(object, name);
  Py_DECREF(name);
  Py_XDECREF(result);
  return result != nullptr;
}

// Writes the text and a newline through the interpreter's standard output, so that it
// keeps its place among the script's own output and follows the interpreter's buffering
// (none under PYTHONUNBUFFERED). The bytes go to the binary layer, so paths that are not
// valid in the locale's encoding come out as they are on disk. False with an exception
// set when writing failed.
bool WriteToStdout(PyObject* text, const std::string& bytes) {
  PyObject* out = PySys_GetObject("stdout");  // borrowed
  if (out == nullptr || out == Py_None) {
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    std::fputc('\n', stdout);
    return true;
  }
  PyObject* binary = PyObject_GetAttrString(out, "buffer");
  bool ok = false;
  if (binary == nullptr) {  // a text-only stream put in place by the script
    PyErr_Clear();
    PyObject* line = PyUnicode_FromFormat("%U\n", text);
    ok = line != nullptr && CallMethod(out, "write", line);
    Py_XDECREF(line);
    return ok;
  }
  const std::string line = bytes + '\n';
  PyObject* data = PyBytes_FromStringAndSize(line.data(), static_cast<Py_ssize_t>(line.size()));
  if (data != nullptr && CallMethod(out, "flush") && CallMethod(binary, "write", data)) {
    // A line-buffered stream (a terminal) shows each line at once.
    PyObject* lineBuffered = PyObject_GetAttrString(out, "line_buffering");
    if (lineBuffered == nullptr) {
      PyErr_Clear();
      ok = true;
    } else {
      ok = !PyObject_IsTrue(lineBuffered) || CallMethod(binary, "flush");
      Py_DECREF(lineBuffered);
    }
  }
  Py_XDECREF(data);
  Py_DECREF(binary);
  return ok;
}

PyObject* MessageBox(PyObject*, PyObject* args) {
  PyObject* text = nullptr;
  if (!PyArg_ParseTuple(args, "U:message_box", &text)) return nullptr;
  // File-system encoding with surrogate escapes: paths read from disk come back unchanged.
  PyObject* encoded = PyUnicode_EncodeFSDefault(text);
  if (encoded == nullptr) return nullptr;
  const std::string bytes(PyBytes_AS_STRING(encoded),
                          static_cast<size_t>(PyBytes_GET_SIZE(encoded)));
  Py_DECREF(encoded);
  bool shown = false;
  if (HasDisplay()) {
    Py_BEGIN_ALLOW_THREADS;
    shown = ShowWindow(bytes);
    Py_END_ALLOW_THREADS;
  }
  if (!shown && !WriteToStdout(text, bytes)) return nullptr;
  Py_RETURN_NONE;
}

PyMethodDef kMethods[] = {
    {"message_box", MessageBox, METH_VARARGS, "message_box(text): show text to the user."},
    {nullptr, nullptr, 0, nullptr},
};

PyModuleDef kModule = {
    PyModuleDef_HEAD_INIT,
    "zerar_native",
    "Native services of the Corvane server.",
    -1,
    kMethods,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
};

PyObject* InitModule() {
  return PyModule_Create(&kModule);
}

// Registered when the library is loaded, so it is in place before any Py_Initialize.
__attribute__((constructor)) void RegisterModule() {
  PyImport_AppendInittab("zerar_native", InitModule);
}

}  // namespace
