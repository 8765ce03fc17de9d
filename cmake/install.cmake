# Install rules: the shared library and its header (cli/ installs the `vtm` command), the compiled
# English data (when built), a CMake package (find_package(vtmrt)) and a pkg-config file.
include(CMakePackageConfigHelpers)

set(VTM_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/vtmrt)
# Data files live here, relative to the prefix; the `vtm` command looks for its default
# transducers at ../${VTM_INSTALL_DATADIR} from its own directory.
set(VTM_INSTALL_DATADIR ${CMAKE_INSTALL_DATADIR}/vtmrt)

install(TARGETS vtmrt EXPORT vtmrtTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/vtmrt.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

install(EXPORT vtmrtTargets NAMESPACE vtmrt:: DESTINATION ${VTM_INSTALL_CMAKEDIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/vtmrtConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/vtmrtConfig.cmake
  INSTALL_DESTINATION ${VTM_INSTALL_CMAKEDIR}
  PATH_VARS VTM_INSTALL_DATADIR)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/vtmrtConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/vtmrtConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/vtmrtConfigVersion.cmake
        DESTINATION ${VTM_INSTALL_CMAKEDIR})

# pkg-config: the prefix is found from the .pc file's own place, so an installation
# made with `cmake --install --prefix` anywhere (or moved later) stays correct.
file(RELATIVE_PATH VTM_PC_TO_PREFIX /root/${CMAKE_INSTALL_LIBDIR}/pkgconfig /root)
string(REGEX REPLACE "/$" "" VTM_PC_TO_PREFIX "${VTM_PC_TO_PREFIX}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/vtmrt.pc.in ${CMAKE_CURRENT_BINARY_DIR}/vtmrt.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/vtmrt.pc
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# The sample paragraph of the demo, beside the transducer files.
install(FILES ${PROJECT_SOURCE_DIR}/data/sample-en.txt DESTINATION ${VTM_INSTALL_DATADIR})
include(${CMAKE_CURRENT_LIST_DIR}/cli_runtime.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/english_data.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/english_tokenizers.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/english_tagger.cmake)
# After the tagger: the grouper's tag alphabet takes in the tagger's tags.
include(${CMAKE_CURRENT_LIST_DIR}/english_chunks.cmake)
# After the English data: the profile-guided library's training run uses it.
include(${CMAKE_CURRENT_LIST_DIR}/profile_training.cmake)
