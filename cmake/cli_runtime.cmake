# Build settings of the `vtm` command's lookup and generate subcommands: where they look
# for the bundled English transducer (relative to the executable, and the configured
# install prefix), and the thread library for -j.
if(TARGET vtm)
  find_package(Threads REQUIRED)
  target_link_libraries(vtm PRIVATE Threads::Threads)
  target_compile_definitions(vtm PRIVATE
    VTM_DATA_SUBDIR="${VTM_INSTALL_DATADIR}"
    VTM_INSTALLED_DATA_DIR="${CMAKE_INSTALL_PREFIX}/${VTM_INSTALL_DATADIR}")
endif()
