// Lookup buffers: making, freeing and the small accessors.
#include "lookup/lookup_buffer.h"

#include <cstdlib>
#include <new>

#include "frame/frame.h"

namespace {

// Blocks beyond this size are refused as out of memory (they cannot be meant).
constexpr uint64_t kMaxBlock = uint64_t{1} << 31;

}  // namespace

extern "C" VTMRT_API VtmLookupBuffer vtmMakeLookupBuffer(int coded_input_size,
                                                         int coded_output_size, int stack_entries,
                                                         int /*reserved1*/, int /*reserved2*/,
                                                         uint32_t client_data) {
  if (coded_input_size < 0 || coded_output_size < 0 || stack_entries < 0) {
    return static_cast<VtmLookupBuffer>(vtm::ErrorObject(VTM_ERR_INVALID_NUMBER));
  }
  const uint64_t header = vtm::LookupBufferArea(sizeof(VtmLookupBufferRec));
  const uint64_t input = vtm::LookupBufferArea(static_cast<uint64_t>(coded_input_size));
  const uint64_t output = vtm::LookupBufferArea(static_cast<uint64_t>(coded_output_size));
  const uint64_t stack =
      vtm::LookupBufferArea(static_cast<uint64_t>(stack_entries) * sizeof(VtmBacktrackEntry));
  const uint64_t total = header + input + output + stack;
  void* block = total <= kMaxBlock ? std::malloc(static_cast<std::size_t>(total)) : nullptr;
  if (block == nullptr) return static_cast<VtmLookupBuffer>(vtm::ErrorObject(VTM_ERR_NO_MEMORY));
  auto* base = static_cast<uint8_t*>(block);
  auto* b = new (block) VtmLookupBufferRec{};
  b->coded_input = base + header;
  b->coded_input_size = static_cast<uint32_t>(coded_input_size);
  b->coded_output = base + header + input;
  b->coded_output_size = static_cast<uint32_t>(coded_output_size);
  b->stack = reinterpret_cast<VtmBacktrackEntry*>(base + header + input + output);
  b->stack_entries = static_cast<uint32_t>(stack_entries);
  b->client_data = client_data;
  b->open_char = '[';
  b->close_char = ']';
  return b;
}

extern "C" VTMRT_API void vtmFreeLookupBuffer(VtmLookupBuffer buffer) {
  if (vtm::IsRealObject(buffer)) std::free(buffer);
}

extern "C" VTMRT_API int vtmLookupBufferCursor(VtmLookupBuffer buffer) {
  if (int code = vtm::CheckObject(buffer); code != 0) return code;
  return static_cast<int>(buffer->cursor);
}

extern "C" VTMRT_API int vtmLookupBufferResultCount(VtmLookupBuffer buffer) {
  if (int code = vtm::CheckObject(buffer); code != 0) return code;
  return static_cast<int>(buffer->result_count);
}

extern "C" VTMRT_API void vtmSetTagEnclosureChars(VtmLookupBuffer buffer, uint16_t open_char,
                                                  uint16_t close_char) {
  if (!vtm::IsRealObject(buffer)) return;
  buffer->open_char = open_char;
  buffer->close_char = close_char;
}
