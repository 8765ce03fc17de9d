// The extension module vtmrt._vtmrt: binds Transducer, Completion, Grouper, Tokenizer,
// Tagger and Chunker and the library frame's version and messages. The package vtmrt
// (python/vtmrt/__init__.py) re-exports these under their public names. Tested by python/tests.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <climits>
#include <memory>
#include <optional>

#include "chunker.h"
#include "completion.h"
#include "errors.h"
#include "grouper.h"
#include "tagger.h"
#include "tokenizer.h"
#include "transducer.h"
#include "vtmrt.h"

namespace pyb = pybind11;
using vtm::py::Chunker;
using vtm::py::Completion;
using vtm::py::Grouper;
using vtm::py::Tagger;
using vtm::py::Tokenizer;
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

constexpr const char* kTokenizerDoc = R"(Breaks running text or HTML into tokens and sentences.

Tokenizer(path=None, *, html_tags=None) loads a tokenizer transducer (default: the
bundled English en-brown) and the HTML tag dictionary used with html=True (default:
the bundled html-tags.txt). Tokens and sentences are those of `vtm tokenize`. Text
must be str whose characters Windows-1252 can hold (else EncodingError); offsets
index the str. Calls release the GIL; several threads may share one Tokenizer (each
call uses a library tokenizer of its own).

    with vtmrt.Tokenizer() as tok:
        tok.tokenize("Dr. Smith left.")   # [Token(text='Dr.', start=0, end=3, ...), ...]
        tok.sentences("One. Two.")        # [[Token('One'), Token('.')], [...]]
)";

constexpr const char* kTaggerDoc = R"(Tags tokenized sentences with parts of speech.

Tagger(classes=None, model=None, *, case='auto', multiword=False) loads a class
transducer and a tagger model (default: the bundled English tagger, Brown tag set);
case and multiword are those of `vtm tag`. Calls release the GIL; several threads may
share one Tagger (each call uses a tagger buffer of its own).

    with vtmrt.Tagger() as t:
        t.tag(["The", "old", "man", "left", "."])
        # [('The', 'at'), ('old', 'jj'), ('man', 'nn'), ('left', 'vbd'), ('.', '.')]
)";

constexpr const char* kChunkerDoc = R"(Finds phrases in running text: tokenizes, tags and groups.

Chunker(tokenizer=None, tagger=None, grouper=None, *, subgroups=False, sort=False)
runs the chain of `vtm chunk` with the given parts (default: the bundled English
ones). chunk() returns one ChunkedSentence per sentence, whose to_json() equals the
object `vtm chunk -f json` writes for it. Calls release the GIL; several threads may
share one Chunker. vtmrt.chunk(text) uses a shared default Chunker.

    with vtmrt.Chunker() as c:
        s = c.chunk("The old man left.")[0]
        s.tokens   # [('The', 'at'), ('old', 'jj'), ('man', 'nn'), ('left', 'vbd'), ('.', '.')]
        s.groups   # [Group(label='np', first=0, count=3), Group(label='vp', first=3, count=1)]
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

  pyb::class_<Grouper, std::shared_ptr<Grouper>>(m, "Grouper",
                                                 R"(Groups a tagged sentence into phrases.

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

  pyb::class_<Tokenizer, std::shared_ptr<Tokenizer>>(m, "Tokenizer", kTokenizerDoc)
      .def(pyb::init<pyb::object, pyb::object>(), pyb::arg("path") = pyb::none(), pyb::kw_only(),
           pyb::arg("html_tags") = pyb::none(),
           "__init__(path: str | os.PathLike | None = None, *, html_tags: str | os.PathLike | "
           "None = None) -> None")
      .def("tokenize", &Tokenizer::Tokenize, pyb::arg("text"), pyb::arg("html") = false,
           "tokenize(text: str, html: bool = False) -> list[Token]\n\n"
           "The tokens of a text: words, punctuation, line and paragraph breaks and, with\n"
           "html=True, tags. Token.start and Token.end index `text`.")
      .def("sentences", &Tokenizer::Sentences, pyb::arg("text"), pyb::arg("html") = false,
           "sentences(text: str, html: bool = False) -> list[list[Token]]\n\n"
           "The sentences of a text as lists of their word and punctuation tokens. A\n"
           "sentence ends after a sentence-end mark (and the closing marks right after it)\n"
           "or at a paragraph break; line breaks and tags are left out.")
      .def("close", &Tokenizer::Close,
           "close() -> None\n\nFrees the tokenizer (after calls in other threads end). "
           "Idempotent.")
      .def_property_readonly("closed", &Tokenizer::closed, "True after close().")
      .def_property_readonly("path", &Tokenizer::path, "The tokenizer transducer's file.")
      .def("__enter__", [](pyb::object self) { return self; })
      .def("__exit__", [](Tokenizer& self, pyb::args) { self.Close(); });
  m.attr("Tokenizer").attr("__module__") = "vtmrt";

  pyb::class_<Tagger, std::shared_ptr<Tagger>>(m, "Tagger", kTaggerDoc)
      .def(pyb::init<pyb::object, pyb::object, std::string, bool>(),
           pyb::arg("classes") = pyb::none(), pyb::arg("model") = pyb::none(), pyb::kw_only(),
           pyb::arg("case") = "auto", pyb::arg("multiword") = false,
           "__init__(classes: str | os.PathLike | None = None, model: str | os.PathLike | None "
           "= None, *, case: str = 'auto', multiword: bool = False) -> None")
      .def("tag", &Tagger::Tag, pyb::arg("tokens"),
           "tag(tokens: Iterable[str]) -> list[tuple[str, str]]\n\n"
           "(word, tag) for every token of one sentence; a blank token gets the tag ''.")
      .def("tag_sents", &Tagger::TagSents, pyb::arg("sentences"),
           "tag_sents(sentences: Iterable[Iterable[str]]) -> list[list[tuple[str, str]]]\n\n"
           "tag() for every sentence, with the GIL released once for the whole batch.")
      .def_property_readonly("tags", &Tagger::Tags, "The model's tag names.")
      .def("close", &Tagger::Close,
           "close() -> None\n\nFrees the tagger (after calls in other threads end). "
           "Idempotent.")
      .def_property_readonly("closed", &Tagger::closed, "True after close().")
      .def("__enter__", [](pyb::object self) { return self; })
      .def("__exit__", [](Tagger& self, pyb::args) { self.Close(); });
  m.attr("Tagger").attr("__module__") = "vtmrt";

  pyb::class_<Chunker, std::shared_ptr<Chunker>>(m, "Chunker", kChunkerDoc)
      .def(pyb::init<pyb::object, pyb::object, pyb::object, bool, bool>(),
           pyb::arg("tokenizer") = pyb::none(), pyb::arg("tagger") = pyb::none(),
           pyb::arg("grouper") = pyb::none(), pyb::kw_only(), pyb::arg("subgroups") = false,
           pyb::arg("sort") = false,
           "__init__(tokenizer: Tokenizer | None = None, tagger: Tagger | None = None, "
           "grouper: Grouper | None = None, *, subgroups: bool = False, sort: bool = False) "
           "-> None")
      .def(
          "chunk",
          [](Chunker& c, pyb::handle text, bool html, pyb::handle first_sentence) {
            return c.Chunk(text, html, Count(first_sentence, "first_sentence", 1));
          },
          pyb::arg("text"), pyb::arg("html") = false, pyb::kw_only(),
          pyb::arg("first_sentence") = 1,
          "chunk(text: str, html: bool = False, *, first_sentence: int = 1)"
          " -> list[ChunkedSentence]\n\n"
          "The sentences of a text, tagged and grouped into phrases, numbered from\n"
          "first_sentence in their JSON form (as `vtm chunk` numbers the sentences of its\n"
          "input).")
      .def(
          "chunk_json",
          [](Chunker& c, pyb::handle text, bool html, pyb::handle first_sentence) {
            return c.ChunkJson(text, html, Count(first_sentence, "first_sentence", 1));
          },
          pyb::arg("text"), pyb::arg("html") = false, pyb::kw_only(),
          pyb::arg("first_sentence") = 1,
          "chunk_json(text: str, html: bool = False, *, first_sentence: int = 1) -> bytes\n\n"
          "The same sentences as chunk() as the UTF-8 JSON lines `vtm chunk -f json`\n"
          "writes (one per sentence, each ended by LF), without making a Python object per\n"
          "token or group: for writing the results out.")
      .def(
          "write_json",
          [](Chunker& c, pyb::handle file, pyb::handle text, bool html, pyb::handle first_sentence,
             pyb::handle fields) {
            return c.WriteJson(file, text, html, Count(first_sentence, "first_sentence", 1),
                               fields);
          },
          pyb::arg("file"), pyb::arg("text"), pyb::arg("html") = false, pyb::kw_only(),
          pyb::arg("first_sentence") = 1, pyb::arg("fields") = pyb::none(),
          "write_json(file: BinaryIO, text: str, html: bool = False, *, first_sentence: int = 1,"
          " fields: bytes | None = None) -> int\n\n"
          "Writes the lines of chunk_json() to a binary file (anything with a write() that\n"
          "takes bytes) and returns how many it wrote. fields: JSON members put first in\n"
          "every line's object, such as b'\"file\":\"a.txt\"'. The lines go out in pieces\n"
          "of about 32 KiB through memory the chunker reuses, so that writing a corpus file\n"
          "by file does not allocate the whole output of each.")
      .def("close", &Chunker::Close,
           "close() -> None\n\nFrees the chunker and closes the parts it made itself. "
           "Idempotent.")
      .def_property_readonly("closed", &Chunker::closed, "True after close().")
      .def("__enter__", [](pyb::object self) { return self; })
      .def("__exit__", [](Chunker& self, pyb::args) { self.Close(); });
  m.attr("Chunker").attr("__module__") = "vtmrt";
}
