// Loading a transducer file into a VtmFsmRec, and freeing it. The header, the whole
// table area and the whole network are read into memory; the file is closed before the
// load returns, and a failure leaves nothing allocated behind.
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "fst/fsm.h"
#include "fst/fsm_file.h"
#include "fst/fsm_header.h"
#include "fst/fsm_tables.h"
#include "fst/fsm_tags.h"

namespace vtm {
namespace {

struct FsmDeleter {
  void operator()(VtmFsmRec* fsm) const { FreeFsm(fsm); }
};
using OwnedFsm = std::unique_ptr<VtmFsmRec, FsmDeleter>;

// Reads `count` bytes into a new buffer followed by `pad` zero bytes; false when it
// cannot be allocated or read.
bool ReadArea(FsmFile& file, int64_t file_size, uint64_t end, uint32_t count, uint8_t** out,
              uint32_t pad = 0) {
  // A file too short to hold the area cannot be read in full; this also keeps a
  // damaged size field from asking for a huge allocation.
  if (file_size >= 0 && end > static_cast<uint64_t>(file_size)) return false;
  const uint64_t bytes = uint64_t{count} + pad;
  if (bytes > SIZE_MAX) return false;  // a 32-bit build cannot hold it
  *out = new (std::nothrow) uint8_t[bytes == 0 ? 1 : static_cast<std::size_t>(bytes)];
  if (*out == nullptr) return false;
  std::memset(*out + count, 0, pad);
  return file.ReadFully(*out, count);
}

void SetSpecialCodes(VtmFsmRec* fsm) {
  uint16_t tagsep = FsmSpecialCode(fsm, kTagSepKey);
  uint16_t eos = FsmSpecialCode(fsm, kEosKey);
  uint16_t tb = FsmSpecialCode(fsm, kTbKey);
  uint16_t eof = FsmSpecialCode(fsm, kEofKey);
  fsm->tagsep_code = CodeValueLabel(tagsep);
  fsm->eos_code = eos == 0 ? kNoLabel : CodeValueLabel(eos);
  fsm->tb_code = tb == 0 ? kNoLabel : CodeValueLabel(tb);
  if (fsm->eos_code == kNoLabel) fsm->eos_code = fsm->tb_code;
  fsm->eof_code = eof == 0 ? kNoLabel : CodeValueLabel(eof);
  fsm->eof_esc_count = CodeValueEscapes(eof);
}

}  // namespace

VtmFsmRec* LoadFsm(const char* path, int* error) {
  auto fail = [error](int code) -> VtmFsmRec* {
    *error = code;
    return nullptr;
  };
  FsmFile file;  // closed on every return
  if (!file.Open(path)) return fail(VTM_ERR_FILE_OPEN);
  OwnedFsm fsm(new (std::nothrow) VtmFsmRec{});
  if (!fsm) return fail(VTM_ERR_NO_MEMORY);

  uint8_t header[kHeaderBytes];
  if (!file.ReadFully(header, kHeaderBytes)) return fail(VTM_ERR_BAD_FILE);
  ParseHeader(header, &fsm->header);
  const VtmHeaderRec& h = fsm->header;
  if (h.format_version != 1) return fail(VTM_ERR_BAD_FILE);
  // The table area runs from the end of the header to the network.
  if (h.network_offset < kHeaderBytes) return fail(VTM_ERR_BAD_FILE);

  const int64_t file_size = file.Size();
  fsm->table_base = h.header_size;
  fsm->table_size = h.network_offset - kHeaderBytes;
  if (!ReadArea(file, file_size, h.network_offset, fsm->table_size, &fsm->table_area)) {
    return fail(VTM_ERR_NO_MEMORY);
  }
  const uint64_t network_end = static_cast<uint64_t>(h.network_offset) + h.network_size;
  if (!file.Seek(h.network_offset) ||
      !ReadArea(file, file_size, network_end, h.network_size, &fsm->network, kNetworkPad)) {
    return fail(VTM_ERR_NO_MEMORY);
  }
  if (h.char_map_count == 0) return fail(VTM_ERR_BAD_FILE);
  file.Close();

  if (int rc = ResolveTables(fsm.get())) return fail(rc);
  SetSpecialCodes(fsm.get());
  if (int rc = BuildTagTables(fsm.get())) return fail(rc);
  if (int rc = BuildCodingCache(fsm.get())) return fail(rc);
  return fsm.release();
}

void FreeFsm(VtmFsmRec* fsm) {
  if (fsm == nullptr) return;
  delete fsm->coding;
  delete[] fsm->state_locations;
  delete[] fsm->tag_name_by_code;
  delete[] fsm->tag_code_by_name;
  delete[] fsm->tag_text;
  delete[] fsm->named_tables;
  delete[] fsm->subnets;
  delete[] fsm->network;
  delete[] fsm->table_area;
  delete fsm;
}

}  // namespace vtm
