# The bundled English grouper: data/en/chunks.grammar (function 62) and
# data/en/np-inner.grammar (function 63) compiled with `vtm build` into
# <build>/share/vtmrt/english-chunks.vtm, where `vtm group` and `vtm chunk` find it.
# Its tag alphabet is the Brown tag set of data/en/brown.tags (the bracket tags renamed
# -lrb- and -rrb-, with the -hl, -tl and -nc forms of gold-tagged Brown text) together
# with every tag of the bundled English tagger, listed by `vtm tag --list-tags` from the
# trained model, so that no tag the tagger gives is unknown to the grouper. Without the
# Brown corpus no tagger is trained, and the grouper is compiled over data/en/brown.tags
# alone.
set(VTM_ENGLISH_CHUNKS_FILE ${PROJECT_BINARY_DIR}/${VTM_INSTALL_DATADIR}/english-chunks.vtm)
if(TARGET vtm)
  set(en ${PROJECT_SOURCE_DIR}/data/en)
  set(tag_lists --tags ${en}/brown.tags)
  set(tag_depends ${en}/brown.tags)
  if(TARGET english_tagger)
    set(tagger_tags ${PROJECT_BINARY_DIR}/english-tagger/tags.txt)
    add_custom_command(
      OUTPUT ${tagger_tags}
      COMMAND $<TARGET_FILE:vtm> tag --list-tags -t ${VTM_TAGGER_TRANSDUCER}
              -m ${VTM_TAGGER_MODEL} > ${tagger_tags}
      DEPENDS vtm ${VTM_TAGGER_TRANSDUCER} ${VTM_TAGGER_MODEL}
      COMMENT "Listing the English tagger's tags"
      VERBATIM)
    list(APPEND tag_lists --tags ${tagger_tags})
    list(APPEND tag_depends ${tagger_tags})
  endif()
  add_custom_command(
    OUTPUT ${VTM_ENGLISH_CHUNKS_FILE}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/${VTM_INSTALL_DATADIR}
    COMMAND $<TARGET_FILE:vtm> build -q --date 2026-01-01
            --copyright "English phrase grouper (Brown tag set)"
            --chunk-grammar ${en}/chunks.grammar --chunk-subgrammar ${en}/np-inner.grammar
            ${tag_lists} -o ${VTM_ENGLISH_CHUNKS_FILE}
    DEPENDS vtm ${en}/chunks.grammar ${en}/np-inner.grammar ${tag_depends}
    COMMENT "Compiling the English grouper"
    VERBATIM)
  add_custom_target(english_chunks ALL DEPENDS ${VTM_ENGLISH_CHUNKS_FILE})
  # Training runs in its own target only (never a second time in this one).
  if(TARGET english_tagger)
    add_dependencies(english_chunks english_tagger)
  endif()
  install(FILES ${VTM_ENGLISH_CHUNKS_FILE} DESTINATION ${VTM_INSTALL_DATADIR} OPTIONAL)
endif()
