# The bundled English tokenizer transducers en-brown.vtm and en-ptb.vtm (function 28),
# compiled at build time: foma (Debian's foma package) turns the rules in data/en into
# AT&T text, and `vtm build` compiles that. They are written into <build>/share/vtmrt
# beside the English analyzer, with the HTML tag dictionary html-tags.txt, which is where
# `vtm tokenize` looks for its defaults, in the build tree as when installed.
option(VTM_ENGLISH_TOKENIZERS "Compile the bundled English tokenizer transducers (needs foma)" ON)
find_program(VTM_FOMA foma)

set(VTM_TOKENIZER_DIR ${PROJECT_SOURCE_DIR}/data/en)
set(VTM_SHARE_DIR ${PROJECT_BINARY_DIR}/${VTM_INSTALL_DATADIR})
set(VTM_HTML_TAGS_FILE ${VTM_SHARE_DIR}/html-tags.txt)
if(TARGET vtm)
  configure_file(${VTM_TOKENIZER_DIR}/html-tags.txt ${VTM_HTML_TAGS_FILE} COPYONLY)
  install(FILES ${VTM_TOKENIZER_DIR}/html-tags.txt DESTINATION ${VTM_INSTALL_DATADIR})
endif()

if(VTM_ENGLISH_TOKENIZERS AND TARGET vtm AND VTM_FOMA)
  set(sources ${VTM_TOKENIZER_DIR}/tokenizer-chars.foma ${VTM_TOKENIZER_DIR}/tokenizer-tokens.foma
    ${VTM_TOKENIZER_DIR}/html-entities.foma)
  set(samples ${PROJECT_SOURCE_DIR}/data/sample-en.txt ${PROJECT_SOURCE_DIR}/data/sample-en.html)
  set(outputs)
  foreach(name en-brown en-ptb)
    set(att ${PROJECT_BINARY_DIR}/english/${name}.att)
    set(out ${VTM_SHARE_DIR}/${name}.vtm)
    add_custom_command(
      OUTPUT ${out}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/english ${VTM_SHARE_DIR}
      COMMAND ${VTM_FOMA} -q -e "source ${name}.foma" -e "write att ${att}" -s
      # Every byte 0x21-0xFF is in the alphabet (the five that code page 1252 leaves
      # undefined named by their C1 controls), so no arc may be dropped.
      # The tokenizer walks every byte of a chunk and writes the spaces it inserts:
      # codes ranked by an English sample keep letters, common marks and the space free
      # of escape codes, tables from four arcs on spare the walk long arc scans, and
      # the spaces are inserted on reading the symbol after them instead of being tried
      # before every symbol.
      COMMAND $<TARGET_FILE:vtm> build -q --date 2026-01-01
              --copyright "English tokenizer (${name})" --code-sample ${samples}
              --table-arcs 4 --read-ahead-insertions --tokenizing ${att} -o ${out}
      WORKING_DIRECTORY ${VTM_TOKENIZER_DIR}
      DEPENDS vtm ${VTM_TOKENIZER_DIR}/${name}.foma ${sources} ${samples}
      COMMENT "Compiling the ${name} tokenizer transducer"
      VERBATIM)
    list(APPEND outputs ${out})
    install(FILES ${out} DESTINATION ${VTM_INSTALL_DATADIR} OPTIONAL)
  endforeach()
  add_custom_target(english_tokenizers ALL DEPENDS ${outputs})
elseif(VTM_ENGLISH_TOKENIZERS)
  message(STATUS "English tokenizers not built: needs the vtm command and foma")
endif()
