# Cross toolchain for 64-bit Windows builds (MinGW-w64, x86_64). The same sources as the
# 32-bit deliverables; used to run the Windows tests on hosts that cannot execute 32-bit
# code (there Wine can only run 64-bit programs).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VTM_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
