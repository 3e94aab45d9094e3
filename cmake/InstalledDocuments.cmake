# The documents installed with the programs: manual pages, the window's AppStream metadata and
# the shell completion. Manual pages and metadata are filled in at configure time with the
# version record's fields and the install folders, so that they name what the programs report
# and where they are installed.

set(DOCUMENTS_FOLDER "${CMAKE_BINARY_DIR}/documents")

# add_manual_page(<file>): configures <file>.in of the current folder, a page in man(7) format
# whose file name ends with its section ("userdb2csv.1"), and installs it. Every page is listed
# in the global property MANUAL_PAGES, so that the tests render each of them.
function(add_manual_page file)
  set(page "${DOCUMENTS_FOLDER}/${file}")
  configure_file(${CMAKE_CURRENT_SOURCE_DIR}/${file}.in ${page} @ONLY)
  string(REGEX MATCH "[0-9]$" section "${file}")
  install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
  set_property(GLOBAL APPEND PROPERTY MANUAL_PAGES ${page})
endfunction()

# add_bash_completion(<file> <command>): installs <file> of the current folder as the bash
# completion of <command>, where bash-completion loads it on first use.
function(add_bash_completion file command)
  install(FILES ${file} DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
    RENAME ${command})
endfunction()
