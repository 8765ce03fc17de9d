// Exported operations of the library frame, in both name families.
#include <cstring>

#include "frame/frame.h"

namespace {
constexpr char kLibraryVersion[] = "2.2";
}

extern "C" {

VTMRT_API int vtm_init_library(void) {
  return VTM_OK;
}
VTMRT_API void vtm_free_library(void) {}

VTMRT_API void* vtm_error_object(int code) {
  return vtm::ErrorObject(code);
}

VTMRT_API int vtm_object_error_code(const void* object) {
  return vtm::CheckObject(object);
}

VTMRT_API int vtm_error_message(int code, char* buffer, int size) {
  if (buffer == nullptr) return VTM_ERR_NULL_OBJECT;
  if (size < 0) return VTM_ERR_INVALID_NUMBER;
  const char* text = vtm::ErrorMessageText(code);
  return vtm::BoundedCopy(text, std::strlen(text), buffer, size);
}

VTMRT_API int vtm_library_version(char* buffer, int size) {
  if (buffer == nullptr) return VTM_ERR_NULL_OBJECT;
  if (size < 0) return VTM_ERR_INVALID_NUMBER;
  return vtm::BoundedCopy(kLibraryVersion, sizeof kLibraryVersion - 1, buffer, size);
}

VTMRT_API int vtmInitLexicalLibrary(void) {
  return vtm_init_library();
}
VTMRT_API void vtmFreeLexicalLibrary(void) {
  vtm_free_library();
}
VTMRT_API void* vtmErrorObject(int code) {
  return vtm_error_object(code);
}
VTMRT_API int vtmObjectErrorCode(const void* object) {
  return vtm_object_error_code(object);
}
VTMRT_API int vtmLexicalLibraryErrorMessage(int code, char* buffer, int size) {
  return vtm_error_message(code, buffer, size);
}
VTMRT_API int vtmLexicalLibraryVersion(char* buffer, int size) {
  return vtm_library_version(buffer, size);
}

// A second name of vtmObjectErrorCode: a symbol alias of the same code, so the static
// core (linked by tests) has it too. The Windows DLL exports it through the .def line
// "vtmLexicalTransducerErrorCode=vtmObjectErrorCode".
VTMRT_API int vtmLexicalTransducerErrorCode(const void* object)
    __attribute__((alias("vtmObjectErrorCode")));

}  // extern "C"
