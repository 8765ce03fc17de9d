# Cross toolchain for the shipped 32-bit Windows builds (MinGW-w64, i686).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(VTM_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
