# Shared part of the MinGW-w64 cross toolchains. The including file sets VTM_MINGW_TRIPLET
# (i686-w64-mingw32 or x86_64-w64-mingw32) before including this one.
#
# The -posix compilers use the winpthreads threading model, so std::thread and std::mutex
# work. Everything is linked statically against libgcc, libstdc++ and winpthreads, so the
# built DLL and programs import only system DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_VERSION 5.1)

set(CMAKE_C_COMPILER ${VTM_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VTM_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${VTM_MINGW_TRIPLET}-windres)
set(CMAKE_AR ${VTM_MINGW_TRIPLET}-gcc-ar-posix CACHE FILEPATH "archiver")
set(CMAKE_RANLIB ${VTM_MINGW_TRIPLET}-gcc-ranlib-posix CACHE FILEPATH "ranlib")
set(CMAKE_OBJDUMP ${VTM_MINGW_TRIPLET}-objdump CACHE FILEPATH "objdump")

set(CMAKE_FIND_ROOT_PATH /usr/${VTM_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Built programs run under Wine through this wrapper (tests, test discovery).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine/run.sh)
