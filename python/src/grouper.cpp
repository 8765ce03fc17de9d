// The grouper is bound to a Transducer that it keeps alive; a grouping holds the
// grouper's lock and the transducer's reader lock and runs without the GIL. The record
// array and name area start at the sizes `vtm group` uses and are doubled while a call
// may have left records out (array full, or name area nearly full).
#include "grouper.h"

#include <cstring>
#include <string>
#include <vector>

#include "errors.h"
#include "records.h"
#include "tagged_input.h"
#include "text.h"

namespace vtm::py {

namespace pyb = pybind11;

namespace {

constexpr std::size_t kLargestCapacity = std::size_t{1} << 22;
constexpr std::size_t kLongestLabel = 256;

}  // namespace

Grouper::Grouper(pyb::object transducer) {
  if (pyb::isinstance<Transducer>(transducer)) {
    transducer_ = transducer.cast<std::shared_ptr<Transducer>>();
  } else {
    if (transducer.is_none())
      transducer = pyb::module_::import("vtmrt._data").attr("default_data")("english-chunks.vtm");
    transducer_ = std::make_shared<Transducer>(transducer);
  }
  VtmGrouper made;
  {
    pyb::gil_scoped_release nogil;
    Transducer::Reader reader(*transducer_);
    made = reader.fsm() == nullptr ? nullptr : vtm_make_grouper(reader.fsm());
  }
  if (made == nullptr) Transducer::RaiseClosed("transducer");
  if (const int code = vtm_object_error_code(made); code != 0) Raise(code, transducer_->path());
  grouper_ = made;
}

Grouper::~Grouper() {
  Close();
}

void Grouper::Close() {
  std::unique_lock lock(lock_, std::defer_lock);
  LockWithoutGil(lock);
  vtm_free_grouper(grouper_);
  grouper_ = nullptr;
}

bool Grouper::closed() {
  std::shared_lock lock(lock_);
  return grouper_ == nullptr;
}

pyb::list Grouper::Group(pyb::handle tags, bool subgroups, bool sort) {
  // The tags, zero-terminated one after another; bracket tags as the grouper names them.
  std::string joined, tag;
  std::size_t count = 0;
  char what[48];
  for (pyb::handle item : pyb::iter(tags)) {
    std::snprintf(what, sizeof what, "tags[%zu]", count++);
    ToCodePage(item, what, &tag);
    joined += cli::GrouperTag(tag);
    joined.push_back('\0');
  }
  joined.push_back('\0');
  if (count > kLargestCapacity) Raise(VTM_ERR_INVALID_NUMBER, "too many tags", kCapacityError);
  const int flags = (subgroups ? VTM_GROUP_SUBGROUPS : 0) | (sort ? VTM_GROUP_SORT : 0);
  std::vector<VtmGroup> records(8 * count + 16);
  std::vector<char> names(32 * records.size());
  int r = 0;
  bool open = true;
  {
    pyb::gil_scoped_release nogil;
    std::shared_lock lock(lock_);
    Transducer::Reader reader(*transducer_);
    open = grouper_ != nullptr && reader.fsm() != nullptr;
    for (;;) {
      if (!open) break;
      r = vtm_group(joined.data(), static_cast<int>(count), flags, records.data(),
                    static_cast<int>(records.size()), names.data(), static_cast<int>(names.size()),
                    grouper_);
      if (r < 0) break;
      std::size_t names_used = 0;
      for (int k = 0; k < r; ++k) {
        const std::size_t at = static_cast<std::size_t>(records[k].name_offset);
        names_used = std::max(names_used, at + std::strlen(names.data() + at) + 1);
      }
      const bool full = static_cast<std::size_t>(r) == records.size() ||
                        names_used + kLongestLabel > names.size();
      if (!full || records.size() >= kLargestCapacity) break;
      records.resize(2 * records.size());
      names.resize(2 * names.size());
    }
  }
  if (!open) Transducer::RaiseClosed(grouper_ == nullptr ? "grouper" : "transducer");
  if (r == VTM_ERR_CHAR_NOT_IN_ALPHABET) Raise(r, "tags: a tag the grouper does not know");
  if (r < 0) Raise(r);
  const pyb::handle group = RecordType("Group");
  pyb::list result(r);
  for (int k = 0; k < r; ++k) {
    const VtmGroup& g = records[static_cast<std::size_t>(k)];
    const char* label = names.data() + g.name_offset;
    PyList_SET_ITEM(result.ptr(), k,
                    group(FromCodePage({label, std::strlen(label)}), g.first_token, g.token_count)
                        .release()
                        .ptr());
  }
  return result;
}

}  // namespace vtm::py
