# Profile-guided build of the shared library (VTM_PROFILE_GUIDED). The core's sources
# are compiled three times:
#   vtmrt_core         plain: the `vtm` command, the compiler, the tests, vtm_bench;
#   vtmrt_profile_gen  instrumented (-fprofile-generate), linked into vtm_training_run;
#   vtmrt_trained      optimized with the counts of the training run, and across its
#                      files at link time: the objects of libvtmrt.so, what users link.
# `vtm build` compiles the bundled tokenizers with the plain core; the training run
# (training_run.cpp, cmake/profile_training.cmake) then uses them, and its counts, which
# GCC writes beside each instrumented object (<object>.gcda), are copied beside the
# optimized copy's objects, where -fprofile-use looks for them. Both copies must be
# compiled with the same options but for the profile ones, or GCC rejects the counts.
# GCC names a function's counts by its place among the file's definitions
# (profile-func-internal-id=1): by default a function local to its file is named with
# its object's path, which differs between the two copies, and would lose its counts.
# Code that the training does not run is optimized as without a profile
# (-fprofile-partial-training).
add_library(vtmrt_profile_gen STATIC ${VTM_CORE_SOURCES})
add_library(vtmrt_trained STATIC ${VTM_CORE_SOURCES})
foreach(copy vtmrt_profile_gen vtmrt_trained)
  target_include_directories(${copy}
    PUBLIC ${PROJECT_SOURCE_DIR}/include
    PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_compile_options(${copy} PRIVATE -fvisibility=hidden
    --param=profile-func-internal-id=1)
endforeach()
target_compile_options(vtmrt_profile_gen PRIVATE -fprofile-generate)
target_link_options(vtmrt_profile_gen INTERFACE -fprofile-generate)
# A file that the training does not reach has no counts: it is compiled as without them.
target_compile_options(vtmrt_trained PRIVATE
  -fprofile-use -fprofile-partial-training -Wno-missing-profile)
set_property(TARGET vtmrt_trained PROPERTY INTERPROCEDURAL_OPTIMIZATION ON)

add_executable(vtm_training_run profile/training_run.cpp)
target_link_libraries(vtm_training_run PRIVATE vtmrt_profile_gen)

# Where the counts are written and where they are read (CMake's object folders).
set(VTM_PROFILE_GEN_DIR ${CMAKE_CURRENT_BINARY_DIR}/CMakeFiles/vtmrt_profile_gen.dir
    PARENT_SCOPE)
set(VTM_PROFILE_USE_DIR ${CMAKE_CURRENT_BINARY_DIR}/CMakeFiles/vtmrt_trained.dir PARENT_SCOPE)
set(VTM_SHARED_OBJECTS vtmrt_trained)
