// The bounded output memo of the word commands (output_cache.h).
#include "output_cache.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace vtm::cli {
namespace {

constexpr std::size_t kFirstSlots = 1024;
constexpr std::size_t kFirstArenaBytes = 256 << 10;

}  // namespace

OutputCache::OutputCache(std::size_t max_entries, std::size_t max_bytes)
    : max_entries_(
          std::min<std::size_t>(max_entries, std::numeric_limits<std::uint32_t>::max() / 4)),
      max_bytes_(std::min<std::size_t>(max_bytes, std::numeric_limits<std::uint32_t>::max())) {}

void OutputCache::Clear() {
  entries_.clear();
  arena_.clear();
  std::fill(slots_.begin(), slots_.end(), 0u);
  ++flushes_;
}

// Doubles the table (load factor at most one half) and places every entry again. The
// first call also sets room aside for the entries and the arena, so that a memo being
// filled does not copy them over and over while it is small.
void OutputCache::Grow() {
  if (slots_.empty()) {
    entries_.reserve(std::min(max_entries_, kFirstSlots * 4));
    arena_.reserve(std::min(max_bytes_, kFirstArenaBytes));
  }
  const std::size_t size = slots_.empty() ? kFirstSlots : slots_.size() * 2;
  slots_.assign(size, 0u);
  const std::size_t mask = size - 1;
  for (std::size_t k = 0; k < entries_.size(); ++k) {
    std::size_t i = entries_[k].hash & mask;
    while (slots_[i] != 0) i = (i + 1) & mask;
    slots_[i] = static_cast<std::uint32_t>(k + 1);
  }
}

void OutputCache::Insert(std::string_view key, std::uint64_t h, std::string_view value) {
  const std::size_t size = key.size() + value.size();
  if (key.size() > kMaxKeyBytes || value.size() > kMaxValueBytes || size > max_bytes_ ||
      max_entries_ == 0)
    return;
  if (entries_.size() + 1 > max_entries_ || arena_.size() + size > max_bytes_) Clear();
  if ((entries_.size() + 1) * 2 > slots_.size()) Grow();
  const std::size_t mask = slots_.size() - 1;
  std::size_t i = h & mask;
  while (slots_[i] != 0) i = (i + 1) & mask;
  entries_.push_back({h, static_cast<std::uint32_t>(arena_.size()),
                      static_cast<std::uint32_t>(key.size()),
                      static_cast<std::uint32_t>(value.size())});
  slots_[i] = static_cast<std::uint32_t>(entries_.size());
  arena_.append(key);
  arena_.append(value);
}

}  // namespace vtm::cli
