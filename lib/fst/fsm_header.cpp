// The file header: byte-order conversion, the header-only object and header comparison.
#include "fst/fsm_header.h"

#include <cstddef>
#include <cstring>
#include <new>

#include "frame/frame.h"
#include "fst/fsm_file.h"

namespace vtm {
namespace {

// Every multi-byte header field by its offset (which is also its file offset, as the
// struct has no padding) and width. Single bytes need no conversion.
struct WideField {
  std::size_t offset;
  int width;
};
constexpr WideField kWideFields[] = {
    {offsetof(VtmHeaderRec, unused0), 2},
    {offsetof(VtmHeaderRec, creation_date), 4},
    {offsetof(VtmHeaderRec, near_table_offset), 2},
    {offsetof(VtmHeaderRec, far_table_offset), 2},
    {offsetof(VtmHeaderRec, unused16), 2},
    {offsetof(VtmHeaderRec, network_offset), 2},
    {offsetof(VtmHeaderRec, char_map_offset), 2},
    {offsetof(VtmHeaderRec, unused28), 2},
    {offsetof(VtmHeaderRec, named_table_dir_offset), 2},
    {offsetof(VtmHeaderRec, unused32), 2},
    {offsetof(VtmHeaderRec, unused36), 4},
    {offsetof(VtmHeaderRec, unused40), 2},
    {offsetof(VtmHeaderRec, subnet_dir_offset), 2},
    {offsetof(VtmHeaderRec, unused44), 2},
    {offsetof(VtmHeaderRec, unused48), 2},
    {offsetof(VtmHeaderRec, symbol_char_offset), 2},
    {offsetof(VtmHeaderRec, unused60), 2},
    {offsetof(VtmHeaderRec, function_table_offset), 2},
    {offsetof(VtmHeaderRec, unused64), 4},
    {offsetof(VtmHeaderRec, network_size), 4},
    {offsetof(VtmHeaderRec, ext_table72), 2},
    {offsetof(VtmHeaderRec, ext_table74), 2},
    {offsetof(VtmHeaderRec, unused76), 2},
    {offsetof(VtmHeaderRec, unused78), 2},
    {offsetof(VtmHeaderRec, unused80), 2},
    {offsetof(VtmHeaderRec, unused84), 2},
    {offsetof(VtmHeaderRec, unused88), 2},
    {offsetof(VtmHeaderRec, symbol_name_offset), 2},
};

}  // namespace

void ParseHeader(const uint8_t* bytes, VtmHeaderRec* out) {
  auto* raw = reinterpret_cast<unsigned char*>(out);
  std::memcpy(raw, bytes, kHeaderBytes);
  for (const WideField& f : kWideFields) {
    if (f.width == 2) {
      uint16_t v = Be16(bytes + f.offset);
      std::memcpy(raw + f.offset, &v, 2);
    } else {
      uint32_t v = Be32(bytes + f.offset);
      std::memcpy(raw + f.offset, &v, 4);
    }
  }
}

void SerializeHeader(const VtmHeaderRec& header, uint8_t* bytes) {
  const auto* raw = reinterpret_cast<const unsigned char*>(&header);
  std::memcpy(bytes, raw, kHeaderBytes);
  for (const WideField& f : kWideFields) {
    uint32_t v = 0;
    if (f.width == 2) {
      uint16_t h;
      std::memcpy(&h, raw + f.offset, 2);
      v = h;
    } else {
      std::memcpy(&v, raw + f.offset, 4);
    }
    for (int i = 0; i < f.width; ++i) {
      bytes[f.offset + i] = static_cast<uint8_t>(v >> (8 * (f.width - 1 - i)));
    }
  }
}

}  // namespace vtm

extern "C" {

VTMRT_API VtmHeader vtm_make_header(const char* path) {
  if (path == nullptr) return static_cast<VtmHeader>(vtm::ErrorObject(VTM_ERR_NULL_OBJECT));
  vtm::FsmFile file;
  if (!file.Open(path)) return static_cast<VtmHeader>(vtm::ErrorObject(VTM_ERR_FILE_OPEN));
  auto* header = new (std::nothrow) VtmHeaderRec{};
  if (header == nullptr) return static_cast<VtmHeader>(vtm::ErrorObject(VTM_ERR_NO_MEMORY));
  uint8_t bytes[vtm::kHeaderBytes];
  bool complete = file.ReadFully(bytes, vtm::kHeaderBytes);
  file.Close();
  if (complete) vtm::ParseHeader(bytes, header);
  if (!complete || header->format_version != 1) {
    delete header;
    return static_cast<VtmHeader>(vtm::ErrorObject(VTM_ERR_BAD_FILE));
  }
  return header;
}

VTMRT_API void vtm_free_header(VtmHeader header) {
  if (!vtm::IsRealObject(header)) return;
  delete header;
}

// Either handle may be a header or a transducer: a transducer starts with its header.
// An error object has no header bytes; it answers with its own code, as everywhere else.
VTMRT_API int vtm_compare_header(const void* a, const void* b) {
  if (a == nullptr || b == nullptr) return VTM_ERR_NULL_OBJECT;
  if (int code = vtm::CheckObject(a)) return code;
  if (int code = vtm::CheckObject(b)) return code;
  return std::memcmp(a, b, vtm::kHeaderBytes) == 0 ? 1 : 0;
}

VTMRT_API VtmHeader vtmMakeHeader(const char* path) {
  return vtm_make_header(path);
}
VTMRT_API void vtmFreeHeader(VtmHeader header) {
  vtm_free_header(header);
}
VTMRT_API int vtmCompareHeader(const void* a, const void* b) {
  return vtm_compare_header(a, b);
}

}  // extern "C"
