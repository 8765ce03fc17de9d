# The bundled English grouper: data/en/chunks.grammar (function 62) and
# data/en/np-inner.grammar (function 63) over the Brown tag set (data/en/brown.tags, the
# bracket tags renamed -lrb- and -rrb-), compiled with `vtm build` into
# <build>/share/vtmrt/english-chunks.vtm, where `vtm group` finds it by default.
set(VTM_ENGLISH_CHUNKS_FILE ${PROJECT_BINARY_DIR}/${VTM_INSTALL_DATADIR}/english-chunks.vtm)
if(TARGET vtm)
  set(en ${PROJECT_SOURCE_DIR}/data/en)
  add_custom_command(
    OUTPUT ${VTM_ENGLISH_CHUNKS_FILE}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/${VTM_INSTALL_DATADIR}
    COMMAND $<TARGET_FILE:vtm> build -q --date 2026-01-01
            --copyright "English phrase grouper (Brown tag set)"
            --chunk-grammar ${en}/chunks.grammar --chunk-subgrammar ${en}/np-inner.grammar
            --tags ${en}/brown.tags -o ${VTM_ENGLISH_CHUNKS_FILE}
    DEPENDS vtm ${en}/chunks.grammar ${en}/np-inner.grammar ${en}/brown.tags
    COMMENT "Compiling the English grouper"
    VERBATIM)
  add_custom_target(english_chunks ALL DEPENDS ${VTM_ENGLISH_CHUNKS_FILE})
  install(FILES ${VTM_ENGLISH_CHUNKS_FILE} DESTINATION ${VTM_INSTALL_DATADIR} OPTIONAL)
endif()
