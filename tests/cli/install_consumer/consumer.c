/* A program outside the project that uses an installed vtmrt: prints the library
 * version and the message of a failed open, so the installed header and library are
 * proven to work together. */
#include <stdio.h>
#include <vtmrt.h>

int main(int argc, char** argv) {
  char version[32];
  char message[256];
  VtmFsm fsm;
  int code;
  if (vtm_library_version(version, sizeof version) < 0) return 1;
  fsm = vtm_make_fsm(argc > 1 ? argv[1] : "/nonexistent/file.vtm");
  code = vtm_object_error_code(fsm);
  if (code < 0) {
    if (vtm_error_message(code, message, sizeof message) < 0) return 1;
    printf("vtmrt %s; open: %d %s\n", version, code, message);
  } else {
    printf("vtmrt %s; open: ok\n", version);
    vtm_free_fsm(fsm);
  }
  return 0;
}
