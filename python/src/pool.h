// Per-call work objects that the library allows one thread at a time (tokenizers, tagger
// buffers): a call takes a free one or makes a new one and gives it back afterwards, so
// threads sharing a Python object never share a work object. Tested by
// python/tests/test_threads.py.
#pragma once

#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace vtm::py {

template <typename T>
class Pool {
 public:
  // A free object, or `make()` (nullptr when that fails). No GIL needed.
  template <typename Make>
  std::unique_ptr<T> Take(Make make) {
    {
      std::lock_guard<std::mutex> guard(mutex_);
      if (!free_.empty()) {
        std::unique_ptr<T> item = std::move(free_.back());
        free_.pop_back();
        return item;
      }
    }
    return make();
  }
  void Give(std::unique_ptr<T> item) {
    std::lock_guard<std::mutex> guard(mutex_);
    free_.push_back(std::move(item));
  }
  // Frees every object (when nothing is taken: under the owner's exclusive lock).
  void Clear() {
    std::lock_guard<std::mutex> guard(mutex_);
    free_.clear();
  }

 private:
  std::mutex mutex_;
  std::vector<std::unique_ptr<T>> free_;
};

// Takes an object from a pool for the scope and gives it back at its end.
template <typename T>
class Taken {
 public:
  template <typename Make>
  Taken(Pool<T>& pool, Make make) : pool_(pool), item_(pool.Take(make)) {}
  ~Taken() {
    if (item_) pool_.Give(std::move(item_));
  }
  Taken(const Taken&) = delete;
  Taken& operator=(const Taken&) = delete;
  T* get() const { return item_.get(); }

 private:
  Pool<T>& pool_;
  std::unique_ptr<T> item_;
};

}  // namespace vtm::py
