# Build settings of the `vtm` command's lookup and generate subcommands: where they look
# for the bundled English transducer (relative to the executable, and the configured
# install prefix), the thread library for -j, and a C++ runtime linked in.
if(TARGET vtm)
  find_package(Threads REQUIRED)
  target_link_libraries(vtm PRIVATE Threads::Threads)
  target_compile_definitions(vtm PRIVATE
    VTM_DATA_SUBDIR="${VTM_INSTALL_DATADIR}"
    VTM_INSTALLED_DATA_DIR="${CMAKE_INSTALL_PREFIX}/${VTM_INSTALL_DATADIR}")
  # Start-up counts when a process looks up one word: the C++ runtime linked in saves the
  # dynamic loader a library and its relocations.
  if(NOT VTM_SANITIZE)
    target_link_options(vtm PRIVATE -static-libstdc++ -static-libgcc)
  endif()
endif()
