// The extension module vtmrt._vtmrt: binds Transducer and Completion and the library
// frame's version and messages. The package vtmrt (python/vtmrt/__init__.py) re-exports
// these under their public names. Tested by python/tests.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <climits>
#include <memory>
#include <optional>

#include "completion.h"
#include "errors.h"
#include "grouper.h"
#include "transducer.h"
#include "vtmrt.h"

namespace pyb = pybind11;
using vtm::py::Completion;
using vtm::py::Grouper;
using vtm::py::Transducer;

namespace {

// An int argument in [0, INT_MAX]; None gives `absent`. Raises ArgumentTypeError or
// ArgumentError.
int Count(pyb::handle value, const char* name, int absent) {
  if (value.is_none()) return absent;
  if (!PyLong_Check(value.ptr()) || PyBool_Check(value.ptr())) {
    vtm::py::Raise(VTM_ERR_INVALID_NUMBER,
                   std::string(name) + " must be int or None, not " + Py_TYPE(value.ptr())->tp_name,
                   vtm::py::kArgumentTypeError);
  }
  int overflow = 0;
  const long long n = PyLong_AsLongLongAndOverflow(value.ptr(), &overflow);
  if (overflow != 0 || n < 0 || n > INT_MAX) {
    vtm::py::Raise(VTM_ERR_INVALID_NUMBER,
                   std::string(name) + " must be between 0 and " + std::to_string(INT_MAX),
                   vtm::py::kArgumentError);
  }
  return static_cast<int>(n);
}

constexpr const char* kTransducerDoc = R"(A compiled lexical transducer loaded from a file.

Transducer(path=None) loads the whole file (str, bytes or os.PathLike); without a
path it loads the bundled English transducer. Text goes in and comes out as str:
it is converted to Windows-1252, the transducer's character set, at the edge, and
a character that Windows-1252 cannot hold raises EncodingError.

Lookups release the GIL while they walk the transducer, so threads sharing one
Transducer run in parallel. close() (or leaving a with block) frees it at once,
after waiting for walks running in other threads; using it afterwards raises
ClosedError.

    with vtmrt.Transducer() as en:
        en.analyze("houses")      # ['house[n][pl]']
        en.generate("house[n][pl]")  # ['houses']
        list(en.complete("hous", max=6))
)";

}  // namespace

PYBIND11_MODULE(_vtmrt, m) {
  m.doc() = "Extension module of the vtmrt package; use the package `vtmrt`.";
  vtm_init_library();
  // The signatures are written into the docstrings with the Python types (pybind11
  // would show its own handle types).
  pyb::options options;
  options.disable_function_signatures();

  m.def(
      "library_version",
      [] {
        char text[32] = {0};
        vtm_library_version(text, sizeof text);
        return std::string(text);
      },
      "library_version() -> str\n\nThe runtime library's version text.");
  m.def("error_message", &vtm::py::LibraryMessage, pyb::arg("code"),
        "error_message(code: int) -> str\n\nThe library's message for an error code.");

  pyb::class_<Completion, std::unique_ptr<Completion>>(
      m, "Completion", R"(Iterator over the words that complete a fragment.

Made by Transducer.complete(). It pages through the library's expansion with a
buffer of its own, so a long result list is never held whole. One Completion may
be advanced from several threads (one step at a time); close() frees its buffer.)")
      .def("__iter__", [](pyb::object self) { return self; })
      .def("__next__", &Completion::Next, "__next__() -> str")
      .def("close", &Completion::Close,
           "close() -> None\n\nFrees the lookup buffer; iterating afterwards raises ClosedError.")
      .def("__enter__", [](pyb::object self) { return self; })
      .def("__exit__", [](Completion& self, pyb::args) { self.Close(); });
  m.attr("Completion").attr("__module__") = "vtmrt";

  pyb::class_<Transducer, std::shared_ptr<Transducer>>(m, "Transducer", kTransducerDoc)
      .def(pyb::init<pyb::object>(), pyb::arg("path") = pyb::none(),
           "__init__(path: str | bytes | os.PathLike | None = None) -> None")
      .def(
          "analyze",
          [](Transducer& t, pyb::handle word) { return t.Lookup(word, VTM_MODE_ANALYZE, "word"); },
          pyb::arg("word"),
          "analyze(word: str) -> list[str]\n\nAnalyses of a word, such as ['house[n][pl]'] for "
          "'houses'; [] when the word is\n"
          "unknown. Tags are written in square brackets.")
      .def(
          "stem",
          [](Transducer& t, pyb::handle word) { return t.Lookup(word, VTM_MODE_STEM, "word"); },
          pyb::arg("word"),
          "stem(word: str) -> list[str]\n\nStems of a word (the transducer's stemming function, "
          "27).")
      .def(
          "generate",
          [](Transducer& t, pyb::handle analysis) {
            return t.Lookup(analysis, VTM_MODE_GENERATE, "analysis");
          },
          pyb::arg("analysis"),
          "generate(analysis: str) -> list[str]\n\nSurface forms of an analysis such as "
          "'house[n][pl]' (the inverse of analyze).")
      .def("analyze_many", &Transducer::AnalyzeMany, pyb::arg("words"),
           "analyze_many(words: Iterable[str]) -> list[list[str]]\n\n"
           "analyze() for every word of an iterable of str, as a list of lists, in one call:\n"
           "the GIL is released once for the whole batch.")
      .def(
          "complete",
          [](std::shared_ptr<Transducer> t, pyb::handle fragment, pyb::handle skip, pyb::handle min,
             pyb::handle max) {
            if (t->closed()) Transducer::RaiseClosed("transducer");
            return std::make_unique<Completion>(t, fragment, Count(skip, "skip", 0),
                                                Count(min, "min", 0), Count(max, "max", INT_MAX));
          },
          pyb::arg("fragment"), pyb::arg("skip") = 0, pyb::arg("min") = pyb::none(),
          pyb::arg("max") = pyb::none(),
          "complete(fragment: str, skip: int = 0, min: int | None = None, max: int | None = None)"
          " -> Completion\n\nIterator over the words of the lexicon that hold `fragment` after "
          "exactly `skip`\n"
          "symbols (skip 0: the words that begin with it), in the transducer's order.\n"
          "A word's length counts its symbols; only words with min <= length < max are\n"
          "given (None: no limit). An empty fragment lists every word, whatever the skip;\n"
          "a fragment with a character the transducer does not know lists none. Needs the\n"
          "expansion function (Capability.EXPANSION).")
      .def("close", &Transducer::Close,
           "close() -> None\n\nFrees the transducer (after walks in other threads end). "
           "Idempotent.")
      .def_property_readonly("closed", &Transducer::closed, "True after close().")
      .def("__enter__", [](pyb::object self) { return self; })
      .def("__exit__", [](Transducer& self, pyb::args) { self.Close(); })
      .def_property_readonly("path", &Transducer::path, "The file the transducer was loaded from.")
      .def_property_readonly("copyright", &Transducer::Copyright, "The file's copyright text.")
      .def_property_readonly("version", &Transducer::Version, "The file's version text.")
      .def_property_readonly("creation_date", &Transducer::CreationDate,
                             "The file's creation date (seconds since 1970).")
      .def_property_readonly("capabilities", &Transducer::Capabilities,
                             "Capability word; vtmrt.Capability names its bits.")
      .def_property_readonly("language", &Transducer::Language, "The file's language byte.")
      .def_property_readonly("char_encoding", &Transducer::CharEncoding,
                             "The file's character-encoding byte.")
      .def("__repr__", [](Transducer& t) {
        return std::string("<vtmrt.Transducer ") + (t.closed() ? "closed " : "") +
               std::string(pyb::str(pyb::repr(pyb::str(t.path())))) + ">";
      });
  m.attr("Transducer").attr("__module__") = "vtmrt";

  pyb::class_<Grouper>(m, "Grouper", R"(Groups a tagged sentence into phrases.

Grouper(transducer=None) makes a grouper on a Transducer (kept open by the grouper),
on a transducer file path, or, without an argument, on the bundled English grouper
(Brown tag set: noun, verb, prepositional phrases). group() releases the GIL; one
Grouper may serve several threads. close() frees it.

    with vtmrt.Grouper() as g:
        g.group(["at", "jj", "nn", "vbd"])   # [Group(label='np', first=0, count=3)])")
      .def(pyb::init<pyb::object>(), pyb::arg("transducer") = pyb::none(),
           "__init__(transducer: Transducer | str | os.PathLike | None = None) -> None")
      .def("group", &Grouper::Group, pyb::arg("tags"), pyb::arg("subgroups") = false,
           pyb::arg("sort") = false,
           "group(tags: Iterable[str], subgroups: bool = False, sort: bool = False)"
           " -> list[Group]\n\nThe phrases of a sentence given as one tag per token, as\n"
           "Group(label, first, count) records (count -1: a group never closed). An empty\n"
           "tag, or one starting with '_', is a token the grouper passes over. subgroups:\n"
           "also group inside noun phrases; sort: then order the records by start.")
      .def("close", &Grouper::Close, "close() -> None\n\nFrees the grouper. Idempotent.")
      .def_property_readonly("closed", &Grouper::closed, "True after close().")
      .def("__enter__", [](pyb::object self) { return self; })
      .def("__exit__", [](Grouper& self, pyb::args) { self.Close(); });
  m.attr("Grouper").attr("__module__") = "vtmrt";
}
