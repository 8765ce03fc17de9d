// The copyright and version texts of a transducer, and the exported queries on a loaded
// transducer: open, close, copyright, version, date, capabilities, encoding, language.
#include <cstring>

#include "frame/frame.h"
#include "fst/fsm.h"
#include "fst/fsm_tables.h"

namespace vtm {
namespace {

constexpr uint32_t kMaxVersionPreamble = 1000;
constexpr uint32_t kMaxVersionLength = 64;

bool Printable(uint8_t b) {
  return b >= 0x20 && b <= 0x7F;
}

bool VersionByte(uint8_t b) {
  return (b >= '0' && b <= '9') || (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || b == '-' ||
         b == '_' || b == '/' || b == '.';
}

// Finds the valid version text after the copyright text, or returns false. The end of
// the table area ends a text like a byte outside 0x20..0x7F does.
bool FindVersion(const VtmFsmRec* fsm, const uint8_t** text, uint32_t* length) {
  const uint8_t* record = CopyrightRecord(fsm);
  if (record == nullptr) return false;
  const uint8_t* end = fsm->table_area + fsm->table_size;
  const uint8_t* section = record + 1 + record[0];  // inside the area: checked at load
  // Second form: a printable line of at most 1000 bytes, then CR LF CR LF.
  const uint8_t* p = section;
  while (p < end && static_cast<uint32_t>(p - section) < kMaxVersionPreamble && Printable(*p)) {
    ++p;
  }
  const uint8_t* start = section;
  if (end - p >= 4 && p[0] == '\r' && p[1] == '\n' && p[2] == '\r' && p[3] == '\n') {
    start = p + 4;
  }
  const uint8_t* q = start;
  bool has_dot = false;
  while (q < end && Printable(*q)) {
    if (!VersionByte(*q) || static_cast<uint32_t>(q - start) >= kMaxVersionLength) return false;
    has_dot = has_dot || *q == '.';
    ++q;
  }
  if (q == start || !has_dot) return false;
  *text = start;
  *length = static_cast<uint32_t>(q - start);
  return true;
}

// Copies the stored copyright with its line breaks folded into spaces.
int CopyrightText(const VtmFsmRec* fsm, char* buffer, int size) {
  const uint8_t* record = CopyrightRecord(fsm);
  const uint32_t length = record == nullptr ? 0 : record[0];
  if (static_cast<int64_t>(length) + 1 >= size) return VTM_ERR_OUTPUT_TOO_LONG;
  const uint8_t* s = record == nullptr ? nullptr : record + 1;
  int out = 0;
  for (uint32_t i = 0; i < length; ++i) {
    if (s[i] != '\r') {
      buffer[out++] = static_cast<char>(s[i]);
    } else if (i + 1 == length) {
      break;  // a CR as the last byte is dropped
    } else if (s[i + 1] == '\n') {
      if (i + 2 == length) break;  // CR LF at the end is dropped
      buffer[out++] = ' ';
      ++i;
    } else {
      // CR before any other byte becomes a space followed by that byte, copied as it
      // is: a second CR there is not folded again.
      buffer[out++] = ' ';
      buffer[out++] = static_cast<char>(s[++i]);
    }
  }
  buffer[out] = '\0';
  return VTM_OK;
}

// Argument checks shared by the two text queries.
int CheckTextQuery(char* buffer, int size, VtmFsm fsm) {
  if (buffer == nullptr || fsm == nullptr) return VTM_ERR_NULL_OBJECT;
  if (int code = CheckObject(fsm)) return code;
  if (size < 0) return VTM_ERR_INVALID_NUMBER;
  return VTM_OK;
}

}  // namespace
}  // namespace vtm

extern "C" {

VTMRT_API VtmFsm vtm_make_fsm(const char* path) {
  if (path == nullptr) return static_cast<VtmFsm>(vtm::ErrorObject(VTM_ERR_NULL_OBJECT));
  int error = VTM_ERR_NO_MEMORY;
  VtmFsmRec* fsm = vtm::LoadFsm(path, &error);
  return fsm != nullptr ? fsm : static_cast<VtmFsm>(vtm::ErrorObject(error));
}

VTMRT_API void vtm_free_fsm(VtmFsm fsm) {
  if (vtm::IsRealObject(fsm)) vtm::FreeFsm(fsm);
}

VTMRT_API int vtm_fsm_copyright(char* buffer, int size, VtmFsm fsm) {
  if (int code = vtm::CheckTextQuery(buffer, size, fsm)) return code;
  return vtm::CopyrightText(fsm, buffer, size);
}

VTMRT_API int vtm_fsm_version(char* buffer, int size, VtmFsm fsm) {
  if (int code = vtm::CheckTextQuery(buffer, size, fsm)) return code;
  const uint8_t* text = nullptr;
  uint32_t length = 0;
  if (!vtm::FindVersion(fsm, &text, &length)) {
    return vtm::BoundedCopy("1.0", 3, buffer, size);
  }
  return vtm::BoundedCopy(reinterpret_cast<const char*>(text), length, buffer, size);
}

VTMRT_API uint32_t vtm_fsm_creation_date(VtmFsm fsm) {
  return vtm::IsRealObject(fsm) ? fsm->header.creation_date : 0;
}

VTMRT_API uint32_t vtm_fsm_capabilities(VtmFsm fsm) {
  return vtm::IsRealObject(fsm) ? vtm::FsmCapabilities(fsm) : 0;
}

VTMRT_API int vtm_fsm_char_encoding(VtmFsm fsm) {
  if (int code = vtm::CheckObject(fsm)) return code;
  return fsm->header.char_encoding;
}

VTMRT_API int vtm_fsm_language(VtmFsm fsm) {
  if (int code = vtm::CheckObject(fsm)) return code;
  return fsm->header.language;
}

VTMRT_API VtmFsm vtmOpenLexicalTransducer(const char* path) {
  return vtm_make_fsm(path);
}
VTMRT_API void vtmCloseLexicalTransducer(VtmFsm fsm) {
  vtm_free_fsm(fsm);
}
VTMRT_API int vtmLexicalTransducerCopyrightMessage(char* buffer, int size, VtmFsm fsm) {
  return vtm_fsm_copyright(buffer, size, fsm);
}
VTMRT_API uint32_t vtmLexicalTransducerCreationDate(VtmFsm fsm) {
  return vtm_fsm_creation_date(fsm);
}
VTMRT_API uint32_t vtmLexicalTransducerCapabilities(VtmFsm fsm) {
  return vtm_fsm_capabilities(fsm);
}
VTMRT_API int vtmLexicalTransducerVersion(char* buffer, int size, VtmFsm fsm) {
  return vtm_fsm_version(buffer, size, fsm);
}
VTMRT_API int vtmLexicalTransducerCharEncoding(VtmFsm fsm) {
  return vtm_fsm_char_encoding(fsm);
}
VTMRT_API int vtmLexicalTransducerLanguage(VtmFsm fsm) {
  return vtm_fsm_language(fsm);
}

}  // extern "C"
