# The training run of the profile-guided shared library (lib/profile/profile_guided.cmake):
# vtm_training_run, linked with the instrumented core, tokenizes texts with the bundled
# English tokenizers (and analyzes their words with the English transducer when it is
# built); the counts it leaves beside the instrumented objects are then copied beside
# those of vtmrt_trained, which is compiled only after this. The texts are the license
# texts every Debian system has and the bundled samples: none of them is a benchmark's
# or a test's text, so the benchmarks measure the library on text it was not trained on.
if(NOT VTM_PROFILE_GUIDED)
  return()
endif()

set(texts ${PROJECT_SOURCE_DIR}/data/sample-en.txt ${PROJECT_SOURCE_DIR}/data/sample-en.html)
file(GLOB licenses LIST_DIRECTORIES false /usr/share/common-licenses/*)
list(SORT licenses)
foreach(license ${licenses})
  if(NOT IS_SYMLINK ${license})  # GPL is GPL-3, and so on: each text once
    list(APPEND texts ${license})
  endif()
endforeach()

set(arguments --tags ${VTM_HTML_TAGS_FILE})
set(depends vtm_training_run english_tokenizers ${VTM_HTML_TAGS_FILE} ${texts})
foreach(name en-brown en-ptb)
  list(APPEND arguments --tokenizer ${VTM_SHARE_DIR}/${name}.vtm)
  list(APPEND depends ${VTM_SHARE_DIR}/${name}.vtm)
endforeach()
if(TARGET english_data)
  list(APPEND arguments --analyzer ${VTM_ENGLISH_FILE})
  list(APPEND depends english_data ${VTM_ENGLISH_FILE})
endif()
foreach(text ${texts})
  list(APPEND arguments --text ${text})
endforeach()

# The digest of the run's results is kept for the shared_library_matches_core test.
set(VTM_TRAINING_DIGEST ${PROJECT_BINARY_DIR}/profile/training-digest.txt)
set(VTM_TRAINING_ARGUMENTS ${arguments})
set(copy_counts ${PROJECT_SOURCE_DIR}/cmake/profile_counts.cmake)
add_custom_command(
  OUTPUT ${VTM_TRAINING_DIGEST}
  COMMAND ${CMAKE_COMMAND} -DACTION=clear -DFROM=${VTM_PROFILE_GEN_DIR} -P ${copy_counts}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/profile
  COMMAND $<TARGET_FILE:vtm_training_run> ${arguments} --digest ${VTM_TRAINING_DIGEST}
  COMMAND ${CMAKE_COMMAND} -DACTION=copy -DFROM=${VTM_PROFILE_GEN_DIR}
          -DTO=${VTM_PROFILE_USE_DIR} -P ${copy_counts}
  DEPENDS ${depends} ${copy_counts}
  COMMENT "Training run of the profile-guided library"
  VERBATIM)
add_custom_target(vtmrt_profile DEPENDS ${VTM_TRAINING_DIGEST})
add_dependencies(vtmrt_trained vtmrt_profile)

# The same run linked with the plain core and with the shared library gives the
# training run's results.
if(VTM_BUILD_TESTS)
  set(training_source ${PROJECT_SOURCE_DIR}/lib/profile/training_run.cpp)
  add_executable(vtm_training_run_core ${training_source})
  target_link_libraries(vtm_training_run_core PRIVATE vtmrt_core)
  add_executable(vtm_training_run_shared ${training_source})
  target_link_libraries(vtm_training_run_shared PRIVATE vtmrt)
  foreach(copy core shared)
    add_test(NAME profile_guided_${copy}_results
      COMMAND vtm_training_run_${copy} ${arguments} --expect ${VTM_TRAINING_DIGEST})
  endforeach()
endif()
