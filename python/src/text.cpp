// Conversion in both directions goes through the command line's edge functions
// (cli/text_edges), with a fast path for the common case of all-ASCII text, which is the
// same bytes in UTF-8, Latin-1 and cp1252.
#include "text.h"

#include <cstring>

#include "errors.h"
#include "text_edges.h"
#include "vtmrt.h"

namespace vtm::py {

namespace pyb = pybind11;

namespace {

// Index in code points of the UTF-8 byte offset `where` of `utf8`.
std::size_t CodePointIndex(std::string_view utf8, std::size_t where) {
  std::size_t index = 0;
  for (std::size_t i = 0; i < where && i < utf8.size(); ++i)
    if ((static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80) ++index;
  return index;
}

std::string Describe(pyb::handle text, std::size_t index) {
  PyObject* ch = PySequence_GetItem(text.ptr(), static_cast<Py_ssize_t>(index));
  std::string shown = "?";
  if (ch != nullptr) {
    pyb::object c = pyb::reinterpret_steal<pyb::object>(ch);
    shown = pyb::str(pyb::repr(c));
    char hex[16];
    std::snprintf(hex, sizeof hex, " (U+%04X)", static_cast<unsigned>(PyUnicode_ReadChar(ch, 0)));
    shown += hex;
  }
  return shown + " at index " + std::to_string(index);
}

void CheckNul(const std::string& bytes) {
  const void* nul = std::memchr(bytes.data(), 0, bytes.size());
  if (nul == nullptr) return;
  // In cp1252 every character is one byte: the byte offset is the index in the str.
  const std::size_t index = static_cast<const char*>(nul) - bytes.data();
  Raise(VTM_ERR_CHAR_NOT_IN_ALPHABET, "NUL character at index " + std::to_string(index),
        kTextError);
}

}  // namespace

void ToCodePage(pyb::handle text, const char* what, std::string* out) {
  if (!PyUnicode_Check(text.ptr())) {
    Raise(VTM_ERR_NULL_OBJECT,
          std::string(what) + " must be str, not " + Py_TYPE(text.ptr())->tp_name,
          kArgumentTypeError);
  }
  if (PyUnicode_IS_ASCII(text.ptr())) {
    out->assign(static_cast<const char*>(PyUnicode_DATA(text.ptr())),
                static_cast<std::size_t>(PyUnicode_GET_LENGTH(text.ptr())));
    CheckNul(*out);
    return;
  }
  Py_ssize_t size = 0;
  const char* utf8 = PyUnicode_AsUTF8AndSize(text.ptr(), &size);
  if (utf8 == nullptr) {
    PyErr_Clear();  // a lone surrogate: not text any encoding can hold
    Raise(VTM_ERR_CHAR_NOT_IN_ALPHABET, std::string(what) + " is not valid Unicode text",
          kEncodingError);
  }
  const std::string_view view(utf8, static_cast<std::size_t>(size));
  std::size_t where = 0;
  if (cli::Utf8ToCodePage(view, out, &where) != cli::EdgeStatus::kOk) {
    Raise(VTM_ERR_CHAR_NOT_IN_ALPHABET,
          std::string(what) + ": " + Describe(text, CodePointIndex(view, where)) +
              " has no Windows-1252 code",
          kEncodingError);
  }
  CheckNul(*out);
}

std::string FilePath(pyb::handle path, const char* what, std::string* shown) {
  if (!pyb::isinstance<pyb::str>(path) && !pyb::isinstance<pyb::bytes>(path) &&
      !pyb::hasattr(path, "__fspath__")) {
    Raise(VTM_ERR_NULL_OBJECT,
          std::string(what) + " must be str, bytes or os.PathLike, not " +
              Py_TYPE(path.ptr())->tp_name,
          kArgumentTypeError);
  }
  pyb::module_ os = pyb::module_::import("os");
  std::string encoded = os.attr("fsencode")(path).cast<std::string>();
  *shown = pyb::str(os.attr("fsdecode")(path));
  if (encoded.find('\0') != std::string::npos)
    Raise(VTM_ERR_FILE_OPEN, std::string(what) + " holds a NUL character", kArgumentError);
  return encoded;
}

pyb::str FromCodePage(std::string_view bytes) {
  PyObject* result;
  if (cli::IsAscii(bytes)) {
    result = PyUnicode_FromKindAndData(PyUnicode_1BYTE_KIND, bytes.data(),
                                       static_cast<Py_ssize_t>(bytes.size()));
  } else {
    std::string utf8;
    cli::AppendCodePageAsUtf8(bytes, &utf8);
    result = PyUnicode_FromStringAndSize(utf8.data(), static_cast<Py_ssize_t>(utf8.size()));
  }
  if (result == nullptr) throw pyb::error_already_set();
  return pyb::reinterpret_steal<pyb::str>(result);
}

}  // namespace vtm::py
