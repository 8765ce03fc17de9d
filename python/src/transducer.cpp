// Word operations of vtmrt.Transducer. Every walk runs with the GIL released and under
// the transducer's reader lock, so threads walk in parallel and close() cannot free the
// transducer under a running walk. Results come through a buffer in the call's frame
// and move to a growing heap buffer only when they do not fit.
#include "transducer.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>
#include <unordered_map>

#include "errors.h"
#include "records.h"
#include "text.h"

namespace vtm::py {

namespace pyb = pybind11;

namespace {

// Results of one word larger than this are reported as CapacityError.
constexpr std::size_t kLargestResults = std::size_t{64} << 20;
constexpr int kFrameResults = 4096;

// A growable byte area that is not cleared when it grows.
class Area {
 public:
  ~Area() { std::free(data_); }
  char* data() { return data_; }
  std::size_t size() const { return size_; }
  bool Reserve(std::size_t size) {
    if (size <= size_) return true;
    char* grown = static_cast<char*>(std::realloc(data_, size));
    if (grown == nullptr) return false;
    data_ = grown;
    size_ = size;
    return true;
  }

 private:
  char* data_ = nullptr;
  std::size_t size_ = 0;
};

// One lookup of `input` into `out` (room bytes); on VTM_ERR_OUTPUT_TOO_LONG the room is
// doubled in `area` (from offset `at`) until the results fit or kLargestResults is passed.
// *results points at the results written. No GIL.
int LookupGrowing(VtmFsm fsm, std::string_view input, int mode, char* out, std::size_t room,
                  Area* area, std::size_t at, const char** results) {
  for (;;) {
    const int r = vtm_lookup_with_transduction(input.data(), static_cast<int>(input.size()), out,
                                               static_cast<int>(room), mode, fsm, nullptr, 0);
    *results = out;
    if (r != VTM_ERR_OUTPUT_TOO_LONG) return r;
    if (room >= kLargestResults) return r;
    room *= 2;
    if (!area->Reserve(at + room)) return VTM_ERR_NO_MEMORY;
    out = area->data() + at;
  }
}

// Appends `count` consecutive NUL-terminated cp1252 texts from `at` to a new list.
pyb::list ResultList(const char* at, int count) {
  pyb::list list(count);
  for (int k = 0; k < count; ++k) {
    const std::size_t n = std::strlen(at);
    PyList_SET_ITEM(list.ptr(), k, FromCodePage({at, n}).release().ptr());
    at += n + 1;
  }
  return list;
}

void CheckLength(const std::string& input, const char* what) {
  if (input.size() >= static_cast<std::size_t>(INT_MAX))
    Raise(VTM_ERR_INVALID_NUMBER, std::string(what) + " is longer than the library takes",
          kCapacityError);
}

}  // namespace

Transducer::Transducer(pyb::object path) {
  if (path.is_none()) path = pyb::module_::import("vtmrt._data").attr("default_transducer")();
  const std::string encoded = FilePath(path, "path", &path_);
  VtmFsm fsm;
  {
    pyb::gil_scoped_release nogil;
    fsm = vtm_make_fsm(encoded.c_str());
  }
  if (const int code = vtm_object_error_code(fsm); code != 0) Raise(code, path_);
  fsm_ = fsm;
}

Transducer::~Transducer() {
  Close();
}

void LockWithoutGil(std::unique_lock<std::shared_mutex>& lock) {
  if (PyGILState_Check()) {
    pyb::gil_scoped_release nogil;  // walks in other threads need no GIL to finish
    lock.lock();
  } else {
    lock.lock();
  }
}

void Transducer::Close() {
  std::unique_lock lock(lock_, std::defer_lock);
  LockWithoutGil(lock);
  vtm_free_fsm(fsm_);
  fsm_ = nullptr;
}

bool Transducer::closed() {
  std::shared_lock lock(lock_);
  return fsm_ == nullptr;
}

void Transducer::RaiseClosed(const char* what) {
  Raise(VTM_ERR_NULL_OBJECT, std::string(what) + " is closed", kClosedError);
}

pyb::list Transducer::Lookup(pyb::handle word, int mode, const char* what) {
  std::string input;
  ToCodePage(word, what, &input);
  CheckLength(input, what);
  char frame[kFrameResults];
  Area area;
  const char* results = nullptr;
  int r;
  {
    pyb::gil_scoped_release nogil;
    Reader reader(*this);
    r = reader.fsm() == nullptr
            ? VTM_ERR_NULL_OBJECT
            : LookupGrowing(reader.fsm(), input, mode, frame, sizeof frame, &area, 0, &results);
    if (reader.fsm() == nullptr) results = nullptr;
  }
  if (results == nullptr) RaiseClosed("transducer");
  if (r < 0) Raise(r, pyb::str(pyb::repr(word)));
  return ResultList(results, r);
}

pyb::list Transducer::AnalyzeMany(pyb::handle words) {
  // All words in cp1252, one after another; then the lookups of the distinct words in
  // one GIL-free stretch (running text repeats its words: a word seen before takes the
  // earlier word's results); then the result lists, a new list per word.
  std::string inputs;
  std::vector<std::size_t> ends;
  std::string word;
  char what[48];
  std::size_t index = 0;
  for (pyb::handle item : pyb::iter(words)) {
    std::snprintf(what, sizeof what, "words[%zu]", index++);
    ToCodePage(item, what, &word);
    CheckLength(word, what);
    inputs += word;
    ends.push_back(inputs.size());
  }
  const std::size_t n = ends.size();
  auto text = [&](std::size_t i) {
    const std::size_t start = i == 0 ? 0 : ends[i - 1];
    return std::string_view(inputs).substr(start, ends[i] - start);
  };
  std::vector<std::size_t> source(n);  // the first word with the same text
  {
    std::unordered_map<std::string_view, std::size_t> first;
    first.reserve(n);
    for (std::size_t i = 0; i < n; ++i) source[i] = first.try_emplace(text(i), i).first->second;
  }
  std::vector<int> counts(n);
  std::vector<std::size_t> offsets(n);
  Area area;
  bool open = true;
  std::size_t failed = n;
  {
    pyb::gil_scoped_release nogil;
    Reader reader(*this);
    open = reader.fsm() != nullptr;
    std::size_t used = 0;
    for (std::size_t i = 0; open && i < n; ++i) {
      if (source[i] != i) continue;
      if (!area.Reserve(used + kFrameResults)) {
        counts[i] = VTM_ERR_NO_MEMORY;
      } else {
        const char* results = nullptr;
        counts[i] = LookupGrowing(reader.fsm(), text(i), VTM_MODE_ANALYZE, area.data() + used,
                                  area.size() - used, &area, used, &results);
      }
      if (counts[i] < 0) {
        failed = i;
        break;
      }
      offsets[i] = used;
      // Past the last result's NUL.
      const char* end = area.data() + used;
      for (int k = 0; k < counts[i]; ++k) end += std::strlen(end) + 1;
      used = static_cast<std::size_t>(end - area.data());
      // Room for the next word grows with the area, so reallocation stays rare.
      if (area.size() - used < kFrameResults) area.Reserve(2 * area.size());
    }
  }
  if (!open) RaiseClosed("transducer");
  if (failed < n) {
    pyb::str shown = FromCodePage(text(failed));
    Raise(counts[failed],
          "words[" + std::to_string(failed) + "] " + std::string(pyb::str(pyb::repr(shown))));
  }
  CollectorPause pause;
  pyb::list all(n);
  for (std::size_t i = 0; i < n; ++i) {
    PyObject* list;
    if (source[i] == i) {
      list = ResultList(area.data() + offsets[i], counts[i]).release().ptr();
    } else {
      // A new list holding the same (immutable) str objects as the earlier word's.
      list = PyList_GetSlice(PyList_GET_ITEM(all.ptr(), source[i]), 0, PY_SSIZE_T_MAX);
      if (list == nullptr) throw pyb::error_already_set();
    }
    PyList_SET_ITEM(all.ptr(), i, list);
  }
  return all;
}

std::string Transducer::QueryText(int (*query)(char*, int, VtmFsm)) {
  std::vector<char> text(256);
  for (;;) {
    int r;
    {
      Reader reader(*this);
      if (reader.fsm() == nullptr) RaiseClosed("transducer");
      r = query(text.data(), static_cast<int>(text.size()), reader.fsm());
    }
    if (r == VTM_ERR_OUTPUT_TOO_LONG && text.size() < (std::size_t{1} << 20)) {
      text.resize(2 * text.size());
      continue;
    }
    if (r < 0) Raise(r);
    return text.data();
  }
}

pyb::str Transducer::Copyright() {
  return FromCodePage(QueryText(vtm_fsm_copyright));
}
pyb::str Transducer::Version() {
  return FromCodePage(QueryText(vtm_fsm_version));
}

template <typename Result>
Result Transducer::Query(Result (*query)(VtmFsm)) {
  Reader reader(*this);
  if (reader.fsm() == nullptr) RaiseClosed("transducer");
  return query(reader.fsm());
}

uint32_t Transducer::CreationDate() {
  return Query(vtm_fsm_creation_date);
}
uint32_t Transducer::Capabilities() {
  return Query(vtm_fsm_capabilities);
}
int Transducer::Language() {
  return Query(vtm_fsm_language);
}
int Transducer::CharEncoding() {
  return Query(vtm_fsm_char_encoding);
}

}  // namespace vtm::py
