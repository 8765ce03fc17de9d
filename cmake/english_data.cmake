# The bundled English transducer: compiled with `vtm build` from the lexicon of Debian's
# apertium-en-es analyzer (lttoolbox's lt-print reads it), when that package is present.
# One file serves analysis (function 12), generation (23), stemming (27) and completion
# (1, the lexicon's surface side). It is written
# into <build>/share/vtmrt, which is where the `vtm` command looks for its default
# transducer (../share/vtmrt from its own folder), in the build tree as when installed.
# A custom command, so it is rebuilt only when the analyzer, the script or `vtm` change.
option(VTM_ENGLISH_DATA "Compile the bundled English transducer when apertium-en-es is installed" ON)
set(VTM_APERTIUM_EN_ANALYZER /usr/share/apertium/apertium-eng-spa/eng-spa.automorf.bin
    CACHE FILEPATH "lttoolbox analyzer the English transducer is compiled from")
find_program(VTM_LT_PRINT lt-print)

set(VTM_ENGLISH_FILE ${PROJECT_BINARY_DIR}/${VTM_INSTALL_DATADIR}/english.vtm)
if(VTM_ENGLISH_DATA AND TARGET vtm AND VTM_LT_PRINT AND EXISTS ${VTM_APERTIUM_EN_ANALYZER})
  set(work ${PROJECT_BINARY_DIR}/english)
  add_custom_command(
    OUTPUT ${VTM_ENGLISH_FILE}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${work} ${PROJECT_BINARY_DIR}/${VTM_INSTALL_DATADIR}
    COMMAND ${CMAKE_CURRENT_LIST_DIR}/english_lexicon.sh ${VTM_APERTIUM_EN_ANALYZER}
            ${work}/lexicon.att ${work}/stems.att
    # Characters without a Windows-1252 code (a few apostrophe letters) are dropped.
    COMMAND $<TARGET_FILE:vtm> build -q --drop-unmappable --date 2026-01-01
            --copyright "English lexicon from apertium-eng-spa (GNU GPL)"
            --analysis ${work}/lexicon.att --generation ${work}/lexicon.att
            --expansion ${work}/lexicon.att
            --stemming ${work}/stems.att -o ${VTM_ENGLISH_FILE}
    DEPENDS vtm ${VTM_APERTIUM_EN_ANALYZER} ${CMAKE_CURRENT_LIST_DIR}/english_lexicon.sh
    COMMENT "Compiling the English transducer from ${VTM_APERTIUM_EN_ANALYZER}"
    VERBATIM)
  add_custom_target(english_data ALL DEPENDS ${VTM_ENGLISH_FILE})
  install(FILES ${VTM_ENGLISH_FILE} DESTINATION ${VTM_INSTALL_DATADIR} OPTIONAL)
elseif(VTM_ENGLISH_DATA)
  message(STATUS "English transducer not built: needs the vtm command, lt-print "
                 "(lttoolbox-dev) and ${VTM_APERTIUM_EN_ANALYZER} (apertium-en-es)")
endif()
