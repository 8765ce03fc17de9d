/* The public header compiles as C, and the frame works through the shared library. */
#include <stdio.h>
#include <string.h>

#include "vtmrt.h"

int main(void) {
  char buffer[8];
  if (vtmInitLexicalLibrary() != 0) return 1;
  if (vtm_library_version(buffer, (int)sizeof buffer) != 0 || strcmp(buffer, "2.2") != 0) {
    fprintf(stderr, "version: %s\n", buffer);
    return 1;
  }
  if (vtmLexicalTransducerErrorCode(vtmErrorObject(-5)) != -5) return 1;
  if (vtm_object_error_code(NULL) != VTM_ERR_NULL_OBJECT) return 1;
  vtmFreeLexicalLibrary();
  return 0;
}
